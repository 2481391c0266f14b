// Rounds of the batched GL list: which triangles may be drawn together and
// which must wait for an earlier one.  No GL context needed.
#include <gtest/gtest.h>

#include <cmath>

#include "render/gl/gl_rounds.h"

namespace zq {
namespace {

constexpr int kW = 320, kH = 240;

// A plain perspective looking down -z, 90 degrees across: at depth d the
// picture spans x and y from -d to d.
struct Fixture {
    GlRoundPlanner planner;
    Fixture() {
        const double n = 1, f = 100000;
        const double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, (f + n) / (n - f), -1, 0, 0, 2 * f * n / (n - f), 0};
        planner.Begin(m, kW, kH);
    }
    int Add(std::array<GlVertex, 3> v, bool blended = false, bool fogged = false) {
        return planner.Add(v, blended, fogged);
    }
};

// The two halves of an upright square facing the eye, corners (x0, y0)-(x1, y1) at depth -z.
std::array<GlVertex, 3> Lower(float x0, float y0, float x1, float y1, float z) {
    return {GlVertex{x0, y0, -z}, GlVertex{x1, y0, -z}, GlVertex{x1, y1, -z}};
}
std::array<GlVertex, 3> Upper(float x0, float y0, float x1, float y1, float z) {
    return {GlVertex{x1, y1, -z}, GlVertex{x0, y1, -z}, GlVertex{x0, y0, -z}};
}

TEST(GlRounds, NeighboursSharingEdgesOrCornersGoTogether) {
    Fixture fx;
    // A row of squares, each split on its diagonal: every triangle touches the
    // next along an edge or at a corner and nowhere else.
    for (int i = 0; i < 6; ++i) {
        const float x = -300.0f + 100.0f * static_cast<float>(i);
        EXPECT_EQ(fx.Add(Lower(x, -50, x + 100, 50, 400)), 1) << i;
        EXPECT_EQ(fx.Add(Upper(x, -50, x + 100, 50, 400)), 1) << i;
    }
}

TEST(GlRounds, DiagonalNeighboursMeetingAtOneCornerGoTogether) {
    // Floor tiles touching at a corner, their edges in line, so that no edge
    // line of either has the other wholly beyond it.
    Fixture fx;
    EXPECT_EQ(fx.Add({GlVertex{100, 0, -400}, GlVertex{0, 0, -400}, GlVertex{0, 100, -400}}), 1);
    EXPECT_EQ(fx.Add({GlVertex{-100, 0, -400}, GlVertex{0, 0, -400}, GlVertex{0, -100, -400}}), 1);
    // A third sharing that corner but reaching into the first one's quarter.
    EXPECT_EQ(fx.Add({GlVertex{0, 0, -400}, GlVertex{-50, -50, -400}, GlVertex{50, 100, -400}}), 2);
}

TEST(GlRounds, OpaqueFacesAtClearlyDifferentDepthsGoTogether) {
    Fixture fx;
    EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, 800)), 1);
    EXPECT_EQ(fx.Add(Lower(-50, -50, 50, 50, 300)), 1);  // in front, over it
    EXPECT_EQ(fx.Add(Lower(-50, -50, 50, 50, 900)), 1);  // behind it, listed later
}

TEST(GlRounds, WhatMayMeetAtEqualDepthOrBlendKeepsItsOrder) {
    {
        Fixture fx;  // the same face twice: the later one must win every pixel
        EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, 500)), 1);
        EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, 500)), 2);
    }
    {
        Fixture fx;  // a tilted face passing through another
        EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, 500)), 1);
        EXPECT_EQ(fx.Add({GlVertex{-100, -100, -400}, GlVertex{100, -100, -600}, GlVertex{100, 100, -600}}), 2);
    }
    {
        Fixture fx;  // translucent over opaque, and opaque over translucent
        EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, 800)), 1);
        EXPECT_EQ(fx.Add(Lower(-50, -50, 50, 50, 300), true), 2);
        EXPECT_EQ(fx.Add(Lower(-20, -20, 20, 20, 200)), 3);
        EXPECT_EQ(fx.Add(Lower(150, -20, 190, 20, 200), true), 1);  // elsewhere on the screen
    }
}

TEST(GlRounds, FacesWhollyInTheFogNeedNoOrderAmongThemselves) {
    Fixture fx;
    // The same face twice, both drawn only in the fog colour: either order
    // leaves that colour at that depth.  A face in its own colours does wait.
    EXPECT_EQ(fx.Add(Lower(-40, -40, 40, 40, 500), false, true), 1);
    EXPECT_EQ(fx.Add(Lower(-40, -40, 40, 40, 500), false, true), 1);
    EXPECT_EQ(fx.Add({GlVertex{-40, -40, -450}, GlVertex{40, -40, -550}, GlVertex{40, 40, -550}}, false, true), 1);
    EXPECT_EQ(fx.Add(Lower(-40, -40, 40, 40, 500)), 2);
    EXPECT_EQ(fx.Add(Lower(-40, -40, 40, 40, 500), false, true), 3);
}

TEST(GlRounds, ATriangleJoinsALaterRoundDrawingItsStateAndWhatFollowsItWaits) {
    Fixture fx;
    auto add = [&](std::array<GlVertex, 3> v, std::uint64_t state) { return fx.planner.Add(v, false, false, state); };
    EXPECT_EQ(add(Lower(-100, -100, -20, -20, 500), 1), 1);
    EXPECT_EQ(add(Lower(-100, -100, -20, -20, 500), 2), 2);  // the same face again, each must wait
    EXPECT_EQ(add(Lower(-100, -100, -20, -20, 500), 1), 3);
    // Free to go first, elsewhere on the screen: it joins the round that
    // draws its state already.  The same face after it must still follow.
    EXPECT_EQ(add(Lower(40, 40, 100, 100, 500), 2), 2);
    EXPECT_EQ(add(Lower(40, 40, 100, 100, 500), 4), 3);
    EXPECT_EQ(fx.planner.Rounds(), 3);
}

TEST(GlRounds, ClippedAwayTrianglesGetNoRoundAndNearOnesFollowEverything) {
    Fixture fx;
    EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, -500)), 0);      // behind the eye
    EXPECT_EQ(fx.Add(Lower(700, -100, 900, 100, 500)), 0);        // off to the right
    EXPECT_EQ(fx.Add(Lower(-300, 400, -100, 500, 300)), 0);       // above
    EXPECT_EQ(fx.Add(Lower(-100, -100, 100, 100, 500)), 1);
    EXPECT_EQ(fx.Add(Lower(-800, -700, -500, -500, 900)), 1);     // lower left, elsewhere
    // A floor running from behind the eye into the distance is cut at the near
    // plane: it follows everything, though it is nowhere near the others' depth.
    EXPECT_EQ(fx.Add({GlVertex{-50, -10, 50}, GlVertex{50, -10, 50}, GlVertex{50, -10, -5000}}), 2);
    EXPECT_EQ(fx.Add(Lower(-800, -700, -500, -500, 900)), 3);
}

TEST(GlRounds, NearPlaneCutsHoldBackOnlyWhatTheirVisiblePartCovers) {
    Fixture fx;
    // A wall on the right running from behind the eye into the distance: GL
    // keeps only its part in front of the near plane, all on the right half.
    EXPECT_EQ(fx.Add({GlVertex{200, -100, 50}, GlVertex{200, 100, 50}, GlVertex{200, 0, -5000}}), 1);
    EXPECT_EQ(fx.Add(Lower(-800, -100, -500, 100, 900)), 1);  // on the left: not held back
    EXPECT_EQ(fx.Add(Lower(300, -20, 500, 20, 900)), 2);      // behind the wall, on the right
}

TEST(GlRounds, AFaceCutJustBeforeTheEyeHoldsBackOnlyWhatIsUnderIt) {
    Fixture fx;
    // Two corners just in front of the eye, the third beside and behind it:
    // what is left of it covers the upper right of the picture.
    EXPECT_EQ(fx.Add({GlVertex{0.2f, 0.2f, -1.5f}, GlVertex{1, 0.2f, -1.5f}, GlVertex{0.6f, 1, 0.5f}}), 1);
    EXPECT_EQ(fx.Add(Lower(100, 100, 200, 200, 600)), 2);       // under it
    EXPECT_EQ(fx.Add(Lower(-500, -400, -400, -300, 600)), 1);   // lower left, clear of it
}

TEST(GlRounds, ManyTrianglesOnOneTileStillOrderALaterOverlap) {
    Fixture fx;
    // More small faces in one spot than a tile keeps by name, all apart (at
    // this depth a unit is a pixel across and three quarters of one down).
    EXPECT_EQ(fx.Add(Lower(0, 0, 0.8f, 0.8f, 160)), 1);
    for (int i = 0; i < 40; ++i) {
        const float x = 1.2f * static_cast<float>(i % 5), y = 1.2f * static_cast<float>(1 + i / 5);
        EXPECT_GE(fx.Add(Lower(x, y, x + 0.8f, y + 0.8f, 160)), 1) << i;
    }
    // The very first one again, at the same depth: it must come after it, though
    // the tile has long forgotten which triangle that was.
    EXPECT_GE(fx.Add(Lower(0, 0, 0.8f, 0.8f, 160)), 2);
    EXPECT_GE(fx.planner.Rounds(), 2);
}

}  // namespace
}  // namespace zq
