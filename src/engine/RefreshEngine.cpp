#include "engine/RefreshEngine.h"

#include <algorithm>
#include <utility>

#include "platform/Types.h"

namespace glance {

RefreshEngine::RefreshEngine(Shell& shell, FileSystem& files, Clock& clock, Diagnostics& diagnostics)
    : shell_(shell), clock_(clock), counter_(shell, files, clock, diagnostics) {}

void RefreshEngine::refreshDesktop(int force) {
    if (force == kTrue) {
        notifyShell();
        return;
    }
    refreshIfChanged();
}

void RefreshEngine::takeFirstCount() {
    lastCount_ = counter_.count();
    baselinePending_ = counter_.partial();
}

double RefreshEngine::checkSoonAfterAChange() {
    // One time for the whole pass: a due time is compared with the very time
    // it was worked out from, never with a later reading.
    const double now = clock_.monotonicSeconds();
    counter_.takeSignalledChanges(now);
    counter_.readOnListings(now);
    const double countDue = counter_.signalledCountDue(now);
    if (countDue == kNever) {
        // Nothing signalled, or a tick has counted what was.
        changeSignalledAt_.reset();
        return kNever;
    }
    if (!changeSignalledAt_) changeSignalledAt_ = now;
    const double due = std::max(
        {*changeSignalledAt_ + kQuickCheckDelaySeconds, lastBroadcastAt_ + kBroadcastGapSeconds, countDue});
    if (now < due) return due;
    changeSignalledAt_.reset();
    if (refreshIfChanged()) lastQuickBroadcastAt_ = lastBroadcastAt_;
    // A change made during this check fires its watch again, and the loop
    // calls back for it then; a folder that changed while it was listed
    // asks for the time at which it may be quiet.
    return counter_.signalledCountDue(clock_.monotonicSeconds());
}

bool RefreshEngine::refreshIfChanged() {
    // Ticks come a second apart, quick checks a second after any broadcast;
    // so that a tick right after a quick check's broadcast cannot send a
    // second one within the second, it keeps the total that check found.
    const bool holding = clock_.monotonicSeconds() < lastQuickBroadcastAt_ + kBroadcastGapSeconds;
    const std::int32_t count = holding ? counter_.lastTotal() : counter_.count();
    // Until a folder that has no count yet has been listed to its end, the
    // total is no count to compare; the first whole one is only a baseline
    // when the first count was not whole.
    if (counter_.partial()) return false;
    if (std::exchange(baselinePending_, false)) {
        lastCount_ = count;
        return false;
    }
    // Plain inequality: a fall notifies like a rise, including a fall to 0
    // when counting failed altogether.
    const bool changed = count != lastCount_;
    if (changed) notifyShell();
    lastCount_ = count;
    return changed;
}

void RefreshEngine::notifyShell() {
    shell_.changeNotify(kShcneAssocChanged, kShcnfIdList);
    lastBroadcastAt_ = clock_.monotonicSeconds();
}

}  // namespace glance
