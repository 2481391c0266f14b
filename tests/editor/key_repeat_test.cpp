#include "editor/key_repeat.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

// Steps over a hold of `holdMs`, the press frame first, at a given frame time.
int StepsOverHold(int holdMs, int frameMs) {
    KeyRepeatState state;
    const KeyRepeatTiming timing;
    int steps = KeyRepeatSteps(state, true, 1, frameMs, timing);
    for (int t = frameMs; t <= holdMs; t += frameMs) steps += KeyRepeatSteps(state, true, 0, frameMs, timing);
    steps += KeyRepeatSteps(state, false, 0, frameMs, timing);
    return steps;
}

TEST(KeyRepeatTest, ATapStepsOnceAndAHoldRepeatsAtTheSameRateAtAnyFrameRate) {
    const KeyRepeatTiming timing;
    for (int frameMs : {5, 16, 33, 50}) {
        EXPECT_EQ(StepsOverHold(30, frameMs), 1) << frameMs;
        EXPECT_EQ(StepsOverHold(timing.delayMs - 1, frameMs), 1) << frameMs;
        const int second = StepsOverHold(1000, frameMs);
        EXPECT_GE(second, 1 + (1000 - timing.delayMs) / timing.intervalMs) << frameMs;
        EXPECT_LE(second, 2 + (1000 - timing.delayMs) / timing.intervalMs) << frameMs;
    }
    // A tap released before the frame still counts; two taps count twice.
    KeyRepeatState state;
    EXPECT_EQ(KeyRepeatSteps(state, false, 1, 30, timing), 1);
    EXPECT_EQ(KeyRepeatSteps(state, false, 0, 30, timing), 0);
    EXPECT_EQ(KeyRepeatSteps(state, false, 2, 30, timing), 2);
    // A long stall fires no burst of repeats.
    EXPECT_EQ(KeyRepeatSteps(state, true, 1, 30, timing), 1);
    EXPECT_LE(KeyRepeatSteps(state, true, 0, 5000, timing), 1);
}

}  // namespace
}  // namespace zq
