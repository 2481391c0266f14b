#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "render/overlay.h"
#include "render/soft/soft_overlay.h"
#include "render/soft_fixture.h"

namespace zq {
namespace {

// Interface images made in code: slot -> (width, height, pixels).
struct Images {
    std::map<int, std::vector<std::uint8_t>> pixels;
    std::map<int, std::array<int, 2>> sizes;
    void Set(int slot, int w, int h, std::uint8_t value) {
        pixels[slot].assign(static_cast<std::size_t>(w * h), value);
        sizes[slot] = {w, h};
    }
    ImageLookup Lookup() {
        return [this](int slot) -> ImageView {
            auto it = pixels.find(slot);
            if (it == pixels.end()) return {};
            return {it->second.data(), sizes[slot][0], sizes[slot][1]};
        };
    }
};

std::vector<int> DrawnColumns(const test::SoftFixture& fx, int row, std::uint8_t value) {
    std::vector<int> out;
    for (int x = 0; x < fx.renderer.Frame().width; ++x)
        if (fx.Pixel(x, row) == value) out.push_back(x);
    return out;
}

TEST(OverlayImage, ClippedAtTheEdgesAndNeverOnTheLastColumnOrRow) {
    test::SoftFixture fx(64, 48);
    Images images;
    images.Set(3, 4, 4, 9);
    fx.renderer.ClearFrame(1);
    // 4 x 4 pixels at (-2, -2): two columns and rows remain.
    DrawImage(fx.renderer.Frame(), images.Lookup(), 3, false, 0, 4 / 48.0f, 4 / 64.0f, -2 / 48.0f, -2 / 64.0f);
    EXPECT_EQ(DrawnColumns(fx, 0, 9), (std::vector<int>{0, 1}));
    EXPECT_EQ(DrawnColumns(fx, 1, 9), (std::vector<int>{0, 1}));
    EXPECT_TRUE(DrawnColumns(fx, 2, 9).empty());
    // At (62, 46): column 63 and row 47 stay untouched.
    DrawImage(fx.renderer.Frame(), images.Lookup(), 3, false, 0, 4 / 48.0f, 4 / 64.0f, 46 / 48.0f, 62 / 64.0f);
    EXPECT_EQ(DrawnColumns(fx, 46, 9), (std::vector<int>{62}));
    EXPECT_TRUE(DrawnColumns(fx, 47, 9).empty());
    // Wholly outside, empty slot, zero size: nothing.
    const std::vector<std::uint8_t> before = fx.renderer.Frame().pixels;
    DrawImage(fx.renderer.Frame(), images.Lookup(), 3, false, 0, 0.1f, 0.1f, 0.5f, 1.0f);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 3, false, 0, 0.1f, 0.1f, -0.2f, 0.5f);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 4, false, 0, 0.1f, 0.1f, 0.5f, 0.5f);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 3, false, 0, 0.0f, 0.1f, 0.5f, 0.5f);
    EXPECT_EQ(fx.renderer.Frame().pixels, before);
}

// A 320-column status picture drawn 1440 columns wide (a 16:9 1080-line
// frame) still ends with its own last column, not 5 columns short of it.
TEST(OverlayImage, WideStretchesReachThePicturesLastColumn) {
    test::SoftFixture fx(1441, 4);
    Images images;
    images.Set(6, 320, 1, 1);
    images.pixels[6][319] = 7;
    fx.renderer.ClearFrame(0);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 6, false, 0, 1, 1440 / 1441.0f, 0, 0);
    const std::vector<int> last = DrawnColumns(fx, 0, 7);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back(), 1439);
    EXPECT_GE(last.front(), 1434);
}

TEST(OverlayImage, ScalesNearestAndHonoursKeyAndTransparency) {
    test::SoftFixture fx(64, 48);
    Images images;
    images.pixels[5] = {0, 7, 8, 0};  // 2 x 2
    images.sizes[5] = {2, 2};
    fx.renderer.ClearFrame(1);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 5, true, 0, 8 / 48.0f, 8 / 64.0f, 8 / 48.0f, 8 / 64.0f);
    EXPECT_EQ(fx.Pixel(8, 8), 1);    // key
    EXPECT_EQ(fx.Pixel(12, 8), 7);
    EXPECT_EQ(fx.Pixel(15, 11), 7);
    EXPECT_EQ(fx.Pixel(8, 12), 8);
    EXPECT_EQ(fx.Pixel(12, 12), 1);  // key
    // Not keyed: index 0 is drawn.
    DrawImage(fx.renderer.Frame(), images.Lookup(), 5, false, 0, 8 / 48.0f, 8 / 64.0f, 8 / 48.0f, 8 / 64.0f);
    EXPECT_EQ(fx.Pixel(8, 8), 0);
    // 100 % leaves the destination; 30 % goes through blend level 1.
    images.Set(6, 2, 2, 9);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 6, false, 100, 8 / 48.0f, 8 / 64.0f, 8 / 48.0f, 8 / 64.0f);
    EXPECT_EQ(fx.Pixel(12, 8), 7);
    DrawImage(fx.renderer.Frame(), images.Lookup(), 6, false, 30, 8 / 48.0f, 8 / 64.0f, 8 / 48.0f, 8 / 64.0f);
    EXPECT_EQ(fx.Pixel(12, 8), 101);
}

TEST(OverlayText, GlyphPlacementAndCarriageReturn) {
    test::SoftFixture fx(320, 240);
    Images images;
    images.Set(65 + 18, 3, 7, 20);  // small 'A'
    images.Set(66 + 18, 3, 7, 21);  // small 'B'
    images.Set(67 + 118, 7, 15, 22);  // big 'C'
    fx.renderer.ClearFrame(1);
    DrawText(fx.renderer.Frame(), images.Lookup(), "A\rAB", false, 0.1f, 0.1f);
    EXPECT_EQ(fx.Pixel(32, 24), 20);
    EXPECT_EQ(fx.Pixel(34, 30), 20);
    EXPECT_EQ(fx.Pixel(32, 31), 1);   // glyphs are 7 rows high
    EXPECT_EQ(fx.Pixel(32, 32), 20);  // second line, 8 rows lower, same x
    EXPECT_EQ(fx.Pixel(36, 32), 21);  // advance 4 pixels
    DrawText(fx.renderer.Frame(), images.Lookup(), " C", true, 0.5f, 0.5f);
    EXPECT_EQ(fx.Pixel(168, 120), 22);
    EXPECT_EQ(fx.Pixel(174, 134), 22);
    EXPECT_FLOAT_EQ(TextWidth("HELLO", false), 0.0625f);
    EXPECT_FLOAT_EQ(TextWidth("HELLO", true), 0.125f);
}

TEST(OverlayText, KeepsPixelSizeAt320x200) {
    test::SoftFixture fx(320, 200);
    Images images;
    images.Set(65 + 18, 3, 7, 20);
    fx.renderer.ClearFrame(1);
    DrawText(fx.renderer.Frame(), images.Lookup(), "A\rA", false, 0.1f, 0.1f);
    EXPECT_EQ(fx.Pixel(32, 20), 20);
    EXPECT_EQ(fx.Pixel(32, 26), 20);
    EXPECT_EQ(fx.Pixel(32, 27), 1);
    EXPECT_EQ(fx.Pixel(32, 28), 20);
}

TEST(OverlayFont, GlyphCellsWrapBeforeThePictureEdge) {
    const auto small = FontGlyphRects(40, false);
    EXPECT_EQ(small[0].x, 0);
    EXPECT_EQ(small[9].x, 36);
    EXPECT_EQ(small[10].x, 0);
    EXPECT_EQ(small[10].y, 8);
    EXPECT_EQ(small[0].width, 3);
    EXPECT_EQ(small[0].height, 7);
    const auto big = FontGlyphRects(90, true);
    EXPECT_EQ(big[8].x, 72);
    EXPECT_EQ(big[9].x, 81);  // 81 + 9 < 90 - 8 fails: the next glyph wraps
    EXPECT_EQ(big[10].x, 0);
    EXPECT_EQ(big[10].y, 16);
    std::vector<int> targets;
    CutFont(90, true, 0, [&](int from, int, int, int w, int h, int to) {
        EXPECT_EQ(from, 0);
        EXPECT_EQ(w, 8);
        EXPECT_EQ(h, 15);
        targets.push_back(to);
    });
    ASSERT_EQ(targets.size(), 100u);
    EXPECT_EQ(targets.front(), 150);
    EXPECT_EQ(targets.back(), 249);
}

TEST(OverlayRadar, DotPlacementAndRange) {
    float x = 0, y = 0;
    ASSERT_TRUE(RadarDot(0, 3072, 0, x, y));  // ahead, half range
    EXPECT_NEAR(x, 0.878125f, 1e-5);
    EXPECT_NEAR(y, 0.05f + 0.5f * 25 / 240, 1e-5);
    ASSERT_TRUE(RadarDot(3072, 0, 8192, x, y));  // facing +x: still ahead
    EXPECT_NEAR(x, 0.878125f, 1e-3);
    EXPECT_NEAR(y, 0.05f + 0.5f * 25 / 240, 1e-3);
    EXPECT_FALSE(RadarDot(0, 6144, 0, x, y));
    EXPECT_FALSE(RadarDot(6144, 0, 0, x, y));
    EXPECT_TRUE(RadarDot(0, 6143, 0, x, y));

    test::SoftFixture fx(320, 240);
    Images images;
    images.Set(kRadarSlot, 50, 50, 30);
    images.Set(kRadarAlertSlot, 4, 4, 31);
    images.Set(kRadarSentrySlot, 4, 4, 32);
    images.Set(kRadarPlayerSlot, 4, 4, 33);
    std::array<SentryState, 3> sentries{};
    sentries[0].z = 3072;  // ahead, alert
    sentries[0].lost = 0;
    sentries[1].x = -3072;  // left, not alert
    sentries[2].z = -7000;  // out of range
    const std::array<std::array<float, 2>, 1> others{{{0, -3072}}};
    RadarInput input;
    input.sentries = sentries;
    input.alerted = [](const SentryState& s) { return s.lost == 0; };
    input.others = others;
    fx.renderer.ClearFrame(1);
    DrawRadar(fx.renderer.Frame(), images.Lookup(), input);
    EXPECT_EQ(fx.Pixel(256, 12), 30);
    EXPECT_EQ(fx.Pixel(281, 24), 31);  // 0.878125 * 320 = 281, 0.1021 * 240 = 24.5
    EXPECT_EQ(fx.Pixel(269, 38), 32);  // 0.8390625 * 320 = 268.5, 0.1542 * 240 = 37
    EXPECT_EQ(fx.Pixel(281, 49), 33);  // behind: below the centre
}

}  // namespace
}  // namespace zq
