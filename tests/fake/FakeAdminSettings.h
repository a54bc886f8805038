// The administrator's settings, simulated: policy values per scope as stored
// the machine's logon list, and the numbers in the user's own settings key.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/AdminSettings.h"

namespace glance::fake {

struct FakeAdminSettings : AdminSettings {
    std::map<std::pair<PolicyScope, std::string>, PolicyData> policies;
    std::set<std::string, std::less<>> machineStartupEntries;
    std::map<std::string, PolicyData, std::less<>> usersOwnNumbers;

    std::optional<PolicyData> policy(PolicyScope scope, std::string_view name) override {
        auto it = policies.find({scope, std::string(name)});
        return it == policies.end() ? std::nullopt : std::optional(it->second);
    }
    bool machineStartupEntry(std::string_view name) override { return machineStartupEntries.contains(name); }
    std::optional<PolicyData> usersOwnNumber(std::string_view name) override {
        auto it = usersOwnNumbers.find(name);
        return it == usersOwnNumbers.end() ? std::nullopt : std::optional(it->second);
    }
};

}  // namespace glance::fake
