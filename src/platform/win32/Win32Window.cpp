#include "platform/win32/Win32Window.h"

#include <utility>

#include "core/Error.h"
#include "platform/OnScreen.h"
#include "platform/win32/Win32HiddenWindow.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"GlanceRefresherMainWindow";
constexpr int kFirstControlId = 1000;
constexpr char kNoSuchProperty[] = "Object doesn't support this property or method";

BOOL CALLBACK addWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<ScreenRect>*>(areas)->push_back({r.left, r.top, r.right, r.bottom});
    }
    return TRUE;
}

}  // namespace

Win32Window::Win32Window(WindowLayout design, WindowEvents& events)
    : design_(std::move(design)), events_(events), caption_(design_.caption), backColor_(design_.backColor) {
    // No class cursor and no class brush: WM_SETCURSOR and WM_ERASEBKGND
    // follow the window's own pointer value and back colour.
    registerWindowClass(kWindowClass, &Win32Window::windowProc);
    // Created hidden and unsized: the size depends on the DPI of the monitor
    // the window lands on, known only once the window exists.
    HWND window =
        CreateWindowExW(0, kWindowClass, widenUtf8(caption_).c_str(), kMainWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw PlatformError(errtext::kOutOfMemory);
    try {
        dpi_ = layoutDpi_ = dpiForWindow(window);
        font_ = createFont(design_.font, dpi_);
        createControls();
        orderByTabIndex();
        layout(dpi_, nullptr);
        applyColours();
    } catch (...) {
        // The destructor will not run: the window must stop reaching this
        // object before its members go.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        throw;
    }
    dispatching_ = true;
}

Win32Window::~Win32Window() {
    // Teardown order: stop dispatch first, so that messages sent while the
    // controls go (focus, parent notifications) no longer reach this object;
    // the controls then unsubclass and destroy their windows, and the window
    // itself goes last.
    dispatching_ = false;
    if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void Win32Window::createControls() {
    HWND parent = window_.get();
    for (const ControlLayout& design : design_.controls) {
        // A child window's id, or the timer's.
        const int id = kFirstControlId + static_cast<int>(controls_.size());
        Control& control = controls_.emplace_back(design);
        if (design.kind == ControlKind::PushButton)
            control.child =
                std::make_unique<Win32PushButton>(parent, id, design.caption, design_.buttonFont, dpi_);
        else if (design.kind == ControlKind::CheckBox)
            control.child = std::make_unique<Win32CheckBox>(parent, id, design.caption, font_.get());
        else if (design.kind == ControlKind::Frame)
            control.child = std::make_unique<Win32Frame>(parent, id, design.caption, font_.get());
        else if (design.kind == ControlKind::Timer)
            control.timer = std::make_unique<Win32Timer>(parent, static_cast<UINT_PTR>(id));
        if (takesBackColor(design.kind)) control.back = kWhite;
    }
}

void Win32Window::orderByTabIndex() {
    // Sibling order is tab order, both for our Tab handling and for a dialog
    // manager: each tab stop in turn goes below the one before it, controls
    // of equal tab index in creation order. A frame sits below the controls
    // it holds, so they stay on top of it for painting and for the pointer.
    const auto before = [](const Control& a, const Control& b) {
        return a.design.tabIndex < b.design.tabIndex || (a.design.tabIndex == b.design.tabIndex && &a < &b);
    };
    HWND after = HWND_TOP;
    for (const Control* last = nullptr;;) {
        const Control* next = nullptr;
        for (const Control& control : controls_)
            if (control.window() != nullptr && control.design.tabIndex >= 0 &&
                (last == nullptr || before(*last, control)) && (next == nullptr || before(control, *next)))
                next = &control;
        if (next == nullptr) break;
        SetWindowPos(next->window(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = next->window();
        last = next;
    }
    // A frame goes just above the first control it holds. Screen readers go
    // through a window's children in this order, and take a group box that
    // comes before a control and surrounds it for that control's group: so
    // they meet "Startup Options" before its boxes. A frame is no tab stop,
    // so the tab order stays; holes in it let its controls paint and take
    // the pointer (cutFramesAroundHeldControls).
    for (const Control& frame : controls_) {
        if (frame.design.kind != ControlKind::Frame) continue;
        for (HWND child = GetWindow(window_.get(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const Control* held = findControl(child);
            if (held == nullptr || held->design.container != frame.design.id) continue;
            HWND above = GetWindow(child, GW_HWNDPREV);
            if (above != frame.window())
                SetWindowPos(frame.window(), above != nullptr ? above : HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        }
    }
}

// Each frame's window region leaves out the controls it holds, which lie
// below it: they paint themselves and take the pointer as before, and the
// rest of the frame is still the frame's.
void Win32Window::cutFramesAroundHeldControls() {
    for (const Control& frame : controls_) {
        if (frame.design.kind != ControlKind::Frame) continue;
        RECT outer;
        GetWindowRect(frame.window(), &outer);
        HRGN region = CreateRectRgn(0, 0, outer.right - outer.left, outer.bottom - outer.top);
        for (const Control& held : controls_) {
            if (held.window() == nullptr || held.design.container != frame.design.id) continue;
            RECT hole;
            GetWindowRect(held.window(), &hole);
            OffsetRect(&hole, -outer.left, -outer.top);
            const UniqueGdiObject<HRGN> cut(CreateRectRgnIndirect(&hole));
            CombineRgn(region, region, cut.get(), RGN_DIFF);
        }
        // The window owns the region from here.
        if (!SetWindowRgn(frame.window(), region, TRUE)) DeleteObject(region);
    }
}

void Win32Window::layout(int dpi, const RECT* suggested) {
    // The old font stays alive until every control has been given the new one.
    UniqueHfont replaced;
    const int layoutDpi = fittingLayoutDpi(dpi, suggested);
    if (dpi != dpi_ || layoutDpi != layoutDpi_) {
        dpi_ = dpi;
        layoutDpi_ = layoutDpi;
        replaced = std::exchange(font_, createFont(design_.font, layoutDpi));
    }
    // Each label measured in the font of this DPI gets the room it needs.
    const PixelLayout pixels = pixelLayout(design_, layoutDpi, font_.get(), dpi);
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (const auto& child = controls_[i].child)
            child->relayout(pixels.controls[i], font_.get(), layoutDpi);
    cutFramesAroundHeldControls();
    if (lockNotes_) lockNotes_->relayout();
    const RECT place = windowPixelRect(window_.get(), pixels.client, dpi, suggested);
    SetWindowPos(window_.get(), nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // At start and after a change of scale the whole window lies on its
    // monitor's work area; a DPI change while the user drags the window to
    // another monitor leaves it where the user puts it.
    if (!userMoving_) fitOnScreen(true);
}

// The layout's DPI on the work area of the monitor the window is going to
// (the suggested place's) or is on.
int Win32Window::fittingLayoutDpi(int dpi, const RECT* suggested) const {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = suggested != nullptr ? MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST)
                                            : MonitorFromWindow(window_.get(), MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(monitor, &info)) return dpi;
    const RECT& work = info.rcWork;
    return layoutDpiToFit(design_, dpi, framePixelSize(window_.get(), dpi),
                          SIZE{work.right - work.left, work.bottom - work.top});
}

void Win32Window::bringOntoScreen() {
    // After the screen changed (a lower resolution, another monitor) the
    // window may need another size to fit; a minimized one is seen to when
    // it is restored.
    HWND window = window_.get();
    RECT bounds;
    if (!IsIconic(window) && GetWindowRect(window, &bounds) &&
        fittingLayoutDpi(dpi_, &bounds) != layoutDpi_) {
        layout(dpi_, &bounds);
        return;
    }
    fitOnScreen(false);
}

// The work areas of the monitors there are now, and the window moved onto
// the nearest one when it cannot be reached where it is, or wholly into its
// own one.
void Win32Window::fitOnScreen(bool whole) {
    HWND window = window_.get();
    // A minimized window has no place of its own on a screen; it is checked
    // when it is restored.
    if (IsIconic(window)) return;
    RECT bounds;
    POINT client{0, 0};
    if (!GetWindowRect(window, &bounds) || !ClientToScreen(window, &client)) return;
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, &addWorkArea, reinterpret_cast<LPARAM>(&areas));
    // The frame and the caption: everything above the client area.
    const int caption = client.y > bounds.top ? client.y - bounds.top : GetSystemMetrics(SM_CYCAPTION);
    const auto place =
        placeOnScreen({bounds.left, bounds.top, bounds.right, bounds.bottom}, caption, areas, whole);
    if (place)
        SetWindowPos(window, nullptr, place->x, place->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Paints with the colours the logic decided; system colours among them are
// looked up again, so this runs on every change of the user's colours too.
void Win32Window::applyColours() {
    back_.set(paint_.back);
    for (Control& control : controls_) {
        for (const auto& [id, paint] : paint_.controls)
            if (id == control.design.id) control.paint = paint;
        control.brush.set(control.paint.back);
        if (control.child) control.child->setPaint(control.paint);
    }
    RedrawWindow(window_.get(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
}

HWND Win32Window::controlWindow(ControlId id) {
    const Control* control = findControl(id);
    return control != nullptr ? control->window() : nullptr;
}

Win32Window::Control* Win32Window::findControl(ControlId id) {
    for (Control& control : controls_)
        if (control.design.id == id) return &control;
    return nullptr;
}

Win32Window::Control* Win32Window::findControl(HWND window) {
    if (window == nullptr) return nullptr;
    for (Control& control : controls_)
        if (control.window() == window) return &control;
    return nullptr;
}

Win32Window::Control& Win32Window::controlWith(ControlId id, bool (*has)(const Control&)) {
    Control* control = findControl(id);
    if (control == nullptr || !has(*control)) throw PlatformError(kNoSuchProperty);
    return *control;
}

// --- properties

void Win32Window::setCaption(const std::string& caption) {
    if (!SetWindowTextW(window_.get(), widenUtf8(caption).c_str()))
        throw PlatformError(errtext::kInvalidCall);
    caption_ = caption;
}

void Win32Window::setIcon(const Picture& icon) {
    if (!icon.empty() && icon.type != Picture::Icon) throw PlatformError(errtext::kInvalidPicture);
    icon_ = icon;
    applyIcon();
}

// The title bar, Alt+Tab and the taskbar want icons of their own sizes at the
// window's DPI; a copy from the icon's resource picks the image drawn for
// each size rather than stretching another. Again after a DPI change.
void Win32Window::applyIcon() {
    HICON given = reinterpret_cast<HICON>(icon_.handle);
    const auto copyAt = [&](int metric) {
        const int size = systemMetricForDpi(metric, dpi_);
        return UniqueHicon(given != nullptr ? static_cast<HICON>(CopyImage(given, IMAGE_ICON, size, size,
                                                                           LR_COPYFROMRESOURCE))
                                            : nullptr);
    };
    UniqueHicon small = copyAt(SM_CXSMICON);
    UniqueHicon big = copyAt(SM_CXICON);
    SendMessageW(window_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big ? big.get() : given));
    SendMessageW(window_.get(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(small ? small.get() : given));
    // The window no longer shows the copies it had: they can go.
    smallIcon_ = std::move(small);
    bigIcon_ = std::move(big);
}

void Win32Window::setBackColor(Colour colour) {
    backColor_ = colour;
    raise(&WindowEvents::onColoursChanged);
}

void Win32Window::setMousePointer(int pointer) {
    pointer_ = pointer;
    refreshCursor();
}

void Win32Window::setMouseIcon(const Picture& picture) {
    if (!picture.empty() && picture.type != Picture::Icon) throw PlatformError(errtext::kInvalidPicture);
    mouseIcon_ = picture;
    refreshCursor();
}

HCURSOR Win32Window::cursorForPointer() const {
    if (pointer_ == kPointerHourglass) return LoadCursorW(nullptr, IDC_WAIT);
    if (pointer_ == kPointerCustom && mouseIcon_.handle != 0)
        return reinterpret_cast<HCURSOR>(mouseIcon_.handle);
    return LoadCursorW(nullptr, IDC_ARROW);
}

void Win32Window::refreshCursor() const {
    // A new pointer shows at once when the pointer is over the window, not
    // only at its next move (the hourglass must appear before a long step).
    POINT point;
    if (!GetCursorPos(&point)) return;
    HWND under = WindowFromPoint(point);
    HWND window = window_.get();
    if (under != window && !IsChild(window, under)) return;
    if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) != HTCLIENT) return;
    SetCursor(cursorForPointer());
}

void Win32Window::setWindowState(int state) {
    if (state != kStateNormal && state != kStateMinimized) throw PlatformError(errtext::kInvalidCall);
    if (state == state_) return;
    if (IsWindowVisible(window_.get())) {
        showResized(state == kStateMinimized ? SW_MINIMIZE : SW_RESTORE);
        return;
    }
    // A hidden window keeps its new state for when it is shown again; showing
    // it would be the caller's choice, not a side effect of the state.
    state_ = state;
    if (shown_) raise(&WindowEvents::onResize);
}

void Win32Window::showResized(int showCommand) {
    // The resize event comes from WM_SIZE; should the system not send one
    // for this change, it is raised here, so that a state change always
    // reaches the resize handler.
    const int before = sizeEvents_;
    ShowWindow(window_.get(), showCommand);
    if (sizeEvents_ == before) {
        state_ = IsIconic(window_.get()) ? kStateMinimized : kStateNormal;
        raise(&WindowEvents::onResize);
    }
}

void Win32Window::setVisible(bool visible) {
    HWND window = window_.get();
    if (!visible) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    if (IsWindowVisible(window)) return;
    shown_ = true;
    // SW_SHOWNOACTIVATE would restore an iconic window; SW_SHOWMINNOACTIVE
    // shows it minimized on the taskbar whatever it was while hidden.
    if (state_ == kStateMinimized)
        ShowWindow(window, SW_SHOWMINNOACTIVE);
    else
        ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
}

void Win32Window::setFocus() {
    HWND window = window_.get();
    SetForegroundWindow(window);
    SetFocus(window);
}

void Win32Window::show() {
    shown_ = true;
    // As a standard dialog starts: the focus cue hides until the keyboard is
    // used, unless the user asked for keyboard cues always to show.
    BOOL cuesAlwaysShown = FALSE;
    if (!SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cuesAlwaysShown, 0) || !cuesAlwaysShown)
        SendMessageW(window_.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                     0);
    if (state_ == kStateMinimized) {
        // Shown minimized without taking the activation, so that the resize
        // handler sees a minimized window and can send it to the tray.
        showResized(SW_SHOWMINNOACTIVE);
    } else {
        ShowWindow(window_.get(), SW_SHOWNORMAL);
        UpdateWindow(window_.get());
    }
}

// --- controls

// Each push button and check box has its child window from createControls on.
ButtonControl& Win32Window::button(ControlId id) {
    return static_cast<Win32PushButton&>(
        *controlWith(id, [](const Control& c) { return c.design.kind == ControlKind::PushButton; }).child);
}

CheckBoxControl& Win32Window::checkBox(ControlId id) {
    return static_cast<Win32CheckBox&>(
        *controlWith(id, [](const Control& c) { return c.design.kind == ControlKind::CheckBox; }).child);
}

TimerControl& Win32Window::timer(ControlId id) {
    return *controlWith(id, [](const Control& c) { return c.timer != nullptr; }).timer;
}

std::vector<std::pair<ControlId, ControlKind>> Win32Window::controls() {
    std::vector<std::pair<ControlId, ControlKind>> list;
    for (const Control& control : controls_) list.emplace_back(control.design.id, control.design.kind);
    return list;
}

void Win32Window::setControlBackColor(ControlId id, Colour colour) {
    controlWith(id, [](const Control& c) { return c.back.has_value(); }).back = colour;
    raise(&WindowEvents::onColoursChanged);
}

Colour Win32Window::controlBackColor(ControlId id) {
    return *controlWith(id, [](const Control& c) { return c.back.has_value(); }).back;
}

void Win32Window::applySkin(const SkinColours& colours) {
    skin_ = colours;
    backColor_ = colours.windowBack;
    for (Control& control : controls_)
        if (control.back) control.back = colours.windowBack;
    raise(&WindowEvents::onColoursChanged);
}

void Win32Window::setPaint(const WindowPaint& paint) {
    paint_ = paint;
    applyColours();
}

// A control's accessible description is what it says of itself followed by
// why it is locked, if it is: one property that both keep current.
void Win32Window::describe(Control& control) {
    std::string text = control.ownDescription;
    if (!text.empty() && !control.lockReason.empty()) text += ' ';
    text += control.lockReason;
    control.child->describe(text);
}

void Win32Window::setDescription(ControlId id, const std::string& text) {
    Control& control = controlWith(id, [](const Control& c) { return c.window() != nullptr; });
    control.ownDescription = text;
    describe(control);
}

void Win32Window::announce(ControlId id, const std::string& text) {
    win32::announce(controlWith(id, [](const Control& c) { return c.window() != nullptr; }).window(),
                    widenUtf8(text));
}

void Win32Window::setLocked(ControlId id, const std::string& reason) {
    Control& control = controlWith(id, [](const Control& c) { return c.window() != nullptr; });
    EnableWindow(control.window(), reason.empty());
    if (!lockNotes_) lockNotes_ = std::make_unique<Win32LockNotes>(window_.get());
    lockNotes_->set(control.window(), widenUtf8(reason));
    control.lockReason = reason;
    describe(control);
}

}  // namespace glance::win32
