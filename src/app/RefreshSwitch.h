// The main window's refresh timer and its two buttons: the on/off switch,
// whose caption is its state, and the button that refreshes at once.
#pragma once

#include "app/Preferences.h"
#include "engine/RefreshEngine.h"
#include "platform/Diagnostics.h"
#include "platform/MessageLoop.h"
#include "platform/System.h"
#include "platform/Ui.h"

namespace glance {

inline constexpr const char* kCaptionTurnOn = "Turn On";
inline constexpr const char* kCaptionTurnOff = "Turn Off";
inline constexpr std::int32_t kTickMilliseconds = 1000;

struct RefreshSwitch {
    ButtonControl& switchButton;
    TimerControl& refreshTimer;
    RefreshEngine& engine;
    Preferences& preferences;
    System& system;
    MessageLoop& loop;
    Diagnostics& diagnostics;

    void onTick();
    void onSwitchClicked();
    // True when the desktop was refreshed.
    bool onRefreshNowClicked();

    // Between messages in the top-level loop: while automatic updating is
    // on, a desktop folder's change is checked soon rather than at the next
    // tick. Returns when it wants to run again (kNever: at the next change).
    double onBetweenMessages();
};

}  // namespace glance
