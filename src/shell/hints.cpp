#include "shell/hints.h"

#include <algorithm>
#include <filesystem>

#include "core/text.h"

namespace zq {

SettingsFile LoadLevelHints(const DataResolver& data) {
    auto path = data.Find(kHintFile);
    if (!path) return SettingsFile{};
    return SettingsFile::Load(*path).value_or(SettingsFile{});
}

std::string LevelHint(const SettingsFile& hints, std::string_view levelPath) {
    // Level names may use either slash; the section is the bare file name.
    std::string name(levelPath);
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::string stem = std::filesystem::path(name).stem().string();
    if (stem.empty()) return {};
    return ToUpper(hints.GetString(stem, "Hint"));
}

std::int64_t ProgressMarks(const World& world) {
    std::int64_t marks = 0;
    for (std::size_t type = 1; type < world.objectDefs.size() && type < kObjectTypeCount; ++type) {
        const ObjectDef& def = world.objectDefs[type];
        if (!def.lingot && !def.lever && !def.door) continue;
        std::int64_t count = 0;
        for (int z = 0; z < world.sizeZ; ++z) count += SlabTypeCount(world, z, static_cast<std::int64_t>(type));
        marks += count * static_cast<std::int64_t>(type);
    }
    return marks;
}

bool StepStuckWatch(StuckWatch& watch, const World& world, int x, int y, int z, std::int32_t frameDelta) {
    bool progress = false;
    const std::int64_t marks = ProgressMarks(world);
    if (watch.marks >= 0 && marks != watch.marks) progress = true;
    watch.marks = marks;
    const std::size_t cells = world.CellCount();
    if (watch.visited.size() != cells) watch.visited.assign(cells, 0);
    if (world.InGrid(x, y, z)) {
        std::uint8_t& here = watch.visited[world.Index(x, y, z)];
        if (!here) progress = true;  // the first step marks the start cell, with nothing counted yet
        here = 1;
    }
    if (progress) {
        watch.quietMs = 0;
        return false;
    }
    watch.quietMs += std::max(0, frameDelta);
    if (watch.quietMs < kStuckQuietMs) return false;
    watch.quietMs = 0;  // the next offer after another stretch without progress
    return true;
}

}  // namespace zq
