// The main window's controls: child BUTTON windows of one style or another,
// each subclassed for as long as it lives (the push button, the check box,
// the frame), and the timer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Accessibility.h"

namespace glance::win32 {

// Sent to the parent on every pointer move over a control that reports
// them: wParam is the control's id, lParam its window.
inline constexpr UINT kControlMouseMoveMessage = WM_APP + 0x31;

// The push buttons' and the frame's outline: rounded, lineWidth thick
// inside box, filled with fill.
void drawRoundedBox(HDC dc, const RECT& box, int dpi, int lineWidth, COLORREF line, HBRUSH fill);

// A child window of the main window with its procedure subclassed. Each
// kind handles the messages it needs and passes the rest on; Tab and
// Shift+Tab move the focus to the next or previous tab stop, whether or not
// the message loop runs a dialog manager.
class Win32ChildControl {
public:
    // Created empty in the parent's client area, in font: the parent places
    // it with relayout.
    Win32ChildControl(HWND parent, int id, const std::string& caption, DWORD style, HFONT font,
                      const char* kind);
    virtual ~Win32ChildControl();  // unsubclasses while the window is valid, then destroys it
    Win32ChildControl(const Win32ChildControl&) = delete;
    Win32ChildControl& operator=(const Win32ChildControl&) = delete;

    HWND window() const { return window_.get(); }
    // New place and font, as after a DPI change.
    virtual void relayout(const RECT& rect, HFONT font, int dpi);
    // The colours it is painted in from now on (the check box's come from
    // its parent's WM_CTLCOLORBTN).
    void setPaint(const ControlPaint& paint) {
        paint_ = paint;
        InvalidateRect(window(), nullptr, FALSE);
    }
    // What assistive technology reads beside its name and role.
    void describe(const std::string& text);

protected:
    virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT passOn(UINT message, WPARAM wParam, LPARAM lParam) const;
    void setFont(HFONT font) const {
        SendMessageW(window(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    void place(const RECT& rect) const;
    void reportPointerMove() const;

    UniqueHfont ownFont_;  // one of its own, if any: declared first, it outlives the window
    ControlPaint paint_;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;  // of its place and font

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR self) noexcept;
    UniqueHwnd window_;
    const char* kind_;  // for the diagnostic line of a failure at its edge
    // Last: it leaves the window before the window goes.
    std::unique_ptr<AccessibleDescription> description_;
};

// Our push button: a BUTTON (BS_OWNERDRAW) with a flat look, hover and
// pressed states, Enter as well as Space, and a pointer-move event on every
// move over it. It stays owner-drawn under a dialog manager, which never
// takes it for a default button. Being a BUTTON, it keeps the button role,
// focus and its caption as window text for screen readers. Its focus cue
// hides, as a standard button's does, until the keyboard is used.
class Win32PushButton : public Win32ChildControl, public ButtonControl {
public:
    Win32PushButton(HWND parent, int id, const std::string& caption, const FontStyle& font, int dpi);

    std::string caption() override { return caption_; }
    void setCaption(const std::string& caption) override;
    bool enabled() override { return IsWindowEnabled(window()) != FALSE; }
    void setEnabled(bool enabled) override { EnableWindow(window(), enabled ? TRUE : FALSE); }

    void relayout(const RECT& rect, HFONT font, int dpi) override;
    // WM_DRAWITEM, reflected by the parent; parentBack fills the corners.
    void draw(const DRAWITEMSTRUCT& item, COLORREF parentBack) const;

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::string caption_;
    FontStyle fontStyle_;
    bool hot_ = false;
};

// A BUTTON that toggles itself and tells screen readers so on its own.
class Win32CheckBox : public Win32ChildControl, public CheckBoxControl {
public:
    Win32CheckBox(HWND parent, int id, const std::string& caption, HFONT font);
    int value() override;  // 0 clear, 1 ticked, 2 grey
    void setValue(int value) override;
};

// A group box that we paint and that reports pointer moves, which a group
// box normally lets fall through.
class Win32Frame : public Win32ChildControl {
public:
    Win32Frame(HWND parent, int id, const std::string& caption, HFONT font);

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void paint(HDC dc) const;
};

// SetTimer on the owner window: WM_TIMER with this timer's id reaches the
// owner's procedure, which raises the tick.
class Win32Timer : public TimerControl {
public:
    Win32Timer(HWND owner, UINT_PTR id) : owner_(owner), id_(id) {}
    ~Win32Timer() override { KillTimer(owner_, id_); }
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;

    std::int32_t interval() override { return interval_; }
    void setInterval(std::int32_t milliseconds) override;
    bool enabled() override { return enabled_; }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        apply();
    }
    // A WM_TIMER still counts only while the timer runs.
    bool running() const { return enabled_ && interval_ > 0; }
    UINT_PTR id() const { return id_; }

private:
    void apply();

    HWND owner_;
    UINT_PTR id_;
    std::int32_t interval_ = 0;
    bool enabled_ = true;
};

}  // namespace glance::win32
