// The per-user settings store, simulated in memory.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "Failures.h"
#include "platform/SettingsStore.h"

namespace glance::fake {

class FakeSettings : public SettingsStore {
public:
    explicit FakeSettings(Failures& failures) : failures_(failures) {}

    using Key = std::tuple<std::string, std::string, std::string>;
    std::map<Key, std::string> values;
    int reads = 0;
    int saves = 0;

    std::string read(const std::string& application, const std::string& section, const std::string& key,
                     const std::string& fallback) override {
        failures_.check("settings.read");
        failures_.check("settings.read:" + key);
        ++reads;
        auto it = values.find({application, section, key});
        return it == values.end() ? fallback : it->second;
    }
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override {
        failures_.check("settings.save");
        failures_.check("settings.save:" + key);
        ++saves;
        values[{application, section, key}] = value;
    }

private:
    Failures& failures_;
};

}  // namespace glance::fake
