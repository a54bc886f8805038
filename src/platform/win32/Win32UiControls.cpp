#include "platform/win32/Win32UiControls.h"

#include <commctrl.h>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32PushButton.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x9C;

HWND createChild(HWND parent, int id, const std::string& caption, DWORD style, const RECT& rect) {
    HWND window = CreateWindowExW(0, L"BUTTON", widenUtf8(caption).c_str(), WS_CHILD | WS_VISIBLE | style,
                                  rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) throw PlatformError(errtext::kOutOfMemory);
    return window;
}

void move(HWND window, const RECT& rect) {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void moveFocusOnTab(HWND control) {
    const bool back = GetKeyState(VK_SHIFT) < 0;
    if (HWND next = GetNextDlgTabItem(GetParent(control), control, back ? TRUE : FALSE)) SetFocus(next);
    // The keyboard is in use: focus cues show from now on.
    SendMessageW(GetAncestor(control, GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

// --- check box

Win32CheckBox::Win32CheckBox(HWND parent, int id, const std::string& caption, const RECT& rect, HFONT font)
    : window_(createChild(parent, id, caption, WS_TABSTOP | WS_CLIPSIBLINGS | BS_AUTOCHECKBOX, rect)) {
    SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    lazy::SetWindowSubclass(window_.get(), &Win32CheckBox::subclassProc, kSubclassId, 0);
}

Win32CheckBox::~Win32CheckBox() {
    if (window_) lazy::RemoveWindowSubclass(window_.get(), &Win32CheckBox::subclassProc, kSubclassId);
}

int Win32CheckBox::value() {
    switch (SendMessageW(window_.get(), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        return 1;
    case BST_INDETERMINATE:
        return 2;
    default:
        return 0;
    }
}

void Win32CheckBox::setValue(int value) {
    static constexpr WPARAM kStates[] = {BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE};
    if (value < 0 || value > 2) throw PlatformError(errtext::kInvalidCall);
    SendMessageW(window_.get(), BM_SETCHECK, kStates[value], 0);
}

void Win32CheckBox::relayout(const RECT& rect, HFONT font) {
    SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    move(window_.get(), rect);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

LRESULT CALLBACK Win32CheckBox::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR) noexcept {
    return atCallbackEdge(
        "check box",
        [&]() -> LRESULT {
            if (message == WM_KEYDOWN && wParam == VK_TAB) {
                moveFocusOnTab(window);
                return 0;
            }
            if (message == WM_CHAR && wParam == L'\t') return 0;
            return lazy::DefSubclassProc(window, message, wParam, lParam);
        },
        [&] { return lazy::DefSubclassProc(window, message, wParam, lParam); });
}

// --- frame

Win32Frame::Win32Frame(HWND parent, int id, const std::string& caption, const RECT& rect, HFONT font)
    : window_(createChild(parent, id, caption, WS_CLIPSIBLINGS | BS_GROUPBOX, rect)),
      id_(id),
      caption_(widenUtf8(caption)),
      font_(font) {
    SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    lazy::SetWindowSubclass(window_.get(), &Win32Frame::subclassProc, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(this));
}

Win32Frame::~Win32Frame() {
    if (window_) lazy::RemoveWindowSubclass(window_.get(), &Win32Frame::subclassProc, kSubclassId);
}

void Win32Frame::setColours(COLORREF back, COLORREF text, COLORREF line, COLORREF grayText) {
    back_ = back;
    text_ = text;
    line_ = line;
    grayText_ = grayText;
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void Win32Frame::relayout(const RECT& rect, HFONT font, int dpi) {
    font_ = font;
    dpi_ = dpi;
    SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    move(window_.get(), rect);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

LRESULT CALLBACK Win32Frame::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self) noexcept {
    return atCallbackEdge(
        "frame", [&] { return reinterpret_cast<Win32Frame*>(self)->handle(message, wParam, lParam); },
        [&] { return lazy::DefSubclassProc(window, message, wParam, lParam); });
}

LRESULT Win32Frame::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_NCHITTEST:
        // A group box is transparent to the mouse; the frame has a pointer
        // handler of its own, so it takes the pointer over its whole area.
        // The check boxes lie above it and still get theirs.
        return HTCLIENT;
    case WM_MOUSEMOVE:
        SendMessageW(GetParent(window), kControlMouseMoveMessage, static_cast<WPARAM>(id_),
                     reinterpret_cast<LPARAM>(window));
        return 0;
    // Taking the mouse must not make the frame a focus target: a frame never
    // takes the keyboard focus.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        paint(dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_UPDATEUISTATE: {
        // The group box would draw its text directly; we paint it ourselves.
        const LRESULT result = lazy::DefSubclassProc(window, message, wParam, lParam);
        if (message == WM_SETTEXT) {
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            caption_ = text != nullptr ? text : L"";
        }
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    default:
        return lazy::DefSubclassProc(window, message, wParam, lParam);
    }
}

void Win32Frame::paint(HDC dc) const {
    RECT area;
    GetClientRect(window_.get(), &area);
    UniqueHbrush back(CreateSolidBrush(back_));
    FillRect(dc, &area, back.get());

    const SelectedObject selectedFont(dc, font_);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE textSize{};
    GetTextExtentPoint32W(dc, caption_.c_str(), static_cast<int>(caption_.size()), &textSize);

    // A thin rounded outline whose top runs through the middle of the caption.
    const int line = scaleFrom96(1, dpi_);
    const int radius = scaleFrom96(6, dpi_);
    const int top = metrics.tmHeight / 2;
    UniqueGdiObject<HPEN> pen(CreatePen(PS_INSIDEFRAME, line, line_));
    {
        const SelectedObject selectedPen(dc, pen.get());
        const SelectedObject selectedBrush(dc, back.get());
        RoundRect(dc, area.left, area.top + top, area.right, area.bottom, radius, radius);
    }

    if (!caption_.empty()) {
        const int indent = scaleFrom96(8, dpi_);
        const int pad = scaleFrom96(4, dpi_);
        RECT gap{area.left + indent, area.top, area.left + indent + textSize.cx + 2 * pad,
                 area.top + metrics.tmHeight};
        FillRect(dc, &gap, back.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, IsWindowEnabled(window_.get()) ? text_ : grayText_);
        TextOutW(dc, gap.left + pad, gap.top, caption_.c_str(), static_cast<int>(caption_.size()));
    }
}

// --- timer

Win32Timer::~Win32Timer() {
    if (owner_ != nullptr) KillTimer(owner_, id_);
}

void Win32Timer::setInterval(std::int32_t milliseconds) {
    if (milliseconds < 0) throw PlatformError(errtext::kInvalidCall);
    interval_ = milliseconds;
    apply();
}

void Win32Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    apply();
}

void Win32Timer::apply() {
    // SetTimer on a running id replaces it, so every change starts a fresh
    // interval. A WM_TIMER that slipped into the queue before KillTimer is
    // dropped by the owner, which asks running() first.
    if (running()) {
        if (SetTimer(owner_, id_, static_cast<UINT>(interval_), nullptr) == 0)
            throw PlatformError(errtext::kOutOfMemory);
    } else {
        KillTimer(owner_, id_);
    }
}

}  // namespace glance::win32
