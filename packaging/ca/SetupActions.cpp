// Custom actions of the GlanceRefresher installers (GlanceSetupActions.dll,
// carried in the MSI's Binary table and never installed): closing every copy
// of the program that runs from the install folder, in every session, before
// its files change, starting each again in its session once the new files are
// in place, and taking the program's start-up entry away when it is
// uninstalled, if that entry starts the installed copy.
//
// Windows' Restart Manager does the closing and restarting first where it
// acts (the program registers for restart); these actions are the fallback
// where it does not (it is switched off, or Wine's msiexec). wixl has no WiX
// extensions, so they also stand in for a RemoveRegistryValue that acts on
// uninstall (Windows Installer's own RemoveRegistry table only acts on
// install). Every action logs what it did and returns success: none of them
// is worth failing an install or an uninstall for.
#include <windows.h>
// windows.h first: the installer headers use its types.
#include <aclapi.h>
#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <string>
#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32CloseRequest.h"

using glance::win32::UniqueHkey;
using glance::win32::UniqueKernelHandle;

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
// Where the closing action notes each copy it closed, for the action that
// starts them again after the files are in place: a volatile key (never
// written to disk, gone at the next boot at the latest) in the hive of the
// account the actions run as (SYSTEM for the per-machine package, where no
// user can write it; the user for the per-user one), apart from the
// product's own keys, which an uninstall removes. One value per session:
// "<time closed> <user's SID>". The starting action deletes it; after an
// uninstall it stays, and the next install ignores what is older than itself.
constexpr wchar_t kClosedCopiesKey[] = L"Software\\Quillhaven.GlanceRefresher.ClosedCopies";

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

// A string value's data (an expandable one expanded); empty when there is
// none (or it is not a string).
std::wstring stringValue(const wchar_t* key, const wchar_t* name, HKEY root = HKEY_CURRENT_USER) {
    DWORD size = 0;
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, data.data(), &size) != ERROR_SUCCESS) return {};
    data.resize(wcsnlen(data.c_str(), data.size()));
    return data;
}

LSTATUS setStringValue(const wchar_t* key, const wchar_t* name, const std::wstring& data,
                       HKEY root = HKEY_CURRENT_USER) {
    return RegSetKeyValueW(root, key, name, REG_SZ, data.c_str(),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

// What a Windows error code means, for the log.
std::wstring errorText(DWORD error) {
    wchar_t* text = nullptr;
    std::wstring said = L"error " + std::to_wstring(error);
    if (FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) != 0) {
        said += L" (" + std::wstring(text);
        while (!said.empty() && (said.back() == L'\n' || said.back() == L'\r' || said.back() == L' '))
            said.pop_back();
        said += L")";
    }
    LocalFree(text);
    return said;
}

// Enables a privilege of this process's token; false when the token does
// not hold it (the action then says what it could not do, and why).
bool enablePrivilege(const wchar_t* name) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
    const UniqueKernelHandle token(raw);
    TOKEN_PRIVILEGES privileges{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    return LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) &&
           AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
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

std::wstring number(unsigned long long value) {
    return std::to_wstring(value);
}

// Now, in 100-nanosecond units since 1601: how the closing and the starting
// action agree on which closes belong to this install.
unsigned long long now() {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct RunningCopy {
    UniqueKernelHandle process;
    DWORD id;
    DWORD session;
};

// The sessions that exist now (WTSEnumerateSessions); empty when they
// cannot be listed, and then every session counts.
std::vector<DWORD> sessions() {
    std::vector<DWORD> ids;
    WTS_SESSION_INFOW* list = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) return ids;
    for (DWORD i = 0; i < count; ++i) ids.push_back(list[i].SessionId);
    WTSFreeMemory(list);
    return ids;
}

// The copies, in any session, whose program file is `exe`; with `session`,
// only that session's.
std::vector<RunningCopy> copiesRunning(const std::wstring& exe, const DWORD* session = nullptr) {
    std::vector<RunningCopy> found;
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        snapshot.release();
        return found;
    }
    const std::vector<DWORD> known = sessions();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, kExeName, -1, TRUE) != CSTR_EQUAL) continue;
        DWORD processSession = 0;
        if (!ProcessIdToSessionId(entry.th32ProcessID, &processSession)) continue;
        if (session != nullptr && processSession != *session) continue;
        bool listed = known.empty();
        for (DWORD id : known) listed = listed || id == processSession;
        if (!listed) continue;
        UniqueKernelHandle process(OpenProcess(
            PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (!process)
            process.reset(
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && samePath(longPath(imagePath(process.get())), exe))
            found.push_back({std::move(process), entry.th32ProcessID, processSession});
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

UniqueKernelHandle processToken(HANDLE process, DWORD access) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, access, &token)) return UniqueKernelHandle();
    return UniqueKernelHandle(token);
}

// True unless the token is known to be an ordinary (unelevated) one: a
// token whose elevation cannot be read is treated as elevated.
bool elevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return !GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) ||
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

// What Restart Manager sends before an installer replaces a program's files:
// WM_QUERYENDSESSION with ENDSESSION_CLOSEAPP to each of its top-level
// windows, then WM_ENDSESSION saying whether they all agreed. Reaches only
// the windows of this desktop: the fallback for a copy too old to listen for
// the close request.
void sendEndSession(DWORD processId) {
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

// True when a kernel object's owner is `user`, the administrators (an
// elevated copy's objects are theirs) or SYSTEM: not another user's.
bool ownedBy(HANDLE object, const std::wstring& user) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    wchar_t* text = nullptr;
    const bool ours =
        ConvertSidToStringSidW(owner, &text) &&
        (user == text || lstrcmpW(text, L"S-1-5-32-544") == 0 || lstrcmpW(text, L"S-1-5-18") == 0);
    LocalFree(text);
    LocalFree(descriptor);
    return ours;
}

// The copy's close request: the event whose name the copy published in its
// user's hive, which only that user, the administrators and SYSTEM can
// write; or, for a copy of an earlier version, the event named after its
// process id alone, when no other user made it. Invalid when there is none.
UniqueKernelHandle closeRequest(const RunningCopy& copy, const std::wstring& user) {
    using namespace glance::win32;
    const std::wstring notes = user + L"\\" + kCloseRequestsKey;
    std::wstring random = stringValue(notes.c_str(), number(copy.id).c_str(), HKEY_USERS);
    if (random.empty()) {
        const UniqueKernelHandle own = processToken(GetCurrentProcess(), TOKEN_QUERY);
        if (own && tokenUser(own.get()) == user)
            random = stringValue(kCloseRequestsKey, number(copy.id).c_str());
    }
    bool wellFormed = random.size() == kCloseRequestRandomDigits;
    for (wchar_t c : random)
        wellFormed = wellFormed && ((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'));
    CloseRequestName name;
    if (wellFormed)
        return UniqueKernelHandle(
            OpenEventW(EVENT_MODIFY_STATE, FALSE, closeRequestName(copy.id, name, random.c_str())));
    UniqueKernelHandle earlier(
        OpenEventW(EVENT_MODIFY_STATE | READ_CONTROL, FALSE, closeRequestName(copy.id, name)));
    if (earlier && !ownedBy(earlier.get(), user)) earlier.reset();
    return earlier;
}

// How long after its start a copy may not listen yet: its close request is
// made once its window is up. Such a copy is given this long before the
// end-session messages are sent instead.
constexpr ULONGLONG kYoungCopyMs = 30000;
constexpr DWORD kListenWaitMs = 5000;

ULONGLONG ageMs(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return ~0ull;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return ticks(now) > ticks(created) ? (ticks(now) - ticks(created)) / 10000 : 0;
}

// Asks a copy to close as its close box does: through its close request,
// which reaches any session and a copy run elevated, or else through the
// end-session messages. True when it has ended.
bool askToClose(MSIHANDLE install, const RunningCopy& copy, const std::wstring& user) {
    UniqueKernelHandle request = closeRequest(copy, user);
    if (!request && ageMs(copy.process.get()) < kYoungCopyMs) {
        const ULONGLONG until = GetTickCount64() + kListenWaitMs;
        while (!request && GetTickCount64() < until &&
               WaitForSingleObject(copy.process.get(), 100) == WAIT_TIMEOUT)
            request = closeRequest(copy, user);
    }
    if (request) {
        SetEvent(request.get());
    } else {
        log(install,
            L"process " + number(copy.id) + L" has no close request; sending the end-session messages");
        sendEndSession(copy.id);
    }
    if (WaitForSingleObject(copy.process.get(), kCloseWaitMs) == WAIT_OBJECT_0) return true;
    // A copy that did not end would keep its files in use and have Windows
    // ask for a reboot; it holds nothing unsaved (its settings are written as
    // they change), so it is ended.
    log(install, L"process " + number(copy.id) + L" did not close in time; ending it");
    return TerminateProcess(copy.process.get(), 0) &&
           WaitForSingleObject(copy.process.get(), kCloseWaitMs) == WAIT_OBJECT_0;
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

// Immediate, before the script: what the deferred actions below need, as
// their CustomActionData: the installed exe to close (and whose start-up
// entries go), and, for the actions that start the closed copies again, the
// time this install began with it, so that a copy closed by an earlier
// uninstall is never started.
CUSTOM_ACTION PrepareCloseAndRestart(MSIHANDLE install) {
    return guarded(install, L"PrepareCloseAndRestart", [&] {
        const std::wstring exe = installedExe(install);
        if (exe.empty()) return;
        MsiSetPropertyW(install, L"CloseRunningCopies", exe.c_str());
        const std::wstring restart = number(now()) + L" " + exe;
        // An administrator's "close without starting again" holds for this
        // fallback too, but for the rollback of a failed install.
        if (property(install, L"MSIDISABLERMRESTART") != L"1")
            MsiSetPropertyW(install, L"StartClosedCopies", restart.c_str());
        MsiSetPropertyW(install, L"StartCopiesClosedBeforeFailure", restart.c_str());
        MsiSetPropertyW(install, L"RemoveEveryUsersRunValue", exe.c_str());
    });
}

// Deferred, without impersonation, before any file changes (install,
// upgrade, repair, uninstall): closes every copy of the installed exe, in
// every session, and notes each one closed with its session and user.
// Copies elsewhere (a portable copy) are left alone.
CUSTOM_ACTION CloseRunningCopies(MSIHANDLE install) {
    return guarded(install, L"CloseRunningCopies", [&] {
        const std::wstring exe = property(install, L"CustomActionData");
        if (exe.empty()) return;
        for (const RunningCopy& copy : copiesRunning(exe)) {
            const UniqueKernelHandle token = processToken(copy.process.get(), TOKEN_QUERY);
            const std::wstring user = token ? tokenUser(token.get()) : std::wstring();
            log(install, L"asking process " + number(copy.id) + L" (session " + number(copy.session) +
                             L", user " + user + L") to close");
            if (!askToClose(install, copy, user)) {
                log(install, L"process " + number(copy.id) + L" is still running; its files stay in use");
                continue;
            }
            log(install, L"process " + number(copy.id) + L" has ended");
            if (user.empty()) continue;
            HKEY raw = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, kClosedCopiesKey, 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS)
                continue;
            const UniqueHkey key(raw);
            const std::wstring note = number(now()) + L" " + user;
            RegSetValueExW(key.get(), number(copy.session).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(note.c_str()),
                           static_cast<DWORD>((note.size() + 1) * sizeof(wchar_t)));
        }
    });
}

namespace {

// A primary token of `user`, logged on in `session`, that is not elevated;
// invalid when there is none. The session's own token comes first
// (WTSQueryUserToken, which only SYSTEM may call); an administrator's
// elevated token gives way to its linked, ordinary one. Without that right
// (the per-user package, run by the user), the installer's own token in its
// own session, or that session's shell's. Never a token that is elevated:
// the program may run from a folder its user can write, and must never run
// a file put there with more rights than that user has.
UniqueKernelHandle ordinaryToken(DWORD session, const std::wstring& user) {
    UniqueKernelHandle token;
    HANDLE raw = nullptr;
    if (WTSQueryUserToken(session, &raw)) {
        token.reset(raw);
        TOKEN_LINKED_TOKEN linked{};
        DWORD size = 0;
        if (elevated(token.get()) &&
            GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof linked, &size))
            token.reset(linked.LinkedToken);
    } else {
        DWORD own = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &own);
        if (own != session) return UniqueKernelHandle();
        token = processToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE);
        if (token && elevated(token.get())) {
            DWORD shellId = 0;
            GetWindowThreadProcessId(GetShellWindow(), &shellId);
            const UniqueKernelHandle shell(
                shellId ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellId) : nullptr);
            token = shell ? processToken(shell.get(), TOKEN_QUERY | TOKEN_DUPLICATE) : UniqueKernelHandle();
        }
    }
    if (!token || tokenUser(token.get()) != user || elevated(token.get())) return UniqueKernelHandle();
    HANDLE primary = nullptr;
    if (!DuplicateTokenEx(token.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                          &primary))
        return UniqueKernelHandle();
    return UniqueKernelHandle(primary);
}

// Starts `exe` as the token's user in `session`, with the user's own
// environment (never the installer's, which may be SYSTEM's) and the exe's
// folder as the working folder: on the session's interactive desktop when it
// is another session than the installer's (the installer's own desktop there
// is session 0's, which nobody sees), or else on the installer's desktop,
// which is the one its user sees. Returns 0, or the error that stopped it.
DWORD startAs(HANDLE token, DWORD session, const std::wstring& exe) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring command = L"\"" + exe + L"\"";
    void* environment = nullptr;
    if (!CreateEnvironmentBlock(&environment, token, FALSE))
        return GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    wchar_t desktop[] = L"winsta0\\default";
    DWORD own = session;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &own) && own != session) startup.lpDesktop = desktop;
    PROCESS_INFORMATION created{};
    // The installer's own user, unelevated, in its own session (the per-user
    // package, the offer at the end of an interactive install): an ordinary
    // start, which takes no privilege that a standard user lacks.
    const UniqueKernelHandle mine = processToken(GetCurrentProcess(), TOKEN_QUERY);
    const bool plain =
        mine && own == session && !elevated(mine.get()) && tokenUser(mine.get()) == tokenUser(token);
    const auto create = [&](DWORD flags) {
        flags |= CREATE_UNICODE_ENVIRONMENT;
        return plain ? CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, flags,
                                      environment, folder.c_str(), &startup, &created)
                     : CreateProcessAsUserW(token, exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                            flags, environment, folder.c_str(), &startup, &created);
    };
    // Out of the installer's job, which may end its processes with it.
    BOOL started = create(CREATE_BREAKAWAY_FROM_JOB) || create(0);
    // Without the right to assign a token, a token of the user's shell may
    // still be started with CreateProcessWithTokenW.
    if (!started && GetLastError() == ERROR_PRIVILEGE_NOT_HELD)
        started = CreateProcessWithTokenW(token, 0, exe.c_str(), command.data(), CREATE_UNICODE_ENVIRONMENT,
                                          environment, folder.c_str(), &startup, &created);
    const DWORD error = started ? 0 : GetLastError();
    DestroyEnvironmentBlock(environment);
    if (!started) return error ? error : ERROR_GEN_FAILURE;
    CloseHandle(created.hThread);
    CloseHandle(created.hProcess);
    return 0;
}

// The privileges that starting a copy as another user takes: reading a
// session's token (SYSTEM's SeTcbPrivilege) and giving a process a token.
// Those the installer's token lacks are named in the log, once per action.
void enableStartPrivileges(MSIHANDLE install) {
    std::wstring missing;
    for (const wchar_t* name :
         {L"SeTcbPrivilege", L"SeAssignPrimaryTokenPrivilege", L"SeIncreaseQuotaPrivilege"})
        if (!enablePrivilege(name)) missing += std::wstring(missing.empty() ? L"" : L", ") + name;
    if (!missing.empty())
        log(install, L"without " + missing + L": a copy of another session or user cannot be started again");
}

}  // namespace

// Deferred, at the end of the script of an install, upgrade or repair (never
// an uninstall), and as the rollback of the closing for any of them that
// fails: starts the exe again in each session where this install closed a
// copy, as that copy's user with an ordinary token. Deferred rather than a
// commit action, which would not run where rollback is disabled. Not where a
// copy runs again already (Restart Manager restarted it, or the user did);
// not for a copy closed before this install began.
CUSTOM_ACTION StartClosedCopies(MSIHANDLE install) {
    return guarded(install, L"StartClosedCopies", [&] {
        const std::wstring data = property(install, L"CustomActionData");
        const size_t space = data.find(L' ');
        if (space == std::wstring::npos) return;
        const unsigned long long since = wcstoull(data.c_str(), nullptr, 10);
        const std::wstring exe = data.substr(space + 1);
        HKEY raw = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kClosedCopiesKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
            return;
        UniqueHkey key(raw);
        std::vector<std::pair<std::wstring, std::wstring>> notes;
        for (DWORD i = 0;; ++i) {
            wchar_t name[16];
            wchar_t note[256];
            DWORD nameSize = 16;
            DWORD noteSize = sizeof note - sizeof(wchar_t);
            DWORD type = 0;
            const LSTATUS status = RegEnumValueW(key.get(), i, name, &nameSize, nullptr, &type,
                                                 reinterpret_cast<BYTE*>(note), &noteSize);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS || type != REG_SZ) continue;
            note[noteSize / sizeof(wchar_t)] = L'\0';
            notes.emplace_back(name, note);
        }
        key.reset();
        RegDeleteKeyW(HKEY_CURRENT_USER, kClosedCopiesKey);
        bool privileged = false;
        for (const auto& [name, note] : notes) {
            const size_t gap = note.find(L' ');
            if (gap == std::wstring::npos || wcstoull(note.c_str(), nullptr, 10) < since) continue;
            const DWORD session = static_cast<DWORD>(wcstoul(name.c_str(), nullptr, 10));
            const std::wstring user = note.substr(gap + 1);
            if (!copiesRunning(exe, &session).empty()) {
                log(install, L"a copy runs again in session " + name + L": not started twice");
                continue;
            }
            if (!privileged) enableStartPrivileges(install);
            privileged = true;
            const UniqueKernelHandle token = ordinaryToken(session, user);
            const DWORD error = token ? startAs(token.get(), session, exe) : ERROR_NO_TOKEN;
            log(install, error == 0 ? L"started " + exe + L" again in session " + name + L" for user " + user
                                    : L"could not start " + exe + L" again in session " + name +
                                          L" for user " + user + L": " +
                                          (token ? errorText(error)
                                                 : L"no ordinary token of that user in that session"));
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

// Removes a user's start-up entry (under `root`, that user's hive) and makes
// the stored choice agree; `who` names the user in the log.
void removeRunValue(MSIHANDLE install, HKEY root, const std::wstring& who) {
    const LSTATUS status = RegDeleteKeyValueW(root, kRunKey, kRunValue);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        log(install, who + L"'s start-up entry not removed: " + errorText(static_cast<DWORD>(status)));
        return;
    }
    log(install, who + L"'s start-up entry removed");
    if (stringValue(kSettingsKey, kStartupSetting, root) == L"On")
        setStringValue(kSettingsKey, kStartupSetting, L"Off", root);
}

// Deferred, on uninstall, scheduled only when FindOwnRunValue found the entry.
CUSTOM_ACTION RemoveRunValue(MSIHANDLE install) {
    return guarded(install, L"RemoveRunValue",
                   [&] { removeRunValue(install, HKEY_CURRENT_USER, L"the user"); });
}

// Deferred, without impersonation, on the per-machine package's uninstall,
// which a deployment tool runs as SYSTEM: removes the start-up entry of every
// user whose entry starts the installed copy (it would point at a deleted
// file at each of their logons). The hives loaded now are changed in place;
// every other profile's is loaded for the purpose (with the backup and
// restore privileges, which SYSTEM and the administrators hold) and
// unloaded again, so that a user who logs on later has none either.
CUSTOM_ACTION RemoveEveryUsersRunValue(MSIHANDLE install) {
    return guarded(install, L"RemoveEveryUsersRunValue", [&] {
        const std::wstring exe = property(install, L"CustomActionData");
        if (exe.empty()) return;
        const bool canLoad = enablePrivilege(L"SeBackupPrivilege") && enablePrivilege(L"SeRestorePrivilege");
        HKEY raw = nullptr;
        // The 64-bit view on 64-bit Windows (this DLL is 32-bit), where the list is.
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                          0, KEY_READ | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS)
            return;
        const UniqueHkey profiles(raw);
        for (DWORD i = 0;; ++i) {
            wchar_t sid[256];
            DWORD size = 256;
            const LSTATUS status =
                RegEnumKeyExW(profiles.get(), i, sid, &size, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            // Only people's accounts (S-1-5-21-...), not the services'.
            if (status != ERROR_SUCCESS || wcsncmp(sid, L"S-1-5-21-", 9) != 0) continue;
            std::wstring mounted;
            raw = nullptr;
            if (RegOpenKeyExW(HKEY_USERS, sid, 0, KEY_READ | KEY_WRITE, &raw) != ERROR_SUCCESS) {
                const std::wstring folder = stringValue(sid, L"ProfileImagePath", profiles.get());
                const std::wstring name = std::wstring(L"GlanceRefresher.") + sid;
                if (!canLoad || folder.empty() ||
                    RegLoadKeyW(HKEY_USERS, name.c_str(), (folder + L"\\NTUSER.DAT").c_str()) !=
                        ERROR_SUCCESS) {
                    log(install,
                        std::wstring(L"the profile of ") + sid + L" could not be loaded; its entry stays");
                    continue;
                }
                mounted = name;
                if (RegOpenKeyExW(HKEY_USERS, name.c_str(), 0, KEY_READ | KEY_WRITE, &raw) != ERROR_SUCCESS)
                    raw = nullptr;
            }
            {
                const UniqueHkey hive(raw);
                const std::wstring data = hive ? stringValue(kRunKey, kRunValue, hive.get()) : std::wstring();
                if (!data.empty() && samePath(longPath(unquoted(data)), exe))
                    removeRunValue(install, hive.get(), sid);
            }
            if (!mounted.empty()) RegUnLoadKeyW(HKEY_USERS, mounted.c_str());
        }
    });
}

// True when ordinary users (Everyone, Authenticated Users, Users, the
// interactive logon) may add or change files in `folder`, or, while it does
// not exist yet, in the folder it will be made in (whose rights a new folder
// inherits).
bool usersMayChange(std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    while (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const size_t cut = folder.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut < 2) return false;
        folder.resize(cut == 2 ? 3 : cut);
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool writable = dacl == nullptr;  // no DACL: everyone may do anything
    for (const wchar_t* group : {L"S-1-1-0", L"S-1-5-11", L"S-1-5-32-545", L"S-1-5-4"}) {
        PSID sid = nullptr;
        if (writable || !ConvertStringSidToSidW(group, &sid)) continue;
        TRUSTEE_W trustee{};
        BuildTrusteeWithSidW(&trustee, sid);
        ACCESS_MASK rights = 0;
        writable = GetEffectiveRightsFromAclW(dacl, &trustee, &rights) == ERROR_SUCCESS &&
                   (rights & (FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE)) != 0;
        LocalFree(sid);
    }
    LocalFree(descriptor);
    return writable;
}

// Immediate, in the per-machine package's install: the program in
// INSTALLDIR is started in every user's session, so a folder that ordinary
// users can change would let one of them run code as every other. Warns (in
// the log; in a box when interactive) and goes on.
CUSTOM_ACTION CheckInstallFolder(MSIHANDLE install) {
    return guarded(install, L"CheckInstallFolder", [&] {
        const std::wstring folder = property(install, L"INSTALLDIR");
        if (folder.empty() || !usersMayChange(folder)) return;
        PMSIHANDLE record = MsiCreateRecord(0);
        MsiRecordSetStringW(
            record, 0,
            (L"Warning: ordinary users can change files in " + folder +
             L" (or in the folder it is made in). The program there starts in every user's session: "
             L"install it into a folder that only administrators can change, such as Program Files.")
                .c_str());
        MsiProcessMessage(
            install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_WARNING | MB_OK | MB_ICONWARNING), record);
    });
}

// Immediate, in the interactive install's own sequence only (after the
// install has succeeded; a silent or basic-UI install never runs it): offers
// to start the installed program, as its user with an ordinary token, unless
// a copy runs already (the install started a closed one again).
CUSTOM_ACTION OfferToStart(MSIHANDLE install) {
    return guarded(install, L"OfferToStart", [&] {
        const std::wstring exe = installedExe(install);
        if (exe.empty() || GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES ||
            !copiesRunning(exe).empty())
            return;
        PMSIHANDLE record = MsiCreateRecord(0);
        MsiRecordSetStringW(
            record, 0,
            L"Lumenfold Live Shell Glance Refresher Utility is installed. It keeps the icons on your "
            L"desktop up to date from its icon in the notification area.\n\nStart it now?");
        if (MsiProcessMessage(install,
                              static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER | MB_YESNO | MB_ICONQUESTION),
                              record) != IDYES)
            return;
        DWORD session = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        const UniqueKernelHandle own = processToken(GetCurrentProcess(), TOKEN_QUERY);
        const UniqueKernelHandle token =
            own ? ordinaryToken(session, tokenUser(own.get())) : UniqueKernelHandle();
        const DWORD error = token ? startAs(token.get(), session, exe) : ERROR_NO_TOKEN;
        log(install, error == 0 ? L"started " + exe : L"could not start " + exe + L": " + errorText(error));
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
