// The main window's refresh timer and its two buttons: the on/off switch,
// whose caption is its state, and the button that refreshes at once.
#pragma once

#include "engine/RefreshEngine.h"
#include "platform/SettingsStore.h"
#include "platform/System.h"
#include "platform/Ui.h"

namespace glance {

inline constexpr const char* kCaptionTurnOn = "Turn On";
inline constexpr const char* kCaptionTurnOff = "Turn Off";
inline constexpr std::int32_t kTickMilliseconds = 1000;

struct RefreshSwitch {
    ButtonControl& switchButton;  // PushButton4
    TimerControl& timer;          // Timer1
    RefreshEngine& engine;
    SettingsStore& settings;
    System& system;
    MessageLoop& loop;

    void Timer1_Timer();
    void PushButton4_Click();
    void PushButton2_Click();
};

}  // namespace glance
