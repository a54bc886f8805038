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
// policy that cannot be read. The home-page visit also follows the user's
// own number of the same name when no policy holds it (a bad one is noted).
ManagedSettings readManagedSettings(AdminSettings& admin, Diagnostics& diagnostics, EventLog& events);

// Shows each held setting on its control and locks it (a newly applied
// policy is reported to the event log); a setting held before and no longer
// goes back to the user's own choice and control. While the start with
// Windows is held, the user's logon value (and the stored choice) is where
// the holder puts it, so that exactly one copy starts at logon and a locked
// box leaves nothing the user cannot remove: none beside the machine's own
// value, which starts the program for everyone; this copy's while a policy
// turns the start on; none while one turns it off. Failures are noted,
// never shown.
void applyManagedSettings(Platform& platform, Window& window, Preferences& preferences,
                          const ManagedSettings& before, const ManagedSettings& now);

}  // namespace glance
