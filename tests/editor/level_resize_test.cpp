#include "editor/level_resize.h"

#include <gtest/gtest.h>

#include "editor/editing.h"
#include "world/level_file.h"

namespace zq {
namespace {

struct LevelResizeTest : ::testing::Test {
    EditorState s;
    World& w() { return *s.working; }
    void SetUp() override {
        ASSERT_TRUE(InitNewLevel(w(), 6, 4, 5, 0));
        ResetHistory(s);
        // Every cell different, so any cell out of place shows.
        for (int z = 0; z < 5; ++z)
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 6; ++x) {
                    SetCell(w(), x, y, z, static_cast<Cell>(1 + x + 6 * (y + 4 * z)));
                    SetLight(w(), x, y, z, static_cast<std::uint8_t>(x * 40 + z));
                    SetStretch(w(), x, y, z, static_cast<std::uint8_t>(y * 10 + z));
                }
        SetCell(w(), 1, 1, 1, 0);  // the start's cell
        w().startX = 1, w().startY = 1, w().startZ = 1;
        w().exitX = 4, w().exitY = 2, w().exitZ = 3;
        w().clipMarkers[255] = ClipMarker{5, 3, 4, 2};
        w().eventMarkers[255].x = 0;
        w().sentryCount = 1;
        w().sentries[0].cellX = 2, w().sentries[0].cellY = 1, w().sentries[0].cellZ = 2;
        w().sentries[0].x = 2 * 512 + 256;
        CommitAction(s);
        JumpCursor(s, {2, 1, 2});
    }
};

TEST_F(LevelResizeTest, GrowingKeepsEveryCellByteExactAtItsNewPlaceAndUndoGivesTheLevelBack) {
    const World old = w();
    const Bytes before = SerializeLevel(w());
    LevelResize r;
    r.low = {2, 0, 3};
    r.high = {1, 2, 0};
    ASSERT_TRUE(ResizeLevel(s, r)) << s.status;
    CommitAction(s);
    ASSERT_EQ(w().sizeX, 9);
    ASSERT_EQ(w().sizeY, 6);
    ASSERT_EQ(w().sizeZ, 8);
    for (int z = 0; z < 5; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                ASSERT_EQ(GetCell(w(), x + 2, y, z + 3), GetCell(old, x, y, z));
                ASSERT_EQ(GetLight(w(), x + 2, y, z + 3), GetLight(old, x, y, z));
                ASSERT_EQ(GetStretch(w(), x + 2, y, z + 3), GetStretch(old, x, y, z));
            }
    // The new cells are empty at the neutral light.
    EXPECT_EQ(GetCell(w(), 0, 0, 0), 0);
    EXPECT_EQ(GetLight(w(), 8, 5, 7), 128);
    EXPECT_EQ((CellPos{w().startX, w().startY, w().startZ}), (CellPos{3, 1, 4}));
    EXPECT_EQ((CellPos{w().exitX, w().exitY, w().exitZ}), (CellPos{6, 2, 6}));
    EXPECT_EQ(w().clipMarkers[255].x, 7);
    EXPECT_EQ(w().clipMarkers[255].z, 7);
    EXPECT_EQ(w().eventMarkers[255].x, 2);
    EXPECT_LT(w().eventMarkers[0].x, 0);  // a free marker stays free
    EXPECT_EQ(w().sentries[0].cellX, 4);
    EXPECT_FLOAT_EQ(w().sentries[0].x, 4 * 512 + 256);
    EXPECT_EQ(TargetCell(s), (CellPos{4, 1, 5}));

    const Bytes grown = SerializeLevel(w());
    s.pointA = {8, 5, 7};  // the far corner of the grown level
    s.pointB = {0, 0, 0};
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(SerializeLevel(w()), before);
    EXPECT_EQ(s.pointA, (CellPos{5, 3, 4})) << "a box corner stays inside the smaller level";
    EXPECT_EQ(s.pointB, (CellPos{0, 0, 0}));
    ASSERT_TRUE(Redo(s));
    EXPECT_EQ(SerializeLevel(w()), grown);
    // Shrinking back by the same amounts is the first level again.
    r.low = {-2, 0, -3};
    r.high = {-1, -2, 0};
    ASSERT_TRUE(ResizeLevel(s, r)) << s.status;
    EXPECT_EQ(SerializeLevel(w()), before);
}

TEST_F(LevelResizeTest, ShrinkingOverAnythingPlacedIsRefusedAndChangesNothing) {
    const Bytes before = SerializeLevel(w());
    // Each would cut off filled cells; an empty edge may go.
    for (LevelResize r : {LevelResize{{-1, 0, 0}, {}}, LevelResize{{}, {0, 0, -1}}, LevelResize{{}, {-6, 0, 0}},
                          LevelResize{{}, {100000, 0, 0}}}) {
        EXPECT_FALSE(ResizeLevel(s, r));
        EXPECT_NE(s.status.find("not resized"), std::string::npos) << s.status;
        EXPECT_EQ(SerializeLevel(w()), before);
    }
    for (int z = 0; z < 5; ++z)
        for (int y = 0; y < 4; ++y) SetCell(w(), 5, y, z, 0);
    EXPECT_FALSE(ResizeLevel(s, LevelResize{{}, {-1, 0, 0}}));
    EXPECT_NE(s.status.find("clip marker"), std::string::npos) << s.status;
    w().clipMarkers[255] = ClipMarker{};
    EXPECT_TRUE(ResizeLevel(s, LevelResize{{}, {-1, 0, 0}})) << s.status;
    EXPECT_EQ(w().sizeX, 5);
}

}  // namespace
}  // namespace zq
