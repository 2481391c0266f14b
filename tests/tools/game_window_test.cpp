// The games in a real window on a virtual X server: screenshots show the
// picture the player saw, and the window comes back where it was left, with a
// window manager drawing its frame and without one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "png_picture.h"
#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using test::RunShell;
using test::TempDir;
using test::ToolRun;

const fs::path kBuild = ZQ_BUILD_DIR;


using test::Picture;
using test::ReadPng;

// Share of pixels that are not black.
double LitShare(const Picture& p) {
    std::size_t lit = 0;
    for (std::size_t i = 0; i + 2 < p.rgb.size(); i += 3)
        if (p.rgb[i] > 8 || p.rgb[i + 1] > 8 || p.rgb[i + 2] > 8) ++lit;
    return p.rgb.empty() ? 0 : static_cast<double>(lit) / static_cast<double>(p.rgb.size() / 3);
}

// The environment of a windowed run: no sound, settings and pictures in `work`.
std::string WindowEnv(const TempDir& work) {
    return "env -u SDL_VIDEODRIVER -u XDG_CONFIG_HOME SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 HOME=" +
           work.Path().string() + " ";
}

std::string Game(const std::string& name) {
    return (kBuild / name).string() + " --data " + (kBuild / "data").string();
}

// A windowed screenshot of either game is the picture, not the black buffer a
// swap leaves behind, and has the size of the same game's headless one.
TEST(GameWindow, WindowedScreenshotsShowThePicture) {
    if (!test::HaveCommand("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    for (const char* program : {"game_soft", "game_gl"}) {
        SCOPED_TRACE(program);
        if (!fs::exists(kBuild / program)) continue;
        TempDir work;
        work.Write("quib.ini", "[General]\nResolution=3\nWidth=512\nHeight=384\n");
        ToolRun windowed = RunShell(WindowEnv(work) + "xvfb-run -a -s '-screen 0 1280x1024x24' " + Game(program) +
                                        " --settings quib.ini --frames 40 --screenshot window.png",
                                    work);
        ASSERT_EQ(windowed.exitCode, 0) << windowed.err;
        ToolRun headless = RunShell(WindowEnv(work) + Game(program) +
                                        " --settings quib.ini --headless --frames 40 --screenshot headless.png",
                                    work);
        ASSERT_EQ(headless.exitCode, 0) << headless.err;
        Picture shown, expected;
        ASSERT_TRUE(ReadPng(work / "window.png", shown));
        ASSERT_TRUE(ReadPng(work / "headless.png", expected));
        EXPECT_EQ(shown.width, expected.width);
        EXPECT_EQ(shown.height, expected.height);
        EXPECT_GT(LitShare(shown), 0.5);
        EXPECT_GT(LitShare(expected), 0.5);
    }
}

// A windowed game draws no more frames than its cap: with MaxFps=2 thirty
// seconds give at most 61 frames, however fast the machine (a loaded one only
// gives fewer; the sanitizer build can take several seconds to its first
// frame there).  Uncapped, even the sanitizer build draws several times that.
TEST(GameWindow, TheFrameCapHoldsTheWindowedFrameRate) {
    if (!test::HaveCommand("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    for (const char* program : {"game_soft", "game_gl"}) {
        SCOPED_TRACE(program);
        if (!fs::exists(kBuild / program)) continue;
        TempDir work;
        work.Write("quib.ini", "[General]\nResolution=2\nWidth=320\nHeight=240\nMaxFps=2\n");
        // SIGTERM ends the game as closing its window does; the state dump counts the frames.
        ToolRun run = RunShell(WindowEnv(work) + "xvfb-run -a -s '-screen 0 1280x1024x24' timeout -s TERM 30 " +
                                   Game(program) + " --settings quib.ini --dump-state state.json",
                               work);
        const std::string state = test::ReadText(work / "state.json");
        const std::size_t at = state.find("\"frames\":");
        ASSERT_NE(at, std::string::npos) << state << run.err;
        const long frames = std::atol(state.c_str() + at + 9);
        EXPECT_GE(frames, 1);
        EXPECT_LE(frames, 61);
    }
}

int IniValue(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return -1;
    return std::atoi(text.c_str() + at + key.size() + 2);
}

// Three starts in a row from the settings the one before saved: the window
// keeps its place.  With `wm` the X server runs openbox, whose frame puts the
// client area below a title bar.
void ExpectPlacementKept(const std::string& program, bool wm) {
    TempDir work;
    work.Write("quib.ini", "[General]\nLeft=301\nTop=220\nWidth=320\nHeight=240\nResolution=2\n");
    std::string script = "set -e\n";
    if (wm) script += "openbox --sm-disable & wm=$!\nsleep 1\n";
    for (int i = 0; i < 3; ++i)
        script += Game(program) + " --settings quib.ini --frames 15\ncp quib.ini run" + std::to_string(i) + ".ini\n";
    if (wm) script += "kill $wm\n";
    work.Write("starts.sh", script);
    ToolRun run = RunShell(WindowEnv(work) + "timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' sh starts.sh", work);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (int i = 0; i < 3; ++i) {
        const std::string saved = test::ReadText(work / ("run" + std::to_string(i) + ".ini"));
        EXPECT_EQ(IniValue(saved, "Left"), 301) << "start " << i << "\n" << saved;
        EXPECT_EQ(IniValue(saved, "Top"), 220) << "start " << i << "\n" << saved;
    }
}

TEST(GameWindow, PlacementSurvivesRestarts) {
    if (!test::HaveCommand("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    for (const char* program : {"game_soft", "game_gl"}) {
        SCOPED_TRACE(program);
        if (!fs::exists(kBuild / program)) continue;
        ExpectPlacementKept(program, false);
        if (test::HaveCommand("openbox")) ExpectPlacementKept(program, true);
    }
}

// F6 into full screen and out again under openbox: the window comes back
// where it was, frame and all, and that is the place saved at exit.  The keys
// come from xdotool; SIGTERM ends the game the way closing the window does.
TEST(GameWindow, LeavingFullScreenReturnsToThePlace) {
    if (!test::HaveCommand("xvfb-run") || !test::HaveCommand("openbox") || !test::HaveCommand("xdotool"))
        GTEST_SKIP() << "needs xvfb-run, openbox and xdotool";
    for (const char* program : {"game_gl", "game_soft"}) {
        SCOPED_TRACE(program);
        if (!fs::exists(kBuild / program)) continue;
        TempDir work;
        work.Write("quib.ini", "[General]\nLeft=301\nTop=220\nWidth=320\nHeight=240\nResolution=2\n");
        // The window is looked up by the game's pid each time, so a window of
        // another test on a shared display or a re-made window is never used.
        const std::string script =
            "openbox --sm-disable & wm=$!\nsleep 1\n" + Game(program) +
            " --settings quib.ini --start-level 0 & g=$!\n"
            "win() { xdotool search --onlyvisible --pid $g 2>/dev/null | tail -1; }\n"
            "geom() { xdotool getwindowgeometry \"$(win)\" 2>>xdotool.err; }\n"
            "i=0\nuntil [ -n \"$(win)\" ] || [ $i -gt 60 ]; do sleep 1; i=$((i+1)); done\n"
            "xdotool windowactivate --sync \"$(win)\"\nsleep 1\ngeom > before.txt\n"
            // A loaded machine may take a while to start the level or to switch,
            // so a second F6 can be pressed before the first one is seen and
            // toggle the window back.  Each way, F6 is pressed again every five
            // seconds the window is not where it should be, and a state counts
            // only once it has held for three seconds.
            "toggle() {\n  i=0; held=0\n  while [ $i -le 40 ]; do\n"
            "    if geom | grep -q 'Geometry: 1280x1024'; then now=full; else now=window; fi\n"
            "    if [ $now = $1 ]; then held=$((held+1)); [ $held -ge 3 ] && return 0\n"
            "    else held=0; [ $((i % 5)) -eq 0 ] && xdotool key F6; fi\n"
            "    sleep 1; i=$((i+1))\n  done\n}\n"
            "toggle full\ngeom > full.txt\ntoggle window\ngeom > after.txt\n"
            "kill -TERM $g\nwait $g\nkill $wm\n";
        work.Write("fullscreen.sh", script);
        ToolRun run =
            RunShell(WindowEnv(work) + "timeout 180 xvfb-run -a -s '-screen 0 1280x1024x24' sh fullscreen.sh", work);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string before = test::ReadText(work / "before.txt"), full = test::ReadText(work / "full.txt"),
                          after = test::ReadText(work / "after.txt");
        EXPECT_NE(full.find("Geometry: 1280x1024"), std::string::npos)
            << full << test::ReadText(work / "xdotool.err") << run.err;
        EXPECT_EQ(after, before);
        const std::string saved = test::ReadText(work / "quib.ini");
        EXPECT_EQ(IniValue(saved, "Left"), 301) << saved;
        EXPECT_EQ(IniValue(saved, "Top"), 220) << saved;
    }
}

}  // namespace
}  // namespace zq
