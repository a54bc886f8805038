#include "platform/win32/Win32System.h"

#include <windows.h>

#include <vector>

#include "core/Error.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

std::wstring modulePath(HMODULE module) {
    // GetModuleFileNameW truncates silently when the buffer is short, so grow
    // it until the path fits (up to the longest path the system allows).
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) throw PlatformError(systemErrorCode(GetLastError()));
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() >= 32768) throw PlatformError(errtext::kPathNotFound);
        buffer.resize(buffer.size() * 2);
    }
}

bool Win32System::anotherInstanceRunning() {
    if (!anotherInstance_) {
        instanceMutex_.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
        const DWORD error = GetLastError();
        // A null handle means the name is taken by an object of another kind
        // (or access is denied): something else holds our name, so refusing
        // to run is the safe answer.
        anotherInstance_ = !instanceMutex_ || error == ERROR_ALREADY_EXISTS;
    }
    return *anotherInstance_;
}

namespace {

BOOL CALLBACK findShownTopLevel(HWND window, LPARAM found) {
    if (!IsWindowVisible(window) || !IsWindowEnabled(window) || GetWindow(window, GW_OWNER)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The box is modal to the program's window: the active one or, while the user
// works in another program, this thread's shown top-level window, so that a
// failing tick still disables the window behind its box.
HWND boxOwner() {
    if (HWND active = GetActiveWindow()) return active;
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findShownTopLevel, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

int Win32System::messageBox(const std::string& text, const std::optional<std::string>& title,
                            std::uint32_t style) {
    const std::string caption = title ? *title : appTitle();
    HWND owner = boxOwner();
    // With no window to own it (the program hidden in the tray), the box
    // disables every window of the program and comes to the front.
    const UINT modality = owner ? 0 : MB_TASKMODAL | MB_SETFOREGROUND;
    // The texts are UTF-8 (a quote from a file may hold any character), so the
    // box takes them as UTF-16, whatever the ANSI code page.
    const int result =
        MessageBoxW(owner, widenUtf8(text).c_str(), widenUtf8(caption).c_str(), style | modality);
    if (result == 0) throw PlatformError(systemErrorCode(GetLastError()));
    return result;
}

std::string Win32System::appTitle() {
    if (!appTitle_) {
        const std::wstring path = modulePath();
        std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        if (const auto dot = name.rfind(L'.'); dot != std::wstring::npos) name.resize(dot);
        appTitle_ = narrowToUtf8(name);
    }
    return *appTitle_;
}

double Win32System::secondsSinceMidnight() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

std::optional<std::wstring> Win32System::startupEntryCommandLine(const std::string& name) {
    DWORD type = REG_NONE;
    std::optional<std::wstring> text =
        readRegistryString(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(name), &type);
    if (!text || type != REG_EXPAND_SZ) return text;
    // The expansion's size is known only once it is done; a variable changed
    // in between makes it longer, so it is asked again until it fits.
    std::wstring expanded(text->size() + 1, L'\0');
    for (;;) {
        const DWORD n =
            ExpandEnvironmentStringsW(text->c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (n == 0) throw PlatformError(systemErrorCode(GetLastError()));
        if (n <= expanded.size()) {
            expanded.resize(n - 1);
            return expanded;
        }
        expanded.resize(n);
    }
}

}  // namespace glance::win32
