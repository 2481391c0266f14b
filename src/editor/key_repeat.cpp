#include "editor/key_repeat.h"

#include <algorithm>

namespace zq {

int KeyRepeatSteps(KeyRepeatState& state, bool down, int presses, int elapsedMs, const KeyRepeatTiming& timing) {
    if (presses > 0) {
        // Presses and releases that came between two frames each count once;
        // the last one starts the hold if the key is still down.
        state.held = down;
        state.heldMs = 0;
        state.steps = 1;
        return presses;
    }
    if (!down || !state.held) {
        state.held = false;
        return 0;
    }
    state.heldMs += std::clamp(elapsedMs, 0, 250);
    const int interval = std::max(timing.intervalMs, 1);
    const int due = state.heldMs < timing.delayMs ? 1 : 2 + (state.heldMs - timing.delayMs) / interval;
    const int owed = std::max(due - state.steps, 0);
    state.steps = std::max(due, state.steps);
    return owed;
}

}  // namespace zq
