// The settings file and its saved game: every value read is within its
// limits, and settings written back read back the same.
#include <string_view>

#include "core/settings_file.h"
#include "fuzz_util.h"
#include "shell/settings.h"

namespace {

bool Same(const zq::GameSettings& a, const zq::GameSettings& b) {
    return a.top == b.top && a.left == b.left && a.width == b.width && a.height == b.height &&
           a.resolution == b.resolution && a.fullscreen == b.fullscreen && a.mouseMode == b.mouseMode &&
           a.music == b.music && a.texture == b.texture && a.nickName == b.nickName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    constexpr int kLevels = 13;
    SettingsFile file = SettingsFile::FromText(std::string_view(reinterpret_cast<const char*>(bytes), size));
    const GameSettings settings = ReadSettings(file);
    fuzz::Check(settings.resolution >= 0 && settings.resolution < kResolutionCount, "resolution index in the table");
    if (auto saved = LoadGame(file, kLevels)) {
        fuzz::Check(saved->lives >= 0 && saved->lives <= 99, "lives within 0..99");
        fuzz::Check(saved->level >= 0 && saved->level < kLevels, "level within the list");
        SaveGame(file, saved->level, saved->lives);
        auto again = LoadGame(SettingsFile::FromText(file.ToText()), kLevels);
        fuzz::Check(again && again->level == saved->level && again->lives == saved->lives, "a saved game loads back");
    }
    WriteSettings(file, settings, ResolutionSize(settings.resolution));
    const std::string written = file.ToText();
    fuzz::Check(Same(ReadSettings(SettingsFile::FromText(written)), settings), "settings written back read the same");
    fuzz::Check(SettingsFile::FromText(written).ToText() == written, "written settings are stable");
    return 0;
}
