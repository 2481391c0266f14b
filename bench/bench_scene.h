// The scene both rendering benchmarks draw, so their figures compare.
#pragma once

#include <cstdint>

#include "world/level_file.h"
#include "world/world.h"

namespace zq::bench {

// A 48 x 10 x 48 maze of rooms on two floors with ladders, ingots, crates
// and doors: about what the larger default levels hold.
inline void BuildBigLevel(zq::World& world) {
    zq::InitNewLevel(world, 48, 10, 48, 7);
    auto set = [&](int x, int y, int z, zq::Cell v) { zq::SetCell(world, x, y, z, v); };
    for (int z = 0; z < 48; ++z)
        for (int x = 0; x < 48; ++x) {
            const bool edge = x == 0 || z == 0 || x == 47 || z == 47;
            const bool wall = (x % 8 == 0 || z % 8 == 0) && !((x + 4) % 8 == 0 || (z + 4) % 8 == 0) &&
                              (x % 8 != 0 || z % 8 < 3 || z % 8 > 5) && (z % 8 != 0 || x % 8 < 3 || x % 8 > 5);
            for (int y = 1; y < 4; ++y)
                if (edge || wall) set(x, y, z, y == 1 ? 3 : 2);
            if ((x * 7 + z * 3) % 23 == 0 && !edge && !wall) set(x, 1, z, 20);
            if ((x * 5 + z * 11) % 37 == 0 && !edge && !wall) set(x, 1, z, 16);
            if (x % 8 == 4 && z % 8 == 4) {
                for (int y = 1; y < 5; ++y) set(x, y, z, 14);
            }
            if (!edge && (x / 8 + z / 8) % 2 == 0) set(x, 4, z, x % 8 == 4 && z % 8 == 4 ? 0 : 5);
            zq::SetLight(world, x, 1, z, static_cast<std::uint8_t>(96 + (x * 13 + z * 7) % 64));
        }
}

}  // namespace zq::bench
