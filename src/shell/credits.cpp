#include "shell/credits.h"

#include <iterator>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/scramble.h"

namespace zq {

std::vector<std::string> SplitCreditLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size() && static_cast<int>(lines.size()) < kMaxCreditLines) {
        std::size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> LoadCredits(const DataResolver& data) {
    auto path = data.Find("game.dat");
    std::optional<Bytes> bytes;
    if (path) bytes = ReadFileBytes(*path, kMaxCreditsFileBytes);
    if (!bytes) throw FatalError("GAME: The file game.dat does not exist. Please re-install the application");
    std::vector<std::string> lines =
        SplitCreditLines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (!lines.empty()) lines.pop_back();  // the last line read is never shown
    return lines;
}

CreditLine DecodeCreditLine(std::string_view stored) {
    CreditLine line;
    if (stored.empty()) {
        line.empty = true;
        return line;
    }
    std::string plain = Scramble(stored);
    line.heading = plain[0] == '&';
    line.text = plain.substr(1);
    return line;
}

float CreditLineAdvance(const CreditLine& line) {
    if (line.empty) return 0.0f;
    return line.heading ? 0.06f : 0.03f;
}

std::string HelpText(const KeyBindings& keys, bool pad) {
    const auto key = [&keys](std::size_t command) { return KeyLabel(keys.command[command]); };
    // Lines 4 to 11: the label in a field of 23 characters, then ": ".
    const auto row = [](std::string label, const std::string& keysText) {
        label.resize(23, ' ');
        return label + ": " + keysText;
    };
    const std::string lines[] = {
        "F2 SETTINGS  F3 MOUSE MODE  F4 RESOLUTION  F5 DETAILS  F6 SCREEN MODE  F7 MUSIC",
        "F8 STEREOSCOPIC  F9 FPS  F11 NETWORK INFOS  KEYPAD / * LONGEST SEND WAIT",
        "",
        row("ROTATE", key(2) + "/" + key(3)),
        row("FORWARD/BACKWARDS", key(0) + "/" + key(1)),
        row("JUMP", key(4)),
        row("LOOK UP/DOWN", key(5) + " + " + key(0) + "/" + key(1)),
        row("DIG/ACTIVATE/PUSH", key(6)),
        row("OPTIONS", key(7)),
        "FAST REAR VIEW         : \"0\",\"Del\",\"Ins\" ",
        "CAMERA CHANGE          : \"+\"/\"-\" ",
        "",
        pad ? "PAD : A=JUMP   B=LOOK   X=DIG/ACTIVATE/PUSH   START=OPTIONS"
            : "MENUS : " + key(0) + "/" + key(1) + " TO MOVE, " + key(4) + " OR ENTER TO CHOOSE",
    };
    std::string text = lines[0];
    for (std::size_t i = 1; i < std::size(lines); ++i) {
        text += '\r';
        text += lines[i];
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> KeyTable(const KeyBindings& keys) {
    const auto key = [&keys](std::size_t command) { return KeyLabel(keys.command[command]); };
    return {
        {key(0) + ", " + key(1), "walk forward, backwards; in menus, move up and down"},
        {key(2) + ", " + key(3), "turn left, right"},
        {key(4), "jump (button 1); chooses in menus and starts the game on the title"},
        {key(5), "look (button 2): with " + key(0) + " or " + key(1) + " look up or down"},
        {key(6), "dig, pull a lever, push a block (button 3)"},
        {key(7), "the in-game menu (button 4); leaves the game from the title"},
        {"ENTER", "chooses in menus; on the title, continues the saved game"},
        {"PAGE UP, PAGE DOWN", "look up, down"},
        {"KEYPAD 0, INSERT, DELETE", "look behind while held"},
        {"KEYPAD +, KEYPAD -", "camera nearer, farther"},
        {"F1", "help"},
        {"F2", "the settings screen (on the title and in the in-game menu): keys, volumes, picture"},
        {"F3", "mouse mode: off, on, on with the vertical axis swapped"},
        {"F4", "next picture size (in full screen: the next full-screen size)"},
        {"F5", "texture detail high or low"},
        {"F6", "full screen or window"},
        {"F7", "music on or off"},
        {"F8", "stereoscopic pictures: off, red/blue, red/green"},
        {"F9", "frames per second"},
        {"F11", "network information (network game)"},
        {"KEYPAD /, KEYPAD *", "network host: the longest wait between sends, shorter or longer"},
        {"F12", "the hero's coordinates"},
        {"PRINT SCREEN", "a screenshot into the pictures folder"},
        {"PAD", "stick or cross moves; A jumps, B looks, X digs, START opens the menu"},
    };
}

std::string TitleStartText(const KeyBindings& keys, bool saved, bool pad) {
    const std::string jump = pad ? "A" : KeyLabel(keys.command[4]);
    return saved ? jump + " - NEW GAME" : jump + " OR ENTER TO START";
}

}  // namespace zq
