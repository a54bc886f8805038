// Work that only the program's top-level message loop runs, between two
// batches of messages.
#pragma once

namespace glance {

// Never run inside a handler, a nested loop (DoEvents, a wait for a message)
// or a message box, so it never lands in the middle of something a handler
// has begun.
class TopLevelWork {
public:
    virtual ~TopLevelWork() = default;
    // Runs when a change watch has fired, or when the time it last asked for
    // has come. Returns the monotonic time at which it wants to run again
    // (kNever: only when a watch fires).
    virtual double runBetweenMessages() = 0;
};

}  // namespace glance
