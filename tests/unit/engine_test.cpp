// The desktop item counter and the refresh engine, on the fake platform.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "engine/DesktopCounter.h"
#include "engine/DesktopPath.h"
#include "engine/NameSet.h"
#include "engine/RefreshEngine.h"
#include "platform/Types.h"

namespace glance {
namespace {

using fake::FakePlatform;

constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
const std::wstring kUser = L"C:\\Users\\ann\\Desktop";
const std::wstring kCommon = L"C:\\Users\\Public\\Desktop";

struct Desktops : FakePlatform {
    Desktops() {
        shell.setFolder(kFolderUserDesktop, kUser);
        shell.setFolder(kFolderCommonDesktop, kCommon);
        setUser(3, 2);
        setCommon(1, 0);
    }
    void setUser(std::int64_t fileCount, std::int64_t subfolderCount) {
        files.changeFolder(kUser + L"\\", fileCount, subfolderCount);
    }
    void setCommon(std::int64_t fileCount, std::int64_t subfolderCount) {
        files.changeFolder(kCommon + L"\\", fileCount, subfolderCount);
    }
    // A count by a fresh counter, which knows nothing from before.
    std::int32_t count() { return DesktopCounter(shell, files, loop, diagnostics).count(); }
};

TEST(DesktopPath, TheShellsPathGetsOneTrailingBackslashAndOnlyAnAbsolutePathNamesAFolder) {
    struct Case {
        const char* name;
        std::wstring shellPath;
        std::optional<std::wstring> expected;
    };
    const std::vector<Case> cases = {
        {"a folder", L"C:\\D", L"C:\\D\\"},
        {"with a trailing backslash", L"C:\\Users\\ann\\Desktop\\\\", L"C:\\Users\\ann\\Desktop\\"},
        {"a drive's root", L"D:\\", L"D:\\"},
        {"a share", L"\\\\server\\home\\ann\\Desktop", L"\\\\server\\home\\ann\\Desktop\\"},
        {"the long form", L"\\\\?\\C:\\D", L"\\\\?\\C:\\D\\"},
        {"Greek and CJK letters", L"C:\\Users\\Χρήστης\\デスクトップ", L"C:\\Users\\Χρήστης\\デスクトップ\\"},
        {"empty", L"", std::nullopt},
        {"relative", L"Desktop", std::nullopt},
        {"relative to a drive's current folder", L"C:Desktop", std::nullopt},
        {"rooted without a drive", L"\\Users\\ann\\Desktop", std::nullopt},
        {"a value left unexpanded", L"%USERPROFILE%\\Desktop", std::nullopt},
        {"a server without a share", L"\\\\server", std::nullopt},
        {"a NUL inside", std::wstring(L"C:\\D") + L'\0' + L"x", std::nullopt},
        {"longer than any path", L"C:\\" + std::wstring(kMaxFolderPathChars, L'a'), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(folderPathToCount(c.shellPath), c.expected) << c.name;
}

TEST(DesktopPath, UserAndCommonUseTheirOwnFolderIds) {
    FakePlatform p;
    p.shell.setFolder(0, L"C:\\A");
    p.shell.setFolder(25, L"C:\\B");
    p.shell.setFolder(16, L"C:\\WrongOne");  // CSIDL_DESKTOPDIRECTORY is not the one asked for
    EXPECT_EQ(desktopFolderPath(p.shell, kFolderUserDesktop), L"C:\\A\\");
    EXPECT_EQ(desktopFolderPath(p.shell, kFolderCommonDesktop), L"C:\\B\\");
}

TEST(DesktopCounter, AddsFilesAndSubfoldersOfBothDesktops) {
    Desktops d;
    EXPECT_EQ(d.count(), 6);
    d.setUser(0, 0);
    d.setCommon(0, 0);
    EXPECT_EQ(d.count(), 0);
}

TEST(DesktopCounter, BothIdsResolvingToOneFolderCountItTwice) {
    Desktops d;
    d.shell.setFolder(kFolderCommonDesktop, kUser);
    EXPECT_EQ(d.count(), 10);
}

// Each of the four terms fails on its own and the others still count.
TEST(DesktopCounter, AFailingTermContributesNothingAndTheOthersStillCount) {
    struct Case {
        const char* name;
        void (*arrange)(Desktops&);
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"user folder id unknown to the shell", [](Desktops& d) { d.shell.removeFolder(kFolderUserDesktop); },
         1},
        {"all-users folder id unknown to the shell",
         [](Desktops& d) { d.shell.removeFolder(kFolderCommonDesktop); }, 5},
        {"user path not absolute", [](Desktops& d) { d.shell.setFolder(kFolderUserDesktop, L"Desktop"); }, 1},
        {"all-users folder missing on disk", [](Desktops& d) { d.files.folders.erase(kCommon + L"\\"); }, 5},
        {"user subfolder count beyond 32 bits", [](Desktops& d) { d.setUser(3, kMax + 1); }, 4},
        {"user file count beyond 32 bits", [](Desktops& d) { d.setUser(kMax + 1, 2); }, 3},
        {"every file count beyond 32 bits",
         [](Desktops& d) {
             d.setUser(kMax + 1, 2);
             d.setCommon(kMax + 1, 0);
         },
         2},
        {"user folder cannot be listed", [](Desktops& d) { d.failures.inject("countEntries", "x", 1); }, 1},
        {"no folder can be listed", [](Desktops& d) { d.failures.inject("countEntries"); }, 0},
        {"no last-write time can be read (the folders are listed all the same)",
         [](Desktops& d) { d.failures.inject("lastModified"); }, 6},
        {"no watch can be set up (the folders are listed all the same)",
         [](Desktops& d) { d.failures.inject("watchFolder"); }, 6},
        {"all-users file count beyond 32 bits", [](Desktops& d) { d.setCommon(kMax + 1, 4); }, 9},
        {"the shell fails every path lookup", [](Desktops& d) { d.failures.inject("specialFolderPath"); }, 0},
    };
    for (const auto& c : cases) {
        Desktops d;
        c.arrange(d);
        EXPECT_EQ(d.count(), c.expected) << c.name;
    }
}

TEST(DesktopCounter, ASumBeyondTheSignedRangeFailsOnlyThatTerm) {
    Desktops d;
    d.setUser(10, kMax - 5);  // the user's files would overflow: that term adds nothing
    d.setCommon(2, 3);
    EXPECT_EQ(d.count(), kMax);
}

TEST(DesktopCounter, ReleasesEachListingOnceItIsRead) {
    Desktops d;
    DesktopCounter counter(d.shell, d.files, d.loop, d.diagnostics);
    EXPECT_EQ(counter.count(), 6);
    EXPECT_EQ(d.files.listingsAlive, 0);
}

TEST(DesktopCounter, TheTableHasARowOrAReasonForEveryPhaseAndEvent) {
    for (int phase = 0; phase < kFolderPhases; ++phase)
        for (int event = 0; event < kFolderEvents; ++event)
            EXPECT_EQ(DesktopCounter::cellEntries(FolderPhase(phase), FolderEvent(event)), 1)
                << phase << ", " << event;
}

// Random additions and removals on a listed folder, across many merges of
// its changes: always a set, each name with the kind it came with.
TEST(NameSet, AddsAndRemovesAsASetAcrossMerges) {
    std::mt19937_64 random(33);
    std::map<std::uint64_t, bool> model;  // key: subfolder
    std::vector<std::uint64_t> listed;
    for (std::uint64_t key = 0; key < 6000; key += 1 + random() % 3) {
        listed.push_back(key << 1 | (key % 2));
        model[key] = key % 2;
    }
    NameSet names;
    names.assign(listed);
    for (int step = 0; step < 30000; ++step) {
        const std::uint64_t key = random() % 8000, entry = key << 1 | (random() % 2);
        const auto there = model.find(key);
        if (random() % 2 == 0) {
            ASSERT_EQ(names.add(entry), there == model.end()) << step;
            model.emplace(key, entry & 1);
        } else {
            ASSERT_EQ(names.remove(entry), there == model.end() ? std::nullopt : std::optional(there->second))
                << step;
            model.erase(key);
        }
        ASSERT_EQ(names.size(), model.size()) << step;
    }
}

struct Engine : Desktops {
    RefreshEngine engine{shell, files, loop, diagnostics};
    std::size_t notified() const { return shell.notifications.size(); }
    void setTotal(std::int64_t total) {
        setUser(total, 0);
        setCommon(0, 0);
    }
};

TEST(RefreshEngine, NotifiesOnlyAtChecksWhoseCountDiffersFromThePrevious) {
    Engine e;
    e.setTotal(5);
    e.engine.takeFirstCount();
    const std::vector<std::pair<std::int64_t, std::size_t>> checks = {{5, 0}, {6, 1}, {6, 1}, {4, 2}};
    for (const auto& [count, notifiedSoFar] : checks) {
        e.setTotal(count);
        e.loop.advance(1);  // checks come a second apart
        e.engine.refreshDesktop(kFalse);
        EXPECT_EQ(e.notified(), notifiedSoFar) << "after a check that counted " << count;
        EXPECT_EQ(e.engine.lastCount(), count);
    }
}

TEST(RefreshEngine, SendsAssocChangedWithIdListFlagsAndNoItems) {
    Engine e;
    e.engine.refreshDesktop(kTrue);
    e.engine.refreshDesktop(kFalse);
    ASSERT_EQ(e.notified(), 2u);
    for (const auto& n : e.shell.notifications) {
        EXPECT_EQ(n.eventId, 0x08000000);
        EXPECT_EQ(n.flags, 0u);
    }
}

TEST(RefreshEngine, ForcedRefreshNotifiesWithoutCountingAndKeepsTheLastCount) {
    Engine e;
    e.setTotal(9);
    e.engine.takeFirstCount();
    const int listingsBefore = e.files.totalListings();
    e.setTotal(12);
    e.engine.refreshDesktop(kTrue);
    EXPECT_EQ(e.notified(), 1u);
    EXPECT_EQ(e.engine.lastCount(), 9);
    EXPECT_EQ(e.files.totalListings(), listingsBefore);
    // The change since the last check is still noticed by the next one.
    e.engine.refreshDesktop(kFalse);
    EXPECT_EQ(e.notified(), 2u);
    EXPECT_EQ(e.engine.lastCount(), 12);
}

TEST(RefreshEngine, OnlyExactlyMinusOneForces) {
    for (int force : {1, 0, 2, -2, std::numeric_limits<int>::min()}) {
        Engine e;
        e.setTotal(6);
        e.engine.takeFirstCount();
        e.engine.refreshDesktop(force);
        EXPECT_EQ(e.notified(), 0u) << "force " << force;
        // A check, not a forced refresh: it takes the new count.
        e.setTotal(7);
        e.engine.refreshDesktop(force);
        EXPECT_EQ(e.notified(), 1u) << "force " << force;
        EXPECT_EQ(e.engine.lastCount(), 7) << "force " << force;
    }
}

TEST(RefreshEngine, CountingFailingToZeroNotifiesOnceThenStaysQuiet) {
    Engine e;
    e.setTotal(7);
    e.engine.takeFirstCount();
    e.failures.inject("countEntries", errtext::kPermissionDenied);
    e.setTotal(8);  // a change, so that the check has to count
    e.engine.refreshDesktop(kFalse);
    e.engine.refreshDesktop(kFalse);
    e.engine.refreshDesktop(kFalse);
    EXPECT_EQ(e.notified(), 1u);
    EXPECT_EQ(e.engine.lastCount(), 0);
}

TEST(RefreshEngine, AShellThatCannotBeReachedPropagatesAndKeepsTheLastCount) {
    Engine e;
    e.setTotal(2);
    e.engine.takeFirstCount();
    e.setTotal(3);
    e.failures.inject("changeNotify", errtext::kFileNotFoundInDll);
    EXPECT_THROW(e.engine.refreshDesktop(kFalse), PlatformError);
    EXPECT_EQ(e.engine.lastCount(), 2);
    EXPECT_THROW(e.engine.refreshDesktop(kTrue), PlatformError);
}

}  // namespace
}  // namespace glance
