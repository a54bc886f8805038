// Our push button: a real BUTTON (BS_OWNERDRAW) subclassed for a flat look,
// hover and pressed states, Enter as well as Space, and a pointer-move event
// on every move over it. It stays owner-drawn under a dialog manager, which
// never takes it for a default button. Being a BUTTON, it keeps the button
// role, focus and its caption as window text for screen readers. Its focus
// cue hides, as a standard button's does, until the keyboard is used.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// Sent to the parent on every pointer move over a control that reports
// them: wParam is the control's id, lParam its window.
inline constexpr UINT kControlMouseMoveMessage = WM_APP + 0x31;

class Win32PushButton : public ButtonControl {
public:
    // The button is created in the parent's client area at rect (pixels).
    Win32PushButton(HWND parent, int id, const std::string& caption, const FontStyle& font, const RECT& rect,
                    int dpi);
    ~Win32PushButton() override;
    Win32PushButton(const Win32PushButton&) = delete;
    Win32PushButton& operator=(const Win32PushButton&) = delete;

    HWND window() const { return window_.get(); }
    int id() const { return id_; }

    std::string caption() override { return caption_; }
    void setCaption(const std::string& caption) override;
    bool enabled() override;
    void setEnabled(bool enabled) override;

    void setLook(const ControlPaint& look);
    // New place and font size after a DPI change.
    void relayout(const RECT& rect, int dpi);
    // WM_DRAWITEM, reflected by the parent; parentBack fills the corners.
    void draw(const DRAWITEMSTRUCT& item, COLORREF parentBack) const;
    bool hot() const { return hot_; }

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR self) noexcept;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void notifyClick() const;

    UniqueHfont font_;  // first: outlives the window that draws with it
    UniqueHwnd window_;
    int id_;
    std::string caption_;
    FontStyle fontStyle_;
    int dpi_;
    ControlPaint look_;
    bool hot_ = false;
};

}  // namespace glance::win32
