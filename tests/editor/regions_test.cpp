#include "editor/regions.h"

#include <gtest/gtest.h>

#include "world/level_file.h"

namespace zq {
namespace {

// Object types of the fixture: 1 a plain wall, 2..5 one ladder facing the
// four ways (its thin side at -Z, -X, +Z, +X), 6 a lever (symmetric).
constexpr Cell kWall = 1, kLadderN = 2, kLadderW = 3, kLadderS = 4, kLadderE = 5, kLever = 6;

void Define(World& w, Cell t, int x0, int x1, int z0, int z1, bool ladder, bool lever = false) {
    ObjectDef& d = w.objectDefs[t];
    d.undefined = false;
    d.ladder = ladder;
    d.lever = lever;
    d.bounds[kXmin] = x0;
    d.bounds[kXmax] = x1;
    d.bounds[kZmin] = z0;
    d.bounds[kZmax] = z1;
}

void MakeLevel(EditorState& s, int side) {
    ASSERT_TRUE(InitNewLevel(*s.working, side, 4, side, 0));
    World& w = *s.working;
    Define(w, kWall, 0, 512, 0, 512, false);
    Define(w, kLadderN, 0, 512, 0, 64, true);
    Define(w, kLadderW, 0, 64, 0, 512, true);
    Define(w, kLadderS, 0, 512, 448, 512, true);
    Define(w, kLadderE, 448, 512, 0, 512, true);
    Define(w, kLever, 200, 312, 200, 312, false, true);
    ResetHistory(s);
}

struct RegionTest : ::testing::Test {
    EditorState a, b;  // two open levels
    void SetUp() override {
        MakeLevel(a, 8);
        MakeLevel(b, 10);
        // A 3 x 2 x 2 box at (1, 0, 1) .. (3, 1, 2) that looks different from every side.
        World& w = *a.working;
        SetCell(w, 1, 0, 1, kWall);
        SetCell(w, 2, 0, 1, kLadderN);
        SetCell(w, 3, 1, 2, kLever);
        SetCell(w, 3, 0, 2, kLadderE);
        SetLight(w, 1, 1, 2, 40);
        SetStretch(w, 2, 0, 2, 35);
        CommitAction(a);
        Select(a, {3, 1, 2}, {1, 0, 1});
    }
    static void Select(EditorState& s, CellPos p, CellPos q) {
        JumpCursor(s, p);
        SetPointA(s);
        JumpCursor(s, q);
        SetPointB(s);
    }
};

TEST_F(RegionTest, APastedAndTurnedBoxInAnotherLevelHoldsTheTurnedCells) {
    Region clip;
    ASSERT_TRUE(CopySelection(a, clip));
    // Between two open levels the box travels as text.
    std::string why;
    const auto carried = ParseRegion(RegionText(clip), why);
    ASSERT_TRUE(carried) << why;
    EXPECT_EQ(*carried, clip);

    const Bytes before = SerializeLevel(*b.working);
    JumpCursor(b, {4, 1, 5});
    ASSERT_TRUE(PasteClipboard(b, *carried));
    CommitAction(b);
    ASSERT_TRUE(RotateSelection(b));
    CommitAction(b);
    EXPECT_EQ(b.history.UndoCount(), 2u);
    EXPECT_EQ(BoxLow(b.pointA, b.pointB), (CellPos{4, 1, 5}));
    EXPECT_EQ(BoxHigh(b.pointA, b.pointB), (CellPos{5, 2, 7}));  // X and Z sizes swapped

    // Cell (x, y, z) of the box lands at (z, y, 2 - x), its ladders turned a quarter.
    const Cell turned[kLever + 1] = {0, kWall, kLadderW, kLadderS, kLadderE, kLadderN, kLever};
    const World& from = *a.working;
    const World& to = *b.working;
    for (int z = 0; z < 2; ++z)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const int tx = 4 + z, ty = 1 + y, tz = 5 + 2 - x;
                SCOPED_TRACE(CellText(x, y, z));
                EXPECT_EQ(GetCell(to, tx, ty, tz), turned[GetCell(from, 1 + x, y, 1 + z)]);
                EXPECT_EQ(GetLight(to, tx, ty, tz), GetLight(from, 1 + x, y, 1 + z));
                EXPECT_EQ(GetStretch(to, tx, ty, tz), GetStretch(from, 1 + x, y, 1 + z));
            }
    // Two steps back give the second level as it was.
    ASSERT_TRUE(Undo(b));
    ASSERT_TRUE(Undo(b));
    EXPECT_EQ(SerializeLevel(*b.working), before);
}

TEST_F(RegionTest, MirrorTwiceAndFourQuarterTurnsLeaveTheLevelAsItWas) {
    const Bytes start = SerializeLevel(*a.working);
    const std::size_t steps = a.history.UndoCount();
    ASSERT_TRUE(MirrorSelection(a, Axis::X));
    // Left and right swap, and so do a west and an east ladder.
    EXPECT_EQ(GetCell(*a.working, 3, 0, 1), kWall);
    EXPECT_EQ(GetCell(*a.working, 1, 0, 2), kLadderW);
    EXPECT_EQ(GetCell(*a.working, 2, 0, 1), kLadderN);
    ASSERT_TRUE(MirrorSelection(a, Axis::X));
    EXPECT_EQ(SerializeLevel(*a.working), start);
    ASSERT_TRUE(MirrorSelection(a, Axis::Z));
    EXPECT_EQ(GetCell(*a.working, 2, 0, 2), kLadderS);
    ASSERT_TRUE(MirrorSelection(a, Axis::Z));
    EXPECT_EQ(SerializeLevel(*a.working), start);

    // A square box turned four times comes back (a 3 x 3 one, so nothing is emptied).
    Select(a, {1, 0, 1}, {3, 1, 3});
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(RotateSelection(a));
    EXPECT_EQ(SerializeLevel(*a.working), start);
    CommitAction(a);
    // Each command was one step.
    EXPECT_EQ(a.history.UndoCount(), steps + 8);
}

TEST_F(RegionTest, CutMoveAndDeleteEmptyWhatTheyLeave) {
    Region clip;
    ASSERT_TRUE(CutSelection(a, clip));
    CommitAction(a);
    for (int z = 1; z <= 2; ++z)
        for (int x = 1; x <= 3; ++x) EXPECT_EQ(GetCell(*a.working, x, 0, z), 0);
    EXPECT_EQ(GetLight(*a.working, 1, 1, 2), 128);
    ASSERT_TRUE(Undo(a));

    // Moving one cell along X overlaps the old box: nothing is lost.
    JumpCursor(a, {2, 0, 1});
    ASSERT_TRUE(MoveSelection(a));
    EXPECT_EQ(GetCell(*a.working, 1, 0, 1), 0);
    EXPECT_EQ(GetCell(*a.working, 2, 0, 1), kWall);
    EXPECT_EQ(GetCell(*a.working, 3, 0, 1), kLadderN);
    EXPECT_EQ(GetCell(*a.working, 4, 0, 2), kLadderE);
    EXPECT_EQ(GetStretch(*a.working, 3, 0, 2), 35);

    // Delete frees the markers inside the box only.
    World& w = *a.working;
    w.clipMarkers[0] = ClipMarker{3, 0, 2, 1};
    w.clipMarkers[1] = ClipMarker{0, 0, 0, 1};
    ASSERT_TRUE(DeleteSelection(a));
    EXPECT_LT(w.clipMarkers[0].x, 0);
    EXPECT_EQ(w.clipMarkers[1].x, 0);
    EXPECT_EQ(GetCell(w, 3, 0, 1), 0);

    // Without a box the commands say what is missing and change nothing.
    a.pointB.x = kUnsetPoint;
    EXPECT_FALSE(RotateSelection(a));
    EXPECT_NE(a.status.find("point B"), std::string::npos);
}

TEST_F(RegionTest, FloodFillPaintsTheConnectedPatchOfTheLayer) {
    World& w = *b.working;
    // A wall ring around (2..4, 2..4) on layer 1 of the 10 x 10 level.
    for (int i = 1; i <= 5; ++i)
        for (const CellPos c : {CellPos{i, 1, 1}, CellPos{i, 1, 5}, CellPos{1, 1, i}, CellPos{5, 1, i}}) SetCell(w, c.x, c.y, c.z, kWall);
    CommitAction(b);
    JumpCursor(b, {3, 1, 3});
    EXPECT_EQ(FloodFill(b, kLever), 9);
    EXPECT_EQ(GetCell(w, 3, 2, 3), 0);  // the layer above is another layer
    // Outside the ring: 100 cells of the layer less the ring's 16 and the room's 9.
    JumpCursor(b, {0, 1, 0});
    EXPECT_EQ(FloodFill(b, kLadderN), 75);
    // Inside an A-B box the fill stays in it.
    Select(b, {6, 1, 6}, {7, 1, 8});
    JumpCursor(b, {7, 1, 7});
    EXPECT_EQ(FloodFill(b, kWall), 6);
    EXPECT_EQ(FloodFill(b, kWall), 0);  // already that object
    CommitAction(b);
    EXPECT_EQ(b.history.UndoCount(), 4u);
}

TEST(RegionTextTest, DamagedClipboardTextIsRefusedWithAReason) {
    const char* bad[] = {
        "",
        "hello world",
        "zorvoquib-region 2 1 1 1\n0",
        "zorvoquib-region 1 0 1 1\n",
        "zorvoquib-region 1 300 1 1\n300*0",
        "zorvoquib-region 1 2 1 1\n0",
        "zorvoquib-region 1 2 1 1\n3*0",
        "zorvoquib-region 1 2 1 1\n0 1.300.0",
        "zorvoquib-region 1 2 1 1\n0 1.20.101",
        "zorvoquib-region 1 2 1 1\n0 1.20",
        "zorvoquib-region 1 2 1 1\n0*0 0",
        "zorvoquib-region 1 2 1 1\n-1*0 0",
        "zorvoquib-region 1 2 1 1\n99999999999999999999*0",
    };
    for (const char* text : bad) {
        std::string why;
        EXPECT_FALSE(ParseRegion(text, why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
    std::string why;
    const auto r = ParseRegion("zorvoquib-region 1 2 1 2\n2*0\n7.20.5 0", why);
    ASSERT_TRUE(r) << why;
    EXPECT_EQ(r->cells[2], 7);
    EXPECT_EQ(r->light[2], 20);
    EXPECT_EQ(r->stretch[2], 5);
    EXPECT_EQ(r->light[3], 128);
}

}  // namespace
}  // namespace zq
