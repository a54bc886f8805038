#include "app/RefreshSwitch.h"

#include "core/HandlerErrors.h"
#include "core/StepTrap.h"

namespace glance {

void RefreshSwitch::onTick() {
    StepTrap trap = StepTrap::reporting(system, tag::kTick);
    // A tick already on its way when the switch was turned off ends here.
    bool idle = false;
    trap.step(100, [&] { idle = refreshTimer.interval() == 0; });
    if (idle) return;
    // Clicks and repaints run first; the switch may be turned off in here.
    trap.step(102, [&] { loop.doEvents(); });
    // Off during the refresh, so that refreshes never overlap and the next
    // tick comes a full interval after this one has finished.
    trap.step(104, [&] { refreshTimer.setEnabled(false); });
    trap.step(106, [&] { engine.refreshDesktop(kFalse); });
    trap.step(108, [&] { refreshTimer.setEnabled(true); });
}

void RefreshSwitch::onSwitchClicked() {
    StepTrap trap = StepTrap::reporting(system, tag::kSwitchClick);
    if (trap.test(100, [&] { return switchButton.caption() == kCaptionTurnOn; })) {
        trap.step(102, [&] { switchButton.setCaption(kCaptionTurnOff); });
        trap.step(104, [&] { refreshTimer.setInterval(kTickMilliseconds); });
        trap.step(106, [&] { refreshTimer.setEnabled(true); });
        trap.step(108, [&] { preferences.saveSwitchState(true); });
    } else if (trap.test(110, [&] { return switchButton.caption() == kCaptionTurnOff; })) {
        trap.step(112, [&] { switchButton.setCaption(kCaptionTurnOn); });
        trap.step(114, [&] { refreshTimer.setInterval(0); });
        trap.step(116, [&] { preferences.saveSwitchState(false); });
    }
}

bool RefreshSwitch::onRefreshNowClicked() {
    StepTrap trap = StepTrap::reporting(system, tag::kRefreshNowClick);
    return trap.step(102, [&] { engine.refreshDesktop(kTrue); });
}

double RefreshSwitch::onBetweenMessages() {
    // Silent: a check that fails here leaves the last count as it was, so
    // the next tick meets the same failure and reports it at its own step.
    StepTrap trap = StepTrap::noting(diagnostics, "quick check");
    // On means what makes the timer tick: the switch turned off, or the
    // timer stopped on the way out, stops these checks too.
    bool on = false;
    trap.step(0, [&] { on = refreshTimer.interval() != 0 && refreshTimer.enabled(); });
    if (!on) {
        engine.dropPendingCheck();
        return kNever;
    }
    double next = kNever;
    trap.step(0, [&] { next = engine.checkSoonAfterAChange(); });
    return next;
}

}  // namespace glance
