// Prints the cost of one desktop count and one on-change check in the logic
// alone (fake platform: no disk), so that a regression in the counter's own
// work (allocation, path handling) shows up apart from the file system.
#include <chrono>
#include <cstdio>

#include "FakePlatform.h"
#include "engine/DesktopCounter.h"
#include "engine/RefreshEngine.h"

namespace {

template <class Work>
double nanosecondsPerCall(int calls, Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) work(i);
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / calls;
}

}  // namespace

int main() {
    using namespace glance;
    fake::FakePlatform p;
    p.shell.setFolder(kFolderUserDesktop, L"C:\\Users\\ann\\Desktop");
    p.shell.setFolder(kFolderCommonDesktop, L"C:\\Users\\Public\\Desktop");
    p.files.changeFolder(L"C:\\Users\\ann\\Desktop\\", 120, 14);
    p.files.changeFolder(L"C:\\Users\\Public\\Desktop\\", 6, 0);

    constexpr int kCalls = 200000;
    std::int64_t sink = 0;
    // A fresh counter lists both folders: the cost of a full count.
    const double count = nanosecondsPerCall(
        kCalls, [&](int) { sink += DesktopCounter(p.shell, p.files, p.loop, p.diagnostics).count(); });

    RefreshEngine engine(p.shell, p.files, p.loop, p.diagnostics);
    engine.takeFirstCount();
    const double check = nanosecondsPerCall(kCalls, [&](int) { engine.refreshDesktop(kFalse); });

    p.failures.inject("countEntries");
    const double failing = nanosecondsPerCall(
        kCalls, [&](int) { sink += DesktopCounter(p.shell, p.files, p.loop, p.diagnostics).count(); });

    std::printf("full count (4 terms, fake folders):          %8.0f ns/count\n", count);
    std::printf("refreshDesktop(false), quiet desktop:        %8.0f ns/check\n", check);
    std::printf("full count, folders unlistable:              %8.0f ns/count\n", failing);
    std::printf("(checksum %lld, %zu notifications)\n", static_cast<long long>(sink),
                p.shell.notifications.size());
    return 0;
}
