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

const std::vector<std::string> kCredits = {
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
    "&LEVELS",
    " FIRST STEPS",
    " UP AND OVER",
    " DIG DEEP",
    " PULL THE LEVER",
    " HEAVY LIFTING",
    " KEY TO THE DOOR",
    " SPRING TIME",
    " AGAINST THE CLOCK",
    " LIGHTS OUT",
    " WATCHERS",
    " MOVING PARTS",
    " OPEN SKY",
    " THE VAULT",
    " ",
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

void MakeCredits(Output& out) {
    if (kCredits.size() + 1 > kMaxCreditLines) throw std::runtime_error("zqgen: too many credit lines");
    std::string text;
    for (const std::string& line : kCredits) text += ScrambleCreditLine(line) + "\r\n";
    text += ScrambleCreditLine(" ") + "\r\n";  // the last line, which the reader drops
    out.WriteText("game.dat", text);
}

}  // namespace zq::gen
