// The "Application Error" message, the step rules of a reporting handler, and
// how the message quotes text from outside the program.
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "core/HandlerErrors.h"
#include "core/StepTrap.h"
#include "core/Unicode.h"

namespace glance {
namespace {

TEST(handlerErrorMessage, TimerTickAtStep106ReadsExactly) {
    EXPECT_EQ(handlerErrorMessage(tag::kTick, 106, "Invalid procedure call or argument"),
              "Invalid procedure call or argument\r\n"
              "in Pindrift2021/08/31.Form1.Timer1_Timer at line 106\r\r"
              "Please email screenshot of this message to support@quillhaven.com");
}

TEST(handlerErrorMessage, LabelIsPlainDecimalWithoutSignOrPadding) {
    const std::vector<std::pair<std::int32_t, std::string>> labels = {
        {102, "at line 102\r\r"}, {1000, "at line 1000\r\r"}, {-108, "at line 108\r\r"}};
    for (const auto& [label, expected] : labels) {
        EXPECT_NE(handlerErrorMessage(tag::kRefreshNowClick, label, "x")
                      .find(tag::kRefreshNowClick + std::string(expected)),
                  std::string::npos)
            << label;
    }
}

TEST(reportHandlerError, ShowsOneModalExclamationBoxTitledApplicationError) {
    fake::FakePlatform p;
    reportHandlerError(p.system, tag::kRefreshNowClick, 102, errtext::kFileNotFound);
    ASSERT_EQ(p.system.boxes.size(), 1u);
    EXPECT_EQ(p.system.boxes[0].text,
              handlerErrorMessage(tag::kRefreshNowClick, 102, errtext::kFileNotFound));
    EXPECT_EQ(p.system.boxes[0].title, "Application Error");
    EXPECT_TRUE(p.system.boxes[0].titleGiven);
    EXPECT_EQ(p.system.boxes[0].style, 48u);
}

// A handler written only for these tests, in the shape of the real ones:
//   100 plain step
//   102 if <first> then 104, 106   else if (108) <second> then 110   end if
//   112 calls an operation that does some work and may then fail
//   114 plain step
struct TestHandler {
    std::set<std::int32_t> failing;  // labels whose action (or test) throws
    bool first = false;
    bool second = false;
    std::vector<std::int32_t> ran;  // labels whose action finished
    bool operationStarted = false;

    void action(std::int32_t label) {
        if (failing.count(label)) throw PlatformError("failure at " + std::to_string(label));
        ran.push_back(label);
    }
    bool condition(std::int32_t label, bool value) {
        action(label);
        return value;
    }
    void operation() {
        operationStarted = true;
        if (failing.count(112)) throw PlatformError(errtext::kOverflow);
        ran.push_back(112);
    }
    void run(System& system) {
        StepTrap trap = StepTrap::reporting(system, tag::kSwitchClick);
        trap.step(100, [&] { action(100); });
        if (trap.test(102, [&] { return condition(102, first); })) {
            trap.step(104, [&] { action(104); });
            trap.step(106, [&] { action(106); });
        } else if (trap.test(108, [&] { return condition(108, second); })) {
            trap.step(110, [&] { action(110); });
        }
        trap.step(112, [&] { operation(); });
        trap.step(114, [&] { action(114); });
    }
};

TEST(StepTrap, FailingStepsContinueByTheFiveRules) {
    struct Case {
        const char* rule;
        std::set<std::int32_t> failing;
        bool first, second;
        std::vector<std::int32_t> ran;
        std::vector<std::int32_t> reported;
    };
    const std::vector<Case> cases = {
        {"no failure, first branch", {}, true, false, {100, 102, 104, 106, 112, 114}, {}},
        {"1: a failing plain step goes on with the next", {100}, false, false, {102, 108, 112, 114}, {100}},
        {"2: a failing test enters its branch", {102}, false, true, {100, 104, 106, 112, 114}, {102}},
        {"2: a failing else-if test enters its own branch",
         {108},
         false,
         false,
         {100, 102, 110, 112, 114},
         {108}},
        {"3: a failing last step of a branch skips the other branches",
         {106},
         true,
         true,
         {100, 102, 104, 112, 114},
         {106}},
        {"4: a failing called operation is the calling step",
         {112},
         false,
         false,
         {100, 102, 108, 114},
         {112}},
        {"5: every failing step shows its own box, in order",
         {114, 100, 104},
         true,
         false,
         {102, 106, 112},
         {100, 104, 114}},
    };
    for (const auto& c : cases) {
        fake::FakePlatform p;
        TestHandler h{c.failing, c.first, c.second, {}, false};
        h.run(p.system);
        EXPECT_EQ(h.ran, c.ran) << c.rule;
        std::vector<std::int32_t> reported;
        for (const auto& box : p.system.boxes) {
            for (std::int32_t label : {100, 102, 104, 106, 108, 110, 112, 114}) {
                if (box.text.find("at line " + std::to_string(label) + "\r") != std::string::npos) {
                    reported.push_back(label);
                }
            }
        }
        EXPECT_EQ(reported, c.reported) << c.rule;
    }
}

TEST(StepTrap, CalledOperationReportsItsOwnDescriptionAndKeepsWhatItDid) {
    fake::FakePlatform p;
    TestHandler h{{112}, false, false, {}, false};
    h.run(p.system);
    ASSERT_EQ(p.system.boxes.size(), 1u);
    EXPECT_EQ(p.system.boxes[0].text, handlerErrorMessage(tag::kSwitchClick, 112, errtext::kOverflow));
    EXPECT_TRUE(h.operationStarted);
}

TEST(StepTrap, ReportsEveryKindOfFailureWithItsDescription) {
    fake::FakePlatform p;
    StepTrap trap = StepTrap::reporting(p.system, tag::kTick);
    EXPECT_FALSE(trap.step(100, [] { throw PlatformError(errtext::kPermissionDenied); }));
    EXPECT_FALSE(trap.step(102, [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(trap.step(104, [] { throw std::out_of_range("index"); }));
    EXPECT_TRUE(trap.step(106, [] {}));
    const std::vector<std::string> expected = {handlerErrorMessage(tag::kTick, 100, "Permission denied"),
                                               handlerErrorMessage(tag::kTick, 102, "Out of memory"),
                                               handlerErrorMessage(tag::kTick, 104, "index")};
    ASSERT_EQ(p.system.boxes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(p.system.boxes[i].text, expected[i]);
    EXPECT_EQ(trap.failures(), 3);
}

TEST(StepTrap, SilentTrapShowsNothingButNotesTheFailure) {
    fake::FakePlatform p;
    StepTrap trap = StepTrap::silent();
    EXPECT_TRUE(trap.test(100, [] { return false; }) == false);
    EXPECT_FALSE(trap.anyFailed());
    EXPECT_TRUE(trap.test(102, []() -> bool { throw PlatformError(errtext::kFileNotFound); }));
    EXPECT_TRUE(trap.anyFailed());
    EXPECT_TRUE(p.system.boxes.empty());
}

// A box shows the classic text for the code the error carries, whatever
// raised it; a code without one reads as an invalid call.
TEST(errorText, ClassicTextForEachCauseAndInvalidCallForAnyOther) {
    const std::vector<std::pair<ErrorCode, std::string>> cases = {
        {systemErrorCode(2), "File not found"},
        {systemErrorCode(3), "Path not found"},
        {systemErrorCode(267), "Path not found"},
        {systemErrorCode(5), "Permission denied"},
        {systemErrorCode(32), "Permission denied"},
        {systemErrorCode(8), "Out of memory"},
        {systemErrorCode(534), "Overflow"},
        {systemErrorCode(21), "Invalid procedure call or argument"},
        {errtext::kCannotCreateObject.code, "ActiveX component can't create object"},
        {errtext::kInvalidPicture.code, "Invalid picture"},
        {classicErrorCode(9), "Invalid procedure call or argument"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_STREQ(PlatformError(code).what(), text.c_str()) << std::hex << code.value;
        // Only the code is kept: a text of its own is shown as given.
        EXPECT_STREQ(PlatformError(code, "shell32").what(), "shell32");
    }
}

// Deliberately silent work writes each failure, with its operation, its step
// and the code it carries, to the diagnostic channel; the work goes on.
TEST(StepTrap, NotingTrapWritesEachFailureToTheDiagnosticChannel) {
    fake::FakePlatform p;
    StepTrap trap = StepTrap::noting(p.diagnostics, "quick check");
    EXPECT_FALSE(trap.step(0, [] { throw PlatformError(systemErrorCode(5)); }));
    EXPECT_FALSE(trap.step(104, [] { throw std::bad_alloc(); }));
    EXPECT_TRUE(trap.step(106, [] {}));
    const std::vector<fake::FakeDiagnostics::Note> expected = {
        {"quick check", ErrorCode{0x80070005}}, {"quick check at line 104", errtext::kOutOfMemory.code}};
    EXPECT_EQ(p.diagnostics.notes, expected);
    EXPECT_TRUE(p.system.boxes.empty());
}

TEST(StepTrap, EndingTheProgramIsNotAFailureOfTheStep) {
    fake::FakePlatform p;
    StepTrap trap = StepTrap::reporting(p.system, tag::kStartup);
    EXPECT_THROW(trap.step(102, [] { throw ProgramEnded{}; }), ProgramEnded);
    EXPECT_TRUE(p.system.boxes.empty());
}

}  // namespace
}  // namespace glance

namespace glance {
namespace {

// A close whose error box cannot be shown still ends the program.
TEST(StepTrap, AReportThatCannotBeShownDoesNotStopTheHandler) {
    fake::FakePlatform p;
    p.failures.inject("messageBox", errtext::kOutOfMemory);
    StepTrap trap = StepTrap::reporting(p.system, tag::kCloseRequest);
    EXPECT_FALSE(trap.step(100, [] { throw PlatformError(errtext::kPermissionDenied); }));
    EXPECT_THROW(trap.step(108, [&] { p.loop.endProcess(); }), ProgramEnded);
    EXPECT_EQ(trap.failures(), 1);
}

}  // namespace
}  // namespace glance

namespace glance {
namespace {

TEST(printableExcerpt, QuotesAtMostSixtyCharactersWithControlsAndStrayBytesEscaped) {
    const std::string sixty(60, 'k');
    const struct {
        const char* what;
        std::string text;
        std::string quoted;
    } cases[] = {
        {"short text unchanged", "WindowBack", "WindowBack"},
        {"exactly sixty characters, no ellipsis", sixty, sixty},
        {"sixty-one characters cut with an ellipsis", sixty + "K", sixty + "\xE2\x80\xA6"},
        {"60,000 characters cut the same", std::string(60000, 'k'), sixty + "\xE2\x80\xA6"},
        {"tab, CR and LF as C escapes", "a\tb\rc\nd", "a\\tb\\rc\\nd"},
        {"other controls, NUL and DEL in hex", std::string("\x07\x1B[31m\0\x7F", 8),
         "\\x07\\x1B[31m\\x00\\x7F"},
        {"C1 control, direction override and BOM as \\u", "a\xC2\x85 b\xE2\x80\xAE c\xEF\xBB\xBF",
         "a\\u0085 b\\u202E c\\uFEFF"},
        {"accents and CJK kept",
         "Gr\xC3\xB6\xC3\x9F"
         "e \xE6\xA1\x8C",
         "Gr\xC3\xB6\xC3\x9F"
         "e \xE6\xA1\x8C"},
        {"bytes that are not UTF-8 in hex", "caf\xE9 \xC0\xAF \xED\xA0\x80",
         "caf\\xE9 \\xC0\\xAF \\xED\\xA0\\x80"},
        {"a sequence cut off at the end", "ab\xE6\xA1", "ab\\xE6\\xA1"},
    };
    for (const auto& c : cases) EXPECT_EQ(printableExcerpt(c.text), c.quoted) << c.what;
}

TEST(printableExcerpt, EachEscapeOrCharacterCountsOnceAndNoSequenceIsSplit) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += i % 2 ? "\x01" : "\xE6\xA1\x8C";
    const std::string quoted = printableExcerpt(text, 5);
    EXPECT_EQ(quoted, "\xE6\xA1\x8C\\x01\xE6\xA1\x8C\\x01\xE6\xA1\x8C\xE2\x80\xA6");
}

// A description built from outside data cannot empty or swamp the box: the
// tag and line below it always show, and nothing in it breaks the lines.
TEST(handlerErrorMessage, AnyDescriptionIsShownBoundedAndPrintable) {
    const std::string huge = "Invalid skin file:\r\n\x07 unknown key " + std::string(60000, 'k');
    const std::string text = handlerErrorMessage(tag::kStartup, 106, huge);
    EXPECT_LT(text.size(), 700u);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_EQ(text.find("\r\n"), text.find("\r\nin Pindrift2021/08/31.Form1.Form_Load at line 106\r\r"));
    EXPECT_TRUE(text.starts_with("Invalid skin file:\\r\\n\\x07 unknown key kkkk"));
}

}  // namespace
}  // namespace glance
