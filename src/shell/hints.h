// Advice on the status line: the hint of a level's start (from
// "LEVEL/HINTS.INI") and the way out offered to a player who seems stuck.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/resolver.h"
#include "core/settings_file.h"

namespace zq {

inline constexpr const char* kHintFile = "LEVEL/HINTS.INI";
inline constexpr const char* kStuckText = "STUCK? ESC - RESTART LEVEL";
// Play time without an ingot taken (or, once all are taken, without reaching
// the exit) before the way out is offered: long enough not to nag a player
// who is still finding the way, short enough that one who has shut himself
// in learns how to get out before he gives up.
inline constexpr std::int32_t kStuckQuietMs = 90000;

// The hints of every level; an empty file when the data folder has none.
SettingsFile LoadLevelHints(const DataResolver& data);
// The hint of the level file `levelPath` (its name without folder and
// extension names its section), or empty.
std::string LevelHint(const SettingsFile& hints, std::string_view levelPath);

// Watches one attempt at a level for progress.  Time counts only while the
// game runs (not in the menu, not during a video or a death).
struct StuckWatch {
    std::int32_t quietMs = 0;   // play time since the last ingot was taken
    std::int32_t ingots = -1;   // ingots left at the last step; -1 before the first
    bool told = false;          // the way out was shown in this attempt
};

// A new attempt at a level (a load, a restart, a death's restart).
inline void ResetStuckWatch(StuckWatch& watch) { watch = StuckWatch{}; }
// One frame of play: `ingotsLeft` is the level's ingot count now.  True on
// the one frame the way out should be shown.
bool StepStuckWatch(StuckWatch& watch, std::int32_t ingotsLeft, std::int32_t frameDelta);

}  // namespace zq
