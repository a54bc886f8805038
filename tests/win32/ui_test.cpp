// The real main window under Wine: layout in pixels, captions, tab order,
// the routes of clicks, pointer moves, ticks and close requests to the
// event sink, the pointer shapes, the keyboard through the dialog manager,
// the colours it is painted in, what a screen reader hears,
// pictures loaded from files, and the icons the program carries at each DPI.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../../res/resource.h"
#include "ControlNames.h"
#include "controller/MainWindowLayout.h"
#include "controller/WindowColours.h"
#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32Ui.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {
namespace {

struct Recorder : WindowEvents {
    std::vector<std::string> events;
    std::function<void(ControlId)> clicked;
    std::function<void()> resized;
    std::function<void()> coloursChanged;
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
    void onColoursChanged() override {
        if (coloursChanged) coloursChanged();
    }
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
        // Painted as the program paints it.
        events.coloursChanged = [this] {
            ++colourDecisions;
            window->setPaint(decideWindowPaint(colourSources(*window, mainWindowLayout(), false)));
        };
        events.coloursChanged();
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
    int colourDecisions = 0;
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

// Where the window at its designed size would not fit the work area, it is
// laid out at the largest DPI at which it fits, frame and caption included.
TEST(MainWindowLayout, ScalesEveryLengthWithTheDpiDownToWhatTheWorkAreaHolds) {
    const WindowLayout& form = mainWindowLayout();
    const SIZE frame{14, 59}, large{3840, 2160};
    struct Case {
        int dpi;
        SIZE workArea;
        SIZE client;
        RECT helpButton;
        RECT startInTrayBox;
    };
    const Case cases[] = {
        {96, large, {536, 168}, {8, 8, 528, 35}, {288, 62, 428, 81}},
        {120, large, {670, 210}, {10, 10, 660, 44}, {360, 78, 535, 102}},
        {144, large, {804, 252}, {12, 12, 792, 53}, {432, 93, 642, 122}},
        {192, large, {1072, 336}, {16, 16, 1056, 70}, {576, 124, 856, 162}},
        // 1024 x 768 less a taskbar: 144 DPI fits as designed, 192 DPI at 180.
        {144, {1024, 738}, {804, 252}, {12, 12, 792, 53}, {432, 93, 642, 122}},
        {192, {1024, 738}, {1005, 315}, {15, 15, 990, 66}, {540, 117, 803, 153}},
        {192, {800, 570}, {782, 245}, {12, 12, 770, 51}, {420, 90, 624, 118}},
        {192, {1600, 380}, {1022, 320}, {15, 15, 1006, 66}, {549, 118, 816, 154}},  // too low
        {192, {400, 300}, {536, 168}, {8, 8, 528, 35}, {288, 62, 428, 81}},         // never below 96 DPI
    };
    auto find = [&](ControlId id) {
        return *std::find_if(form.controls.begin(), form.controls.end(),
                             [&](const ControlLayout& c) { return c.id == id; });
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " DPI on " + std::to_string(c.workArea.cx) + " x " +
                     std::to_string(c.workArea.cy));
        const int dpi = layoutDpiToFit(form, c.dpi, frame, c.workArea);
        const SIZE client = clientPixelSize(form, dpi);
        EXPECT_EQ(client.cx, c.client.cx);
        EXPECT_EQ(client.cy, c.client.cy);
        const RECT button = controlPixelRect(form, find(ControlId::HelpButton), dpi);
        const RECT check = controlPixelRect(form, find(ControlId::StartInTrayBox), dpi);
        EXPECT_EQ((std::vector<LONG>{button.left, button.top, button.right, button.bottom}),
                  (std::vector<LONG>{c.helpButton.left, c.helpButton.top, c.helpButton.right,
                                     c.helpButton.bottom}));
        EXPECT_EQ((std::vector<LONG>{check.left, check.top, check.right, check.bottom}),
                  (std::vector<LONG>{c.startInTrayBox.left, c.startInTrayBox.top, c.startInTrayBox.right,
                                     c.startInTrayBox.bottom}));
    }
}

// Also when the window, at 192 DPI, is laid out smaller to fit its screen:
// its check glyphs are still drawn at 192.
TEST(MainWindowLayout, EveryCheckBoxHasRoomForItsLabelFrom96To192Dpi) {
    const WindowLayout& form = mainWindowLayout();
    HDC dc = GetDC(nullptr);
    for (int dpi = 96; dpi <= 192; dpi += 24) {
        const UniqueHfont font = createFont(form.font, dpi);
        const PixelLayout pixels = pixelLayout(form, dpi, font.get(), 192);
        const SelectedObject selected(dc, font.get());
        LONG right = 0;  // the boxes of the row do not overlap
        for (std::size_t i = 0; i < form.controls.size(); ++i) {
            if (form.controls[i].kind != ControlKind::CheckBox) continue;
            SCOPED_TRACE(std::to_string(dpi) + " DPI: " + form.controls[i].caption);
            const std::wstring label = widenUtf8(form.controls[i].caption);
            SIZE text{};
            GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &text);
            const RECT box = pixels.controls[i];
            EXPECT_GE(box.right - box.left, systemMetricForDpi(SM_CXMENUCHECK, 192) + text.cx);
            EXPECT_GE(box.left, right);
            right = box.right;
        }
    }
    ReleaseDC(nullptr, dc);
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
    // The frame takes no focus; screen readers, which go by z-order, meet it
    // right before the first box it holds.
    EXPECT_EQ(GetWindowLongPtrW(control(ControlId::OptionsFrame), GWL_STYLE) & WS_TABSTOP, 0);
    EXPECT_EQ(GetWindow(control(ControlId::OptionsFrame), GW_HWNDNEXT),
              control(ControlId::StartWithWindowsBox));
}

// --- the keyboard through the dialog manager, as the program's loop runs it

// The state each push button was last drawn in: WM_DRAWITEM reaches the main
// window, where a subclass of the test's own reads it on the way.
class DrawStates {
public:
    explicit DrawStates(HWND main) : main_(main) {
        SetWindowSubclass(main_, &DrawStates::proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
    ~DrawStates() { RemoveWindowSubclass(main_, &DrawStates::proc, kSubclassId); }
    DrawStates(const DrawStates&) = delete;
    DrawStates& operator=(const DrawStates&) = delete;

    // True when the button was last drawn with a visible focus cue.
    bool showsFocus(HWND button) const {
        const auto found = last_.find(button);
        return found != last_.end() && (found->second & ODS_FOCUS) != 0 &&
               (found->second & ODS_NOFOCUSRECT) == 0;
    }
    bool drawn(HWND button) const { return last_.count(button) != 0; }

private:
    static constexpr UINT_PTR kSubclassId = 0x7E57;
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR self) {
        if (message == WM_DRAWITEM) {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            reinterpret_cast<DrawStates*>(self)->last_[item->hwndItem] = item->itemState;
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }

    HWND main_;
    std::map<HWND, UINT> last_;
};

// Runs the thread's messages as GlanceRefresher's own loop does: every
// message passes the main window's dialog manager first.
void pumpThroughDialogManager(HWND main) {
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (IsDialogMessageW(main, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The shift key as GetKeyState reports it to the dialog manager.
void holdShift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    keys[VK_LSHIFT] = keys[VK_SHIFT];
    SetKeyboardState(keys);
}

// One key press and release posted to the focused window, as the keyboard
// delivers it.
void pressKey(HWND main, WPARAM key, bool shift = false) {
    holdShift(shift);
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1 | (scan << 16));
    pumpThroughDialogManager(main);
    PostMessageW(GetFocus(), WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    pumpThroughDialogManager(main);
    holdShift(false);
}

void clickWithMouse(HWND main, HWND target) {
    RECT rect;
    GetClientRect(target, &rect);
    const LPARAM centre = MAKELPARAM(rect.right / 2, rect.bottom / 2);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    pumpThroughDialogManager(main);
    PostMessageW(target, WM_LBUTTONUP, 0, centre);
    pumpThroughDialogManager(main);
}

TEST_F(MainWindowTest, ButtonsKeepTheirLookAndOneFocusCueOnEveryFocusRoute) {
    DrawStates draws(hwnd);
    window->show();
    window->setFocus();
    pumpThroughDialogManager(hwnd);
    const ControlId buttons[] = {ControlId::HelpButton, ControlId::SwitchButton, ControlId::RefreshNowButton};
    const ControlId cycle[] = {ControlId::StartWithWindowsBox, ControlId::StartInTrayBox,
                               ControlId::SwitchButton, ControlId::RefreshNowButton, ControlId::HelpButton};
    const int stops = static_cast<int>(std::size(cycle));
    ASSERT_EQ(GetFocus(), control(cycle[0]));

    enum class Input { Tab, ShiftTab, Enter, Space, Mouse };
    struct Step {
        Input input;
        ControlId target;  // the mouse's target; otherwise unused
        ControlId focus;   // where the focus is afterwards
        std::vector<std::string> events;
    };
    std::vector<Step> steps;
    // Twice round the window forwards, then twice backwards.
    for (int i = 1; i <= 2 * stops; ++i) steps.push_back({Input::Tab, {}, cycle[i % stops], {}});
    for (int i = 2 * stops - 1; i >= 0; --i) steps.push_back({Input::ShiftTab, {}, cycle[i % stops], {}});
    const std::vector<Step> more = {
        {Input::Mouse, ControlId::SwitchButton, ControlId::SwitchButton, {"Click switchButton"}},
        {Input::Enter, {}, ControlId::SwitchButton, {"Click switchButton"}},
        {Input::Space, {}, ControlId::SwitchButton, {"Click switchButton"}},
        {Input::Tab, {}, ControlId::RefreshNowButton, {}},
        {Input::Enter, {}, ControlId::RefreshNowButton, {"Click refreshNowButton"}},
        {Input::Mouse, ControlId::HelpButton, ControlId::HelpButton, {"Click helpButton"}},
        {Input::ShiftTab, {}, ControlId::RefreshNowButton, {}},
        {Input::Tab, {}, ControlId::HelpButton, {}},
        {Input::Tab, {}, ControlId::StartWithWindowsBox, {}},
        // Enter on a check box clicks no button: the window has no default one.
        {Input::Enter, {}, ControlId::StartWithWindowsBox, {}},
        {Input::Space, {}, ControlId::StartWithWindowsBox, {"Click startWithWindowsBox"}},
        {Input::Mouse, ControlId::StartInTrayBox, ControlId::StartInTrayBox, {"Click startInTrayBox"}},
    };
    steps.insert(steps.end(), more.begin(), more.end());

    int number = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(++number) + ", focus on " + controlName(step.focus));
        events.events.clear();
        switch (step.input) {
        case Input::Tab:
            pressKey(hwnd, VK_TAB);
            break;
        case Input::ShiftTab:
            pressKey(hwnd, VK_TAB, true);
            break;
        case Input::Enter:
            pressKey(hwnd, VK_RETURN);
            break;
        case Input::Space:
            pressKey(hwnd, VK_SPACE);
            break;
        case Input::Mouse:
            clickWithMouse(hwnd, control(step.target));
            break;
        }

        EXPECT_EQ(GetFocus(), control(step.focus));
        EXPECT_EQ(events.events, step.events);
        for (ControlId id : buttons) {
            SCOPED_TRACE(controlName(id));
            HWND button = control(id);
            EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
            EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON),
                      0);
            EXPECT_TRUE(draws.drawn(button));
            // After the first Tab the focus cue shows, on the focused button only.
            EXPECT_EQ(draws.showsFocus(button), id == step.focus);
        }
    }
}

TEST_F(MainWindowTest, RestyledButtonStaysOwnerDrawn) {
    // What a dialog host sends the button it takes for its default one, and back.
    HWND button = control(ControlId::SwitchButton);
    for (const WPARAM style : {BS_DEFPUSHBUTTON, BS_PUSHBUTTON, BS_OWNERDRAW}) {
        SCOPED_TRACE(style);
        SendMessageW(button, BM_SETSTYLE, style, TRUE);
        EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    }
}

// A screen reader hears focus moves and the switch's new caption and
// description, each once. A ticked box reports its own state on Windows (not
// under Wine 8), so the program adds no second report; a notice read out goes
// to UI Automation (absent from Wine 8), never to these events.
std::vector<std::pair<DWORD, HWND>> heardEvents;
void CALLBACK hearEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (object == OBJID_CLIENT && event != EVENT_OBJECT_LOCATIONCHANGE)
        heardEvents.emplace_back(event, window);
}

TEST_F(MainWindowTest, ScreenReadersHearFocusANewCaptionAndDescriptionOnceAndNoSecondTick) {
    window->show();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr,
                                         &hearEvent, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    for (int twice = 0; twice < 2; ++twice) {
        window->button(ControlId::SwitchButton).setCaption("Turn Off");
        window->setDescription(ControlId::SwitchButton, "Automatic refresh is on");
        window->checkBox(ControlId::StartWithWindowsBox).setValue(1);
        window->announce(ControlId::RefreshNowButton, "Desktop icons updated");
    }
    clickWithMouse(hwnd, control(ControlId::StartInTrayBox));
    pump(100);
    UnhookWinEvent(hook);
    const std::vector<std::pair<DWORD, HWND>> expected = {
        {EVENT_OBJECT_NAMECHANGE, control(ControlId::SwitchButton)},
        {EVENT_OBJECT_DESCRIPTIONCHANGE, control(ControlId::SwitchButton)},
        {EVENT_OBJECT_FOCUS, control(ControlId::StartInTrayBox)}};
    EXPECT_EQ(heardEvents, expected);
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

TEST_F(MainWindowTest, WindowHiddenInTheTrayComesBackMinimizedWhenAskedTo) {
    window->show();
    window->setWindowState(kStateMinimized);
    window->setVisible(false);
    window->setWindowState(kStateNormal);
    window->setWindowState(kStateMinimized);  // the icon is gone: back on the taskbar
    window->setVisible(true);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(IsIconic(hwnd)) << "restored instead";
    EXPECT_EQ(window->windowState(), kStateMinimized);
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

// The check boxes draw their captions through the system, in the pair of
// colours decided for them; in high contrast, the user's own.
TEST_F(MainWindowTest, CheckBoxesDrawTheirCaptionInTheirDecidedPair) {
    const auto drawnWith = [&](ControlId name) {
        HDC dc = GetDC(control(name));
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control(name))));
        const COLORREF text = GetTextColor(dc);
        ReleaseDC(control(name), dc);
        LOGBRUSH log{};
        GetObjectW(brush, sizeof(log), &log);
        return std::pair(log.lbColor, text);
    };
    EXPECT_EQ(drawnWith(ControlId::StartWithWindowsBox), std::pair(RGB(255, 255, 255), RGB(0, 0, 0)));
    window->applySkin(SkinColours{});
    EXPECT_EQ(window->backColor(), kSystemFace);
    EXPECT_EQ(drawnWith(ControlId::StartInTrayBox), std::pair(RGB(240, 240, 240), RGB(0, 0, 0)));
    window->setPaint(decideWindowPaint(colourSources(*window, mainWindowLayout(), true)));
    EXPECT_EQ(drawnWith(ControlId::StartInTrayBox),
              std::pair(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)));
}

LRESULT CALLBACK countColourChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR count) {
    if (message == WM_SYSCOLORCHANGE) ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Each control hears of new system colours once, from its top-level window,
// and the window's colours are decided again.
TEST_F(MainWindowTest, HighContrastSchemeAndThemeChangesAskForTheColoursAgain) {
    std::map<ControlId, int> heard;
    for (const auto& [id, kind] : window->controls())
        if (control(id) != nullptr)
            SetWindowSubclass(control(id), &countColourChanges, 0x7E58,
                              reinterpret_cast<DWORD_PTR>(&heard[id]));
    const std::pair<UINT, WPARAM> messages[] = {{WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST},
                                                {WM_SETTINGCHANGE, SPI_SETWORKAREA},  // not a colour
                                                {WM_SYSCOLORCHANGE, 0},
                                                {WM_THEMECHANGED, 0}};
    const int before = colourDecisions;
    for (const auto& [message, wParam] : messages) SendMessageW(hwnd, message, wParam, 0);
    EXPECT_EQ(colourDecisions - before, 3);
    EXPECT_EQ(heard.size(), 6u);
    for (const auto& [id, count] : heard) EXPECT_EQ(count, 1) << controlName(id);
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

// --- the icons the program carries

// An icon's image as the system holds it: its size and its pixels, top-down,
// each 0xAARRGGBB.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    static int alpha(std::uint32_t pixel) { return static_cast<int>(pixel >> 24); }
    int count(bool (*test)(std::uint32_t)) const {
        return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), test));
    }
};

IconImage imageOf(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return {};
    UniqueHbitmap colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bitmap{};
    if (!colour || !GetObjectW(colour.get(), sizeof bitmap, &bitmap)) return {};
    IconImage image{bitmap.bmWidth, bitmap.bmHeight, {}};
    image.pixels.resize(static_cast<size_t>(image.width * image.height));
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = image.width;
    format.bmiHeader.biHeight = -image.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, colour.get(), 0, static_cast<UINT>(image.height), image.pixels.data(),
                               &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != image.height) return {};
    return image;
}

IconImage imageOf(const Picture& picture) {
    return imageOf(reinterpret_cast<HICON>(picture.handle));
}

constexpr std::uint32_t kTrayCyan = 0xFFB1FFFF;  // opaque RGB 177, 255, 255
constexpr std::uint32_t kTrayBlue = 0xFF07A2FE;  // opaque RGB 7, 162, 254

TEST(TrayIcon, HasTheSmallIconSizeOfEachDpiDrawnWithAnAlphaChannel) {
    Win32Ui ui;
    struct Case {
        int dpi;
        int size;
    };
    // 96 to 192 DPI have images of their own; 168 DPI (175 %) has none.
    const Case cases[] = {{96, 16}, {120, 20}, {144, 24}, {168, 28}, {192, 32}, {288, 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        const Picture icon = ui.trayIcon(c.dpi);
        EXPECT_EQ(icon.type, Picture::Icon);
        const IconImage image = imageOf(icon);
        ASSERT_EQ(image.width, c.size);
        ASSERT_EQ(image.height, c.size);
        // The corners are rounded off into transparency; the field, the frame
        // and the letter are opaque, in the picture's own colours.
        EXPECT_LT(IconImage::alpha(image.at(0, 0)), 128);
        EXPECT_LT(IconImage::alpha(image.at(c.size - 1, c.size - 1)), 128);
        EXPECT_EQ(image.at(c.size / 2, 0) & 0xFFFFFFu, 0u) << "the top edge is the black frame";
        EXPECT_GT(image.count([](std::uint32_t p) { return p == kTrayCyan; }), c.size * c.size / 8);
        EXPECT_GT(image.count([](std::uint32_t p) { return p == kTrayBlue; }), c.size * c.size / 8);
        EXPECT_GT(image.count([](std::uint32_t p) { return IconImage::alpha(p) == 255; }),
                  c.size * c.size * 9 / 10);
    }
}

TEST(TrayIcon, WithoutADpiHasTheSmallIconSizeOfTheDpiInForce) {
    Win32Ui ui;
    const Picture icon = ui.trayIcon();
    const IconImage image = imageOf(icon);
    EXPECT_EQ(image.width, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(image.height, GetSystemMetrics(SM_CYSMICON));
    EXPECT_EQ(icon, ui.trayIcon(systemDpi()));
}

TEST(TrayIcon, SameSizeGivesTheSamePictureAndEarlierPicturesStayValid) {
    Win32Ui ui;
    const Picture at96 = ui.trayIcon(96);
    const Picture at144 = ui.trayIcon(144);
    EXPECT_NE(at96, at144);
    // 100 DPI still asks for 16 px: nothing for a caller to change.
    EXPECT_EQ(ui.trayIcon(100), at96);
    EXPECT_EQ(ui.trayIcon(144), at144);
    // The shell may still show the 16 px picture when the 24 px one is made.
    EXPECT_EQ(imageOf(at96).width, 16);
}

TEST(TrayIcon, DpiThatNoScreenHasIsAnInvalidArgument) {
    Win32Ui ui;
    for (const int dpi : {0, -96, 100000}) {
        SCOPED_TRACE(dpi);
        try {
            ui.trayIcon(dpi);
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.description(), errtext::kInvalidCall);
        }
    }
}

TEST(ProgramIcon, CarriesAnImageForEverySizeFrom16To256) {
    // Every frame is PNG inside the .ico; each must load at its own size, not
    // as a stretched copy of another.
    for (const int size : {16, 20, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        UniqueHicon icon(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, size, size, 0)));
        const IconImage image = imageOf(icon.get());
        ASSERT_EQ(image.width, size);
        EXPECT_EQ(IconImage::alpha(image.at(0, size - 1)), 0) << "the lower corners are clear";
        EXPECT_EQ(IconImage::alpha(image.at(size / 2, size / 2)), 255) << "the screen is opaque";
    }
}

TEST_F(MainWindowTest, WindowIconsHaveTheSizesOfTheWindowDpiAndFollowItsChanges) {
    Win32Ui ui;
    window->setIcon(ui.programIcon());
    const auto iconWidth = [&](WPARAM which) {
        return imageOf(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0))).width;
    };
    EXPECT_EQ(iconWidth(ICON_SMALL), systemMetricForDpi(SM_CXSMICON, window->dpi()));
    EXPECT_EQ(iconWidth(ICON_BIG), systemMetricForDpi(SM_CXICON, window->dpi()));

    // Moved to a monitor at another DPI, the window sizes its icons for it.
    for (const int dpi : {144, 192, 96}) {
        SCOPED_TRACE(dpi);
        RECT suggested;
        GetWindowRect(hwnd, &suggested);
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(iconWidth(ICON_SMALL), dpi / 6);
        EXPECT_EQ(iconWidth(ICON_BIG), dpi / 3);
    }
}

}  // namespace
}  // namespace glance::win32
