#include "engine/RefreshEngine.h"

#include "engine/DesktopCounter.h"
#include "platform/Types.h"

namespace glance {

void RefreshEngine::refreshDesktop(int force) {
    if (force == kTrue) {
        notifyShell();
        return;
    }
    refreshIfChanged();
}

void RefreshEngine::takeFirstCount() {
    lastCount_ = countDesktopItems(shell_, files_);
}

void RefreshEngine::refreshIfChanged() {
    const std::int32_t count = countDesktopItems(shell_, files_);
    // Plain inequality: a fall notifies like a rise, including a fall to 0
    // when counting failed altogether.
    if (count != lastCount_) notifyShell();
    lastCount_ = count;
}

void RefreshEngine::notifyShell() {
    shell_.changeNotify(kShcneAssocChanged, kShcnfIdList);
}

}  // namespace glance
