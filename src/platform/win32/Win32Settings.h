// The settings in the registry: the program's own, and the administrator's
// (below). The settings store: REG_SZ values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>,
// the conventional place of this store, so settings of earlier versions carry over.
//
// A read creates nothing and never writes; a save creates the keys it needs.
// A store that cannot be opened, read or written throws PlatformError.
//
// What stored data that the program itself never writes reads as:
//   REG_SZ or REG_EXPAND_SZ   the text up to its first NUL (no expansion), so an
//                             embedded NUL cuts the value and an empty value
//                             reads as the empty text
//   any other type            the empty text (REG_DWORD, REG_BINARY, REG_MULTI_SZ...)
//   longer than kMaxValueChars  the empty text; the value is not loaded
// None of these is "On" or "Off" unless the stored string really starts with
// one of them, and none is ever rewritten by the read.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "platform/AdminSettings.h"
#include "platform/SettingsStore.h"

namespace glance::win32 {

inline constexpr const wchar_t* kSettingsRoot = L"Software\\VB and VBA Program Settings";
inline constexpr std::size_t kMaxValueChars = 32767;

// A string value by the rules above: nullopt when the key or the value is
// missing; with type, the value's stored type. Throws PlatformError when the
// key or value cannot be read.
std::optional<std::wstring> readRegistryString(HKEY root, const std::wstring& subkey,
                                               const std::wstring& name, DWORD* type = nullptr);
// Stores a REG_SZ value, creating the key and its parents as needed.
void writeRegistryString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                         const std::wstring& value);
// Deletes a value; a missing key or value is not an error.
void deleteRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name);

class Win32Settings : public SettingsStore {
public:
    std::string read(const std::string& application, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;
};

// The administrator's settings in the registry: the program's Group Policy
// key under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, and its value in the
// machine's Run key (both registry views: a 64-bit or a 32-bit installer may
// have written it, and Windows starts both at logon); and a number of the
// user's own under the program's settings key.
class Win32AdminSettings : public AdminSettings {
public:
    std::optional<PolicyData> policy(PolicyScope scope, std::string_view name) override;
    bool machineStartupEntry(std::string_view name) override;
    std::optional<PolicyData> usersOwnNumber(std::string_view name) override;
};

}  // namespace glance::win32
