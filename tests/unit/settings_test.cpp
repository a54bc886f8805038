// The settings store as the logic relies on it, on the in-memory model that
// the other unit tests use in its place.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "app/Preferences.h"
#include "core/Product.h"

namespace glance {
namespace {

TEST(SettingsStore, ReadsTheDefaultUntilSavedAndThenExactlyWhatWasSaved) {
    struct Case {
        const char* saved;  // nullptr: never saved
        const char* read;
    };
    const std::vector<Case> cases = {{nullptr, "Off"}, {"On", "On"}, {"on", "on"}, {"ON", "ON"}, {"", ""}};
    for (const auto& c : cases) {
        fake::FakePlatform p;
        SettingsStore& store = p.settings;
        if (c.saved) store.save(kSettingsApplication, kProductName, Preferences::kKeySwitchState, c.saved);
        EXPECT_EQ(
            store.read(kSettingsApplication, kProductName, Preferences::kKeySwitchState, Preferences::kOff),
            c.read)
            << (c.saved ? c.saved : "(never saved)");
    }
}

TEST(SettingsStore, MissingApplicationSectionOrKeyReadsTheDefault) {
    fake::FakePlatform p;
    SettingsStore& store = p.settings;
    store.save(kSettingsApplication, kProductName, Preferences::kKeyStartInTray, "On");
    EXPECT_EQ(store.read("Other", kProductName, Preferences::kKeyStartInTray, "Off"), "Off");
    EXPECT_EQ(store.read(kSettingsApplication, "Other", Preferences::kKeyStartInTray, "Off"), "Off");
    EXPECT_EQ(store.read(kSettingsApplication, kProductName, "minimized", "Off"), "Off");
    EXPECT_EQ(p.settings.values.size(), 1u);
}

TEST(SettingsStore, AStoreThatCannotBeReachedThrowsAndKeepsTheValue) {
    fake::FakePlatform p;
    SettingsStore& store = p.settings;
    store.save(kSettingsApplication, kProductName, Preferences::kKeySwitchState, "On");
    p.failures.inject("settings.save", errtext::kPermissionDenied);
    EXPECT_THROW(store.save(kSettingsApplication, kProductName, Preferences::kKeySwitchState, "Off"),
                 PlatformError);
    p.failures.inject("settings.read", errtext::kPermissionDenied);
    EXPECT_THROW(store.read(kSettingsApplication, kProductName, Preferences::kKeySwitchState, "Off"),
                 PlatformError);
    p.failures.clearAll();
    EXPECT_EQ(store.read(kSettingsApplication, kProductName, Preferences::kKeySwitchState, "Off"), "On");
}

TEST(Preferences, OnlyTheExactWordOnMeansOnAndSavesWriteOnOrOffUnderTheProductSection) {
    struct Case {
        const char* stored;  // nullptr: never saved
        bool on;
    };
    for (const Case& c : std::vector<Case>{{nullptr, false},
                                           {"On", true},
                                           {"on", false},
                                           {"ON", false},
                                           {"Off", false},
                                           {"On ", false},
                                           {"", false}}) {
        fake::FakePlatform p;
        if (c.stored)
            for (const char* key : {Preferences::kKeyStartWithWindows, Preferences::kKeyStartInTray})
                p.settings.save(kSettingsApplication, kProductName, key, c.stored);
        Preferences preferences(p.settings);
        EXPECT_EQ(preferences.startWithWindows(), c.on) << (c.stored ? c.stored : "(never saved)");
        EXPECT_EQ(preferences.startInTray(), c.on) << (c.stored ? c.stored : "(never saved)");
        EXPECT_EQ(p.settings.values.size(), c.stored ? 2u : 0u) << "reading never writes";
    }

    fake::FakePlatform p;
    Preferences preferences(p.settings);
    EXPECT_EQ(preferences.switchState(), "Off");
    preferences.saveSwitchState(true);
    preferences.saveStartInTray(false);
    preferences.saveStartWithWindows(true);
    const std::map<std::string, std::string> expected = {
        {"StartStopState", "On"}, {"Minimized", "Off"}, {"Windows Startup", "On"}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(p.settings.read("Quillhaven", "Lumenfold Live Shell Glance Refresher Utility", key, "?"),
                  value)
            << key;
    EXPECT_EQ(preferences.switchState(), "On");
}

}  // namespace
}  // namespace glance
