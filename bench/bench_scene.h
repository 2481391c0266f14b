// The scene both rendering benchmarks draw, and the camera path through it,
// so their figures compare.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "assets/colour_tables.h"
#include "assets/graphics.h"
#include "assets/sound_slots.h"
#include "core/random.h"
#include "render/world_draw.h"
#include "world/level_file.h"
#include "world/object_defs.h"
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

// The data folder: $ZQ_DATA, else "data" beside the program.
inline std::filesystem::path DataDir(const char* argv0) {
    if (const char* env = std::getenv("ZQ_DATA")) return env;
    return std::filesystem::absolute(argv0).parent_path() / "data";
}

// A level with the default bank, its pictures kept as `format` wants: the
// largest level file of the data folder, or (`builtIn`) the maze above.
struct Scene {
    std::unique_ptr<zq::Graphics> graphics;
    std::unique_ptr<zq::World> world = std::make_unique<zq::World>();
    std::unique_ptr<zq::BankAssets> assets = std::make_unique<zq::BankAssets>();
    std::unique_ptr<zq::SilentSoundSlots> sounds = std::make_unique<zq::SilentSoundSlots>();
    std::string level = "(built in code)";

    Scene(const std::filesystem::path& dataDir, bool builtIn, zq::PixelFormat format)
        : Scene(dataDir, builtIn ? std::string() : LargestLevel(dataDir), format) {}

    // A string literal would otherwise pick the bool form above: a pointer
    // converts to bool before it converts to std::string.
    Scene(const std::filesystem::path& dataDir, const char* levelFile, zq::PixelFormat format)
        : Scene(dataDir, std::string(levelFile), format) {}

    // A named level file of the data folder ("LEVEL/NAME.LEV"), or the maze
    // when `levelFile` is empty.
    Scene(const std::filesystem::path& dataDir, const std::string& levelFile, zq::PixelFormat format)
        : graphics(zq::MakeGraphics(format)) {
        zq::DataResolver data(dataDir);
        zq::BankLoadContext bank{data, *graphics, *assets, *sounds, 0, nullptr, {}};
        if (!levelFile.empty()) {
            level = levelFile;
            zq::Random random;
            zq::LevelLoadContext context{data, random, 0, {}};
            context.hooks.loadObjectDefinitions = [&](zq::World& w, const std::string& name, const std::string& mode) {
                zq::LoadObjectDefinitions(w, bank, name, mode);
            };
            zq::LoadLevelFile(*world, context, level, "High");
        } else {
            BuildBigLevel(*world);
            zq::LoadObjectDefinitions(*world, bank, "Standard.bnk", "High");
        }
        zq::SetFogColour(*graphics->tables, graphics->mainPalette, world->fogRed, world->fogGreen, world->fogBlue);
    }

    // The largest level file of the data folder, or "" when it has none.
    static std::string LargestLevel(const std::filesystem::path& dataDir) {
        std::string largest;
        std::uintmax_t biggest = 0;
        std::error_code ec;
        for (const std::string folder : {"LEVEL", "level", "Level"}) {
            for (const auto& entry : std::filesystem::directory_iterator(dataDir / folder, ec)) {
                if (entry.path().extension() != ".lev" && entry.path().extension() != ".LEV") continue;
                if (entry.file_size() > biggest) {
                    biggest = entry.file_size();
                    largest = folder + "/" + entry.path().filename().string();
                }
            }
        }
        return largest;
    }
};

// Frame `frame` of a slow loop around the middle of the level at head height, turning.
inline zq::WorldCamera PathCamera(const zq::World& world, int frame) {
    const float sx = static_cast<float>(world.sizeX * zq::kCellSize);
    const float sz = static_cast<float>(world.sizeZ * zq::kCellSize);
    const float t = static_cast<float>(frame % 360) * 3.1415f / 180.0f;
    return {sx / 2 + std::cos(t) * sx / 4, 512 + 300, sz / 2 + std::sin(t) * sz / 4, 0,
            static_cast<int>(std::sin(t * 3) * 1500), (frame * 91) % 32768};
}

// The second chapter's finale (32 x 10 x 32, outdoors, a sentry, three
// storeys), drawn along the hero's way through it.
inline const std::string kChapterTwoLevel = "LEVEL/25_THE_CROWN_OF_THE_MOUNTAIN.LEV";

// Frame `frame` of a walk at eye height along the finale's route (cells x, y, z
// of the hero's feet): the meadow, the ladder, round the wall-walk, down into
// the courtyard, through the keep's hall and up onto its roof; then back to
// the start.  The camera looks along the leg it is on, 24 frames per cell.
inline zq::WorldCamera RouteCamera(const zq::World& world, int frame) {
    static constexpr int kRoute[][3] = {{16, 1, 2},  {16, 1, 8},  {16, 4, 11}, {27, 4, 11}, {27, 4, 29}, {4, 4, 29},
                                        {4, 4, 20},  {7, 1, 20},  {19, 1, 20}, {19, 1, 21}, {19, 7, 23}, {14, 7, 17}};
    constexpr int kLegs = static_cast<int>(sizeof kRoute / sizeof kRoute[0]) - 1;
    constexpr int kFramesPerCell = 24;
    auto centre = [&](int i, int axis) {
        const int c = std::clamp(kRoute[i][axis], 0, (axis == 0 ? world.sizeX : axis == 1 ? world.sizeY : world.sizeZ) - 1);
        return static_cast<float>(c * zq::kCellSize + (axis == 1 ? 0 : 256));
    };
    int length = 0;
    int legFrames[kLegs];
    for (int i = 0; i < kLegs; ++i) {
        int cells = 0;
        for (int axis = 0; axis < 3; ++axis) cells = std::max(cells, std::abs(kRoute[i + 1][axis] - kRoute[i][axis]));
        legFrames[i] = std::max(1, cells) * kFramesPerCell;
        length += legFrames[i];
    }
    int t = frame % length, leg = 0;
    while (t >= legFrames[leg]) t -= legFrames[leg++];
    const float f = static_cast<float>(t) / static_cast<float>(legFrames[leg]);
    float p[3];
    for (int axis = 0; axis < 3; ++axis) p[axis] = centre(leg, axis) + (centre(leg + 1, axis) - centre(leg, axis)) * f;
    const float dx = centre(leg + 1, 0) - centre(leg, 0), dz = centre(leg + 1, 2) - centre(leg, 2);
    // Heading units: 32768 a turn, 0 along +Z, 8192 along +X.
    const int heading = (dx == 0 && dz == 0) ? 0 : static_cast<int>(std::atan2(dx, dz) * 16384.0f / 3.1415f + 32768) % 32768;
    return {p[0], p[1] + 300 + 240, p[2], 0, 0, heading};
}

}  // namespace zq::bench
