#include "platform/win32/Win32Windowing.h"

#include <windows.h>

#include <array>
#include <utility>

#include "core/Error.h"
#include "platform/win32/Win32UiGraphics.h"

namespace glance::win32 {

namespace {

constexpr wchar_t kControlClass[] = L"GlanceTrayControlWindow";

// System-callable procedures, each forwarding to one portable procedure. The
// program hooks one procedure (the tray hook), so one slot would do; a few
// spare slots let a test install its own procedure beside it.
constexpr std::size_t kThunkSlots = 4;
std::array<PortableWindowProc, kThunkSlots> thunkTargets{};

template <std::size_t Slot>
LRESULT CALLBACK thunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return thunkTargets[Slot](reinterpret_cast<WindowHandle>(window), message, wParam, lParam);
    } catch (...) {
        // An exception never crosses the system's call: the failure of a
        // handler without reporting of its own is noted and the message
        // counts as handled, as in every other window procedure here.
        noteCallbackFailure("tray window procedure");
        return 0;
    }
}

template <std::size_t... Slots>
constexpr std::array<WNDPROC, kThunkSlots> makeThunks(std::index_sequence<Slots...>) {
    return {&thunk<Slots>...};
}
constexpr std::array<WNDPROC, kThunkSlots> thunks = makeThunks(std::make_index_sequence<kThunkSlots>{});

HWND asHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

LRESULT CALLBACK controlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

Win32Windowing::~Win32Windowing() {
    if (classAtom_ != 0) UnregisterClassW(kControlClass, GetModuleHandleW(nullptr));
}

std::intptr_t Win32Windowing::setWindowLong(WindowHandle window, int index, std::intptr_t value) {
    // SetWindowLongA: the ANSI entry point that the hook's behaviour relies on
    // (on the 32-bit build the Ptr name is a macro for it). A previous value
    // of 0 is only a failure when the system says so.
    SetLastError(0);
    const LONG_PTR previous = SetWindowLongPtrA(asHwnd(window), index, value);
    if (previous == 0 && GetLastError() != 0) throw PlatformError(errtext::kInvalidCall);
    return previous;
}

std::intptr_t Win32Windowing::getWindowLong(WindowHandle window, int index) {
    return GetWindowLongPtrA(asHwnd(window), index);
}

std::intptr_t Win32Windowing::callWindowProc(std::intptr_t procedure, WindowHandle window,
                                             std::uint32_t message, std::uintptr_t wParam,
                                             std::intptr_t lParam) {
    return CallWindowProcA(reinterpret_cast<WNDPROC>(procedure), asHwnd(window), message, wParam, lParam);
}

std::intptr_t Win32Windowing::procedureAddress(PortableWindowProc proc) {
    for (std::size_t slot = 0; slot < kThunkSlots; ++slot) {
        if (thunkTargets[slot] == nullptr) thunkTargets[slot] = proc;
        if (thunkTargets[slot] == proc) return reinterpret_cast<std::intptr_t>(thunks[slot]);
    }
    throw PlatformError(errtext::kOutOfMemory);
}

std::uint32_t Win32Windowing::registerWindowMessage(const std::string& name) {
    const UINT message = RegisterWindowMessageA(name.c_str());
    if (message == 0) throw PlatformError(errtext::kInvalidCall);
    return message;
}

WindowHandle Win32Windowing::createControlWindow(WindowHandle owner) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (classAtom_ == 0) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &controlWindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kControlClass;
        classAtom_ = RegisterClassExW(&windowClass);
        // Another Win32Windowing of this process may have registered it.
        if (classAtom_ == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw PlatformError(errtext::kOutOfMemory);
    }
    // A hidden, owned pop-up is a top-level window: it receives the shell's
    // broadcasts (TaskbarCreated) and never shows in the taskbar.
    const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kControlClass, L"", WS_POPUP, 0, 0, 0, 0,
                                        asHwnd(owner), nullptr, instance, nullptr);
    if (window == nullptr) throw PlatformError(errtext::kOutOfMemory);
    // Run elevated, the program would not hear the broadcast of an Explorer
    // that is not: let it through (Windows 7 and later).
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    if (const auto filter = reinterpret_cast<Filter>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"))))
        filter(window, RegisterWindowMessageW(L"TaskbarCreated"), 1 /* MSGFLT_ALLOW */, nullptr);
    return reinterpret_cast<WindowHandle>(window);
}

void Win32Windowing::destroyWindow(WindowHandle window) {
    DestroyWindow(asHwnd(window));
}

}  // namespace glance::win32
