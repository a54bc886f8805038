// The desktop item counter: the number of files plus immediate subfolders of
// the user's desktop folder and of the all-users desktop folder. It keeps a
// change watch on each folder and lists a folder again only when it may have
// changed, so that a check of a quiet desktop costs next to nothing whatever
// its size.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/DesktopPath.h"
#include "platform/ChangeWatch.h"
#include "platform/Clock.h"
#include "platform/Diagnostics.h"
#include "platform/EventLog.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace glance {

// Every folder is listed at least this often, whatever its watch says: the
// net under a watch that stops signalling without failing and a last-write
// time that does not move. Rare, because it is what idling costs on a large
// desktop: a listing of 100,000 items takes about half a second of CPU.
inline constexpr double kFullCountSeconds = 60 * 60;
// A folder without a watch of its own that works (none could be set, it
// failed, it watches the parent of a missing folder, or its folder is in a
// storm) is listed at least this often.
inline constexpr double kUnwatchedCountSeconds = 60;
// A folder whose path, watch or listing failed tries again this often; so
// does the watch on the folders' locations, and without that watch the paths
// are looked up again this often.
inline constexpr double kRetrySeconds = 30;
// A folder that cannot be listed for this long is reported to the
// administrators' event log (which keeps one entry of a kind an hour).
inline constexpr double kOutageEventSeconds = 300;
// A folder that changed while it was listed is listed again once its watch
// has been quiet this long.
inline constexpr double kQuietSeconds = 0.1;
// A folder listed on its watch's signal this many times within
// kStormWindowSeconds is in a storm: it is listed at most once every
// kStormListingGapSeconds until it has been quiet for the rest of the window.
inline constexpr int kStormListings = 3;
inline constexpr double kStormWindowSeconds = 5;
inline constexpr double kStormListingGapSeconds = 1;
// A listing holds the window at most this long at a time (the platform reads
// a part, or waits this long for a search on another thread); the window
// handles its messages in between, so a folder of a million items never holds it.
inline constexpr double kListingPartSeconds = 0.02;

// Where a folder's count stands. How it moves from one phase to another on
// each event is one table, in DesktopCounter.cpp.
enum class FolderPhase : std::uint8_t {
    Due,        // to be listed: never listed, another path, a new watch, counts lost
    Lost,       // to be listed, as on a signal: its watch could not name a change
    Listing,    // being read; the names its watch reports are set against the listing
    Torn,       // being read, and its watch could not name a change meanwhile
    Listed,     // read; names reported until kQuietSeconds later are set against it
    Counted,    // counted; each name its watch reports counts once still for kQuietSeconds
    Unsettled,  // its last listing was torn: read again once quiet for kQuietSeconds
    Failing,    // it could not be listed: tried again after 1, 2, 4... seconds
};

enum class FolderEvent : std::uint8_t {
    Unnamed,    // its watch signalled a change it could not name
    WatchLost,  // its watch went (its folder went away, its handle failed)
    Watched,    // a watch of its own was set up
    Reset,      // another path, or its counts were lost
    Started,    // a listing began
    Read,       // the listing was read to its end
    Failed,     // the listing failed
    Settled,    // kQuietSeconds passed since its listing ended
};

// Counts the two desktop folders as four terms: the user's subfolders, the
// user's files, the shared subfolders, the shared files. A folder whose path
// cannot be had, or which cannot be opened, adds nothing to either of its
// terms; a term beyond the 32-bit range, or whose sum would be, fails alone;
// the other terms still count. Nothing here ever throws or shows anything.
//
// A count lists a folder (once, for both of its terms) only when:
//   - it is due to be listed (see FolderPhase), or its watch signalled a
//     change it could not name;
//   - its last-write time moved (or could be read before and cannot now)
//     since the last listing, or, for a folder without a watch, cannot be read;
//   - it has no working watch of its own and kUnwatchedCountSeconds passed,
//     or kFullCountSeconds passed, since the last full count.
// Otherwise it keeps the folder's terms: no path look-up, no listing. Paths
// are looked up again when the watch on the folders' locations fires (every
// kRetrySeconds without that watch) and when a folder starts failing; a path
// the shell cannot give is asked for again after 1, 2, 4... seconds up to
// kRetrySeconds. A folder's watch is armed again, and its last-write time
// read, before it is listed, so a change during the listing is seen.
//
// A folder whose watch names its changes counts each name that came or left
// +1 or -1 once it has not changed for kQuietSeconds, so that a file created
// and deleted again at once, as in a storm of temporary files, moves nothing,
// and a change costs the same at any desktop size.
//
// A listing goes on between the window's messages (kListingPartSeconds);
// until it ends, the folder keeps its terms from before. It is no snapshot:
// one taken while names come and go can count an item twice or not at all.
// So the names the watch reports from its start until kQuietSeconds after its
// end count as their last change says (there or not) in place of what the
// listing saw, which is exact whatever order the folder is read in. A listing
// during which the watch could not name every change is torn: the folder
// keeps its terms from before (unless it has none yet) and is listed again
// once its watch has been quiet for kQuietSeconds. Listings on a signal keep
// the storm's gap.
//
// A folder that goes away (its listing fails, or its watch cannot be armed
// again) adds nothing from that count on, looks its path up again at once and
// watches the nearest existing folder above it until it is back. While it
// cannot be listed it is tried again after 1, 2, 4... seconds up to
// kRetrySeconds, or at once when that watch fires; the diagnostic channel gets
// one line when it starts failing and one when it is listed again.
class DesktopCounter {
public:
    DesktopCounter(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics);
    ~DesktopCounter();
    DesktopCounter(const DesktopCounter&) = delete;
    // A folder that stays unlistable for kOutageEventSeconds is reported here.
    void reportOutagesTo(EventLog& events) { events_ = &events; }
    DesktopCounter& operator=(const DesktopCounter&) = delete;

    // The desktop item count, as described above.
    std::int32_t count();

    // The total of the last count, without looking at anything.
    std::int32_t lastTotal() const { return total_; }

    // When a count would find something a signal announced: kNever when no
    // watch has fired since the last count (nor the paths' look-up); now or
    // earlier when one has; later for a folder that must stay quiet, or keep
    // the storm's gap, first. It changes nothing: takeSignalledChanges and
    // count() take the signals and start a window of quiet again. `now` is
    // the caller's time, which it compares the answer with.
    double signalledCountDue(double now) const;

    // Takes the names that the folders' watches signalled, as they come, so
    // that each is counted kQuietSeconds after it changed, not after the
    // check that saw it. Lists nothing.
    void takeSignalledChanges(double now);

    // Reads on each listing in progress for kListingPartSeconds; count()
    // does too.
    void readOnListings(double now);

    // True while a folder without terms from before is being listed: the
    // total stands for nothing yet.
    bool partial() const;

private:
    // One desktop folder and what the counter keeps of it.
    struct Folder {
        std::int32_t id = 0;
        FolderPhase phase = FolderPhase::Due;
        std::optional<std::wstring> path;  // none: the shell could not give it
        bool lookUpDue = true;
        double retryAt = 0;    // when a failing folder looks its path up and arms its watch again
        int pathFailures = 0;  // look-ups in a row that gave no path
        std::unique_ptr<ChangeWatch> watch;
        bool watchesParent = false;             // the watch is on the nearest folder above a missing one
        std::optional<std::int64_t> lastWrite;  // read just before the last listing
        // Listings in a row that failed, since when, and when the next may be
        // tried: a missing desktop, or one on a server that does not answer,
        // is listed again after 1, 2, 4... seconds up to kRetrySeconds, and at
        // once when a watch says it may be back.
        int listFailures = 0;
        double failingSince = 0;
        double listRetryAt = 0;
        double quietSince = 0;  // Unsettled: when its watch was last armed
        // Times of the last kStormListings listings made on a signal, oldest first.
        std::array<double, kStormListings> signalledListings{};
        // The folder's two terms from its last listing; none: the term failed.
        std::optional<std::int32_t> subfolders;
        std::optional<std::int32_t> files;
        // Names that came or left since the last listing and are not counted
        // yet: their net change and when it last changed, by name (a hash of
        // it: two names that share one only wait for each other, the sum
        // stays right) and kind; few at a time, as they count 0.1 s after
        // they stop changing. A name that changed during a listing, or soon
        // after it, counts as its last change says, less what the listing saw.
        struct Pending {
            std::uint64_t name = 0;
            bool subfolder = false;
            int net = 0;
            double since = 0;
            bool againstListing = false;
            bool added = false;  // its last change
            bool seen = false;   // by the listing
        };
        std::vector<Pending> pending;
        double namedAt = -kNever;  // when the watch last named its changes
        // Listing, Torn: the listing being read; Listed: the one read at readAt.
        std::unique_ptr<FolderListing> listing;
        double readAt = 0;

        bool ownWatch() const { return watch && !watchesParent; }
        bool reading() const { return phase == FolderPhase::Listing || phase == FolderPhase::Torn; }
        bool failing() const { return !path || !ownWatch() || listFailures > 0; }
        bool inStorm(double now) const;
    };

    static void move(Folder& folder, FolderEvent event);
    void noticeMovedLocations(double now);
    void lookUpPath(Folder& folder, double now);
    void watch(Folder& folder);
    void followParent(Folder& folder, double now);
    void takeChanges(Folder& folder, double now);
    void countSettledNames(Folder& folder, double now);
    bool mayHaveChanged(Folder& folder, double now);
    double listableAt(const Folder& folder, double now) const;
    void startListing(Folder& folder, FolderCounter& counter, double now);
    void finishListing(Folder& folder, double now);
    void failListing(Folder& folder, double now);
    // Once kQuietSeconds passed after a listing: the names that changed meanwhile
    // are set against it.
    void settle(Folder& folder, double now);
    void dropWatch(Folder& folder);
    std::int32_t sumOfTerms() const;

    Shell& shell_;
    FileSystem& files_;
    Clock& clock_;
    Diagnostics& diagnostics_;
    EventLog* events_ = nullptr;  // where a lasting outage is reported, once given
    std::array<Folder, 2> folders_;
    std::unique_ptr<ChangeWatch> locations_;
    double locationsRetryAt_ = 0;
    double fullCountAt_ = 0;
    double unwatchedCountAt_ = 0;
    std::int32_t total_ = 0;
};

}  // namespace glance
