// The refresh engine: tells the shell to refresh its views, at once when
// forced, otherwise only when the desktop item count has changed; and, when a
// desktop folder signals a change, checks soon instead of at the next tick.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/DesktopCounter.h"
#include "platform/Clock.h"
#include "platform/Diagnostics.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace glance {

// SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, null, null): the shell
// refreshes the icons of its views, the desktop among them.
inline constexpr std::int32_t kShcneAssocChanged = 0x08000000;
inline constexpr std::uint32_t kShcnfIdList = 0;

// A signalled change is checked this long after the signal, so that a burst
// of changes (a download's files, an unzip) is merged into one check.
inline constexpr double kQuickCheckDelaySeconds = kQuietSeconds;
// No two broadcasts of the automatic checks come closer than this.
inline constexpr double kBroadcastGapSeconds = 1.0;

class RefreshEngine {
public:
    RefreshEngine(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics);

    // Notifies at once only for exactly kTrue (-1), without touching the last
    // count; any other value checks for a change first. A failure to reach
    // the shell propagates, and the last count then stays as it was.
    void refreshDesktop(int force);

    // Counts the desktops once and keeps the total as the last count, so
    // that the first check has something to compare with. A listing that
    // does not end in its first part goes on between messages, and the
    // first whole count is kept instead.
    void takeFirstCount();

    // The count seen at the last on-change check (0 before the first count).
    std::int32_t lastCount() const { return lastCount_; }

    // The quick check, for the program's top-level loop while automatic
    // updating is on. Once a desktop folder has signalled a change, runs the
    // same on-change check as a tick, kQuickCheckDelaySeconds later, never
    // within kBroadcastGapSeconds of the last broadcast, and not before the
    // counter can count what changed (a folder still changing, or in a
    // storm, waits). Returns the time at which it wants to be called again,
    // or kNever to wait for the next signal. A failure to reach the shell
    // propagates, as from a tick.
    double checkSoonAfterAChange();

    // A desktop folder that cannot be listed for minutes is reported here.
    void reportOutagesTo(EventLog& events) { counter_.reportOutagesTo(events); }

    // Automatic updating is off: a signalled change waits for the next tick.
    void dropPendingCheck() { changeSignalledAt_.reset(); }

private:
    bool refreshIfChanged();
    void notifyShell();

    Shell& shell_;
    Clock& clock_;
    DesktopCounter counter_;
    std::int32_t lastCount_ = 0;
    bool baselinePending_ = false;  // the first count was not whole
    std::optional<double> changeSignalledAt_;
    double lastBroadcastAt_ = -kNever;
    double lastQuickBroadcastAt_ = -kNever;
};

}  // namespace glance
