#include "shell/shell_state.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

// Runs frames of `frameMs` until the fade ends; returns the number of level changes.
int FadeSteps(int dir, int frameMs) {
    ShellState shell;
    Random random;
    TickFrameClock(shell, 1000);
    EXPECT_TRUE(StartFade(shell, dir, random));
    int changes = 0, last = shell.fade.level;
    for (int frame = 0; frame < 10000 && shell.fade.active; ++frame) {
        TickFrameClock(shell, static_cast<std::uint32_t>(shell.time.now + frameMs));
        StepFade(shell);
        if (shell.fade.level != last) ++changes;
        last = shell.fade.level;
    }
    EXPECT_FALSE(shell.fade.active);
    EXPECT_EQ(shell.fade.done, dir > 0);
    return changes;
}

TEST(Fade, TakesSeventeenStepsAtHighRatesAndAtLeastSixWhenSlow) {
    EXPECT_EQ(FadeSteps(+1, 5), 17);
    EXPECT_EQ(FadeSteps(+1, 41), 17);
    EXPECT_EQ(FadeSteps(-1, 8), 17);
    EXPECT_EQ(FadeSteps(+1, 1000), 6);  // three levels per step at most
}

TEST(Fade, ASecondStartDuringAFadeChangesNothing) {
    ShellState shell;
    Random random{5};
    ASSERT_TRUE(StartFade(shell, +1, random));
    shell.fade.level = 7;
    std::uint32_t seed = random.seed;
    EXPECT_FALSE(StartFade(shell, +1, random));
    EXPECT_FALSE(StartFade(shell, -1, random));
    EXPECT_EQ(shell.fade.level, 7);
    EXPECT_EQ(shell.fade.dir, 1);
    EXPECT_EQ(random.seed, seed);  // no style was drawn
}

TEST(FrameClock, ClampsLongFramesAndScalesZeroDeltasToNothing) {
    ShellState shell;
    TickFrameClock(shell, 100);
    TickFrameClock(shell, 100);
    EXPECT_EQ(FrameScale(shell.time, 90.0f), 0.0f);
    TickFrameClock(shell, 5100);
    EXPECT_EQ(shell.time.frameDelta, 1000);  // the clamp is stored
    EXPECT_EQ(FrameScale(shell.time, 9.0f), 100.0f);
    ResetFrameClock(shell, 9000);
    EXPECT_EQ(shell.time.frameDelta, 1);
    TickFrameClock(shell, 9045);
    EXPECT_EQ(FrameScale(shell.time, 2.0f), 1.0f);
}

// A long operation in a window re-reads the real clock, so its time is not
// added to the next frame; a virtual clock stays put.
TEST(FrameClock, ResetReadsTheRealClockWhereThereIsOne) {
    ShellState shell;
    TickFrameClock(shell, 1000);
    ResetFrameClock(shell);
    EXPECT_EQ(shell.time.now, 1000);
    EXPECT_EQ(shell.time.frameDelta, 1);
    std::uint32_t ticks = 1000;
    shell.clock = [&ticks] { return ticks; };
    ticks = 4000;  // a slow level load
    ResetFrameClock(shell);
    EXPECT_EQ(shell.time.now, 4000);
    TickFrameClock(shell, 4030);
    EXPECT_EQ(shell.time.frameDelta, 30);
}

TEST(StatusLine, ShowsTenSecondsIncludingTheLastFrame) {
    ShellState shell;
    ShowStatusMessage(shell, "GAME SAVED");
    shell.time.frameDelta = 5000;
    StepStatusLine(shell);
    StepStatusLine(shell);
    EXPECT_TRUE(shell.status.shown);  // exactly 0 left
    StepStatusLine(shell);
    EXPECT_FALSE(shell.status.shown);
}

TEST(Fps, CountsFramesOverEachSecond) {
    ShellState shell;
    TickFrameClock(shell, 0);
    for (int i = 1; i <= 25; ++i) {
        TickFrameClock(shell, static_cast<std::uint32_t>(i * 40));
        StepFps(shell);
    }
    EXPECT_EQ(shell.fps.value, 25);
}

}  // namespace
}  // namespace zq
