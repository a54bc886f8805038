// The persisted properties of a control, as its window stores them: named
// values of three kinds, kept in the order in which they were written.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Types.h"

namespace glance {

class PropertyBag {
public:
    using Value = std::variant<bool, std::string, Picture>;

    // The stored value of key, or fallback when the key is absent or holds a
    // value of another kind.
    template <class T>
    T read(const std::string& key, const T& fallback) const {
        for (const auto& [name, value] : entries_)
            if (name == key) {
                const T* stored = std::get_if<T>(&value);
                return stored ? *stored : fallback;
            }
        return fallback;
    }

    // Stores value under key, replacing an earlier value in its place.
    void write(const std::string& key, Value value) {
        for (auto& [name, stored] : entries_)
            if (name == key) {
                stored = std::move(value);
                return;
            }
        entries_.emplace_back(key, std::move(value));
    }

    // The keys in the order in which they were first written.
    std::vector<std::string> keys() const {
        std::vector<std::string> names;
        for (const auto& entry : entries_) names.push_back(entry.first);
        return names;
    }

private:
    std::vector<std::pair<std::string, Value>> entries_;
};

}  // namespace glance
