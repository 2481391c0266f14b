// Level files (".lev"): reading into the World, writing from it, the state a
// level load resets, a new level's initial state, and the game's level list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/file_io.h"
#include "core/random.h"
#include "core/resolver.h"
#include "world/world.h"

namespace zq {

// Fixed offsets of a level file with N cells and S sentries.
inline constexpr std::size_t kLevelHeaderSize = 296;
inline std::size_t LevelClipMarkersEnd(std::size_t n) { return 4392 + 4 * n; }
inline std::size_t LevelFileSize(std::size_t n, std::size_t s) { return 12084 + 4 * n + 16 * s; }

// What a level load calls in the layers above the World, in this order: the
// fog colour goes to the renderer right after the file is read, the actors are
// reset after the script is parsed, the bank is loaded last.  Empty functions
// are skipped, so tools and tests can load levels without a renderer.
struct LevelLoadHooks {
    std::function<void(std::uint8_t red, std::uint8_t green, std::uint8_t blue)> setFogColour;
    std::function<void(const World&)> resetActors;
    std::function<void(World&, const std::string& bankName, const std::string& textureMode)> loadObjectDefinitions;
};

struct LevelLoadContext {
    const DataResolver& data;
    Random& random;
    std::int32_t now = 0;  // the millisecond clock, for the sentries' first sound time
    LevelLoadHooks hooks;
};

// The message shown for a level file that cannot be loaded (no blank before "is").
std::string LevelFileError(const std::string& path);

// Reads the level `path` (a data-folder name such as "LEVEL\01.lev") into the
// World, then its companion script (the ".scp" beside it), and resets the
// run-time state.  `path` is used as given (absolute, or relative to the data
// folder).  A missing file, or one whose dimensions, sentry count or length
// make no sense, whose start or exit lies beyond kMaxCellCoordinate cells, or
// whose sentries sit at a NaN, infinite or that distant position, throws
// LoadError with LevelFileError(path) and leaves the World exactly as it was.
void LoadLevelFile(World& world, LevelLoadContext& context, const std::string& path, const std::string& textureMode);

// The bytes of a level file for the World (the bank name is always "STANDARD.BNK").
Bytes SerializeLevel(const World& world);
// Writes the World to `path` through WriteFileSafe; the result says why when it
// could not (a read-only file, a full disk).
WriteResult SaveLevelFile(const World& world, const std::string& path);

// Seeds the generator with randomSeed and puts every sentry into its start state.
void ResetSentries(World& world, Random& random, std::int32_t now);

// Clears the holes, moving blocks, cell animations and the level timer.
void ClearRunTimeTables(World& world);

// A new level as the editor's New makes it: empty cells with light 128, a floor
// of type 1 on the bottom layer, free markers, the start above the middle of the
// floor and the exit outside the grid.  Sentries, texts, fog and the outside
// flag keep their values.  False when the dimensions are refused.
bool InitNewLevel(World& world, int sizeX, int sizeY, int sizeZ, std::int32_t randomSeed);

// The game's ordered level list: every "*.lev" file of the folder "LEVEL\"
// (any letter case) as "LEVEL\" + name, in ascending byte order.  Throws
// FatalError with the game's messages when the folder is missing or empty.
std::vector<std::string> ListLevels(const DataResolver& data);

}  // namespace zq
