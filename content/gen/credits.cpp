// "game.dat": the end-credits text.  Each line is stored scrambled (every
// byte XORed with its 1-based position) and ended by CR LF.  The first
// character of a line is its style: "&" a heading in the big font, anything
// else a normal line.  The reader drops the last line, so one extra line ends
// the file.
#include <stdexcept>
#include <string>
#include <vector>

#include "content.h"
#include "core/scramble.h"

namespace zq::gen {

namespace {

constexpr std::size_t kMaxCreditLines = 1001;  // the reader's table, the dropped last line included

// The lines before the level list...
const std::vector<std::string> kCreditsHead = {
    "&ZORVO QUIB",
    " ",
    " A GAME OF GOLD, DOORS",
    " AND SLEEPLESS SENTRIES",
    " ",
    " ",
    "&GAME DESIGN",
    " THE ZORVO QUIB TEAM",
    " ",
    "&PROGRAMMING",
    " WORLD AND LEVELS",
    " RULES OF PLAY",
    " SOFTWARE RENDERER",
    " OPENGL RENDERER",
    " LEVEL EDITOR",
    " NETWORK PLAY",
    " ",
    "&ART",
    " EVERY TEXTURE, MESH AND",
    " PICTURE GROWN FROM CODE",
    " BY THE CONTENT GENERATOR",
    " ",
    "&SOUND AND MUSIC",
    " SQUARE, TRIANGLE AND NOISE",
    " TUNES COMPOSED BY A",
    " SEEDED GENERATOR",
    " ",
};

// ... and after it.
const std::vector<std::string> kCreditsTail = {
    "&TESTING",
    " MANY HEROES WHO FELL",
    " INTO MANY HOLES",
    " ",
    "&THANKS",
    " TO EVERY PLAYER WHO",
    " DUG ONE MORE BRICK",
    " ",
    " ",
    "&THE END",
    " ",
    " PRESS FIRE",
};

constexpr std::size_t kMaxLevelNameLength = 32;  // keeps a line within the small font's room

// " 07  SPRING TIME": the level's number and its intro text (or its file
// name when it has none).  Characters that would scramble into a line
// break become blanks, so no level name can stop the build.
std::string LevelLine(int number, const LevelEntry& level) {
    std::string name = level.description.empty() ? level.stem : level.description;
    if (name.size() > kMaxLevelNameLength) name.resize(kMaxLevelNameLength);
    std::string line = (number < 10 ? " 0" : " ") + std::to_string(number) + "  " + name;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char scrambled = static_cast<char>(line[i] ^ static_cast<char>(i + 1));
        if (line[i] == '\r' || line[i] == '\n' || scrambled == '\r' || scrambled == '\n') line[i] = ' ';
    }
    return line;
}

}  // namespace

// The stored form of one line, or an error naming the line when a scrambled
// byte would read as a line end (the line must then be reworded).
std::string ScrambleCreditLine(const std::string& line) {
    std::string scrambled = Scramble(line);
    for (char c : scrambled)
        if (c == '\r' || c == '\n')
            throw std::runtime_error("zqgen: credit line \"" + line + "\" would scramble into a line break; reword it");
    for (char c : line)
        if (c == '\r' || c == '\n') throw std::runtime_error("zqgen: credit line holds a line break");
    return scrambled;
}

void MakeCredits(Output& out, const std::vector<LevelEntry>& levels) {
    std::vector<std::string> lines = kCreditsHead;
    lines.push_back("&LEVELS");
    for (std::size_t i = 0; i < levels.size(); ++i) lines.push_back(LevelLine(static_cast<int>(i + 1), levels[i]));
    lines.push_back(" ");
    lines.insert(lines.end(), kCreditsTail.begin(), kCreditsTail.end());
    if (lines.size() + 1 > kMaxCreditLines) throw std::runtime_error("zqgen: too many credit lines");
    std::string text;
    for (const std::string& line : lines) text += ScrambleCreditLine(line) + "\r\n";
    text += ScrambleCreditLine(" ") + "\r\n";  // the last line, which the reader drops
    out.WriteText("game.dat", text);
}

}  // namespace zq::gen
