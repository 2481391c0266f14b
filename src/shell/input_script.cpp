#include "shell/input_script.h"

#include <array>
#include <sstream>

#include "core/errors.h"
#include "core/text.h"

namespace zq {

namespace {

constexpr std::array<std::string_view, kScriptKeyCount> kNames = {
    "up", "down", "left", "right", "jump", "look", "action", "menu",
    "pageup", "pagedown", "rear", "plus", "minus",
    "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10", "f11", "f12",
    "kp_div", "kp_mul", "skip", "print",
};

bool Has(ScriptKeys keys, int k) { return (keys >> k) & 1u; }

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// What a refusal echoes of the script is cut to this many bytes: a line can
// be megabytes long.
constexpr std::size_t kMaxEchoBytes = 200;

[[noreturn]] void Fail(int line, const std::string& why) {
    std::string shown = why.size() > kMaxEchoBytes ? why.substr(0, kMaxEchoBytes) + "..." : why;
    throw LoadError("input script line " + std::to_string(line) + ": " + shown);
}

std::int32_t Number(const std::string& text, int line, const char* what, std::int32_t min) {
    auto n = ParseNumber(text);
    if (!n || *n < min) Fail(line, std::string("bad ") + what + " '" + text + "'");
    return *n;
}

}  // namespace

std::int64_t InputScript::FrameCount() const {
    std::int64_t total = 0;
    for (const ScriptLine& l : lines) total += l.count;
    return total;
}

InputScript ParseInputScript(std::string_view text) {
    InputScript script;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() + 1 : end + 1;
        ++lineNumber;
        if (auto hash = raw.find('#'); hash != std::string_view::npos) raw = raw.substr(0, hash);
        std::vector<std::string> words = Words(raw);
        if (words.empty()) continue;

        ScriptLine line;
        line.sourceLine = lineNumber;
        std::size_t w = 0;
        if (words[0].size() > 1 && (words[0].back() == 'x' || words[0].back() == 'X')) {
            line.count = Number(words[0].substr(0, words[0].size() - 1), lineNumber, "count", 1);
            ++w;
        }
        if (w >= words.size()) Fail(lineNumber, "missing frame time");
        line.frameMs = Number(words[w++], lineNumber, "frame time", 0);
        if (w >= words.size()) Fail(lineNumber, "missing keys (use - for none)");
        const std::string& keys = words[w++];
        if (keys != "-") {
            std::size_t start = 0;
            while (start <= keys.size()) {
                std::size_t comma = keys.find(',', start);
                std::string name = ToUpper(keys.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
                bool found = false;
                for (int k = 0; k < kScriptKeyCount; ++k) {
                    if (EqualsNoCase(kNames[static_cast<std::size_t>(k)], name)) {
                        line.keys |= 1u << k;
                        found = true;
                    }
                }
                if (!found) Fail(lineNumber, "unknown key '" + name + "'");
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        }
        if (w < words.size()) {
            if (!EqualsNoCase(words[w], "mouse") || w + 3 != words.size()) Fail(lineNumber, "expected 'mouse DX DY'");
            line.mouseDX = Number(words[w + 1], lineNumber, "mouse DX", INT32_MIN);
            line.mouseDY = Number(words[w + 2], lineNumber, "mouse DY", INT32_MIN);
        }
        script.lines.push_back(line);
    }
    return script;
}

std::string FormatScriptKeys(ScriptKeys keys) {
    std::string out;
    for (int k = 0; k < kScriptKeyCount; ++k) {
        if (!Has(keys, k)) continue;
        if (!out.empty()) out += ',';
        out += kNames[static_cast<std::size_t>(k)];
    }
    return out.empty() ? "-" : out;
}

bool ScriptedInput::Advance() {
    while (line_ < script_.lines.size() && usedOfLine_ >= script_.lines[line_].count) {
        ++line_;
        usedOfLine_ = 0;
    }
    if (line_ >= script_.lines.size()) return false;
    current_ = script_.lines[line_];
    ++usedOfLine_;
    return true;
}

bool ScriptedInput::KeyDown(Key key) {
    ScriptKeys k = current_.keys;
    switch (key) {
        case Key::Up: return Has(k, kScriptUp);
        case Key::Down: return Has(k, kScriptDown);
        case Key::Left: return Has(k, kScriptLeft);
        case Key::Right: return Has(k, kScriptRight);
        case Key::Space: return Has(k, kScriptJump);
        case Key::Ctrl: return Has(k, kScriptLook) || Has(k, kScriptSkip);
        case Key::Shift: return Has(k, kScriptAction);
        case Key::Escape: return Has(k, kScriptMenu);
        case Key::PageUp: return Has(k, kScriptPageUp);
        case Key::PageDown: return Has(k, kScriptPageDown);
        case Key::Kp0: return Has(k, kScriptRear);
        case Key::KpPlus: return Has(k, kScriptPlus);
        case Key::KpMinus: return Has(k, kScriptMinus);
        case Key::KpDivide: return Has(k, kScriptKpDiv);
        case Key::KpMultiply: return Has(k, kScriptKpMul);
        case Key::PrintScreen: return Has(k, kScriptPrint);
        case Key::Alt:
        case Key::Insert: return Has(k, kScriptSkip);
        default:
            if (key >= Key::F1 && key <= Key::F12)
                return Has(k, kScriptF1 + (static_cast<int>(key) - static_cast<int>(Key::F1)));
            return false;
    }
}

MouseMotion ScriptedInput::TakeMouseMotion(bool) { return {current_.mouseDX, current_.mouseDY}; }

ScriptKeys InputRecorder::Sample(const Commands& c, InputDevice& device) {
    ScriptKeys keys = 0;
    auto set = [&](int k, bool on) {
        if (on) keys |= 1u << k;
    };
    set(kScriptUp, c.forward);
    set(kScriptDown, c.back);
    set(kScriptLeft, c.left);
    set(kScriptRight, c.right);
    set(kScriptJump, c.jump);
    set(kScriptAction, c.action);
    set(kScriptMenu, c.menu);
    bool skip = device.KeyDown(Key::Ctrl) && device.KeyDown(Key::Alt) && device.KeyDown(Key::Insert);
    set(kScriptSkip, skip);
    set(kScriptLook, c.look && !skip);
    set(kScriptPageUp, device.KeyDown(Key::PageUp));
    set(kScriptPageDown, device.KeyDown(Key::PageDown));
    set(kScriptRear, device.KeyDown(Key::Kp0) || (!skip && device.KeyDown(Key::Insert)) || device.KeyDown(Key::Delete));
    set(kScriptPlus, device.KeyDown(Key::KpPlus));
    set(kScriptMinus, device.KeyDown(Key::KpMinus));
    for (int f = 0; f < 12; ++f)
        set(kScriptF1 + f, device.KeyDown(static_cast<Key>(static_cast<int>(Key::F1) + f)));
    set(kScriptKpDiv, device.KeyDown(Key::KpDivide));
    set(kScriptKpMul, device.KeyDown(Key::KpMultiply));
    return keys;
}

void InputRecorder::AddFrame(std::int32_t frameMs, ScriptKeys keys, MouseMotion mouse) {
    if (!lines_.empty()) {
        ScriptLine& last = lines_.back();
        if (last.frameMs == frameMs && last.keys == keys && last.mouseDX == mouse.dx && last.mouseDY == mouse.dy) {
            ++last.count;
            return;
        }
    }
    ScriptLine line;
    line.frameMs = frameMs;
    line.keys = keys;
    line.mouseDX = mouse.dx;
    line.mouseDY = mouse.dy;
    lines_.push_back(line);
}

std::string InputRecorder::Text() const {
    std::string out = "# recorded input: [COUNTx] FRAME_MS KEYS [mouse DX DY]\n";
    for (const ScriptLine& l : lines_) {
        if (l.count > 1) out += std::to_string(l.count) + "x ";
        out += std::to_string(l.frameMs) + " " + FormatScriptKeys(l.keys);
        if (l.mouseDX != 0 || l.mouseDY != 0)
            out += " mouse " + std::to_string(l.mouseDX) + " " + std::to_string(l.mouseDY);
        out += "\n";
    }
    return out;
}

}  // namespace zq
