// The real main window under Wine: layout in pixels, captions, tab order,
// the routes of clicks, pointer moves, ticks and close requests to the
// event sink, the pointer shapes, and pictures loaded from files.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ControlNames.h"
#include "core/Error.h"
#include "platform/win32/Win32PushButton.h"
#include "platform/win32/Win32Ui.h"
#include "platform/win32/Win32Window.h"
#include "ui/MainWindowLayout.h"

namespace glance::win32 {
namespace {

struct Recorder : WindowEvents {
    std::vector<std::string> events;
    std::function<void(ControlId)> clicked;
    std::function<void()> resized;
    void onQueryUnload() override { events.push_back("QueryUnload"); }
    void onResize() override {
        events.push_back("Resize");
        if (resized) resized();
    }
    void onMouseMove(ControlId control) override { events.push_back("MouseMove " + controlName(control)); }
    void onClick(ControlId control) override {
        events.push_back("Click " + controlName(control));
        if (clicked) clicked(control);
    }
    void onTimer(ControlId timer) override { events.push_back("Timer " + controlName(timer)); }
    int count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
};

// Runs the thread's messages for a while, as the program's loop would.
void pump(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
}

// Runs messages until the condition holds or the time is up.
template <class Condition>
bool pumpUntil(Condition condition, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        pump(10);
    }
    return true;
}

std::wstring windowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// A child window's place in its parent's client area.
RECT placeInParent(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<Win32Window>(mainWindowLayout(), events);
        hwnd = window->window();
    }
    HWND control(ControlId id) const { return window->controlWindow(id); }
    HCURSOR cursorOver(HWND target) {
        SetCursor(nullptr);
        SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    }

    Recorder events;
    std::unique_ptr<Win32Window> window;
    HWND hwnd = nullptr;
};

TEST_F(MainWindowTest, CreationRaisesNoEventBeforeTheWindowIsHandedOver) {
    // The handlers read the window through the pointer that creation returns;
    // an event raised while creating would reach them before it exists.
    pump(50);
    EXPECT_TRUE(events.events.empty());
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThemAt96Dpi) {
    if (window->dpi() != 96) GTEST_SKIP() << "display is not at 96 DPI";
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 536);
    EXPECT_EQ(client.bottom, 168);

    struct Case {
        ControlId name;
        RECT expected;
    };
    const Case cases[] = {
        {ControlId::HelpButton, {8, 8, 528, 35}},
        {ControlId::OptionsFrame, {8, 42, 528, 91}},
        {ControlId::StartWithWindowsBox, {24, 62, 278, 81}},
        {ControlId::StartInTrayBox, {288, 62, 428, 81}},
        {ControlId::SwitchButton, {8, 99, 528, 126}},
        {ControlId::RefreshNowButton, {8, 133, 528, 160}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(controlName(c.name));
        ASSERT_NE(control(c.name), nullptr);
        const RECT actual = placeInParent(control(c.name));
        EXPECT_EQ(actual.left, c.expected.left);
        EXPECT_EQ(actual.top, c.expected.top);
        EXPECT_EQ(actual.right, c.expected.right);
        EXPECT_EQ(actual.bottom, c.expected.bottom);
    }
}

TEST(MainWindowLayout, ScalesEveryLengthWithTheDpi) {
    const WindowLayout& form = mainWindowLayout();
    struct Case {
        int dpi;
        SIZE client;
        RECT button1;
        RECT check8;
    };
    const Case cases[] = {
        {96, {536, 168}, {8, 8, 528, 35}, {288, 62, 428, 81}},
        {120, {670, 210}, {10, 10, 660, 44}, {360, 78, 535, 102}},
        {144, {804, 252}, {12, 12, 792, 53}, {432, 93, 642, 122}},
        {192, {1072, 336}, {16, 16, 1056, 70}, {576, 124, 856, 162}},
    };
    auto find = [&](ControlId id) {
        return *std::find_if(form.controls.begin(), form.controls.end(),
                             [&](const ControlLayout& c) { return c.id == id; });
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        const SIZE client = clientPixelSize(form, c.dpi);
        EXPECT_EQ(client.cx, c.client.cx);
        EXPECT_EQ(client.cy, c.client.cy);
        const RECT button = controlPixelRect(form, find(ControlId::HelpButton), c.dpi);
        const RECT check = controlPixelRect(form, find(ControlId::StartInTrayBox), c.dpi);
        EXPECT_EQ((std::vector<LONG>{button.left, button.top, button.right, button.bottom}),
                  (std::vector<LONG>{c.button1.left, c.button1.top, c.button1.right, c.button1.bottom}));
        EXPECT_EQ((std::vector<LONG>{check.left, check.top, check.right, check.bottom}),
                  (std::vector<LONG>{c.check8.left, c.check8.top, c.check8.right, c.check8.bottom}));
    }
}

TEST_F(MainWindowTest, FontsAreSizedInPointsAtTheWindowDpi) {
    struct Case {
        ControlId name;
        int centipoints;  // 9 pt for the frame and check boxes, 11.25 pt for the buttons
    };
    const Case cases[] = {
        {ControlId::StartWithWindowsBox, 900}, {ControlId::OptionsFrame, 900}, {ControlId::HelpButton, 1125}};
    for (const Case& c : cases) {
        SCOPED_TRACE(controlName(c.name));
        auto font = reinterpret_cast<HFONT>(SendMessageW(control(c.name), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW log{};
        GetObjectW(font, sizeof(log), &log);
        EXPECT_EQ(log.lfHeight, -MulDiv(c.centipoints, window->dpi(), 7200));
        EXPECT_EQ(log.lfWeight, FW_BOLD);
        EXPECT_EQ(log.lfCharSet, 204);
        EXPECT_STREQ(log.lfFaceName, L"Arial");
        // What the font mapper made of it: a bold face.
        HDC dc = GetDC(control(c.name));
        const HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(control(c.name), dc);
        EXPECT_GE(metrics.tmWeight, FW_BOLD);
    }
}

TEST_F(MainWindowTest, CaptionsReadBackExactlyAndAreTheWindowText) {
    struct Case {
        ControlId name;
        std::string caption;
    };
    const Case cases[] = {
        {ControlId::SwitchButton, "Turn Off"},
        {ControlId::SwitchButton, "Turn On"},
        {ControlId::RefreshNowButton, "Update Icons On Desktop Now (Test)"},
        {ControlId::HelpButton,
         "Gr\xC3\xB6\xC3\x9F"
         "e \xD0\x9F\xD1\x83\xD1\x81\xD0\xBA"},  // UTF-8 beyond ASCII
        {ControlId::HelpButton, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        window->button(c.name).setCaption(c.caption);
        EXPECT_EQ(window->button(c.name).caption(), c.caption);
        // What a screen reader announces.
        EXPECT_EQ(windowText(control(c.name)), widenUtf8(c.caption));
    }
    EXPECT_EQ(windowText(control(ControlId::OptionsFrame)), L"Startup Options");
    EXPECT_EQ(windowText(control(ControlId::StartWithWindowsBox)), L"Load this software on Windows startup");
    window->setCaption("Lumenfold Live Shell Glance Refresher Utility");
    EXPECT_EQ(window->caption(), "Lumenfold Live Shell Glance Refresher Utility");
    EXPECT_EQ(windowText(hwnd), L"Lumenfold Live Shell Glance Refresher Utility");
}

TEST_F(MainWindowTest, TabMovesThroughTheControlsInTheDesignedOrder) {
    window->show();
    const ControlId order[] = {ControlId::StartWithWindowsBox, ControlId::StartInTrayBox,
                               ControlId::SwitchButton,        ControlId::RefreshNowButton,
                               ControlId::HelpButton,          ControlId::StartWithWindowsBox};
    SetFocus(control(order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        SCOPED_TRACE(controlName(order[i]));
        // The key as it arrives at the focused control, with no dialog
        // manager in the loop.
        SendMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        EXPECT_EQ(GetFocus(), control(order[i]));
    }
    // The frame takes no focus and lies below the controls it holds.
    EXPECT_EQ(GetWindowLongPtrW(control(ControlId::OptionsFrame), GWL_STYLE) & WS_TABSTOP, 0);
    EXPECT_EQ(GetWindow(control(ControlId::OptionsFrame), GW_HWNDNEXT), nullptr);
}

TEST_F(MainWindowTest, WindowCanBeMinimizedButNotMaximizedOrResized) {
    const auto style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
}

TEST_F(MainWindowTest, CheckBoxTogglesBeforeItsClickEvent) {
    std::vector<int> seen;
    events.clicked = [&](ControlId) {
        seen.push_back(window->checkBox(ControlId::StartWithWindowsBox).value());
    };
    SendMessageW(control(ControlId::StartWithWindowsBox), BM_CLICK, 0, 0);
    SendMessageW(control(ControlId::StartWithWindowsBox), BM_CLICK, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{1, 0}));
    EXPECT_EQ(events.count("Click startWithWindowsBox"), 2);
    // Setting the value in code is not a click.
    window->checkBox(ControlId::StartInTrayBox).setValue(1);
    EXPECT_EQ(window->checkBox(ControlId::StartInTrayBox).value(), 1);
    EXPECT_EQ(events.count("Click startInTrayBox"), 0);
    EXPECT_THROW(window->checkBox(ControlId::StartInTrayBox).setValue(3), PlatformError);
}

TEST_F(MainWindowTest, PushButtonClicksOnceForEachWayOfPressingIt) {
    window->show();
    struct Case {
        const char* how;
        std::vector<std::pair<UINT, WPARAM>> keys;  // empty: a mouse press and release
    };
    const Case cases[] = {
        {"mouse", {}},
        {"space", {{WM_KEYDOWN, VK_SPACE}, {WM_KEYUP, VK_SPACE}}},
        {"enter", {{WM_KEYDOWN, VK_RETURN}, {WM_KEYUP, VK_RETURN}}},
    };
    HWND button = control(ControlId::HelpButton);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        events.events.clear();
        SetFocus(button);
        if (c.keys.empty()) {
            SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
        for (auto [message, key] : c.keys) SendMessageW(button, message, key, 0);
        pump(20);
        EXPECT_EQ(events.events, (std::vector<std::string>{"Click helpButton"}));
    }
}

TEST_F(MainWindowTest, SecondQuickPressOnAButtonIsAClickToo) {
    window->show();
    HWND button = control(ControlId::RefreshNowButton);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(events.count("Click refreshNowButton"), 2);
}

TEST_F(MainWindowTest, ReleaseAwayFromTheButtonIsNoClick) {
    window->show();
    HWND button = control(ControlId::SwitchButton);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 200));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 200));
    EXPECT_EQ(events.count("Click switchButton"), 0);
}

TEST_F(MainWindowTest, EveryPointerMoveIsRaisedForTheControlUnderIt) {
    struct Case {
        ControlId target;  // Window: the window's background
        std::string event;
    };
    const Case cases[] = {
        {ControlId::HelpButton, "MouseMove helpButton"},
        {ControlId::SwitchButton, "MouseMove switchButton"},
        {ControlId::RefreshNowButton, "MouseMove refreshNowButton"},
        {ControlId::OptionsFrame, "MouseMove optionsFrame"},
        {ControlId::Window, "MouseMove window"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        events.events.clear();
        HWND target = c.target != ControlId::Window ? control(c.target) : hwnd;
        for (int x = 1; x <= 3; ++x) SendMessageW(target, WM_MOUSEMOVE, 0, MAKELPARAM(x * 4, 4));
        EXPECT_EQ(events.events, (std::vector<std::string>(3, c.event)));
    }
}

TEST_F(MainWindowTest, PointerOverTheFrameReachesTheFrameButNotUnderTheCheckBoxes) {
    window->show();
    pump(50);
    auto windowAt = [&](ControlId inside, int dx, int dy) {
        RECT rect;
        GetWindowRect(control(inside), &rect);
        return WindowFromPoint(POINT{rect.left + dx, rect.top + dy});
    };
    // A plain group box lets the pointer through to the window behind it.
    EXPECT_EQ(windowAt(ControlId::OptionsFrame, 4, 30), control(ControlId::OptionsFrame));
    EXPECT_EQ(windowAt(ControlId::StartWithWindowsBox, 5, 5), control(ControlId::StartWithWindowsBox));
    EXPECT_EQ(windowAt(ControlId::StartInTrayBox, 30, 5), control(ControlId::StartInTrayBox));
}

TEST_F(MainWindowTest, PointerValueDecidesTheCursorOverTheWindowAndEveryControl) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    HCURSOR hand = CreateCursor(GetModuleHandleW(nullptr), 3, 0, 32, 32, std::vector<BYTE>(128, 0xFF).data(),
                                std::vector<BYTE>(128, 0).data());
    ASSERT_NE(hand, nullptr);
    struct Case {
        int pointer;
        bool withPicture;
        HCURSOR expected;
    };
    const Case cases[] = {
        {kPointerDefault, true, arrow},
        {kPointerHourglass, true, wait},
        {kPointerCustom, true, hand},
        {kPointerCustom, false, arrow},  // no picture loaded: the standard arrow
    };
    const ControlId targets[] = {
        ControlId::Window,       ControlId::HelpButton,          ControlId::SwitchButton,
        ControlId::OptionsFrame, ControlId::StartWithWindowsBox, ControlId::StartInTrayBox};
    for (const Case& c : cases) {
        window->setMouseIcon(c.withPicture ? Picture{Picture::Icon, reinterpret_cast<std::uintptr_t>(hand)}
                                           : Picture{});
        window->setMousePointer(c.pointer);
        EXPECT_EQ(window->mousePointer(), c.pointer);
        for (ControlId target : targets) {
            SCOPED_TRACE(std::to_string(c.pointer) + " over " + controlName(target));
            EXPECT_EQ(cursorOver(target != ControlId::Window ? control(target) : hwnd), c.expected);
        }
    }
    window->setMouseIcon({});
    DestroyCursor(hand);
}

TEST_F(MainWindowTest, TimerTicksOnlyWhileEnabledWithAnInterval) {
    TimerControl& timer = window->timer(ControlId::RefreshTimer);
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_TRUE(timer.enabled());
    pump(300);
    EXPECT_EQ(events.count("Timer refreshTimer"), 0) << "interval 0 never ticks";

    timer.setInterval(1000);
    EXPECT_TRUE(pumpUntil([&] { return events.count("Timer refreshTimer") >= 1; }, 2500));

    timer.setInterval(50);
    timer.setEnabled(false);
    pump(250);
    const int whileDisabled = events.count("Timer refreshTimer");
    pump(250);
    EXPECT_EQ(events.count("Timer refreshTimer"), whileDisabled) << "a disabled timer stays silent";

    EXPECT_THROW(timer.setInterval(-1), PlatformError);
}

TEST_F(MainWindowTest, EnablingOrSettingTheIntervalStartsAFreshInterval) {
    TimerControl& timer = window->timer(ControlId::RefreshTimer);
    struct Case {
        const char* what;
        std::function<void()> restart;
    };
    const Case cases[] = {
        {"setEnabled",
         [&] {
             timer.setEnabled(false);
             timer.setEnabled(true);
         }},
        {"setInterval", [&] { timer.setInterval(400); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        timer.setEnabled(false);
        timer.setInterval(400);
        timer.setEnabled(true);
        events.events.clear();
        pump(250);
        c.restart();
        const auto restarted = std::chrono::steady_clock::now();
        ASSERT_TRUE(pumpUntil([&] { return events.count("Timer refreshTimer") >= 1; }, 2000));
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - restarted);
        // Without the restart the tick would come about 150 ms later.
        EXPECT_GE(waited.count(), 300);
    }
    timer.setEnabled(false);
}

TEST_F(MainWindowTest, EveryWayOfClosingRaisesTheCloseRequest) {
    struct Case {
        const char* how;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"close box and Alt+F4", WM_CLOSE, 0},
        {"system menu", WM_SYSCOMMAND, SC_CLOSE},
        {"end of the Windows session", WM_ENDSESSION, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        events.events.clear();
        SendMessageW(hwnd, c.message, c.wParam, 0);
        EXPECT_EQ(events.events, (std::vector<std::string>{"QueryUnload"}));
        // The handler ends the program; the window never closes by itself.
        EXPECT_TRUE(IsWindow(hwnd));
    }
    events.events.clear();
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(events.events.empty()) << "the session's end is one close request, not two";
}

// The question before a log-off or shut-down is only a question: another
// program may still refuse, and the session then goes on with this one.
TEST_F(MainWindowTest, SessionQuestionIsAnsweredYesAndOnlyTheSessionsRealEndCloses) {
    for (const auto reason :
         {0u, static_cast<unsigned>(ENDSESSION_LOGOFF), static_cast<unsigned>(ENDSESSION_CLOSEAPP)}) {
        EXPECT_EQ(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, static_cast<LPARAM>(reason)), TRUE) << reason;
        SendMessageW(hwnd, WM_ENDSESSION, FALSE, static_cast<LPARAM>(reason));
    }
    EXPECT_TRUE(events.events.empty()) << "a question or a cancelled end closed the window";
    EXPECT_TRUE(IsWindow(hwnd));

    EXPECT_EQ(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(events.events, (std::vector<std::string>{"QueryUnload"}));
}

TEST_F(MainWindowTest, MinimizingRaisesResizeWithTheWindowMinimized) {
    window->show();
    pump(50);
    events.events.clear();
    std::vector<int> statesSeen;
    events.resized = [&] { statesSeen.push_back(window->windowState()); };
    window->setWindowState(kStateMinimized);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_EQ(statesSeen, (std::vector<int>{kStateMinimized}));

    // Hidden behind the tray: back to normal without appearing.
    statesSeen.clear();
    window->setVisible(false);
    window->setWindowState(kStateNormal);
    EXPECT_EQ(statesSeen, (std::vector<int>{kStateNormal}));
    EXPECT_FALSE(IsWindowVisible(hwnd));

    window->setVisible(true);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(window->windowState(), kStateNormal);
}

TEST_F(MainWindowTest, ShowingAMinimizedWindowLetsTheResizeHandlerSeeIt) {
    std::vector<int> statesSeen;
    events.resized = [&] { statesSeen.push_back(window->windowState()); };
    window->setWindowState(kStateMinimized);
    EXPECT_TRUE(statesSeen.empty()) << "no resize before the first show";
    window->show();
    ASSERT_FALSE(statesSeen.empty());
    EXPECT_EQ(statesSeen.front(), kStateMinimized);
    EXPECT_TRUE(IsIconic(hwnd));
}

TEST_F(MainWindowTest, BackColourBelongsToFramesAndCheckBoxesOnly) {
    struct Case {
        ControlId name;
        bool hasBackColor;
    };
    const Case cases[] = {{ControlId::OptionsFrame, true},   {ControlId::StartWithWindowsBox, true},
                          {ControlId::StartInTrayBox, true}, {ControlId::HelpButton, false},
                          {ControlId::RefreshTimer, false},  {ControlId::TrayIcon, false},
                          {ControlId::SkinEngine, false},    {ControlId::Window, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(controlName(c.name));
        if (c.hasBackColor) {
            EXPECT_EQ(window->controlBackColor(c.name), kWhite);
            window->setControlBackColor(c.name, kSystemFace);
            EXPECT_EQ(window->controlBackColor(c.name), kSystemFace);
        } else {
            try {
                window->setControlBackColor(c.name, kSystemFace);
                ADD_FAILURE() << "no error";
            } catch (const PlatformError& error) {
                EXPECT_EQ(error.description(), "Object doesn't support this property or method");
            }
        }
    }
}

TEST_F(MainWindowTest, CheckBoxesArePaintedWithTheirBackColour) {
    auto brushColour = [&](ControlId name) {
        HDC dc = GetDC(control(name));
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control(name))));
        ReleaseDC(control(name), dc);
        LOGBRUSH log{};
        GetObjectW(brush, sizeof(log), &log);
        return log.lbColor;
    };
    EXPECT_EQ(brushColour(ControlId::StartWithWindowsBox), RGB(255, 255, 255));
    window->applySkin(SkinColours{});
    EXPECT_EQ(brushColour(ControlId::StartWithWindowsBox), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(brushColour(ControlId::StartInTrayBox), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(window->backColor(), kSystemFace);
}

TEST_F(MainWindowTest, ControlsAreListedWithTheirKindsInCreationOrder) {
    const auto list = window->controls();
    ASSERT_EQ(list.size(), mainWindowLayout().controls.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].first, mainWindowLayout().controls[i].id);
        EXPECT_EQ(list[i].second, mainWindowLayout().controls[i].kind);
    }
}

// --- pictures from files

std::wstring testFolder() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + L"glance-ui-test\\";
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

std::wstring writeFile(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = testFolder() + name;
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
    return path;
}

std::string readBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 24-bit bitmap file of the given size, every pixel blue.
std::string bitmapFile(int width, int height) {
    const int row = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixels = static_cast<std::uint32_t>(row * height);
    std::string file;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    file += "BM";
    put(54 + pixels, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(height), 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);  // BI_RGB
    put(pixels, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) file += std::string("\xFF\0\0", 3);
        file += std::string(static_cast<std::size_t>(row - width * 3), '\0');
    }
    return file;
}

// The committed hand pointer, found from this source file's place (under
// Wine a Unix path is reached through drive Z:).
std::wstring committedCursor() {
    std::string file = __FILE__;
    file = file.substr(0, file.rfind("tests")) + "res/HAND-M.CUR";
    if (!file.empty() && file[0] == '/') file = "Z:" + file;
    for (char& c : file)
        if (c == '/') c = '\\';
    return widenUtf8(file);
}

TEST(LoadPicture, FailsWithTheClassicTextsForMissingAndDamagedFiles) {
    Win32Ui ui;
    const std::string cursorHeader("\0\0\2\0\1\0", 6);
    struct Case {
        const char* what;
        std::wstring path;
        const char* error;
    };
    // A one-image cursor directory whose entry says where the image is.
    const auto cursorFile = [](std::uint32_t size, std::uint32_t offset, const std::string& image) {
        std::string file(
            "\0\0\2\0\1\0"
            "\x20\x20\0\0\x0E\0\x05\0",
            14);
        for (std::uint32_t v : {size, offset})
            for (int i = 0; i < 4; ++i) file += static_cast<char>((v >> (8 * i)) & 0xFF);
        return file + image;
    };
    const std::string hand = readBytes(committedCursor());
    const std::string handImage = hand.substr(22);
    const Case cases[] = {
        {"missing file", testFolder() + L"no-such-file.cur", errtext::kFileNotFound},
        {"image said to lie beyond the end",
         writeFile(L"beyond.cur", cursorFile(4264, 0x7FFFFFF0, handImage)), errtext::kInvalidPicture},
        {"image longer than the file", writeFile(L"longer.cur", cursorFile(4265, 22, handImage)),
         errtext::kInvalidPicture},
        {"image rows missing", writeFile(L"rows.cur", cursorFile(2000, 22, handImage.substr(0, 2000))),
         errtext::kInvalidPicture},
        {"image header claiming a huge picture",
         writeFile(L"huge.cur",
                   cursorFile(4264, 22,
                              handImage.substr(0, 4) + std::string("\0\x80\0\0", 4) + handImage.substr(8))),
         errtext::kInvalidPicture},
        {"bitmap with rows missing", writeFile(L"rows.bmp", bitmapFile(40, 40).substr(0, 200)),
         errtext::kInvalidPicture},
        {"a folder", testFolder(), errtext::kFileNotFound},
        {"empty file", writeFile(L"empty.cur", ""), errtext::kInvalidPicture},
        {"text", writeFile(L"text.cur", "not a picture at all"), errtext::kInvalidPicture},
        {"cursor header only", writeFile(L"header.cur", cursorHeader), errtext::kInvalidPicture},
        {"cut-off image", writeFile(L"cut.cur", cursorHeader + std::string(16, '\x20')),
         errtext::kInvalidPicture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            ui.loadPicture(c.path);
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.description(), c.error);
        }
    }
}

// A folder deeper than MAX_PATH (made through the long-path form), with the
// committed hand pointer copied into it; the plain path is returned.
std::wstring handInALongFolder() {
    std::wstring folder = testFolder() + L"long";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int level = 0; folder.size() < 300; ++level) {
        folder += L"\\level-" + std::to_wstring(level) + L"-" + std::wstring(40, L'x');
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    const std::wstring path = folder + L"\\HAND-M.CUR";
    EXPECT_TRUE(CopyFileW(committedCursor().c_str(), (L"\\\\?\\" + path).c_str(), FALSE)) << GetLastError();
    return path;
}

TEST(LoadPicture, HandPointerLoadsAsAnIconPictureWithItsHotspotAtTheFingertip) {
    const std::wstring longPath = handInALongFolder();
    ASSERT_GT(longPath.size(), static_cast<std::size_t>(MAX_PATH));
    for (const std::wstring& path : {committedCursor(), longPath}) {
        SCOPED_TRACE(path.size());
        Win32Ui ui;
        const Picture hand = ui.loadPicture(path);
        EXPECT_EQ(hand.type, Picture::Icon);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(hand.handle), &info));
        EXPECT_FALSE(info.fIcon);
        EXPECT_EQ(info.xHotspot, 14u);
        EXPECT_EQ(info.yHotspot, 5u);
        BITMAP mask{};
        GetObjectW(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, 32);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
}

TEST(LoadPicture, IconsAndBitmapsLoadAsTheirOwnKindWhateverTheirName) {
    Win32Ui ui;
    const std::wstring iconPath = committedCursor().substr(0, committedCursor().rfind(L'\\')) + L"\\tray.ico";
    const Picture tray = ui.loadPicture(iconPath);
    EXPECT_EQ(tray.type, Picture::Icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(tray.handle), &info));
    EXPECT_TRUE(info.fIcon);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);

    const Picture bitmap = ui.loadPicture(writeFile(L"picture.cur", bitmapFile(5, 3)));
    EXPECT_EQ(bitmap.type, Picture::Bitmap);
    BITMAP shape{};
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HBITMAP>(bitmap.handle), sizeof shape, &shape));
    EXPECT_EQ(shape.bmWidth, 5);
    EXPECT_EQ(shape.bmHeight, 3);
}

}  // namespace
}  // namespace glance::win32
