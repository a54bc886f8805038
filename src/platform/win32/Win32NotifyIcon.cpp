#include "platform/win32/Win32NotifyIcon.h"

#include <string_view>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32HiddenWindow.h"

namespace glance::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"GlanceTrayControlWindow";
// The message the shell sends to the icon's window for each mouse or balloon event.
constexpr UINT kCallbackMessage = WM_USER + 101;
constexpr UINT_PTR kRetryTimer = 1;

static_assert(NOTIFYICONDATAA_V2_SIZE == 488);

// Fills a fixed text field: the text, one NUL, blanks to the field's end; text
// that does not fit with its NUL is cut to the field's width less one.
template <std::size_t N>
void fillText(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    for (std::size_t i = 0; i < n; ++i) field[i] = text[i];
    field[n] = '\0';
    for (std::size_t i = n + 1; i < N; ++i) field[i] = ' ';
}

}  // namespace

Win32NotifyIcon::Win32NotifyIcon(HWND window, NotifyIconEvents& events, NotifyIconCall call)
    : window_(window),
      events_(events),
      call_(call),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

Win32NotifyIcon::~Win32NotifyIcon() {
    try {
        hide();
    } catch (...) {
        // A destructor cannot report; the window goes regardless.
    }
}

NOTIFYICONDATAA Win32NotifyIcon::record(UINT flags) const {
    // The fields past the 488 bytes (GUID, balloon icon) stay zero and, with
    // cbSize 488, are not read by the shell.
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window_.get();
    data.uFlags = flags;
    return data;
}

IconAnswer Win32NotifyIcon::send(DWORD message, NOTIFYICONDATAA& data) {
    SetLastError(0);
    if (call_ != nullptr ? call_(message, &data) : lazy::shell32().Shell_NotifyIconA(message, &data))
        return IconAnswer::Done;
    // A busy taskbar lets the request time out, carried out or not.
    return GetLastError() == ERROR_TIMEOUT ? IconAnswer::NoAnswer : IconAnswer::Refused;
}

IconAnswer Win32NotifyIcon::show(const Picture& picture, const std::string& tip) {
    // The hook is in place before the icon exists, so the very first callback
    // message already reaches the events.
    installHook();
    NOTIFYICONDATAA data = record(NIF_MESSAGE);
    data.uCallbackMessage = kCallbackMessage;
    if (!picture.empty()) {
        data.hIcon = reinterpret_cast<HICON>(picture.handle);
        data.uFlags |= NIF_ICON;
    }
    if (!tip.empty()) {
        fillText(data.szTip, tip);
        data.uFlags |= NIF_TIP;
    }
    try {
        return send(NIM_ADD, data);
    } catch (...) {
        // The shell could not be reached at all: the window gets its own
        // procedure back, or a second try would hook the hook itself.
        removeHook();
        throw;
    }
}

bool Win32NotifyIcon::present() {
    // Only an icon the shell holds can be modified; modifying nothing asks.
    NOTIFYICONDATAA data = record(0);
    return send(NIM_MODIFY, data) == IconAnswer::Done;
}

IconAnswer Win32NotifyIcon::setPicture(const Picture& picture) {
    NOTIFYICONDATAA data = record(NIF_ICON);
    data.hIcon = reinterpret_cast<HICON>(picture.handle);
    return send(NIM_MODIFY, data);
}

IconAnswer Win32NotifyIcon::setTip(const std::string& tip) {
    NOTIFYICONDATAA data = record(NIF_TIP);
    fillText(data.szTip, tip);
    return send(NIM_MODIFY, data);
}

IconAnswer Win32NotifyIcon::balloon(const std::string& title, const std::string& text,
                                    std::uint32_t timeoutMilliseconds) {
    NOTIFYICONDATAA data = record(NIF_INFO);
    fillText(data.szInfoTitle, title);
    fillText(data.szInfo, text);
    data.uTimeout = timeoutMilliseconds;
    return send(NIM_MODIFY, data);
}

void Win32NotifyIcon::hide() {
    KillTimer(window_.get(), kRetryTimer);
    if (replaced_ == nullptr) return;
    // The icon goes first, so no callback can reach a window that has
    // already lost the hook.
    NOTIFYICONDATAA data = record(0);
    try {
        send(NIM_DELETE, data);
    } catch (...) {
        removeHook();
        throw;
    }
    removeHook();
}

void Win32NotifyIcon::retryAfter(double seconds) {
    SetTimer(window_.get(), kRetryTimer, static_cast<UINT>(seconds * 1000), nullptr);
}

void Win32NotifyIcon::installHook() {
    if (replaced_ != nullptr) return;
    // The window is a Unicode one (its class is registered with
    // RegisterClassExW); its procedure is replaced, and the replaced one
    // called, through the ANSI entry points that the hook keeps: the system
    // hands the hook ANSI messages and CallWindowProcA converts them back for
    // the window's own Unicode procedure. On the 32-bit build the Ptr names
    // are macros for SetWindowLongA and GetWindowLongA.
    SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    replaced_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32NotifyIcon::hook)));
    if (replaced_ == nullptr) throw PlatformError(errtext::kInvalidCall);
}

void Win32NotifyIcon::removeHook() {
    SetWindowLongPtrA(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replaced_));
    replaced_ = nullptr;
}

LRESULT CALLBACK Win32NotifyIcon::hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<Win32NotifyIcon*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    // Read first: a handler may take the icon out, and the hook with it.
    const WNDPROC replaced = self->replaced_;
    const auto passOn = [&] { return CallWindowProcA(replaced, window, message, wParam, lParam); };
    return atCallbackEdge(
        "tray icon",
        [&] {
            self->raise(message, wParam, lParam);
            return passOn();
        },
        passOn);
}

void Win32NotifyIcon::raise(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallbackMessage) {
        switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            events_.onIconClicked();
            break;
        case NIN_BALLOONHIDE:
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONUSERCLICK:
            events_.onBalloonClosed();
            break;
        default:
            break;
        }
    } else if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        events_.onTaskbarCreated();
    } else if (message == WM_DISPLAYCHANGE || message == WM_SETTINGCHANGE || message == WM_DPICHANGED) {
        // After each of these the notification area may draw at another DPI.
        events_.onDisplayChanged();
    } else if (message == WM_TIMER && wParam == kRetryTimer) {
        KillTimer(window_.get(), kRetryTimer);
        events_.onRetryDue();
    }
}

std::unique_ptr<NotifyIcon> Win32NotificationArea::createIcon(WindowHandle ownerWindow,
                                                              NotifyIconEvents& events) {
    registerWindowClass(kWindowClass, &DefWindowProcW);
    // A hidden, owned pop-up is a top-level window: it receives the shell's
    // broadcasts (TaskbarCreated) and never shows in the taskbar.
    const HWND window =
        CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                        reinterpret_cast<HWND>(ownerWindow), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) throw PlatformError(errtext::kOutOfMemory);
    // Run elevated, the program would not hear the broadcast of an Explorer
    // that is not.
    allowFromLowerRights(window, RegisterWindowMessageW(L"TaskbarCreated"));
    return std::make_unique<Win32NotifyIcon>(window, events, call_);
}

}  // namespace glance::win32
