#include "engine/RefreshEngine.h"

#include "engine/DesktopCounter.h"
#include "platform/Types.h"

namespace glance {

void RefreshEngine::RefreshDesktop(int force) {
    if (force == kTrue) {
        NotifyShell();
        return;
    }
    RefreshIfChanged();
}

void RefreshEngine::RefreshIfChanged() {
    const std::int32_t count = CountDesktopItems(shell_, files_);
    // Plain inequality: a fall notifies like a rise, including a fall to 0
    // when counting failed altogether.
    if (count != LastDesktopCount) NotifyShell();
    LastDesktopCount = count;
}

void RefreshEngine::NotifyShell() {
    shell_.changeNotify(kShcneAssocChanged, kShcnfIdList);
}

}  // namespace glance
