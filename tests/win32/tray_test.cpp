// The tray icon's Win32 side under Wine: the 488-byte records handed to the
// shell, the shell's answers, the hook on the icon's window, a real
// Shell_NotifyIconA round trip, and the main window kept on a screen.
#include <windows.h>
// After windows.h, which it builds on.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "NoEvents.h"
#include "controller/MainWindowLayout.h"
#include "core/Error.h"
#include "platform/win32/Win32NotifyIcon.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {
namespace {

constexpr UINT kCallback = WM_USER + 101;

// Stands in for Shell_NotifyIconA: keeps each request, with whether the hook
// was in place on the icon's window at that moment, and answers as told.
struct Sent {
    DWORD message;
    NOTIFYICONDATAA data;
    bool hooked;
};
std::vector<Sent> sent;
WNDPROC ownProcedure = nullptr;
BOOL answer = TRUE;
DWORD answerError = 0;
bool unreachable = false;
BOOL recordingCall(DWORD message, PNOTIFYICONDATAA data) {
    if (unreachable) throw PlatformError(errtext::kFileNotFoundInDll);
    const auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(data->hWnd, GWLP_WNDPROC));
    sent.push_back({message, *data, proc != ownProcedure});
    SetLastError(answerError);
    return answer;
}

struct Events : NotifyIconEvents {
    std::vector<std::string> raised;
    void onIconClicked() override { raised.push_back("click"); }
    void onBalloonClosed() override { raised.push_back("balloon closed"); }
    void onTaskbarCreated() override { raised.push_back("taskbar"); }
    void onDisplayChanged() override { raised.push_back("display"); }
    void onRetryDue() override { raised.push_back("retry"); }
};

void pumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

class NotifyIconRecords : public ::testing::Test {
protected:
    void SetUp() override {
        sent.clear();
        answer = TRUE;
        answerError = 0;
        unreachable = false;
        ownProcedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window(), GWLP_WNDPROC));
    }
    HWND window() { return static_cast<Win32NotifyIcon&>(*icon).window(); }
    NOTIFYICONDATAA base(UINT flags) {
        NOTIFYICONDATAA data{};
        data.cbSize = 488;
        data.hWnd = window();
        data.uFlags = flags;
        return data;
    }
    template <std::size_t N>
    static void fill(char (&field)[N], const std::string& text) {
        std::memset(field, ' ', N);
        std::memcpy(field, text.c_str(), text.size() + 1);
    }
    Win32NotificationArea area{&recordingCall};
    Events events;
    std::unique_ptr<NotifyIcon> icon = area.createIcon(0, events);
    const Picture picture{Picture::Icon, 0x1111};
};

TEST_F(NotifyIconRecords, EachRequestSendsExactlyItsFlagsAndFieldsWithTheHookInPlace) {
    icon->show(picture, "Tip");
    icon->show({}, "");
    icon->setPicture({Picture::Icon, 0x2222});
    icon->setTip(std::string(300, 'x'));
    icon->setTip("");
    icon->balloon("Title", "Text", 5000);
    icon->present();
    icon->hide();

    NOTIFYICONDATAA add = base(NIF_MESSAGE | NIF_ICON | NIF_TIP), bare = base(NIF_MESSAGE),
                    pictureOnly = base(NIF_ICON), longTip = base(NIF_TIP), emptyTip = base(NIF_TIP),
                    balloon = base(NIF_INFO), ask = base(0), remove = base(0);
    add.uCallbackMessage = bare.uCallbackMessage = kCallback;
    add.hIcon = reinterpret_cast<HICON>(0x1111);
    fill(add.szTip, "Tip");
    pictureOnly.hIcon = reinterpret_cast<HICON>(0x2222);
    fill(longTip.szTip, std::string(127, 'x'));
    fill(emptyTip.szTip, "");
    fill(balloon.szInfoTitle, "Title");
    fill(balloon.szInfo, "Text");
    balloon.uTimeout = 5000;
    const std::vector<std::pair<DWORD, NOTIFYICONDATAA>> expected = {
        {NIM_ADD, add},         {NIM_ADD, bare},       {NIM_MODIFY, pictureOnly}, {NIM_MODIFY, longTip},
        {NIM_MODIFY, emptyTip}, {NIM_MODIFY, balloon}, {NIM_MODIFY, ask},         {NIM_DELETE, remove}};
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].message, expected[i].first);
        EXPECT_EQ(0, std::memcmp(&sent[i].data, &expected[i].second, 488)) << "flags " << sent[i].data.uFlags;
        EXPECT_TRUE(sent[i].hooked);
    }
    EXPECT_EQ(GetWindowLongPtrA(window(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(ownProcedure));
}

TEST_F(NotifyIconRecords, ShellsAnswerIsReportedATimeOutToldFromARefusalAndNoShellFromEither) {
    // A shell that cannot be reached leaves the window unhooked.
    unreachable = true;
    EXPECT_THROW(icon->show(picture, "t"), PlatformError);
    EXPECT_EQ(GetWindowLongPtrA(window(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(ownProcedure));
    unreachable = false;
    EXPECT_EQ(icon->show(picture, "t"), IconAnswer::Done);
    answer = FALSE;
    answerError = ERROR_TIMEOUT;
    EXPECT_EQ(icon->show(picture, "t"), IconAnswer::NoAnswer);
    EXPECT_FALSE(icon->present());
    answerError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(icon->setTip("t"), IconAnswer::Refused);
}

// The icon's window before the hook: records what reaches it and answers
// with a recognisable result.
std::vector<UINT> replacedProcMessages;
constexpr LRESULT kReplacedResult = 0x5A5A;
LRESULT CALLBACK replacedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 1 || message == kCallback) {
        replacedProcMessages.push_back(message);
        return kReplacedResult;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(NotifyIconRecords, HookRaisesTheIconsEventsAndPassesEveryMessageToTheReplacedProcedure) {
    SetWindowLongPtrA(window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&replacedProc));
    replacedProcMessages.clear();
    icon->show(picture, "t");
    EXPECT_EQ(SendMessageA(window(), WM_APP + 1, 0, 0), kReplacedResult);
    struct Case {
        LPARAM what;
        const char* event;
    };
    for (const Case& c : {Case{WM_MOUSEMOVE, ""}, Case{WM_LBUTTONDOWN, ""}, Case{WM_LBUTTONUP, "click"},
                          Case{WM_LBUTTONDBLCLK, ""}, Case{WM_RBUTTONDOWN, ""}, Case{WM_RBUTTONUP, "click"},
                          Case{WM_RBUTTONDBLCLK, ""}, Case{WM_MBUTTONUP, ""}, Case{NIN_BALLOONSHOW, ""},
                          Case{NIN_BALLOONHIDE, "balloon closed"}, Case{NIN_BALLOONTIMEOUT, "balloon closed"},
                          Case{NIN_BALLOONUSERCLICK, "balloon closed"}}) {
        events.raised.clear();
        EXPECT_EQ(SendMessageA(window(), kCallback, 0, c.what), kReplacedResult) << c.what;
        EXPECT_EQ(events.raised, *c.event ? std::vector<std::string>{c.event} : std::vector<std::string>{})
            << c.what;
    }
    events.raised.clear();
    SendMessageA(window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    SendMessageA(window(), WM_DISPLAYCHANGE, 32, 0);
    icon->retryAfter(0.05);
    pumpFor(300);
    EXPECT_EQ(events.raised, (std::vector<std::string>{"taskbar", "display", "retry"}));
    EXPECT_EQ(replacedProcMessages.size(), 13u);

    icon->hide();
    EXPECT_EQ(GetWindowLongPtrA(window(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&replacedProc));
    events.raised.clear();
    SendMessageA(window(), kCallback, 0, WM_LBUTTONUP);
    EXPECT_TRUE(events.raised.empty());
}

TEST(NotifyIconWindow, IsAHiddenPopupOwnedByTheForm) {
    const HWND form = CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
    Win32NotificationArea area;
    Events events;
    {
        auto icon = area.createIcon(reinterpret_cast<WindowHandle>(form), events);
        const HWND window = static_cast<Win32NotifyIcon&>(*icon).window();
        EXPECT_EQ(GetWindow(window, GW_OWNER), form);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_POPUP);
    }
    DestroyWindow(form);
}

TEST(RealShell, HoldsTheIconFromAddUntilDeleteAndSaysSo) {
    Win32NotificationArea area;
    Events events;
    auto icon = area.createIcon(0, events);
    const Picture picture{Picture::Icon,
                          reinterpret_cast<std::uintptr_t>(LoadIconW(nullptr, IDI_INFORMATION))};
    EXPECT_FALSE(icon->present());
    EXPECT_EQ(icon->show(picture, "Round trip"), IconAnswer::Done);
    EXPECT_TRUE(icon->present());
    EXPECT_EQ(icon->setTip("Changed tip"), IconAnswer::Done);
    EXPECT_EQ(icon->balloon("Title", "Text", 0), IconAnswer::Done);
    icon->hide();
    EXPECT_FALSE(icon->present());
}

TEST(KeepOnScreen, WindowLeftOffEveryScreenComesBackWholeWhenShownOrWhenTheDisplayChanges) {
    NoEvents events;
    Win32Window form(mainWindowLayout(), events);
    form.show();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(form.window(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT before;
    GetWindowRect(form.window(), &before);
    for (int route = 0; route < 2; ++route) {
        SetWindowPos(form.window(), nullptr, -5000, -5000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (route == 0)
            form.bringOntoScreen();
        else
            SendMessageW(form.window(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
        RECT after;
        GetWindowRect(form.window(), &after);
        EXPECT_EQ(after.left, monitor.rcWork.left) << route;
        EXPECT_EQ(after.top, monitor.rcWork.top) << route;
        EXPECT_EQ(after.right - after.left, before.right - before.left) << route;
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top) << route;
    }
    SetWindowPos(form.window(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    form.bringOntoScreen();
    RECT kept;
    GetWindowRect(form.window(), &kept);
    EXPECT_EQ(kept.left, 40) << "a window on the screen stays where it is";
}

}  // namespace
}  // namespace glance::win32
