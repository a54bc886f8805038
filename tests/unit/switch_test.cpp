// The refresh timer, the on/off switch and the force button: what they store,
// when ticks run, what is broadcast, and how a failing step goes on.
#include "MainWindowFixture.h"

namespace glance {
namespace {

class Switch : public MainWindowFixture {
protected:
    void SetUp() override { ASSERT_TRUE(start()); }
    void click(ControlId control) { window().click(control); }
};

TEST_F(Switch, TwoClicksFromOffTickOnlyBetweenThem) {
    fp.loop.advance(3);
    EXPECT_EQ(timer().ticks, 0);

    click(ControlId::SwitchButton);
    EXPECT_EQ(switchCaption(), "Turn Off");
    EXPECT_EQ(stored(Preferences::kKeySwitchState), "On");
    fp.loop.advance(0.9);
    EXPECT_EQ(timer().ticks, 0);  // the first tick comes a full second after the click
    fp.loop.advance(2.2);
    EXPECT_EQ(timer().ticks, 3);

    click(ControlId::SwitchButton);
    EXPECT_EQ(switchCaption(), "Turn On");
    EXPECT_EQ(stored(Preferences::kKeySwitchState), "Off");
    EXPECT_TRUE(timer().enabled());
    EXPECT_EQ(timer().interval(), 0);
    fp.loop.advance(5);
    EXPECT_EQ(timer().ticks, 3);
}

TEST_F(Switch, ADesktopChangeIsBroadcastAtTheNextTickAndAQuietDesktopIsNot) {
    click(ControlId::SwitchButton);
    fp.loop.advance(2.5);
    EXPECT_EQ(notifications(), 0u);
    setDesktop(4, 2);
    fp.loop.advance(1);
    ASSERT_EQ(notifications(), 1u);
    EXPECT_EQ(fp.shell.notifications[0].eventId, 0x08000000);
    EXPECT_EQ(fp.shell.notifications[0].flags, 0u);
    fp.loop.advance(3);
    EXPECT_EQ(notifications(), 1u);
    setDesktop(4, 1);
    fp.loop.advance(1);
    EXPECT_EQ(notifications(), 2u);
}

TEST_F(Switch, ForceButtonBroadcastsAtOnceAndKeepsTheRememberedCount) {
    click(ControlId::RefreshNowButton);
    EXPECT_EQ(notifications(), 1u);
    EXPECT_EQ(switchCaption(), "Turn On");
    EXPECT_EQ(fp.settings.saves, 0);
    fp.loop.advance(3);
    EXPECT_EQ(notifications(), 1u);

    click(ControlId::SwitchButton);
    setDesktop(9, 9);
    click(ControlId::RefreshNowButton);
    EXPECT_EQ(form->engine().lastCount(), 5);
    fp.loop.advance(1.1);  // the tick still sees the change since its last check
    EXPECT_EQ(notifications(), 3u);
}

TEST_F(Switch, TurnedOffDuringATickThatTickStillRefreshesOnceThenTicksStop) {
    click(ControlId::SwitchButton);
    setDesktop(8, 2);
    // The click waits in the queue and runs inside the tick's message processing.
    fp.loop.postAt(1.0, [this] { window().postClick(ControlId::SwitchButton); });
    fp.loop.advance(1.05);
    EXPECT_EQ(switchCaption(), "Turn On");
    EXPECT_EQ(timer().ticks, 1);
    EXPECT_EQ(notifications(), 1u);  // the tick's own refresh ran after the click
    EXPECT_TRUE(timer().enabled());
    EXPECT_EQ(timer().interval(), 0);
    fp.loop.advance(5);
    EXPECT_EQ(timer().ticks, 1);
}

TEST_F(Switch, FailingRefreshIsReportedAndAutomaticUpdatingGoesOn) {
    click(ControlId::SwitchButton);
    setDesktop(1, 1);
    // The shell cannot be reached until further notice. The quick check of
    // the change fails silently and leaves the count; the tick reports it.
    fp.failures.inject("changeNotify", "File not found: shell32");
    fp.loop.advance(1.01);
    ASSERT_EQ(boxLabels(), std::vector<std::int32_t>{106});
    EXPECT_NE(fp.system.boxes[0].text.find("Timer1_Timer at line 106"), std::string::npos);
    EXPECT_TRUE(timer().enabled());
    EXPECT_EQ(form->engine().lastCount(), 5);  // not updated by the failed call
    fp.failures.clear("changeNotify");
    fp.loop.advance(1);
    EXPECT_EQ(notifications(), 1u);
}

TEST_F(Switch, FailingStepsGoOnAsTheirLabelsSay) {
    // The caption cannot be read: the switch turns on.
    fp.failures.inject("switchButton.caption", errtext::kInvalidCall, 1);
    click(ControlId::SwitchButton);
    EXPECT_EQ(boxLabels(), std::vector<std::int32_t>{100});
    EXPECT_EQ(stored(Preferences::kKeySwitchState), "On");
    EXPECT_EQ(timer().interval(), 1000);

    // The interval cannot be read: the tick runs as if it were not 0.
    fp.failures.inject("refreshTimer.interval", errtext::kInvalidCall, 1);
    fp.loop.advance(1.01);
    EXPECT_EQ(boxLabels(), (std::vector<std::int32_t>{100, 100}));
    EXPECT_NE(fp.system.boxes[1].text.find("Timer1_Timer"), std::string::npos);

    // The store cannot be written: the window is Off, the store keeps "On".
    fp.failures.inject("settings.save", errtext::kPermissionDenied, 1);
    click(ControlId::SwitchButton);
    EXPECT_EQ(boxLabels().back(), 116);
    EXPECT_EQ(switchCaption(), "Turn On");
    EXPECT_EQ(stored(Preferences::kKeySwitchState), "On");

    fp.failures.inject("changeNotify", errtext::kFileNotFound, 1);
    click(ControlId::RefreshNowButton);
    EXPECT_EQ(boxLabels().back(), 102);
    EXPECT_NE(fp.system.boxes.back().text.find("PushButton2_Click at line 102"), std::string::npos);
}

// The caption names the action; a screen reader hears the state beside it,
// and hears a forced refresh that worked, but not one that failed.
TEST_F(Switch, DescriptionTellsTheStateAndOnlyADoneRefreshIsReadOut) {
    const auto description = [&] { return window().descriptions[ControlId::SwitchButton]; };
    EXPECT_EQ(description(), "Automatic refresh is off");
    click(ControlId::SwitchButton);
    EXPECT_EQ(description(), "Automatic refresh is on");
    click(ControlId::RefreshNowButton);
    fp.failures.inject("changeNotify", "File not found: shell32");
    click(ControlId::RefreshNowButton);
    const std::vector<std::pair<ControlId, std::string>> said = {
        {ControlId::RefreshNowButton, "Desktop icons updated"}};
    EXPECT_EQ(window().announcements, said);
}

TEST_F(Switch, ACaptionThatIsNeitherStateDoesNothing) {
    window().fakeButton(ControlId::SwitchButton).setCaption("Paused");
    click(ControlId::SwitchButton);
    EXPECT_EQ(switchCaption(), "Paused");
    EXPECT_EQ(fp.settings.saves, 0);
    EXPECT_TRUE(fp.system.boxes.empty());
}

}  // namespace
}  // namespace glance
