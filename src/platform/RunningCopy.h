// The private channel between a second start of the program and the copy
// that already runs in the same logon session.
#pragma once

#include <functional>

namespace glance {

class RunningCopy {
public:
    virtual ~RunningCopy() = default;
    // From a copy that is about to end: asks the running copy to show its
    // window and lets it take the foreground. Does nothing when no copy of
    // this session listens; never fails.
    virtual void askToShow() = 0;
    // In the running copy: onShowRequested runs on the GUI thread for every
    // later request. Throws when the channel cannot be opened.
    virtual void listen(std::function<void()> onShowRequested) = 0;
};

}  // namespace glance
