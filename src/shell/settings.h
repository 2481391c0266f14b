// The player's settings and the single saved game, kept in "quib.ini".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/settings_file.h"
#include "core/settings_store.h"
#include "rules/actor.h"

namespace zq {

inline constexpr const char* kSettingsFileName = "quib.ini";
inline constexpr int kResolutionCount = 9;
inline constexpr int kDefaultResolution = 2;  // 320 x 240

struct RenderSize {
    int width = 320;
    int height = 240;
};

inline constexpr int kDefaultMaxFps = 60;
inline constexpr int kMaxFpsLimit = 1000;

struct GameSettings {
    int top = 100, left = 100;        // window position, screen pixels
    int width = 320, height = 240;    // window client size
    int resolution = kDefaultResolution;
    // The render size itself, for sizes the index table does not have (the
    // widescreen ones, the desktop's own); 0 when the file has none.
    int renderWidth = 0, renderHeight = 0;
    bool fullscreen = false;
    std::uint8_t mouseMode = 0;       // 0 off, 1 on, 2 on with the vertical axis inverted
    bool music = true;
    bool texture = true;              // high texture detail
    bool exactPixels = false;         // full screen by whole multiples, bars around
    int maxFps = kDefaultMaxFps;      // windowed frames per second at most; 0 draws flat out
    int musicVolume = 100;            // percent, while the music is on
    int effectsVolume = 100;          // percent of every sound effect
    std::string nickName;
};

// The music volume to set: the chosen percent while the music is on, else 0.
inline int MusicVolume(const GameSettings& settings) { return settings.music ? settings.musicVolume : 0; }

// Full screen is only for render widths of 320 or more; 160 x 120 stays in the window.
inline bool FullscreenAllowed(RenderSize size) { return size.width >= 320; }

inline bool operator==(RenderSize a, RenderSize b) { return a.width == b.width && a.height == b.height; }

inline constexpr int kMaxRenderSide = 8192;  // larger saved sizes are not used

// The screen the game's window is on, for choosing sizes; zeros where unknown
// (headless runs, or a display that does not say).
struct ScreenRoom {
    int width = 0, height = 0;              // the desktop's own mode
    int usableWidth = 0, usableHeight = 0;  // what panels and docks leave of it
    int frameWidth = 0, frameHeight = 0;    // the window manager's borders, both sides together
};

// The sizes F4 cycles through, smallest first (by height, then width): the
// classic 4:3 table, 1280 x 720, 1366 x 768, 1920 x 1080, 2560 x 1440 and the
// desktop's own size.  In a window, only sizes whose framed window fits the
// usable area; in full screen (scaled to the desktop) only sizes no larger
// than the desktop.  160 x 120 is always offered.
std::vector<RenderSize> OfferedSizes(const ScreenRoom& room, bool fullscreen);
// Whether a window with that client size and its frame fits the usable area.
bool FitsWindowed(RenderSize size, const ScreenRoom& room);
// The largest offered windowed size.
RenderSize LargestWindowedSize(const ScreenRoom& room);
// The render size the settings ask for: the saved width and height when they
// are sane, else the size of the resolution index.
RenderSize SettingsRenderSize(const GameSettings& settings);

// The render size of a resolution index; indices not in the table give 320 x 240.
RenderSize ResolutionSize(int index);
// The index written back for a render height; unknown heights give 2.
int ResolutionIndexForHeight(int height);

// The largest resolution whose window fits comfortably (two thirds of each side)
// on a desktop of that size: 800 x 600 on 1920 x 1080.  Never below 320 x 240.
int FirstStartResolution(int desktopWidth, int desktopHeight);

// "quib.ini" in the start folder when it exists and can be read (even when it
// is read-only: then it is read and left alone); else the per-user file
// "zorvoquib/quib.ini" in `userConfigDir`; an empty path when that is empty
// (no home folder: nothing is written).
std::filesystem::path SettingsPath(const std::filesystem::path& startDir, const std::filesystem::path& userConfigDir);
// When the settings could not be saved at exit, a short note in the per-user
// folder carries the reason to the next start, which shows it on the status
// line ("SETTINGS NOT SAVED: DISK FULL") and removes the note.
void RememberUnsavedSettings(const std::filesystem::path& userConfigDir, const WriteResult& result);
std::optional<std::string> TakeUnsavedSettingsNote(const std::filesystem::path& userConfigDir);
// The status line for a Save Game: "GAME SAVED", or why it was not.
std::string SaveGameStatus(const WriteResult& result);
GameSettings ReadSettings(const SettingsFile& file);
// Writes every key in the file's documented order; the resolution index comes
// from the render height actually in use, and "RenderWidth"/"RenderHeight"
// keep the exact size (an older game reads only the index).
void WriteSettings(SettingsFile& file, const GameSettings& settings, RenderSize render);

struct SavedGame {
    int level = 0;
    int lives = kStartLives;
};

// The saved game, clamped to 0..99 lives and to the level list.  Nothing when
// the saved text holds only digits and "-" but is not a number (for example
// when nothing was saved yet): the load is abandoned and nothing changes.
std::optional<SavedGame> LoadGame(const SettingsFile& file, int levelCount);
void SaveGame(SettingsFile& file, int level, int lives);

}  // namespace zq
