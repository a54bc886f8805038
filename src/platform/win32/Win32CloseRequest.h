// How an installer asks a running copy to close, from any session and any
// account: a manual-reset event in the Global\ namespace that the copy waits
// on in its top-level loop. Window messages cannot do it: they reach neither
// another session's desktop nor, from a lower integrity level, a copy that
// runs elevated. Anyone may create a Global\ name, so the event's name ends
// in a random part that no one can know beforehand: the copy publishes it
// under its process id in a volatile key of its user's hive, which only that
// user, the administrators and SYSTEM can write. The installers' custom
// actions (packaging/ca) read it there, open the event and set it. Copies of
// earlier versions named the event after the process id alone.
#pragma once

#include <windows.h>

#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// The event's name for the copy with this process id, with its random part
// (32 hexadecimal digits) or, for an earlier version's copy, without (user32's
// formatter: the C library's would bring its printf machinery into the exe).
using CloseRequestName = wchar_t[120];
inline const wchar_t* closeRequestName(DWORD processId, CloseRequestName& name, const wchar_t* random = L"") {
    wsprintfW(name, L"Global\\Quillhaven.LumenfoldGlanceRefresher.Close.%lu%s%s", processId,
              *random ? L"." : L"", random);
    return name;
}
inline constexpr int kCloseRequestRandomDigits = 32;
// Volatile, under HKEY_CURRENT_USER: one value per copy, named by its process
// id, whose data is the random part of its event's name.
inline constexpr wchar_t kCloseRequestsKey[] = L"Software\\Quillhaven.GlanceRefresher.CloseRequests";

class Win32WakeHandles;

class Win32CloseRequest {
public:
    // Listens for as long as it lives: a request posts WM_CLOSE to `window`,
    // which closes it as its close box does. Without the event or its note
    // (no randomness, no rights) it listens to nothing, and the installers
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
