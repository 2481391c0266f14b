// The program-wide random generator: a 32-bit linear congruential sequence.
// Loading a level seeds it, so sentry wandering and other draws replay
// identically from the same level and inputs.
#pragma once

#include <cstdint>

namespace zq {

struct Random {
    std::uint32_t seed = 0;

    // A draw in 0..n-1: seed := seed * 134775813 + 1, then the high 32 bits of
    // seed * n.  A draw with n <= 1 is always 0 (it still advances the seed).
    std::uint32_t Next(std::uint32_t n) {
        seed = seed * 134775813u + 1u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * n) >> 32);
    }
};

}  // namespace zq
