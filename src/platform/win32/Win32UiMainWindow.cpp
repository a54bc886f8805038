#include "platform/win32/Win32UiMainWindow.h"

#include <algorithm>
#include <utility>

#include "platform/Error.h"

namespace glance::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"GlanceRefresherMainWindow";
constexpr int kFirstControlId = 1000;
constexpr char kNoSuchProperty[] = "Object doesn't support this property or method";

// The frame outline, a quiet grey that still reads on white and on the face colour.
constexpr COLORREF kFrameLine = RGB(200, 204, 208);

bool hasBackColor(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::CheckBox || kind == ControlKind::Label ||
           kind == ControlKind::OptionButton;
}

}  // namespace

RECT controlPixelRect(const FormLayout& form, const ControlLayout& control, int dpi) {
    int left = twipsToPixels(control.left, dpi);
    int top = twipsToPixels(control.top, dpi);
    if (!control.container.empty()) {
        const auto container =
            std::find_if(form.controls.begin(), form.controls.end(),
                         [&](const ControlLayout& c) { return c.name == control.container; });
        if (container != form.controls.end()) {
            const RECT outer = controlPixelRect(form, *container, dpi);
            left += outer.left;
            top += outer.top;
        }
    }
    return RECT{left, top, left + twipsToPixels(control.width, dpi),
                top + twipsToPixels(control.height, dpi)};
}

SIZE clientPixelSize(const FormLayout& form, int dpi) {
    return SIZE{twipsToPixels(form.clientWidth, dpi), twipsToPixels(form.clientHeight, dpi)};
}

Win32MainWindow::Win32MainWindow(const FormLayout& design, FormEvents& events)
    : design_(design), events_(events), caption_(design.caption), back_(design.backColor) {
    // No class cursor and no class brush: WM_SETCURSOR and WM_ERASEBKGND
    // follow the window's own pointer value and back colour.
    static const ATOM windowClass = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &Win32MainWindow::windowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass);
    }();
    if (windowClass == 0) throw PlatformError(errtext::kOutOfMemory);
    // Created hidden and unsized: the size depends on the DPI of the monitor
    // the window lands on, known only once the window exists.
    HWND window =
        CreateWindowExW(0, kWindowClass, widenUtf8(caption_).c_str(), kMainWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw PlatformError(errtext::kOutOfMemory);
    try {
        dpi_ = dpiForWindow(window);
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

Win32MainWindow::~Win32MainWindow() {
    // Teardown order: stop dispatch first, so that messages sent while the
    // controls go (focus, parent notifications) no longer reach this object;
    // the controls then unsubclass and destroy their windows, and the window
    // itself goes last.
    dispatching_ = false;
    if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void Win32MainWindow::createControls() {
    HWND parent = window_.get();
    int id = kFirstControlId;
    for (const ControlLayout& design : design_.controls) {
        Control control{design, id++, nullptr, std::nullopt};
        const RECT rect = controlPixelRect(design_, design, dpi_);
        switch (design.kind) {
        case ControlKind::PushButton: {
            auto button = std::make_unique<Win32PushButton>(parent, control.id, design.caption,
                                                            design_.buttonFont, rect, dpi_);
            control.window = button->window();
            buttons_.emplace(design.name, std::move(button));
            break;
        }
        case ControlKind::CheckBox: {
            auto box = std::make_unique<Win32CheckBox>(parent, control.id, design.caption, rect, font_.get());
            control.window = box->window();
            checks_.emplace(design.name, std::move(box));
            break;
        }
        case ControlKind::Frame: {
            auto frame = std::make_unique<Win32Frame>(parent, control.id, design.caption, rect, font_.get());
            control.window = frame->window();
            frames_.emplace(design.name, std::move(frame));
            break;
        }
        case ControlKind::Timer:
            timers_.emplace(design.name,
                            std::make_unique<Win32Timer>(parent, static_cast<UINT_PTR>(control.id)));
            break;
        default:
            // The tray control and the skin engine draw nothing in the window.
            break;
        }
        if (hasBackColor(design.kind)) control.back.emplace(kWhite);
        controls_.push_back(std::move(control));
    }
}

void Win32MainWindow::orderByTabIndex() {
    // Sibling order is tab order, both for our Tab handling and for a dialog
    // manager. A frame sits below the controls it holds, so they stay on top
    // of it for painting and for the pointer.
    std::vector<const Control*> stops;
    for (const Control& control : controls_)
        if (control.window != nullptr && control.design.tabIndex >= 0) stops.push_back(&control);
    std::stable_sort(stops.begin(), stops.end(), [](const Control* a, const Control* b) {
        return a->design.tabIndex < b->design.tabIndex;
    });
    HWND after = HWND_TOP;
    for (const Control* control : stops) {
        SetWindowPos(control->window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control->window;
    }
}

void Win32MainWindow::layout(int dpi, const RECT* suggested) {
    // The old font stays alive until every control has been given the new one.
    UniqueHfont replaced;
    if (dpi != dpi_) {
        dpi_ = dpi;
        replaced = std::exchange(font_, createFont(design_.font, dpi));
    }
    for (const Control& control : controls_) {
        const RECT rect = controlPixelRect(design_, control.design, dpi);
        if (auto it = buttons_.find(control.design.name); it != buttons_.end())
            it->second->relayout(rect, dpi);
        if (auto it = checks_.find(control.design.name); it != checks_.end())
            it->second->relayout(rect, font_.get());
        if (auto it = frames_.find(control.design.name); it != frames_.end())
            it->second->relayout(rect, font_.get(), dpi);
    }

    const SIZE client = clientPixelSize(design_, dpi);
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_.get(), GWL_EXSTYLE));
    const RECT frame = windowRectForClient(client.cx, client.cy, kMainWindowStyle, exStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    int x = 0;
    int y = 0;
    if (suggested != nullptr) {
        x = suggested->left;
        y = suggested->top;
    } else {
        // Centred on the screen the window starts on.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window_.get(), MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& screen = monitor.rcMonitor;
        x = screen.left + (screen.right - screen.left - width) / 2;
        y = screen.top + (screen.bottom - screen.top - height) / 2;
    }
    SetWindowPos(window_.get(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::applyColours() {
    const COLORREF text = resolveColour(skin_ ? skin_->text : kSystemButtonText);
    const COLORREF line = skin_ ? resolveColour(skin_->buttonBorder) : kFrameLine;
    for (const Control& control : controls_) {
        if (auto it = frames_.find(control.design.name); it != frames_.end() && control.back)
            it->second->setColours(resolveColour(control.back->colour()), text, line);
    }
    const PushButtonLook look =
        skin_ ? PushButtonLook{skin_->buttonFace, skin_->buttonText, skin_->buttonBorder, skin_->accent}
              : PushButtonLook{design_.buttonBackColor, design_.buttonForeColor, PushButtonLook{}.border,
                               PushButtonLook{}.accent};
    for (auto& [name, button] : buttons_) button->setLook(look);
    RedrawWindow(window_.get(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
}

HWND Win32MainWindow::firstTabStop() const {
    const Control* first = nullptr;
    for (const Control& control : controls_) {
        const auto style = GetWindowLongPtrW(control.window, GWL_STYLE);
        if (control.window == nullptr || (style & WS_TABSTOP) == 0 || (style & WS_DISABLED) != 0) continue;
        if (first == nullptr || control.design.tabIndex < first->design.tabIndex) first = &control;
    }
    return first != nullptr ? first->window : nullptr;
}

HWND Win32MainWindow::controlWindow(std::string_view name) const {
    for (const Control& control : controls_)
        if (control.design.name == name) return control.window;
    return nullptr;
}

Win32MainWindow::Control* Win32MainWindow::findControl(std::string_view name) {
    for (Control& control : controls_)
        if (control.design.name == name) return &control;
    return nullptr;
}

Win32MainWindow::Control* Win32MainWindow::findControl(int id) {
    const std::size_t index = static_cast<std::size_t>(id - kFirstControlId);
    return id >= kFirstControlId && index < controls_.size() ? &controls_[index] : nullptr;
}

Win32MainWindow::Control* Win32MainWindow::findControl(HWND window) {
    if (window == nullptr) return nullptr;
    for (Control& control : controls_)
        if (control.window == window) return &control;
    return nullptr;
}

// --- properties

void Win32MainWindow::setCaption(const std::string& caption) {
    if (!SetWindowTextW(window_.get(), widenUtf8(caption).c_str()))
        throw PlatformError(errtext::kInvalidCall);
    caption_ = caption;
}

void Win32MainWindow::setIcon(const Picture& icon) {
    if (!icon.empty() && icon.type != Picture::Icon) throw PlatformError(errtext::kInvalidPicture);
    icon_ = icon;
    applyIcon();
}

// The title bar, Alt+Tab and the taskbar want icons of their own sizes at the
// window's DPI; a copy from the icon's resource picks the image drawn for
// each size rather than stretching another. Again after a DPI change.
void Win32MainWindow::applyIcon() {
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

void Win32MainWindow::setBackColor(Colour colour) {
    back_.set(colour);
    RedrawWindow(window_.get(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void Win32MainWindow::setMousePointer(int pointer) {
    pointer_ = pointer;
    refreshCursor();
}

void Win32MainWindow::setMouseIcon(const Picture& picture) {
    if (!picture.empty() && picture.type != Picture::Icon) throw PlatformError(errtext::kInvalidPicture);
    mouseIcon_ = picture;
    refreshCursor();
}

HCURSOR Win32MainWindow::cursorForPointer() const {
    switch (pointer_) {
    case kPointerHourglass:
        return LoadCursorW(nullptr, IDC_WAIT);
    case kPointerCustom:
        if (mouseIcon_.handle != 0) return reinterpret_cast<HCURSOR>(mouseIcon_.handle);
        return LoadCursorW(nullptr, IDC_ARROW);
    default:
        return LoadCursorW(nullptr, IDC_ARROW);
    }
}

void Win32MainWindow::refreshCursor() const {
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

void Win32MainWindow::setWindowState(int state) {
    if (state != kStateNormal && state != kStateMinimized) throw PlatformError(errtext::kInvalidCall);
    if (state == state_) return;
    if (IsWindowVisible(window_.get())) {
        showResized(state == kStateMinimized ? SW_MINIMIZE : SW_RESTORE);
        return;
    }
    // A hidden window keeps its new state for when it is shown again; showing
    // it would be the caller's choice, not a side effect of the state.
    state_ = state;
    if (shown_) raiseResize();
}

void Win32MainWindow::showResized(int showCommand) {
    // The resize event comes from WM_SIZE; should the system not send one
    // for this change, it is raised here, so that a state change always
    // reaches the resize handler.
    const int before = sizeEvents_;
    ShowWindow(window_.get(), showCommand);
    if (sizeEvents_ == before) {
        state_ = IsIconic(window_.get()) ? kStateMinimized : kStateNormal;
        raiseResize();
    }
}

void Win32MainWindow::raiseResize() {
    if (dispatching_) events_.onResize();
}

bool Win32MainWindow::visible() {
    return IsWindowVisible(window_.get()) != FALSE;
}

void Win32MainWindow::setVisible(bool visible) {
    HWND window = window_.get();
    if (!visible) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    if (IsWindowVisible(window)) return;
    shown_ = true;
    if (state_ == kStateMinimized)
        ShowWindow(window, IsIconic(window) ? SW_SHOWNOACTIVATE : SW_SHOWMINNOACTIVE);
    else
        ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
}

void Win32MainWindow::setFocus() {
    HWND window = window_.get();
    SetForegroundWindow(window);
    SetFocus(window);
}

void Win32MainWindow::show() {
    shown_ = true;
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

ButtonControl& Win32MainWindow::button(std::string_view name) {
    auto it = buttons_.find(name);
    if (it == buttons_.end()) throw PlatformError(kNoSuchProperty);
    return *it->second;
}

CheckBoxControl& Win32MainWindow::checkBox(std::string_view name) {
    auto it = checks_.find(name);
    if (it == checks_.end()) throw PlatformError(kNoSuchProperty);
    return *it->second;
}

TimerControl& Win32MainWindow::timer(std::string_view name) {
    auto it = timers_.find(name);
    if (it == timers_.end()) throw PlatformError(kNoSuchProperty);
    return *it->second;
}

std::vector<std::pair<std::string, ControlKind>> Win32MainWindow::controls() {
    std::vector<std::pair<std::string, ControlKind>> list;
    for (const Control& control : controls_) list.emplace_back(control.design.name, control.design.kind);
    return list;
}

void Win32MainWindow::setControlBackColor(std::string_view name, Colour colour) {
    Control* control = findControl(name);
    if (control == nullptr || !control->back) throw PlatformError(kNoSuchProperty);
    control->back->set(colour);
    applyColours();
}

Colour Win32MainWindow::controlBackColor(std::string_view name) {
    Control* control = findControl(name);
    if (control == nullptr || !control->back) throw PlatformError(kNoSuchProperty);
    return control->back->colour();
}

void Win32MainWindow::applySkin(const SkinColours& colours) {
    skin_ = colours;
    back_.set(colours.windowBack);
    for (Control& control : controls_)
        if (control.back) control.back->set(colours.windowBack);
    applyColours();
}

// --- the window procedure

LRESULT CALLBACK Win32MainWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        noteCallbackFailure("main window");
        // A close that failed leaves the window in place to be closed again:
        // the default handling would destroy it and leave the process without
        // a window, still running.
        if (message == WM_CLOSE || message == WM_ENDSESSION) return 0;
        if (message == WM_QUERYENDSESSION) return TRUE;
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT Win32MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
            const Control* control = findControl(static_cast<int>(LOWORD(wParam)));
            if (dispatching_ && control != nullptr &&
                (control->design.kind == ControlKind::PushButton ||
                 control->design.kind == ControlKind::CheckBox))
                events_.onClick(control->design.name);
            return 0;
        }
        break;
    case kControlMouseMoveMessage: {
        const Control* control = findControl(static_cast<int>(wParam));
        if (dispatching_ && control != nullptr) events_.onMouseMove(control->design.name);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dispatching_) events_.onMouseMove(design_.name);
        return 0;
    case WM_TIMER:
        for (auto& [name, timer] : timers_) {
            if (timer->id() == wParam) {
                if (dispatching_ && timer->running()) events_.onTimer(name);
                return 0;
            }
        }
        break;
    case WM_SIZE:
        ++sizeEvents_;
        if (wParam == SIZE_MINIMIZED)
            state_ = kStateMinimized;
        else if (wParam == SIZE_RESTORED)
            state_ = kStateNormal;
        raiseResize();
        return 0;
    case WM_CLOSE:
        // Every way of closing (close box, system menu, Alt+F4) arrives here.
        // The close request handler ends the program itself; the window is
        // never destroyed behind its back.
        if (dispatching_) events_.onQueryUnload();
        return 0;
    case WM_QUERYENDSESSION:
        if (dispatching_ && !sessionEnding_) {
            sessionEnding_ = true;
            events_.onQueryUnload();
        }
        return TRUE;
    case WM_ENDSESSION:
        if (wParam && dispatching_ && !sessionEnding_) {
            sessionEnding_ = true;
            events_.onQueryUnload();
        }
        if (!wParam) sessionEnding_ = false;
        return 0;
    case WM_SETCURSOR:
        // The window's pointer value rules over the window and all its
        // controls; none of them has a pointer of its own.
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(cursorForPointer());
            return TRUE;
        }
        break;
    case WM_ERASEBKGND: {
        RECT area;
        GetClientRect(window, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, back_.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const Control* control = findControl(reinterpret_cast<HWND>(lParam));
        const ColourBrush& brush = control != nullptr && control->back ? *control->back : back_;
        SetBkColor(dc, resolveColour(brush.colour()));
        SetTextColor(dc, resolveColour(skin_ ? skin_->text : kSystemButtonText));
        return reinterpret_cast<LRESULT>(brush.get());
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const Control* control = findControl(item->hwndItem);
        if (control != nullptr) {
            if (auto it = buttons_.find(control->design.name); it != buttons_.end()) {
                it->second->draw(*item, resolveColour(back_.colour()));
                return TRUE;
            }
        }
        break;
    }
    case WM_DPICHANGED:
        layout(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        if (!icon_.empty()) applyIcon();
        return 0;
    case WM_SYSCOLORCHANGE:
        applyColours();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window, focus)) lastFocus_ = focus;
        }
        break;
    case WM_SETFOCUS: {
        // The window passes the focus on to the control that had it, or to
        // the first one in tab order.
        HWND target = lastFocus_ != nullptr && IsChild(window, lastFocus_) ? lastFocus_ : nullptr;
        if (target == nullptr) target = firstTabStop();
        if (target != nullptr) SetFocus(target);
        return 0;
    }
    case WM_DESTROY:
        // Closing ends the process in the close handler; should the window be
        // destroyed any other way, the message loop ends with it.
        PostQuitMessage(0);
        break;
    case WM_NCDESTROY:
        window_.release();
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace glance::win32
