#include "world/world.h"

#include <gtest/gtest.h>

#include <limits>

namespace zq {
namespace {

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        world = std::make_unique<World>();
        ASSERT_TRUE(AllocateGrid(*world, 3, 2, 4));
        world->objectDefs[20].lingot = true;
        world->objectDefs[21].lingot = true;
    }
    std::unique_ptr<World> world;
};

TEST_F(WorldTest, AccessorsIgnoreEverythingOutsideTheGrid) {
    for (auto [x, y, z] : {std::tuple{-1, 0, 0}, {3, 0, 0}, {0, -1, 0}, {0, 2, 0}, {0, 0, -1}, {0, 0, 4}}) {
        SetCell(*world, x, y, z, 20);
        SetLight(*world, x, y, z, 9);
        SetStretch(*world, x, y, z, 9);
        EXPECT_EQ(GetCell(*world, x, y, z), 0);
        EXPECT_EQ(GetLight(*world, x, y, z), 0);
        EXPECT_EQ(GetStretch(*world, x, y, z), 0);
    }
    EXPECT_EQ(world->objectDefs[20].cellCount, 0);
    // Planes are indexed x + sizeX * (y + sizeY * z).
    SetCell(*world, 2, 1, 3, 7);
    EXPECT_EQ(world->cells[2 + 3 * (1 + 2 * 3)], 7);
    SetLight(*world, 1, 0, 2, 200);
    EXPECT_EQ(GetLight(*world, 1, 0, 2), 200);
}

TEST_F(WorldTest, SetCellKeepsIngotCountsExact) {
    SetCell(*world, 0, 0, 0, 20);
    SetCell(*world, 1, 0, 0, 20);
    EXPECT_EQ(world->objectDefs[20].cellCount, 2);
    SetCell(*world, 0, 0, 0, 20);  // same type over itself: no change
    EXPECT_EQ(world->objectDefs[20].cellCount, 2);
    SetCell(*world, 0, 0, 0, 21);  // one counted type replaced by another
    EXPECT_EQ(world->objectDefs[20].cellCount, 1);
    EXPECT_EQ(world->objectDefs[21].cellCount, 1);
    SetCell(*world, 1, 0, 0, 0);
    EXPECT_EQ(world->objectDefs[20].cellCount, 0);
    // Values past the object table are stored but never index it.
    SetCell(*world, 2, 0, 0, 60000);
    EXPECT_EQ(GetCell(*world, 2, 0, 0), 60000);
    SetCell(*world, 2, 0, 0, 21);
    EXPECT_EQ(world->objectDefs[21].cellCount, 2);
}

TEST_F(WorldTest, AllocateGridRefusesAbsurdSizesAndKeepsTheOldGrid) {
    SetCell(*world, 1, 1, 1, 5);
    EXPECT_FALSE(AllocateGrid(*world, 0, 1, 1));
    EXPECT_FALSE(AllocateGrid(*world, -4, 1, 1));
    EXPECT_FALSE(AllocateGrid(*world, kMaxLevelAxis + 1, 1, 1));
    EXPECT_FALSE(AllocateGrid(*world, 1024, 1024, 1024));  // over the cell limit
    EXPECT_EQ(world->sizeX, 3);
    EXPECT_EQ(GetCell(*world, 1, 1, 1), 5);
    ASSERT_TRUE(AllocateGrid(*world, 2, 2, 2));
    EXPECT_EQ(world->cells.size(), 8u);
    EXPECT_EQ(GetCell(*world, 1, 1, 1), 0);
}

TEST(CellOf, TruncatesTowardZero) {
    EXPECT_EQ(CellOf(511.9f), 0);
    EXPECT_EQ(CellOf(512.0f), 1);
    EXPECT_EQ(CellOf(-1.0f), 0);
    EXPECT_EQ(CellOf(-513.0f), -1);
}

TEST(CellOf, SaturatesFarAwayAndNotANumber) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(CellOf(1e30f), kFarCell);
    EXPECT_EQ(CellOf(inf), kFarCell);
    EXPECT_EQ(CellOf(-1e30f), -kFarCell);
    EXPECT_EQ(CellOf(std::numeric_limits<float>::quiet_NaN()), -kFarCell);
    EXPECT_EQ(CellOf(512.0f * kMaxCellCoordinate), kMaxCellCoordinate);
    // The far cell is still a cell the rules may scale back to world units.
    EXPECT_LT(std::int64_t{kCellSize} * (kFarCell + 2), std::int64_t{std::numeric_limits<int>::max()});
}

}  // namespace
}  // namespace zq
