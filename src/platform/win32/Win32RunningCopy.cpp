#include "platform/win32/Win32RunningCopy.h"

#include "core/Error.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32HiddenWindow.h"

namespace glance::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"Quillhaven.LumenfoldGlanceRefresher.RunningCopy";

UINT showRequestMessage() {
    static const UINT message = RegisterWindowMessageW(L"Quillhaven.LumenfoldGlanceRefresher.ShowWindow");
    return message;
}

}  // namespace

void Win32RunningCopy::askToShow() {
    const HWND running = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, nullptr);
    if (running == nullptr || showRequestMessage() == 0) return;
    // This copy was just started by the user and may bring a window to the
    // front; it passes that right on, since it shows none itself.
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    AllowSetForegroundWindow(processId);
    // Posted: a running copy that hangs never holds this one up.
    PostMessageW(running, showRequestMessage(), 0, 0);
}

void Win32RunningCopy::listen(std::function<void()> onShowRequested) {
    onShowRequested_ = std::move(onShowRequested);
    if (window_) return;
    registerWindowClass(kWindowClass, &procedure);
    if (showRequestMessage() == 0) throw PlatformError(errtext::kOutOfMemory);
    window_.reset(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), this));
    if (!window_) throw PlatformError(errtext::kOutOfMemory);
    // A copy run elevated still hears a second start that is not.
    allowFromLowerRights(window_.get(), showRequestMessage());
}

LRESULT CALLBACK Win32RunningCopy::procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) noexcept {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<Win32RunningCopy*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == showRequestMessage() && showRequestMessage() != 0) {
        return atCallbackEdge(
            "show request",
            [&]() -> LRESULT {
                if (self->onShowRequested_) self->onShowRequested_();
                return 0;
            },
            [] { return LRESULT{0}; });
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace glance::win32
