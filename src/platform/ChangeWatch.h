// A change signal that the logic polls: the system sets it when what it
// watches changes, and only the logic clears it, by arming it again.
#pragma once

namespace glance {

class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;
    // True when a change has been signalled since the watch was last armed.
    // Never throws: a watch that cannot tell reports a change.
    virtual bool fired() = 0;
    // Clears the signal and watches on: a change from here on fires it again.
    // Throws PlatformError when the watch cannot go on.
    virtual void rearm() = 0;
};

}  // namespace glance
