// What the program's windows need from the system: a plain class, and for
// the hidden ones (the tray icon's, the running copy's) a message let
// through from processes of lower rights.
#pragma once

#include <windows.h>

namespace glance::win32 {

// Registers a window class of this module with only its name and procedure,
// unless it is registered already; throws "Out of memory" when it cannot.
void registerWindowClass(const wchar_t* name, WNDPROC procedure);

// Lets message reach window from a process that runs with lower rights than
// this one (an elevated copy still hears Explorer and a second start).
// Windows 7 and later; nothing on a system without the call.
void allowFromLowerRights(HWND window, UINT message);

}  // namespace glance::win32
