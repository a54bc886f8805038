// The administrator's settings, simulated: policy values per scope as stored
// and the machine's logon list; a read fails when the failure plan says so.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include "Failures.h"
#include "platform/AdminSettings.h"

namespace glance::fake {

class FakeAdminSettings : public AdminSettings {
public:
    explicit FakeAdminSettings(Failures& failures) : failures_(failures) {}

    std::map<std::pair<PolicyScope, std::string>, PolicyData> policies;
    std::set<std::string> machineStartupEntries;

    std::optional<PolicyData> policy(PolicyScope scope, std::string_view name) override {
        failures_.check("policy");
        auto it = policies.find({scope, std::string(name)});
        if (it == policies.end()) return std::nullopt;
        return it->second;
    }
    bool machineStartupEntry(std::string_view name) override {
        failures_.check("machineStartupEntry");
        return machineStartupEntries.count(std::string(name)) > 0;
    }

private:
    Failures& failures_;
};

}  // namespace glance::fake
