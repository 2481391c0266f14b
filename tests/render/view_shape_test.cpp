#include "render/view_shape.h"

#include <gtest/gtest.h>

#include "render/soft_fixture.h"

namespace zq {
namespace {

TEST(ViewShape, OnlyFramesWiderThanFourByThreeWiden) {
    struct Case {
        int width, height;
        bool wide;
        float scale;
    };
    const Case kCases[] = {
        {640, 480, false, 1}, {1280, 1024, false, 1}, {320, 200, false, 1},  // the classic table
        {1280, 720, true, 0.75f}, {1920, 1080, true, 0.75f}, {1680, 1050, true, 0.8333f}, {0, 0, false, 1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(IsWideFrame(c.width, c.height), c.wide);
        EXPECT_NEAR(InterfaceScale(c.width, c.height), c.scale, 1e-3);
    }
    EXPECT_FLOAT_EQ(ViewAspect(640, 480, 1.4f), 1.4f);
    EXPECT_FLOAT_EQ(ViewAspect(1280, 720, 1.4f), 1280.0f / 720.0f);
}

// On a 16:9 frame: the 4:3 area sits in the middle, edge anchors keep their
// margins against the frame's edges, and a mosaic spanning InterfaceSpan
// reaches both edges.
TEST(ViewShape, AnchorsPlaceTheInterfaceArea) {
    const float s = 0.75f;
    EXPECT_FLOAT_EQ(PlaceX(0, s, Anchor::Centre), 0.125f);
    EXPECT_FLOAT_EQ(PlaceX(1, s, Anchor::Centre), 0.875f);
    EXPECT_FLOAT_EQ(PlaceX(0.01f, s, Anchor::Left), 0.0075f);
    EXPECT_FLOAT_EQ(PlaceX(0.8f + 50.0f / 320, s, Anchor::Right), 1 - (0.2f - 50.0f / 320) * s);
    EXPECT_FLOAT_EQ(PlaceX(0.3f, s, Anchor::Frame), 0.3f);
    for (const Anchor a : {Anchor::Centre, Anchor::Left, Anchor::Right, Anchor::Frame})
        EXPECT_NEAR(InterfaceX(PlaceX(0.3f, s, a), s, a), 0.3f, 1e-6);  // a click finds what was drawn there
    float left = 0, right = 0;
    InterfaceSpan(s, left, right);
    EXPECT_NEAR(PlaceX(left, s, Anchor::Centre), 0, 1e-6);
    EXPECT_NEAR(PlaceX(right, s, Anchor::Centre), 1, 1e-6);
    InterfaceSpan(1, left, right);
    EXPECT_FLOAT_EQ(left, 0);
    EXPECT_FLOAT_EQ(right, 1);
}

// Where a point straight ahead, off to the side and above lands, in pixels
// from the frame's centre.
struct Offsets {
    float side = 0, up = 0;
};
Offsets Measure(int width, int height) {
    test::SoftFixture f(width, height);
    f.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    f.renderer.EndFrame();
    float sx = 0, sy = 0, ux = 0, uy = 0;
    EXPECT_TRUE(f.renderer.ScreenPoint(300, 0, 1000, sx, sy));
    EXPECT_TRUE(f.renderer.ScreenPoint(0, 300, 1000, ux, uy));
    return {(sx - 0.5f) * static_cast<float>(width), (0.5f - uy) * static_cast<float>(height)};
}

// A wide frame keeps the vertical view of a 4:3 frame of the same height and
// square pixels, so it shows more to the sides instead of stretching.
TEST(SoftWideView, SameVerticalViewSquarePixels) {
    const Offsets classic = Measure(480, 360), wide = Measure(640, 360);
    EXPECT_NEAR(wide.up, classic.up, 1);
    EXPECT_NEAR(wide.side, wide.up, 1);
    EXPECT_NEAR(classic.side, classic.up, 1);  // the 4:3 view has square pixels as well
    // 320 x 200 keeps its old 4:3 view squeezed into 200 lines.
    const Offsets old = Measure(320, 200);
    EXPECT_GT(old.side, old.up * 1.1f);
}

}  // namespace
}  // namespace zq
