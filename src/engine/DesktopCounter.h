// The desktop item counter: the number of files plus immediate subfolders of
// the user's desktop folder and of the all-users desktop folder. It keeps a
// change watch on each folder and lists a folder again only when it may have
// changed, so that a check of a quiet desktop costs next to nothing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ChangeWatch.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "platform/System.h"

namespace glance {

inline constexpr std::int32_t kFolderUserDesktop = 0;     // CSIDL_DESKTOP
inline constexpr std::int32_t kFolderCommonDesktop = 25;  // CSIDL_COMMON_DESKTOPDIRECTORY

// Every folder is listed at least this often, whatever its watch says.
inline constexpr double kFullCountSeconds = 60;
// A folder whose path, watch or listing failed tries again this often; so
// does the watch on the folders' locations, and without that watch the paths
// are looked up again this often.
inline constexpr double kRetrySeconds = 30;

// The shell's raw path text for a folder id: empty when the shell cannot give
// the folder, otherwise the path, a NUL and the buffer's padding.
std::wstring specialFolderPath(Shell& shell, std::int32_t folderId);

// The folder path to count, with a trailing backslash: the raw text up to its
// last NUL. Throws PlatformError(errtext::kInvalidCall) when the raw text holds
// no NUL, which includes the shell not giving the folder at all.
std::wstring desktopPath(Shell& shell, std::int32_t folderId);
std::wstring userDesktopPath(Shell& shell);
std::wstring commonDesktopPath(Shell& shell);

// Counts the two desktop folders as four terms: the user's subfolders, the
// user's files, the shared subfolders, the shared files. A folder whose path
// cannot be had, or which cannot be opened, adds nothing to either of its
// terms; a term beyond the 32-bit range, or whose sum would be, fails alone;
// the other terms still count. Nothing here ever throws or shows anything.
//
// A count lists a folder (once, for both of its terms) only when:
//   - it has never been listed, or its last listing failed;
//   - its watch fired since the last listing;
//   - its last-write time moved since the last listing, or, for a folder
//     without a watch, cannot be read;
//   - its path changed (looked up again when the watch on the folders'
//     locations fired, or every kRetrySeconds without that watch, and when
//     the folder starts failing; a path the shell cannot give is asked for
//     again after 1, 2, 4... seconds up to kRetrySeconds) or its watch was
//     set up only now;
//   - kFullCountSeconds have passed since the last full count.
// Otherwise it keeps the folder's terms from its last listing: no path look-up,
// no listing. A folder's watch is armed again before the folder is listed, and
// its last-write time read before too, so a change during the listing is seen
// by the next count.
class DesktopCounter {
public:
    DesktopCounter(Shell& shell, FileSystem& files, Clock& clock);
    ~DesktopCounter();
    DesktopCounter(const DesktopCounter&) = delete;
    DesktopCounter& operator=(const DesktopCounter&) = delete;

    // The desktop item count, as described above.
    std::int32_t count();

    // The total of the last count, without looking at anything.
    std::int32_t lastTotal() const { return total_; }

    // True when a folder's watch, or the watch on the folders' locations, has
    // fired since the folder was last listed (or the paths last looked up).
    bool changeSignalled();

private:
    // One desktop folder and what the counter keeps of it.
    struct Folder {
        std::int32_t id = 0;
        std::optional<std::wstring> path;  // none: the shell could not give it
        bool lookUpDue = true;
        double retryAt = 0;    // when a failing folder looks its path up and arms its watch again
        int pathFailures = 0;  // look-ups in a row that gave no path
        std::unique_ptr<ChangeWatch> watch;
        std::optional<std::int64_t> lastWrite;  // read just before the last listing
        bool listDue = true;
        bool listingFailed = false;
        // The folder's two terms from its last listing; none: the term failed.
        std::optional<std::int32_t> subfolders;
        std::optional<std::int32_t> files;

        bool failing() const { return !path || !watch || listingFailed; }
    };

    void noticeMovedLocations(double now);
    void lookUpPath(Folder& folder, double now);
    bool mayHaveChanged(Folder& folder);
    void list(Folder& folder, FolderCounter& counter);
    std::int32_t sumOfTerms() const;

    Shell& shell_;
    FileSystem& files_;
    Clock& clock_;
    std::array<Folder, 2> folders_;
    std::unique_ptr<ChangeWatch> locations_;
    double locationsRetryAt_ = 0;
    double fullCountAt_ = 0;
    std::int32_t total_ = 0;
};

}  // namespace glance
