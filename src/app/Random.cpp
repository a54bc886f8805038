#include "app/Random.h"

#include <cstring>

namespace glance {

void Random::seed(double value) {
    // Fold all 64 bits of the seed into the 24-bit state, so that seeds a
    // fraction of a second apart start far apart.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits ^= bits >> 33;
    bits *= 0xFF51AFD7ED558CCDull;
    bits ^= bits >> 33;
    state_ = static_cast<std::uint32_t>(bits) & 0xFFFFFF;
}

double Random::next() {
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFF;
    return state_ / 16777216.0;
}

}  // namespace glance
