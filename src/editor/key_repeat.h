// Key repeat measured in time, not frames: a press acts once at once, a held
// key acts again after a delay and then at a steady rate, whatever the frame
// rate.  (Acting once per frame made a tap move 0 to 4 cells depending on
// when the frames fell.)
#pragma once

namespace zq {

struct KeyRepeatTiming {
    int delayMs = 500;     // from the press to the first repeat
    int intervalMs = 100;  // between repeats: 10 a second
};

struct KeyRepeatState {
    bool held = false;  // down since a press this state saw
    int heldMs = 0;     // time held since that press
    int steps = 0;      // steps given since that press, the press's own included
};

// The steps a key owes this frame: one per press since the last frame, then
// the repeats that fell due while it stayed down.  `elapsedMs` is the frame's
// time (a stall counts as at most a quarter second, so a slow frame never
// fires a burst).
int KeyRepeatSteps(KeyRepeatState& state, bool down, int presses, int elapsedMs, const KeyRepeatTiming& timing);

}  // namespace zq
