#include "rules/move_box.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "rules_fixture.h"

namespace zq {
namespace {

using namespace zq::test;

constexpr int kHeroStep = 256, kHeroHeight = 480, kHeroWidth = 260;

bool MoveHero(World& w, float& x, float& y, float& z, float vx, float vy, float vz) {
    return MoveBox(w, x, y, z, kHeroStep, kHeroHeight, kHeroWidth, vz, vy, vx);
}

TEST(MoveBoxVertical, FallingBoxRestsOneUnitAboveTheFloor) {
    RulesFixture f;
    f.Floor();
    float x = 1280, y = 2000, z = 1280;
    bool contact = false;
    for (int i = 0; i < 40; ++i) contact = MoveHero(f.world, x, y, z, 0, -100, 0);
    EXPECT_TRUE(contact);
    EXPECT_FLOAT_EQ(y - kHeroHeight / 2, 513.0f);
    // Resting with a little gravity every frame keeps it there.
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(MoveHero(f.world, x, y, z, 0, -2.6f, 0));
        EXPECT_FLOAT_EQ(y, 513.0f + kHeroHeight / 2);
    }
    EXPECT_FLOAT_EQ(x, 1280);
    EXPECT_FLOAT_EQ(z, 1280);
}

TEST(MoveBoxVertical, HeadBumpsUnderACeilingAndWorldLimitsHold) {
    RulesFixture f;
    SetCell(f.world, 2, 3, 2, kWall);
    float x = 1280, y = 1000, z = 1280;
    EXPECT_TRUE(MoveHero(f.world, x, y, z, 0, 400, 0));
    EXPECT_FLOAT_EQ(y + kHeroHeight / 2, 3 * 512 - 1);

    // No floor at all: the bottom of the World holds the box at 256.
    float lowY = 100;
    EXPECT_TRUE(MoveHero(f.world, x, lowY, z, 0, 0, 0));
    EXPECT_FLOAT_EQ(lowY, 256);
    // And the top of the World at 512 * sizeY.
    float highY = 512.0f * f.world.sizeY - 10;
    EXPECT_TRUE(MoveHero(f.world, x, highY, z, 0, 300, 0));
    EXPECT_FLOAT_EQ(highY, 512.0f * f.world.sizeY);
}

TEST(MoveBoxLateral, VelocityIsLimitedAndTheGridHoldsTheBox) {
    RulesFixture f(16, 6, 16);
    float x = 4000, y = 2000, z = 4000;
    MoveHero(f.world, x, y, z, 800, 0, -800);
    EXPECT_FLOAT_EQ(x, 4510);
    EXPECT_FLOAT_EQ(z, 3490);
    // The level's sides hold the whole box, not just its centre: nothing
    // walks on half over the void beyond the last cells.
    float ix = 1000, iz = 7000;
    for (int i = 0; i < 10; ++i) MoveHero(f.world, ix, y, iz, -400, 0, 400);
    EXPECT_FLOAT_EQ(ix, kHeroWidth / 2);
    EXPECT_FLOAT_EQ(iz, 8192 - kHeroWidth / 2);
    // A box placed further out than that is not pulled in, only kept from
    // going further.
    float ex = 100, ez = 8100;
    MoveHero(f.world, ex, y, ez, -400, 0, 400);
    EXPECT_FLOAT_EQ(ex, 100);
    EXPECT_FLOAT_EQ(ez, 8100);
    MoveHero(f.world, ex, y, ez, 400, 0, -400);
    EXPECT_FLOAT_EQ(ex, 500);
    EXPECT_FLOAT_EQ(ez, 7700);
}

TEST(MoveBoxLateral, ClimbsLowStepsAndStopsAtFullBlocks) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 4, 1, 3, kStep);  // top 256 above the floor
    SetCell(f.world, 4, 1, 5, kWall);  // a full block
    float x = 3 * 512 + 256, y = 513 + 240, z = 3 * 512 + 256;
    float wx = x, wy = y, wz = 5 * 512 + 256;
    for (int i = 0; i < 20; ++i) {
        MoveHero(f.world, x, y, z, 40, -2, 0);
        MoveHero(f.world, wx, wy, wz, 40, -2, 0);
    }
    EXPECT_GT(x, 4 * 512 + 130);
    EXPECT_GE(y - 240, 512 + 256);
    EXPECT_LE(y - 240, 512 + 257);
    EXPECT_LE(wx + 130, 4 * 512);
    EXPECT_GT(wx + 130, 4 * 512 - 41);
    EXPECT_FLOAT_EQ(wy, 513 + 240);
}

// A block that settles into the cell beside a hero's feet under a roof one
// cell up: the step-up would put him on the block, his head in the roof, and
// the next frame on top of the roof.  He stays on the floor instead.
TEST(MoveBoxLateral, ASettledBlockNeverLiftsTheBoxIntoARoof) {
    RulesFixture f;
    f.Floor();
    for (int x = 2; x <= 5; ++x) SetCell(f.world, x, 2, 3, kWall);  // the roof
    SetCell(f.world, 4, 1, 3, kWall);                                  // the block, settled
    float x = 4 * 512 - 100, y = 513 + 240, z = 3 * 512 + 256;        // his box reaches 30 into it
    for (int i = 0; i < 10; ++i) MoveHero(f.world, x, y, z, 0, -10, 0);
    EXPECT_FLOAT_EQ(y, 513 + 240);
    // Where there is room above, the same overlap is a step up onto the block.
    SetCell(f.world, 4, 2, 3, 0);
    SetCell(f.world, 3, 2, 3, 0);
    for (int i = 0; i < 10; ++i) MoveHero(f.world, x, y, z, 0, -10, 0);
    EXPECT_GT(y, 1024 + 240 - 2);
}

TEST(MoveBoxLateral, NonCollidingAndUnknownCellsLetTheBoxThrough) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 4, 1, 3, kLadder);
    SetCell(f.world, 4, 2, 3, 999);  // a damaged cell value: no object
    float x = 3 * 512 + 256, y = 513 + 240, z = 3 * 512 + 256;
    for (int i = 0; i < 20; ++i) MoveHero(f.world, x, y, z, 40, -2, 0);
    EXPECT_GT(x, 5 * 512);
}

TEST(SurfaceTopTest, SlopesFromStretchAndFlatBoxes) {
    RulesFixture f;
    SetCell(f.world, 3, 1, 3, kSlope);
    SetStretch(f.world, 3, 1, 3, 50);
    SetStretch(f.world, 2, 1, 3, 50);
    EXPECT_EQ(SurfaceTop(f.world, 3, 1, 3, 0, 0), 512);
    EXPECT_EQ(SurfaceTop(f.world, 3, 1, 3, 0, 511), 512);
    EXPECT_EQ(SurfaceTop(f.world, 3, 1, 3, 511, 200), 256);
    EXPECT_EQ(SurfaceTop(f.world, 3, 1, 3, 255.5f, 100), 384);
    // Stretch bytes one layer down raise the cube's bottom.
    SetStretch(f.world, 3, 0, 3, 100);
    RefreshCubeCorners(f.world, 3, 1, 3);
    EXPECT_EQ(f.world.objectDefs[kSlope].bounds[kYmin], 128);
    // An empty cell has no top.
    EXPECT_EQ(SurfaceTop(f.world, 1, 1, 1, 10, 10), 0);

    // A box without extent on X or Z takes its low edge instead of dividing by zero.
    Bounds flat{100, 100, 0, 0, 511, 300, 300, 400, 400};
    EXPECT_EQ(SurfaceTop(flat, 511, 100), 400);
    Bounds thin{0, 511, 0, 200, 200, 300, 500, 500, 300};
    EXPECT_EQ(SurfaceTop(thin, 200, 511), 500);
}

TEST(SurfaceTopTest, CubeFacesTakeTheShapeOfEachCell) {
    RulesFixture f;
    SetCell(f.world, 3, 1, 3, kSlope);
    SetStretch(f.world, 3, 1, 3, 50);
    SetStretch(f.world, 2, 1, 3, 50);
    SetStretch(f.world, 3, 0, 3, 100);
    const auto faces = BuildCubeFaceMeshes();
    ShapeCubeFaces(f.world, 3, 1, 3, faces);
    const Mesh& top = *faces[4];
    for (std::size_t v = 0; v < 4; ++v) EXPECT_EQ(top.y[v], top.z[v] > 0 ? 0 : 256) << v;
    for (std::int32_t y : faces[5]->y) EXPECT_EQ(y, 128 - 256);
    EXPECT_EQ(faces[0]->x[0], 256);  // only heights change
    // The next cell is flat again, whatever the previous one did.
    ShapeCubeFaces(f.world, 5, 1, 5, faces);
    for (const MeshRef& face : faces)
        for (std::int32_t y : face->y) EXPECT_EQ(std::abs(y), 256);
}

TEST(PointTests, CollisionFlagAndGridEdges) {
    RulesFixture f(4, 4, 4);
    SetCell(f.world, 1, 1, 1, kWall);
    SetCell(f.world, 2, 1, 1, kLadder);
    EXPECT_TRUE(PointInSolid(f.world, 700, 700, 700));
    EXPECT_TRUE(PointInSolidStep(f.world, 100, 700, 600, 700));
    EXPECT_FALSE(PointInSolidStep(f.world, 300, 700, 1000, 700));
    EXPECT_FALSE(PointInSolid(f.world, 1300, 700, 540));
    EXPECT_TRUE(PointInBox(f.world, 1300, 700, 540));
    EXPECT_FALSE(PointInBox(f.world, 1300, 700, 600));  // beyond the ladder's thin Z extent
    EXPECT_FALSE(PointInSolid(f.world, 2048, 700, 700));  // the cell just past the grid reads empty
    EXPECT_FALSE(PointInSolid(f.world, -600, 700, 700));
    EXPECT_FALSE(PointInBox(f.world, 1e30f, 1e30f, -1e30f));
}

TEST(MoveBoxBlocks, RiderIsCarriedByAMovingBlock) {
    RulesFixture f;
    MovingBlock& b = f.world.movingBlocks[0];
    b.x = 5 * 512 + 256;
    b.y = 768;
    b.z = 5 * 512 + 256;
    b.vx = 20;
    b.vz = -10;
    b.value = kCrate;
    f.world.lastMovingBlock = 0;
    float x = b.x + 3, y = 1024 + 241, z = b.z + 3;
    EXPECT_TRUE(MoveHero(f.world, x, y, z, 0, -2, 0));
    EXPECT_FLOAT_EQ(x, b.x + 23);
    EXPECT_FLOAT_EQ(z, b.z - 7);
    EXPECT_NEAR(y, 1024 + 241, 2);

    // A rider centred exactly on the block's x and z rides it as well.
    float cx = b.x, cy = 1024 + 241, cz = b.z;
    EXPECT_TRUE(MoveHero(f.world, cx, cy, cz, 0, -2, 0));
    EXPECT_FLOAT_EQ(cx, b.x + 20);
    EXPECT_NEAR(cy, 1024 + 241, 2);

    // Walking into the side of a block that does not move stops the walker.
    b.vx = b.vz = 0;
    float wx = b.x - 256 - 131, wy = 770, wz = b.z + 5;
    MoveHero(f.world, wx, wy, wz, 30, 0, 0);
    EXPECT_FLOAT_EQ(wx, b.x - 256 - 131);
}

}  // namespace
}  // namespace zq
