#include "platform/win32/Win32PushButton.h"

#include <commctrl.h>

#include <utility>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Colour.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32UiControls.h"

namespace glance::win32 {

namespace {
constexpr UINT_PTR kSubclassId = 0x9B;
}

Win32PushButton::Win32PushButton(HWND parent, int id, const std::string& caption, const FontStyle& font,
                                 const RECT& rect, int dpi)
    : font_(createFont(font, dpi)), id_(id), caption_(caption), fontStyle_(font), dpi_(dpi) {
    window_.reset(CreateWindowExW(0, L"BUTTON", widenUtf8(caption).c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_OWNERDRAW,
                                  rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr));
    if (!window_) throw PlatformError(errtext::kOutOfMemory);
    SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    lazy::SetWindowSubclass(window_.get(), &Win32PushButton::subclassProc, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(this));
}

Win32PushButton::~Win32PushButton() {
    // Unsubclass while the window is valid, then let the owner destroy it.
    if (window_) lazy::RemoveWindowSubclass(window_.get(), &Win32PushButton::subclassProc, kSubclassId);
}

void Win32PushButton::setCaption(const std::string& caption) {
    // The caption is kept as written, so that a read returns it exactly; the
    // window text is its wide form, which is what screen readers announce.
    if (!SetWindowTextW(window_.get(), widenUtf8(caption).c_str()))
        throw PlatformError(errtext::kInvalidCall);
    const bool renamed = caption != caption_;
    caption_ = caption;
    InvalidateRect(window_.get(), nullptr, FALSE);
    // The system reports the window's new text; a screen reader reads the
    // button (its client object), which is told here.
    if (renamed) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_.get(), OBJID_CLIENT, CHILDID_SELF);
}

bool Win32PushButton::enabled() {
    return IsWindowEnabled(window_.get()) != FALSE;
}

void Win32PushButton::setEnabled(bool enabled) {
    EnableWindow(window_.get(), enabled ? TRUE : FALSE);
}

void Win32PushButton::setLook(const ControlPaint& look) {
    look_ = look;
    InvalidateRect(window_.get(), nullptr, FALSE);
}

void Win32PushButton::relayout(const RECT& rect, int dpi) {
    if (dpi != dpi_) {
        dpi_ = dpi;
        // The old font is deleted only after the button has the new one.
        const UniqueHfont replaced = std::exchange(font_, createFont(fontStyle_, dpi));
        SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    SetWindowPos(window_.get(), nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_.get(), nullptr, FALSE);
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
                         (SendMessageW(window_.get(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
    const bool hot = hot_ && !disabled;
    const COLORREF face = resolveColour(pressed ? look_.pressedBack : hot ? look_.hotBack : look_.back);
    // The focus cue is thicker and darker than the hover border, so the two never look alike.
    const COLORREF border = resolveColour(disabled           ? look_.line
                                          : focused          ? look_.focus
                                          : (hot || pressed) ? look_.hot
                                                             : look_.line);
    const int line = scaleFrom96(focused ? 2 : 1, dpi_);
    const int radius = scaleFrom96(6, dpi_);

    RECT all{0, 0, width, height};
    UniqueHbrush back(CreateSolidBrush(parentBack));
    FillRect(dc.get(), &all, back.get());

    // An inside-frame pen keeps a thick focus line within the button.
    UniqueGdiObject<HPEN> pen(CreatePen(PS_INSIDEFRAME, line, border));
    UniqueHbrush faceBrush(CreateSolidBrush(face));
    {
        const SelectedObject selectedPen(dc.get(), pen.get());
        const SelectedObject selectedBrush(dc.get(), faceBrush.get());
        RoundRect(dc.get(), 0, 0, width, height, radius, radius);
    }

    const std::wstring text = widenUtf8(caption_);
    const SelectedObject selectedFont(dc.get(), font_.get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), resolveColour(disabled  ? look_.grayText
                                         : pressed ? look_.pressedText
                                                   : look_.text));
    RECT textRect{line * 3, 0, width - line * 3, height};
    if (pressed) OffsetRect(&textRect, 0, scaleFrom96(1, dpi_));
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);

    BitBlt(item.hDC, bounds.left, bounds.top, width, height, dc.get(), 0, 0, SRCCOPY);
}

void Win32PushButton::notifyClick() const {
    SendMessageW(GetParent(window_.get()), WM_COMMAND, MAKEWPARAM(id_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window_.get()));
}

LRESULT CALLBACK Win32PushButton::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR, DWORD_PTR self) noexcept {
    return atCallbackEdge(
        "push button",
        [&] { return reinterpret_cast<Win32PushButton*>(self)->handle(message, wParam, lParam); },
        [&] { return lazy::DefSubclassProc(window, message, wParam, lParam); });
}

LRESULT Win32PushButton::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_MOUSEMOVE:
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            InvalidateRect(window, nullptr, FALSE);
        }
        // Every move, not only the first: the pointer handlers expect a stream.
        SendMessageW(GetParent(window), kControlMouseMoveMessage, static_cast<WPARAM>(id_),
                     reinterpret_cast<LPARAM>(window));
        break;
    case WM_MOUSELEAVE:
        hot_ = false;
        InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        // An owner-drawn BUTTON reports a double click as BN_DOUBLECLICKED and
        // drops the second click; a quick second press is a click here.
        return lazy::DefSubclassProc(window, WM_LBUTTONDOWN, wParam, lParam);
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
        return lazy::DefSubclassProc(window, message,
                                     (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if ((lParam & (1 << 30)) == 0) notifyClick();  // not on auto-repeat
            return 0;
        }
        if (wParam == VK_TAB) {
            moveFocusOnTab(window);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\t') return 0;  // handled at WM_KEYDOWN; no beep
        break;
    case WM_ENABLE:
        if (!wParam) hot_ = false;
        break;
    case WM_UPDATEUISTATE: {
        // The focus cue shows or hides with the window's keyboard cues.
        const LRESULT result = lazy::DefSubclassProc(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    default:
        break;
    }
    return lazy::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace glance::win32
