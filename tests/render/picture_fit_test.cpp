#include "render/picture_fit.h"

#include <gtest/gtest.h>

#include "render/view_shape.h"

namespace zq {
namespace {

PictureArea Area(int x, int y, int w, int h) { return {x, y, w, h}; }

bool operator==(const PictureArea& a, const PictureArea& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST(FitPicture, CentredScaledAndWholePixels) {
    const PictureArea centred = FitPicture(800, 600, 640, 480, PictureFit::Centred);
    EXPECT_TRUE(centred == Area(80, 60, 640, 480));
    const PictureArea scaled = FitPicture(1920, 1080, 640, 480, PictureFit::Scaled);
    EXPECT_TRUE(scaled == Area(240, 0, 1440, 1080));  // bars at the sides
    const PictureArea whole = FitPicture(1920, 1080, 640, 480, PictureFit::WholePixels);
    EXPECT_TRUE(whole == Area(320, 60, 1280, 960));
    // A picture larger than the window hangs over evenly; nothing divides by zero.
    EXPECT_TRUE(FitPicture(320, 240, 640, 480, PictureFit::WholePixels) == Area(-160, -120, 640, 480));
    EXPECT_TRUE(FitPicture(0, 0, 0, 0, PictureFit::Scaled) == Area(0, 0, 1, 1));
}

// A click on a full-screen 4:3 picture, scaled into a 16:9 desktop whose
// window points are half its drawable pixels (a scaled desktop), lands on
// the right picture point; a click on the bar beside it lands outside.
TEST(PictureShare, ClicksOnAScaledLetterboxedPictureMapToThePicture) {
    const PictureArea drawn = FitPicture(3840, 2160, 640, 480, PictureFit::Scaled);
    const PictureArea points = ScaleArea(drawn, 3840, 2160, 1920, 1080);
    EXPECT_TRUE(points == Area(240, 0, 1440, 1080));
    float x = 0, y = 0;
    ASSERT_TRUE(PictureShare(240 + 1440 / 4, 1080 / 2, points, x, y));
    EXPECT_FLOAT_EQ(x, 0.25f);  // picture column 160 of 640
    EXPECT_FLOAT_EQ(y, 0.5f);
    ASSERT_TRUE(PictureShare(100, 10, points, x, y));
    EXPECT_LT(x, 0);
    EXPECT_FALSE(PictureShare(10, 10, Area(0, 0, 0, 480), x, y));
    // On a wide picture, a click at the frame's middle is the middle of the
    // 4:3 interface area too; its left edge is that area's left edge.
    const float s = InterfaceScale(1280, 720);
    ASSERT_TRUE(PictureShare(640, 360, FitPicture(1280, 720, 1280, 720, PictureFit::Centred), x, y));
    EXPECT_FLOAT_EQ(InterfaceX(x, s, Anchor::Centre), 0.5f);
    EXPECT_FLOAT_EQ(InterfaceX(160.0f / 1280, s, Anchor::Centre), 0);
}

}  // namespace
}  // namespace zq
