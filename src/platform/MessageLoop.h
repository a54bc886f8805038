// The GUI thread's message loop as handlers see it: DoEvents, a wait for a
// message, the end of the process, and the one top-level work.
#pragma once

#include "platform/Clock.h"
#include "platform/TopLevelWork.h"

namespace glance {

class MessageLoop : public Clock {
public:
    // Processes every pending message, then returns (DoEvents).
    virtual void doEvents() = 0;
    // Blocks until a message arrives or maxSeconds have passed; processes nothing.
    virtual void waitForMessage(double maxSeconds) = 0;
    // Ends the process at once; no handler runs after it.
    virtual void endProcess() = 0;
    // The one top-level work; clearing leaves a work set since by another
    // owner in place.
    virtual void setTopLevelWork(TopLevelWork& work) = 0;
    virtual void clearTopLevelWork(const TopLevelWork& work) = 0;
};

}  // namespace glance
