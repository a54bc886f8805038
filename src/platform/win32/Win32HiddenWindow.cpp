#include "platform/win32/Win32HiddenWindow.h"

#include "core/Error.h"
#include "platform/win32/LazyImports.h"

namespace glance::win32 {

void registerWindowClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = procedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = name;
    if (RegisterClassExW(&description) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw PlatformError(errtext::kOutOfMemory);
}

void allowFromLowerRights(HWND window, UINT message) {
    // Looked up, not linked: the call is missing before Windows 7.
    if (const auto filter = lazy::user32().ChangeWindowMessageFilterEx)
        filter(window, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace glance::win32
