// A small seeded pseudo-random source (24-bit linear congruential), enough for
// a one-in-a-hundred draw.
#pragma once

#include <cstdint>

namespace glance {

class Random {
public:
    void seed(double value);
    // A number r with 0 <= r < 1.
    double next();

private:
    std::uint32_t state_ = 0x50000;
};

}  // namespace glance
