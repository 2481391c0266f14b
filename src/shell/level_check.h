// The level checker: plays a level over the game's own rules from saved
// states, move by move, to prove that it can be won and to find the states
// from which it no longer can (see docs/level-checker.md).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zq {

struct LevelCheckOptions {
    std::filesystem::path dataDir;
    std::string levelFile;
    double seconds = 120;  // wall-clock budget of the search
    // Polled between moves; set from another thread to end the search early
    // (the result then says it is incomplete).
    const std::atomic<bool>* cancel = nullptr;
};

struct LevelDeadEnd {
    // "stuck" (the hero lives on), "fatal" (only death remains), or
    // "shortcut" (the exit reached around the ingot door, gold left behind)
    std::string kind;
    std::string script;  // input script from the level's start into the trap (or to the exit)
    std::string why;
};

struct LevelCheckResult {
    bool refused = false;
    std::string refusal;  // why the level file was refused
    std::string level;    // the level's description, else its file name
    std::optional<bool> winnable;
    std::string solution;       // input script from the start to the exit
    double solutionSeconds = 0; // play time of the solution
    // Ingots still in the level when the solution reaches the exit.  The exit
    // ends a level whatever gold is left, so on a level with an ingot door
    // any win that leaves gold goes around the door: it is reported as a
    // "shortcut" among the dead ends.
    std::int32_t goldLeft = 0;
    // The solution replayed with the sentries in play lost a life to them: it
    // needs better timing, which the search (without sentries) cannot see.
    bool needsTiming = false;
    std::string replayProblem;  // empty when the solution replays to the exit
    // Every way the search found ran out of time on the level's clock, which
    // its slower-than-a-player moves cannot rule out as a player's win:
    // `winnable` then stays unknown though the search is complete.
    bool clockDecided = false;
    std::vector<LevelDeadEnd> deadEnds;
    std::size_t states = 0;
    bool complete = false;
    double seconds = 0;
};

// The frame length of every move and of the scripts written: the recorded
// replays' 40 ms.
inline constexpr std::int32_t kCheckFrameMs = 40;

LevelCheckResult CheckLevel(const LevelCheckOptions& options);

// The exit status of `zqtool check-level`: 4 refused, 3 undecided (budget
// out before a decision), 2 not winnable, 1 dead ends found, 0 winnable with
// none.
int LevelCheckStatus(const LevelCheckResult& result);

}  // namespace zq
