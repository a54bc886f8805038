// The tray icon control and its hook, driven through the fake shell, windows
// and message loop: what reaches the shell, and which events the shell's
// callback messages raise.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeLoop.h"
#include "FakeShell.h"
#include "FakeWindowing.h"
#include "core/Error.h"
#include "tray/TrayIcon.h"

namespace glance {
namespace {

using fake::FakeShell;
using fake::FakeWindowing;

constexpr WindowHandle kForm = 0x777;
constexpr Picture kFace{Picture::Icon, 0x1111};
constexpr Picture kOtherIcon{Picture::Icon, 0x2222};
constexpr std::uint32_t kCallback = 1125;

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

// Notes, at each shell request, whether the hook was in place at that moment.
class ObservingShell : public FakeShell {
public:
    ObservingShell(fake::Failures& f, FakeWindowing& w) : FakeShell(f), windowing_(w) {}
    std::vector<bool> hookedAtRequest;
    void notifyIcon(std::uint32_t message, const NotifyIconRecord& record) override {
        const auto& window = windowing_.windows.at(record.hWnd);
        hookedAtRequest.push_back(window.proc != FakeWindowing::ownProcAddress(record.hWnd) &&
                                  window.userData != 0);
        FakeShell::notifyIcon(message, record);
    }

private:
    FakeWindowing& windowing_;
};

std::string text(const char* field) {
    return std::string(field);
}

class Tray : public ::testing::Test {
protected:
    fake::Failures failures;
    FakeWindowing windowing{failures};
    ObservingShell shell{failures, windowing};
    BoundedLoop loop{failures};
    TrayIcon tray{shell, windowing, loop, kForm, kFace};
    std::vector<std::string> events;
    std::vector<std::string> changes;

    void SetUp() override {
        tray.onMouseMove = [this](std::int32_t id) { events.push_back("Move " + std::to_string(id)); };
        tray.onMouseDown = [this](std::int16_t b, std::int32_t id) { note("Down", b, id); };
        tray.onMouseUp = [this](std::int16_t b, std::int32_t id) { note("Up", b, id); };
        tray.onMouseDoubleClick = [this](std::int16_t b, std::int32_t id) { note("Dbl", b, id); };
        tray.onPropertyChanged = [this](std::string_view p) { changes.emplace_back(p); };
    }
    void note(const char* what, std::int16_t button, std::int32_t id) {
        events.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(id));
    }
    // The shell sends the icon's callback to the control's window.
    std::intptr_t callback(std::int32_t mouseMessage, std::uintptr_t id = 0) {
        return windowing.send(tray.window(), kCallback, id, mouseMessage);
    }
    const std::vector<FakeShell::IconRequest>& requests() { return shell.iconRequests; }
    // A zeroed record with the fields every request of this control carries.
    NotifyIconRecord base() const {
        NotifyIconRecord r{};
        r.cbSize = 488;
        r.hWnd = static_cast<std::uint32_t>(tray.window());
        return r;
    }
};

void expectSameRecord(const NotifyIconRecord& actual, const NotifyIconRecord& expected) {
    EXPECT_EQ(0, std::memcmp(&actual, &expected, sizeof actual))
        << "flags " << actual.uFlags << " vs " << expected.uFlags;
}

TEST_F(Tray, EachOperationSendsExactlyItsMessageFlagsAndFields) {
    tray.setTip("Tip");
    tray.setIcon(kFace);
    tray.setInTray(true);
    tray.setIcon(kOtherIcon);
    tray.setTip("New tip");
    tray.showBalloon("Text", "Title", 0, false);
    tray.setInTray(false);

    NotifyIconRecord add = base(), icon = base(), tip = base(), balloon = base(), remove = base();
    add.uFlags = kNifMessage | kNifIcon | kNifTip;
    add.uCallbackMessage = kCallback;
    add.hIcon = 0x1111;
    fillTextField(add.szTip, "Tip");
    icon.uFlags = kNifIcon;
    icon.hIcon = 0x2222;
    tip.uFlags = kNifTip;
    fillTextField(tip.szTip, "New tip");
    balloon.uFlags = kNifInfo;
    fillTextField(balloon.szInfo, "Text");
    fillTextField(balloon.szInfoTitle, "Title");

    const std::vector<std::pair<std::uint32_t, NotifyIconRecord>> expected = {
        {kNimAdd, add}, {kNimModify, icon}, {kNimModify, tip}, {kNimModify, balloon}, {kNimDelete, remove}};
    ASSERT_EQ(requests().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(requests()[i].message, expected[i].first);
        expectSameRecord(requests()[i].record, expected[i].second);
    }
}

TEST_F(Tray, AddCarriesOnlyTheTipAndIconThatAreSet) {
    struct Case {
        std::string tip;
        Picture icon;
        std::uint32_t flags;
    };
    for (const Case& c :
         {Case{"", {}, kNifMessage}, Case{"T", {}, kNifMessage | kNifTip},
          Case{"", kFace, kNifMessage | kNifIcon}, Case{"T", kFace, kNifMessage | kNifIcon | kNifTip}}) {
        TrayIcon t(shell, windowing, loop, kForm, kFace);
        t.setTip(c.tip);
        t.setIcon(c.icon);
        t.setInTray(true);
        EXPECT_EQ(shell.iconRequests.back().record.uFlags, c.flags) << "tip '" << c.tip << "'";
        EXPECT_EQ(t.tip(), c.tip);
    }
}

TEST_F(Tray, TipAndIconSetOutsideTheTrayAreOnlyStoredAndUsedByTheNextAdd) {
    tray.setTip("Stored");
    tray.setIcon(kOtherIcon);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(tray.icon(), kOtherIcon);
    EXPECT_EQ(tray.facePicture(), kOtherIcon);

    tray.setInTray(true);
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(text(requests()[0].record.szTip), "Stored");
    EXPECT_EQ(requests()[0].record.hIcon, 0x2222u);
}

TEST_F(Tray, SettingInTrayToItsCurrentValueSendsAndReportsNothing) {
    tray.setInTray(false);
    tray.setInTray(true);
    tray.setInTray(true);
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_EQ(changes, std::vector<std::string>{"InTray"});
}

TEST_F(Tray, EmptyTipWhileInTheTrayIsSentAndClearsTheTooltip) {
    tray.setTip("Tip");
    tray.setInTray(true);
    tray.setTip("");
    EXPECT_EQ(requests().back().record.uFlags, kNifTip);
    EXPECT_EQ(requests().back().record.szTip[0], '\0');
}

TEST_F(Tray, TipIsCutToTheFieldLessOneAndPaddedWithBlanks) {
    for (std::size_t length : {1u, 127u, 128u, 300u}) {
        tray.setInTray(false);
        tray.setTip(std::string(length, 'x'));
        tray.setInTray(true);
        const auto& tip = requests().back().record.szTip;
        const std::size_t kept = std::min<std::size_t>(length, 127);
        EXPECT_EQ(text(tip), std::string(kept, 'x')) << length;
        EXPECT_EQ(std::string(tip + kept + 1, 127 - kept), std::string(127 - kept, ' ')) << length;
    }
}

TEST_F(Tray, PicturesThatAreNotIconsAreIgnoredWithoutError) {
    tray.setInTray(true);
    changes.clear();
    for (Picture p : {Picture{}, Picture{Picture::None, 5}, Picture{Picture::Bitmap, 5},
                      Picture{Picture::Metafile, 5}, Picture{Picture::EnhancedMetafile, 5}})
        tray.setIcon(p);
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(tray.icon().empty());
}

TEST_F(Tray, HookIsInPlaceBeforeTheAddAndUntilAfterTheDelete) {
    tray.setInTray(true);
    const auto& window = windowing.windows.at(tray.window());
    EXPECT_EQ(window.userData, reinterpret_cast<std::intptr_t>(&tray));
    tray.setInTray(false);
    EXPECT_EQ(shell.hookedAtRequest, (std::vector<bool>{true, true}));
    EXPECT_EQ(window.proc, FakeWindowing::ownProcAddress(tray.window()));
    EXPECT_EQ(window.owner, kForm);
}

TEST_F(Tray, CallbackMessagesRaiseTheirEventsWithTheIconId) {
    tray.setInTray(true);
    struct Case {
        std::int32_t message;
        std::string event;
    };
    const Case cases[] = {{512, "Move 7"},   {513, "Down 1 7"}, {514, "Up 1 7"},  {515, "Dbl 1 7"},
                          {516, "Down 2 7"}, {517, "Up 2 7"},   {518, "Dbl 2 7"}, {519, ""},
                          {520, ""},         {521, ""},         {1026, ""},       {1027, ""},
                          {1028, ""},        {1029, ""},        {0, ""}};
    for (const Case& c : cases) {
        events.clear();
        callback(c.message, 7);
        EXPECT_EQ(events, c.event.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.event})
            << c.message;
    }
}

TEST_F(Tray, HookPassesEveryMessageOnAndReturnsTheReplacedProceduresResult) {
    tray.setInTray(true);
    auto& window = windowing.windows.at(tray.window());
    window.ownProcResult = 42;
    EXPECT_EQ(windowing.send(tray.window(), 0x0010, 0, 0), 42);
    EXPECT_EQ(callback(514), 42);
    EXPECT_EQ(window.ownProcMessages, (std::vector<std::uint32_t>{0x0010, kCallback}));
    EXPECT_EQ(events, std::vector<std::string>{"Up 1 0"});
}

TEST_F(Tray, TaskbarRestartAddsTheIconAgainWithItsCurrentPictureAndTip) {
    const std::uint32_t taskbarCreated = windowing.registerWindowMessage("TaskbarCreated");
    tray.setIcon(kFace);
    tray.setInTray(true);
    tray.setTip("Later tip");
    windowing.send(tray.window(), taskbarCreated, 0, 0);
    ASSERT_EQ(requests().size(), 3u);
    EXPECT_EQ(requests()[2].message, kNimAdd);
    EXPECT_EQ(requests()[2].record.uFlags, kNifMessage | kNifIcon | kNifTip);
    EXPECT_EQ(text(requests()[2].record.szTip), "Later tip");
    EXPECT_EQ(requests()[2].record.hIcon, 0x1111u);
    EXPECT_EQ(windowing.windows.at(tray.window()).ownProcMessages.back(), taskbarCreated);

    tray.setInTray(false);
    windowing.send(tray.window(), taskbarCreated, 0, 0);
    EXPECT_EQ(requests().back().message, kNimDelete);
}

TEST_F(Tray, IconFollowsThePictureForTheDisplayOnDisplayChangesAndTaskbarRestarts) {
    constexpr std::uint32_t kDisplayChange = 0x007E, kSettingChange = 0x001A, kDpiChanged = 0x02E0;
    const std::uint32_t taskbarCreated = windowing.registerWindowMessage("TaskbarCreated");
    Picture current = kFace;
    bool sourceFails = false;
    tray.pictureSource = [&] {
        if (sourceFails) throw std::runtime_error("no picture");
        return current;
    };
    tray.setIcon(kFace);
    tray.setInTray(true);
    const std::size_t afterAdd = requests().size();

    windowing.send(tray.window(), kSettingChange, 0, 0);
    EXPECT_EQ(requests().size(), afterAdd) << "the same picture is not sent again";

    current = kOtherIcon;  // the notification area now draws at another DPI
    windowing.send(tray.window(), kDisplayChange, 0, 0);
    ASSERT_EQ(requests().size(), afterAdd + 1);
    EXPECT_EQ(requests().back().message, kNimModify);
    EXPECT_EQ(requests().back().record.uFlags, kNifIcon);
    EXPECT_EQ(requests().back().record.hIcon, 0x2222u);
    EXPECT_EQ(tray.icon(), kOtherIcon);

    sourceFails = true;
    windowing.send(tray.window(), kDpiChanged, 0, 0);
    current = Picture{Picture::Bitmap, 0x4444};  // not an icon: never shown in the tray
    sourceFails = false;
    windowing.send(tray.window(), kDpiChanged, 0, 0);
    EXPECT_EQ(requests().size(), afterAdd + 1);
    EXPECT_EQ(tray.icon(), kOtherIcon);

    current = Picture{Picture::Icon, 0x3333};
    windowing.send(tray.window(), taskbarCreated, 0, 0);
    ASSERT_EQ(requests().size(), afterAdd + 2) << "a new taskbar gets one add, with the picture for now";
    EXPECT_EQ(requests().back().message, kNimAdd);
    EXPECT_EQ(requests().back().record.hIcon, 0x3333u);

    tray.setInTray(false);
    current = kFace;
    windowing.send(tray.window(), kDisplayChange, 0, 0);
    EXPECT_EQ(requests().back().message, kNimDelete) << "out of the tray, nothing follows the display";
}

TEST_F(Tray, AShellThatCannotBeReachedLeavesTheWindowUnhookedSoALaterTryHooksOnce) {
    const std::intptr_t ownProcedure = windowing.windows.at(tray.window()).proc;
    failures.inject("notifyIcon", "File not found: shell32");
    EXPECT_THROW(tray.setInTray(true), PlatformError);
    EXPECT_FALSE(tray.inTray());
    EXPECT_EQ(windowing.windows.at(tray.window()).proc, ownProcedure);

    failures.clearAll();
    tray.setInTray(true);
    ASSERT_TRUE(tray.inTray());
    EXPECT_EQ(callback(514), 0) << "the hook passes messages on to the window's own procedure";
    EXPECT_EQ(events, std::vector<std::string>{"Up 1 0"});
    tray.setInTray(false);
    EXPECT_EQ(windowing.windows.at(tray.window()).proc, ownProcedure);
}

TEST_F(Tray, ShowOnceBalloonIsShownOncePerInstanceWhileOthersAlwaysShow) {
    tray.setInTray(true);
    tray.showBalloon("a", "t", 0, true);
    tray.showBalloon("b", "t", 0, true);
    tray.showBalloon("c", "t", 0, false);
    tray.showBalloon("d", "t", 0, true);
    std::vector<std::string> shown;
    for (const auto& r : requests())
        if (r.record.uFlags == kNifInfo) shown.push_back(text(r.record.szInfo));
    EXPECT_EQ(shown, (std::vector<std::string>{"a", "c"}));
}

TEST_F(Tray, BalloonWithoutTimerReturnsAtOnceAndLeavesTheBalloonToTheShell) {
    tray.setInTray(true);
    for (std::int32_t timer : {0, -5}) {
        tray.showBalloon("x", "t", timer, false);
        EXPECT_EQ(requests().back().record.uTimeout, 0u);
    }
    EXPECT_EQ(requests().size(), 3u);
    EXPECT_EQ(loop.doEventsCalls, 0);
    EXPECT_EQ(loop.now(), 0);
}

TEST_F(Tray, ShellsCloseReportEndsTheWaitAtOnceWithNoRemovalRequest) {
    tray.setInTray(true);
    for (std::int32_t report : {1027, 1028, 1029}) {
        const double start = loop.now();
        loop.postAt(start + 1.5, [this, report] { callback(report); });
        tray.showBalloon("x", "t", 5, false);
        EXPECT_DOUBLE_EQ(loop.now(), start + 1.5) << report;
        EXPECT_EQ(requests().back().record.uTimeout, 5000u);
        EXPECT_NE(requests().back().record.szInfo[0], '\0') << report;
    }
}

TEST_F(Tray, BalloonStillOpenWhenTimeIsUpIsRemovedByAnEmptyBalloon) {
    tray.setInTray(true);
    loop.postAt(2, [this] { callback(517); });
    tray.showBalloon("x", "t", 5, false);
    EXPECT_DOUBLE_EQ(loop.now(), 5);
    EXPECT_EQ(events, std::vector<std::string>{"Up 2 0"});  // other events run during the wait
    EXPECT_LE(loop.doEventsCalls, 4);                       // it sleeps between messages

    NotifyIconRecord removal = base();
    removal.uFlags = kNifInfo;
    removal.uTimeout = 5000;
    fillTextField(removal.szInfo, "");
    fillTextField(removal.szInfoTitle, "");
    ASSERT_EQ(requests().size(), 3u);
    EXPECT_EQ(requests()[2].message, kNimModify);
    expectSameRecord(requests()[2].record, removal);
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

TEST_F(Tray, DestructionInTheTrayRemovesTheIconAndTheWindow) {
    WindowHandle window;
    {
        TrayIcon t(shell, windowing, loop, kForm, kFace);
        window = t.window();
        t.setInTray(true);
    }
    EXPECT_EQ(requests().back().message, kNimDelete);
    EXPECT_EQ(windowing.windows.count(window), 0u);
}

TEST_F(Tray, NewInstanceGetsTheDefaultTipAndItsFaceAndStaysOutOfTheTray) {
    tray.initProperties();
    EXPECT_EQ(tray.tip(), "Telnet Server");
    EXPECT_EQ(tray.icon(), kFace);
    EXPECT_FALSE(tray.inTray());
    EXPECT_TRUE(requests().empty());
}

TEST_F(Tray, StoredInTrayIsLoadedFirstSoPictureAndTipFollowAsModifies) {
    PropertyBag bag;
    bag.write("TrayTip", std::string("Stored tip"));
    bag.write("TrayIcon", kOtherIcon);
    bag.write("InTray", true);
    tray.readProperties(bag);
    ASSERT_EQ(requests().size(), 3u);
    EXPECT_EQ(requests()[0].record.uFlags, kNifMessage);
    EXPECT_EQ(requests()[1].record.uFlags, kNifIcon);
    EXPECT_EQ(requests()[2].record.uFlags, kNifTip);
    EXPECT_EQ(changes, (std::vector<std::string>{"InTray", "TrayIcon", "TrayTip"}));

    PropertyBag saved;
    tray.writeProperties(saved);
    EXPECT_EQ(saved.keys(), (std::vector<std::string>{"InTray", "TrayIcon", "TrayTip"}));
    EXPECT_EQ(saved.read<std::string>("TrayTip", ""), "Stored tip");
    EXPECT_EQ(saved.read<Picture>("TrayIcon", {}), kOtherIcon);
}

TEST_F(Tray, KeepsItsSizeWhateverTheContainerAsks) {
    tray.resize(3000, 90);
    EXPECT_EQ(tray.width(), 510);
    EXPECT_EQ(tray.height(), 510);
}

}  // namespace
}  // namespace glance
