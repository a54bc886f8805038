// Custom actions of the GlanceRefresher installers (GlanceSetupActions.dll,
// carried in the MSI's Binary table and never installed): closing a copy of
// the program that runs from the install folder before its files change,
// starting it again once the new files are in place, and taking the
// program's start-up entry away when it is uninstalled, if that entry starts
// the installed copy.
//
// wixl has no WiX extensions, so these stand in for the util extension's
// CloseApplication and for a RemoveRegistryValue that acts on uninstall
// (Windows Installer's own RemoveRegistry table only acts on install).
// Every action logs what it did and returns success: none of them is worth
// failing an install or an uninstall for.
#include <windows.h>
// windows.h first: the installer headers use its types.
#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <userenv.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr wchar_t kExeName[] = L"GlanceRefresher.exe";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Lumenfold Live Shell Glance Refresher Utility";
// The program's settings stay after an uninstall; the one that records the
// start-up choice is made to agree with the entry's removal, or a reinstalled
// copy would show "Load this software on Windows startup" ticked with no entry.
constexpr wchar_t kSettingsKey[] =
    L"Software\\VB and VBA Program Settings\\Quillhaven\\Lumenfold Live Shell Glance Refresher Utility";
constexpr wchar_t kStartupSetting[] = L"Windows Startup";
// How long a program asked to close may take to end, and to answer each message.
constexpr DWORD kCloseWaitMs = 10000;
constexpr UINT kMessageWaitMs = 5000;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

void log(MSIHANDLE install, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(0);
    MsiRecordSetStringW(record, 0, (L"GlanceSetupActions: " + text).c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
}

// A property (or, in a deferred action, CustomActionData); empty when unset.
std::wstring property(MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t probe[1] = L"";
    if (MsiGetPropertyW(install, name, probe, &size) != ERROR_MORE_DATA) return {};
    std::wstring value(++size, L'\0');
    if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return value;
}

// The long form of a path, so that an 8.3 spelling of the same file compares equal.
std::wstring longPath(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return path;
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n);
    }
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The installed program's path, from the resolved INSTALLDIR; empty when unset.
std::wstring installedExe(MSIHANDLE install) {
    std::wstring folder = property(install, L"INSTALLDIR");
    if (folder.empty()) return {};
    if (folder.back() != L'\\') folder += L'\\';
    return longPath(folder + kExeName);
}

// The start-up entry's data; empty when there is none (or it is not a string).
std::wstring stringValue(const wchar_t* key, const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, data.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    data.resize(wcsnlen(data.c_str(), data.size()));
    return data;
}

LSTATUS setStringValue(const wchar_t* key, const wchar_t* name, const std::wstring& data) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, data.c_str(),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

// The program writes its own path in quotes; a bare path is accepted too.
std::wstring unquoted(const std::wstring& command) {
    if (command.size() >= 2 && command.front() == L'"' && command.back() == L'"')
        return command.substr(1, command.size() - 2);
    return command;
}

std::wstring imagePath(HANDLE process) {
    std::vector<wchar_t> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return {};
    return std::wstring(buffer.data(), size);
}

// The processes of this session whose program file is `exe`.
std::vector<UniqueHandle> processesRunning(const std::wstring& exe) {
    std::vector<UniqueHandle> found;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        snapshot.release();
        return found;
    }
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, kExeName, -1, TRUE) != CSTR_EQUAL) continue;
        DWORD processSession = 0;
        if (!ProcessIdToSessionId(entry.th32ProcessID, &processSession) || processSession != session)
            continue;
        UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && samePath(longPath(imagePath(process.get())), exe)) found.push_back(std::move(process));
    }
    return found;
}

// The account a token belongs to, as a SID string; empty when unreadable.
std::wstring tokenUser(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

UniqueHandle processToken(HANDLE process, DWORD access) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, access, &token)) return nullptr;
    return UniqueHandle(token);
}

bool elevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

struct WindowsOf {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM param) {
    auto* target = reinterpret_cast<WindowsOf*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == target->processId) target->windows.push_back(window);
    return TRUE;
}

// Asks a program to end the way Windows' Restart Manager does before an
// installer replaces its files: WM_QUERYENDSESSION with ENDSESSION_CLOSEAPP to
// each of its top-level windows, then WM_ENDSESSION saying whether they all
// agreed. The program treats the end of a session like its close box: it
// leaves the tray and exits.
void askToClose(DWORD processId) {
    WindowsOf target{processId, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&target));
    bool agreed = true;
    for (HWND window : target.windows) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                                kMessageWaitMs, &answer) != 0 &&
            answer == FALSE)
            agreed = false;
    }
    for (HWND window : target.windows) {
        if (!IsWindow(window)) continue;
        SendMessageTimeoutW(window, WM_ENDSESSION, agreed, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                            kMessageWaitMs, nullptr);
    }
}

// An exception never crosses into Windows Installer: a failure is logged and
// the install goes on.
template <typename Action>
UINT guarded(MSIHANDLE install, const wchar_t* name, Action action) noexcept {
    try {
        action();
    } catch (...) {
        try {
            log(install, std::wstring(name) + L" failed");
        } catch (...) {
        }
    }
    return ERROR_SUCCESS;
}

}  // namespace

#define CUSTOM_ACTION extern "C" __declspec(dllexport) UINT __stdcall

// Immediate, before InstallValidate: a copy running from INSTALLDIR would keep
// its files in use. Copies elsewhere (a portable copy) are left alone.
CUSTOM_ACTION CloseRunningCopy(MSIHANDLE install) {
    return guarded(install, L"CloseRunningCopy", [&] {
        const std::wstring exe = installedExe(install);
        if (exe.empty()) return;
        for (const UniqueHandle& process : processesRunning(exe)) {
            const std::wstring id = std::to_wstring(GetProcessId(process.get()));
            const UniqueHandle token = processToken(process.get(), TOKEN_QUERY);
            const std::wstring user = token ? tokenUser(token.get()) : std::wstring();
            log(install, L"asking process " + id + L" (" + exe + L", user " + user + L") to close");
            askToClose(GetProcessId(process.get()));
            if (WaitForSingleObject(process.get(), kCloseWaitMs) != WAIT_OBJECT_0) {
                log(install, L"process " + id + L" is still running; its files stay in use");
                continue;
            }
            log(install, L"process " + id + L" has ended");
            // Only one copy runs per user: the last one closed is the one to start again.
            if (user.empty()) continue;
            MsiSetPropertyW(install, L"ClosedCopyUser", user.c_str());
            MsiSetPropertyW(install, L"ClosedCopyElevated", elevated(token.get()) ? L"1" : L"");
        }
    });
}

// Immediate, on uninstall and upgrade: sets OwnRunValue to the start-up
// entry's data when the entry starts the installed copy, which schedules its
// removal (uninstall) or its keeping (upgrade). The test
// is made here rather than with a RegistrySearch because Wine's AppSearch
// cuts the closing quote off a quoted string value.
CUSTOM_ACTION FindOwnRunValue(MSIHANDLE install) {
    return guarded(install, L"FindOwnRunValue", [&] {
        const std::wstring exe = installedExe(install);
        const std::wstring data = stringValue(kRunKey, kRunValue);
        if (exe.empty() || data.empty()) return;
        if (samePath(longPath(unquoted(data)), exe)) {
            MsiSetPropertyW(install, L"OwnRunValue", data.c_str());
            log(install, L"the start-up entry starts the installed copy");
        } else {
            log(install, L"the start-up entry starts another copy: " + data);
        }
    });
}

// Deferred, on uninstall, scheduled only when FindOwnRunValue found the entry.
CUSTOM_ACTION RemoveRunValue(MSIHANDLE install) {
    return guarded(install, L"RemoveRunValue", [&] {
        const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            log(install, L"start-up entry not removed, error " + std::to_wstring(status));
            return;
        }
        log(install, L"start-up entry removed");
        if (stringValue(kSettingsKey, kStartupSetting) == L"On")
            setStringValue(kSettingsKey, kStartupSetting, L"Off");
    });
}

// Writes the start-up entry (its data is the CustomActionData) and the choice
// that goes with it: the rollback of RemoveRunValue, and the entry's return
// after an upgrade on Windows Installers that remove the older version
// without telling it (Wine's sets no UPGRADINGPRODUCTCODE).
CUSTOM_ACTION WriteRunValue(MSIHANDLE install) {
    return guarded(install, L"WriteRunValue", [&] {
        const std::wstring data = property(install, L"CustomActionData");
        if (data.empty()) return;
        const LSTATUS status = setStringValue(kRunKey, kRunValue, data);
        if (status == ERROR_SUCCESS) setStringValue(kSettingsKey, kStartupSetting, L"On");
        log(install, status == ERROR_SUCCESS
                         ? std::wstring(L"start-up entry written")
                         : L"start-up entry not written, error " + std::to_wstring(status));
    });
}

namespace {

// Starts `exe` with `token` (its owner's environment, the exe's folder as the
// working folder); with no token, as this process's own account. Returns 0,
// or the error that stopped it.
DWORD startAs(HANDLE token, const std::wstring& exe) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring command = L"\"" + exe + L"\"";
    void* environment = nullptr;
    UniqueHandle own = token ? nullptr : processToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE);
    CreateEnvironmentBlock(&environment, token ? token : own.get(), FALSE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    const DWORD flags = environment ? CREATE_UNICODE_ENVIRONMENT : 0;
    BOOL started = FALSE;
    if (token) {
        started = CreateProcessWithTokenW(token, 0, exe.c_str(), command.data(), flags, environment,
                                          folder.c_str(), &startup, &created);
    } else {
        // Out of the installer's job, which may end its processes with it.
        started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                 flags | CREATE_BREAKAWAY_FROM_JOB, environment, folder.c_str(), &startup,
                                 &created) ||
                  CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, flags, environment,
                                 folder.c_str(), &startup, &created);
    }
    const DWORD error = started ? 0 : GetLastError();
    if (environment) DestroyEnvironmentBlock(environment);
    if (!started) return error ? error : ERROR_GEN_FAILURE;
    CloseHandle(created.hThread);
    CloseHandle(created.hProcess);
    return 0;
}

}  // namespace

// Immediate, after InstallFinalize (so only after a successful install,
// upgrade or repair, never on uninstall): starts the installed program again
// when CloseRunningCopy closed it, as the user it ran as and with the rights
// it had. An installer that runs as that user, elevated as the program was
// (or not), starts it itself; otherwise (an installer raised by UAC, or an
// administrator's) it borrows the token of that user's shell.
CUSTOM_ACTION StartClosedCopy(MSIHANDLE install) {
    return guarded(install, L"StartClosedCopy", [&] {
        const std::wstring user = property(install, L"ClosedCopyUser");
        const bool wasElevated = !property(install, L"ClosedCopyElevated").empty();
        const std::wstring exe = installedExe(install);
        if (user.empty() || exe.empty() || GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        const UniqueHandle own = processToken(GetCurrentProcess(), TOKEN_QUERY);
        DWORD error = ERROR_NO_TOKEN;
        if (own && tokenUser(own.get()) == user && elevated(own.get()) == wasElevated) {
            error = startAs(nullptr, exe);
        } else {
            DWORD shellId = 0;
            GetWindowThreadProcessId(GetShellWindow(), &shellId);
            const UniqueHandle shell(shellId ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellId)
                                             : nullptr);
            const UniqueHandle shellToken =
                shell ? processToken(shell.get(), TOKEN_QUERY | TOKEN_DUPLICATE) : nullptr;
            if (!shellToken || tokenUser(shellToken.get()) != user) {
                log(install, L"the program closed for user " + user + L" is not started: no shell of theirs");
                return;
            }
            HANDLE primary = nullptr;
            if (DuplicateTokenEx(shellToken.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                                 TokenPrimary, &primary)) {
                const UniqueHandle owned(primary);
                error = startAs(primary, exe);
            }
        }
        log(install, error == 0 ? L"started " + exe + L" again for user " + user
                                : L"could not start " + exe + L" again, error " + std::to_wstring(error));
    });
}
