// A main window on the fake platform, with two desktops whose item counts a
// test can change, and shortcuts to what the window shows and stores.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakePlatform.h"
#include "app/Preferences.h"
#include "controller/MainWindow.h"
#include "core/Product.h"

namespace glance {

class MainWindowFixture : public ::testing::Test {
protected:
    static constexpr std::int32_t kUserDesktop = 0;
    static constexpr std::int32_t kCommonDesktop = 25;
    static constexpr const wchar_t* kUserFolder = L"C:\\Users\\ada\\Desktop\\";
    static constexpr const wchar_t* kCommonFolder = L"C:\\Users\\Public\\Desktop\\";

    MainWindowFixture() {
        fp.shell.setFolder(kUserDesktop, L"C:\\Users\\ada\\Desktop");
        fp.shell.setFolder(kCommonDesktop, L"C:\\Users\\Public\\Desktop");
        setDesktop(3, 2);
    }

    // Files on the user's desktop and on the all-users desktop, as a user or a
    // download changes them: the folders' watches fire.
    void setDesktop(int userFiles, int commonFiles) {
        fp.files.changeFolder(kUserFolder, userFiles, 0);
        fp.files.changeFolder(kCommonFolder, commonFiles, 0);
    }
    void store(const char* key, const std::string& value) {
        fp.settings.values[{kSettingsApplication, kProductName, key}] = value;
    }
    std::string stored(const char* key) {
        auto it = fp.settings.values.find({kSettingsApplication, kProductName, key});
        return it == fp.settings.values.end() ? "<none>" : it->second;
    }
    // Creates the window and runs its start-up; false when the program ended.
    bool start() {
        form = std::make_unique<MainWindow>(platform);
        try {
            form->load();
            form->show();
            form->engine().takeFirstCount();  // as the program does once its window is shown
        } catch (ProgramEnded&) {
            return false;
        }
        return true;
    }
    fake::FakeWindow& window() { return *fp.ui.window; }
    std::string switchCaption() { return window().fakeButton(ControlId::SwitchButton).caption(); }
    fake::FakeTimer& timer() { return window().fakeTimer(ControlId::RefreshTimer); }
    std::size_t notifications() const { return fp.shell.notifications.size(); }
    std::vector<std::int32_t> boxLabels() const {
        std::vector<std::int32_t> labels;
        for (auto& b : fp.system.boxes) {
            const auto at = b.text.find("at line ");
            if (at != std::string::npos) labels.push_back(std::stoi(b.text.substr(at + 8)));
        }
        return labels;
    }

    fake::FakePlatform fp;
    Platform platform = fp.platform();
    std::unique_ptr<MainWindow> form;
};

}  // namespace glance
