// The main window living in the tray, closing, help, pointer feedback, the
// two start-up options and the colours the window is painted in.
#include "MainWindowFixture.h"
#include "controller/WindowColours.h"

namespace glance {
namespace {

class TheWindow : public MainWindowFixture {
protected:
    void SetUp() override { ASSERT_TRUE(start()); }
    std::vector<fake::FakeNotificationArea::Request> balloons() { return fp.notificationArea.balloons(); }
};

TEST_F(TheWindow, TrayIconIsTheNotificationAreasSizeAndFollowsItsScale) {
    const auto iconHandles = [&] {
        std::vector<std::uintptr_t> handles;
        for (auto& r : fp.notificationArea.requests)
            if (!r.picture.empty()) handles.push_back(r.picture.handle);
        return handles;
    };
    EXPECT_EQ(iconHandles(), (std::vector<std::uintptr_t>{0x7000 + 16})) << "added at 16 px for 96 DPI";
    fp.ui.trayDpi = 144;
    fp.notificationArea.displayChanged();
    EXPECT_EQ(iconHandles(), (std::vector<std::uintptr_t>{0x7000 + 16, 0x7000 + 24}));
}

TEST_F(TheWindow, FirstMinimizeHidesWithTheBalloonLaterOnesSilently) {
    window().minimize();
    EXPECT_FALSE(window().visible());
    EXPECT_EQ(window().windowState(), kStateNormal);
    ASSERT_EQ(balloons().size(), 1u);
    EXPECT_EQ(balloons()[0].title, kProductName);
    EXPECT_EQ(balloons()[0].text,
              "has been minimized to the system tray.\r\nClick on the blue 'Q' icon (Q for Quillhaven) to "
              "bring the software back.");
    EXPECT_EQ(balloons()[0].timeout, 5000u);

    fp.notificationArea.click();
    EXPECT_TRUE(window().visible());
    EXPECT_FALSE(form->minimizedToTray());
    window().minimize();
    EXPECT_FALSE(window().visible());
    EXPECT_EQ(balloons().size(), 1u);
}

TEST_F(TheWindow, RestoreDuringTheBalloonWaitClearsTheFlag) {
    fp.loop.postAt(1.0, [this] { fp.notificationArea.click(); });
    window().minimize();
    EXPECT_TRUE(window().visible());
    EXPECT_GE(window().focusCalls, 1);
    EXPECT_FALSE(form->minimizedToTray());
}

// A click on the icon and a second start of the program do the same: the
// window back in its normal state, on a screen, with the focus, wherever it was.
TEST_F(TheWindow, ClickOnTheIconAndSecondStartBringTheWindowBackOnScreenWithTheFocus) {
    for (auto bringBack : {+[](fake::FakePlatform& p) { p.notificationArea.click(); },
                           +[](fake::FakePlatform& p) { p.runningCopy.requestShow(); }}) {
        window().minimize();
        ASSERT_FALSE(window().visible());
        const int focus = window().focusCalls, checks = window().onScreenChecks;
        bringBack(fp);
        EXPECT_TRUE(window().visible());
        EXPECT_EQ(window().windowState(), kStateNormal);
        EXPECT_EQ(window().focusCalls, focus + 1);
        EXPECT_EQ(window().onScreenChecks, checks + 1);
        bringBack(fp);  // already shown: takes the focus again
        EXPECT_EQ(window().focusCalls, focus + 2);
    }
}

TEST_F(TheWindow, WindowInTheTrayComesBackMinimizedWhileANewTaskbarRefusesTheIcon) {
    window().minimize();
    fp.notificationArea.addReplies = {{IconAnswer::Refused, false}};
    fp.notificationArea.taskbarCreated();
    EXPECT_TRUE(window().visible());
    EXPECT_EQ(window().windowState(), kStateMinimized);
    fp.loop.advance(1);
    EXPECT_FALSE(window().visible()) << "back in the tray once the icon is there";
    EXPECT_EQ(balloons().size(), 1u);
}

TEST_F(TheWindow, CloseStopsTheTimerRemovesTheIconAndEndsEvenWhenAStepFails) {
    window().click(ControlId::SwitchButton);
    fp.failures.inject("refreshTimer.setEnabled");
    EXPECT_THROW(window().requestClose(), ProgramEnded);
    EXPECT_EQ(boxLabels(), std::vector<std::int32_t>{100});
    EXPECT_NE(fp.system.boxes[0].text.find("Form1.Form_QueryUnload at line 100"), std::string::npos);
    EXPECT_EQ(fp.notificationArea.requests.back().kind, fake::FakeNotificationArea::Kind::Remove);
    EXPECT_FALSE(form->trayIcon().inTray());
    EXPECT_EQ(fp.loop.doEventsCalls, 2);
    EXPECT_TRUE(fp.loop.ended);
}

TEST_F(TheWindow, HelpShowsTheFixedTextUnderTheProgramTitle) {
    window().click(ControlId::HelpButton);
    ASSERT_EQ(fp.system.boxes.size(), 1u);
    const auto& box = fp.system.boxes[0];
    EXPECT_EQ(box.text,
              "This software will update so you see the latest files on the desktop.\r\n"
              "This will fix problems where files are not showing after downloading to the desktop from the "
              "web.\r\n\r\n"
              "Questions? Please contact Team Quillhaven at " +
                  std::string(kContactPageUrl));
    EXPECT_FALSE(box.titleGiven);
    EXPECT_EQ(box.title, "Lumenfold Live Shell Glance Refresher");
    EXPECT_EQ(box.style, 0u);

    fp.failures.inject("messageBox", errtext::kOutOfMemory, 1);
    window().click(ControlId::HelpButton);
    EXPECT_EQ(fp.system.boxes.size(), 2u);
    EXPECT_EQ(boxLabels(), std::vector<std::int32_t>{100});
}

TEST_F(TheWindow, PointerIsAHandOverButtonsAndTheArrowElsewhereButNeverReplacesTheHourglass) {
    struct Move {
        ControlId over;
        int expected;
    };
    for (const Move& m : {Move{ControlId::HelpButton, 99}, Move{ControlId::RefreshNowButton, 99},
                          Move{ControlId::StartWithWindowsBox, 99}, Move{ControlId::OptionsFrame, 0},
                          Move{ControlId::SwitchButton, 99}, Move{ControlId::Window, 0},
                          Move{ControlId::StartInTrayBox, 0}}) {
        window().mouseMove(m.over);
        EXPECT_EQ(window().mousePointer(), m.expected) << controlName(m.over);
    }
    window().setMousePointer(kPointerHourglass);
    for (ControlId over : {ControlId::HelpButton, ControlId::OptionsFrame, ControlId::Window}) {
        window().mouseMove(over);
        EXPECT_EQ(window().mousePointer(), kPointerHourglass) << controlName(over);
    }
}

TEST_F(TheWindow, StartupOptionTicksAreStoredAndRegisterTheProgram) {
    window().click(ControlId::StartWithWindowsBox);
    EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), "On");
    ASSERT_TRUE(fp.system.startupEntries.count(kProductName));
    EXPECT_EQ(fp.system.startupEntries[kProductName], L"\"" + fp.system.path + L"\"");
    window().click(ControlId::StartWithWindowsBox);
    EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), "Off");
    EXPECT_FALSE(fp.system.startupEntries.count(kProductName));

    window().click(ControlId::StartInTrayBox);
    EXPECT_EQ(stored(Preferences::kKeyStartInTray), "On");
    window().click(ControlId::StartInTrayBox);
    EXPECT_EQ(stored(Preferences::kKeyStartInTray), "Off");
    EXPECT_TRUE(fp.system.boxes.empty());
}

TEST_F(TheWindow, FailedOptionWritesAreReportedAndTheBoxShowsWhatIsStored) {
    fp.failures.inject("setStartupEntry", errtext::kPermissionDenied, 1);
    window().click(ControlId::StartWithWindowsBox);
    EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), 0);
    EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), "<none>");
    EXPECT_NE(fp.system.boxes.at(0).text.find("Form1.Check3_Click at line 102"), std::string::npos);

    // Registered, but the choice cannot be stored: the registration is undone.
    fp.failures.inject("settings.save:Windows Startup", errtext::kPermissionDenied, 1);
    window().click(ControlId::StartWithWindowsBox);
    EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), 0);
    EXPECT_FALSE(fp.system.startupEntries.count(kProductName));

    store(Preferences::kKeyStartInTray, "On");
    window().fakeCheck(ControlId::StartInTrayBox).setValue(1);
    fp.failures.inject("settings.save:Minimized", errtext::kPermissionDenied, 1);
    window().click(ControlId::StartInTrayBox);
    EXPECT_EQ(window().fakeCheck(ControlId::StartInTrayBox).value(), 1);
    EXPECT_EQ(boxLabels(), (std::vector<std::int32_t>{102, 104, 102}));
}

using StartupBox = MainWindowFixture;

TEST_F(StartupBox, ClickWritesTheEntryForThisCopyAndAFailedOnePutsBoxAndEntryBack) {
    const std::wstring thisCopy = L"\"" + fp.system.path + L"\"";
    const std::wstring otherCopy = L"\"D:\\Tools\\GlanceRefresher.exe\"";
    struct Case {
        const char* what;
        bool ticked;                        // the box before the click, from the stored choice
        std::optional<std::wstring> entry;  // the Run value before the click
        const char* failing;                // an operation that fails during the click, or nullptr
        std::optional<std::wstring> entryAfter;
        const char* storedAfter;
        std::vector<std::int32_t> labels;
    };
    const char* kSave = "settings.save:Windows Startup";
    const std::vector<Case> cases = {
        {"tick", false, std::nullopt, nullptr, thisCopy, "On", {}},
        {"tick over another copy", false, otherCopy, nullptr, thisCopy, "On", {}},
        {"untick", true, thisCopy, nullptr, std::nullopt, "Off", {}},
        {"untick another copy", true, otherCopy, nullptr, std::nullopt, "Off", {}},
        {"untick with no entry", true, std::nullopt, nullptr, std::nullopt, "Off", {}},
        {"tick, save fails", false, std::nullopt, kSave, std::nullopt, "<none>", {104}},
        {"tick over another copy, save fails", false, otherCopy, kSave, otherCopy, "<none>", {104}},
        {"untick, save fails", true, thisCopy, kSave, thisCopy, "On", {104}},
        {"untick with no entry, save fails", true, std::nullopt, kSave, std::nullopt, "On", {104}},
        {"untick another copy, save fails", true, otherCopy, kSave, otherCopy, "On", {104}},
        {"tick, write refused", false, std::nullopt, "setStartupEntry", std::nullopt, "<none>", {102}},
        {"untick, removal refused", true, thisCopy, "removeStartupEntry", thisCopy, "On", {102}},
        {"tick, list unreadable", false, std::nullopt, "startupEntry", std::nullopt, "<none>", {100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fp.settings.values.clear();
        fp.system.startupEntries.clear();
        fp.system.boxes.clear();
        fp.files.fileMap.clear();
        fp.files.fileMap[fp.system.path] = {"MZ", true};
        fp.files.fileMap[L"D:\\Tools\\GlanceRefresher.exe"] = {"MZ", true};
        if (c.ticked) store(Preferences::kKeyStartWithWindows, "On");
        if (c.entry) fp.system.startupEntries[kProductName] = *c.entry;
        ASSERT_TRUE(start());
        ASSERT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), c.ticked ? 1 : 0);

        if (c.failing) fp.failures.inject(c.failing, errtext::kPermissionDenied, 1);
        window().click(ControlId::StartWithWindowsBox);
        fp.failures.clearAll();

        EXPECT_EQ(fp.system.startupEntry(kProductName), c.entryAfter);
        EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), c.storedAfter);
        const bool done = c.labels.empty();
        EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), (c.ticked != done) ? 1 : 0);
        EXPECT_EQ(boxLabels(), c.labels);
    }
}

TEST_F(StartupBox, FailedSaveWhoseUndoFailsTooReportsBothAndTheBoxKeepsTheStoredChoice) {
    ASSERT_TRUE(start());
    fp.failures.inject("settings.save:Windows Startup", errtext::kPermissionDenied, 1);
    fp.failures.inject("removeStartupEntry", errtext::kPermissionDenied, 1);
    window().click(ControlId::StartWithWindowsBox);
    EXPECT_EQ(boxLabels(), (std::vector<std::int32_t>{104, 106}));
    EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(), 0);
    EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), "<none>");
    // The list refused to let go of the entry: it stays, and both failures were shown.
    EXPECT_TRUE(fp.system.startupEntry(kProductName).has_value());
}

// --- the colours the window is painted in

class WindowColours : public MainWindowFixture {};

// Outside high contrast every caption reads on its own background whatever
// the user's scheme (fixed colours, 4.5:1), and the focus cue and hover's
// border each stand out 3:1 from what lies around them, in two colours. In high
// contrast all is the user's system colours, skin or not. Switching high
// contrast while the program runs gives back exactly the colours it had.
TEST_F(WindowColours, ComeInReadablePairsOrAsTheUsersHighContrastColours) {
    constexpr Colour kSysWindow = 0x80000005, kSysWindowText = 0x80000008, kSysHighlight = 0x8000000D,
                     kSysHotLight = 0x8000001A;
    struct Case {
        const char* name;
        bool highContrast;
        const char* skin;  // the skin file's text, if there is one
        Colour windowBack, buttonFace, buttonText, text;
    };
    const Case cases[] = {
        {"design", false, nullptr, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000},
        {"skin", false, "[Skin]\nWindowBack=#2B3440\nText=#F0F0F0\nButtonFace=#3B4656\nButtonText=#FFFFFF\n",
         0x40342B, 0x56463B, 0xFFFFFF, 0xF0F0F0},
        // The button text left to the system would be black on a dark face.
        {"skin without button text", false, "[Skin]\nButtonFace=#202020\n", 0xF0F0F0, 0x202020, 0xFFFFFF,
         0x000000},
        {"high contrast", true, nullptr, kSysWindow, kSystemFace, kSystemButtonText, kSysWindowText},
        {"high contrast with a skin", true, "[Skin]\nButtonFace=#202020\n", kSysWindow, kSystemFace,
         kSystemButtonText, kSysWindowText},
    };
    const auto isSystem = [](Colour colour) { return (colour & 0x80000000u) != 0; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        fp.files.fileMap.clear();
        if (c.skin) fp.files.fileMap[fp.files.folder + L"\\x\\o.cjs"] = {c.skin, true};
        fp.ui.highContrastOn = c.highContrast;
        ASSERT_TRUE(start());
        // Only the painting differs: the property reads back what was written.
        EXPECT_EQ(window().backColor(), c.skin ? kSystemFace : kWhite);

        const WindowPaint painted = window().paint;
        EXPECT_EQ(painted.back, c.windowBack);
        for (const auto& [id, kind] : window().controls()) {
            SCOPED_TRACE(controlName(id));
            const auto found = std::find_if(painted.controls.begin(), painted.controls.end(),
                                            [id = id](const auto& entry) { return entry.first == id; });
            if (kind != ControlKind::PushButton && !takesBackColor(kind)) {
                EXPECT_EQ(found, painted.controls.end()) << "draws nothing in the window";
                continue;
            }
            ASSERT_NE(found, painted.controls.end());
            const ControlPaint& look = found->second;
            const bool button = kind == ControlKind::PushButton;
            EXPECT_EQ(look.back, button ? c.buttonFace : c.windowBack);
            EXPECT_EQ(look.text, button ? c.buttonText : c.text);
            if (c.highContrast) {
                for (Colour colour : {look.back, look.text, look.line, look.grayText})
                    EXPECT_TRUE(isSystem(colour));
                if (button) {
                    EXPECT_EQ(look.line, look.text);
                    EXPECT_EQ(look.focus, kSysHighlight);
                    EXPECT_EQ(look.hot, kSysHotLight);
                }
                continue;
            }
            EXPECT_GE(contrastRatio(look.text, look.back), 4.5);
            if (button) {
                // The focus ring lies on the face, plain or hovered; hover's
                // border between the window and the hovered face, which is
                // tinted and still reads.
                for (Colour back : {look.back, look.hotBack, painted.back})
                    EXPECT_GE(contrastRatio(look.focus, back), 3.0);
                EXPECT_GE(contrastRatio(look.hot, look.hotBack), 3.0);
                EXPECT_GE(contrastRatio(look.hot, painted.back), 3.0);
                EXPECT_GE(contrastRatio(look.text, look.hotBack), 4.5);
                EXPECT_NE(look.hotBack, look.back);
                EXPECT_NE(look.focus, look.hot);
            }
        }

        fp.ui.highContrastOn = !c.highContrast;
        window().systemColoursChanged();
        EXPECT_EQ(isSystem(window().paint.back), !c.highContrast);
        fp.ui.highContrastOn = c.highContrast;
        window().systemColoursChanged();
        EXPECT_EQ(window().paint, painted);
    }
}

}  // namespace
}  // namespace glance
