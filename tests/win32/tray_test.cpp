// The tray control on the real platform under Wine: the record layout the
// shell reads, the window-procedure hook on a real window, and a real
// Shell_NotifyIconA add/modify/delete.
#include <windows.h>
// After windows.h, which it builds on.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstddef>
#include <vector>

#include "platform/win32/Win32Loop.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Windowing.h"
#include "tray/TrayIcon.h"

namespace glance {
namespace {

TEST(NotifyIconRecordLayout, MatchesTheSystemsRecordInTheShell5Layout) {
    EXPECT_EQ(NOTIFYICONDATAA_V2_SIZE, 488u);
    EXPECT_EQ(sizeof(NotifyIconRecord), 488u);
    struct Field {
        const char* name;
        std::size_t system, ours;
    };
#define GLANCE_FIELD(f)                                                 \
    Field {                                                             \
#f, offsetof(NOTIFYICONDATAA, f), offsetof(NotifyIconRecord, f) \
    }
    const Field fields[] = {GLANCE_FIELD(cbSize),
                            GLANCE_FIELD(hWnd),
                            GLANCE_FIELD(uID),
                            GLANCE_FIELD(uFlags),
                            GLANCE_FIELD(uCallbackMessage),
                            GLANCE_FIELD(hIcon),
                            GLANCE_FIELD(szTip),
                            GLANCE_FIELD(dwState),
                            GLANCE_FIELD(dwStateMask),
                            GLANCE_FIELD(szInfo),
                            GLANCE_FIELD(uTimeout),
                            GLANCE_FIELD(szInfoTitle),
                            GLANCE_FIELD(dwInfoFlags)};
#undef GLANCE_FIELD
    for (const Field& f : fields) EXPECT_EQ(f.system, f.ours) << f.name;
    EXPECT_EQ(sizeof(NOTIFYICONDATAA{}.szTip), sizeof(NotifyIconRecord{}.szTip));
    EXPECT_EQ(sizeof(NOTIFYICONDATAA{}.szInfo), sizeof(NotifyIconRecord{}.szInfo));
    EXPECT_EQ(sizeof(NOTIFYICONDATAA{}.szInfoTitle), sizeof(NotifyIconRecord{}.szInfoTitle));
}

// The control window's procedure before the hook: records what reaches it and
// answers with a recognisable result.
std::vector<UINT> replacedProcMessages;
constexpr LRESULT kReplacedResult = 0x5A5A;
LRESULT CALLBACK replacedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 1 || message == kTrayCallbackMessage) {
        replacedProcMessages.push_back(message);
        return kReplacedResult;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class RealTray : public ::testing::Test {
protected:
    win32::Win32Shell shell;
    win32::Win32Windowing windowing;
    win32::Win32Loop loop;
    const Picture icon{Picture::Icon, reinterpret_cast<std::uintptr_t>(LoadIconW(nullptr, IDI_INFORMATION))};
};

TEST_F(RealTray, HookHandsTheCallbackToTheControlAndEveryMessageToTheReplacedProcedure) {
    TrayIcon tray(shell, windowing, loop, 0, icon);
    const HWND window = reinterpret_cast<HWND>(tray.window());
    const LONG_PTR replaced =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&replacedProc));
    ASSERT_NE(replaced, 0);
    std::vector<int> ups;
    tray.onMouseUp = [&](std::int16_t button, std::int32_t) { ups.push_back(button); };
    replacedProcMessages.clear();

    tray.setInTray(true);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&tray));
    EXPECT_EQ(SendMessageA(window, WM_APP + 1, 0, 0), kReplacedResult);
    EXPECT_EQ(SendMessageA(window, kTrayCallbackMessage, 0, WM_RBUTTONUP), kReplacedResult);
    EXPECT_EQ(ups, std::vector<int>{2});
    EXPECT_EQ(replacedProcMessages, (std::vector<UINT>{WM_APP + 1, kTrayCallbackMessage}));

    tray.setInTray(false);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&replacedProc));
    SendMessageA(window, kTrayCallbackMessage, 0, WM_LBUTTONUP);
    EXPECT_EQ(ups, std::vector<int>{2});
}

TEST_F(RealTray, ControlWindowIsAHiddenPopupOwnedByTheForm) {
    const HWND form = CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
    {
        TrayIcon tray(shell, windowing, loop, reinterpret_cast<WindowHandle>(form), icon);
        const HWND window = reinterpret_cast<HWND>(tray.window());
        EXPECT_EQ(GetWindow(window, GW_OWNER), form);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_POPUP);
    }
    DestroyWindow(form);
}

// Whether the shell holds an icon for (window, 0): only a known icon can be modified.
bool shellHasIcon(HWND window) {
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V2_SIZE;
    probe.hWnd = window;
    return Shell_NotifyIconA(NIM_MODIFY, &probe);
}

TEST_F(RealTray, ShellKeepsTheIconFromAddUntilDelete) {
    TrayIcon tray(shell, windowing, loop, 0, icon);
    const HWND window = reinterpret_cast<HWND>(tray.window());
    tray.setIcon(icon);
    tray.setTip("Round trip");
    EXPECT_FALSE(shellHasIcon(window));
    tray.setInTray(true);
    EXPECT_TRUE(shellHasIcon(window));
    tray.setTip("Changed tip");
    tray.showBalloon("Text", "Title", 0, false);
    EXPECT_TRUE(shellHasIcon(window));
    tray.setInTray(false);
    EXPECT_FALSE(shellHasIcon(window));
}

TEST_F(RealTray, IconLostWithTheTaskbarComesBackOnItsRestartBroadcast) {
    TrayIcon tray(shell, windowing, loop, 0, icon);
    const HWND window = reinterpret_cast<HWND>(tray.window());
    tray.setIcon(icon);
    tray.setInTray(true);
    NOTIFYICONDATAA lost{};
    lost.cbSize = NOTIFYICONDATAA_V2_SIZE;
    lost.hWnd = window;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));

    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(shellHasIcon(window));
    tray.setInTray(false);
}

}  // namespace
}  // namespace glance
