#include "platform/win32/Win32CloseRequest.h"

#include <ntsecapi.h>
#include <sddl.h>

#include "platform/win32/Win32Loop.h"

namespace glance::win32 {

Win32CloseRequest::Win32CloseRequest(Win32WakeHandles& wakes, HWND window) : wakes_(wakes) {
    // SYSTEM and the administrators (an installer run by Windows Installer's
    // service or by an administrator), and this user with the right to set it
    // only: the user's own installer, unelevated, must reach a copy run
    // elevated, whose default DACL would leave the user out. Labelled medium,
    // so that a process of lower integrity cannot set it.
    wchar_t* sid = nullptr;
    HANDLE raw = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        const UniqueKernelHandle token(raw);
        alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size))
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
    }
    wchar_t sddl[320] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100002;;;";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sid != nullptr && lstrlenW(sid) < 200) {
        lstrcatW(lstrcatW(sddl, sid), L")S:(ML;;NW;;;ME)");
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                  nullptr))
            descriptor = nullptr;
    }
    LocalFree(sid);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    BYTE bytes[kCloseRequestRandomDigits / 2];
    wchar_t random[kCloseRequestRandomDigits + 1] = L"";
    if (RtlGenRandom(bytes, sizeof bytes))
        for (int i = 0; i < kCloseRequestRandomDigits; ++i)
            random[i] = L"0123456789abcdef"[(bytes[i / 2] >> (i % 2 ? 0 : 4)) & 0xF];
    const DWORD id = GetCurrentProcessId();
    CloseRequestName name;
    if (random[0] != L'\0')
        event_.reset(CreateEventW(descriptor ? &attributes : nullptr, TRUE, FALSE,
                                  closeRequestName(id, name, random)));
    LocalFree(descriptor);
    // A name that exists already is someone else's, however unlikely.
    if (event_ && GetLastError() == ERROR_ALREADY_EXISTS) event_.reset();
    HKEY key = nullptr;
    wchar_t value[16];
    wsprintfW(value, L"%lu", id);
    if (event_ && RegCreateKeyExW(HKEY_CURRENT_USER, kCloseRequestsKey, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const UniqueHkey notes(key);
        if (RegSetValueExW(notes.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(random),
                           sizeof random) != ERROR_SUCCESS)
            event_.reset();
    } else {
        event_.reset();
    }
    if (event_) wakes_.addRequest(event_.get(), window, WM_CLOSE);
}

Win32CloseRequest::~Win32CloseRequest() {
    if (event_) wakes_.remove(event_.get());
}

}  // namespace glance::win32
