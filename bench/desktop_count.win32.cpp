// Prints what counting the desktops costs on the real platform: a full count
// (both folders listed, as every minute and after a change) beside a bare
// FindFirstFileExW listing of the same folders, by desktop size; a check of a
// quiet desktop; and the process's memory and handle counts before and after
// many checks, which must not grow. Runs under Wine or on Windows: bench/run.sh.
#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/DesktopCounter.h"
#include "engine/RefreshEngine.h"
#include "platform/Types.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Loop.h"
#include "platform/win32/Win32Shell.h"

namespace {

// A folder of the benchmark; one that exists already is taken as it is (the
// script makes them beforehand, far faster than one file at a time here).
std::wstring makeFolder(const std::wstring& base, const std::wstring& name, int files, int folders) {
    const std::wstring dir = base + L"\\" + name + L"\\";
    if (!CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    for (int i = 0; i < files; ++i) {
        const std::wstring f = dir + L"download-" + std::to_wstring(i) + L".pdf";
        HANDLE h =
            CreateFileW(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    for (int i = 0; i < folders; ++i)
        CreateDirectoryW((dir + L"folder-" + std::to_wstring(i)).c_str(), nullptr);
    return dir;
}

// Desktops at folders of the benchmark.
class BenchDesktops : public glance::win32::Win32Shell {
public:
    std::wstring user, common;
    std::optional<std::wstring> specialFolderPath(std::int32_t folderId) override {
        return folderId == glance::kFolderUserDesktop ? user : common;
    }
};

// A clock the benchmark moves by hand: a minute per count makes each a full count.
struct SteppedClock : glance::Clock {
    double now = 0;
    double monotonicSeconds() override { return now; }
};

// The baseline: one FindFirstFileExW search of a folder, as cheap as the
// system offers (no short names, large fetches), entries told apart by kind.
std::int64_t bareListing(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    glance::win32::UniqueFindHandle search(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &entry,
                                                            FindExSearchNameMatch, nullptr,
                                                            FIND_FIRST_EX_LARGE_FETCH));
    std::int64_t files = 0, folders = 0;
    if (!search) return -1;
    do {
        const wchar_t* name = entry.cFileName;
        if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) continue;
        (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? folders : files) += 1;
    } while (FindNextFileW(search.get(), &entry));
    return files + folders;
}

// CPU time of this process, user and kernel, in seconds.
double cpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

template <class Work>
double microseconds(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Usage {
    SIZE_T workingSet;
    SIZE_T committed;
    DWORD handles;  // 0 where the system does not report it (Wine)
};

Usage usage() {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return {pmc.WorkingSetSize, pmc.PagefileUsage, handles};
}

}  // namespace

// The folders go under the folder given as the argument (ASCII), or under a
// new one in TEMP.
int main(int argc, char** argv) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        argc > 1 ? std::wstring(argv[1], argv[1] + std::strlen(argv[1]))
                 : std::wstring(temp) + L"glance-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);

    glance::win32::Win32FileSystem files;
    double largest = 0;  // CPU seconds of one full count of the largest desktop
    std::printf("desktop items   full count   bare listing   ratio   (medians; both folders)\n");
    for (int items : {1000, 10000, 100000}) {
        // Nine in ten items on the user's desktop, a tenth of them folders.
        const int user = items - items / 10, common = items / 10;
        BenchDesktops shell;
        shell.user = makeFolder(base, L"user" + std::to_wstring(items), user - user / 10, user / 10);
        shell.common = makeFolder(base, L"common" + std::to_wstring(items), common, 0);
        shell.user.pop_back();
        shell.common.pop_back();
        SteppedClock clock;
        glance::win32::Win32Diagnostics diagnostics;
        glance::DesktopCounter counter(shell, files, clock, diagnostics);
        std::int64_t sink = counter.count();

        const int runs = items >= 100000 ? 5 : items >= 10000 ? 21 : 101;
        std::vector<double> full, bare;
        double fullCpu = 0;
        for (int i = 0; i < runs; ++i) {
            // Interleaved, so that a slow moment of the machine hits both alike.
            clock.now += glance::kFullCountSeconds;
            const double cpuBefore = cpuSeconds();
            full.push_back(microseconds([&] { sink += counter.count(); }));
            fullCpu += cpuSeconds() - cpuBefore;
            bare.push_back(microseconds(
                [&] { sink += bareListing(shell.user + L"\\") + bareListing(shell.common + L"\\"); }));
        }
        const double f = median(full), b = median(bare);
        std::printf("%13d   %8.0f us   %9.0f us   %5.2fx%s\n", items, f, b, f / b,
                    sink == 2 * items * (runs + 1) - items ? "" : " (count mismatch!)");
        if (items == 100000) largest = fullCpu / runs;
    }
    // What the unconditional full count of a quiet desktop costs while idle.
    std::printf("the unconditional full count, every %.0f min: %.0f ms of CPU at 100000 items, %.2f s/h\n",
                glance::kFullCountSeconds / 60, largest * 1000, largest * 3600 / glance::kFullCountSeconds);

    // The check of the running program on this user's desktops, when nothing changed.
    glance::win32::Win32Shell shell;
    glance::win32::Win32Loop clock;
    glance::win32::Win32Diagnostics diagnostics;
    glance::RefreshEngine engine(shell, files, clock, diagnostics);
    engine.takeFirstCount();
    const Usage before = usage();
    constexpr int kChecks = 3000;  // nearly an hour of ticks
    const double check = microseconds([&] {
                             for (int i = 0; i < kChecks; ++i) engine.refreshDesktop(glance::kFalse);
                         }) /
                         kChecks;
    const Usage after = usage();
    std::printf("check of the real desktops, quiet (%d items): %.1f us, %.4f%% of one core at one a second\n",
                engine.lastCount(), check, check / 1e6 * 100);
    auto kib = [](SIZE_T a, SIZE_T b) { return static_cast<long>((static_cast<long long>(a) - b) / 1024); };
    std::printf("after %d checks: working set %+ld KiB (now %lu KiB), committed %+ld KiB (now %lu KiB)",
                kChecks, kib(after.workingSet, before.workingSet),
                static_cast<unsigned long>(after.workingSet / 1024), kib(after.committed, before.committed),
                static_cast<unsigned long>(after.committed / 1024));
    if (after.handles) {
        std::printf(", handles %+ld", static_cast<long>(after.handles) - static_cast<long>(before.handles));
    }
    std::printf("\n");
    return 0;
}
