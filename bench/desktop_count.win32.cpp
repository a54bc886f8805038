// Prints what one desktop check costs on the real platform: the time of a
// count as the desktop grows (four folder reads, as each check makes), and the
// process's memory and handle counts before and after many checks, which must
// not grow. Runs under Wine or on Windows: bench/run.sh.
#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/DesktopCounter.h"
#include "engine/RefreshEngine.h"
#include "platform/Types.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Shell.h"

namespace {

std::wstring makeFolder(const std::wstring& base, int files, int folders) {
    const std::wstring dir = base + L"\\desk" + std::to_wstring(files) + L"\\";
    CreateDirectoryW(dir.c_str(), nullptr);
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

template <class Work>
double microsecondsPerCall(int calls, Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) work();
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / calls;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"glance-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);

    glance::win32::Win32FileSystem files;
    std::printf("desktop items   one check (4 folder reads)\n");
    for (int items : {0, 10, 100, 1000, 5000}) {
        const std::wstring dir = makeFolder(base, items - items / 10, items / 10);
        const int calls = items >= 1000 ? 50 : 500;
        std::int64_t sink = 0;
        const double us = microsecondsPerCall(calls, [&] {
            auto counter = files.createCounter();
            sink += counter->subfolderCount(dir) + counter->fileCount(dir);
            sink += counter->subfolderCount(dir) + counter->fileCount(dir);
        });
        std::printf("%13d   %10.1f us%s\n", 2 * items, us, sink < 0 ? "!" : "");
    }

    // The real check of the running program, on this user's desktops.
    glance::win32::Win32Shell shell;
    glance::RefreshEngine engine(shell, files);
    engine.takeFirstCount();
    const Usage before = usage();
    constexpr int kChecks = 3000;  // nearly an hour of ticks
    const double check = microsecondsPerCall(kChecks, [&] { engine.refreshDesktop(glance::kFalse); });
    const Usage after = usage();
    std::printf(
        "on-change check of the real desktops (%d items): %.1f us, %.4f%% of one core at one a second\n",
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
