// Advice on the status line: the hint of a level's start (from
// "LEVEL/HINTS.INI") and the way out offered to a player who seems stuck.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/resolver.h"
#include "core/settings_file.h"
#include "world/world.h"

namespace zq {

inline constexpr const char* kHintFile = "LEVEL/HINTS.INI";
inline constexpr const char* kStuckText = "STUCK? ESC - RESTART LEVEL";
// Play time without progress before the way out is offered, and again after
// each such stretch: long enough not to nag a player who is still finding
// the way, short enough that one who has shut himself in learns how to get
// out before he gives up.
inline constexpr std::int32_t kStuckQuietMs = 90000;

// The hints of every level; an empty file when the data folder has none.
SettingsFile LoadLevelHints(const DataResolver& data);
// The hint of the level file `levelPath` (its name without folder and
// extension names its section), or empty.
std::string LevelHint(const SettingsFile& hints, std::string_view levelPath);

// Watches one attempt at a level for progress: an ingot taken, a lever
// pulled, a door opened (or shut), or a cell the hero has not stood in before
// in this attempt.  Time counts only while the game runs (the caller leaves
// out the menu, videos, cinematics and a death).
struct StuckWatch {
    std::int32_t quietMs = 0;            // play time since the last progress
    std::int64_t marks = -1;             // ProgressMarks at the last step; -1 before the first
    std::vector<std::uint8_t> visited;   // one byte per cell: 1 where the hero has stood
};

// A new attempt at a level (a load, a restart, a death's restart).
inline void ResetStuckWatch(StuckWatch& watch) { watch = StuckWatch{}; }
// A number that changes whenever an ingot, a lever or a door cell changes
// (each counted cell weighs its type's index, so one type turning into
// another moves it too).
std::int64_t ProgressMarks(const World& world);
// One frame of play with the hero in cell (x, y, z).  True on each frame
// the way out should be shown: every kStuckQuietMs of play without progress.
bool StepStuckWatch(StuckWatch& watch, const World& world, int x, int y, int z, std::int32_t frameDelta);

}  // namespace zq
