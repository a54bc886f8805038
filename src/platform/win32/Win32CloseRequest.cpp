#include "platform/win32/Win32CloseRequest.h"

#include <sddl.h>

#include <vector>

#include "platform/win32/Win32Loop.h"

namespace glance::win32 {

namespace {

// The SID of the account this process runs as, as text; empty when unreadable.
std::wstring ownUserSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

}  // namespace

Win32CloseRequest::Win32CloseRequest(Win32WakeHandles& wakes, std::function<void()> onRequested)
    : wakes_(wakes) {
    // SYSTEM and the administrators (an installer run by Windows Installer's
    // service or by an administrator), and this user with the right to set it
    // only: the user's own installer, unelevated, must reach a copy run
    // elevated, whose default DACL would leave the user out. Labelled medium,
    // so that a process of lower integrity cannot set it.
    const std::wstring sid = ownUserSid();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!sid.empty()) {
        const std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100002;;;" + sid + L")S:(ML;;NW;;;ME)";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                  nullptr))
            descriptor = nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    event_.reset(CreateEventW(descriptor ? &attributes : nullptr, TRUE, FALSE,
                              closeRequestName(GetCurrentProcessId()).c_str()));
    if (descriptor) LocalFree(descriptor);
    // A name someone made before this copy started is not ours to listen on.
    if (event_ && GetLastError() == ERROR_ALREADY_EXISTS) event_.reset();
    if (event_) wakes_.addRequest(event_.get(), std::move(onRequested));
}

Win32CloseRequest::~Win32CloseRequest() {
    if (event_) wakes_.remove(event_.get());
}

}  // namespace glance::win32
