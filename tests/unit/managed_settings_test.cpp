// What an administrator holds: which policy wins, and the window that shows
// a held setting locked and gives the user's own back when it is lifted.
#include "MainWindowFixture.h"
#include "app/ManagedSettings.h"
#include "core/PolicyNames.h"

namespace glance {
namespace {

using Data = std::optional<PolicyData>;
const Data kNone, kOn = PolicyData{true, 1}, kOff = PolicyData{true, 0}, kTwo = PolicyData{true, 2},
                  kText = PolicyData{false, 0};

TEST(ManagedSettings, MachineWinsOverUserAndBadDataIsNotConfiguredWithOneNote) {
    struct Row {
        Data machine, user;
        std::optional<bool> held;
        std::size_t notes;
    };
    const Row rows[] = {{kNone, kNone, std::nullopt, 0}, {kOn, kNone, true, 0},
                        {kNone, kOff, false, 0},         {kOff, kOn, false, 0},
                        {kText, kOn, true, 1},           {kTwo, kNone, std::nullopt, 1},
                        {kNone, kText, std::nullopt, 1}, {kTwo, kText, std::nullopt, 2}};
    for (const Row& row : rows) {
        fake::FakePlatform fp;
        if (row.machine) fp.admin.policies[{PolicyScope::Machine, kPolicyAutomaticRefresh}] = *row.machine;
        if (row.user) fp.admin.policies[{PolicyScope::User, kPolicyAutomaticRefresh}] = *row.user;
        EXPECT_EQ(readManagedSettings(fp.admin, fp.diagnostics, fp.eventLog).automaticRefresh, row.held);
        EXPECT_EQ(fp.diagnostics.notes.size(), row.notes);
    }
}

TEST_F(MainWindowFixture, HeldSettingsShowLockedAtStartAndTheUsersOwnComeBackWhenLifted) {
    store(Preferences::kKeySwitchState, "On");
    fp.admin.policies = {{{PolicyScope::User, kPolicyAutomaticRefresh}, *kOff},
                         {{PolicyScope::Machine, kPolicyStartInTray}, *kOn},
                         {{PolicyScope::Machine, kPolicyStartWithWindows}, *kOn},
                         {{PolicyScope::Machine, kPolicyNoHomePage}, *kOn}};
    fp.system.timeOfDay = 44.5;  // a start that draws the home page
    ASSERT_TRUE(start());
    EXPECT_EQ(std::tuple(switchCaption(), timer().interval(), stored(Preferences::kKeySwitchState)),
              std::tuple("Turn On", 0, "On"));
    EXPECT_FALSE(window().visible()) << "the held tray start hides the window";
    EXPECT_EQ(fp.system.startupEntries[kProductName], L"\"" + fp.system.path + L"\"");
    EXPECT_TRUE(fp.shell.processes.empty());
    EXPECT_EQ(window().lockReasons.size(), 3u);
    EXPECT_EQ(window().lockReasons[ControlId::SwitchButton], "This setting is managed by your organization.");

    fp.admin.policies.clear();
    fp.admin.machineStartupEntries.insert(kProductName);
    form->onPoliciesChanged();
    EXPECT_EQ(std::tuple(switchCaption(), timer().interval()), std::tuple("Turn Off", 1000));
    EXPECT_EQ(window().fakeCheck(ControlId::StartInTrayBox).value(), 0);
    EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), 1) << "started for every user";
    EXPECT_EQ(window().lockReasons.size(), 1u);
    EXPECT_TRUE(window().lockReasons.count(ControlId::StartWithWindowsBox));
}

}  // namespace
}  // namespace glance
