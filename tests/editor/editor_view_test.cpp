#include "editor/editor_view.h"

#include <gtest/gtest.h>

#include "editor/editing.h"
#include "world/level_file.h"

namespace zq {
namespace {

TEST(EditorPickTest, TheRayThroughAPointFindsTheFirstFilledCell) {
    EditorState s;
    ASSERT_TRUE(InitNewLevel(*s.working, 12, 6, 12, 0));
    JumpCursor(s, {5, 1, 3});
    s.shownDistance = 512;
    SetCell(*s.working, 5, 1, 7, 4);  // straight ahead
    for (int z = 5; z < 10; ++z) SetCell(*s.working, 8, 1, z, 4);  // a wall ahead and to the right
    const auto cellAt = [&](float ndcX, float ndcY) -> std::optional<CellPos> {
        if (auto pick = PickFace(*s.working, EditorCamera(s), ndcX, ndcY, 85, 1.4f)) return pick->cell;
        return std::nullopt;
    };
    EXPECT_EQ(cellAt(0, 0), (CellPos{5, 1, 7}));
    // Lower in the picture the ray meets the floor first.
    const auto floor = cellAt(0, -0.5f);
    ASSERT_TRUE(floor);
    EXPECT_EQ(floor->y, 0);
    // Right in the picture is +X when the view faces +Z.
    const auto right = cellAt(0.45f, 0);
    ASSERT_TRUE(right);
    EXPECT_GT(right->x, 5);
    // Looking up into empty space finds nothing.
    EXPECT_FALSE(cellAt(0, 1));
}

TEST(EditorAreaTest, WaitingAreasRunFromTheMarkerOtherAreasFromTheirFirstCorner) {
    const EventMarker m{0, 10, 2, 10, 0, 0, 0, {}};
    Step wait;
    wait.command = static_cast<std::int32_t>(Command::WaitForPlayer);
    wait.args = {0, 0, 0, 2, 1, -2, 0};
    AreaBox box;
    bool waits = false;
    ASSERT_TRUE(StepArea(m, wait, box, waits));
    EXPECT_TRUE(waits);
    EXPECT_EQ(box.from, (std::array<int, 3>{10, 2, 10}));
    EXPECT_EQ(box.to, (std::array<int, 3>{12, 3, 8}));
    Step fill = wait;
    fill.command = static_cast<std::int32_t>(Command::PutObject);
    fill.args = {-1, 0, -1, 1, 0, 1, 5};
    ASSERT_TRUE(StepArea(m, fill, box, waits));
    EXPECT_FALSE(waits);
    EXPECT_EQ(box.from, (std::array<int, 3>{9, 2, 9}));
    EXPECT_EQ(box.to, (std::array<int, 3>{11, 2, 11}));
    Step delay;
    delay.command = static_cast<std::int32_t>(Command::Delay);
    EXPECT_FALSE(StepArea(m, delay, box, waits));
}

}  // namespace
}  // namespace zq
