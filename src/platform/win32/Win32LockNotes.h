// Why a locked control is locked, where a user's pointer meets it: a tooltip
// over the control (screen readers get the same text as its description).
//
// A disabled control gets no mouse messages (they go to its parent), so the
// tips belong to the parent window, each one a rectangle over its control,
// placed again whenever the controls move.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

class Win32LockNotes {
public:
    explicit Win32LockNotes(HWND parent) : parent_(parent) {}

    // Gives the control its note; an empty text takes it away.
    void set(HWND control, const std::wstring& text);
    // The controls were laid out again: the tips follow them.
    void relayout();

private:
    void place(HWND control);

    HWND parent_;
    UniqueHwnd tips_;  // made with the first note
};

}  // namespace glance::win32
