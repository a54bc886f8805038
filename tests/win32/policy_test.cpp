// A Group Policy refresh reaches the main window; the user's own number is
// read from the settings key as a policy value is, by its stored type.
#include <gtest/gtest.h>
#include <windows.h>

#include "NoEvents.h"
#include "controller/MainWindowLayout.h"
#include "platform/win32/Win32Settings.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {
namespace {

struct PolicyEvents : NoEvents {
    int refreshes = 0;
    void onPoliciesChanged() override { ++refreshes; }
};

TEST(PolicyRefresh, OnlyThePolicyBroadcastIsRaised) {
    PolicyEvents events;
    Win32Window window(mainWindowLayout(), events);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"),
                        SMTO_ABORTIFHUNG, 5000, &answer);
    SendMessageW(window.window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
    EXPECT_EQ(events.refreshes, 1);
}

TEST(UsersOwnNumber, IsReadFromTheSettingsKeyAndOnlyADwordIsANumber) {
    const wchar_t* key =
        L"Software\\VB and VBA Program Settings\\Quillhaven\\Lumenfold Live Shell Glance Refresher Utility";
    const DWORD one = 1;
    Win32AdminSettings admin;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit");
    EXPECT_FALSE(admin.usersOwnNumber("DisableHomePageVisit"));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit", REG_DWORD, &one, 4),
              ERROR_SUCCESS);
    EXPECT_EQ(admin.usersOwnNumber("DisableHomePageVisit"), (PolicyData{true, 1}));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit", REG_SZ, L"1", 4),
              ERROR_SUCCESS);
    EXPECT_FALSE(admin.usersOwnNumber("DisableHomePageVisit")->isNumber);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit");
}

}  // namespace
}  // namespace glance::win32
