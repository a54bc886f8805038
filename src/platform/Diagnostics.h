// The diagnostic channel: where a failure that the program deliberately keeps
// from the user (a background check, upkeep, a callback's edge) is written, one
// line each with the operation and its error code, for a debug viewer to show.
// Nothing is kept on disk.
#pragma once

#include <string_view>

#include "core/Error.h"

namespace glance {

class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    // Never fails: a note that cannot be written is dropped.
    virtual void noteFailure(std::string_view operation, ErrorCode code) noexcept = 0;
};

}  // namespace glance
