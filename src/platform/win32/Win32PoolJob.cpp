#include "platform/win32/Win32PoolJob.h"

#include "core/Error.h"

namespace glance::win32 {

DWORD WINAPI PoolWork::onPool(void* parameter) noexcept {
    auto* work = static_cast<PoolWork*>(parameter);
    try {
        work->run();
    } catch (...) {
        work->failed_ = true;
    }
    work->done_.store(true, std::memory_order_release);
    SetEvent(work->event_.get());
    work->release();
    return 0;
}

void PoolWork::release() noexcept {
    if (InterlockedDecrement(&references_) == 0) delete this;
}

PoolJob::PoolJob(std::unique_ptr<PoolWork> work, Win32WakeHandles* wakes, WakeAction* completed)
    : work_(work.release()), wakes_(wakes), completed_(completed) {}

PoolJob::~PoolJob() {
    if (started_ && wakes_ != nullptr) wakes_->remove(work_->event_.get());
    work_->abandoned_.store(true, std::memory_order_relaxed);
    work_->release();
}

void PoolJob::start() {
    if (started_) return;
    // An event that could not be made left no error code by now.
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (work_->event_) {
        InterlockedIncrement(&work_->references_);
        if (QueueUserWorkItem(PoolWork::onPool, work_, WT_EXECUTELONGFUNCTION)) {
            started_ = true;
            if (wakes_ != nullptr) wakes_->add(work_->event_.get(), completed_);
            return;
        }
        if (const DWORD last = GetLastError(); last != ERROR_SUCCESS) error = last;
        InterlockedDecrement(&work_->references_);
    }
    throw PlatformError(systemErrorCode(error));
}

bool PoolJob::wait(double seconds) const {
    if (!started_) return false;
    const double milliseconds = seconds * 1000;
    WaitForSingleObject(work_->event_.get(),
                        milliseconds >= INFINITE ? INFINITE : static_cast<DWORD>(milliseconds));
    return work_->done_.load(std::memory_order_acquire);
}

}  // namespace glance::win32
