#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {

LRESULT CALLBACK Win32Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return atCallbackEdge(
        "main window", [&] { return self->handle(message, wParam, lParam); },
        [&]() -> LRESULT {
            // A close that failed leaves the window in place to be closed again:
            // the default handling would destroy it and leave the process without
            // a window, still running.
            if (message == WM_CLOSE || message == WM_ENDSESSION) return 0;
            if (message == WM_QUERYENDSESSION) return TRUE;
            return DefWindowProcW(window, message, wParam, lParam);
        });
}

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
            const Control* control = findControl(reinterpret_cast<HWND>(lParam));
            if (dispatching_ && control != nullptr &&
                (control->design.kind == ControlKind::PushButton ||
                 control->design.kind == ControlKind::CheckBox))
                events_.onClick(control->design.id);
            return 0;
        }
        break;
    case kControlMouseMoveMessage: {
        const Control* control = findControl(reinterpret_cast<HWND>(lParam));
        if (dispatching_ && control != nullptr) events_.onMouseMove(control->design.id);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dispatching_) events_.onMouseMove(ControlId::Window);
        return 0;
    case WM_TIMER:
        for (const Control& control : controls_) {
            if (control.timer && control.timer->id() == wParam) {
                if (dispatching_ && control.timer->running()) events_.onTimer(control.design.id);
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
        raise(&WindowEvents::onResize);
        return 0;
    case WM_CLOSE:
        // Every way of closing (close box, system menu, Alt+F4) arrives here.
        // The close request handler ends the program itself; the window is
        // never destroyed behind its back.
        raise(&WindowEvents::onQueryUnload);
        return 0;
    case WM_QUERYENDSESSION:
        // Only a question: nothing unsaved stands in the way, so the answer
        // is yes, and the program goes on as it was. Another program may
        // still refuse, and the session then carries on with ours in it.
        return TRUE;
    case WM_ENDSESSION:
        // The session really ends (wParam TRUE) only when every program said
        // yes: then the program closes as by its close box. FALSE: someone
        // refused, and nothing changes.
        if (wParam && dispatching_ && !sessionEnding_) {
            sessionEnding_ = true;
            events_.onQueryUnload();
        }
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
        // The check boxes draw their caption in the decided pair of colours.
        const ColourBrush& brush = control != nullptr ? control->brush : back_;
        SetBkColor(dc, resolveColour(brush.colour()));
        SetTextColor(dc, resolveColour(control != nullptr ? control->paint.text : kSystemButtonText));
        return reinterpret_cast<LRESULT>(brush.get());
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const Control* control = findControl(item->hwndItem);
        if (control == nullptr || control->design.kind != ControlKind::PushButton) break;
        static_cast<const Win32PushButton&>(*control->child).draw(*item, resolveColour(back_.colour()));
        return TRUE;
    }
    case WM_DPICHANGED:
        layout(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        if (!icon_.empty()) applyIcon();
        return 0;
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
        userMoving_ = message == WM_ENTERSIZEMOVE;
        break;
    case WM_DISPLAYCHANGE:
        bringOntoScreen();
        break;
    case WM_SETTINGCHANGE:
        // What a Group Policy refresh sends to every top-level window.
        if (lParam != 0 && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"Policy") == 0) {
            raise(&WindowEvents::onPoliciesChanged);
            break;
        }
        if (wParam != SPI_SETHIGHCONTRAST) break;
        [[fallthrough]];
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // High contrast, the colour scheme or the theme changed: the colours
        // are decided again, and system colours looked up again. The common
        // controls recolour their glyphs only when their top-level window
        // passes the colour change on.
        if (message == WM_SYSCOLORCHANGE)
            for (const Control& control : controls_)
                if (control.window() != nullptr) SendMessageW(control.window(), message, wParam, lParam);
        applyColours();
        raise(&WindowEvents::onColoursChanged);
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window, focus)) lastFocus_ = focus;
        }
        break;
    case WM_SETFOCUS: {
        // The window passes the focus on to the control that had it, or to
        // the first one in tab order, which sibling order follows.
        HWND target = lastFocus_ != nullptr && IsChild(window, lastFocus_) ? lastFocus_ : nullptr;
        if (target == nullptr) target = GetNextDlgTabItem(window, nullptr, FALSE);
        if (target != nullptr) SetFocus(target);
        return 0;
    }
    case DM_GETDEFID:
        // No default button: Enter belongs to the focused button, and on a
        // check box it clicks none (the dialog manager then sends IDOK,
        // which names no control).
        return 0;
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
