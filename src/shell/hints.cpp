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

bool StepStuckWatch(StuckWatch& watch, std::int32_t ingotsLeft, std::int32_t frameDelta) {
    if (watch.ingots >= 0 && ingotsLeft < watch.ingots) watch.quietMs = 0;  // an ingot was taken
    else watch.quietMs += std::max(0, frameDelta);
    watch.ingots = ingotsLeft;
    if (watch.told || watch.quietMs < kStuckQuietMs) return false;
    watch.told = true;
    return true;
}

}  // namespace zq
