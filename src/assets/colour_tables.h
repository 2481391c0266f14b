// The software build's colour tables over the main palette: the shade table
// for light and fog, five blend tables for translucency, and the remap of
// flat-face colours.  The rasterizer indexes them directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "assets/palette.h"
#include "core/resolver.h"

namespace zq {

inline constexpr int kShadeLevels = 256;  // 0 is the fog colour, 255 almost the true colour
inline constexpr int kBlendLevels = 5;    // k/4 of the way from source to destination
using ColourTable = std::array<std::array<std::uint8_t, kPaletteSize>, kPaletteSize>;
inline constexpr std::size_t kBlendTablesSize = kBlendLevels * sizeof(ColourTable);  // 327680 bytes

struct ColourTables {
    ColourTable shade{};        // [level][colour]
    ColourTable shadeBackup{};  // the table as built, restored after the stereo mode changes it
    std::array<ColourTable, kBlendLevels> blend{};  // [k][source][destination]
    std::array<std::uint8_t, kPaletteSize> flatRemap{};  // flat-palette index -> main-palette index

    // The OpenGL build's fog: the colour as fractions (component / 256) and
    // the main-palette entry nearest to it in every byte of fogIndex.
    std::array<float, 3> fogColour{};
    std::array<std::uint8_t, kPaletteSize> fogIndex{};

    // What the light tables were last built for.
    bool fogSet = false;
    std::array<std::uint8_t, 3> fog{};
    Palette shadePalette{};
};

// Fills the shade table (and its backup) for the fog colour:
// shade[L][c] = nearest entry 1..254 to fog + L * (colour(c) - fog) / 256,
// integer division, and shade[L][0] = 0.
void BuildShadeTable(ColourTables& tables, const Palette& mainPalette, int red, int green, int blue);

// Rebuilds the shade table and the OpenGL fog values when the colour differs
// from the last one set, or the main palette has changed since (a new bank
// would otherwise be drawn through the old palette's table).  Returns true
// when it rebuilt them.
bool SetFogColour(ColourTables& tables, const Palette& mainPalette, int red, int green, int blue);

// blend[k][s][d] = nearest entry 0..254 to colour(s) + (colour(d) - colour(s)) * k / 4,
// each component rounded to nearest (ties to even).
void BuildBlendTables(ColourTables& tables, const Palette& mainPalette);

// The cache file of a bank's blend tables: the bank name with its last four
// characters replaced by ".POT".
std::string BlendCacheName(const std::string& bankFileName);

// Where the blend tables of a read-only data folder are cached:
// $XDG_CACHE_HOME/zorvoquib (or ~/.cache/zorvoquib), a folder per data folder,
// the cache name's parts joined by "_".  Nothing without either variable.
std::optional<std::filesystem::path> UserBlendCachePath(const DataResolver& data, const std::string& cacheName);

// Takes the blend tables from the bank's ".POT" cache when it holds all
// 327680 bytes, looking in the data folder, then in the user cache; otherwise
// builds them and writes the cache atomically into the data folder, or the
// user cache when the data folder cannot be written (a cache that cannot be
// written at all is not an error).  Returns true when a cache was used.
bool ProvideBlendTables(ColourTables& tables, const Palette& mainPalette, const DataResolver& data,
                        const std::string& bankFileName);

}  // namespace zq
