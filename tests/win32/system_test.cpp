// Process services under Wine: the message box as a user sees it, the
// single-instance mutex, the program path and title, the Run list and the
// repair of a moved program's entry, starting a process and the shell change
// notification.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/Preferences.h"
#include "app/StartupEntry.h"
#include "core/Error.h"
#include "core/HandlerErrors.h"
#include "core/Product.h"
#include "engine/RefreshEngine.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Settings.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {
namespace {

// What a user sees of a message box: found by its dialog class and title,
// its text read from the static control, then closed with OK.
struct SeenBox {
    std::string title;
    std::string text;
    HWND owner = nullptr;
    bool hasIcon = false;
};

class BoxCloser {
public:
    static BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            *reinterpret_cast<bool*>(found) = true;
        return TRUE;
    }

    // A thread of its own (a Windows one: the exe's runtime has no std::thread)
    // finds the box by its title, notes what it shows and presses OK.
    explicit BoxCloser(std::string title) : title_(std::move(title)) {
        thread_.reset(CreateThread(nullptr, 0, run, this, 0, nullptr));
    }
    ~BoxCloser() { join(); }
    std::optional<SeenBox> seen() {
        join();
        return found_ ? std::optional<SeenBox>(seen_) : std::nullopt;
    }

private:
    static DWORD WINAPI run(void* self) {
        static_cast<BoxCloser*>(self)->watch();
        return 0;
    }
    void join() {
        if (thread_.valid()) WaitForSingleObject(thread_.get(), INFINITE);
    }
    void watch() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            HWND box = FindWindowA("#32770", title_.c_str());
            if (box && IsWindowVisible(box)) {
                wchar_t text[2048] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 2048);
                seen_.title = title_;
                seen_.text = narrowToUtf8(text);
                seen_.owner = GetWindow(box, GW_OWNER);
                EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&seen_.hasIcon));
                found_ = true;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    }

    std::string title_;
    SeenBox seen_;
    std::atomic<bool> found_{false};
    UniqueKernelHandle thread_;
};

TEST(Win32System, MessageBoxShowsTextAndTitleAndReturnsTheButton) {
    struct Case {
        std::optional<std::string> title;
        std::string shownTitle;
        std::uint32_t style;
        std::string text;
    };
    // A quote from a UTF-16 skin file may hold any character; the box shows
    // it as it is, whatever the ANSI code page.
    const std::string quote = handlerErrorMessage(tag::kStartup, 106,
                                                  "Invalid skin file: unknown key gr\xC3\xB6\xC3\x9F"
                                                  "e\xE6\xA1\x8C (line 2)");
    const std::string text = handlerErrorMessage(tag::kTick, 106, errtext::kInvalidCall);
    const std::vector<Case> cases = {
        {std::string(kErrorBoxTitle), "Application Error", kErrorBoxStyle, text},
        {std::nullopt, "Glance Box Test Title", MB_ICONINFORMATION, text},
        {std::string(kErrorBoxTitle), "Application Error", kErrorBoxStyle, quote}};
    for (const auto& c : cases) {
        Win32System system;
        system.setAppTitle("Glance Box Test Title");
        BoxCloser closer(c.shownTitle);
        EXPECT_EQ(system.messageBox(c.text, c.title, c.style), IDOK);
        const auto seen = closer.seen();
        ASSERT_TRUE(seen.has_value()) << "no box titled " << c.shownTitle;
        EXPECT_EQ(seen->text, c.text);
        EXPECT_TRUE(seen->hasIcon);
    }
}

TEST(Win32System, MessageBoxIsOwnedByTheActiveWindow) {
    UniqueHwnd owner(CreateWindowExW(0, L"STATIC", L"Glance owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(owner.valid());
    SetActiveWindow(owner.get());
    if (GetActiveWindow() != owner.get()) GTEST_SKIP() << "the display gives no window activation";
    Win32System system;
    BoxCloser closer("Owned Box");
    system.messageBox("owned", std::string("Owned Box"), MB_OK);
    const auto seen = closer.seen();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->owner, owner.get());
}

TEST(Win32System, OnlyTheFirstInstanceOwnsTheMutexUntilItEnds) {
    {
        Win32System first;
        EXPECT_FALSE(first.anotherInstanceRunning());
        EXPECT_FALSE(first.anotherInstanceRunning()) << "asking again must not change the answer";
        Win32System second;
        EXPECT_TRUE(second.anotherInstanceRunning());
        UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName));
        EXPECT_TRUE(mutex.valid());
    }
    Win32System afterwards;
    EXPECT_FALSE(afterwards.anotherInstanceRunning());
}

TEST(Win32System, ProgramPathAndDefaultTitleComeFromTheProgramFile) {
    Win32System system;
    wchar_t expected[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, expected, MAX_PATH);
    EXPECT_EQ(system.programPath(), expected);
    EXPECT_EQ(system.appTitle(), "win32_system_test");
    system.setAppTitle("Lumenfold Live Shell Glance Refresher");
    EXPECT_EQ(system.appTitle(), "Lumenfold Live Shell Glance Refresher");
}

TEST(Win32System, SecondsSinceMidnightFollowsTheLocalClock) {
    Win32System system;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const double expected =
        now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
    const double seconds = system.secondsSinceMidnight();
    EXPECT_GE(seconds, 0.0);
    EXPECT_LT(seconds, 86400.0);
    if (expected < 86390.0) {
        EXPECT_NEAR(seconds, expected, 2.0);
    }
}

TEST(Win32System, StartupEntryIsARegSzValueInTheRunKey) {
    const std::string name = "GlanceStartupTest-" + std::to_string(GetCurrentProcessId());
    const std::wstring command = L"\"C:\\Program Files\\Quillhaven\\GlanceRefresher.exe\"";
    Win32System system;
    EXPECT_EQ(system.startupEntry(name), std::nullopt);
    system.setStartupEntry(name, command);
    EXPECT_EQ(system.startupEntry(name), command);
    wchar_t stored[512] = {};
    DWORD bytes = sizeof(stored);
    DWORD type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(name).c_str(), RRF_RT_ANY, &type, stored,
                           &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(stored), command);
    system.removeStartupEntry(name);
    EXPECT_EQ(system.startupEntry(name), std::nullopt);
    EXPECT_NO_THROW(system.removeStartupEntry(name));
}

// The product's own start-up choice and Run value, put back as they were
// found when the test ends.
class KeptStartupState {
public:
    KeptStartupState()
        : settingsKey_(std::wstring(kSettingsRoot) + L"\\" + widenUtf8(kSettingsApplication) + L"\\" +
                       widenUtf8(kProductName)),
          sectionExisted_(keyExists(settingsKey_)),
          choice_(readRegistryString(HKEY_CURRENT_USER, settingsKey_, kChoice)),
          entry_(readRegistryString(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(kProductName))) {}
    ~KeptStartupState() {
        restore(settingsKey_, kChoice, choice_);
        restore(kRunKeyPath, widenUtf8(kProductName), entry_);
        if (!sectionExisted_) {
            RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey_.c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, settingsKey_.c_str());
        }
    }
    KeptStartupState(const KeptStartupState&) = delete;
    KeptStartupState& operator=(const KeptStartupState&) = delete;

private:
    static constexpr const wchar_t* kChoice = L"Windows Startup";
    static bool keyExists(const std::wstring& path) {
        UniqueHkey key;
        return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    static void restore(const std::wstring& key, const std::wstring& name,
                        const std::optional<std::wstring>& value) {
        if (value)
            writeRegistryString(HKEY_CURRENT_USER, key, name, *value);
        else
            deleteRegistryValue(HKEY_CURRENT_USER, key, name);
    }
    std::wstring settingsKey_;
    bool sectionExisted_;
    std::optional<std::wstring> choice_;
    std::optional<std::wstring> entry_;
};

TEST(StartupEntry, MovedProgramIsRegisteredAgainAtItsNewPlaceInTheRealRegistry) {
    const KeptStartupState kept;
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // Another copy that is still there, and a place the program was moved away from.
    const std::wstring otherCopy = std::wstring(temp) + L"GlanceRefresher-other-" + pid + L".exe";
    ASSERT_TRUE(UniqueKernelHandle(CreateFileW(otherCopy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr))
                    .valid());
    const std::wstring movedFrom =
        std::wstring(temp) + L"glance-moved-away-" + pid + L"\\GlanceRefresher.exe";
    const std::wstring thisCopy = L"\"" + modulePath() + L"\"";

    struct Case {
        const char* what;
        const char* choice;
        std::wstring entry;
        bool rewritten;
    };
    const Case cases[] = {
        {"moved", "On", L"\"" + movedFrom + L"\"", true},
        {"another copy", "On", L"\"" + otherCopy + L"\"", false},
        {"choice off", "Off", L"\"" + movedFrom + L"\"", false},
    };
    Win32System system;
    Win32Loop loop;
    Win32FileSystem files(&loop.wakeHandles());
    Win32Settings settings;
    Preferences preferences(settings);
    Win32Diagnostics diagnostics;
    Win32EventLog events;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.save(kSettingsApplication, kProductName, Preferences::kKeyStartWithWindows, c.choice);
        system.setStartupEntry(kProductName, c.entry);
        repairStartupEntry(system, files, preferences, diagnostics, events);
        // Read back as Windows will at the next logon: a REG_SZ in the Run key.
        wchar_t stored[1024] = {};
        DWORD type = 0;
        const auto read = [&] {
            DWORD bytes = sizeof(stored);
            return RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(kProductName).c_str(), RRF_RT_ANY,
                                &type, stored, &bytes) == ERROR_SUCCESS;
        };
        // The file check answers off this thread, through its top-level wait.
        const std::wstring expected = c.rewritten ? thisCopy : c.entry;
        for (const DWORD start = GetTickCount();
             GetTickCount() - start < 300 ||
             (read() && stored != expected && GetTickCount() - start < 3000);) {
            PostMessageW(nullptr, WM_NULL, 0, 0);  // which ends the wait when nothing else does
            loop.waitAtTopLevel();
            loop.doEvents();
            Sleep(10);
        }
        ASSERT_TRUE(read());
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(std::wstring(stored), expected);
        EXPECT_EQ(preferences.startWithWindows(), std::string(c.choice) == "On");
    }
    DeleteFileW(otherCopy.c_str());
}

TEST(Win32Shell, StartProcessStartsAProgramAndReportsAMissingOne) {
    Win32Shell shell;
    const std::string self = narrowToUtf8(modulePath());
    EXPECT_NO_THROW(shell.startProcess("\"" + self + "\" --gtest_list_tests", SW_HIDE));
    try {
        shell.startProcess("glance-no-such-program-here.exe", SW_SHOWMINIMIZED);
        ADD_FAILURE() << "a missing program started";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.description(), errtext::kFileNotFound);
    }
}

// A window registered with the shell for association changes sees the
// notification that the refresh engine sends. The shell may send it rather
// than post it, so the window's own procedure records it.
constexpr UINT kNotified = WM_APP + 7;
int notificationsSeen = 0;

LRESULT CALLBACK RecordNotifications(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNotified) ++notificationsSeen;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Win32Shell, ChangeNotifyReachesAWindowRegisteredForAssociationChanges) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordNotifications;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"GlanceNotifyWatcher";
    RegisterClassW(&windowClass);
    UniqueHwnd window(CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                      windowClass.hInstance, nullptr));
    ASSERT_TRUE(window.valid());
    SHChangeNotifyEntry everything{nullptr, TRUE};
    const ULONG registration = SHChangeNotifyRegister(window.get(), SHCNRF_ShellLevel, SHCNE_ASSOCCHANGED,
                                                      kNotified, 1, &everything);
    if (registration == 0) GTEST_SKIP() << "the shell takes no registrations here";

    notificationsSeen = 0;
    Win32Shell shell;
    shell.changeNotify(kShcneAssocChanged, kShcnfIdList);
    const DWORD deadline = GetTickCount() + 10000;
    MSG msg;
    while (notificationsSeen == 0 && GetTickCount() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (notificationsSeen == 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    SHChangeNotifyDeregister(registration);
    EXPECT_EQ(notificationsSeen, 1);
}

}  // namespace
}  // namespace glance::win32
