// The per-user store of named string values, addressed by application,
// section and key. Nothing is cached: every read and save reaches the store.
#pragma once

#include <string>

namespace glance {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value, or fallback when application, section or key is
    // missing. Creates nothing. Throws when the store cannot be read.
    virtual std::string read(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& fallback) = 0;
    // Stores value, creating application and section as needed. Throws when
    // the store cannot be written.
    virtual void save(const std::string& application, const std::string& section, const std::string& key,
                      const std::string& value) = 0;
};

}  // namespace glance
