// How an installer asks a running copy to close, from any session and any
// account: a manual-reset event in the Global\ namespace, named after the
// copy's process id, that the copy waits on in its top-level loop. Window
// messages cannot do it: they reach neither another session's desktop nor,
// from a lower integrity level, a copy that runs elevated. The installers'
// custom actions (packaging/ca) open the event by this name and set it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

inline constexpr wchar_t kCloseRequestPrefix[] = L"Global\\Quillhaven.LumenfoldGlanceRefresher.Close.";

inline std::wstring closeRequestName(DWORD processId) {
    // Decimal digits by hand: the library's number formatting would bring
    // its printf machinery into the exe.
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + processId % 10));
        processId /= 10;
    } while (processId != 0);
    return kCloseRequestPrefix + digits;
}

class Win32WakeHandles;

class Win32CloseRequest {
public:
    // Listens for as long as it lives; onRequested runs at the loop's top
    // level. Without the event (a name already taken, no rights) it listens
    // to nothing, and the installers fall back to the window messages.
    Win32CloseRequest(Win32WakeHandles& wakes, std::function<void()> onRequested);
    ~Win32CloseRequest();
    Win32CloseRequest(const Win32CloseRequest&) = delete;
    Win32CloseRequest& operator=(const Win32CloseRequest&) = delete;

private:
    Win32WakeHandles& wakes_;
    UniqueKernelHandle event_;
};

}  // namespace glance::win32
