// Both games at widescreen sizes, headless: the picture has the size asked
// for and the camera view with the hero is drawn over the whole of it.
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

// Share of the pixels of columns [x0, x1) that are not black.
double LitShare(const Picture& p, int x0, int x1) {
    std::size_t lit = 0, all = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = x0; x < x1; ++x, ++all) {
            const std::uint8_t* c = &p.rgb[static_cast<std::size_t>((y * p.width + x) * 3)];
            if (c[0] > 8 || c[1] > 8 || c[2] > 8) ++lit;
        }
    return all ? static_cast<double>(lit) / static_cast<double>(all) : 0;
}

// Into level 1, then the pause menu's fourth entry: the camera behind the hero.
constexpr const char* kCameraView =
    "30x 30 -\n1x 30 menu\n10x 30 -\n1x 30 down\n10x 30 -\n1x 30 down\n10x 30 -\n1x 30 down\n10x 30 -\n"
    "1x 30 action\n10x 30 -\n1x 30 menu\n30x 30 -\n";

TEST(GameWide, WidescreenScreenshotsFillTheFrame) {
    for (const char* program : {"game_soft", "game_gl"}) {
        if (!fs::exists(kBuild / program)) continue;
        const bool gl = std::string(program) == "game_gl";
        if (gl && !test::HaveCommand("xvfb-run")) continue;
        for (const auto& [w, h] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
            SCOPED_TRACE(std::string(program) + " " + std::to_string(w) + "x" + std::to_string(h));
            TempDir work;
            work.Write("quib.ini", "[General]\nResolution=2\nRenderWidth=" + std::to_string(w) +
                                       "\nRenderHeight=" + std::to_string(h) + "\n");
            work.Write("view.txt", kCameraView);
            const std::string run = (gl ? "ASAN_OPTIONS=detect_leaks=0 xvfb-run -a " : "") + (kBuild / program).string() +
                                    " --data " + (kBuild / "data").string() +
                                    " --headless --settings quib.ini --start-level 0 --input view.txt --screenshot shot.png";
            ToolRun r = RunShell(run, work);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            Picture p;
            ASSERT_TRUE(ReadPng(work / "shot.png", p));
            EXPECT_EQ(p.width, w);
            EXPECT_EQ(p.height, h);
            // The walls reach the frame's side edges: not a 4:3 view with bars beside it.
            EXPECT_GT(LitShare(p, 0, w / 10), 0.5);
            EXPECT_GT(LitShare(p, w - w / 10, w), 0.5);
        }
    }
}

}  // namespace
}  // namespace zq
