// The third-person eye against walls, ceilings and the hero himself, on
// small worlds built in code.
#include <gtest/gtest.h>

#include <cmath>

#include "rules/rules_math.h"
#include "shell/camera_view.h"
#include "../rules/rules_fixture.h"

namespace zq {
namespace {

using test::kFloor;
using test::kWall;

constexpr float kHalfWidth = 130, kHalfHeight = 240;

// A hero standing in the middle of a room 8 x 6 x 8 with a floor, looking +Z.
struct Room : test::RulesFixture {
    float heroX = 4 * kCellSize + 256, heroY = kCellSize + 240, heroZ = 4 * kCellSize + 256;
    Room() {
        for (int x = 0; x < 8; ++x)
            for (int z = 0; z < 8; ++z) SetCell(world, x, 0, z, kFloor);
    }
    WorldCamera Behind(float distance, float rise) const {
        WorldCamera eye;
        eye.x = heroX;
        eye.y = heroY + rise;
        eye.z = heroZ - distance;
        return eye;
    }
    EyePlacement Clear(const WorldCamera& eye) const {
        return ClearEye(world, eye, heroX, heroY, heroZ, kHalfWidth, kHalfHeight);
    }
    float Away(const WorldCamera& eye) const {
        const float dx = eye.x - heroX, dy = eye.y - heroY, dz = eye.z - heroZ;
        return std::sqrt(dx * dx + dy * dy + dz * dz);
    }
};

TEST(CameraView, AnOpenViewIsLeftExactlyAsItWas) {
    Room room;
    WorldCamera wanted = room.Behind(1024, 300);
    wanted.yaw = 1234;
    wanted.pitch = -2000;
    EyePlacement placed = room.Clear(wanted);
    EXPECT_EQ(placed.eye.x, wanted.x);
    EXPECT_EQ(placed.eye.y, wanted.y);
    EXPECT_EQ(placed.eye.z, wanted.z);
    EXPECT_EQ(placed.eye.yaw, 1234);
    EXPECT_EQ(placed.eye.pitch, -2000);
    EXPECT_FALSE(placed.heroHidden);
    EXPECT_EQ(placed.heroTransparency, 0);
}

TEST(CameraView, AnEyeInsideAWallComesOutOnTheHerosSideAndLooksAtHim) {
    Room room;
    for (int x = 0; x < 8; ++x)
        for (int y = 1; y < 6; ++y) SetCell(room.world, x, y, 2, kWall);  // a wall a cell and a half behind him
    EyePlacement placed = room.Clear(room.Behind(1024, 300));
    EXPECT_FALSE(PointInSolidCell(room.world, placed.eye.x, placed.eye.y, placed.eye.z));
    EXPECT_GE(placed.eye.z, 3 * kCellSize + kEyeWallMargin - 1);
    EXPECT_FALSE(placed.heroHidden);
    // Still looking at the hero: straight ahead (+Z) and down at him.
    EXPECT_NEAR(placed.eye.yaw, 0, 200);
    EXPECT_LT(placed.eye.pitch, 0);
}

TEST(CameraView, AWallRightBehindLiftsTheEyeOverHisHeadToKeepItsDistance) {
    Room room;
    for (int x = 0; x < 8; ++x)
        for (int y = 1; y < 6; ++y) SetCell(room.world, x, y, 3, kWall);  // his back against the wall
    EyePlacement placed = room.Clear(room.Behind(512, 100));
    EXPECT_FALSE(PointInSolidCell(room.world, placed.eye.x, placed.eye.y, placed.eye.z));
    EXPECT_GE(room.Away(placed.eye), kEyeMinDistance - 1);
    EXPECT_GT(placed.eye.y, room.heroY + kHalfHeight);
    EXPECT_FALSE(placed.heroHidden);
    EXPECT_LT(placed.eye.pitch, -4000);  // looking down at him from above
}

TEST(CameraView, UnderALowCeilingTheHeroIsSeenThroughOrLeftOutNeverFromInside) {
    Room room;
    for (int x = 0; x < 8; ++x) {
        for (int y = 1; y < 6; ++y) SetCell(room.world, x, y, 3, kWall);
        for (int z = 0; z < 8; ++z) SetCell(room.world, x, 2, z, kWall);  // a ceiling right over his head
    }
    EyePlacement placed = room.Clear(room.Behind(512, 100));
    EXPECT_FALSE(PointInSolidCell(room.world, placed.eye.x, placed.eye.y, placed.eye.z));
    EXPECT_FALSE(placed.heroHidden);
    EXPECT_EQ(placed.heroTransparency, kHeroSeeThroughPercent);

    room.heroZ = 4 * kCellSize + kHalfWidth;  // his back touching the wall
    placed = room.Clear(room.Behind(512, 100));
    EXPECT_FALSE(PointInSolidCell(room.world, placed.eye.x, placed.eye.y, placed.eye.z));
    EXPECT_TRUE(placed.heroHidden);
}

TEST(CameraView, SunkenCubesAreSolidOnlyBelowTheirTop) {
    Room room;
    SetCell(room.world, 1, 1, 1, kFloor);
    SetStretch(room.world, 1, 1, 1, 50);  // the top lowered by half a cell
    const float x = kCellSize + 256, z = kCellSize + 256;
    EXPECT_TRUE(PointInSolidCell(room.world, x, kCellSize + 200, z));
    EXPECT_FALSE(PointInSolidCell(room.world, x, kCellSize + 300, z));
    EXPECT_FALSE(PointInSolidCell(room.world, -10, 10, 10));  // outside the grid is open
}

}  // namespace
}  // namespace zq
