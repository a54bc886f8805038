// The main window's plain controls: the check box (a BUTTON that toggles
// itself and tells screen readers so on its own), the frame (a group box that we paint and that reports
// pointer moves, which a group box normally lets fall through), and the timer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// Tab and Shift+Tab on a control: focus moves to the next or previous tab
// stop of its parent, whether or not the message loop runs a dialog manager.
void moveFocusOnTab(HWND control);

class Win32CheckBox : public CheckBoxControl {
public:
    Win32CheckBox(HWND parent, int id, const std::string& caption, const RECT& rect, HFONT font);
    ~Win32CheckBox() override;
    Win32CheckBox(const Win32CheckBox&) = delete;
    Win32CheckBox& operator=(const Win32CheckBox&) = delete;

    HWND window() const { return window_.get(); }
    int value() override;  // 0 clear, 1 ticked, 2 grey
    void setValue(int value) override;
    void relayout(const RECT& rect, HFONT font);

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR self) noexcept;
    UniqueHwnd window_;
};

class Win32Frame {
public:
    Win32Frame(HWND parent, int id, const std::string& caption, const RECT& rect, HFONT font);
    ~Win32Frame();
    Win32Frame(const Win32Frame&) = delete;
    Win32Frame& operator=(const Win32Frame&) = delete;

    HWND window() const { return window_.get(); }
    void setColours(COLORREF back, COLORREF text, COLORREF line, COLORREF grayText);
    void relayout(const RECT& rect, HFONT font, int dpi);

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR self) noexcept;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc) const;

    UniqueHwnd window_;
    int id_;
    std::wstring caption_;
    HFONT font_;  // the window's font, owned by the window
    int dpi_ = 96;
    COLORREF back_ = RGB(255, 255, 255);
    COLORREF text_ = RGB(0, 0, 0);
    COLORREF line_ = RGB(200, 200, 200);
    COLORREF grayText_ = RGB(109, 109, 109);
};

// SetTimer on the owner window: WM_TIMER with this timer's id reaches the
// owner's procedure, which raises the tick.
class Win32Timer : public TimerControl {
public:
    Win32Timer(HWND owner, UINT_PTR id) : owner_(owner), id_(id) {}
    ~Win32Timer() override;
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;

    std::int32_t interval() override { return interval_; }
    void setInterval(std::int32_t milliseconds) override;
    bool enabled() override { return enabled_; }
    void setEnabled(bool enabled) override;
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
