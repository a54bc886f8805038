// The channel to the running copy, simulated: the requests a second start
// sent, and a request arriving from one.
#pragma once

#include <functional>

#include "platform/RunningCopy.h"

namespace glance::fake {

class FakeRunningCopy : public RunningCopy {
public:
    int requestsSent = 0;
    void askToShow() override { ++requestsSent; }
    void listen(std::function<void()> onShowRequested) override { listener_ = std::move(onShowRequested); }
    // A second start asks this copy to come back.
    void requestShow() {
        if (listener_) listener_();
    }

private:
    std::function<void()> listener_;
};

}  // namespace glance::fake
