// The player's settings and the single saved game, kept in "quib.ini".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/file_io.h"
#include "core/settings_file.h"

namespace zq {

inline constexpr const char* kSettingsFileName = "quib.ini";
inline constexpr int kResolutionCount = 9;
inline constexpr int kDefaultResolution = 2;  // 320 x 240

struct RenderSize {
    int width = 320;
    int height = 240;
};

struct GameSettings {
    int top = 100, left = 100;        // window position, screen pixels
    int width = 320, height = 240;    // window client size
    int resolution = kDefaultResolution;
    bool fullscreen = false;
    std::uint8_t mouseMode = 0;       // 0 off, 1 on, 2 on with the vertical axis inverted
    bool music = true;
    bool texture = true;              // high texture detail
    std::string nickName;
};

// Full screen is only for render widths of 320 or more; 160 x 120 stays in the window.
inline bool FullscreenAllowed(RenderSize size) { return size.width >= 320; }

// The render size of a resolution index; indices not in the table give 320 x 240.
RenderSize ResolutionSize(int index);
// The index written back for a render height; unknown heights give 2.
int ResolutionIndexForHeight(int height);

// The largest resolution whose window fits comfortably (two thirds of each side)
// on a desktop of that size: 800 x 600 on 1920 x 1080.  Never below 320 x 240.
int FirstStartResolution(int desktopWidth, int desktopHeight);

// "quib.ini" in the start folder when it exists and can be read (even when it
// is read-only: then it is read and left alone); else the per-user file
// "zorvoquib/quib.ini" in `userConfigDir`.
std::filesystem::path SettingsPath(const std::filesystem::path& startDir, const std::filesystem::path& userConfigDir);
// A settings file that exists without any write bit: its settings are used,
// but neither the settings nor a saved game are written into it.
bool SettingsFileReadOnly(const std::filesystem::path& path);
// Makes the file's folder and writes it through the safe writer; a read-only
// file is refused as "READ-ONLY" without touching it.
WriteResult WriteSettingsFile(const SettingsFile& file, const std::filesystem::path& path);
// When the settings could not be saved at exit, a short note in the per-user
// folder carries the reason to the next start, which shows it on the status
// line ("SETTINGS NOT SAVED: DISK FULL") and removes the note.
void RememberUnsavedSettings(const std::filesystem::path& userConfigDir, const WriteResult& result);
std::optional<std::string> TakeUnsavedSettingsNote(const std::filesystem::path& userConfigDir);
// The status line for a Save Game: "GAME SAVED", or why it was not.
std::string SaveGameStatus(const WriteResult& result);
// $XDG_CONFIG_HOME, else ~/.config (the folder the per-user settings live in).
std::filesystem::path UserConfigDir();

GameSettings ReadSettings(const SettingsFile& file);
// Writes every key in the file's documented order; the resolution index comes
// from the render height actually in use.
void WriteSettings(SettingsFile& file, const GameSettings& settings, int renderHeight);

struct SavedGame {
    int level = 0;
    int lives = 3;
};

// The saved game, clamped to 0..99 lives and to the level list.  Nothing when
// the saved text holds only digits and "-" but is not a number (for example
// when nothing was saved yet): the load is abandoned and nothing changes.
std::optional<SavedGame> LoadGame(const SettingsFile& file, int levelCount);
void SaveGame(SettingsFile& file, int level, int lives);

}  // namespace zq
