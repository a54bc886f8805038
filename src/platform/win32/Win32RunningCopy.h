// The channel from a second start to the running copy: a message-only window
// of a private class, found by class name, which only the windows of the
// same logon session (the same desktop) can see, and a registered message.
#pragma once

#include <windows.h>

#include "platform/RunningCopy.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

class Win32RunningCopy : public RunningCopy {
public:
    void askToShow() override;
    void listen(std::function<void()> onShowRequested) override;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    std::function<void()> onShowRequested_;
    UniqueHwnd window_;  // last, so that it goes first
};

}  // namespace glance::win32
