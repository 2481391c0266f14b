#include "shell/credits.h"
#include "shell/option_keys.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/scramble.h"
#include "held_keys.h"
#include "test_util.h"

namespace zq {
namespace {

TEST(Credits, UseEveryLineButTheLastAndReadStyleMarks) {
    test::TempDir dir;
    std::string file = Scramble("&THE TEAM") + "\r\n" + Scramble(" Ann") + "\r\n\r\n" + Scramble("&") + "\r\nignored\r\n";
    dir.Write("GAME.DAT", file);
    auto lines = LoadCredits(DataResolver(dir.Path()));
    ASSERT_EQ(lines.size(), 4u);
    CreditLine heading = DecodeCreditLine(lines[0]);
    EXPECT_TRUE(heading.heading);
    EXPECT_EQ(heading.text, "THE TEAM");
    EXPECT_FLOAT_EQ(CreditLineAdvance(heading), 0.06f);
    EXPECT_EQ(DecodeCreditLine(lines[1]).text, "Ann");
    EXPECT_FLOAT_EQ(CreditLineAdvance(DecodeCreditLine(lines[1])), 0.03f);
    EXPECT_EQ(CreditLineAdvance(DecodeCreditLine(lines[2])), 0.0f);  // empty: no room
    CreditLine markOnly = DecodeCreditLine(lines[3]);
    EXPECT_EQ(markOnly.text, "");
    EXPECT_FLOAT_EQ(CreditLineAdvance(markOnly), 0.06f);

    std::string many;
    for (int i = 0; i < 1500; ++i) many += "x\r\n";
    dir.Write("GAME.DAT", many);
    EXPECT_EQ(LoadCredits(DataResolver(dir.Path())).size(), static_cast<std::size_t>(kMaxCreditLines - 1));

    test::TempDir empty;
    try {
        LoadCredits(DataResolver(empty.Path()));
        ADD_FAILURE();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "GAME: The file game.dat does not exist. Please re-install the application");
    }
}

TEST(HelpText, HasItsThirteenLinesNamingTheBoundKeys) {
    KeyBindings keys;
    keys.command[4] = Key::J;  // jump rebound
    std::string help = HelpText(keys);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t cr; (cr = help.find('\r', start)) != std::string::npos; start = cr + 1)
        lines.push_back(help.substr(start, cr - start));
    lines.push_back(help.substr(start));
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "F2 SETTINGS  F3 MOUSE MODE  F4 RESOLUTION  F5 DETAILS  F6 SCREEN MODE  F7 MUSIC");
    for (const std::string& line : lines) EXPECT_LE(line.size(), 80u) << line;  // the width of the view
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "ROTATE                 : LEFT/RIGHT");
    EXPECT_EQ(lines[9], "FAST REAR VIEW         : \"0\",\"Del\",\"Ins\" ");
    EXPECT_EQ(lines[10], "CAMERA CHANGE          : \"+\"/\"-\" ");
    EXPECT_EQ(lines[5], "JUMP                   : J");
    EXPECT_EQ(lines[6], "LOOK UP/DOWN           : CTRL + UP/DOWN");
    EXPECT_EQ(lines[8], "OPTIONS                : ESC");
    EXPECT_EQ(lines[12], "MENUS : UP/DOWN TO MOVE, J OR ENTER TO CHOOSE");
    EXPECT_EQ(TitleStartText({}, false, false), "SPACE OR ENTER TO START");
    for (int i = 3; i <= 10; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)].substr(23, 2), ": ") << i;
}

struct RecordingActions : OptionActions {
    std::vector<std::string> log;
    RenderSize size{320, 240};
    bool fullscreen = false;
    ScreenRoom room;
    ScreenRoom Screen() override { return room; }
    void PlayChoiceSound() override { log.push_back("choice"); }
    void SetStereo(int mode) override { log.push_back("stereo " + std::to_string(mode)); }
    void SetMouseCursorShown(bool shown) override { log.push_back(shown ? "cursor on" : "cursor off"); }
    void SetMusicVolume(int v) override { log.push_back("music " + std::to_string(v)); }
    RenderSize CurrentRenderSize() override { return size; }
    void SetRenderSize(RenderSize s) override {
        size = s;
        log.push_back("size " + std::to_string(s.width) + "x" + std::to_string(s.height));
    }
    bool Fullscreen() override { return fullscreen; }
    void SetFullscreen(bool on) override {
        fullscreen = on;
        log.push_back(on ? "fullscreen" : "windowed");
    }
    void ReloadBank(bool high) override { log.push_back(high ? "bank High" : "bank Low"); }
    void CloseVideoClip() override { log.push_back("close clip"); }
    void StopCinematic() override { log.push_back("stop cinematic"); }
};

class OptionKeysTest : public ::testing::Test {
protected:
    void Frame(std::int32_t now) {
        shell.time.now = now;
        HandleOptionKeys(options, settings, shell, keys, context, actions);
    }
    OptionState options;
    GameSettings settings;
    ShellState shell;
    test::HeldKeys keys;
    OptionContext context;
    RecordingActions actions;
};

TEST_F(OptionKeysTest, HeldKeysRepeatAtMostEvery200Ms) {
    keys.Hold(Key::F7);
    for (int t = 1000; t <= 1400; t += 10) Frame(t);
    // Accepted at 1000, 1200 and 1400.
    EXPECT_EQ(std::count(actions.log.begin(), actions.log.end(), "choice"), 3);
    EXPECT_FALSE(settings.music);
    EXPECT_EQ(shell.status.text, "MUSIC OFF");
}

TEST_F(OptionKeysTest, StereoMouseAndDetailCycleWithTheirMessages) {
    keys.Hold(Key::F8);
    Frame(1000);
    EXPECT_EQ(shell.status.text, "STEREOSCOPIC RED/BLUE MODE");
    Frame(1300);
    EXPECT_EQ(shell.status.text, "STEREOSCOPIC RED/GREEN MODE");
    Frame(1600);
    EXPECT_EQ(shell.status.text, "STEREOSCOPIC MODE OFF");
    EXPECT_EQ(actions.log, (std::vector<std::string>{"choice", "stereo 1", "choice", "stereo 0", "stereo 2", "choice",
                                                     "stereo 0"}));
    keys.Hold(Key::F8, false);
    keys.Hold(Key::F3);
    Frame(2000);
    Frame(2300);
    EXPECT_EQ(shell.status.text, "MOUSE MODE ON SWAPPED");
    keys.Hold(Key::F3, false);
    keys.Hold(Key::F5);
    Frame(3000);
    EXPECT_EQ(shell.status.text, "TEXTURE MODE OFF");
    EXPECT_EQ(actions.log.back(), "bank Low");
}

// In full screen F4 cycles the full-screen sizes only: after the largest
// comes 320 x 200, still full screen.  In a window it wraps to 160 x 120.
TEST_F(OptionKeysTest, ResolutionCycleWrapsWithinItsModeAndWaitsLonger) {
    actions.size = {1600, 1200};
    actions.fullscreen = true;
    actions.room = {1600, 1200, 1600, 1200, 0, 0};  // the largest size full screen offers there
    keys.Hold(Key::F4);
    Frame(1000);
    EXPECT_EQ(actions.size.width, 320);
    EXPECT_EQ(actions.size.height, 200);
    EXPECT_TRUE(actions.fullscreen);
    EXPECT_EQ(shell.status.text, "RESOLUTION 320x200");
    actions.fullscreen = false;
    actions.size = {1600, 1200};
    Frame(1600);  // within 700 ms of the last F4
    EXPECT_EQ(actions.size.width, 1600);
    Frame(1700);
    EXPECT_EQ(actions.size.width, 160);
    EXPECT_FALSE(actions.fullscreen);
    EXPECT_EQ(NextResolution({333, 333}).width, 160);
}

// On a 1920 x 1080 desktop F4 in a window stops below what would not fit
// (frames and the panel included), and leaving full screen at the desktop's
// own size brings the window down to the largest size that fits.
TEST_F(OptionKeysTest, WindowSizesFitTheDesktop) {
    actions.room = {1920, 1080, 1920, 1040, 10, 30};
    actions.size = {1366, 768};
    keys.Hold(Key::F4);
    Frame(1000);
    EXPECT_EQ(shell.status.text, "RESOLUTION 160x120");  // 1280 x 1024 and up do not fit
    keys.Hold(Key::F4, false);

    actions.size = {1920, 1080};
    actions.fullscreen = true;
    keys.Hold(Key::F6);
    Frame(2000);
    EXPECT_FALSE(actions.fullscreen);
    EXPECT_EQ(actions.size.width, 1366);
    EXPECT_EQ(actions.size.height, 768);
}

TEST_F(OptionKeysTest, SmallestSizeNeverGoesFullScreen) {
    actions.size = {160, 120};
    keys.Hold(Key::F6);
    Frame(1000);
    EXPECT_FALSE(actions.fullscreen);
    EXPECT_EQ(shell.status.text, "WINDOW MODE");
    actions.size = {320, 240};
    Frame(1300);
    EXPECT_TRUE(actions.fullscreen);
    EXPECT_EQ(shell.status.text, "FULLSCREEN MODE");
}

TEST_F(OptionKeysTest, NetworkKeysNeedANetworkGameAndTheHostForIntervals) {
    keys.Hold(Key::F11);
    keys.Hold(Key::KpDivide);
    Frame(1000);
    EXPECT_FALSE(options.networkInfoShown);
    EXPECT_EQ(options.refreshInterval, 100);
    context.lastPlayer = 1;
    context.localPlayer = 1;
    Frame(2000);
    EXPECT_TRUE(options.networkInfoShown);
    EXPECT_EQ(options.refreshInterval, 100);
    context.localPlayer = 0;
    options.refreshInterval = 31;
    Frame(3000);
    EXPECT_EQ(options.refreshInterval, 11);
    Frame(4000);
    EXPECT_EQ(options.refreshInterval, 11);  // never below 11
    EXPECT_EQ(shell.status.text, "Network refresh interval: 11 ms");
}

TEST_F(OptionKeysTest, AVideoClipTakesTheButtonsAndNothingElse) {
    shell.clipPlaying = true;
    keys.Hold(Key::F7);
    context.anyButton = true;
    Frame(1000);
    EXPECT_EQ(actions.log, (std::vector<std::string>{"close clip"}));
    EXPECT_TRUE(settings.music);
}

}  // namespace
}  // namespace zq
