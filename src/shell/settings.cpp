#include "shell/settings.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "core/data_dir.h"
#include "core/scramble.h"
#include "core/text.h"

namespace zq {

namespace {
constexpr RenderSize kResolutions[kResolutionCount] = {
    {160, 120}, {320, 200}, {320, 240}, {512, 384}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200},
};
}  // namespace

RenderSize ResolutionSize(int index) {
    if (index < 0 || index >= kResolutionCount) return kResolutions[kDefaultResolution];
    return kResolutions[index];
}

int ResolutionIndexForHeight(int height) {
    switch (height) {
        case 120: return 0;
        case 200: return 1;
        case 384: return 3;
        case 480: return 4;
        case 600: return 5;
        case 768: return 6;
        case 1024: return 7;
        case 1200: return 8;
        default: return kDefaultResolution;
    }
}

namespace {
// Today's common widescreen sizes, offered beside the classic table.
constexpr RenderSize kWideSizes[] = {{1280, 720}, {1366, 768}, {1920, 1080}, {2560, 1440}};
}  // namespace

bool FitsWindowed(RenderSize size, const ScreenRoom& room) {
    // The usable area, and never taller or wider than the screen itself.
    const int roomW = room.usableWidth > 0 ? room.usableWidth : room.width;
    const int roomH = room.usableHeight > 0 ? room.usableHeight : room.height;
    if (roomW > 0 && size.width + room.frameWidth > roomW) return false;
    if (roomH > 0 && size.height + room.frameHeight > roomH) return false;
    if (room.width > 0 && size.width > room.width) return false;
    if (room.height > 0 && size.height > room.height) return false;
    return true;
}

std::vector<RenderSize> OfferedSizes(const ScreenRoom& room, bool fullscreen) {
    std::vector<RenderSize> all(std::begin(kResolutions), std::end(kResolutions));
    all.insert(all.end(), std::begin(kWideSizes), std::end(kWideSizes));
    if (room.width >= 320 && room.height >= 200 && room.width <= kMaxRenderSide && room.height <= kMaxRenderSide)
        all.push_back({room.width, room.height});
    std::sort(all.begin(), all.end(), [](RenderSize a, RenderSize b) {
        return a.height != b.height ? a.height < b.height : a.width < b.width;
    });
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::vector<RenderSize> offered;
    // Full screen offers only its own sizes, so F4 there never drops to a window.
    for (const RenderSize size : all) {
        const bool smallest = !fullscreen && size == kResolutions[0];
        const bool fits = fullscreen ? FullscreenAllowed(size) && (room.width <= 0 || size.width <= room.width) &&
                                           (room.height <= 0 || size.height <= room.height)
                                     : FitsWindowed(size, room);
        if (smallest || fits) offered.push_back(size);
    }
    return offered;
}

RenderSize LargestWindowedSize(const ScreenRoom& room) { return OfferedSizes(room, false).back(); }

RenderSize SettingsRenderSize(const GameSettings& settings) {
    const RenderSize fromIndex = ResolutionSize(settings.resolution);
    const int w = settings.renderWidth, h = settings.renderHeight;
    if (w < 160 || h < 120 || w > kMaxRenderSide || h > kMaxRenderSide) return fromIndex;
    // A file edited by an older game keeps "RenderWidth" but may have a new
    // index: the pair counts only while it still agrees with the index.
    if (ResolutionIndexForHeight(h) != settings.resolution) return fromIndex;
    return {w, h};
}

int FirstStartResolution(int desktopWidth, int desktopHeight) {
    int best = kDefaultResolution;
    for (int index = kDefaultResolution + 1; index < kResolutionCount; ++index) {
        const RenderSize size = kResolutions[index];
        // Window frames, panels and docks take their share; a third of each side is left for them.
        if (size.width * 3 <= desktopWidth * 2 && size.height * 3 <= desktopHeight * 2) best = index;
    }
    return best;
}

std::filesystem::path SettingsPath(const std::filesystem::path& startDir, const std::filesystem::path& userConfigDir) {
    namespace fs = std::filesystem;
    fs::path local = startDir / kSettingsFileName;
    std::error_code ec;
    if (fs::is_regular_file(local, ec) && std::ifstream(local, std::ios::binary)) return local;
    if (userConfigDir.empty()) return {};
    return userConfigDir / "zorvoquib" / kSettingsFileName;
}

namespace {
constexpr const char* kUnsavedNoteName = "settings-not-saved";
constexpr std::size_t kMaxNoteCode = 40;
}  // namespace

void RememberUnsavedSettings(const std::filesystem::path& userConfigDir, const WriteResult& result) {
    if (userConfigDir.empty()) return;
    const std::filesystem::path folder = userConfigDir / "zorvoquib";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    WriteFileSafe(folder / kUnsavedNoteName, result.code + "\n");  // best effort: stderr already said it
}

std::optional<std::string> TakeUnsavedSettingsNote(const std::filesystem::path& userConfigDir) {
    if (userConfigDir.empty()) return std::nullopt;
    const std::filesystem::path note = userConfigDir / "zorvoquib" / kUnsavedNoteName;
    auto bytes = ReadFileBytes(note, 4096);
    if (!bytes) return std::nullopt;
    std::error_code ec;
    std::filesystem::remove(note, ec);
    std::string code;
    for (std::uint8_t c : *bytes) {
        if (c == '\n' || code.size() >= kMaxNoteCode) break;
        // Only what our own codes are made of reaches the status line.
        if ((c >= 'A' && c <= 'Z') || c == ' ' || c == '-') code += static_cast<char>(c);
    }
    if (code.empty()) code = "CANNOT WRITE";
    return "SETTINGS NOT SAVED: " + code;
}

std::string SaveGameStatus(const WriteResult& result) {
    return result ? "GAME SAVED" : "GAME NOT SAVED: " + result.code;
}

GameSettings ReadSettings(const SettingsFile& file) {
    GameSettings s;
    s.top = file.GetInt("General", "Top", 100);
    s.left = file.GetInt("General", "Left", 100);
    s.width = file.GetInt("General", "Width", 320);
    s.height = file.GetInt("General", "Height", 240);
    s.resolution = file.GetInt("General", "Resolution", kDefaultResolution);
    if (s.resolution < 0 || s.resolution >= kResolutionCount) s.resolution = kDefaultResolution;
    s.fullscreen = ToUpper(file.GetString("General", "Fullscreen", "false")) == "TRUE";
    s.mouseMode = static_cast<std::uint8_t>(file.GetInt("General", "MouseMode", 0));
    s.music = ToUpper(file.GetString("General", "Music", "true")) == "TRUE";
    s.texture = ToUpper(file.GetString("General", "Texture", "true")) == "TRUE";
    s.exactPixels = ToUpper(file.GetString("General", "ExactPixels", "false")) == "TRUE";
    s.maxFps = std::clamp(file.GetInt("General", "MaxFps", kDefaultMaxFps), 0, kMaxFpsLimit);
    s.musicVolume = std::clamp(file.GetInt("General", "MusicVolume", 100), 0, 100);
    s.effectsVolume = std::clamp(file.GetInt("General", "EffectsVolume", 100), 0, 100);
    s.renderWidth = file.GetInt("General", "RenderWidth", 0);
    s.renderHeight = file.GetInt("General", "RenderHeight", 0);
    s.nickName = file.GetString("Network", "NickName", "");
    return s;
}

void WriteSettings(SettingsFile& file, const GameSettings& s, RenderSize render) {
    auto flag = [](bool on) { return on ? "True" : "False"; };
    file.SetInt("General", "Top", s.top);
    file.SetInt("General", "Left", s.left);
    file.SetInt("General", "Width", s.width);
    file.SetInt("General", "Height", s.height);
    file.SetInt("General", "Resolution", ResolutionIndexForHeight(render.height));
    file.SetString("General", "Fullscreen", flag(s.fullscreen));
    file.SetInt("General", "MouseMode", s.mouseMode);
    file.SetString("General", "Music", flag(s.music));
    file.SetString("General", "Texture", flag(s.texture));
    file.SetInt("General", "RenderWidth", render.width);
    file.SetInt("General", "RenderHeight", render.height);
    file.SetString("General", "ExactPixels", flag(s.exactPixels));
    file.SetInt("General", "MaxFps", s.maxFps);
    file.SetInt("General", "MusicVolume", s.musicVolume);
    file.SetInt("General", "EffectsVolume", s.effectsVolume);
    file.SetString("Network", "NickName", s.nickName);
}

std::optional<SavedGame> LoadGame(const SettingsFile& file, int levelCount) {
    std::string text = Scramble(file.GetString("Save", "Index", ""));
    if (!LooksNumeric(text)) return SavedGame{0, 3};
    auto value = ParseNumber(text);
    if (!value) return std::nullopt;
    SavedGame game;
    game.lives = std::clamp(*value / 100000, 0, 99);
    game.level = std::max(*value % 100000, 0);
    if (levelCount > 0 && game.level >= levelCount) game.level = levelCount - 1;
    return game;
}

void SaveGame(SettingsFile& file, int level, int lives) {
    std::int64_t value = static_cast<std::int64_t>(level) + static_cast<std::int64_t>(lives) * 100000;
    file.SetString("Save", "Index", Scramble(std::to_string(value)));
}

}  // namespace zq
