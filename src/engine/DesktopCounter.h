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

// Every folder is listed again at least this often, whatever its watch says:
// the net under a watch that stops naming changes without failing. A folder
// whose listing takes longer than kFullCountShare of that is listed less
// often, so that the net costs the same at any size (a million items, about
// 4 s a listing: every 11 hours).
inline constexpr double kFullCountSeconds = 60 * 60;
inline constexpr double kFullCountShare = 1e-4;
// A folder without a watch of its own is listed at least this often.
inline constexpr double kUnwatchedCountSeconds = 60;
// A path the shell gave, and a watch that could not be set, are tried again
// this often; so is the watch on the folders' locations, and without it the
// paths are looked up again this often.
inline constexpr double kRetrySeconds = 30;
// A folder that adds nothing for this long (its path, watch or listing
// fails) is reported to the administrators' event log (one entry an outage).
inline constexpr double kOutageEventSeconds = 300;
// A name counts once it has not changed for this long; a folder whose watch
// could not name a change is listed once it has been quiet for this long.
inline constexpr double kQuietSeconds = 0.1;
// A folder listed on its watch's signal this many times within
// kStormWindowSeconds is in a storm: it is listed at most once every
// kStormListingGapSeconds; its last-write time that moved without a name to
// say why is believed after that long too.
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

// What the table says of one phase and event.
enum class FolderCell { Row, Impossible, Missing, Both };

// Counts the two desktop folders as four terms: the user's subfolders, the
// user's files, the shared subfolders, the shared files. A folder whose path
// cannot be had, or which cannot be opened, adds nothing to either of its
// terms; a term beyond the 32-bit range, or whose sum would be, fails alone.
// Nothing here throws or shows anything.
//
// A folder is listed only when its watch cannot say what changed: no listing
// yet, another path, a new watch, a change it could not name (once quiet), a
// last-write time that moved with no name to say why, no watch of its own
// (every kUnwatchedCountSeconds, and when its time moves), and the net.
// Otherwise each name its watch reports is added to or removed from the
// folder's names once it has not changed for kQuietSeconds (a temporary file
// created and deleted at once moves nothing), and the folder's count is the
// number of its names. A listing runs on another thread; the names reported
// while it runs are set on top of it when it ends, which is exact whatever
// order the folder is read in. The listing is released as soon as it is read.
//
// Paths are looked up at start, when the watch on the folders' locations
// fires (every kRetrySeconds without it), and when a folder's watch goes. A
// missing folder is tried again after 1, 2, 4... seconds, and at once when
// the folder above it signals; the diagnostic channel gets one line when it
// starts failing and one when it is listed again.
class DesktopCounter {
public:
    DesktopCounter(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics);
    ~DesktopCounter();
    DesktopCounter(const DesktopCounter&) = delete;
    DesktopCounter& operator=(const DesktopCounter&) = delete;
    // A folder that adds nothing for kOutageEventSeconds is reported here.
    void reportOutagesTo(EventLog& events) { events_ = &events; }

    // The desktop item count, as described above. It never waits for a
    // listing: until a folder's first listing ends, partial() is true.
    std::int32_t count();

    // The total of the last count, without looking at anything.
    std::int32_t lastTotal() const { return total_; }

    // When a count would find something a signal announced: kNever when
    // nothing is waiting; now or earlier when something is; later for names
    // that must stay still, or a folder that must be quiet or keep the
    // storm's gap, first. It changes nothing.
    double signalledCountDue(double now) const;

    // Takes the names that the folders' watches signalled, as they come.
    void takeSignalledChanges(double now);

    // Looks whether the listings in progress have ended; count() does too.
    void readOnListings(double now);

    // True while a folder without terms from before is being listed: the
    // total stands for nothing yet.
    bool partial() const;

    // For the test that walks every cell of the table.
    static FolderCell cell(FolderPhase phase, FolderEvent event);

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
        // Its last-write time, read just before the last listing or taken
        // since; when it was last found so; when it was found moved with no
        // name to say why.
        std::optional<std::int64_t> lastWrite;
        double timeHeldAt = 0;
        std::optional<double> timeMovedAt;
        double namedAt = -kNever;  // when its watch last named a change
        int listFailures = 0;
        double listRetryAt = 0;
        double lostAt = 0;                                       // Lost: since when
        double quietSince = 0;                                   // Lost: when its watch last signalled
        std::array<double, kStormListings> signalledListings{};  // oldest first
        double startedAt = 0;                                    // of the listing
        double fullCountAt = 0;
        double unwatchedCountAt = 0;
        std::optional<double> outageSince;  // adding nothing since
        // Its two terms, and its names; none: the term failed.
        std::optional<std::int32_t> subfolders;
        std::optional<std::int32_t> files;
        NameSet names;
        // A name's last reported change, waiting to be still for kQuietSeconds.
        struct Change {
            std::uint64_t entry;
            bool added;
            double since;
        };
        std::vector<Change> pending;
        std::vector<Change> sinceStarted;  // Listing: counted since it started
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
    void loseTrack(Folder& folder, double now);
    void awaitQuiet(Folder& folder, double now);
    void dropNames(Folder& folder, double now);
    void forget(Folder& folder, double now);
    void beginListing(Folder& folder, double now);
    void takeListing(Folder& folder, double now);
    void keepTerms(Folder& folder, double now);
    void takeTornListing(Folder& folder, double now);
    void failListing(Folder& folder, double now);

    // The path and watch.
    void noticeMovedLocations(double now);
    void reach(Folder& folder, double now);
    void lookUpPath(Folder& folder, double now);
    void watch(Folder& folder, double now);
    void dropWatch(Folder& folder, double now);

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
