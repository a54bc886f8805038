#include "platform/win32/Win32AdminSettings.h"

#include <windows.h>

#include "core/Error.h"
#include "core/PolicyNames.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

// Reads a value into number; false when the key or the value is missing.
// A value too long for the room is there all the same. Throws when the key
// or the value cannot be read.
bool readValue(HKEY root, const std::wstring& path, std::string_view name, REGSAM view, DWORD& type,
               DWORD& number, DWORD& bytes) {
    UniqueHkey key;
    LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put());
    bytes = sizeof(number);
    if (status == ERROR_SUCCESS)
        status = RegGetValueW(key.get(), nullptr, widenUtf8(name).c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                              &number, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
        throw PlatformError(systemErrorCode(static_cast<DWORD>(status)));
    if (status == ERROR_MORE_DATA) bytes = 0;
    return true;
}

}  // namespace

std::optional<PolicyData> Win32AdminSettings::policy(PolicyScope scope, std::string_view name) {
    DWORD type = REG_NONE, number = 0, bytes = 0;
    if (!readValue(scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                   widenUtf8(kPolicyKey), name, 0, type, number, bytes))
        return std::nullopt;
    return PolicyData{type == REG_DWORD && bytes == sizeof(number), number};
}

bool Win32AdminSettings::machineStartupEntry(std::string_view name) {
    DWORD type = REG_NONE, number = 0, bytes = 0;
    return readValue(HKEY_LOCAL_MACHINE, kRunKeyPath, name, KEY_WOW64_64KEY, type, number, bytes) ||
           readValue(HKEY_LOCAL_MACHINE, kRunKeyPath, name, KEY_WOW64_32KEY, type, number, bytes);
}

}  // namespace glance::win32
