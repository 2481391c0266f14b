// "LEVEL/HINTS.INI": one line of advice for the status line when a level
// starts, for the levels where the player first needs a key or a habit, or
// meets something new.
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
    // Chapter two: a word on what is new in the level (13, everything
    // together, and 15, the works of 13 and 6 in copper, have none).
    {"12_OPEN_SKY", "WATER DROWNS"},
    {"14_THE_SUNKEN_VAULT", "DIG, THEN PUSH"},
    {"16_THE_CLOCK_TOWER", "CLOCKS ADD TIME"},
    {"17_THE_LOOSE_ROOF", "MIND THE ROOF"},
    {"18_THE_FERRY", "RIDE THE FERRY"},
    {"19_THE_MOAT", "DROP THE BRIDGE"},
    {"20_THE_LAMPLESS_DEEP", "FOLLOW THE FIRE"},
    {"21_THE_ROLLING_DOWNS", "WALK UP SLOPES"},
    {"22_THE_MOLTEN_CLOCK", "GOLD MAKES WAYS"},
    {"23_THE_GREAT_STAIR", "LEAP FROM EDGES"},
    {"24_THE_DARK_FOUNDRY", "KEYS CAN FALL"},
    {"25_THE_CROWN_OF_THE_MOUNTAIN", "NO TURNING BACK"},
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
