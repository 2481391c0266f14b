// Scripted input for headless runs, tests and bug reports, and the recorder
// that writes a live session in the same form.
//
// One line per run of frames:  [COUNTx] FRAME_MS KEYS [mouse DX DY]
//   COUNT     how many frames the line lasts (default 1)
//   FRAME_MS  each of those frames' delta in milliseconds
//   KEYS      "-" or a comma list of held keys: up down left right jump look
//             action menu pageup pagedown rear plus minus f1..f12 kp_div kp_mul
//             skip (Ctrl+Alt+Insert) print (Print Screen)
//   mouse     the mouse movement of each of those frames (centre minus cursor)
// "#" starts a comment; blank lines are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/input.h"

namespace zq {

// Logical names of the script, in the order they are written by the recorder.
enum ScriptKey : std::uint8_t {
    kScriptUp, kScriptDown, kScriptLeft, kScriptRight,
    kScriptJump, kScriptLook, kScriptAction, kScriptMenu,
    kScriptPageUp, kScriptPageDown, kScriptRear, kScriptPlus, kScriptMinus,
    kScriptF1, kScriptF12 = kScriptF1 + 11,
    kScriptKpDiv, kScriptKpMul, kScriptSkip,
    kScriptPrint,  // Print Screen: a screenshot into the pictures folder
    kScriptKeyCount,
};
using ScriptKeys = std::uint32_t;  // one bit per ScriptKey
static_assert(kScriptKeyCount <= 32);

struct ScriptLine {
    std::int32_t count = 1;
    std::int32_t frameMs = 0;
    ScriptKeys keys = 0;
    std::int32_t mouseDX = 0, mouseDY = 0;
    int sourceLine = 0;
};

struct InputScript {
    std::vector<ScriptLine> lines;
    std::int64_t FrameCount() const;
};

// Parses a script; throws LoadError naming the line on a malformed one.
InputScript ParseInputScript(std::string_view text);
// Longer input scripts are refused unread (a day of play at one line a frame
// is under 10 MB).
inline constexpr std::uintmax_t kMaxInputScriptBytes = 16u << 20;
std::string FormatScriptKeys(ScriptKeys keys);

// Plays a script back as an input device.  Advance() moves to the next frame
// and returns false after the last one.
class ScriptedInput : public InputDevice {
public:
    explicit ScriptedInput(InputScript script) : script_(std::move(script)) {}

    bool Advance();
    std::int32_t FrameMs() const { return current_.frameMs; }

    bool KeyDown(Key key) override;
    MouseMotion TakeMouseMotion(bool capture) override;
    JoystickState Joystick() override { return {}; }

private:
    InputScript script_;
    std::size_t line_ = 0;
    std::int32_t usedOfLine_ = 0;
    ScriptLine current_{};
};

// Collects a live session frame by frame and writes it as a script, joining
// equal neighbouring frames into one counted line.
class InputRecorder {
public:
    // The keys held this frame: the command flags as the game saw them, plus the
    // extra keys that `device` reports down.
    static ScriptKeys Sample(const Commands& commands, InputDevice& device);
    void AddFrame(std::int32_t frameMs, ScriptKeys keys, MouseMotion mouse);
    std::string Text() const;

private:
    std::vector<ScriptLine> lines_;
};

}  // namespace zq
