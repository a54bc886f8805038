#include "platform/win32/Win32UiControls.h"

#include <commctrl.h>

#include <utility>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Colour.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

constexpr UINT_PTR kSubclassId = 0x9C;

Win32ChildControl::Win32ChildControl(HWND parent, int id, const std::string& caption, DWORD style, HFONT font,
                                     const char* kind)
    : window_(CreateWindowExW(0, L"BUTTON", widenUtf8(caption).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                              0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr)),
      kind_(kind) {
    if (!window_) throw PlatformError(errtext::kOutOfMemory);
    setFont(font);
    lazy::comctl32().SetWindowSubclass(window(), &Win32ChildControl::subclassProc, kSubclassId,
                                       reinterpret_cast<DWORD_PTR>(this));
}

Win32ChildControl::~Win32ChildControl() {
    lazy::comctl32().RemoveWindowSubclass(window(), &Win32ChildControl::subclassProc, kSubclassId);
}

void Win32ChildControl::relayout(const RECT& rect, HFONT font, int dpi) {
    dpi_ = dpi;
    setFont(font);
    place(rect);
    InvalidateRect(window(), nullptr, TRUE);
}

void Win32ChildControl::describe(const std::string& text) {
    if (!description_) description_ = std::make_unique<AccessibleDescription>(window());
    description_->set(text);
}

void Win32ChildControl::place(const RECT& rect) const {
    SetWindowPos(window(), nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ChildControl::reportPointerMove() const {
    SendMessageW(GetParent(window()), kControlMouseMoveMessage, static_cast<WPARAM>(GetDlgCtrlID(window())),
                 reinterpret_cast<LPARAM>(window()));
}

LRESULT Win32ChildControl::passOn(UINT message, WPARAM wParam, LPARAM lParam) const {
    return lazy::comctl32().DefSubclassProc(window(), message, wParam, lParam);
}

LRESULT Win32ChildControl::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_TAB) {
        const bool back = GetKeyState(VK_SHIFT) < 0;
        if (HWND next = GetNextDlgTabItem(GetParent(window()), window(), back ? TRUE : FALSE)) SetFocus(next);
        // The keyboard is in use: focus cues show from now on.
        SendMessageW(GetAncestor(window(), GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS),
                     0);
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\t') return 0;  // handled at WM_KEYDOWN; no beep
    return passOn(message, wParam, lParam);
}

LRESULT CALLBACK Win32ChildControl::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                 UINT_PTR, DWORD_PTR self) noexcept {
    auto* control = reinterpret_cast<Win32ChildControl*>(self);
    return atCallbackEdge(
        control->kind_,
        [&] {
            if (message == WM_GETOBJECT && control->description_) control->description_->asked();
            return control->handle(message, wParam, lParam);
        },
        [&] { return lazy::comctl32().DefSubclassProc(window, message, wParam, lParam); });
}

void drawRoundedBox(HDC dc, const RECT& box, int dpi, int lineWidth, COLORREF line, HBRUSH fill) {
    // An inside-frame pen keeps a thick line (a button's focus ring) within the box.
    const UniqueGdiObject<HPEN> pen(CreatePen(PS_INSIDEFRAME, lineWidth, line));
    const SelectedObject selectedPen(dc, pen.get());
    const SelectedObject selectedBrush(dc, fill);
    const int radius = scaleFrom96(6, dpi);
    RoundRect(dc, box.left, box.top, box.right, box.bottom, radius, radius);
}

// --- push button: its drawing and its keyboard and pointer handling

Win32PushButton::Win32PushButton(HWND parent, int id, const std::string& caption, const FontStyle& font,
                                 int dpi)
    : Win32ChildControl(parent, id, caption, WS_TABSTOP | WS_CLIPSIBLINGS | BS_OWNERDRAW, nullptr,
                        "push button"),
      caption_(caption),
      fontStyle_(font) {
    dpi_ = dpi;
    ownFont_ = createFont(font, dpi);
    setFont(ownFont_.get());
}

void Win32PushButton::setCaption(const std::string& caption) {
    // The caption is kept as written, so that a read returns it exactly; the
    // window text is its wide form, which is what screen readers announce.
    if (!SetWindowTextW(window(), widenUtf8(caption).c_str())) throw PlatformError(errtext::kInvalidCall);
    const bool renamed = caption != caption_;
    caption_ = caption;
    InvalidateRect(window(), nullptr, FALSE);
    // The system reports the window's new text; a screen reader reads the
    // button (its client object), which is told here.
    if (renamed) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window(), OBJID_CLIENT, CHILDID_SELF);
}

void Win32PushButton::relayout(const RECT& rect, HFONT, int dpi) {
    if (dpi != dpi_) {
        dpi_ = dpi;
        // The old font is deleted only after the button has the new one.
        const UniqueHfont replaced = std::exchange(ownFont_, createFont(fontStyle_, dpi));
        setFont(ownFont_.get());
    }
    place(rect);
    InvalidateRect(window(), nullptr, FALSE);
}

void Win32PushButton::draw(const DRAWITEMSTRUCT& item, COLORREF parentBack) const {
    const RECT& bounds = item.rcItem;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) return;

    // Drawn off screen and copied in one go, so hover changes never flicker.
    UniqueMemoryDc dc(CreateCompatibleDC(item.hDC));
    UniqueHbitmap bitmap(CreateCompatibleBitmap(item.hDC, width, height));
    if (!dc || !bitmap) return;
    const SelectedObject selectedBitmap(dc.get(), bitmap.get());

    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    // Some systems leave ODS_NOFOCUSRECT out: the window's own state decides too.
    const bool focused = (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0 &&
                         (SendMessageW(window(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
    const bool hot = hot_ && !disabled;
    // Hover tints the face and colours the border; the focus cue is a ring of
    // its own inside the border. Either shows alone and both show together,
    // never one looking like the other.
    const COLORREF face = resolveColour(pressed ? paint_.pressedBack : hot ? paint_.hotBack : paint_.back);
    const COLORREF border = resolveColour(!disabled && (hot || pressed) ? paint_.hot : paint_.line);
    const int line = scaleFrom96(1, dpi_);
    const int ringInset = line + scaleFrom96(1, dpi_);
    const int ring = scaleFrom96(2, dpi_);

    const RECT all{0, 0, width, height};
    const UniqueHbrush faceBrush(CreateSolidBrush(face));
    FillRect(dc.get(), &all, UniqueHbrush(CreateSolidBrush(parentBack)).get());
    drawRoundedBox(dc.get(), all, dpi_, line, border, faceBrush.get());
    if (focused) {
        const RECT inner{ringInset, ringInset, width - ringInset, height - ringInset};
        drawRoundedBox(dc.get(), inner, dpi_, ring, resolveColour(paint_.focus), faceBrush.get());
    }

    const std::wstring text = widenUtf8(caption_);
    const SelectedObject selectedFont(dc.get(), ownFont_.get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), resolveColour(disabled  ? paint_.grayText
                                         : pressed ? paint_.pressedText
                                                   : paint_.text));
    RECT textRect{ringInset + ring * 2, 0, width - ringInset - ring * 2, height};
    if (pressed) OffsetRect(&textRect, 0, scaleFrom96(1, dpi_));
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);

    BitBlt(item.hDC, bounds.left, bounds.top, width, height, dc.get(), 0, 0, SRCCOPY);
}

LRESULT Win32PushButton::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = this->window();
    switch (message) {
    case WM_MOUSEMOVE:
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            InvalidateRect(window, nullptr, FALSE);
        }
        // Every move, not only the first: the pointer handlers expect a stream.
        reportPointerMove();
        break;
    case WM_MOUSELEAVE:
        hot_ = false;
        InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        // An owner-drawn BUTTON reports a double click as BN_DOUBLECLICKED and
        // drops the second click; a quick second press is a click here.
        return passOn(WM_LBUTTONDOWN, wParam, lParam);
    case WM_GETDLGCODE:
        // A plain button to a dialog manager, not a push button: it restyles
        // the push button that takes the focus as the default one, which
        // would turn this owner-drawn button into a standard default button.
        // Enter still belongs to the focused button: it asks for that key.
        if (lParam != 0) {
            const auto* pending = reinterpret_cast<const MSG*>(lParam);
            if (pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
                return DLGC_WANTMESSAGE | DLGC_BUTTON;
        }
        return DLGC_BUTTON;
    case BM_SETSTYLE:
        // Whoever restyles the button (a dialog host choosing its default
        // button), it stays owner-drawn and keeps our drawing.
        return passOn(message, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
    case WM_KEYDOWN:
        if (wParam != VK_RETURN) break;
        if ((lParam & (1 << 30)) == 0)  // not on auto-repeat
            SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED),
                         reinterpret_cast<LPARAM>(window));
        return 0;
    case WM_CHAR:
        if (wParam == L'\r') return 0;  // handled at WM_KEYDOWN; no beep
        break;
    case WM_ENABLE:
        if (!wParam) hot_ = false;
        break;
    case WM_UPDATEUISTATE: {
        // The focus cue shows or hides with the window's keyboard cues.
        const LRESULT result = passOn(message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    default:
        break;
    }
    return Win32ChildControl::handle(message, wParam, lParam);
}

// --- check box

Win32CheckBox::Win32CheckBox(HWND parent, int id, const std::string& caption, HFONT font)
    : Win32ChildControl(parent, id, caption, WS_TABSTOP | WS_CLIPSIBLINGS | BS_AUTOCHECKBOX, font,
                        "check box") {}

// The check states are the values themselves.
static_assert(BST_UNCHECKED == 0 && BST_CHECKED == 1 && BST_INDETERMINATE == 2);

int Win32CheckBox::value() {
    return static_cast<int>(SendMessageW(window(), BM_GETCHECK, 0, 0));
}

void Win32CheckBox::setValue(int value) {
    if (value < 0 || value > 2) throw PlatformError(errtext::kInvalidCall);
    SendMessageW(window(), BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

// --- frame

Win32Frame::Win32Frame(HWND parent, int id, const std::string& caption, HFONT font)
    : Win32ChildControl(parent, id, caption, WS_CLIPSIBLINGS | BS_GROUPBOX, font, "frame") {}

LRESULT Win32Frame::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    // Taking the mouse must not make the frame a focus target: a frame never
    // takes the keyboard focus. Every button's down, up and double click.
    static_assert(WM_MBUTTONDBLCLK - WM_LBUTTONDOWN == 8);
    if (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) return 0;
    switch (message) {
    case WM_NCHITTEST:
        // A group box is transparent to the mouse; the frame has a pointer
        // handler of its own, so it takes the pointer over its whole area.
        // The check boxes lie above it and still get theirs.
        return HTCLIENT;
    case WM_MOUSEMOVE:
        reportPointerMove();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window(), &ps);
        paint(dc);
        EndPaint(window(), &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_UPDATEUISTATE: {
        // The group box would draw its text directly; we paint it ourselves.
        const LRESULT result = passOn(message, wParam, lParam);
        InvalidateRect(window(), nullptr, TRUE);
        return result;
    }
    default:
        return Win32ChildControl::handle(message, wParam, lParam);
    }
}

void Win32Frame::paint(HDC dc) const {
    RECT area;
    GetClientRect(window(), &area);
    UniqueHbrush back(CreateSolidBrush(resolveColour(paint_.back)));
    FillRect(dc, &area, back.get());

    // The window's font, which it gave the frame.
    const SelectedObject selectedFont(dc, reinterpret_cast<HFONT>(SendMessageW(window(), WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE textSize{};
    // Its caption is its window text, what screen readers read too.
    std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(window())) + 1, L'\0');
    caption.resize(
        static_cast<std::size_t>(GetWindowTextW(window(), caption.data(), static_cast<int>(caption.size()))));
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &textSize);

    // A thin rounded outline whose top runs through the middle of the caption.
    const RECT outline{area.left, area.top + metrics.tmHeight / 2, area.right, area.bottom};
    drawRoundedBox(dc, outline, dpi_, scaleFrom96(1, dpi_), resolveColour(paint_.line), back.get());

    if (!caption.empty()) {
        const int indent = scaleFrom96(8, dpi_);
        const int pad = scaleFrom96(4, dpi_);
        RECT gap{area.left + indent, area.top, area.left + indent + textSize.cx + 2 * pad,
                 area.top + metrics.tmHeight};
        FillRect(dc, &gap, back.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, resolveColour(IsWindowEnabled(window()) ? paint_.text : paint_.grayText));
        TextOutW(dc, gap.left + pad, gap.top, caption.c_str(), static_cast<int>(caption.size()));
    }
}

// --- timer

void Win32Timer::setInterval(std::int32_t milliseconds) {
    if (milliseconds < 0) throw PlatformError(errtext::kInvalidCall);
    interval_ = milliseconds;
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
