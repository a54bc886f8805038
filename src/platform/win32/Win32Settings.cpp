#include "platform/win32/Win32Settings.h"

#include <vector>

#include "core/Error.h"
#include "core/PolicyNames.h"
#include "core/Product.h"
#include "core/Unicode.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

[[noreturn]] void fail(LSTATUS status) {
    throw PlatformError(systemErrorCode(static_cast<DWORD>(status)));
}

// The key of one application's section. An empty name would address the
// parent key instead, so it is an invalid argument.
std::wstring sectionKey(const std::string& application, const std::string& section) {
    if (application.empty() || section.empty()) throw PlatformError(errtext::kInvalidCall);
    return std::wstring(kSettingsRoot) + L'\\' + widenUtf8(application) + L'\\' + widenUtf8(section);
}

}  // namespace

std::optional<std::wstring> readRegistryString(HKEY root, const std::wstring& subkey,
                                               const std::wstring& name, DWORD* storedType) {
    UniqueHkey key;
    LSTATUS status = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS) fail(status);

    // The value may change between asking its size and reading it; a few
    // rounds settle that, and a value that keeps growing reads as too long.
    for (int round = 0; round < 4; ++round) {
        DWORD type = REG_NONE;
        DWORD bytes = 0;
        status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &bytes);
        if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (status != ERROR_SUCCESS) fail(status);
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::wstring();
        if (bytes > kMaxValueChars * sizeof(wchar_t)) return std::wstring();

        // One spare character so that an odd byte count or a missing NUL
        // still leaves a terminated text.
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
        DWORD read = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_MORE_DATA) continue;
        if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (status != ERROR_SUCCESS) fail(status);
        const bool isText = type == REG_SZ || type == REG_EXPAND_SZ;
        if (isText && storedType != nullptr) *storedType = type;
        const std::u16string text = storedValueText(
            isText, std::string_view(reinterpret_cast<const char*>(buffer.data()), read), kMaxValueChars);
        return std::wstring(text.begin(), text.end());
    }
    return std::wstring();
}

void writeRegistryString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                         const std::wstring& value) {
    UniqueHkey key;
    LSTATUS status = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                     nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) fail(status);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes);
    if (status != ERROR_SUCCESS) fail(status);
}

void deleteRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name) {
    UniqueHkey key;
    LSTATUS status = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_SET_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return;
    if (status != ERROR_SUCCESS) fail(status);
    status = RegDeleteValueW(key.get(), name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) fail(status);
}

std::string Win32Settings::read(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& fallback) {
    const auto value =
        readRegistryString(HKEY_CURRENT_USER, sectionKey(application, section), widenUtf8(key));
    return value ? narrowToUtf8(*value) : fallback;
}

void Win32Settings::save(const std::string& application, const std::string& section, const std::string& key,
                         const std::string& value) {
    writeRegistryString(HKEY_CURRENT_USER, sectionKey(application, section), widenUtf8(key),
                        widenUtf8(value));
}

// --- the administrator's settings

namespace {

// A value as policy data; nullopt when the key or the value is missing. A
// value too long for a number is there all the same, as other data. Throws
// when the key or the value cannot be read.
std::optional<PolicyData> readValue(HKEY root, const std::wstring& path, std::string_view name, REGSAM view) {
    UniqueHkey key;
    DWORD type = REG_NONE, number = 0, bytes = sizeof(number);
    LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put());
    if (status == ERROR_SUCCESS)
        status = RegGetValueW(key.get(), nullptr, widenUtf8(name).c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                              &number, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status == ERROR_MORE_DATA) return PolicyData{false, number};
    if (status != ERROR_SUCCESS) fail(status);
    return PolicyData{type == REG_DWORD && bytes == sizeof(number), number};
}

}  // namespace

std::optional<PolicyData> Win32AdminSettings::policy(PolicyScope scope, std::string_view name) {
    return readValue(scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                     widenUtf8(kPolicyKey), name, 0);
}

bool Win32AdminSettings::machineStartupEntry(std::string_view name) {
    return readValue(HKEY_LOCAL_MACHINE, kRunKeyPath, name, KEY_WOW64_64KEY) ||
           readValue(HKEY_LOCAL_MACHINE, kRunKeyPath, name, KEY_WOW64_32KEY);
}

std::optional<PolicyData> Win32AdminSettings::usersOwnNumber(std::string_view name) {
    return readValue(HKEY_CURRENT_USER, sectionKey(kSettingsApplication, kProductName), name, 0);
}

}  // namespace glance::win32
