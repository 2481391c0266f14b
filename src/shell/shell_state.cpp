#include "shell/shell_state.h"

#include <algorithm>

namespace zq {

bool StartFade(ShellState& shell, int dir, Random& random) {
    Fade& f = shell.fade;
    if (f.active) return false;
    f.active = true;
    f.level = dir < 0 ? kFadeSteps : 0;
    f.dir = dir;
    f.style = static_cast<std::int32_t>(random.Next(3));
    f.done = false;
    f.stepTime = static_cast<std::uint32_t>(shell.time.now);
    return true;
}

void StepFade(ShellState& shell) {
    Fade& f = shell.fade;
    if (!f.active) return;
    std::uint32_t now = static_cast<std::uint32_t>(shell.time.now);
    std::uint32_t passed = now - f.stepTime;
    if (passed > static_cast<std::uint32_t>(kFadeStepMs)) {
        // A slow machine advances up to three levels at once.
        std::int32_t steps = static_cast<std::int32_t>(std::min<std::uint32_t>(passed / kFadeStepMs, kFadeMaxStepsPerFrame));
        f.level += steps * f.dir;
        f.stepTime = now;
        if (f.level < 0 || f.level > kFadeSteps) f.active = false;
        if (f.level > kFadeSteps) f.done = true;
    }
}

void ShowStatusMessage(ShellState& shell, std::string text) {
    if (shell.status.shown && shell.status.kept) return;
    shell.status.text = std::move(text);
    shell.status.shown = true;
    shell.status.timeLeft = kStatusShowMs;
}

void ShowKeptMessage(ShellState& shell, std::string text) {
    shell.status.text = std::move(text);
    shell.status.shown = true;
    shell.status.timeLeft = kStatusShowMs;
    shell.status.kept = true;
}

void StepStatusLine(ShellState& shell) {
    if (!shell.status.shown) return;
    shell.status.timeLeft -= shell.time.frameDelta;
    if (shell.status.timeLeft < 0) shell.status.shown = shell.status.kept = false;
}

void StepFps(ShellState& shell) {
    FpsCounter& fps = shell.fps;
    ++fps.frameCount;
    std::uint32_t now = static_cast<std::uint32_t>(shell.time.now);
    if (now - fps.time >= 1000) {
        fps.value = fps.frameCount;
        fps.frameCount = 0;
        fps.time = now;
    }
}

}  // namespace zq
