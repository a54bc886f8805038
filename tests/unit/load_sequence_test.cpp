// The load sequence: which steps run for each stored state, where a failing
// step goes on, what the user sees when the program starts, and the
// home-page draw: about one start in a hundred, minimized.
#include "MainWindowFixture.h"
#include "app/LoadSequence.h"

namespace glance {
namespace {

using Startup = MainWindowFixture;

TEST_F(Startup, StoredSwitchStateSetsCaptionAndIntervalAndIsNeverWrittenBack) {
    struct Case {
        const char* stored;  // nullptr: never stored
        const char* caption;
        std::int32_t interval;
    };
    for (const Case& c :
         {Case{nullptr, "Turn On", 0}, Case{"Off", "Turn On", 0}, Case{"On", "Turn Off", 1000},
          Case{"on", "Turn On", 0}, Case{"ON", "Turn On", 0}, Case{"", "Turn On", 0}}) {
        MainWindowFixture::fp.settings.values.clear();
        if (c.stored) store(Preferences::kKeySwitchState, c.stored);
        ASSERT_TRUE(start());
        EXPECT_EQ(switchCaption(), c.caption) << (c.stored ? c.stored : "none");
        EXPECT_EQ(timer().interval(), c.interval) << (c.stored ? c.stored : "none");
        EXPECT_TRUE(timer().enabled());
        EXPECT_EQ(stored(Preferences::kKeySwitchState), c.stored ? c.stored : "<none>");
        EXPECT_EQ(fp.settings.saves, 0);
        EXPECT_TRUE(fp.system.boxes.empty());
    }
}

TEST_F(Startup, EmptyStoreShowsANormalWindowInTheTrayWithTheFullProductName) {
    ASSERT_TRUE(start());
    EXPECT_EQ(window().caption(), kProductName);
    EXPECT_EQ(fp.system.appTitle(), "Lumenfold Live Shell Glance Refresher");
    EXPECT_EQ(window().icon, fp.ui.programIcon());
    EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), 0);
    EXPECT_EQ(window().fakeCheck(ControlId::StartInTrayBox).value(), 0);
    EXPECT_TRUE(window().visible());
    EXPECT_EQ(window().windowState(), kStateNormal);
    // The icon enters the tray once, already carrying the product name as its tip.
    ASSERT_EQ(fp.notificationArea.requests.size(), 1u);
    EXPECT_EQ(fp.notificationArea.requests[0].kind, fake::FakeNotificationArea::Kind::Add);
    EXPECT_EQ(fp.notificationArea.requests[0].picture, fp.ui.trayIcon());
    EXPECT_EQ(fp.notificationArea.requests[0].tip, kProductName);
    EXPECT_TRUE(form->trayIcon().inTray());
    EXPECT_TRUE(fp.system.boxes.empty());
}

TEST_F(Startup, StartUpOptionsReadExactlyOn) {
    for (auto [value, ticked] : {std::pair{"On", 1}, {"ON", 0}, {"Off", 0}, {"yes", 0}}) {
        store(Preferences::kKeyStartWithWindows, value);
        store(Preferences::kKeyStartInTray, value);
        ASSERT_TRUE(start());
        EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), ticked) << value;
        EXPECT_EQ(window().fakeCheck(ControlId::StartInTrayBox).value(), ticked) << value;
        EXPECT_EQ(window().visible(), ticked == 0) << value;
    }
}

TEST_F(Startup, MinimizedStartHidesBehindTheIconWithTheBalloon) {
    store(Preferences::kKeyStartInTray, "On");
    ASSERT_TRUE(start());
    EXPECT_FALSE(window().visible());
    EXPECT_EQ(window().windowState(), kStateNormal);
    EXPECT_TRUE(form->minimizedToTray());
    ASSERT_EQ(fp.notificationArea.balloons().size(), 1u);
    EXPECT_EQ(fp.notificationArea.balloons()[0].title, kProductName);
}

// At logon the taskbar may not take the icon yet: the window is never hidden
// behind an icon that is not there, and goes into the tray once it is.
TEST_F(Startup, StartInTheTrayKeepsAMinimizedWindowUntilTheShellHoldsTheIcon) {
    store(Preferences::kKeyStartInTray, "On");
    fp.notificationArea.addReplies = {{IconAnswer::NoAnswer, false}, {IconAnswer::Refused, false}};
    ASSERT_TRUE(start());
    fp.loop.advance(2.9);
    EXPECT_TRUE(window().visible());
    EXPECT_EQ(window().windowState(), kStateMinimized);
    EXPECT_TRUE(fp.notificationArea.balloons().empty());
    fp.loop.advance(0.2);  // the third add, at 3 s, is taken
    EXPECT_FALSE(window().visible());
    EXPECT_EQ(window().windowState(), kStateNormal);
    ASSERT_EQ(fp.notificationArea.balloons().size(), 1u);
    EXPECT_DOUBLE_EQ(fp.notificationArea.balloons()[0].at, 3);
}

TEST_F(Startup, SecondInstanceEndsAtOnceWithoutWindowIconOrMessage) {
    fp.system.otherInstance = true;
    EXPECT_FALSE(start());
    EXPECT_TRUE(fp.loop.ended);
    EXPECT_TRUE(fp.notificationArea.requests.empty());
    EXPECT_EQ(fp.runningCopy.requestsSent, 1) << "the running copy is asked to come back";
    EXPECT_TRUE(fp.system.boxes.empty());
    EXPECT_EQ(window().caption(), "Form1");
    EXPECT_EQ(window().showCalls, 0);
}

TEST_F(Startup, FailingInstanceTestIsReportedAndEndsTheProgram) {
    fp.failures.inject("anotherInstanceRunning");
    EXPECT_FALSE(start());
    EXPECT_EQ(boxLabels(), std::vector<std::int32_t>{100});
    EXPECT_TRUE(fp.loop.ended);
}

TEST_F(Startup, FailingMinimizedTestMinimizesAndOtherStepsGoOn) {
    fp.failures.inject("startInTrayBox.value");
    fp.failures.inject("window.setCaption");
    ASSERT_TRUE(start());
    EXPECT_EQ(boxLabels(), (std::vector<std::int32_t>{132, 158}));
    EXPECT_FALSE(window().visible());  // minimized into the tray
    EXPECT_EQ(fp.system.appTitle(), "Lumenfold Live Shell Glance Refresher");
    EXPECT_EQ(window().icon, fp.ui.programIcon());
}

TEST_F(Startup, FailingReadOfTheSwitchStateLeavesTheDesignedOffState) {
    fp.failures.inject("settings.read:StartStopState");
    store(Preferences::kKeySwitchState, "On");
    ASSERT_TRUE(start());
    EXPECT_EQ(boxLabels(), std::vector<std::int32_t>{136});
    EXPECT_EQ(switchCaption(), "Turn On");
    EXPECT_EQ(timer().interval(), 0);
}

TEST_F(Startup, HandPointerIsLoadedWhenPresentAndADamagedOneIsReportedOnce) {
    const std::wstring cursor = fp.files.folder + L"\\HAND-M.CUR";
    ASSERT_TRUE(start());
    EXPECT_TRUE(window().mouseIcon().empty());
    EXPECT_TRUE(fp.system.boxes.empty());

    fp.files.fileMap[cursor] = {"cursor", true};
    fp.ui.pictures[cursor] = Picture{Picture::Icon, 0xC0};
    ASSERT_TRUE(start());
    EXPECT_EQ(window().mouseIcon().handle, 0xC0u);

    fp.ui.pictures[cursor] = Picture{};  // damaged
    ASSERT_TRUE(start());
    EXPECT_EQ(boxLabels(), std::vector<std::int32_t>{110});
    EXPECT_TRUE(window().caption() == kProductName);
}

TEST_F(Startup, FirstCountIsTheBaselineSoAQuietFirstTickBroadcastsNothing) {
    setDesktop(7, 5);
    store(Preferences::kKeySwitchState, "On");
    ASSERT_TRUE(start());
    EXPECT_EQ(form->engine().lastCount(), 12);
    fp.loop.advance(1.5);
    EXPECT_EQ(timer().ticks, 1);
    EXPECT_EQ(notifications(), 0u);
}

TEST(HomePage, OpensOnAboutOneStartInAHundredMinimized) {
    fake::FakePlatform fp;
    int opened = 0;
    for (int i = 0; i < 5000; ++i) {
        fp.system.timeOfDay = 30000 + i * 0.37;
        openHomePageByChance(fp.system, fp.shell);
    }
    opened = static_cast<int>(fp.shell.processes.size());
    EXPECT_GT(opened, 20);
    EXPECT_LT(opened, 90);
    ASSERT_FALSE(fp.shell.processes.empty());
    EXPECT_EQ(fp.shell.processes[0].commandLine, std::string("explorer \"") + kHomePageUrl + "\"");
    EXPECT_EQ(fp.shell.processes[0].showState, 2);
}

}  // namespace
}  // namespace glance
