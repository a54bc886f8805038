// The start-up entry at start: rewritten for this copy only when the choice
// is on and the entry names a program file that is certainly gone; left alone
// in every other case, silently, and without writing the stored choice. And
// how its command line is read.
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
        bool rewritten;
        std::vector<std::wstring> files = {};  // files that exist
        bool expandable = false;               // stored as REG_EXPAND_SZ
        std::wstring unknown = L"";            // a path the system cannot tell about
        const char* failing = nullptr;         // an operation that fails
        ClassicError failure = errtext::kInvalidCall;
        std::wstring unanswered = L"";  // a path whose state never comes
    };
    const std::wstring kAppData = L"C:\\Users\\ada\\AppData\\Local";
    const std::wstring moved = L"\"" + kMovedFrom + L"\"", other = L"C:\\Other Place\\GlanceRefresher.exe",
                       inAppData = L"\"%LOCALAPPDATA%\\GlanceRefresher.exe\"";
    const std::vector<Case> cases = {
        {"moved", "On", moved, true},
        {"moved, with an argument", "On", moved + L" /tray", false},
        {"moved, unquoted with spaces", "On", L"C:\\Old Place\\GlanceRefresher.exe", true},
        {"moved, blanks around", "On", L"  " + moved + L"  ", true},
        {"moved, from a share there",
         "On",
         L"\\\\nas\\tools\\GlanceRefresher.exe",
         true,
         {L"\\\\nas\\tools\\"}},
        {"on a drive that is away", "On", L"\"E:\\GlanceRefresher.exe\"", false},
        {"on a share that is away", "On", L"\\\\nas\\gone\\GlanceRefresher.exe", false},
        {"a bare name", "On", L"GlanceRefresher.exe", false},
        {"expandable, its file there", "On", inAppData, false, {kAppData + L"\\GlanceRefresher.exe"}, true},
        {"expandable, its file gone", "On", inAppData, true, {}, true},
        {"not expandable, holds a variable", "On", inAppData, false},
        {"another copy", "On", L"\"" + kOtherCopy + L"\"", false, {kOtherCopy}},
        {"another copy, unquoted with spaces", "On", other + L" /tray", false, {other}},
        {"this copy", "On", kThisCopy, false, {kThisCopy.substr(1, kThisCopy.size() - 2)}},
        {"removed on purpose", "On", std::nullopt, false},
        {"choice off", "Off", moved, false},
        {"choice never stored", nullptr, moved, false},
        {"choice in another case", "on", moved, false},
        {"empty entry", "On", L"", false},
        {"quote never closed", "On", L"\"" + kMovedFrom, false},
        {"file cannot be checked", "On", moved, false, {}, false, kMovedFrom},
        {.what = "its volume does not answer", .setting = "On", .entry = moved, .unanswered = L"C:\\"},
        {"list cannot be read", "On", moved, false, {}, false, L"", "startupEntry"},
        {"list refuses the write",
         "On",
         moved,
         false,
         {},
         false,
         L"",
         "setStartupEntry",
         errtext::kPermissionDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fp.settings.values.clear();
        fp.settings.saves = 0;
        fp.system.startupEntries.clear();
        fp.system.startupEntryWrites = 0;
        fp.system.boxes.clear();
        fp.system.expandedEntries.clear();
        fp.files.fileMap.clear();
        fp.files.unknownPaths.clear();
        fp.files.unansweredPaths = {c.unanswered};
        fp.diagnostics.notes.clear();
        fp.eventLog.entries.clear();
        fp.failures.clearAll();
        if (c.expandable)
            fp.system.expandedEntries[kProductName] = L"\"" + kAppData + L"\\GlanceRefresher.exe\"";
        if (!c.unknown.empty()) fp.files.unknownPaths.insert(c.unknown);
        if (c.setting) store(Preferences::kKeyStartWithWindows, c.setting);
        if (c.entry) fp.system.startupEntries[kProductName] = *c.entry;
        for (const std::wstring& file : c.files) fp.files.fileMap[file] = {"MZ", true};
        if (c.failing) fp.failures.inject(c.failing, c.failure);

        ASSERT_TRUE(start());
        fp.failures.clearAll();

        const std::optional<std::wstring> expected = c.rewritten ? std::optional(kThisCopy) : c.entry;
        EXPECT_EQ(fp.system.startupEntry(kProductName), expected);
        EXPECT_EQ(fp.system.startupEntryWrites, c.rewritten ? 1 : 0);
        // A repair is the administrator's to know of; nothing else is.
        EXPECT_EQ(fp.eventLog.entries.size(), c.rewritten ? 1u : 0u);
        // Silent but for a diagnostic line when the platform failed, and
        // the stored choice is only read.
        EXPECT_TRUE(fp.system.boxes.empty());
        const std::vector<fake::FakeDiagnostics::Note> noted = {{"start-up entry repair", c.failure.code}};
        EXPECT_EQ(fp.diagnostics.notes, c.failing ? noted : std::vector<fake::FakeDiagnostics::Note>{});
        EXPECT_EQ(fp.settings.saves, 0);
        EXPECT_EQ(stored(Preferences::kKeyStartWithWindows), c.setting ? c.setting : "<none>");
        EXPECT_EQ(window().fakeCheck(ControlId::StartWithWindowsBox).value(),
                  c.setting && std::string(c.setting) == "On" ? 1 : 0);
    }
}

TEST(StartupEntryCommand, NamesTheProgramsWindowsWouldTryAndTheirVolumes) {
    struct Case {
        std::wstring line;
        std::vector<std::wstring> programs;
        bool hasArguments;
        std::vector<std::optional<std::wstring>> volumes;  // of each program
    };
    const std::optional<std::wstring> none;
    const std::vector<Case> cases = {
        {L"\"C:\\A B\\g.exe\"", {L"C:\\A B\\g.exe"}, false, {L"C:\\"}},
        {L"\t\"c:/a/g.exe\" ", {L"c:/a/g.exe"}, false, {L"c:\\"}},
        {L"\"C:\\g.exe\" /tray", {L"C:\\g.exe"}, true, {L"C:\\"}},
        {L"\"C:\\g.exe\"/tray", {L"C:\\g.exe"}, true, {L"C:\\"}},
        {L"C:\\A B\\g.exe", {L"C:\\A", L"C:\\A B\\g.exe"}, false, {L"C:\\", L"C:\\"}},
        {L"\\\\nas\\tools\\g.exe", {L"\\\\nas\\tools\\g.exe"}, false, {L"\\\\nas\\tools\\"}},
        {L"//nas/tools", {L"//nas/tools"}, false, {L"\\\\nas\\tools\\"}},
        {L"g.exe", {L"g.exe"}, false, {none}},
        {L"tools\\g.exe", {L"tools\\g.exe"}, false, {none}},
        {L"\\g.exe", {L"\\g.exe"}, false, {none}},
        {L"C:g.exe", {L"C:g.exe"}, false, {none}},
        {L"%LOCALAPPDATA%\\g.exe", {L"%LOCALAPPDATA%\\g.exe"}, false, {none}},
        {L"\\\\?\\C:\\g.exe", {L"\\\\?\\C:\\g.exe"}, false, {none}},
        {L"\\\\.\\pipe\\g", {L"\\\\.\\pipe\\g"}, false, {none}},
        {L"\\\\nas", {L"\\\\nas"}, false, {none}},
        {L"\\\\nas\\", {L"\\\\nas\\"}, false, {none}},
        {L"C:\\*.exe", {L"C:\\*.exe"}, false, {none}},
        {L"C:\\g.exe:stream", {L"C:\\g.exe:stream"}, false, {none}},
        {std::wstring(L"C:\\g\x01.exe"), {std::wstring(L"C:\\g\x01.exe")}, false, {none}},
        {L"", {}, false, {}},
        {L"  \t ", {}, false, {}},
        {L"\"C:\\g.exe", {}, false, {}},
        {L"\"\" C:\\g.exe", {}, false, {}},
    };
    for (const Case& c : cases) {
        const StartupEntryCommand command = readStartupEntryCommand(c.line);
        EXPECT_EQ(command.programs, c.programs) << testing::PrintToString(c.line);
        EXPECT_EQ(command.hasArguments, c.hasArguments) << testing::PrintToString(c.line);
        std::vector<std::optional<std::wstring>> volumes;
        for (const std::wstring& program : command.programs) volumes.push_back(volumeOf(program));
        EXPECT_EQ(volumes, c.volumes) << testing::PrintToString(c.line);
    }
}

}  // namespace
}  // namespace glance
