// Failure injection for the fake platform: an operation named here throws
// the given PlatformError the next N times it runs.
#pragma once

#include <map>
#include <string>

#include "core/Error.h"

namespace glance::fake {

class Failures {
public:
    // Makes operation fail `times` times (-1: every time) with error.
    void inject(const std::string& operation, const PlatformError& error, int times = -1) {
        planned_.insert_or_assign(operation, Plan{error, times});
    }
    void inject(const std::string& operation, ClassicError error = errtext::kInvalidCall, int times = -1) {
        inject(operation, PlatformError(error), times);
    }
    // A failure with a text of its own.
    void inject(const std::string& operation, const std::string& text, int times = -1) {
        inject(operation, PlatformError(text), times);
    }
    void clear(const std::string& operation) { planned_.erase(operation); }
    void clearAll() { planned_.clear(); }

    // Called by every fake operation at its start.
    void check(const std::string& operation) {
        auto it = planned_.find(operation);
        if (it == planned_.end() || it->second.times == 0) return;
        if (it->second.times > 0) --it->second.times;
        throw it->second.error;
    }

    // For an operation that answers a failure with an empty result: whether it fails now.
    bool fails(const std::string& operation) {
        try {
            check(operation);
            return false;
        } catch (const PlatformError&) {
            return true;
        }
    }

private:
    struct Plan {
        PlatformError error;
        int times;
    };
    std::map<std::string, Plan> planned_;
};

}  // namespace glance::fake
