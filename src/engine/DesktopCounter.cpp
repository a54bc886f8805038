#include "engine/DesktopCounter.h"

#include <algorithm>
#include <limits>

#include "core/Error.h"
#include "core/StepTrap.h"

namespace glance {

namespace {

// The cut uses the LAST NUL: the shell writes the path and its NUL into a
// buffer pre-filled with spaces, so everything after the last NUL is padding.
std::wstring desktopPathFromRaw(const std::wstring& raw) {
    const auto nul = raw.rfind(L'\0');
    if (nul == std::wstring::npos) throw PlatformError(errtext::kInvalidCall);
    return raw.substr(0, nul) + L'\\';
}

// A count as a term of the total; none when it leaves the 32-bit signed range.
std::optional<std::int32_t> asTerm(std::int64_t count) {
    if (count < 0 || count > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(count);
}

}  // namespace

std::wstring specialFolderPath(Shell& shell, std::int32_t folderId) {
    return shell.specialFolderRawPath(folderId);
}

std::wstring desktopPath(Shell& shell, std::int32_t folderId) {
    return desktopPathFromRaw(specialFolderPath(shell, folderId));
}

std::wstring userDesktopPath(Shell& shell) {
    return desktopPath(shell, kFolderUserDesktop);
}

std::wstring commonDesktopPath(Shell& shell) {
    return desktopPath(shell, kFolderCommonDesktop);
}

DesktopCounter::DesktopCounter(Shell& shell, FileSystem& files, Clock& clock)
    : shell_(shell), files_(files), clock_(clock) {
    folders_[0].id = kFolderUserDesktop;
    folders_[1].id = kFolderCommonDesktop;
}

DesktopCounter::~DesktopCounter() = default;

std::int32_t DesktopCounter::count() {
    const double now = clock_.monotonicSeconds();
    noticeMovedLocations(now);
    const bool fullCountDue = now >= fullCountAt_;
    if (fullCountDue) fullCountAt_ = now + kFullCountSeconds;

    std::array<bool, 2> toList{};
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        Folder& folder = folders_[i];
        lookUpPath(folder, now);
        toList[i] = folder.path && (fullCountDue || mayHaveChanged(folder));
    }
    if (toList[0] || toList[1]) {
        std::unique_ptr<FolderCounter> counter;
        StepTrap trap = StepTrap::silent();
        if (trap.step(0, [&] { counter = files_.createCounter(); }) && counter) {
            for (std::size_t i = 0; i < folders_.size(); ++i)
                if (toList[i]) list(folders_[i], *counter);
        } else {
            // Without the counting component no folder can be read: every
            // term fails, and every folder is listed again at the next count.
            for (Folder& folder : folders_) {
                folder.subfolders.reset();
                folder.files.reset();
                folder.listDue = true;
            }
        }
    }
    total_ = sumOfTerms();
    return total_;
}

bool DesktopCounter::changeSignalled() {
    for (Folder& folder : folders_)
        if (folder.watch && folder.watch->fired()) return true;
    return locations_ && locations_->fired();
}

void DesktopCounter::noticeMovedLocations(double now) {
    StepTrap trap = StepTrap::silent();
    if (locations_) {
        if (!locations_->fired()) return;
        // Armed again before the paths are looked up, so that a move made
        // while they are looked up fires it again.
        if (!trap.step(0, [&] { locations_->rearm(); })) {
            locations_.reset();
            locationsRetryAt_ = now + kRetrySeconds;
        }
    } else {
        if (now < locationsRetryAt_) return;
        locationsRetryAt_ = now + kRetrySeconds;
        trap.step(0, [&] { locations_ = shell_.watchFolderLocations(); });
    }
    // The locations moved, or nothing watches them (or nothing did until
    // now): either way a path may have changed.
    for (Folder& folder : folders_) folder.lookUpDue = true;
}

void DesktopCounter::lookUpPath(Folder& folder, double now) {
    if (!folder.lookUpDue && !(folder.failing() && now >= folder.retryAt)) return;
    folder.lookUpDue = false;
    folder.retryAt = now + kRetrySeconds;

    StepTrap trap = StepTrap::silent();
    std::optional<std::wstring> path;
    trap.step(0, [&] { path = desktopPath(shell_, folder.id); });
    if (path) {
        folder.pathFailures = 0;
    } else {
        // The shell may not give a path yet (early in a logon, when the
        // program starts with Windows): asked again after 1, 2, 4... seconds,
        // then every kRetrySeconds.
        const int doublings = std::min(folder.pathFailures++, 5);
        folder.retryAt = now + std::min(kRetrySeconds, static_cast<double>(1 << doublings));
    }
    if (path != folder.path) {
        // Another folder altogether: its own watch, and a listing.
        folder.path = std::move(path);
        folder.watch.reset();
        folder.lastWrite.reset();
        folder.subfolders.reset();
        folder.files.reset();
        folder.listDue = true;
    }
    if (folder.path && !folder.watch) {
        // A watch set up only now may have missed a change: list once.
        if (trap.step(0, [&] { folder.watch = files_.watchFolder(*folder.path); })) folder.listDue = true;
    }
}

bool DesktopCounter::mayHaveChanged(Folder& folder) {
    if (folder.listDue) return true;
    if (folder.watch && folder.watch->fired()) return true;
    // Also for a watched folder: a watch that stopped signalling without
    // failing (a file system that drops its notifications) must not hide a
    // change. A time that cannot be read hides nothing only where a watch is.
    std::optional<std::int64_t> lastWrite;
    StepTrap::silent().step(0, [&] { lastWrite = files_.lastModified(*folder.path); });
    if (!lastWrite) return !folder.watch;
    return lastWrite != folder.lastWrite;
}

void DesktopCounter::list(Folder& folder, FolderCounter& counter) {
    StepTrap trap = StepTrap::silent();
    // A folder that fails for the first time looks its path up again at the
    // next count (it may have moved); one that goes on failing, every
    // kRetrySeconds.
    const bool wasWorking = !folder.failing();
    // Armed again, and the last-write time read, before the folder is read: a
    // change made while it is being read fires the watch and moves the time
    // again. A watch that has not fired is still armed.
    if (folder.watch && folder.watch->fired() && !trap.step(0, [&] { folder.watch->rearm(); })) {
        folder.watch.reset();
        folder.lookUpDue = wasWorking;
    }
    folder.lastWrite.reset();
    trap.step(0, [&] { folder.lastWrite = files_.lastModified(*folder.path); });

    FolderEntryCounts counts;
    if (trap.step(0, [&] { counts = counter.countEntries(*folder.path); })) {
        folder.subfolders = asTerm(counts.subfolders);
        folder.files = asTerm(counts.files);
        folder.listDue = false;
        folder.listingFailed = false;
    } else {
        // A folder that cannot be opened adds nothing to either of its terms,
        // and is listed again at the next count.
        folder.subfolders.reset();
        folder.files.reset();
        folder.listDue = true;
        folder.listingFailed = true;
        if (wasWorking) folder.lookUpDue = true;
    }
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
