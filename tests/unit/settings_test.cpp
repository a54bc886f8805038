// The settings store as the logic relies on it, on the in-memory model that
// the other unit tests use in its place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "app/Product.h"

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
        if (c.saved) store.save(kSettingsApplication, kProductName, kKeyStartStopState, c.saved);
        EXPECT_EQ(store.read(kSettingsApplication, kProductName, kKeyStartStopState, kOff), c.read)
            << (c.saved ? c.saved : "(never saved)");
    }
}

TEST(SettingsStore, MissingApplicationSectionOrKeyReadsTheDefault) {
    fake::FakePlatform p;
    SettingsStore& store = p.settings;
    store.save(kSettingsApplication, kProductName, kKeyMinimized, "On");
    EXPECT_EQ(store.read("Other", kProductName, kKeyMinimized, "Off"), "Off");
    EXPECT_EQ(store.read(kSettingsApplication, "Other", kKeyMinimized, "Off"), "Off");
    EXPECT_EQ(store.read(kSettingsApplication, kProductName, "minimized", "Off"), "Off");
    EXPECT_EQ(p.settings.values.size(), 1u);
}

TEST(SettingsStore, AStoreThatCannotBeReachedThrowsAndKeepsTheValue) {
    fake::FakePlatform p;
    SettingsStore& store = p.settings;
    store.save(kSettingsApplication, kProductName, kKeyStartStopState, "On");
    p.failures.inject("settings.save", errtext::kPermissionDenied);
    EXPECT_THROW(store.save(kSettingsApplication, kProductName, kKeyStartStopState, "Off"), PlatformError);
    p.failures.inject("settings.read", errtext::kPermissionDenied);
    EXPECT_THROW(store.read(kSettingsApplication, kProductName, kKeyStartStopState, "Off"), PlatformError);
    p.failures.clearAll();
    EXPECT_EQ(store.read(kSettingsApplication, kProductName, kKeyStartStopState, "Off"), "On");
}

}  // namespace
}  // namespace glance
