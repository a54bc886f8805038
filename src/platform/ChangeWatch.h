// A change signal that the logic polls: the system sets it when what it
// watches changes, and only the logic clears it, by arming it again.
#pragma once

#include <string>
#include <vector>

namespace glance {

// One name that came into or left a watched folder: a file or subfolder
// created or deleted, or moved in or out. A rename within the folder is two:
// the old name left, the new one came.
struct NameChange {
    std::wstring name;
    bool added = false;
    bool subfolder = false;
};

// What a watch saw since it was last armed. Not exact when it cannot name
// every change (its buffer overflowed, it cannot go on): only a listing can
// tell then. Gone when the watch cannot go on (its folder went away, its
// handle failed).
struct NameChanges {
    bool exact = false;
    bool gone = false;
    std::vector<NameChange> changes;
};

class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;
    // True when a change has been signalled since the watch was last armed.
    // Never throws: a watch that cannot tell reports a change.
    virtual bool fired() = 0;
    // Clears the signal and watches on: a change from here on fires it again.
    // False when the watch cannot go on.
    virtual bool rearm() = 0;
    // The names that changed since the watch was last armed, and arms it
    // again, as rearm does. A watch that does not name its changes says
    // "not exact".
    virtual NameChanges takeChanges() { return {false, !rearm(), {}}; }
};

}  // namespace glance
