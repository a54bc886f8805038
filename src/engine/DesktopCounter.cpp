#include "engine/DesktopCounter.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "core/StepTrap.h"

namespace glance {

namespace {

using enum FolderPhase;

// A set of phases, one bit each.
constexpr unsigned of(auto... phases) {
    return ((1u << static_cast<unsigned>(phases)) | ...);
}
constexpr unsigned kAnyPhase = ~0u;

// How a folder's phase moves: the first row for its phase and the event
// decides, and an event without one leaves the phase as it is. The storm's
// gap and the wait for quiet decide when a folder due to be read is read
// (listableAt); what else an event does is done where it is raised.
struct Move {
    unsigned from;
    FolderEvent on;
    FolderPhase to;
};
constexpr Move kMoves[] = {
    // A change the watch cannot name: only a listing can tell. One during a
    // listing tears it: it is no count to act on.
    {of(Counted, Listed), FolderEvent::Unnamed, Lost},
    {of(Listing), FolderEvent::Unnamed, Torn},
    // The names the watch would have reported are lost with it.
    {of(Listing), FolderEvent::WatchLost, Torn},
    {of(Listed), FolderEvent::WatchLost, Counted},
    {of(Lost, Unsettled), FolderEvent::WatchLost, Due},
    // A watch set up only now may have missed a change: listed once. So is
    // a folder at another path, or whose counts were lost. A failing folder
    // waits for its retry.
    {of(Listing, Torn), FolderEvent::Watched, Torn},
    {of(Lost, Listed, Counted, Unsettled), FolderEvent::Watched, Due},
    {of(Lost, Listing, Torn, Listed, Counted, Unsettled), FolderEvent::Reset, Due},
    {kAnyPhase, FolderEvent::Started, Listing},
    // A whole listing is the count; a torn one keeps the counts from before
    // and is read again once the watch has been quiet.
    {of(Listing), FolderEvent::Read, Listed},
    {of(Torn), FolderEvent::Read, Unsettled},
    {of(Listing, Torn), FolderEvent::Failed, Failing},
    {of(Listed), FolderEvent::Settled, Counted},
};

// A count as a term of the total; none when it leaves the 32-bit signed range.
std::optional<std::int32_t> asTerm(std::int64_t count) {
    if (count < 0 || count > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(count);
}

// Ticks come a second apart give or take the system timer's grain: a retry
// due one or more seconds after a tick is taken by the tick that comes a hair
// before it, not one a whole second later.
constexpr double kTickGrainSeconds = 0.02;

bool reached(double at, double now) {
    return now + kTickGrainSeconds >= at;
}

// 1, 2, 4... seconds after `failures` failures in a row, up to kRetrySeconds.
double backoff(int& failures) {
    return std::min(kRetrySeconds, static_cast<double>(1 << std::min(failures++, 5)));
}

}  // namespace

void DesktopCounter::move(Folder& folder, FolderEvent event) {
    for (const Move& m : kMoves)
        if (m.on == event && (m.from & of(folder.phase)) != 0) {
            folder.phase = m.to;
            return;
        }
}

bool DesktopCounter::Folder::inStorm(double now) const {
    return now - signalledListings.front() < kStormWindowSeconds;
}

DesktopCounter::DesktopCounter(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics)
    : shell_(shell), files_(files), clock_(clock), diagnostics_(diagnostics) {
    folders_[0].id = kFolderUserDesktop;
    folders_[1].id = kFolderCommonDesktop;
    for (Folder& folder : folders_) folder.signalledListings.fill(-kNever);
}

DesktopCounter::~DesktopCounter() = default;

std::int32_t DesktopCounter::count() {
    const double now = clock_.monotonicSeconds();
    noticeMovedLocations(now);
    const bool fullCountDue = reached(fullCountAt_, now);
    if (fullCountDue) fullCountAt_ = now + kFullCountSeconds;
    const bool unwatchedCountDue = reached(unwatchedCountAt_, now);
    if (unwatchedCountDue) unwatchedCountAt_ = now + kUnwatchedCountSeconds;

    std::array<bool, 2> toList{};
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        Folder& folder = folders_[i];
        lookUpPath(folder, now);
        followParent(folder, now);
        if (!folder.path) continue;
        takeChanges(folder, now);
        if (folder.reading() || (folder.phase == Failing && !reached(folder.listRetryAt, now))) continue;
        settle(folder, now);
        countSettledNames(folder, now);
        const bool due = fullCountDue || (unwatchedCountDue && (folder.failing() || folder.inStorm(now))) ||
                         mayHaveChanged(folder, now);
        toList[i] = due && listableAt(folder, now) <= now;
    }
    if (toList[0] || toList[1]) {
        std::unique_ptr<FolderCounter> counter;
        StepTrap trap = StepTrap::noting(diagnostics_, "desktop count: counting component");
        if (trap.step(0, [&] { counter = files_.createCounter(); }) && counter) {
            for (std::size_t i = 0; i < folders_.size(); ++i)
                if (toList[i]) startListing(folders_[i], *counter, now);
        } else {
            // Without the counting component no folder can be read: every
            // term fails, and every folder is listed again at the next count.
            for (Folder& folder : folders_) {
                if (folder.reading()) continue;
                folder.subfolders.reset();
                folder.files.reset();
                move(folder, FolderEvent::Reset);
            }
        }
    }
    readOnListings(now);
    // A folder whose watch went while it was listed looks its path up, and
    // sets its new watch, now: a change is then seen as soon as it comes.
    for (Folder& folder : folders_)
        if (folder.lookUpDue && !folder.reading()) lookUpPath(folder, clock_.monotonicSeconds());
    total_ = sumOfTerms();
    return total_;
}

double DesktopCounter::signalledCountDue(double now) const {
    double due = locations_ && locations_->fired() ? now : kNever;
    for (const Folder& folder : folders_) {
        // Read on at once (its listing wakes the loop); its names wait for it.
        if (folder.reading()) continue;
        for (const Folder::Pending& change : folder.pending) {
            const bool waits = change.againstListing && folder.phase == Listed;
            due =
                std::min(due, (waits ? std::max(change.since, folder.readAt) : change.since) + kQuietSeconds);
        }
        if (folder.phase == Lost || folder.phase == Unsettled || (folder.watch && folder.watch->fired()))
            due = std::min(due, folder.watchesParent ? now : listableAt(folder, now));
    }
    // A listing ended with another total.
    return sumOfTerms() != total_ ? now : due;
}

void DesktopCounter::takeSignalledChanges(double now) {
    for (Folder& folder : folders_) takeChanges(folder, now);
}

void DesktopCounter::readOnListings(double now) {
    for (Folder& folder : folders_) {
        settle(folder, now);
        if (!folder.reading()) continue;
        // One line when the folder starts failing, not one at every try.
        StepTrap trap = folder.listFailures > 0 ? StepTrap::silent()
                                                : StepTrap::noting(diagnostics_, "desktop count: listing");
        bool read = false;
        if (!trap.step(0, [&] { read = folder.listing->readOn(kListingPartSeconds); })) {
            failListing(folder, now);
        } else if (read) {
            finishListing(folder, now);
        }
    }
}

bool DesktopCounter::partial() const {
    for (const Folder& f : folders_)
        if (f.reading() && !f.subfolders && !f.files) return true;
    return false;
}

void DesktopCounter::takeChanges(Folder& folder, double now) {
    if (!folder.ownWatch() || !folder.watch->fired()) return;
    if (folder.phase == Unsettled) {
        // It changed again within its window of quiet: a new window from now.
        // Armed at most once a window, so a storm wakes the loop no more often.
        if (now < folder.quietSince + kQuietSeconds) return;
        if (StepTrap::noting(diagnostics_, "desktop count: watch").step(0, [&] { folder.watch->rearm(); })) {
            folder.quietSince = now;
        } else {
            dropWatch(folder);
            folder.lookUpDue = true;
        }
        return;
    }
    // Names are taken during a listing, to be set against it, and on top of
    // counts that hold; a folder due to be listed is listed anyway.
    const bool counted =
        (folder.phase == Counted || folder.phase == Listed) && folder.subfolders && folder.files;
    if (!folder.reading() && !counted) return;
    // A watch that cannot go on (its folder went away, its handle failed) is
    // set up again with the path; the listing tells whether the folder is
    // still there, and says so if not.
    NameChanges taken;
    if (!StepTrap::silent().step(0, [&] { taken = folder.watch->takeChanges(); })) {
        dropWatch(folder);
        folder.lookUpDue = true;
        taken.exact = false;
    }
    if (!taken.exact) {
        move(folder, FolderEvent::Unnamed);
        folder.pending.clear();
        if (folder.phase == Lost) folder.listing.reset();
        return;
    }
    if (folder.phase == Torn) return;
    folder.namedAt = now;
    for (const NameChange& change : taken.changes) {
        const std::uint64_t name = nameKey(change.name, change.subfolder);
        auto pending = std::find_if(folder.pending.begin(), folder.pending.end(),
                                    [&](const Folder::Pending& p) { return p.name == name; });
        if (pending == folder.pending.end()) {
            folder.pending.push_back({name, change.subfolder, 0, 0, folder.phase != Counted});
            pending = folder.pending.end() - 1;
        }
        pending->net += change.added ? 1 : -1;
        pending->added = change.added;
        pending->since = now;
    }
}

void DesktopCounter::countSettledNames(Folder& folder, double now) {
    for (auto it = folder.pending.begin(); it != folder.pending.end();) {
        if (!reached(it->since + kQuietSeconds, now) || (it->againstListing && folder.phase == Listed)) {
            ++it;
            continue;
        }
        std::optional<std::int32_t>& term = it->subfolder ? folder.subfolders : folder.files;
        const std::optional<std::int32_t> counted =
            term ? asTerm(std::int64_t{*term} + (it->againstListing ? it->added - it->seen : it->net))
                 : std::nullopt;
        it = folder.pending.erase(it);
        if (!counted) {
            // The watch's account and the last listing disagree: only a
            // listing can tell.
            move(folder, FolderEvent::Reset);
            folder.pending.clear();
            return;
        }
        term = counted;
    }
}

void DesktopCounter::noticeMovedLocations(double now) {
    StepTrap trap = StepTrap::noting(diagnostics_, "desktop count: folder locations watch");
    if (locations_) {
        if (!locations_->fired()) return;
        // Armed again before the paths are looked up, so that a move made
        // while they are looked up fires it again.
        if (!trap.step(0, [&] { locations_->rearm(); })) {
            locations_.reset();
            locationsRetryAt_ = now + kRetrySeconds;
        }
    } else {
        if (!reached(locationsRetryAt_, now)) return;
        locationsRetryAt_ = now + kRetrySeconds;
        trap.step(0, [&] { locations_ = shell_.watchFolderLocations(); });
    }
    // The locations moved, or nothing watches them (or nothing did until
    // now): either way a path may have changed.
    for (Folder& folder : folders_) folder.lookUpDue = true;
}

void DesktopCounter::lookUpPath(Folder& folder, double now) {
    if (!folder.lookUpDue && !(folder.failing() && reached(folder.retryAt, now))) return;
    folder.lookUpDue = false;
    folder.retryAt = now + kRetrySeconds;

    std::optional<std::wstring> path;
    StepTrap::noting(diagnostics_, "desktop count: folder path").step(0, [&] {
        path = desktopFolderPath(shell_, folder.id);
    });
    // The shell may not give a path yet (early in a logon, when the program
    // starts with Windows): asked again after 1, 2, 4... seconds, then every
    // kRetrySeconds.
    if (path) {
        folder.pathFailures = 0;
    } else {
        folder.retryAt = now + backoff(folder.pathFailures);
    }
    if (path != folder.path) {
        // Another folder altogether: its own watch, and a listing.
        folder.path = std::move(path);
        dropWatch(folder);
        folder.listing.reset();
        folder.lastWrite.reset();
        folder.subfolders.reset();
        folder.files.reset();
        move(folder, FolderEvent::Reset);
        folder.signalledListings.fill(-kNever);
    }
    // A folder that watches its parent tries its own watch again too.
    if (folder.path && !folder.ownWatch()) watch(folder);
}

void DesktopCounter::watch(Folder& folder) {
    StepTrap trap = StepTrap::silent();
    dropWatch(folder);
    if (trap.step(0, [&] { folder.watch = files_.watchFolder(*folder.path); })) {
        move(folder, FolderEvent::Watched);
        return;
    }
    // A folder that is there but cannot be watched (a share that gives no
    // notifications) is checked by its last-write time alone.
    if (trap.step(0, [&] { files_.lastModified(*folder.path); })) return;
    // A missing folder: the nearest folder above it that can be watched
    // signals when it comes back (created, or moved or renamed into place).
    for (std::wstring parent = parentFolder(*folder.path); !parent.empty(); parent = parentFolder(parent)) {
        if (trap.step(0, [&] { folder.watch = files_.watchFolder(parent); })) {
            folder.watchesParent = true;
            return;
        }
    }
}

void DesktopCounter::followParent(Folder& folder, double now) {
    if (!folder.watchesParent) return;
    // Back yet? The folder above signals a return by create or rename at
    // once; its own watch is also tried with the listing's backoff, since the
    // folder above may not see the return (a desktop that is a link to a
    // folder elsewhere).
    StepTrap trap = StepTrap::silent();
    const bool aboveFired = folder.watch->fired();
    if (aboveFired) folder.listRetryAt = now;
    if (!aboveFired && !reached(folder.listRetryAt, now)) return;
    std::unique_ptr<ChangeWatch> own;
    if (trap.step(0, [&] { own = files_.watchFolder(*folder.path); })) {
        folder.watch = std::move(own);
        folder.watchesParent = false;
        move(folder, FolderEvent::Watched);
        folder.listRetryAt = now;
    } else if (aboveFired && !trap.step(0, [&] { folder.watch->rearm(); })) {
        watch(folder);
    }
}

bool DesktopCounter::mayHaveChanged(Folder& folder, double now) {
    if (folder.phase != Counted && folder.phase != Listed) return true;
    const bool ownWatch = folder.ownWatch();
    // A folder counted by names takes what its watch signalled since this
    // count took the last batch at the next pass; its time has moved with it.
    const bool byNames = ownWatch && folder.subfolders && folder.files;
    if (ownWatch && folder.watch->fired()) return !byNames;
    // Also for a watched folder: a watch that stopped signalling without
    // failing (a file system that drops its notifications, a folder deleted
    // or renamed away under its watch) must not hide a change. A time that
    // cannot be read where it could before means the folder may have gone;
    // one that never could hides nothing only where a watch is.
    std::optional<std::int64_t> lastWrite;
    StepTrap::silent().step(0, [&] { lastWrite = files_.lastModified(*folder.path); });
    if (!lastWrite) return !ownWatch || folder.lastWrite.has_value();
    // A watch that named changes within the last second is working: the time
    // moved with them (in a storm, between every two reads, ahead of the
    // signal), and is taken as the folder's from here.
    if (byNames && now - folder.namedAt < kStormListingGapSeconds) {
        folder.lastWrite = lastWrite;
        return false;
    }
    return lastWrite != folder.lastWrite;
}

double DesktopCounter::listableAt(const Folder& folder, double now) const {
    double at = now;
    if (folder.phase == Unsettled) at = std::max(at, folder.quietSince + kQuietSeconds);
    if (folder.inStorm(now)) at = std::max(at, folder.signalledListings.back() + kStormListingGapSeconds);
    return at;
}

void DesktopCounter::startListing(Folder& folder, FolderCounter& counter, double now) {
    const bool fired = folder.ownWatch() && folder.watch->fired();
    if (folder.phase == Unsettled || folder.phase == Lost || fired) {
        std::shift_left(folder.signalledListings.begin(), folder.signalledListings.end(), 1);
        folder.signalledListings.back() = now;
    }
    // Armed again, and the last-write time read, before the folder is read: a
    // change made while it is being read is named by the watch, or moves the
    // time again. A watch that has not fired is still armed.
    StepTrap quiet = StepTrap::silent();
    if (fired && !quiet.step(0, [&] { folder.watch->rearm(); })) {
        // The watch cannot go on: its folder went away, or its handle failed.
        dropWatch(folder);
        folder.lookUpDue = true;
    }
    folder.lastWrite.reset();
    quiet.step(0, [&] { folder.lastWrite = files_.lastModified(*folder.path); });
    folder.pending.clear();
    folder.listing = counter.startListing(*folder.path);  // opens nothing yet
    move(folder, FolderEvent::Started);
}

void DesktopCounter::finishListing(Folder& folder, double now) {
    takeChanges(folder, now);  // the names reported up to here belong to this listing
    folder.readAt = clock_.monotonicSeconds();
    // A torn listing is no count to act on; the folder keeps its terms from
    // before, if it has any.
    if (folder.phase == Listing || (!folder.subfolders && !folder.files)) {
        folder.subfolders = asTerm(folder.listing->counts.subfolders);
        folder.files = asTerm(folder.listing->counts.files);
    }
    if (folder.listFailures > 0) diagnostics_.noteFailure("desktop count: listed again", ErrorCode{});
    folder.listFailures = 0;
    move(folder, FolderEvent::Read);
    if (folder.phase != Unsettled) return;
    folder.listing.reset();
    folder.pending.clear();
    // The watch was armed again as its changes were taken: the wait for
    // quiet starts now. Without a watch of its own nothing tells when it is
    // quiet: it is listed again at the next count.
    folder.quietSince = folder.readAt;
    if (!folder.ownWatch()) move(folder, FolderEvent::WatchLost);
}

void DesktopCounter::settle(Folder& folder, double now) {
    if (folder.phase != Listed || now < folder.readAt + kQuietSeconds) return;
    // Which of the names that changed the listing read, in one pass over what
    // it read, through a small open-addressed table of them (by position + 1).
    std::vector<Folder::Pending>& pending = folder.pending;
    const std::size_t mask = std::bit_ceil(2 * pending.size() + 1) - 1;
    std::vector<std::size_t> slots(pending.empty() ? 0 : mask + 1);
    for (std::size_t i = 0; i < pending.size(); ++i) {
        std::size_t at = static_cast<std::size_t>(pending[i].name) & mask;
        while (slots[at] != 0) at = (at + 1) & mask;
        slots[at] = i + 1;
    }
    if (!slots.empty())
        for (const std::uint64_t name : folder.listing->names)
            for (std::size_t at = static_cast<std::size_t>(name) & mask; slots[at] != 0; at = (at + 1) & mask)
                if (pending[slots[at] - 1].name == name) pending[slots[at] - 1].seen = true;
    folder.listing.reset();
    move(folder, FolderEvent::Settled);
}

void DesktopCounter::failListing(Folder& folder, double now) {
    // A folder that cannot be opened adds nothing to either of its terms,
    // and is listed again after its backoff. A folder that was working may
    // have gone: its watch, if still there, may be on a folder that no longer
    // exists, so it is set up again with the path, at once: its return is
    // then seen as soon as it comes, not at the next retry.
    const bool wasWorking = !folder.failing();
    folder.listing.reset();
    folder.subfolders.reset();
    folder.files.reset();
    move(folder, FolderEvent::Failed);
    if (folder.listFailures == 0) folder.failingSince = now;
    if (events_ && now - folder.failingSince >= kOutageEventSeconds)
        events_->report(AdminEvent::DesktopFolderUnwatchable, *folder.path);
    folder.listRetryAt = now + backoff(folder.listFailures);
    if (wasWorking) {
        dropWatch(folder);
        folder.lookUpDue = true;
    }
    if (folder.lookUpDue) lookUpPath(folder, clock_.monotonicSeconds());
}

void DesktopCounter::dropWatch(Folder& folder) {
    folder.watch.reset();
    folder.watchesParent = false;
    folder.pending.clear();
    if (!folder.reading()) folder.listing.reset();
    move(folder, FolderEvent::WatchLost);
}

std::int32_t DesktopCounter::sumOfTerms() const {
    std::int32_t total = 0;
    for (const Folder& folder : folders_) {
        for (const std::optional<std::int32_t>& term : {folder.subfolders, folder.files}) {
            if (!term) continue;
            // A term whose sum would leave the 32-bit range fails alone.
            const std::int64_t sum = static_cast<std::int64_t>(total) + *term;
            if (sum > std::numeric_limits<std::int32_t>::max()) continue;
            total = static_cast<std::int32_t>(sum);
        }
    }
    return total;
}

}  // namespace glance
