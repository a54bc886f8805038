#include "engine/DesktopCounter.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "core/StepTrap.h"

namespace glance {

namespace {

using enum FolderPhase;

// A set of phases, one bit each.
constexpr unsigned of(auto... phases) {
    return ((1u << static_cast<unsigned>(phases)) | ...);
}
constexpr unsigned kAnyPhase = (1u << kFolderPhases) - 1;

// A count as a term of the total; none when it leaves the 32-bit signed range.
std::optional<std::int32_t> asTerm(std::int64_t count) {
    if (count < 0 || count > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(count);
}

// Ticks come a second apart give or take the timer's grain: a retry due a
// hair after a tick is taken by that tick, not one a second later.
constexpr double kTickGrainSeconds = 0.02;

bool reached(double at, double now) {
    return now + kTickGrainSeconds >= at;
}

// 1, 2, 4... seconds after `failures` failures in a row, up to kRetrySeconds.
double backoff(int& failures) {
    return std::min(kRetrySeconds, static_cast<double>(1 << std::min(failures++, 5)));
}

}  // namespace

// How a folder's phase moves: phase + event [guard] / action = next phase; the
// first row whose guard holds is taken. When a folder due to be read is read
// is for listingDue and listableAt (the wait for quiet, the storm's gap).
const DesktopCounter::Move DesktopCounter::kMoves[] = {
    // A change the watch could not name: a listing tells, once the folder is
    // quiet (the tail of a burst would tear it); one while it is read tears it.
    {of(Due), FolderEvent::Unnamed, nullptr, &DesktopCounter::awaitQuiet, Due},
    {of(Counted), FolderEvent::Unnamed, nullptr, &DesktopCounter::loseTrack, Lost},
    {of(Lost), FolderEvent::Unnamed, nullptr, &DesktopCounter::awaitQuiet, Lost},
    {of(Listing, Torn), FolderEvent::Unnamed, nullptr, &DesktopCounter::awaitQuiet, Torn},
    {of(Failing), FolderEvent::Unnamed, nullptr, &DesktopCounter::awaitQuiet, Failing},
    // The names it would have reported go with the watch. Without a watch
    // nothing tells when a lost folder is quiet: it is read at once. A
    // counted one is checked by its time until its next watch lists it.
    {of(Due, Lost), FolderEvent::WatchLost, nullptr, &DesktopCounter::dropNames, Due},
    {of(Listing, Torn), FolderEvent::WatchLost, nullptr, &DesktopCounter::dropNames, Torn},
    {of(Counted), FolderEvent::WatchLost, nullptr, &DesktopCounter::dropNames, Counted},
    {of(Failing), FolderEvent::WatchLost, nullptr, &DesktopCounter::dropNames, Failing},
    // A watch set up only now may have missed a change: listed once. A
    // failing folder is tried at its retry, which its return brings forward.
    {of(Due, Lost, Counted), FolderEvent::Watched, nullptr, nullptr, Due},
    {of(Listing, Torn), FolderEvent::Watched, nullptr, nullptr, Torn},
    {of(Failing), FolderEvent::Watched, nullptr, nullptr, Failing},
    // Another path, or counts that cannot be right: all that was known goes.
    {kAnyPhase, FolderEvent::Reset, nullptr, &DesktopCounter::forget, Due},
    {of(Due, Lost, Counted, Failing), FolderEvent::Started, nullptr, &DesktopCounter::beginListing, Listing},
    // A whole listing, the names reported meanwhile on top, is the count; a torn
    // one keeps the counts from before (if any), and is read again once quiet.
    {of(Listing), FolderEvent::Read, nullptr, &DesktopCounter::takeListing, Counted},
    {of(Torn), FolderEvent::Read, [](const Folder& f) { return f.subfolders || f.files; },
     &DesktopCounter::keepTerms, Lost},
    {of(Torn), FolderEvent::Read, nullptr, &DesktopCounter::takeTornListing, Lost},
    {of(Listing, Torn), FolderEvent::Failed, nullptr, &DesktopCounter::failListing, Failing},
};

// The cells without a row, each with the reason it cannot happen.
const DesktopCounter::Impossible DesktopCounter::kImpossible[] = {
    {of(Listing, Torn), FolderEvent::Started},               // a count lists only a folder not being read
    {of(Due, Lost, Counted, Failing), FolderEvent::Read},    // only a folder being read has a listing to end
    {of(Due, Lost, Counted, Failing), FolderEvent::Failed},  // or to fail
};

void DesktopCounter::move(Folder& folder, FolderEvent event, double now) {
    for (const Move& m : kMoves)
        if (m.on == event && (m.from & of(folder.phase)) != 0 && (!m.guard || m.guard(folder))) {
            if (m.action) (this->*m.action)(folder, now);
            folder.phase = m.to;
            return;
        }
}

int DesktopCounter::cellEntries(FolderPhase phase, FolderEvent event) {
    int entries = 0;
    for (const Move& m : kMoves) entries += m.on == event && (m.from & of(phase)) != 0 && !m.guard;
    for (const Impossible& i : kImpossible) entries += i.on == event && (i.from & of(phase)) != 0;
    return entries;
}

void DesktopCounter::loseTrack(Folder& folder, double now) {
    // The signal is taken as already waited for (a quick check comes
    // kQuietSeconds after it, a tick later still); one after it waits anew.
    awaitQuiet(folder, -kNever);
    folder.lostAt = now;
}

void DesktopCounter::awaitQuiet(Folder& folder, double now) {
    dropNames(folder, now);
    folder.quietSince = now;
}

void DesktopCounter::dropNames(Folder& folder, double) {
    folder.pending.clear();
    folder.sinceStarted.clear();
}

void DesktopCounter::forget(Folder& folder, double now) {
    dropNames(folder, now);
    folder.listing.reset();
    folder.subfolders.reset();
    folder.files.reset();
    folder.names.assign({});
    folder.lastWrite.reset();
    folder.signalledListings.fill(-kNever);
}

void DesktopCounter::beginListing(Folder& folder, double now) {
    if (folder.phase == Lost) {
        std::shift_left(folder.signalledListings.begin(), folder.signalledListings.end(), 1);
        folder.signalledListings.back() = now;
    }
    // The time is read, and the watch was drained, before the folder is read: a
    // change made while it is read is named by the watch, or moves the time.
    folder.lastWrite = files_.lastModified(*folder.path);
    folder.timeHeldAt = now;
    folder.timeMovedAt.reset();
    folder.sinceStarted.clear();
    folder.startedAt = now;
    folder.listing = files_.startListing(*folder.path);
}

void DesktopCounter::takeListing(Folder& folder, double now) {
    folder.subfolders = asTerm(folder.listing->counts.subfolders);
    folder.files = asTerm(folder.listing->counts.files);
    folder.names.assign(std::move(folder.listing->names));
    folder.listing.reset();
    const std::vector<Folder::Change> counted = std::move(folder.sinceStarted);
    folder.sinceStarted.clear();
    bool agree = true;
    for (const Folder::Change& change : counted) agree = apply(folder, change) && agree;
    // Names that disagree with the counts: read again at the next count.
    const double listingSeconds = now - folder.startedAt;
    folder.fullCountAt = agree ? now + std::max(kFullCountSeconds, listingSeconds / kFullCountShare) : now;
    folder.unwatchedCountAt = now + kUnwatchedCountSeconds;
    if (folder.listFailures > 0) diagnostics_.noteFailure("desktop count: listed again", ErrorCode{});
    folder.listFailures = 0;
}

void DesktopCounter::keepTerms(Folder& folder, double now) {
    folder.listing.reset();
    awaitQuiet(folder, now);
    folder.lostAt = now;
}

void DesktopCounter::takeTornListing(Folder& folder, double now) {
    folder.sinceStarted.clear();
    takeListing(folder, now);
    keepTerms(folder, now);
}

void DesktopCounter::failListing(Folder& folder, double now) {
    // It adds nothing, and is listed again after its backoff. If it was
    // watched it may have gone: watched again at once, its return is seen.
    forget(folder, now);
    folder.listRetryAt = now + backoff(folder.listFailures);
    if (folder.reach != FolderReach::Watched) return;
    folder.watch.reset();
    folder.reach = FolderReach::TimeOnly;
    folder.lookUpDue = true;
}

DesktopCounter::DesktopCounter(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics)
    : shell_(shell), files_(files), clock_(clock), diagnostics_(diagnostics) {
    folders_[0].id = kFolderUserDesktop;
    folders_[1].id = kFolderCommonDesktop;
}

std::int32_t DesktopCounter::count() {
    const double now = clock_.monotonicSeconds();
    noticeMovedLocations(now);
    for (Folder& folder : folders_) {
        reach(folder, now);
        if (!folder.path) continue;
        takeChanges(folder, now);
        countStillNames(folder, now);
        if (!folder.reading() && listingDue(folder, now) && listableAt(folder, now) <= now)
            move(folder, FolderEvent::Started, now);
    }
    readOnListings(now);
    for (Folder& folder : folders_) {
        // A folder whose watch went, or whose listing failed, looks its path
        // up and sets its next watch now: a change is then seen when it comes.
        if (folder.lookUpDue && !folder.reading()) reach(folder, now);
        noteOutage(folder, now);
    }
    total_ = sumOfTerms();
    return total_;
}

double DesktopCounter::signalledCountDue(double now) const {
    double due = locations_ && locations_->fired() ? now : kNever;
    for (const Folder& folder : folders_) {
        for (const Folder::Change& change : folder.pending) due = std::min(due, change.since + kQuietSeconds);
        if (folder.path && (folder.phase == Lost || folder.phase == Due))
            due = std::min(due, listableAt(folder, now));
        else if (folder.watch && folder.watch->fired())
            due = std::min(due, now);
    }
    // A listing ended with another total.
    return sumOfTerms() != total_ ? now : due;
}

void DesktopCounter::readOnListings(double now) {
    for (Folder& folder : folders_) {
        if (!folder.reading()) continue;
        // One line when the folder starts failing, not one at every try.
        StepTrap trap = folder.listFailures > 0 ? StepTrap::silent()
                                                : StepTrap::noting(diagnostics_, "desktop count: listing");
        bool read = false;
        if (!trap.step(0, [&] { read = folder.listing->readOn(kListingPartSeconds); })) {
            move(folder, FolderEvent::Failed, now);
        } else if (read) {
            takeChanges(folder, now);  // the names reported up to here go on top of this listing
            move(folder, FolderEvent::Read, now);
        }
    }
}

bool DesktopCounter::partial() const {
    for (const Folder& f : folders_)
        if (f.reading() && !f.subfolders && !f.files) return true;
    return false;
}

void DesktopCounter::takeChanges(Folder& folder, double now) {
    if (folder.reach != FolderReach::Watched || !folder.watch->fired()) return;
    // A lost folder waits for quiet: its watch is armed again at most once
    // in that time, so that a storm wakes the loop no more often.
    if (folder.phase == Lost && now < folder.quietSince + kQuietSeconds) return;
    const NameChanges taken = folder.watch->takeChanges();
    if (!taken.exact) move(folder, FolderEvent::Unnamed, now);
    if (taken.gone) {  // its folder went away, or its handle failed: set up again with the path
        dropWatch(folder, now);
        folder.lookUpDue = true;
        return;
    }
    if (!taken.exact) return;
    folder.namedAt = now;
    if (folder.phase != Counted && folder.phase != Listing) {
        folder.quietSince = now;  // the listing to come tells
        return;
    }
    for (const NameChange& change : taken.changes)
        folder.pending.push_back({nameEntry(change.name, change.subfolder), change.added, now});
}

void DesktopCounter::countStillNames(Folder& folder, double now) {
    // Kept in the order they came, those still for kQuietSeconds come first; a
    // name that changed again since waits for its last change.
    std::vector<Folder::Change>& pending = folder.pending;
    std::size_t still = 0;
    while (still < pending.size() && reached(pending[still].since + kQuietSeconds, now)) ++still;
    if (still == 0) return;
    std::vector<std::uint64_t> changing;
    for (std::size_t i = still; i < pending.size(); ++i) changing.push_back(pending[i].entry >> 1);
    sortNameEntries(changing);
    bool agree = true;
    for (std::size_t i = 0; i < still; ++i) {
        if (std::binary_search(changing.begin(), changing.end(), pending[i].entry >> 1)) continue;
        if (folder.phase == Listing) folder.sinceStarted.push_back(pending[i]);
        agree = apply(folder, pending[i]) && agree;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(still));
    if (!agree) move(folder, FolderEvent::Reset, now);  // names and counts disagree: a listing tells
}

bool DesktopCounter::apply(Folder& folder, const Folder::Change& change) {
    const bool subfolder = (change.entry & 1) != 0;
    const std::optional<bool> was =
        change.added ? (folder.names.add(change.entry) ? std::optional(subfolder) : std::nullopt)
                     : folder.names.remove(change.entry);
    if (!was) return true;  // there already, or not there
    std::optional<std::int32_t>& term = *was ? folder.subfolders : folder.files;
    term = term ? asTerm(std::int64_t{*term} + (change.added ? 1 : -1)) : std::nullopt;
    return term.has_value();
}

bool DesktopCounter::listingDue(Folder& folder, double now) {
    if (folder.phase == Failing) return reached(folder.listRetryAt, now);
    if (folder.phase != Counted) return folder.phase == Due || folder.phase == Lost;
    return reached(folder.fullCountAt, now) ||
           (folder.reach != FolderReach::Watched && reached(folder.unwatchedCountAt, now)) ||
           timeMoved(folder, now);
}

bool DesktopCounter::timeMoved(Folder& folder, double now) {
    const std::optional<std::int64_t> time = files_.lastModified(*folder.path);
    if (folder.reach != FolderReach::Watched) return !time || time != folder.lastWrite;
    // A watch that stopped naming changes without failing must not hide one;
    // a time that can no longer be read means the folder may have gone.
    if (!time) return folder.lastWrite.has_value();
    if (time != folder.lastWrite && folder.namedAt < folder.timeHeldAt) {
        // Moved with no name to say why: the watch may only be late with it.
        if (!folder.timeMovedAt) folder.timeMovedAt = now;
        return reached(*folder.timeMovedAt + kStormListingGapSeconds, now);
    }
    // The same, or moved with the names the watch reported since.
    folder.lastWrite = time;
    folder.timeHeldAt = now;
    folder.timeMovedAt.reset();
    return false;
}

double DesktopCounter::listableAt(const Folder& folder, double now) const {
    double at = now;
    // A lost folder waits for quiet, but no longer than the storm's gap.
    if (folder.phase == Lost && folder.reach == FolderReach::Watched)
        at = std::max(at,
                      std::min(folder.quietSince + kQuietSeconds, folder.lostAt + kStormListingGapSeconds));
    if (folder.inStorm(now)) at = std::max(at, folder.signalledListings.back() + kStormListingGapSeconds);
    return at;
}

void DesktopCounter::noteOutage(Folder& folder, double now) {
    if (folder.subfolders || folder.files) return folder.outageSince.reset();
    if (!folder.outageSince) folder.outageSince = now;
    if (!events_ || now - *folder.outageSince < kOutageEventSeconds) return;
    events_->report(AdminEvent::DesktopFolderUnwatchable,
                    folder.path ? std::wstring_view(*folder.path) : L"(the shell gives no path)");
    folder.outageSince = kNever;  // one entry an outage
}

void DesktopCounter::noticeMovedLocations(double now) {
    if (locations_) {
        if (!locations_->fired()) return;
        // Armed again before the paths are looked up, so that a move made
        // while they are looked up fires it again.
        if (!locations_->rearm()) {
            locations_.reset();
            locationsRetryAt_ = now + kRetrySeconds;
        }
    } else {
        if (!reached(locationsRetryAt_, now)) return;
        locationsRetryAt_ = now + kRetrySeconds;
        StepTrap::noting(diagnostics_, "desktop count: folder locations watch").step(0, [&] {
            locations_ = shell_.watchFolderLocations();
        });
    }
    // The locations moved, or nothing watches them (or nothing did until
    // now): either way a path may have changed.
    for (Folder& folder : folders_) folder.lookUpDue = true;
}

void DesktopCounter::reach(Folder& folder, double now) {
    if (folder.lookUpDue || (folder.reach != FolderReach::Watched && reached(folder.retryAt, now))) {
        lookUpPath(folder, now);
        if (folder.path && folder.reach != FolderReach::Watched) watch(folder, now);
        return;
    }
    if (folder.reach != FolderReach::Missing) return;
    // Back yet? The folder above signals a return; its own watch is also tried
    // with the listing's backoff (the folder above misses a return behind a link).
    const bool aboveFired = folder.watch && folder.watch->fired();
    if (aboveFired) folder.listRetryAt = now;
    if (!aboveFired && !reached(folder.listRetryAt, now)) return;
    if (std::unique_ptr<ChangeWatch> own = files_.watchFolder(*folder.path)) {
        folder.watch = std::move(own);
        folder.reach = FolderReach::Watched;
        move(folder, FolderEvent::Watched, now);
        folder.listRetryAt = now;
    } else if (aboveFired && !folder.watch->rearm()) {
        watch(folder, now);
    }
}

void DesktopCounter::lookUpPath(Folder& folder, double now) {
    folder.lookUpDue = false;
    std::optional<std::wstring> path;
    StepTrap::noting(diagnostics_, "desktop count: folder path").step(0, [&] {
        path = desktopFolderPath(shell_, folder.id);
    });
    // The shell may not give a path yet (early in a logon, when the program
    // starts with Windows): asked again after 1, 2, 4... seconds.
    folder.retryAt = now + (path ? kRetrySeconds : backoff(folder.pathFailures));
    if (path) folder.pathFailures = 0;
    if (path == folder.path) return;
    // Another folder altogether: its own watch, and a listing.
    folder.path = std::move(path);
    dropWatch(folder, now);
    move(folder, FolderEvent::Reset, now);
}

void DesktopCounter::watch(Folder& folder, double now) {
    dropWatch(folder, now);
    if ((folder.watch = files_.watchFolder(*folder.path))) {
        folder.reach = FolderReach::Watched;
        move(folder, FolderEvent::Watched, now);
        return;
    }
    // A folder that is there but cannot be watched (a share that gives no
    // notifications) is checked by its last-write time alone.
    folder.reach = files_.lastModified(*folder.path) ? FolderReach::TimeOnly : FolderReach::Missing;
    if (folder.reach == FolderReach::TimeOnly) return;
    // A missing folder: the nearest folder above it that can be watched
    // signals when it comes back (created, or moved or renamed into place).
    for (std::wstring parent = parentFolder(*folder.path); !parent.empty() && !folder.watch;
         parent = parentFolder(parent))
        folder.watch = files_.watchFolder(parent);
}

void DesktopCounter::dropWatch(Folder& folder, double now) {
    const bool own = folder.reach == FolderReach::Watched;
    folder.watch.reset();
    folder.reach = folder.path ? FolderReach::TimeOnly : FolderReach::NoPath;
    if (own) move(folder, FolderEvent::WatchLost, now);
}

std::int32_t DesktopCounter::sumOfTerms() const {
    std::int32_t total = 0;
    for (const Folder& folder : folders_)
        for (const std::optional<std::int32_t>& term : {folder.subfolders, folder.files})
            total = term ? asTerm(std::int64_t{total} + *term).value_or(total)
                         : total;  // a sum out of range fails alone
    return total;
}

}  // namespace glance
