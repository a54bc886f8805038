// A small Windows program that hosts the tray control on the real platform,
// for the e2e tests: it puts the tray icon into the notification area, shows
// a balloon, and writes one line per event to a log file.
//
//   tray.exe <log file> [--balloon-seconds N] [--spin] [--exit-after-balloon]
//
// --spin makes the balloon wait poll the message queue without sleeping, the
// way a wait without MessageLoop::waitForMessage would, so that the CPU time
// of both kinds of wait can be compared. The log gets, in this order:
//   ready | balloon shown | balloon done mode=<block|spin> wall=<s> cpu=<s> |
//   clicked | exit
// The program ends on --exit-after-balloon, when "<log file>.stop" appears,
// or after two minutes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/win32/Win32Loop.h"
#include "platform/win32/Win32NotifyIcon.h"
#include "tray/TrayIcon.h"
#if __has_include("../../res/resource.h")
#include "../../res/resource.h"
#endif

namespace {

using glance::win32::Win32Loop;

constexpr const char* kBalloonTitle = "Tray host balloon title";
constexpr const char* kBalloonText = "The tray host says hello from its balloon.";
constexpr UINT kStopCheckMs = 200;
constexpr double kLifetimeSeconds = 120;

// A loop whose wait returns at once: the balloon wait then polls.
class SpinningLoop : public Win32Loop {
public:
    void waitForMessage(double) override {}
};

class Log {
public:
    explicit Log(const std::string& path) : file_(std::fopen(path.c_str(), "ab")) {}
    ~Log() {
        if (file_) std::fclose(file_);
    }
    void line(const std::string& text) {
        if (!file_) return;
        std::fprintf(file_, "%s\n", text.c_str());
        std::fflush(file_);
    }

private:
    std::FILE* file_;
};

double processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    auto seconds = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

glance::Picture trayPicture() {
    HICON icon = nullptr;
#ifdef IDI_TRAY
    icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TRAY), IMAGE_ICON, 16, 16, LR_SHARED));
#endif
    if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
    return {glance::Picture::Icon, reinterpret_cast<std::uintptr_t>(icon)};
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 2) return 2;
    const std::string logPath = __argv[1];
    int balloonSeconds = 5;
    bool spin = false, exitAfterBalloon = false;
    for (int i = 2; i < __argc; ++i) {
        if (!std::strcmp(__argv[i], "--balloon-seconds") && i + 1 < __argc)
            balloonSeconds = std::atoi(__argv[++i]);
        if (!std::strcmp(__argv[i], "--spin")) spin = true;
        if (!std::strcmp(__argv[i], "--exit-after-balloon")) exitAfterBalloon = true;
    }

    Log log(logPath);
    try {
        glance::win32::Win32NotificationArea area;
        std::unique_ptr<Win32Loop> loop =
            spin ? std::make_unique<SpinningLoop>() : std::make_unique<Win32Loop>();

        glance::TrayIcon tray(area, *loop, 0, trayPicture());
        tray.onClicked = [&log] { log.line("clicked"); };
        tray.setText("Glance tray host");
        tray.setInTray(true);
        log.line("ready");

        log.line("balloon shown");
        const double wallStart = loop->monotonicSeconds();
        const double cpuStart = processCpuSeconds();
        tray.showBalloon(kBalloonText, kBalloonTitle, balloonSeconds, true);
        char figures[160];
        const double cpu = processCpuSeconds() - cpuStart;
        std::snprintf(figures, sizeof figures, "balloon done mode=%s wall=%.2f cpu=%.3f",
                      spin ? "spin" : "block", loop->monotonicSeconds() - wallStart, cpu > 0 ? cpu : 0.0);
        log.line(figures);

        if (!exitAfterBalloon) {
            const std::string stopPath = logPath + ".stop";
            const double end = loop->monotonicSeconds() + kLifetimeSeconds;
            SetTimer(nullptr, 0, kStopCheckMs, nullptr);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (msg.message == WM_TIMER &&
                    (GetFileAttributesA(stopPath.c_str()) != INVALID_FILE_ATTRIBUTES ||
                     loop->monotonicSeconds() > end))
                    break;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        tray.setInTray(false);
    } catch (const std::exception& e) {
        log.line(std::string("error ") + e.what());
        return 1;
    }
    log.line("exit");
    return 0;
}
