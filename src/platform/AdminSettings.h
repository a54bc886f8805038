// What an administrator sets for the program: the Group Policy values of the
// machine and of the user, and the program's value in the machine-wide list
// of programs started at every user's logon; and the numbers a user may set
// for themselves beside the program's own settings, read the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace glance {

enum class PolicyScope { Machine, User };

// A policy value as stored: a 32-bit number, or data of any other kind.
struct PolicyData {
    bool isNumber = false;
    std::uint32_t number = 0;
    friend bool operator==(const PolicyData&, const PolicyData&) = default;
};

class AdminSettings {
public:
    virtual ~AdminSettings() = default;
    // The named value under the program's policy key of that scope; nullopt
    // when the key or the value is missing. Throws when it cannot be read.
    virtual std::optional<PolicyData> policy(PolicyScope scope, std::string_view name) = 0;
    // True when the machine's logon list holds a value of that name. Throws
    // when it cannot be read.
    virtual bool machineStartupEntry(std::string_view name) = 0;
    // The named value under the program's own settings key of this user, as
    // policy data; nullopt when the key or the value is missing. Throws when
    // it cannot be read.
    virtual std::optional<PolicyData> usersOwnNumber(std::string_view name) = 0;
};

}  // namespace glance
