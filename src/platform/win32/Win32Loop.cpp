#include "platform/win32/Win32Loop.h"

#include <windows.h>

#include <cmath>

#include "platform/win32/Win32Windowing.h"

namespace glance::win32 {

Win32Loop::Win32Loop() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    if (frequency.QuadPart > 0) ticksPerSecond_ = static_cast<double>(frequency.QuadPart);
}

void Win32Loop::doEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the outer loop, which ends the program on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Loop::waitForMessage(double maxSeconds) {
    double milliseconds = std::ceil(maxSeconds * 1000.0);
    if (!(milliseconds > 0)) milliseconds = 0;
    if (milliseconds > 0x7FFFFFFF) milliseconds = 0x7FFFFFFF;
    // MWMO_INPUTAVAILABLE: a message already queued but not yet read also ends
    // the wait, so nothing sits unprocessed while the thread sleeps.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(milliseconds), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
}

double Win32Loop::monotonicSeconds() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerSecond_;
}

void Win32Loop::endProcess() {
    ExitProcess(0);
}

}  // namespace glance::win32
