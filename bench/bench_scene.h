// The scene both rendering benchmarks draw, and the camera path through it,
// so their figures compare.
#pragma once

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
        : graphics(zq::MakeGraphics(format)) {
        zq::DataResolver data(dataDir);
        zq::BankLoadContext bank{data, *graphics, *assets, *sounds, 0, nullptr, {}};
        std::uintmax_t biggest = 0;
        std::error_code ec;
        const std::vector<std::string> folders =
            builtIn ? std::vector<std::string>{} : std::vector<std::string>{"LEVEL", "level", "Level"};
        for (const std::string& folder : folders) {
            for (const auto& entry : std::filesystem::directory_iterator(dataDir / folder, ec)) {
                if (entry.path().extension() != ".lev" && entry.path().extension() != ".LEV") continue;
                if (entry.file_size() > biggest) {
                    biggest = entry.file_size();
                    level = folder + "/" + entry.path().filename().string();
                }
            }
        }
        if (biggest > 0) {
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
};

// Frame `frame` of a slow loop around the middle of the level at head height, turning.
inline zq::WorldCamera PathCamera(const zq::World& world, int frame) {
    const float sx = static_cast<float>(world.sizeX * zq::kCellSize);
    const float sz = static_cast<float>(world.sizeZ * zq::kCellSize);
    const float t = static_cast<float>(frame % 360) * 3.1415f / 180.0f;
    return {sx / 2 + std::cos(t) * sx / 4, 512 + 300, sz / 2 + std::sin(t) * sz / 4, 0,
            static_cast<int>(std::sin(t * 3) * 1500), (frame * 91) % 32768};
}

}  // namespace zq::bench
