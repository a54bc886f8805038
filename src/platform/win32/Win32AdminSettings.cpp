#include "platform/win32/Win32AdminSettings.h"

#include <windows.h>

#include "core/Error.h"
#include "core/PolicyNames.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

// The key, or null when it is not there. Throws when it cannot be opened.
UniqueHkey openKey(HKEY root, const std::wstring& path, REGSAM view) {
    UniqueHkey key;
    const LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw PlatformError(systemErrorCode(static_cast<DWORD>(status)));
    return key;
}

}  // namespace

std::optional<PolicyData> Win32AdminSettings::policy(PolicyScope scope, const std::string& name) {
    const UniqueHkey key = openKey(scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                   widenUtf8(kPolicyKey), 0);
    if (!key) return std::nullopt;
    DWORD type = REG_NONE;
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    const LSTATUS status = RegQueryValueExW(key.get(), widenUtf8(name).c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(&number), &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    // A value too long for a number is bad data, not a failure to read.
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
        throw PlatformError(systemErrorCode(static_cast<DWORD>(status)));
    if (status == ERROR_SUCCESS && type == REG_DWORD && bytes == sizeof(number))
        return PolicyData{true, number};
    return PolicyData{};
}

bool Win32AdminSettings::machineStartupEntry(const std::string& name) {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const UniqueHkey key = openKey(HKEY_LOCAL_MACHINE, kRunKeyPath, view);
        if (key && RegQueryValueExW(key.get(), widenUtf8(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
                       ERROR_SUCCESS)
            return true;
    }
    return false;
}

}  // namespace glance::win32
