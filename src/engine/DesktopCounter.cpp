#include "engine/DesktopCounter.h"

#include <cstdint>
#include <limits>
#include <memory>

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

// A term's contribution to the total; a negative count or a sum beyond the
// 32-bit signed range fails the term, leaving the total as it was.
std::int32_t addTerm(std::int32_t total, std::int32_t term) {
    if (term < 0) throw PlatformError(errtext::kOverflow);
    const std::int64_t sum = static_cast<std::int64_t>(total) + term;
    if (sum > std::numeric_limits<std::int32_t>::max()) throw PlatformError(errtext::kOverflow);
    return static_cast<std::int32_t>(sum);
}

}  // namespace

std::wstring specialFolderPath(Shell& shell, std::int32_t folderId) {
    return shell.specialFolderRawPath(folderId);
}

std::wstring userDesktopPath(Shell& shell) {
    return desktopPathFromRaw(specialFolderPath(shell, kFolderUserDesktop));
}

std::wstring commonDesktopPath(Shell& shell) {
    return desktopPathFromRaw(specialFolderPath(shell, kFolderCommonDesktop));
}

std::int32_t countDesktopItems(Shell& shell, FileSystem& files) {
    std::int32_t total = 0;
    StepTrap trap = StepTrap::silent();

    std::unique_ptr<FolderCounter> counter;
    trap.step(100, [&] { counter = files.createCounter(); });
    if (!counter) return total;  // without the counting component every term fails

    // Each term resolves its path and opens its folder anew, and writes the
    // total only as its last action, so a failure anywhere adds nothing.
    trap.step(102, [&] { total = addTerm(total, counter->subfolderCount(userDesktopPath(shell))); });
    trap.step(104, [&] { total = addTerm(total, counter->fileCount(userDesktopPath(shell))); });
    trap.step(106, [&] { total = addTerm(total, counter->subfolderCount(commonDesktopPath(shell))); });
    trap.step(108, [&] { total = addTerm(total, counter->fileCount(commonDesktopPath(shell))); });
    return total;
}

}  // namespace glance
