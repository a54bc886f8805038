// The refresh engine: tells the shell to refresh its views, at once when
// forced, otherwise only when the desktop item count has changed.
#pragma once

#include <cstdint>

#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace glance {

// SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, null, null): the shell
// refreshes the icons of its views, the desktop among them.
inline constexpr std::int32_t kShcneAssocChanged = 0x08000000;
inline constexpr std::uint32_t kShcnfIdList = 0;

class RefreshEngine {
public:
    RefreshEngine(Shell& shell, FileSystem& files) : shell_(shell), files_(files) {}

    // Notifies at once only for exactly kTrue (-1), without touching
    // LastDesktopCount; any other value checks for a change first. A failure
    // to reach the shell propagates, and LastDesktopCount then stays as it was.
    void RefreshDesktop(int force);

    // The count seen at the last on-change check. Start-up seeds it with one
    // count so that the first check has something to compare with.
    std::int32_t LastDesktopCount = 0;

private:
    void RefreshIfChanged();
    void NotifyShell();

    Shell& shell_;
    FileSystem& files_;
};

}  // namespace glance
