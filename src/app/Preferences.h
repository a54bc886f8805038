// The user's three stored choices, under the program's one settings section:
// the refresh switch, start with Windows and start in the tray. Every read
// reaches the store and every save is written at once; nothing is cached.
#pragma once

#include <string>

#include "core/Product.h"
#include "platform/SettingsStore.h"

namespace glance {

class Preferences {
public:
    explicit Preferences(SettingsStore& store) : store_(store) {}

    // The switch's stored word as it stands ("On", "Off", or whatever else a
    // user wrote there); "Off" when nothing is stored.
    std::string switchState() { return read(kKeySwitchState); }
    void saveSwitchState(bool on) { save(kKeySwitchState, on); }

    bool startWithWindows() { return isOn(read(kKeyStartWithWindows)); }
    void saveStartWithWindows(bool on) { save(kKeyStartWithWindows, on); }

    bool startInTray() { return isOn(read(kKeyStartInTray)); }
    void saveStartInTray(bool on) { save(kKeyStartInTray, on); }

    // Only the exact word "On" means on; "on", "ON" or anything else does not.
    static bool isOn(const std::string& stored) { return stored == kOn; }

    static constexpr const char* kKeySwitchState = "StartStopState";
    static constexpr const char* kKeyStartWithWindows = "Windows Startup";
    static constexpr const char* kKeyStartInTray = "Minimized";
    static constexpr const char* kOn = "On";
    static constexpr const char* kOff = "Off";

private:
    std::string read(const char* key) { return store_.read(kSettingsApplication, kProductName, key, kOff); }
    void save(const char* key, bool on) {
        store_.save(kSettingsApplication, kProductName, key, on ? kOn : kOff);
    }

    SettingsStore& store_;
};

// A check box's value for a stored choice: 1 ticked, 0 clear.
inline int checkValue(bool on) {
    return on ? 1 : 0;
}

}  // namespace glance
