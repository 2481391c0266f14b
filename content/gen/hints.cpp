// "LEVEL/HINTS.INI": one line of advice for the status line when a level
// starts, for the levels where the player first needs a key or a habit.
// Sectioned like the bank file: a section per level, named by the level
// file's name without extension, with one key:
//
//   [03_DIG_DEEP]
//   Hint=SHIFT DIGS THE CRACKED BRICKS
//
// The level files' own description and author stay untouched; a level
// without a section shows no hint.
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "content.h"

namespace zq::gen {

namespace {

// Short enough to sit left of the widest intro text (the small font takes
// 0.0125 of the view per character; the level names start at about 0.19).
constexpr std::size_t kMaxHintLength = 15;

const std::vector<std::pair<std::string, std::string>> kHints = {
    {"01_FIRST_STEPS", "F1 - HELP"},
    {"02_UP_AND_OVER", "SPACE JUMPS"},
    {"03_DIG_DEEP", "SHIFT DIGS"},
    {"04_PULL_THE_LEVER", "SHIFT PULLS"},
    {"05_HEAVY_LIFTING", "SHIFT PUSHES"},
    {"06_KEY_TO_THE_DOOR", "ESC - SAVE GAME"},
    {"09_LIGHTS_OUT", "PGUP/PGDN LOOK"},
    {"10_WATCHERS", "DEL LOOKS BACK"},
    {"11_MOVING_PARTS", "KEYPAD +/- VIEW"},
};

}  // namespace

void MakeHints(Output& out, const std::vector<LevelEntry>& levels) {
    std::set<std::string> stems;
    for (const LevelEntry& level : levels) stems.insert(level.stem);
    std::string text = "; Hints shown on the status line when a level starts, by level file name.\r\n";
    for (const auto& [stem, hint] : kHints) {
        if (!stems.count(stem)) throw std::runtime_error("zqgen: a hint names the level " + stem + ", which does not exist");
        if (hint.size() > kMaxHintLength) throw std::runtime_error("zqgen: the hint \"" + hint + "\" is too long");
        text += "[" + stem + "]\r\nHint=" + hint + "\r\n";
    }
    out.WriteText("LEVEL/HINTS.INI", text);
}

}  // namespace zq::gen
