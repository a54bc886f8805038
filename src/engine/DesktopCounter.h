// The desktop item counter: the number of files plus immediate subfolders of
// the user's desktop folder and of the all-users desktop folder. Each folder
// keeps the names of its items, from a listing, then from its change watch,
// so that a check of a quiet desktop costs next to nothing and a change costs
// the same at any desktop size.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/DesktopPath.h"
#include "engine/NameSet.h"
#include "platform/ChangeWatch.h"
#include "platform/Clock.h"
#include "platform/Diagnostics.h"
#include "platform/EventLog.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace glance {

// Every folder is listed again at least this often, whatever its watch says
// (the net under a watch that stops naming changes without failing); one
// whose listing takes more than kFullCountShare of that, less often, so that
// the net costs the same at any size (a million items: every 11 hours).
inline constexpr double kFullCountSeconds = 60 * 60;
inline constexpr double kFullCountShare = 1e-4;
// A folder without a watch of its own is listed at least this often.
inline constexpr double kUnwatchedCountSeconds = 60;
// A watch that could not be set, the watch on the folders' locations, and
// without it the paths, are tried again this often.
inline constexpr double kRetrySeconds = 30;
// A folder that adds nothing this long is reported to the event log, once.
inline constexpr double kOutageEventSeconds = 300;
// A name counts once still this long; a lost folder is listed once quiet this long.
inline constexpr double kQuietSeconds = 0.1;
// A folder listed on a signal this many times within kStormWindowSeconds is
// listed at most once every kStormListingGapSeconds; a lost folder waits for
// quiet, and a moved time for the names that explain it, no longer than that.
inline constexpr int kStormListings = 3;
inline constexpr double kStormWindowSeconds = 5;
inline constexpr double kStormListingGapSeconds = 1;
// How long a count waits for a listing in progress at a time.
inline constexpr double kListingPartSeconds = 0.02;

// Where a folder's count stands; the table in DesktopCounter.cpp moves it.
enum class FolderPhase : std::uint8_t {
    Due,      // to be listed: never listed, another path, a new watch
    Lost,     // its watch could not name a change: listed once quiet for kQuietSeconds
    Listing,  // being read; the names its watch reports are set on top of the listing
    Torn,     // being read, and its watch could not name a change meanwhile
    Counted,  // its names are known; each name its watch reports counts once still
    Failing,  // it could not be listed: tried again after 1, 2, 4... seconds
};
inline constexpr int kFolderPhases = 6;

enum class FolderEvent : std::uint8_t {
    Unnamed,    // its watch signalled a change it could not name
    WatchLost,  // its own watch went
    Watched,    // a watch of its own was set up
    Reset,      // another path, or its counts were lost
    Started,    // a listing began
    Read,       // the listing was read to its end
    Failed,     // the listing failed
};
inline constexpr int kFolderEvents = 7;

// How a folder is reached, beside its count: a machine of its own.
enum class FolderReach : std::uint8_t {
    NoPath,    // the shell gave none: asked again after 1, 2, 4... up to kRetrySeconds
    Watched,   // its own watch names its changes
    TimeOnly,  // there, but cannot be watched: its last-write time tells; watch tried every kRetrySeconds
    Missing,   // not there: the nearest folder above that can be watched signals its return
};

// Counts the two desktop folders as four terms: the user's subfolders and
// files, the shared subfolders and files. A folder whose path cannot be had,
// or which cannot be opened, adds nothing; a term beyond the 32-bit range, or
// whose sum would be, fails alone. Nothing here throws or shows anything.
//
// A folder is listed only when its watch cannot say what changed: no listing
// yet, another path, a new watch, a change it could not name, a time that
// moved with no name to say why, no watch of its own, and the net. Otherwise
// each name its watch reports counts once still for kQuietSeconds, added to
// or removed from the folder's names (a temporary file created and deleted at
// once moves nothing). The names reported while a listing runs (on another
// thread) are set on top of it, which is exact whatever order it reads in;
// the listing is released as soon as it is read.
//
// Paths are looked up at start, when the folders' locations move, and when a
// watch goes. A missing folder is tried again after 1, 2, 4... seconds, and
// at once when the folder above it signals; the diagnostic channel gets one
// line when it starts failing and one when it is listed again.
class DesktopCounter {
public:
    DesktopCounter(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics);
    DesktopCounter(const DesktopCounter&) = delete;
    DesktopCounter& operator=(const DesktopCounter&) = delete;
    // A folder that adds nothing for kOutageEventSeconds is reported here.
    void reportOutagesTo(EventLog& events) { events_ = &events; }

    // The desktop item count, as described above. It never waits for a
    // listing: until a folder's first listing ends, partial() is true.
    std::int32_t count();

    // The total of the last count, without looking at anything.
    std::int32_t lastTotal() const { return total_; }

    // When a count would find something a signal announced (kNever: nothing
    // waits; later: names not yet still, a folder not yet quiet or keeping
    // the storm's gap). It changes nothing.
    double signalledCountDue(double now) const;

    // Takes the names that the folders' watches signalled, as they come.
    void takeSignalledChanges(double now) {
        for (Folder& folder : folders_) takeChanges(folder, now);
    }

    // Looks whether the listings in progress have ended; count() does too.
    void readOnListings(double now);

    // True while a folder without terms from before is being listed.
    bool partial() const;

    // The rows without a guard and the entries listed as impossible that
    // cover one phase and event: exactly one, for every cell.
    static int cellEntries(FolderPhase phase, FolderEvent event);

private:
    struct Folder {
        std::int32_t id = 0;
        FolderPhase phase = FolderPhase::Due;
        FolderReach reach = FolderReach::NoPath;
        std::optional<std::wstring> path;
        bool lookUpDue = true;
        double retryAt = 0;                  // the next look-up of a folder not watched
        int pathFailures = 0;                // look-ups in a row that gave no path
        std::unique_ptr<ChangeWatch> watch;  // its own, or, Missing, the folder above's
        // Its last-write time as read before the last listing or taken since,
        // when it was last found so, and when found moved with no name to say why.
        std::optional<std::int64_t> lastWrite;
        double timeHeldAt = 0;
        std::optional<double> timeMovedAt;
        double namedAt = -kNever;  // when its watch last named a change
        int listFailures = 0;
        double listRetryAt = 0, lostAt = 0, quietSince = 0;  // Lost: since, and quiet since
        std::array<double, kStormListings> signalledListings{-kNever, -kNever, -kNever};  // oldest first
        double startedAt = 0, fullCountAt = 0, unwatchedCountAt = 0;
        std::optional<double> outageSince;              // adding nothing since (kNever: reported)
        std::optional<std::int32_t> subfolders, files;  // its terms; none: failed
        NameSet names;
        struct Change {
            std::uint64_t entry;
            bool added;
            double since;
        };
        std::vector<Change> pending;       // reported, in order, not yet still
        std::vector<Change> sinceStarted;  // Listing: counted since it began, to set on top
        std::unique_ptr<FolderListing> listing;

        bool reading() const { return phase == FolderPhase::Listing || phase == FolderPhase::Torn; }
        bool inStorm(double now) const { return now - signalledListings.front() < kStormWindowSeconds; }
    };
    using Action = void (DesktopCounter::*)(Folder&, double now);
    struct Move {
        unsigned from;  // a set of phases
        FolderEvent on;
        bool (*guard)(const Folder&);  // none: always
        Action action;                 // none: nothing
        FolderPhase to;
    };
    struct Impossible {
        unsigned from;
        FolderEvent on;
    };
    static const Move kMoves[];
    static const Impossible kImpossible[];

    void move(Folder& folder, FolderEvent event, double now);
    // The table's actions.
    void loseTrack(Folder&folder, double now), awaitQuiet(Folder&folder, double now);
    void dropNames(Folder&folder, double now), forget(Folder&folder, double now);
    void beginListing(Folder&folder, double now), takeListing(Folder&folder, double now);
    void keepTerms(Folder&folder, double now), takeTornListing(Folder&folder, double now);
    void failListing(Folder& folder, double now);
    // The path and watch.
    void noticeMovedLocations(double now);
    void reach(Folder&folder, double now), lookUpPath(Folder&folder, double now);
    void watch(Folder&folder, double now), dropWatch(Folder&folder, double now);
    void takeChanges(Folder& folder, double now);
    void countStillNames(Folder& folder, double now);
    bool apply(Folder& folder, const Folder::Change& change);
    bool listingDue(Folder& folder, double now);
    bool timeMoved(Folder& folder, double now);
    double listableAt(const Folder& folder, double now) const;
    void noteOutage(Folder& folder, double now);
    std::int32_t sumOfTerms() const;

    Shell& shell_;
    FileSystem& files_;
    Clock& clock_;
    Diagnostics& diagnostics_;
    EventLog* events_ = nullptr;
    std::array<Folder, 2> folders_;
    std::unique_ptr<ChangeWatch> locations_;
    double locationsRetryAt_ = 0;
    std::int32_t total_ = 0;
};

}  // namespace glance
