// The program's sense of elapsed time: a clock that only runs forward.
#pragma once

#include <limits>

namespace glance {

// A clock that only runs forward, in seconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double monotonicSeconds() = 0;
};

// A time that never comes.
inline constexpr double kNever = std::numeric_limits<double>::infinity();

}  // namespace glance
