// Work that may block (a folder listing, a volume that does not answer) run
// on a pool thread, and the one way its result comes back to the GUI thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Loop.h"

namespace glance::win32 {

// The result block of one job. The derived class's fields are the worker's
// until it publishes them (release), then only the GUI thread's (acquire):
// the two threads share nothing else. The job and the worker each hold a
// reference and the last to let go frees the block, so a worker that comes
// back long after its job was given up frees it then.
class PoolWork {
public:
    virtual ~PoolWork() = default;
    // On the pool thread, which must touch no function-local static (the
    // build turns their guards off). An exception fails the work: nothing
    // leaves the worker.
    virtual void run() = 0;

protected:
    // The job went: long work may stop early.
    bool abandoned() const { return abandoned_.load(std::memory_order_relaxed); }

private:
    friend class PoolJob;
    static DWORD WINAPI onPool(void* work) noexcept;
    void release() noexcept;
    UniqueKernelHandle event_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> done_{false};
    std::atomic<bool> abandoned_{false};
    bool failed_ = false;
    LONG references_ = 1;
};

// The GUI thread's side of one job. While the work runs, its event sits in the
// top-level wait; when it ends, the loop runs `completed` there, between two
// messages (never inside a handler or a message box's own loop), or without
// one wakes the top-level work as a change watch does. Destroying the job
// takes the event out of the wait and gives the work up.
class PoolJob {
public:
    PoolJob(std::unique_ptr<PoolWork> work, Win32WakeHandles* wakes, WakeAction* completed = nullptr);
    ~PoolJob();
    PoolJob(const PoolJob&) = delete;
    PoolJob& operator=(const PoolJob&) = delete;

    // Queues the work once; throws PlatformError when it cannot be queued.
    void start();
    bool started() const { return started_; }
    // Waits for the work at most `seconds`; true once it has ended, after
    // which its block is this thread's to read.
    bool wait(double seconds) const;
    bool failed() const { return work_->failed_; }
    template <class Work>
    Work& work() const {
        return static_cast<Work&>(*work_);
    }

private:
    PoolWork* work_;
    Win32WakeHandles* wakes_;
    WakeAction* completed_;
    bool started_ = false;
};

}  // namespace glance::win32
