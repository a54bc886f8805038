// The administrator's settings in the registry: the program's Group Policy
// key under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, and its value in the
// machine's Run key (both registry views: a 64-bit or a 32-bit installer may
// have written it, and Windows starts both at logon).
#pragma once

#include "platform/AdminSettings.h"

namespace glance::win32 {

class Win32AdminSettings : public AdminSettings {
public:
    std::optional<PolicyData> policy(PolicyScope scope, std::string_view name) override;
    bool machineStartupEntry(std::string_view name) override;
};

}  // namespace glance::win32
