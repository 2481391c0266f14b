#include "editor/undo_history.h"

#include <gtest/gtest.h>

#include "world/level_file.h"

namespace zq {
namespace {

struct UndoHistoryTest : ::testing::Test {
    World working, baseline;
    UndoHistory history;
    void SetUp() override {
        ASSERT_TRUE(InitNewLevel(working, 16, 4, 16, 7));
        history.Reset(working, baseline);
    }
};

TEST_F(UndoHistoryTest, TwentyUndosAndTwentyRedosGiveBackTheSameBytes) {
    const Bytes start = SerializeLevel(working);
    for (int i = 0; i < 20; ++i) {
        SetCell(working, i % 16, 1 + i % 3, i / 2, static_cast<Cell>(2 + i));
        SetLight(working, i % 16, 1, 3, static_cast<std::uint8_t>(10 * i));
        if (i % 5 == 0) working.startX = i;           // the level's other settings go with the cells
        if (i == 7) working.description = "seven";
        ASSERT_EQ(history.Commit(working, baseline), UndoHistory::Recorded::Action);
    }
    const Bytes end = SerializeLevel(working);
    EXPECT_EQ(history.Commit(working, baseline), UndoHistory::Recorded::Nothing);
    EXPECT_EQ(history.UndoCount(), 20u);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(history.Undo(working, baseline));
    EXPECT_FALSE(history.Undo(working, baseline));
    EXPECT_EQ(SerializeLevel(working), start);
    EXPECT_EQ(SerializeLevel(baseline), start);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(history.Redo(working, baseline));
    EXPECT_FALSE(history.Redo(working, baseline));
    EXPECT_EQ(SerializeLevel(working), end);
    // A new action after some undos drops what could have been redone.
    history.Undo(working, baseline);
    SetCell(working, 0, 3, 0, 9);
    history.Commit(working, baseline);
    EXPECT_EQ(history.RedoCount(), 0u);
}

TEST_F(UndoHistoryTest, KeepsStoredCellsNotLevelsAndHoldsToItsCap) {
    // 150 one-cell actions are all kept, each far smaller than a level.
    for (int i = 0; i < 150; ++i) {
        SetCell(working, i % 16, 2, (i / 16) % 16, static_cast<Cell>(1 + i % 2 + (i / 16) % 2));
        history.Commit(working, baseline);
    }
    EXPECT_GE(history.UndoCount(), 100u);
    EXPECT_LT(history.Bytes(), 150 * (sizeof(UndoAction) + 4 * sizeof(CellChange)));
    // Under a small cap the oldest go first...
    history.SetCap(40 * (sizeof(UndoAction) + sizeof(CellChange)));
    SetCell(working, 5, 3, 5, 3);
    history.Commit(working, baseline);
    EXPECT_LE(history.Bytes(), 40 * (sizeof(UndoAction) + sizeof(CellChange)));
    EXPECT_GT(history.UndoCount(), 10u);
    // ...and one action larger than the cap clears the history but stays applied.
    for (int y = 2; y <= 3; ++y)
        for (int x = 0; x < 16; ++x)
            for (int z = 0; z < 16; ++z) SetCell(working, x, y, z, 4);
    EXPECT_EQ(history.Commit(working, baseline), UndoHistory::Recorded::TooLarge);
    EXPECT_EQ(history.UndoCount(), 0u);
    EXPECT_EQ(GetCell(working, 15, 3, 15), 4);
    EXPECT_EQ(SerializeLevel(baseline), SerializeLevel(working));
    EXPECT_FALSE(history.Undo(working, baseline));
}

TEST_F(UndoHistoryTest, IngotCountsFollowUndoAndRedo) {
    working.objectDefs[20].lingot = true;
    SetCell(working, 1, 1, 1, 20);
    history.Commit(working, baseline);
    SetCell(working, 1, 1, 1, 0);
    SetCell(working, 2, 1, 1, 20);
    SetCell(working, 3, 1, 1, 20);
    history.Commit(working, baseline);
    EXPECT_EQ(working.objectDefs[20].cellCount, 2);
    history.Undo(working, baseline);
    EXPECT_EQ(working.objectDefs[20].cellCount, 1);
    history.Redo(working, baseline);
    EXPECT_EQ(working.objectDefs[20].cellCount, 2);
}

}  // namespace
}  // namespace zq
