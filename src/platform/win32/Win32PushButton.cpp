// Win32PushButton: its drawing and its keyboard and pointer handling.
#include <utility>

#include "core/Error.h"
#include "platform/win32/Win32Colour.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32UiControls.h"

namespace glance::win32 {

Win32PushButton::Win32PushButton(HWND parent, int id, const std::string& caption, const FontStyle& font,
                                 int dpi)
    : Win32ChildControl(parent, id, caption, WS_TABSTOP | WS_CLIPSIBLINGS | BS_OWNERDRAW, nullptr,
                        "push button"),
      caption_(caption),
      fontStyle_(font),
      dpi_(dpi) {
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
    const COLORREF face = resolveColour(pressed ? look_.pressedBack : hot ? look_.hotBack : look_.back);
    // The focus cue is thicker and darker than the hover border, so the two never look alike.
    const COLORREF border = resolveColour(disabled           ? look_.line
                                          : focused          ? look_.focus
                                          : (hot || pressed) ? look_.hot
                                                             : look_.line);
    const int line = scaleFrom96(focused ? 2 : 1, dpi_);

    const RECT all{0, 0, width, height};
    FillRect(dc.get(), &all, UniqueHbrush(CreateSolidBrush(parentBack)).get());
    drawRoundedBox(dc.get(), all, dpi_, line, border, UniqueHbrush(CreateSolidBrush(face)).get());

    const std::wstring text = widenUtf8(caption_);
    const SelectedObject selectedFont(dc.get(), ownFont_.get());
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

}  // namespace glance::win32
