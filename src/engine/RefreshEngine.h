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

    // Notifies at once only for exactly kTrue (-1), without touching the last
    // count; any other value checks for a change first. A failure to reach
    // the shell propagates, and the last count then stays as it was.
    void refreshDesktop(int force);

    // Counts the desktops once and keeps the total as the last count, so
    // that the first check has something to compare with.
    void takeFirstCount();

    // The count seen at the last on-change check (0 before the first count).
    std::int32_t lastCount() const { return lastCount_; }

private:
    void refreshIfChanged();
    void notifyShell();

    Shell& shell_;
    FileSystem& files_;
    std::int32_t lastCount_ = 0;
};

}  // namespace glance
