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

std::string HelpText() {
    static const char* const kLines[] = {
        "F3 MOUSE MODE  F4 RESOLUTION  F5 DETAILS  F6 SCREEN MODE  F7 MUSIC ON/OFF",
        "F8 STEREOSCOPIC  F9 FPS  F11 NETWORK INFOS",
        "",
        "ROTATE                 : LEFT/RIGHT",
        "FORWARD/BACKWARDS      : UP/DOWN",
        "JUMP                   : BUTTON 1",
        "LOOK UP/DOWN           : BUTTON 2 + UP/DOWN",
        "DIG/ACTIVATE/PUSH      : BUTTON 3",
        "OPTIONS                : BUTTON 4",
        "FAST REAR VIEW         : \"0\",\"Del\",\"Ins\" ",
        "CAMERA CHANGE          : \"+\"/\"-\" ",
        "",
        "KEYBOARD : BUTTON 1=SPACE   BUTTON 2=CTRL   BUTTON 3=SHIFT   BUTTON 4=ESC",
    };
    std::string text = kLines[0];
    for (std::size_t i = 1; i < std::size(kLines); ++i) {
        text += '\r';
        text += kLines[i];
    }
    return text;
}

}  // namespace zq
