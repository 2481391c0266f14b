// The shell's own state between frames: the frame clock, the screen, the fade
// that separates screens, the status line and the FPS counter.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/frame_time.h"
#include "core/random.h"

namespace zq {

enum Screen : std::int32_t {
    kScreenNone = -1,
    kScreenTitle = 0,
    kScreenPlay = 1,
    kScreenLobby = 5,
    kScreenCredits = 10,
    kScreenGameOver = 11,  // "GAME OVER" for a few seconds, then the title
};

inline constexpr int kFadeSteps = 16;          // transition faces; level 0 draws nothing
inline constexpr std::int32_t kFadeStepMs = 40;
inline constexpr int kFadeMaxStepsPerFrame = 3;
inline constexpr std::int32_t kStatusShowMs = 10000;

enum AfterFade : std::int32_t { kAfterFadeNone = 0, kAfterFadeTitle = 1, kAfterFadeNextLevel = 2, kAfterFadeGameOver = 3 };

struct Fade {
    bool active = false;
    std::int32_t level = 0;    // 0..16 transition faces shown
    std::int32_t dir = 0;      // -1 fading in from black, +1 fading out to black
    std::int32_t style = 0;    // which transition mesh, 0..2
    std::uint32_t stepTime = 0;
    bool done = false;         // a fade-out has completed
};

struct StatusLine {
    std::string text;
    bool shown = false;
    std::int32_t timeLeft = 0;  // ms
    bool kept = false;  // a message the player must read: ordinary ones wait until it has had its time
};

struct FpsCounter {
    bool shown = false;
    std::int32_t frameCount = 0;
    std::int32_t value = 0;
    std::uint32_t time = 0;
};

struct ShellState {
    FrameTime time;              // now and frameDelta of this frame
    std::int32_t screen = kScreenNone;
    std::uint32_t screenEnterTime = 0;
    bool firstFrame = false;
    Fade fade;
    std::int32_t afterFade = kAfterFadeNone;
    StatusLine status;
    FpsCounter fps;
    bool coordsShown = false;
    bool clipPlaying = false;
    bool cinematicPlaying = false;
    bool networkLobby = false;   // the lobby runs instead of the screens
    // A button ended a video or a cinematic: Buttons 1..4 count for the
    // screens again only once all four have been released.
    bool buttonsHeld = false;
    std::int32_t levelCount = 0;
    // The real millisecond clock of a windowed game; empty where the frame
    // times are given from outside (headless runs, --frame-ms, tests).
    std::function<std::uint32_t()> clock;
};

// Samples the clock at the start of a frame.
inline void TickFrameClock(ShellState& shell, std::uint32_t ticks) {
    shell.time.frameDelta = static_cast<std::int32_t>(ticks - static_cast<std::uint32_t>(shell.time.now));
    shell.time.now = static_cast<std::int32_t>(ticks);
    ClampFrameDelta(shell.time);
}
// Sets the clock to `ticks`; the next frame counts from there.
inline void ResetFrameClock(ShellState& shell, std::uint32_t ticks) {
    shell.time.now = static_cast<std::int32_t>(ticks);
    shell.time.frameDelta = 1;
}
// After anything that may take long (a level load, a mode switch): the real
// clock is read again, so the time it took never reaches the game; a virtual
// clock stays where it is, which keeps replays exact.
inline void ResetFrameClock(ShellState& shell) {
    ResetFrameClock(shell, shell.clock ? shell.clock() : static_cast<std::uint32_t>(shell.time.now));
}

// Starts a fade (dir -1 in from black, +1 out to black) unless one runs.
// Returns true when it started; the caller resets the frame clock.
bool StartFade(ShellState& shell, int dir, Random& random);
// Advances a running fade after it was drawn this frame.
void StepFade(ShellState& shell);

void ShowStatusMessage(ShellState& shell, std::string text);
// A message the player must see (a player dropped, a refusal): it stays its
// full time, whatever ordinary messages come meanwhile (those repeated every
// frame included); only another such message replaces it.
void ShowKeptMessage(ShellState& shell, std::string text);
// Counts the status line down; it is still drawn on the frame it expires.
void StepStatusLine(ShellState& shell);
void StepFps(ShellState& shell);

}  // namespace zq
