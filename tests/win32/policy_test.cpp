// A Group Policy refresh reaches the main window, and a locked control tells why.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "NoEvents.h"
#include "platform/win32/Win32Window.h"
#include "ui/MainWindowLayout.h"

namespace glance::win32 {
namespace {

struct PolicyEvents : NoEvents {
    int refreshes = 0;
    void onPoliciesChanged() override { ++refreshes; }
};

BOOL CALLBACK findTips(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
}

TEST(PolicyRefresh, OnlyThePolicyBroadcastIsRaisedAndALockedControlTellsWhyUntilUnlocked) {
    PolicyEvents events;
    Win32Window window(mainWindowLayout(), events);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"),
                        SMTO_ABORTIFHUNG, 5000, &answer);
    SendMessageW(window.window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
    EXPECT_EQ(events.refreshes, 1);

    HWND button = window.controlWindow(ControlId::SwitchButton);
    window.setLocked(ControlId::SwitchButton, "This setting is managed by your organization.");
    HWND tips = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findTips, reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    wchar_t text[80] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window.window();
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    EXPECT_FALSE(IsWindowEnabled(button));
    EXPECT_STREQ(text, L"This setting is managed by your organization.");
    window.setLocked(ControlId::SwitchButton, "");
    EXPECT_TRUE(IsWindowEnabled(button));
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 0);
}

}  // namespace
}  // namespace glance::win32
