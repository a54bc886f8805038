// How an installer asks a running copy to close, from any session and any
// account: a manual-reset event in the Global\ namespace, named after the
// copy's process id, that the copy waits on in its top-level loop. Window
// messages cannot do it: they reach neither another session's desktop nor,
// from a lower integrity level, a copy that runs elevated. The installers'
// custom actions (packaging/ca) open the event by this name and set it.
#pragma once

#include <windows.h>

#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// The event's name for the copy with this process id (user32's formatter:
// the C library's would bring its printf machinery into the exe).
using CloseRequestName = wchar_t[80];
inline const wchar_t* closeRequestName(DWORD processId, CloseRequestName& name) {
    wsprintfW(name, L"Global\\Quillhaven.LumenfoldGlanceRefresher.Close.%lu", processId);
    return name;
}

class Win32WakeHandles;

class Win32CloseRequest {
public:
    // Listens for as long as it lives: a request posts WM_CLOSE to `window`,
    // which closes it as its close box does. Without the event (a name
    // already taken, no rights) it listens to nothing, and the installers
    // fall back to the end-session messages.
    Win32CloseRequest(Win32WakeHandles& wakes, HWND window);
    ~Win32CloseRequest();
    Win32CloseRequest(const Win32CloseRequest&) = delete;
    Win32CloseRequest& operator=(const Win32CloseRequest&) = delete;

private:
    Win32WakeHandles& wakes_;
    UniqueKernelHandle event_;
};

}  // namespace glance::win32
