// The desktop counter on real folders and the real shell, under Wine.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Error.h"
#include "engine/DesktopCounter.h"
#include "engine/RefreshEngine.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Loop.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32System.h"

namespace glance::win32 {
namespace {

// A fresh folder under the temporary folder, removed with all it holds.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name) {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        path_ = std::wstring(temp) + L"glance-eng-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
        removeTree(path_);
        EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << GetLastError();
    }
    ~TempFolder() { removeTree(path_); }
    const std::wstring& path() const { return path_; }

    void file(const std::wstring& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring full = path_ + L"\\" + relative;
        UniqueFileHandle f(
            CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
        EXPECT_TRUE(f.valid()) << GetLastError();
        if (attributes != FILE_ATTRIBUTE_NORMAL) {
            EXPECT_EQ(GetFileAttributesW(full.c_str()) & attributes, attributes);
        }
    }
    void folder(const std::wstring& relative, DWORD attributes = 0) {
        const std::wstring full = path_ + L"\\" + relative;
        EXPECT_TRUE(CreateDirectoryW(full.c_str(), nullptr)) << GetLastError();
        if (attributes) SetFileAttributesW(full.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY);
    }

private:
    static void removeTree(const std::wstring& path) {
        WIN32_FIND_DATAW entry;
        UniqueFindHandle search(FindFirstFileW((path + L"\\*").c_str(), &entry));
        if (search) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring full = path + L"\\" + name;
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(full);
                } else {
                    DeleteFileW((L"\\\\?\\" + full).c_str());  // literally: a name may end in a dot
                }
            } while (FindNextFileW(search.get(), &entry));
        }
        RemoveDirectoryW(path.c_str());
    }
    std::wstring path_;
};

// Polls, for a bounded time, for what the system delivers on its own time
// (under Wine, change notifications come through its server).
template <class Condition>
bool WaitUntil(Condition condition, DWORD milliseconds = 5000) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() > end) return false;
        Sleep(5);
    }
    return true;
}

// A count never waits for a listing: the first whole one comes once no
// folder is still being read for the first time.
std::int32_t WholeCount(DesktopCounter& counter) {
    std::int32_t total = -1;
    EXPECT_TRUE(WaitUntil([&] {
        total = counter.count();
        return !counter.partial();
    }));
    return total;
}

// A count by a fresh counter, which lists both folders.
std::int32_t FreshCount(Shell& shell, FileSystem& files) {
    Win32Loop clock;
    Win32Diagnostics diagnostics;
    DesktopCounter counter(shell, files, clock, diagnostics);
    return WholeCount(counter);
}

// One listing of a folder, read to its end.
FolderEntryCounts countEntries(FileSystem& files, const std::wstring& path) {
    const std::unique_ptr<FolderListing> listing = files.startListing(path);
    while (!listing->readOn(1)) {
    }
    return listing->counts;
}

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kSystem = FILE_ATTRIBUTE_SYSTEM;

TEST(FolderCounts, CountImmediateFilesAndSubfoldersWithHiddenAndSystemEntries) {
    struct Case {
        const char* name;
        void (*arrange)(TempFolder&);
        std::int64_t files;
        std::int64_t subfolders;
    };
    const std::vector<Case> cases = {
        {"empty folder", [](TempFolder&) {}, 0, 0},
        {"plain files and folders",
         [](TempFolder& t) {
             t.file(L"a.txt");
             t.file(L"b.lnk");
             t.file(L"c");
             t.folder(L"one");
             t.folder(L"two");
         },
         3, 2},
        {"hidden and system entries",
         [](TempFolder& t) {
             t.file(L"desktop.ini", kHidden | kSystem);
             t.file(L"hidden.txt", kHidden);
             t.file(L"system.dat", kSystem);
             t.file(L"readonly.txt", FILE_ATTRIBUTE_READONLY);
             t.folder(L"hidden-folder", kHidden);
         },
         4, 1},
        {"contents of subfolders are not counted",
         [](TempFolder& t) {
             t.folder(L"sub");
             t.file(L"sub\\inner.txt");
             t.folder(L"sub\\deeper");
             t.folder(L"empty");
         },
         0, 2},
        {"Greek and CJK names",
         [](TempFolder& t) {
             t.file(L"Αρχείο.txt");
             t.file(L"ファイル.txt");
             t.folder(L"文件夹");
         },
         2, 1},
    };
    Win32FileSystem files;
    for (const auto& c : cases) {
        TempFolder t(L"case");
        c.arrange(t);
        for (const std::wstring& path : {t.path() + L"\\", t.path()}) {
            const FolderEntryCounts counts = countEntries(files, path);
            EXPECT_EQ(counts.files, c.files) << c.name;
            EXPECT_EQ(counts.subfolders, c.subfolders) << c.name;
        }
    }
}

TEST(FolderCounts, MissingFolderOrAFileInsteadOfAFolderThrows) {
    TempFolder t(L"missing");
    t.file(L"plain.txt");
    Win32FileSystem files;
    for (const std::wstring& path :
         {t.path() + L"\\nothing-here\\", t.path() + L"\\plain.txt\\", std::wstring()}) {
        EXPECT_THROW(countEntries(files, path), PlatformError);
    }
}

// A file of the given size with nothing written into it (a sparse end, so
// even a large one is made at once).
void sizedFile(const std::wstring& path, std::int64_t size, const std::string& start = {}) {
    UniqueFileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(f.valid()) << GetLastError();
    DWORD written = 0;
    if (!start.empty()) WriteFile(f.get(), start.data(), static_cast<DWORD>(start.size()), &written, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(f.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(f.get()));
}

TEST(Win32FileSystem, ReadFileGivesTheWholeFileUpToTheLimitAndChecksTheSizeFirst) {
    constexpr std::size_t kLimit = 64 * 1024;
    TempFolder t(L"read");
    struct Case {
        const char* what;
        std::int64_t size;
        bool read;
    };
    const Case cases[] = {
        {"empty file", 0, true},
        {"one byte under the limit", kLimit - 1, true},
        {"exactly the limit", kLimit, true},
        {"one byte over the limit", kLimit + 1, false},
        {"64 MiB and one byte", 64 * 1024 * 1024 + 1, false},
        {"4 GiB and one byte", (std::int64_t{4} << 30) + 1, false},
    };
    Win32FileSystem files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = t.path() + L"\\file.bin";
        sizedFile(path, c.size, c.size > 0 ? "[Skin]" : "");
        const auto start = GetTickCount();
        const auto bytes = files.readFile(path, kLimit);
        EXPECT_LT(GetTickCount() - start, 1000u) << "the size is known before anything is read";
        ASSERT_EQ(bytes.has_value(), c.read);
        if (bytes) {
            EXPECT_EQ(bytes->size(), static_cast<std::size_t>(c.size));
            if (c.size > 0) {
                EXPECT_TRUE(bytes->starts_with("[Skin]"));
            }
        }
        DeleteFileW(path.c_str());
    }
    EXPECT_THROW(files.readFile(t.path() + L"\\missing.cjs", kLimit), PlatformError);
}

TEST(Win32FileSystem, ReadFileFindsAFileDeeperThanMaxPath) {
    TempFolder t(L"deep");
    std::wstring folder = t.path();
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(50, L'd');
        ASSERT_TRUE(CreateDirectoryW(extendedPath(folder).c_str(), nullptr)) << GetLastError();
    }
    const std::wstring path = folder + L"\\o.cjs";
    sizedFile(extendedPath(path), 6, "[Skin]");
    Win32FileSystem files;
    EXPECT_EQ(files.readFile(path, 100), std::optional<std::string>("[Skin]"));
    DeleteFileW(extendedPath(path).c_str());
    while (folder != t.path()) {
        RemoveDirectoryW(extendedPath(folder).c_str());
        folder.resize(folder.rfind(L'\\'));
    }
}

// A shell whose two desktop folders are folders of the test.
class TestDesktops : public Win32Shell {
public:
    std::wstring user;
    std::wstring common;
    int lookups = 0;
    std::optional<std::wstring> specialFolderPath(std::int32_t folderId) override {
        ++lookups;
        return folderId == kFolderUserDesktop ? user : common;
    }
};

TEST(DesktopCounter, CountsBothRealFoldersAndSurvivesAMissingAllUsersDesktop) {
    TempFolder user(L"Χρήστης-デスクトップ");
    TempFolder common(L"Public-Desktop");
    user.file(L"one.txt");
    user.file(L"desktop.ini", kHidden | kSystem);
    user.file(L"download.part");
    user.folder(L"photos");
    user.folder(L"新しいフォルダー");
    user.file(L"photos\\inside.jpg");
    common.file(L"shared.lnk");

    TestDesktops shell;
    shell.user = user.path();
    shell.common = common.path();
    Win32FileSystem files;
    EXPECT_EQ(FreshCount(shell, files), 6);

    shell.common = common.path() + L"-gone";
    EXPECT_EQ(FreshCount(shell, files), 5);

    shell.user = user.path() + L"-gone";
    EXPECT_EQ(FreshCount(shell, files), 0);
}

// What the shell's folder list gives for a folder id now.
std::wstring ShellPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
    return path;
}

TEST(Win32Shell, GivesTheFoldersPathAsItIsNowAndNothingForAnIdItCannotGive) {
    Win32Shell shell;
    for (int id : {kFolderUserDesktop, kFolderCommonDesktop}) {
        ASSERT_FALSE(ShellPath(id).empty()) << "folder id " << id;
        EXPECT_EQ(shell.specialFolderPath(id), ShellPath(id));
        EXPECT_EQ(desktopFolderPath(shell, id), ShellPath(id) + L"\\");
    }
    EXPECT_EQ(shell.specialFolderPath(0x7fff), std::nullopt);
}

// Points the user's desktop at another folder the way a user who moves it
// does, through the per-user shell folder list, and puts it back afterwards.
class MovedUserDesktop {
public:
    explicit MovedUserDesktop(const std::wstring& folder) {
        RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
        wchar_t old[1024] = {};
        DWORD bytes = sizeof(old) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key_.get(), L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(old), &bytes) ==
            ERROR_SUCCESS) {
            old_ = std::wstring(old);
            oldType_ = type;
        }
        set(REG_EXPAND_SZ, folder);
    }
    ~MovedUserDesktop() {
        if (old_) {
            set(oldType_, *old_);
        } else {
            RegDeleteValueW(key_.get(), L"Desktop");
        }
    }

private:
    static constexpr const wchar_t* kKey =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    void set(DWORD type, const std::wstring& value) {
        RegSetValueExW(key_.get(), L"Desktop", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    UniqueHkey key_;
    std::optional<std::wstring> old_;
    DWORD oldType_ = REG_EXPAND_SZ;
};

// Runs one test of this program in a fresh process: the shell keeps the
// desktop's path for the life of a process once it has been asked for it.
DWORD RunInFreshProcess(const std::wstring& testName) {
    std::wstring command = L"\"" + modulePath() + L"\" --gtest_filter=" + testName;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return GetLastError();
    }
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

constexpr const wchar_t* kMovedDesktopVariable = L"GLANCE_TEST_MOVED_DESKTOP";
constexpr const wchar_t* kMissingDesktopVariable = L"GLANCE_TEST_MISSING_DESKTOP";

// The ANSI code page cannot spell these names; the wide path still finds them.
TEST(Win32Shell, UserDesktopNamedOutsideTheAnsiCodePageIsFoundAndCounted) {
    TempFolder desktop(L"Επιφάνεια-桌面");
    desktop.file(L"one.txt");
    desktop.file(L"two.txt", kHidden);
    desktop.folder(L"Φάκελος");
    MovedUserDesktop moved(desktop.path());
    SetEnvironmentVariableW(kMovedDesktopVariable, desktop.path().c_str());
    EXPECT_EQ(RunInFreshProcess(L"MovedDesktop.IsFoundAndCountedByAFreshProcess"), 0u);
    SetEnvironmentVariableW(kMovedDesktopVariable, nullptr);
}

TEST(MovedDesktop, IsFoundAndCountedByAFreshProcess) {
    wchar_t expected[1024] = {};
    if (!GetEnvironmentVariableW(kMovedDesktopVariable, expected, 1024))
        GTEST_SKIP() << "run by the test above";
    Win32Shell shell;
    ASSERT_EQ(desktopFolderPath(shell, kFolderUserDesktop), std::wstring(expected) + L"\\");
    Win32FileSystem files;
    const FolderEntryCounts common = countEntries(files, *desktopFolderPath(shell, kFolderCommonDesktop));
    EXPECT_EQ(FreshCount(shell, files), 3 + common.files + common.subfolders);
}

// --- Change watches on real folders, and the top-level loop that waits on them

// The real file system with each listing counted, and watches refused on
// demand, as on a share that gives no change notifications.
class CountingFiles : public Win32FileSystem {
public:
    using Win32FileSystem::Win32FileSystem;
    std::map<std::wstring, int> listings;  // by folder path as the counter gives it
    bool refuseWatches = false;

    int listingsOf(const TempFolder& folder) { return listings[folder.path() + L"\\"]; }
    std::unique_ptr<FolderListing> startListing(const std::wstring& path) override {
        ++listings[path];
        return Win32FileSystem::startListing(path);
    }
    std::unique_ptr<ChangeWatch> watchFolder(const std::wstring& path) override {
        return refuseWatches ? nullptr : Win32FileSystem::watchFolder(path);
    }
};

// A name that a watch reports and the same name read by a listing have one
// key, whatever its kind, attributes or alphabet: the counter sets the names
// that change during a listing against what the listing read by that key.
TEST(FolderCounts, AListingAndAWatchGiveEachNameTheSameKey) {
    TempFolder t(L"keys");
    Win32FileSystem files;
    const std::unique_ptr<ChangeWatch> watch = files.watchFolder(t.path());
    t.file(L"a.txt");
    t.file(L"desktop.ini", kHidden | kSystem);
    t.file(L"ファイル.txt");
    t.folder(L"文件夹");
    t.folder(L"sub", kHidden);
    std::set<std::uint64_t> reported;
    EXPECT_TRUE(WaitUntil([&] {
        for (const NameChange& c : watch->takeChanges().changes)
            reported.insert(nameEntry(c.name, c.subfolder));
        return reported.size() == 5;
    }));
    const std::unique_ptr<FolderListing> listing = files.startListing(t.path());
    while (!listing->readOn(1)) {
    }
    EXPECT_EQ(std::set<std::uint64_t>(listing->names.begin(), listing->names.end()), reported);
}

void WriteTo(const std::wstring& file, const char* bytes) {
    UniqueFileHandle f(CreateFileW(file.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f.valid()) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(f.get(), bytes, static_cast<DWORD>(strlen(bytes)), &written, nullptr));
}

// Two desktops of the test, each with a file and a folder, a third folder to
// move things from and to, and a counter that has taken its first count.
struct WatchedDesktops {
    TempFolder user{L"watched-user"};
    TempFolder common{L"watched-common"};
    TempFolder elsewhere{L"watched-elsewhere"};
    TestDesktops shell;
    CountingFiles files;
    Win32Loop clock;
    Win32Diagnostics diagnostics;
    std::unique_ptr<DesktopCounter> counter;

    explicit WatchedDesktops(bool watches = true) {
        for (TempFolder* desk : {&user, &common}) {
            desk->file(L"a.txt");
            desk->folder(L"photos");
        }
        elsewhere.file(L"moved.pdf");
        shell.user = user.path();
        shell.common = common.path();
        files.refuseWatches = !watches;
        counter = std::make_unique<DesktopCounter>(shell, files, clock, diagnostics);
        EXPECT_EQ(WholeCount(*counter), 4);
    }
};

TEST(DesktopWatch, CreatesDeletesRenamesAndMovesOnEitherDesktopAreCountedByNameWithoutAListing) {
    struct Case {
        const char* name;
        void (*act)(TempFolder& desk, TempFolder& elsewhere);
        int change;
    };
    const std::vector<Case> cases = {
        {"a file created", [](TempFolder& d, TempFolder&) { d.file(L"download.pdf"); }, +1},
        {"a folder created", [](TempFolder& d, TempFolder&) { d.folder(L"New folder"); }, +1},
        {"a hidden dotfile created", [](TempFolder& d, TempFolder&) { d.file(L".hidden", kHidden); }, +1},
        {"a file deleted",
         [](TempFolder& d, TempFolder&) { EXPECT_TRUE(DeleteFileW((d.path() + L"\\a.txt").c_str())); }, -1},
        {"a folder removed",
         [](TempFolder& d, TempFolder&) { EXPECT_TRUE(RemoveDirectoryW((d.path() + L"\\photos").c_str())); },
         -1},
        {"a file renamed",
         [](TempFolder& d, TempFolder&) {
             EXPECT_TRUE(MoveFileW((d.path() + L"\\a.txt").c_str(), (d.path() + L"\\b.txt").c_str()));
         },
         0},
        {"a file moved in",
         [](TempFolder& d, TempFolder& e) {
             EXPECT_TRUE(MoveFileW((e.path() + L"\\moved.pdf").c_str(), (d.path() + L"\\moved.pdf").c_str()));
         },
         +1},
        {"a file moved out",
         [](TempFolder& d, TempFolder& e) {
             EXPECT_TRUE(MoveFileW((d.path() + L"\\a.txt").c_str(), (e.path() + L"\\a.txt").c_str()));
         },
         -1},
        // A record for a one-character name is shorter than the record type.
        {"a one-character file and folder created",
         [](TempFolder& d, TempFolder&) {
             d.file(L"b");
             d.folder(L"d");
         },
         +2},
        // The longest name a file can have, and one ending in a dot, which
        // only a literal path (\\?\) keeps.
        {"a file with a 255-character name created",
         [](TempFolder& d, TempFolder&) { d.file(std::wstring(255, L'n')); }, +1},
        {"a file named with a trailing dot created",
         [](TempFolder& d, TempFolder&) {
             const std::wstring path = L"\\\\?\\" + d.path() + L"\\dot.";
             EXPECT_TRUE(UniqueFileHandle(
                             CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr))
                             .valid());
         },
         +1},
        {"a file deleted and made again under its name",
         [](TempFolder& d, TempFolder&) {
             EXPECT_TRUE(DeleteFileW((d.path() + L"\\a.txt").c_str()));
             d.file(L"a.txt");
         },
         0},
        // Saved as editors save: a temporary file renamed over the document.
        {"a file renamed over one that is there",
         [](TempFolder& d, TempFolder&) {
             d.file(L"a.txt.tmp");
             EXPECT_TRUE(MoveFileExW((d.path() + L"\\a.txt.tmp").c_str(), (d.path() + L"\\a.txt").c_str(),
                                     MOVEFILE_REPLACE_EXISTING));
         },
         0},
    };
    for (const Case& c : cases) {
        for (const bool onUser : {true, false}) {
            const std::string name =
                std::string(c.name) + (onUser ? " on the user's desktop" : " on the shared one");
            WatchedDesktops d;
            TempFolder& desk = onUser ? d.user : d.common;
            TempFolder& other = onUser ? d.common : d.user;
            c.act(desk, d.elsewhere);
            ASSERT_TRUE(WaitUntil([&] {
                return d.counter->signalledCountDue(d.clock.monotonicSeconds()) != kNever;
            })) << name;
            // By its names, a tenth of a second later, even so soon after the listing.
            EXPECT_TRUE(WaitUntil([&] { return d.counter->count() == 4 + c.change; })) << name;
            EXPECT_EQ(d.files.listingsOf(desk), 1) << name;
            EXPECT_EQ(d.files.listingsOf(other), 1) << name;
        }
    }
}

TEST(DesktopWatch, AQuietCheckAndAWriteToADesktopFileListNothingAndLookNothingUp) {
    WatchedDesktops d;
    const int lookups = d.shell.lookups;
    Sleep(200);
    EXPECT_EQ(d.counter->signalledCountDue(d.clock.monotonicSeconds()), kNever);
    EXPECT_EQ(d.counter->count(), 4);

    // A download being written changes no name: nothing to list.
    WriteTo(d.user.path() + L"\\a.txt", "more bytes");
    WriteTo(d.common.path() + L"\\a.txt", "more bytes");
    Sleep(300);
    EXPECT_EQ(d.counter->signalledCountDue(d.clock.monotonicSeconds()), kNever);
    EXPECT_EQ(d.counter->count(), 4);

    EXPECT_EQ(d.files.listingsOf(d.user), 1);
    EXPECT_EQ(d.files.listingsOf(d.common), 1);
    EXPECT_EQ(d.shell.lookups, lookups);
}

TEST(DesktopWatch, AFolderWithoutAWatchIsListedWhenItsLastWriteTimeMoves) {
    WatchedDesktops d(false);
    EXPECT_EQ(d.counter->count(), 4);
    EXPECT_EQ(d.files.listingsOf(d.user), 1);
    d.user.file(L"download.pdf");
    EXPECT_TRUE(WaitUntil([&] { return d.counter->count() == 5; }));
    EXPECT_EQ(d.files.listingsOf(d.user), 2);
    EXPECT_EQ(d.files.listingsOf(d.common), 1);
}

TEST(DesktopWatch, LookingTheDesktopsUpDoesNotFireTheWatchOnTheirLocations) {
    Win32Shell shell;
    auto locations = shell.watchFolderLocations();
    for (int i = 0; i < 3; ++i) {
        desktopFolderPath(shell, kFolderUserDesktop);
        desktopFolderPath(shell, kFolderCommonDesktop);
    }
    Sleep(300);
    EXPECT_FALSE(locations->fired());
}

// The shell of this test gives the moved path as soon as the registry says
// so; the real shell may keep the old one until the process restarts.
TEST(DesktopWatch, AMovedUserDesktopIsLookedUpAgainWatchedAndCounted) {
    WatchedDesktops d;
    TempFolder moved(L"moved-desktop");
    moved.file(L"one.txt");
    const int lookups = d.shell.lookups;
    {
        MovedUserDesktop registry(moved.path());
        d.shell.user = moved.path();
        ASSERT_TRUE(
            WaitUntil([&] { return d.counter->signalledCountDue(d.clock.monotonicSeconds()) != kNever; }));
        EXPECT_EQ(d.counter->count(), 3);
        EXPECT_EQ(d.shell.lookups, lookups + 2);
        EXPECT_EQ(d.files.listingsOf(moved), 1);
        EXPECT_EQ(d.files.listingsOf(d.common), 1);

        // The new folder is watched.
        moved.file(L"two.txt");
        EXPECT_TRUE(WaitUntil([&] { return d.counter->count() == 4; }));
    }
    // Putting the registry back fires again; the paths are the same, so
    // nothing is listed.
    ASSERT_TRUE(
        WaitUntil([&] { return d.counter->signalledCountDue(d.clock.monotonicSeconds()) != kNever; }));
    EXPECT_EQ(d.counter->count(), 4);
    EXPECT_EQ(d.files.listingsOf(moved), 1);
}

// A desktop redirected while the program runs, by a value that names an
// environment variable: the same process finds it at its new place at once.
TEST(Win32Shell, ADesktopRedirectedWhileRunningIsGivenAtItsNewPlaceExpanded) {
    TempFolder redirected(L"redirected-desktop");
    Win32Shell shell;
    const std::optional<std::wstring> before = shell.specialFolderPath(kFolderUserDesktop);
    ASSERT_TRUE(before.has_value());
    SetEnvironmentVariableW(L"GLANCE_TEST_REDIRECTED", redirected.path().c_str());
    {
        MovedUserDesktop registry(L"%GLANCE_TEST_REDIRECTED%");
        EXPECT_EQ(shell.specialFolderPath(kFolderUserDesktop), redirected.path());
    }
    EXPECT_EQ(shell.specialFolderPath(kFolderUserDesktop), before);
    SetEnvironmentVariableW(L"GLANCE_TEST_REDIRECTED", nullptr);
}

// The path comes whole at any length, not cut at MAX_PATH (260).
TEST(Win32Shell, ADesktopWhosePathIsLongerThanMaxPathIsGivenWhole) {
    std::wstring deep = L"C:\\glance-long";
    while (deep.size() <= MAX_PATH) deep += L"\\a-folder-name-of-some-forty-characters";
    Win32Shell shell;
    MovedUserDesktop registry(deep);
    PWSTR known = nullptr;
    const bool whole = SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_DONT_VERIFY, nullptr, &known) == S_OK &&
                       known != nullptr && deep == known;
    CoTaskMemFree(known);
    if (!whole) GTEST_SKIP() << "this system's known-folder API stops at MAX_PATH (Wine's does)";
    EXPECT_EQ(shell.specialFolderPath(kFolderUserDesktop), deep);
}

// A top-level work that counts its runs and asks for the time given.
struct CountingWork : TopLevelWork {
    int runs = 0;
    double next = kNever;
    double runBetweenMessages() override {
        ++runs;
        return next;
    }
};

// A message for the thread after `milliseconds`, so that a wait that should
// end sooner can never block the test.
class ThreadTimer {
public:
    explicit ThreadTimer(UINT milliseconds) : id_(SetTimer(nullptr, 0, milliseconds, nullptr)) {}
    ~ThreadTimer() {
        KillTimer(nullptr, id_);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        }
    }

private:
    UINT_PTR id_;
};

ULONGLONG MillisecondsOf(Win32Loop& loop, void (Win32Loop::*wait)()) {
    const ULONGLONG start = GetTickCount64();
    (loop.*wait)();
    return GetTickCount64() - start;
}

TEST(TopLevelLoop, WakesOnAWatchRunsItsWorkOnlyThereAndSetsTheHandleAsideUntilRearmed) {
    Win32Loop loop;
    Win32FileSystem files(&loop.wakeHandles());
    TempFolder t(L"loop");
    auto watch = files.watchFolder(t.path());
    CountingWork work;
    loop.setTopLevelWork(work);

    // The nested loops wait on messages alone: the work never runs there.
    t.file(L"one.txt");
    ASSERT_TRUE(WaitUntil([&] { return watch->fired(); }));
    loop.doEvents();
    loop.waitForMessage(0.05);
    EXPECT_EQ(work.runs, 0);

    // The top-level wait wakes at once on the signalled handle.
    {
        ThreadTimer safety(3000);
        EXPECT_LT(MillisecondsOf(loop, &Win32Loop::waitAtTopLevel), 1000u);
    }
    loop.runTopLevelWork();
    EXPECT_EQ(work.runs, 1);

    // Still signalled, but set aside: only the message ends the next wait.
    {
        ThreadTimer message(200);
        EXPECT_GE(MillisecondsOf(loop, &Win32Loop::waitAtTopLevel), 150u);
    }
    loop.runTopLevelWork();
    EXPECT_EQ(work.runs, 1);

    // Armed again, the handle wakes the loop at the next change.
    watch->rearm();
    t.file(L"two.txt");
    {
        ThreadTimer safety(3000);
        EXPECT_LT(MillisecondsOf(loop, &Win32Loop::waitAtTopLevel), 1000u);
    }
    loop.runTopLevelWork();
    EXPECT_EQ(work.runs, 2);
    loop.clearTopLevelWork(work);
}

TEST(TopLevelLoop, RunsTheWorkAgainAtTheTimeItAskedFor) {
    // Woken by a watch, the work asks to run again 0.15 s later.
    struct DueWork : TopLevelWork {
        Win32Loop& loop;
        int runs = 0;
        explicit DueWork(Win32Loop& l) : loop(l) {}
        double runBetweenMessages() override { return ++runs == 1 ? loop.monotonicSeconds() + 0.15 : kNever; }
    };
    Win32Loop loop;
    Win32FileSystem files(&loop.wakeHandles());
    TempFolder t(L"due");
    auto watch = files.watchFolder(t.path());
    DueWork work(loop);
    loop.setTopLevelWork(work);
    loop.runTopLevelWork();  // neither woken nor due: nothing runs
    EXPECT_EQ(work.runs, 0);

    t.file(L"one.txt");
    {
        ThreadTimer safety(3000);
        loop.waitAtTopLevel();
    }
    loop.runTopLevelWork();
    ASSERT_EQ(work.runs, 1);
    ULONGLONG waited = 0;
    {
        ThreadTimer safety(3000);
        waited = MillisecondsOf(loop, &Win32Loop::waitAtTopLevel);
    }
    loop.runTopLevelWork();
    EXPECT_EQ(work.runs, 2);
    EXPECT_GE(waited, 100u);
    EXPECT_LT(waited, 1000u);
    loop.clearTopLevelWork(work);
}

TEST(TopLevelLoop, AnswersAskedFileStatesThereWhenTheyCameInTimeThoughANestedLoopRanMeanwhile) {
    struct Taken : FileStatesAnswer {
        int& answers;
        explicit Taken(int& counted) : answers(counted) {}
        void answer(const std::vector<FileState>&) override { ++answers; }
    };
    Win32Loop loop;
    Win32FileSystem files(&loop.wakeHandles());
    int inTime = 0, late = 0;
    files.askFileStates({L"C:\\"}, 5, std::make_unique<Taken>(inTime));
    files.askFileStates({L"C:\\"}, 0, std::make_unique<Taken>(late));
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 300; loop.doEvents())
        loop.waitForMessage(0.05);  // as a message box's own loop: no answer there
    EXPECT_EQ(inTime + late, 0);
    const ThreadTimer safety(3000);
    loop.waitAtTopLevel();
    loop.waitAtTopLevel();
    EXPECT_EQ(inTime, 1);
    EXPECT_EQ(late, 0);
}

// With the user's Desktop folder gone, the shell cannot give the all-users
// desktop's item-ID list either; its path, and so its count, stay.
TEST(Win32Shell, AllUsersDesktopCountsOnItsOwnWhenTheUserDesktopIsMissing) {
    TempFolder gone(L"gone");
    const std::wstring missing = gone.path() + L"\\Desktop-that-is-not-there";
    MovedUserDesktop moved(missing);
    SetEnvironmentVariableW(kMissingDesktopVariable, missing.c_str());
    EXPECT_EQ(RunInFreshProcess(L"MissingUserDesktop.*"), 0u);
    SetEnvironmentVariableW(kMissingDesktopVariable, nullptr);
}

class MissingUserDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GetEnvironmentVariableW(kMissingDesktopVariable, nullptr, 0))
            GTEST_SKIP() << "run by the test above";
    }
};

// The shell that broadcasts, counted.
class CountingShell : public Win32Shell {
public:
    int broadcasts = 0;
    void changeNotify(std::int32_t eventId, std::uint32_t flags) override {
        ++broadcasts;
        Win32Shell::changeNotify(eventId, flags);
    }
};

// The missing desktop keeps its path, so that the counter can watch for it.
TEST_F(MissingUserDesktop, BothDesktopsKeepTheirPaths) {
    wchar_t missing[MAX_PATH] = {};
    GetEnvironmentVariableW(kMissingDesktopVariable, missing, MAX_PATH);
    Win32Shell shell;
    EXPECT_EQ(shell.specialFolderPath(kFolderCommonDesktop), ShellPath(kFolderCommonDesktop));
    EXPECT_EQ(shell.specialFolderPath(kFolderUserDesktop), std::wstring(missing));
}

TEST_F(MissingUserDesktop, AFileAddedOnTheAllUsersDesktopIsBroadcastAtTheNextTick) {
    CountingShell shell;
    Win32FileSystem files;
    Win32Loop clock;
    Win32Diagnostics diagnostics;
    RefreshEngine engine(shell, files, clock, diagnostics);
    engine.takeFirstCount();
    engine.refreshDesktop(0);
    EXPECT_EQ(shell.broadcasts, 0) << "a quiet desktop";

    const std::wstring added = *desktopFolderPath(shell, kFolderCommonDesktop) + L"glance-shared-" +
                               std::to_wstring(GetCurrentProcessId()) + L".txt";
    UniqueFileHandle file(CreateFileW(added.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file.valid()) << GetLastError();
    file = UniqueFileHandle();
    EXPECT_TRUE(WaitUntil([&] {
        engine.refreshDesktop(0);
        return shell.broadcasts == 1;
    }));
    DeleteFileW(added.c_str());
    EXPECT_TRUE(WaitUntil([&] {
        engine.refreshDesktop(0);
        return shell.broadcasts == 2;
    })) << "a removal is a change too";
}

}  // namespace
}  // namespace glance::win32
