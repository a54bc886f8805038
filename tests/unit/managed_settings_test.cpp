// What an administrator holds: which policy wins, and the window that shows
// a held setting locked and gives the user's own back when it is lifted.
#include <algorithm>

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

TEST(ManagedSettings, TheHomePageVisitFollowsTheUsersOwnNumberUnlessAPolicyHoldsIt) {
    const struct {
        Data policy, own;
        bool off;
        std::size_t notes;
    } rows[] = {{kNone, kNone, false, 0}, {kNone, kOn, true, 0}, {kNone, kTwo, false, 1},
                {kNone, kText, false, 1}, {kOff, kOn, false, 0}, {kOn, kOff, true, 0}};
    for (const auto& row : rows) {
        fake::FakePlatform fp;
        if (row.policy) fp.admin.policies[{PolicyScope::User, kPolicyNoHomePage}] = *row.policy;
        if (row.own) fp.admin.usersOwnNumbers[kPolicyNoHomePage] = *row.own;
        EXPECT_EQ(readManagedSettings(fp.admin, fp.diagnostics, fp.eventLog).homePageVisitOff, row.off);
        EXPECT_EQ(fp.diagnostics.notes.size(), row.notes);
    }
}

// Logon starts the machine's value and the user's own: exactly one of them
// may be there, and none that the user cannot remove while the box is locked.
TEST_F(MainWindowFixture, ExactlyOneCopyStartsAtLogonAndALockedBoxLeavesNoValueBehind) {
    const std::optional<std::wstring> none, thisCopy = L"\"" + fp.system.path + L"\"",
                                            gone = L"\"C:\\Old\\GlanceRefresher.exe\"";
    const struct {
        bool machine;
        Data policy;
        const char* choice;
        std::optional<std::wstring> own, ownAfter;
    } rows[] = {{true, kNone, "On", thisCopy, none}, {true, kNone, "On", gone, none},
                {true, kOn, "On", thisCopy, none},   {true, kOff, "Off", thisCopy, none},
                {false, kOn, "Off", none, thisCopy}, {false, kOn, "On", gone, thisCopy},
                {false, kOff, "On", thisCopy, none}, {false, kNone, "On", gone, thisCopy},
                {false, kNone, "Off", none, none}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.machine << row.choice << row.own.has_value());
        fp.admin.machineStartupEntries.clear();
        fp.admin.policies.clear();
        fp.system.startupEntries.clear();
        fp.eventLog.entries.clear();
        if (row.machine) fp.admin.machineStartupEntries.insert(kProductName);
        if (row.policy) fp.admin.policies[{PolicyScope::Machine, kPolicyStartWithWindows}] = *row.policy;
        store(Preferences::kKeyStartWithWindows, row.choice);
        if (row.own) fp.system.startupEntries[kProductName] = *row.own;
        ASSERT_TRUE(start());
        const bool locked = row.machine || row.policy;
        EXPECT_EQ(fp.system.startupEntry(kProductName), row.ownAfter);
        EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), row.ownAfter ? "On"
                                                             : locked     ? "Off"
                                                                          : row.choice);
        EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(),
                  row.machine || row.ownAfter ? 1 : 0);
        EXPECT_EQ(window().lockReasons.count(ControlId::StartWithWindowsBox), locked ? 1u : 0u);
        EXPECT_EQ(std::count_if(fp.eventLog.entries.begin(), fp.eventLog.entries.end(),
                                [](auto& e) { return e.first == AdminEvent::PolicyApplied; }),
                  row.policy ? 1 : 0)
            << "only a policy is reported as applied";
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
