// A simulated message queue and clock. Posted events run when the program
// processes messages (doEvents, a nested wait, or the test pumping the loop);
// timers post their ticks as simulated time passes. advance() stands for the
// program's top-level loop: it alone runs the top-level work, when a watch
// has woken the loop or the time the work asked for has come.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include "Failures.h"
#include "core/Error.h"
#include "platform/MessageLoop.h"
#include "platform/Ui.h"

namespace glance::fake {

class FakeLoop : public MessageLoop {
public:
    explicit FakeLoop(Failures& failures) : failures_(failures) {}

    // Queues an event, as a click or a shell message would arrive.
    void post(std::function<void()> event) { queue_.push_back(std::move(event)); }
    // Queues an event that arrives at a later simulated time.
    void postAt(double time, std::function<void()> event) { scheduled_.push_back({time, std::move(event)}); }

    double now() const { return now_; }

    // A watch fired: the top-level loop runs its work when control is back there.
    void wake() { woken_ = true; }

    // Lets time pass as the real top-level loop would: every event and tick
    // due within `seconds` is dispatched at its time, and the top-level work
    // runs after the messages whenever it has been woken or its time has come.
    void advance(double seconds) {
        const double end = now_ + seconds;
        for (;;) {
            runPending();
            runTopLevelWork();
            const double next = woken_ && work_ ? now_ : std::min(nextDue(), workDue_);
            if (next > end) break;
            now_ = std::max(now_, next);
            collectDue();
        }
        now_ = end;
        collectDue();
        runPending();
        runTopLevelWork();
    }

    // MessageLoop
    void doEvents() override {
        failures_.check("doEvents");
        ++doEventsCalls;
        collectDue();
        runPending();
    }
    void waitForMessage(double maxSeconds) override {
        ++waitCalls;
        if (!queue_.empty()) return;
        const double next = nextDue();
        now_ = std::min(now_ + maxSeconds, std::max(now_, next));
        collectDue();
    }
    // The clock as the program reads it: it moves a little on every read, as
    // a real clock does while code runs, so code that reads the time twice
    // and compares the two cannot pass here alone. Events and timers keep to
    // the loop's own time (now()), which reads never move.
    double monotonicSeconds() override { return read_ = std::max(read_, now_) + kReadStep; }
    void endProcess() override {
        ended = true;
        throw ProgramEnded{};
    }
    void setTopLevelWork(TopLevelWork& work) override {
        work_ = &work;
        workDue_ = kNever;
    }
    void clearTopLevelWork(const TopLevelWork& work) override {
        if (work_ == &work) work_ = nullptr;
    }

    // Timers register here so that their ticks follow simulated time.
    struct TimerSlot {
        std::function<bool()> live;   // enabled and interval > 0
        std::function<double()> due;  // time of the next tick
        std::function<void()> fire;   // posts the tick
    };
    void addTimer(TimerSlot* slot) { timers_.push_back(slot); }
    void removeTimer(TimerSlot* slot) { std::erase(timers_, slot); }

    static constexpr double kReadStep = 1e-6;

    int doEventsCalls = 0;
    int waitCalls = 0;
    int topLevelRuns = 0;
    bool ended = false;

private:
    struct Scheduled {
        double time;
        std::function<void()> event;
    };

    double nextDue() const {
        double next = 1e300;
        for (auto& s : scheduled_) next = std::min(next, s.time);
        for (auto* t : timers_)
            if (t->live()) next = std::min(next, t->due());
        return next;
    }
    void collectDue() {
        for (auto it = scheduled_.begin(); it != scheduled_.end();) {
            if (it->time <= now_) {
                queue_.push_back(std::move(it->event));
                it = scheduled_.erase(it);
            } else {
                ++it;
            }
        }
        for (auto* t : std::vector<TimerSlot*>(timers_))
            if (t->live() && t->due() <= now_) t->fire();
    }
    void runTopLevelWork() {
        if (work_ == nullptr || (!woken_ && now_ < workDue_)) return;
        woken_ = false;
        ++topLevelRuns;
        workDue_ = work_->runBetweenMessages();
    }
    void runPending() {
        while (!queue_.empty()) {
            auto event = std::move(queue_.front());
            queue_.pop_front();
            event();
        }
    }

    Failures& failures_;
    double now_ = 0;
    double read_ = 0;
    std::deque<std::function<void()>> queue_;
    std::vector<Scheduled> scheduled_;
    std::vector<TimerSlot*> timers_;
    TopLevelWork* work_ = nullptr;
    double workDue_ = kNever;
    bool woken_ = false;
};

}  // namespace glance::fake
