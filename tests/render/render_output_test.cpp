// Screenshots and the render verbs of zqtool, read back as pictures.
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "render/png_writer.h"
#include "render/soft/soft_renderer.h"
#include "png_picture.h"
#include "test_util.h"

namespace zq {
namespace {

TEST(Screenshot, PixelsComeBackThroughThePalette) {
    test::TempDir dir;
    SoftRenderer renderer;
    renderer.SetProjection(6, 4);
    SoftFrame& frame = renderer.Frame();
    for (int i = 0; i < 256; ++i) {
        frame.palette.red[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        frame.palette.green[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
        frame.palette.blue[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 3);
    }
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) frame.pixels[i] = static_cast<std::uint8_t>(i * 10);
    const std::string path = (dir / "shot.png").string();
    std::string why;
    ASSERT_TRUE(WritePalettedPng(path, frame.pixels.data(), frame.width, frame.height, frame.palette, why)) << why;
    test::Picture rgb;
    ASSERT_TRUE(test::ReadPng(path, rgb));
    ASSERT_EQ(rgb.width, 6);
    ASSERT_EQ(rgb.height, 4);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        const int p = frame.pixels[i];
        EXPECT_EQ(rgb.rgb[3 * i], p);
        EXPECT_EQ(rgb.rgb[3 * i + 1], 255 - p);
        EXPECT_EQ(rgb.rgb[3 * i + 2], (p * 3) & 255);
    }
    EXPECT_FALSE(WritePalettedPng((dir / "missing" / "shot.png").string(), frame.pixels.data(), frame.width, frame.height,
                                 frame.palette, why));
    EXPECT_FALSE(why.empty());
}

std::filesystem::path DefaultData() { return std::filesystem::path(ZQ_BUILD_DIR) / "data"; }

TEST(RenderVerb, DrawsADefaultLevelFromItsStart) {
    const auto data = DefaultData();
    if (!std::filesystem::exists(data / "LEVEL" / "01_FIRST_STEPS.LEV")) GTEST_SKIP() << "no default levels built";
    test::TempDir dir;
    const std::string out = (dir / "level.png").string();
    const test::ToolRun run = test::RunTool(
        "render LEVEL/01_FIRST_STEPS.LEV --data " + data.string() + " --camera 1792,762,768,0,-600,0 --size 96x72 --out " + out,
        dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    test::Picture rgb;
    ASSERT_TRUE(test::ReadPng(out, rgb));
    EXPECT_EQ(rgb.width, 96);
    EXPECT_EQ(rgb.height, 72);
    // Walls, floor and light: many different colours, not a cleared frame.
    std::set<int> colours;
    for (std::size_t i = 0; i + 2 < rgb.rgb.size(); i += 3) colours.insert(rgb.rgb[i] << 16 | rgb.rgb[i + 1] << 8 | rgb.rgb[i + 2]);
    EXPECT_GT(colours.size(), 20u);
}

TEST(RenderVerb, RefusesABadCameraOrSize) {
    const auto data = DefaultData();
    if (!std::filesystem::exists(data / "LEVEL" / "01_FIRST_STEPS.LEV")) GTEST_SKIP() << "no default levels built";
    test::TempDir dir;
    const std::string base = "render LEVEL/01_FIRST_STEPS.LEV --data " + data.string() + " --out " + (dir / "x.png").string();
    for (const std::string& extra : {std::string(" --camera 1,2,3"), std::string(" --camera 1,2,3,4,5,x"),
                                     std::string(" --camera 1,2,3,4,5,6 --size 10"), std::string("")}) {
        const test::ToolRun run = test::RunTool(base + extra, dir);
        EXPECT_EQ(run.exitCode, 1) << extra << ": " << run.out << run.err;
    }
}

TEST(RenderVerb, DrawsOneMesh) {
    const auto data = DefaultData();
    if (!std::filesystem::exists(data / "3DO" / "GAME" / "INGOT1.3DO")) GTEST_SKIP() << "no default meshes built";
    test::TempDir dir;
    const std::string out = (dir / "mesh.png").string();
    const test::ToolRun run = test::RunTool(
        "render-mesh 3DO/GAME/INGOT1.3DO --data " + data.string() + " --yaw 2000 --size 64x48 --out " + out, dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    test::Picture rgb;
    ASSERT_TRUE(test::ReadPng(out, rgb));
    EXPECT_EQ(rgb.width, 64);
}

}  // namespace
}  // namespace zq
