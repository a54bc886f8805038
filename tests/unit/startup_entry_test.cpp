// The start-up entry at start: rewritten for this copy only when the choice
// is on and the entry names a program file that is gone; left alone in every
// other case, silently, and without writing the stored choice.
#include <optional>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "app/StartupEntry.h"

namespace glance {
namespace {

using StartupEntryAtStart = MainWindowFixture;

const std::wstring kThisCopy = L"\"C:\\Program Files\\Quillhaven\\GlanceRefresher.exe\"";
const std::wstring kMovedFrom = L"C:\\Users\\ada\\Downloads\\GlanceRefresher.exe";
const std::wstring kOtherCopy = L"D:\\Tools\\GlanceRefresher.exe";

TEST_F(StartupEntryAtStart, IsRewrittenOnlyWhenTheChoiceIsOnAndItsProgramIsGone) {
    struct Case {
        const char* what;
        const char* setting;                // nullptr: never stored
        std::optional<std::wstring> entry;  // the Run value the start finds
        std::vector<std::wstring> files;    // files that exist
        const char* failing;                // an operation that fails, or nullptr
        const char* failure;
        bool rewritten;
    };
    const char* kInvalid = errtext::kInvalidCall;
    const std::vector<Case> cases = {
        {"moved", "On", L"\"" + kMovedFrom + L"\"", {}, nullptr, kInvalid, true},
        {"moved, with an argument", "On", L"\"" + kMovedFrom + L"\" /tray", {}, nullptr, kInvalid, true},
        {"moved, unquoted with spaces",
         "On",
         L"C:\\Old Place\\GlanceRefresher.exe",
         {},
         nullptr,
         kInvalid,
         true},
        {"moved, blanks around", "On", L"  \"" + kMovedFrom + L"\"  ", {}, nullptr, kInvalid, true},
        {"another copy", "On", L"\"" + kOtherCopy + L"\"", {kOtherCopy}, nullptr, kInvalid, false},
        {"another copy, unquoted with spaces",
         "On",
         L"C:\\Other Place\\GlanceRefresher.exe /tray",
         {L"C:\\Other Place\\GlanceRefresher.exe"},
         nullptr,
         kInvalid,
         false},
        {"this copy", "On", kThisCopy, {kThisCopy.substr(1, kThisCopy.size() - 2)}, nullptr, kInvalid, false},
        {"removed on purpose", "On", std::nullopt, {}, nullptr, kInvalid, false},
        {"choice off", "Off", L"\"" + kMovedFrom + L"\"", {}, nullptr, kInvalid, false},
        {"choice never stored", nullptr, L"\"" + kMovedFrom + L"\"", {}, nullptr, kInvalid, false},
        {"choice in another case", "on", L"\"" + kMovedFrom + L"\"", {}, nullptr, kInvalid, false},
        {"empty entry", "On", L"", {}, nullptr, kInvalid, false},
        {"quote never closed", "On", L"\"" + kMovedFrom, {}, nullptr, kInvalid, false},
        {"file cannot be checked",
         "On",
         L"\"" + kMovedFrom + L"\"",
         {},
         "lastModified",
         errtext::kPermissionDenied,
         false},
        {"list cannot be read", "On", L"\"" + kMovedFrom + L"\"", {}, "startupEntry", kInvalid, false},
        {"list refuses the write",
         "On",
         L"\"" + kMovedFrom + L"\"",
         {},
         "setStartupEntry",
         errtext::kPermissionDenied,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fp.settings.values.clear();
        fp.settings.saves = 0;
        fp.system.startupEntries.clear();
        fp.system.startupEntryWrites = 0;
        fp.system.boxes.clear();
        fp.files.fileMap.clear();
        fp.failures.clearAll();
        if (c.setting) store(Preferences::kKeyStartWithWindows, c.setting);
        if (c.entry) fp.system.startupEntries[kProductName] = *c.entry;
        for (const std::wstring& file : c.files) fp.files.fileMap[file] = {"MZ", true};
        if (c.failing) fp.failures.inject(c.failing, c.failure);

        ASSERT_TRUE(start());
        fp.failures.clearAll();

        const std::optional<std::wstring> expected = c.rewritten ? std::optional(kThisCopy) : c.entry;
        EXPECT_EQ(fp.system.startupEntry(kProductName), expected);
        EXPECT_EQ(fp.system.startupEntryWrites, c.rewritten ? 1 : 0);
        // Silent, and the stored choice is only read.
        EXPECT_TRUE(fp.system.boxes.empty());
        EXPECT_EQ(fp.settings.saves, 0);
        EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), c.setting ? c.setting : "<none>");
        EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(),
                  c.setting && std::string(c.setting) == "On" ? 1 : 0);
    }
}

}  // namespace
}  // namespace glance
