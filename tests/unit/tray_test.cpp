// The tray icon on the fake notification area: what it asks of the shell,
// how it keeps asking until the shell really shows the icon, and the balloon.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FakeLoop.h"
#include "FakeNotifyIcon.h"
#include "core/Error.h"
#include "tray/TrayIcon.h"

namespace glance {
namespace {

using fake::FakeNotificationArea;
using Kind = FakeNotificationArea::Kind;

constexpr WindowHandle kForm = 0x777;
constexpr Picture kFace{Picture::Icon, 0x1111};
constexpr Picture kOtherIcon{Picture::Icon, 0x2222};

// A loop that fails the test instead of hanging when a wait polls without
// ever letting simulated time pass.
class BoundedLoop : public fake::FakeLoop {
public:
    using FakeLoop::FakeLoop;
    void doEvents() override {
        if (doEventsCalls > 1000) throw std::runtime_error("the wait spins instead of blocking");
        FakeLoop::doEvents();
    }
};

class Tray : public ::testing::Test {
protected:
    fake::Failures failures;
    BoundedLoop loop{failures};
    FakeNotificationArea area{failures, loop};
    TrayIcon tray{area, loop, kForm, kFace};
    std::vector<bool> shownChanges;

    void SetUp() override {
        tray.onShownChanged = [this](bool shown) { shownChanges.push_back(shown); };
    }
    const std::vector<FakeNotificationArea::Request>& requests() { return area.requests; }
    static std::vector<Kind> kinds(const FakeNotificationArea& of) {
        std::vector<Kind> out;
        for (const auto& r : of.requests) out.push_back(r.kind);
        return out;
    }
    std::vector<Kind> kinds() { return kinds(area); }
};

TEST_F(Tray, NewIconIsOutOfTheTrayAndEntersItWithTheDefaultTipAndItsPicture) {
    EXPECT_FALSE(tray.inTray());
    EXPECT_TRUE(requests().empty());
    tray.setInTray(true);
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].tip, "Telnet Server");
    EXPECT_EQ(requests()[0].picture, kFace);
}

TEST_F(Tray, TipSetOutOfTheTrayIsStoredForTheAddAndSentWhileShown) {
    tray.setText("Stored");
    EXPECT_TRUE(requests().empty());
    tray.setInTray(true);
    tray.setInTray(true);
    tray.setText("New tip");
    tray.setInTray(false);
    ASSERT_EQ(kinds(), (std::vector<Kind>{Kind::Add, Kind::Tip, Kind::Remove}));
    EXPECT_EQ(requests()[0].tip, "Stored");
    EXPECT_EQ(requests()[0].picture, kFace);
    EXPECT_EQ(requests()[1].tip, "New tip");
    EXPECT_EQ(shownChanges, std::vector<bool>{true}) << "a removal on purpose is not reported";
}

// At logon the taskbar may refuse the icon or not answer for a while; the
// icon is asked for again until the shell holds it, and only then counts as shown.
TEST_F(Tray, ShellThatRefusesOrTimesOutIsAskedAgainWithBackoffUntilItHoldsTheIcon) {
    using Reply = FakeNotificationArea::Reply;
    struct Case {
        const char* name;
        std::vector<Reply> replies;
        std::vector<double> delays;
        std::vector<Kind> requests;
        double shownAt;
        int stillMissing = 0;  // reports that the quick retries are over
    };
    const Reply refuse{IconAnswer::Refused, false}, lost{IconAnswer::NoAnswer, false},
        late{IconAnswer::NoAnswer, true};
    const Case cases[] = {
        {"accepts at once", {}, {}, {Kind::Add}, 0},
        {"refuses six times",
         {refuse, refuse, refuse, refuse, refuse, refuse},
         {1, 2, 4, 8, 30, 30},
         {Kind::Add, Kind::Ask, Kind::Add, Kind::Ask, Kind::Add, Kind::Ask, Kind::Add, Kind::Ask, Kind::Add,
          Kind::Ask, Kind::Add, Kind::Ask, Kind::Add},
         75,
         1},
        {"times out having added it", {late}, {1}, {Kind::Add, Kind::Ask}, 1},
        {"times out without adding it", {lost}, {1}, {Kind::Add, Kind::Ask, Kind::Add}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::FakeLoop caseLoop{failures};
        FakeNotificationArea caseArea{failures, caseLoop};
        caseArea.addReplies.assign(c.replies.begin(), c.replies.end());
        TrayIcon icon{caseArea, caseLoop, kForm, kFace};
        double shownAt = -1;
        icon.onShownChanged = [&](bool shown) {
            if (shown) shownAt = caseLoop.now();
        };
        int stillMissing = 0;
        icon.onStillMissing = [&] { ++stillMissing; };
        icon.setInTray(true);
        EXPECT_EQ(icon.shown(), c.replies.empty());
        caseLoop.advance(200);
        EXPECT_TRUE(icon.shown());
        EXPECT_TRUE(caseArea.holdsIcon);
        EXPECT_DOUBLE_EQ(shownAt, c.shownAt);
        EXPECT_EQ(caseArea.retryDelays, c.delays);
        EXPECT_EQ(kinds(caseArea), c.requests);
        EXPECT_EQ(stillMissing, c.stillMissing);
    }
}

TEST_F(Tray, RetriesStopWhenTheIconIsTakenOut) {
    area.addReplies = {{IconAnswer::Refused, false}};
    tray.setInTray(true);
    tray.setInTray(false);
    loop.advance(100);
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::Add, Kind::Remove}));
}

TEST_F(Tray, NewTaskbarGetsTheIconAgainWithItsCurrentPictureAndTipOrIsRetried) {
    Picture current = kFace;
    tray.pictureSource = [&] { return current; };
    tray.setInTray(true);
    tray.setText("Later tip");
    current = kOtherIcon;
    area.taskbarCreated();
    ASSERT_EQ(requests().back().kind, Kind::Add);
    EXPECT_EQ(requests().back().tip, "Later tip");
    EXPECT_EQ(requests().back().picture, kOtherIcon);
    EXPECT_EQ(shownChanges, std::vector<bool>{true});

    area.addReplies = {{IconAnswer::Refused, false}};
    area.taskbarCreated();
    EXPECT_FALSE(tray.shown());
    loop.advance(1);
    EXPECT_TRUE(tray.shown());
    EXPECT_EQ(shownChanges, (std::vector<bool>{true, false, true}));

    tray.setInTray(false);
    area.taskbarCreated();
    EXPECT_EQ(requests().back().kind, Kind::Remove);
}

TEST_F(Tray, IconFollowsThePictureForTheDisplayButNeverShowsANonIcon) {
    Picture current = kFace;
    bool sourceFails = false;
    tray.pictureSource = [&] {
        if (sourceFails) throw std::runtime_error("no picture");
        return current;
    };
    tray.setInTray(true);
    area.displayChanged();
    EXPECT_EQ(requests().size(), 1u) << "the same picture is not sent again";

    current = kOtherIcon;  // the notification area now draws at another DPI
    area.displayChanged();
    ASSERT_EQ(requests().size(), 2u);
    EXPECT_EQ(requests().back().kind, Kind::Picture);
    EXPECT_EQ(requests().back().picture, kOtherIcon);

    sourceFails = true;
    area.displayChanged();
    current = Picture{Picture::Bitmap, 0x4444};
    sourceFails = false;
    area.displayChanged();
    EXPECT_EQ(requests().size(), 2u);
    area.taskbarCreated();
    EXPECT_EQ(requests().back().picture, kOtherIcon) << "the picture shown is kept";
}

TEST_F(Tray, AShellThatCannotBeReachedLeavesTheIconOutSoALaterTryWorks) {
    failures.inject("notifyIcon", "File not found: shell32", 1);
    EXPECT_THROW(tray.setInTray(true), PlatformError);
    EXPECT_FALSE(tray.inTray());
    loop.advance(100);
    EXPECT_TRUE(requests().empty()) << "nothing is retried";
    tray.setInTray(true);
    EXPECT_TRUE(tray.shown());
}

TEST_F(Tray, ShowOnceBalloonIsShownOncePerInstanceWhileOthersAlwaysShow) {
    tray.setInTray(true);
    for (const char* text : {"a", "b"}) tray.showBalloon(text, "t", 0, true);
    tray.showBalloon("c", "t", 0, false);
    tray.showBalloon("d", "t", 0, true);
    std::vector<std::string> shown;
    for (const auto& r : area.balloons()) shown.push_back(r.text);
    EXPECT_EQ(shown, (std::vector<std::string>{"a", "c"}));
}

TEST_F(Tray, BalloonWithoutTimerReturnsAtOnceAndLeavesTheBalloonToTheShell) {
    tray.setInTray(true);
    for (std::int32_t timer : {0, -5}) {
        tray.showBalloon("x", "t", timer, false);
        EXPECT_EQ(requests().back().timeout, 0u);
    }
    EXPECT_EQ(requests().size(), 3u);
    EXPECT_EQ(loop.doEventsCalls, 0);
    EXPECT_EQ(loop.now(), 0);
}

TEST_F(Tray, ShellsCloseReportEndsTheWaitAtOnceWithNoRemovalRequest) {
    tray.setInTray(true);
    loop.postAt(1.5, [this] { area.balloonClosed(); });
    tray.showBalloon("x", "t", 5, false);
    EXPECT_DOUBLE_EQ(loop.now(), 1.5);
    EXPECT_EQ(requests().back().timeout, 5000u);
    EXPECT_EQ(requests().back().text, "x");
}

TEST_F(Tray, BalloonStillOpenWhenTimeIsUpIsRemovedByAnEmptyBalloon) {
    int clicks = 0;
    tray.onClicked = [&] { ++clicks; };
    tray.setInTray(true);
    loop.postAt(2, [this] { area.click(); });
    tray.showBalloon("x", "Title", 5, false);
    EXPECT_NEAR(loop.now(), 5, 1e-3);
    EXPECT_EQ(clicks, 1);              // other events run during the wait
    EXPECT_LE(loop.doEventsCalls, 4);  // it sleeps between messages
    ASSERT_EQ(requests().size(), 3u);
    EXPECT_EQ(requests()[2].kind, Kind::Balloon);
    EXPECT_EQ(requests()[2].text + requests()[2].title, "");
    EXPECT_EQ(requests()[2].timeout, 5000u);
}

TEST_F(Tray, TimerOverflowingInMillisecondsFailsBeforeAnythingIsSent) {
    tray.setInTray(true);
    try {
        tray.showBalloon("x", "t", 2147484, true);
        FAIL() << "no overflow";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.description(), errtext::kOverflow);
    }
    EXPECT_EQ(requests().size(), 1u);
    tray.showBalloon("x", "t", 0, true);  // the failed call did not count as shown
    EXPECT_EQ(requests().size(), 2u);
}

TEST_F(Tray, DestructionInTheTrayRemovesTheIcon) {
    {
        TrayIcon t(area, loop, kForm, kFace);
        t.setInTray(true);
    }
    EXPECT_EQ(requests().back().kind, Kind::Remove);
    EXPECT_FALSE(area.holdsIcon);
}

}  // namespace
}  // namespace glance
