// The settings an administrator holds for the program: Group Policy values
// of the machine and of the user, and the machine-wide logon value that the
// per-machine installer writes. A held setting rules over the user's own
// choice, and its control shows it, locked, with the reason.
#pragma once

#include <optional>

#include "app/Preferences.h"
#include "platform/Platform.h"

namespace glance {

inline constexpr const char* kManagedReason = "This setting is managed by your organization.";

struct ManagedSettings {
    std::optional<bool> automaticRefresh;
    std::optional<bool> startInTray;
    std::optional<bool> startWithWindows;
    bool homePageVisitOff = false;
    // The machine's logon list starts the program for every user.
    bool startedForEveryone = false;
    friend bool operator==(const ManagedSettings&, const ManagedSettings&) = default;
};

// Reads what the administrator set. A machine policy wins over a user
// policy; a value that is not a number of 0 or 1 counts as not configured and
// is noted on the diagnostic channel and reported to the event log, as is a
// policy that cannot be read.
ManagedSettings readManagedSettings(AdminSettings& admin, Diagnostics& diagnostics, EventLog& events);

// Shows each held setting on its control and locks it (a newly held one is
// reported to the event log); a setting held before and no longer goes back
// to the user's own choice and control. A held start with Windows puts the
// user's logon value (and the stored choice) where ticking or clearing the
// box would, except that the machine's own value already starts the program
// for everyone. Failures are noted, never shown.
void applyManagedSettings(Platform& platform, Window& window, Preferences& preferences,
                          const ManagedSettings& before, const ManagedSettings& now);

}  // namespace glance
