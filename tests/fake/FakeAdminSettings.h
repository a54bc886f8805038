// The administrator's settings, simulated: policy values per scope as stored
// and the machine's logon list.
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

    std::optional<PolicyData> policy(PolicyScope scope, std::string_view name) override {
        auto it = policies.find({scope, std::string(name)});
        return it == policies.end() ? std::nullopt : std::optional(it->second);
    }
    bool machineStartupEntry(std::string_view name) override { return machineStartupEntries.contains(name); }
};

}  // namespace glance::fake
