// The tray icon through shell32: Shell_NotifyIconA with the 488-byte record
// of shell version 5.0, the icon's own hidden window, and the hook that stands
// in for that window's procedure while the icon is in the tray.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "platform/NotifyIcon.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

// A stand-in for the shell's entry point that a test gives (null: the shell's).
using NotifyIconCall = BOOL (*)(DWORD message, PNOTIFYICONDATAA data);

class Win32NotifyIcon : public NotifyIcon {
public:
    Win32NotifyIcon(HWND window, NotifyIconEvents& events, NotifyIconCall call);
    // Takes the icon out and destroys its window.
    ~Win32NotifyIcon() override;
    Win32NotifyIcon(const Win32NotifyIcon&) = delete;
    Win32NotifyIcon& operator=(const Win32NotifyIcon&) = delete;

    // The icon's window: owner of the icon and receiver of its messages.
    HWND window() const { return window_.get(); }

    IconAnswer show(const Picture& picture, const std::string& tip) override;
    bool present() override;
    IconAnswer setPicture(const Picture& picture) override;
    IconAnswer setTip(const std::string& tip) override;
    IconAnswer balloon(const std::string& title, const std::string& text,
                       std::uint32_t timeoutMilliseconds) override;
    void hide() override;
    void retryAfter(double seconds) override;

private:
    // Hands the icon's messages to the events, then every message to the
    // procedure it replaced, whose result it returns.
    static LRESULT CALLBACK hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void raise(UINT message, WPARAM wParam, LPARAM lParam);
    void installHook();
    void removeHook();
    NOTIFYICONDATAA record(UINT flags) const;
    IconAnswer send(DWORD message, NOTIFYICONDATAA& data);

    UniqueHwnd window_;
    NotifyIconEvents& events_;
    NotifyIconCall call_;
    UINT taskbarCreated_;
    WNDPROC replaced_ = nullptr;  // set while the hook is in place
};

class Win32NotificationArea : public NotificationArea {
public:
    explicit Win32NotificationArea(NotifyIconCall call = nullptr) : call_(call) {}

    std::unique_ptr<NotifyIcon> createIcon(WindowHandle ownerWindow, NotifyIconEvents& events) override;

private:
    NotifyIconCall call_;
};

}  // namespace glance::win32
