// The channel from a second start to the running copy: a message-only window
// of a private class, found by class name, which only the windows of the
// same logon session (the same desktop) can see, and a registered message.
#pragma once

#include <windows.h>

#include "platform/RunningCopy.h"

namespace glance::win32 {

class Win32RunningCopy : public RunningCopy {
public:
    Win32RunningCopy() = default;
    ~Win32RunningCopy() override;
    Win32RunningCopy(const Win32RunningCopy&) = delete;
    Win32RunningCopy& operator=(const Win32RunningCopy&) = delete;

    void askToShow() override;
    void listen(std::function<void()> onShowRequested) override;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    HWND window_ = nullptr;
    std::function<void()> onShowRequested_;
};

}  // namespace glance::win32
