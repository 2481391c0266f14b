// Shade, blend and fog tables over the main palette.
#include "assets/colour_tables.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "core/data_dir.h"
#include "core/file_io.h"

namespace zq {

void BuildShadeTable(ColourTables& tables, const Palette& mainPalette, int red, int green, int blue) {
    ColourSearch search(mainPalette, 1, 254);
    for (int level = 0; level < kShadeLevels; ++level) {
        auto& row = tables.shade[static_cast<std::size_t>(level)];
        row[0] = 0;
        for (std::size_t c = 1; c < static_cast<std::size_t>(kPaletteSize); ++c) {
            int r = red + level * (mainPalette.red[c] - red) / 256;
            int g = green + level * (mainPalette.green[c] - green) / 256;
            int b = blue + level * (mainPalette.blue[c] - blue) / 256;
            row[c] = search.Find(r, g, b);
        }
    }
    tables.shadeBackup = tables.shade;
}

bool SetFogColour(ColourTables& tables, const Palette& mainPalette, int red, int green, int blue) {
    std::array<std::uint8_t, 3> fog{static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                                    static_cast<std::uint8_t>(blue)};
    if (tables.fogSet && tables.fog == fog && tables.shadePalette == mainPalette) return false;
    tables.fogSet = true;
    tables.fog = fog;
    tables.shadePalette = mainPalette;
    BuildShadeTable(tables, mainPalette, fog[0], fog[1], fog[2]);
    tables.fogColour = {fog[0] / 256.0f, fog[1] / 256.0f, fog[2] / 256.0f};
    tables.fogIndex.fill(NearestColour(mainPalette, fog[0], fog[1], fog[2], 0, 255));
    return true;
}

namespace {

int BlendComponent(int source, int destination, int k) {
    float value = static_cast<float>(source) + static_cast<float>(destination - source) * static_cast<float>(k) / 4.0f;
    return static_cast<int>(std::nearbyint(value));
}

}  // namespace

void BuildBlendTables(ColourTables& tables, const Palette& p) {
    ColourSearch search(p, 0, 254);
    std::array<std::uint8_t, kPaletteSize> own{};
    for (std::size_t c = 0; c < own.size(); ++c) own[c] = search.Find(p.red[c], p.green[c], p.blue[c]);
    for (std::size_t s = 0; s < static_cast<std::size_t>(kPaletteSize); ++s) {
        tables.blend[0][s].fill(own[s]);  // level 0 is the source itself
        tables.blend[4][s] = own;         // level 4 the destination
    }
    // Every intermediate value is a multiple of 1/4 below 256, exact in single
    // precision, so s + (d - s) * 3/4 equals d + (s - d) * 1/4 bit for bit:
    // level 3 is level 1 transposed and level 2 is symmetric.
    for (std::size_t s = 0; s < static_cast<std::size_t>(kPaletteSize); ++s) {
        for (std::size_t d = 0; d < static_cast<std::size_t>(kPaletteSize); ++d) {
            std::uint8_t quarter = search.Find(BlendComponent(p.red[s], p.red[d], 1), BlendComponent(p.green[s], p.green[d], 1),
                                               BlendComponent(p.blue[s], p.blue[d], 1));
            tables.blend[1][s][d] = quarter;
            tables.blend[3][d][s] = quarter;
            if (d < s) continue;
            std::uint8_t half = search.Find(BlendComponent(p.red[s], p.red[d], 2), BlendComponent(p.green[s], p.green[d], 2),
                                            BlendComponent(p.blue[s], p.blue[d], 2));
            tables.blend[2][s][d] = half;
            tables.blend[2][d][s] = half;
        }
    }
}

std::string BlendCacheName(const std::string& bankFileName) {
    std::string base = bankFileName.size() >= 4 ? bankFileName.substr(0, bankFileName.size() - 4) : bankFileName;
    return base + ".POT";
}

std::optional<std::filesystem::path> UserBlendCachePath(const DataResolver& data, const std::string& cacheName) {
    namespace fs = std::filesystem;
    fs::path base;
    if (auto xdg = AbsoluteXdgFolder("XDG_CACHE_HOME")) base = *xdg;
    else if (auto home = HomeFolder()) base = *home / ".cache";
    else return std::nullopt;
    // One folder per data folder, so two data folders with the same bank name
    // never share tables built from different palettes.
    std::error_code ec;
    fs::path root = fs::weakly_canonical(fs::absolute(data.Root(), ec), ec);
    char folder[17];
    std::snprintf(folder, sizeof folder, "%016zx", std::hash<std::string>{}(root.string()));
    std::string flat;
    for (const std::string& part : SplitDataPath(cacheName)) flat += (flat.empty() ? "" : "_") + part;
    if (flat.empty()) return std::nullopt;
    return base / "zorvoquib" / folder / flat;
}

namespace {

bool ReadBlendCache(ColourTables& tables, const std::filesystem::path& path) {
    // Only the tables are read; a longer file's tail is never looked at.
    auto bytes = ReadRegularFilePrefix(path, kBlendTablesSize).bytes;
    if (!bytes || bytes->size() < kBlendTablesSize) return false;
    std::memcpy(tables.blend.data(), bytes->data(), kBlendTablesSize);
    return true;
}

}  // namespace

bool ProvideBlendTables(ColourTables& tables, const Palette& mainPalette, const DataResolver& data,
                        const std::string& bankFileName) {
    const std::string cacheName = BlendCacheName(bankFileName);
    if (auto path = data.Find(cacheName); path && ReadBlendCache(tables, *path)) return true;
    const auto userPath = UserBlendCachePath(data, cacheName);
    if (userPath && ReadBlendCache(tables, *userPath)) return true;
    BuildBlendTables(tables, mainPalette);
    // The cache goes beside the bank; an installed, read-only data folder
    // keeps it in the player's cache folder instead.
    auto target = data.ForWrite(cacheName);
    if (target && WriteFileAtomic(*target, tables.blend.data(), kBlendTablesSize)) return false;
    if (userPath) {
        std::error_code ec;
        std::filesystem::create_directories(userPath->parent_path(), ec);
        WriteFileAtomic(*userPath, tables.blend.data(), kBlendTablesSize);
    }
    return false;
}

}  // namespace zq

static_assert(sizeof(std::array<zq::ColourTable, zq::kBlendLevels>) == zq::kBlendTablesSize,
              "the blend tables are written to the cache as one block");
