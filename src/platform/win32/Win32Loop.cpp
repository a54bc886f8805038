#include "platform/win32/Win32Loop.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace glance::win32 {

namespace {

// MsgWaitForMultipleObjectsEx's timeout for a wait of `seconds`, rounded up so
// that the wait never ends just before the time it waits for.
DWORD waitMilliseconds(double seconds) {
    if (seconds == kNever) return INFINITE;
    double milliseconds = std::ceil(seconds * 1000.0);
    if (!(milliseconds > 0)) milliseconds = 0;
    if (milliseconds > 0x7FFFFFFE) milliseconds = 0x7FFFFFFE;
    return static_cast<DWORD>(milliseconds);
}

}  // namespace

void Win32WakeHandles::add(HANDLE handle, WakeAction* action) {
    entries_.push_back({handle, false, action, nullptr, 0});
}

void Win32WakeHandles::addRequest(HANDLE handle, HWND window, UINT message) {
    entries_.push_back({handle, false, nullptr, window, message});
}

bool Win32WakeHandles::signalled(HANDLE handle) {
    for (Entry& e : entries_) {
        if (e.handle != handle) continue;
        e.setAside = true;
        if (e.action != nullptr) {
            // The action may take its own entry out of the list: `e` is not read after it.
            e.action->signalled();
        } else if (e.requestWindow != nullptr) {
            PostMessageW(e.requestWindow, e.requestMessage, 0, 0);
        } else {
            return true;
        }
        return false;
    }
    return false;
}

void Win32WakeHandles::remove(HANDLE handle) {
    std::erase_if(entries_, [&](const Entry& e) { return e.handle == handle; });
}

void Win32WakeHandles::rearmed(HANDLE handle) {
    for (Entry& e : entries_)
        if (e.handle == handle) e.setAside = false;
}

std::vector<HANDLE> Win32WakeHandles::waiting(std::size_t limit) const {
    std::vector<HANDLE> handles;
    for (const Entry& e : entries_)
        if (!e.setAside && handles.size() < limit) handles.push_back(e.handle);
    return handles;
}

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
    // MWMO_INPUTAVAILABLE: a message already queued but not yet read also ends
    // the wait, so nothing sits unprocessed while the thread sleeps.
    MsgWaitForMultipleObjectsEx(0, nullptr, waitMilliseconds(std::max(maxSeconds, 0.0)), QS_ALLINPUT,
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

void Win32Loop::setTopLevelWork(TopLevelWork& work) {
    work_ = &work;
    workDue_ = kNever;
}

void Win32Loop::clearTopLevelWork(const TopLevelWork& work) {
    if (work_ == &work) work_ = nullptr;
}

void Win32Loop::waitAtTopLevel() {
    // One wait covers the messages, every watch handle not set aside, and the
    // time the work asked for; no thread of its own and no timer message.
    const std::vector<HANDLE> handles = wakes_.waiting(MAXIMUM_WAIT_OBJECTS - 1);
    const auto count = static_cast<DWORD>(handles.size());
    DWORD timeout = INFINITE;
    if (work_ != nullptr) {
        timeout = watchSignalled_ ? 0 : waitMilliseconds(workDue_ - monotonicSeconds());
    }
    const DWORD woken =
        MsgWaitForMultipleObjectsEx(count, handles.data(), timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken >= WAIT_OBJECT_0 && woken < WAIT_OBJECT_0 + count) {
        if (wakes_.signalled(handles[woken - WAIT_OBJECT_0])) watchSignalled_ = true;
    } else if (woken == WAIT_FAILED) {
        // A handle the wait could not use; messages and the work's time still
        // count, and the work's checks poll every watch themselves.
        MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void Win32Loop::runTopLevelWork() {
    if (work_ == nullptr) return;
    if (!watchSignalled_ && monotonicSeconds() < workDue_) return;
    watchSignalled_ = false;
    try {
        workDue_ = work_->runBetweenMessages();
    } catch (...) {
        // The work keeps its failures to itself; whatever slips through must
        // not end the program's loop. It runs again at the next signal.
        workDue_ = kNever;
    }
}

}  // namespace glance::win32
