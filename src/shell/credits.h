// The end-credits text ("game.dat") and the help text of F1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/resolver.h"
#include "shell/input.h"

namespace zq {

inline constexpr int kMaxCreditLines = 1001;
// A longer "game.dat" is refused unread (1001 lines of 255 characters are 256 KB).
inline constexpr std::uintmax_t kMaxCreditsFileBytes = 1u << 20;

// One credits line as shown: headings use the big font and take 0.06 of the
// view height, normal lines 0.03; an empty line takes no room.
struct CreditLine {
    std::string text;  // without the style mark
    bool heading = false;
    bool empty = false;
};

// Reads the scrambled credits.  Every line read but the last is used, at most
// kMaxCreditLines lines are read.  Throws FatalError when the file is missing.
std::vector<std::string> LoadCredits(const DataResolver& data);
// Splits file text into lines ended by CR LF (a bare LF also ends a line).
std::vector<std::string> SplitCreditLines(std::string_view text);
// Unscrambles one stored line and reads its style mark.
CreditLine DecodeCreditLine(std::string_view stored);
// The vertical room a line takes, as a fraction of the view height.
float CreditLineAdvance(const CreditLine& line);

// The F1 help: thirteen lines joined by carriage returns, naming the keys
// the player has bound, and the pad's buttons when a pad is plugged in.
std::string HelpText(const KeyBindings& keys = {}, bool pad = false);
// Every key of the game with what it does, for the manual page: the keys
// bound to the commands, Enter, the option keys and the fixed play keys.
std::vector<std::pair<std::string, std::string>> KeyTable(const KeyBindings& keys = {});
// The title's blinking line: "SPACE OR ENTER TO START", or with a saved game
// (which Enter continues) "SPACE - NEW GAME"; the pad's button with a pad.
std::string TitleStartText(const KeyBindings& keys, bool saved, bool pad);

}  // namespace zq
