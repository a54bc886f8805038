// Failure injection for the fake platform: an operation named here throws
// PlatformError with the given description the next N times it runs.
#pragma once

#include <map>
#include <string>

#include "core/Error.h"

namespace glance::fake {

class Failures {
public:
    // Makes operation fail `times` times (-1: every time) with description.
    void inject(const std::string& operation, const std::string& description = errtext::kInvalidCall,
                int times = -1) {
        planned_[operation] = {description, times};
    }
    void clear(const std::string& operation) { planned_.erase(operation); }
    void clearAll() { planned_.clear(); }

    // Called by every fake operation at its start.
    void check(const std::string& operation) {
        auto it = planned_.find(operation);
        if (it == planned_.end() || it->second.times == 0) return;
        if (it->second.times > 0) --it->second.times;
        throw PlatformError(it->second.description);
    }

private:
    struct Plan {
        std::string description;
        int times;
    };
    std::map<std::string, Plan> planned_;
};

}  // namespace glance::fake
