// What the window tells assistive technology beyond what its controls say
// themselves: a control's description, kept current, and a notice read out
// after an action. The services behind them (oleacc, UI Automation) are
// loaded only when first needed: most runs never meet a screen reader, and
// start-up and memory stay as they were.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// A control's accessible description. It reaches the accessibility property
// service once someone asks the control for its accessible object (the
// first reader that looks at it), or at once when the service runs already;
// each change is announced with EVENT_OBJECT_DESCRIPTIONCHANGE.
class AccessibleDescription {
public:
    explicit AccessibleDescription(HWND control) : control_(control) {}
    ~AccessibleDescription();  // before the control's window goes
    AccessibleDescription(const AccessibleDescription&) = delete;
    AccessibleDescription& operator=(const AccessibleDescription&) = delete;

    void set(const std::string& text);  // UTF-8; empty: no description
    // The control was asked for its accessible object (WM_GETOBJECT) by a
    // reader, or UI Automation on its behalf: the description is put in
    // place before it reads one.
    void asked();

private:
    void apply() const;

    HWND control_;
    std::string text_;
    bool asked_ = false;
};

// Reads text out as the outcome of an action on element, through UI
// Automation's notification event (Windows 10 1709 and later); nothing where
// the system has no such event.
void announce(HWND element, const std::wstring& text);

}  // namespace glance::win32
