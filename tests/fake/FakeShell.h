// The shell, simulated: configurable folder paths, and a record of every
// notification, notify-icon request and started process.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Failures.h"
#include "platform/Shell.h"

namespace glance::fake {

class FakeShell : public Shell {
public:
    explicit FakeShell(Failures& failures) : failures_(failures) {}

    // Makes folderId resolve to path, as the real shell fills its buffer.
    void setFolder(std::int32_t folderId, const std::wstring& path) {
        std::wstring raw(512, L' ');
        raw.replace(0, path.size(), path);
        raw[path.size()] = L'\0';
        raw_[folderId] = raw;
    }
    void setRawFolder(std::int32_t folderId, const std::wstring& raw) { raw_[folderId] = raw; }
    void removeFolder(std::int32_t folderId) { raw_.erase(folderId); }

    struct Notification {
        std::int32_t eventId;
        std::uint32_t flags;
    };
    struct IconRequest {
        std::uint32_t message;
        NotifyIconRecord record;
    };
    struct Process {
        std::string commandLine;
        int showState;
    };
    std::vector<Notification> notifications;
    std::vector<IconRequest> iconRequests;
    std::vector<Process> processes;

    std::wstring specialFolderRawPath(std::int32_t folderId) override {
        failures_.check("specialFolderRawPath");
        auto it = raw_.find(folderId);
        return it == raw_.end() ? std::wstring() : it->second;
    }
    void changeNotify(std::int32_t eventId, std::uint32_t flags) override {
        failures_.check("changeNotify");
        notifications.push_back({eventId, flags});
    }
    void notifyIcon(std::uint32_t message, const NotifyIconRecord& record) override {
        failures_.check("notifyIcon");
        iconRequests.push_back({message, record});
    }
    void startProcess(const std::string& commandLine, int showState) override {
        failures_.check("startProcess");
        processes.push_back({commandLine, showState});
    }

private:
    Failures& failures_;
    std::map<std::int32_t, std::wstring> raw_;
};

}  // namespace glance::fake
