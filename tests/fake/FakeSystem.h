// Process services, simulated: the instance test, recorded message boxes, the
// program title, the time of day and the logon start-up list.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Failures.h"
#include "platform/System.h"

namespace glance::fake {

class FakeSystem : public System {
public:
    explicit FakeSystem(Failures& failures) : failures_(failures) {}

    struct Box {
        std::string text;
        std::string title;  // as shown: the program title when none was passed
        bool titleGiven;
        std::uint32_t style;
    };
    std::vector<Box> boxes;
    // Runs while a box is open, as the modal loop would dispatch other events.
    std::function<void(const Box&)> whileBoxOpen;

    bool otherInstance = false;
    int instanceChecks = 0;
    std::string title = "GlanceRefresher";
    double timeOfDay = 0;
    std::wstring path = L"C:\\Program Files\\Quillhaven\\GlanceRefresher.exe";
    std::map<std::string, std::wstring> startupEntries;
    // Entries stored as expandable strings: the command line each expands to.
    std::map<std::string, std::wstring> expandedEntries;
    int startupEntryWrites = 0;  // sets and removals that reached the list

    bool anotherInstanceRunning() override {
        failures_.check("anotherInstanceRunning");
        ++instanceChecks;
        return otherInstance;
    }
    int messageBox(const std::string& text, const std::optional<std::string>& boxTitle,
                   std::uint32_t style) override {
        failures_.check("messageBox");
        boxes.push_back({text, boxTitle.value_or(title), boxTitle.has_value(), style});
        if (whileBoxOpen) whileBoxOpen(boxes.back());
        return 1;
    }
    void setAppTitle(const std::string& t) override {
        failures_.check("setAppTitle");
        title = t;
    }
    std::string appTitle() override { return title; }
    double secondsSinceMidnight() override { return timeOfDay; }
    std::wstring programPath() override { return path; }
    void setStartupEntry(const std::string& name, const std::wstring& commandLine) override {
        failures_.check("setStartupEntry");
        ++startupEntryWrites;
        startupEntries[name] = commandLine;
    }
    void removeStartupEntry(const std::string& name) override {
        failures_.check("removeStartupEntry");
        ++startupEntryWrites;
        startupEntries.erase(name);
    }
    std::optional<std::wstring> startupEntry(const std::string& name) override {
        failures_.check("startupEntry");
        auto it = startupEntries.find(name);
        if (it == startupEntries.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::wstring> startupEntryCommandLine(const std::string& name) override {
        std::optional<std::wstring> text = startupEntry(name);
        auto expanded = expandedEntries.find(name);
        return text && expanded != expandedEntries.end() ? expanded->second : text;
    }

private:
    Failures& failures_;
};

}  // namespace glance::fake
