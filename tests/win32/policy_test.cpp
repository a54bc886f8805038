// A Group Policy refresh reaches the main window.
#include <gtest/gtest.h>
#include <windows.h>

#include "NoEvents.h"
#include "platform/win32/Win32Window.h"
#include "controller/MainWindowLayout.h"

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

}  // namespace
}  // namespace glance::win32
