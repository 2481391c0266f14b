#include "editor/editing.h"

#include <gtest/gtest.h>

#include "world/level_file.h"

namespace zq {
namespace {

// A small level with the cursor on cell (2, 1, 2).
struct EditorFixture : ::testing::Test {
    EditorState s;
    void SetUp() override {
        ASSERT_TRUE(InitNewLevel(*s.working, 6, 4, 6, 0));
        ResetHistory(s);
        At({2, 1, 2});
    }
    void At(CellPos c) { JumpCursor(s, c); }
    World& w() { return *s.working; }
    void Points(CellPos a, CellPos b) {
        At(a);
        SetPointA(s);
        At(b);
        SetPointB(s);
    }
    int Count(Cell v) {
        int n = 0;
        for (Cell c : w().cells) n += c == v;
        return n;
    }
};

using EditorOperationsTest = EditorFixture;

TEST(EditorLineTest, LeadingAxisStepsOneAndOthersAreTruncated) {
    const auto cells = LineCells({0, 0, 0}, {4, 2, 0});
    const std::vector<CellPos> want{{0, 0, 0}, {1, 0, 0}, {2, 1, 0}, {3, 1, 0}, {4, 2, 0}};
    EXPECT_EQ(cells, want);
    EXPECT_TRUE(LineCells({3, 3, 3}, {3, 3, 3}).empty());
    // Backwards, and with a third step the last point still lands on B.
    const auto back = LineCells({3, 0, 0}, {0, 1, 0});
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back.back(), (CellPos{0, 1, 0}));
    for (int n = 1; n < 40; ++n) EXPECT_EQ(LineCells({0, 0, 0}, {n, n - 1, 1}).back(), (CellPos{n, n - 1, 1})) << n;
}

TEST(EditorLineTest, TiesGoToZThenY) {
    // |dx| == |dz|: Z leads, so there is one cell per z.
    const auto cells = LineCells({0, 0, 0}, {2, 0, 2});
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[1], (CellPos{1, 0, 1}));
    EXPECT_EQ(LineCells({0, 0, 0}, {3, 3, 0}).size(), 4u);
}

TEST_F(EditorOperationsTest, LightAndStretchStepsStopAtTheirEnds) {
    SetLight(w(), 2, 1, 2, 1);
    Darken(s);
    EXPECT_EQ(GetLight(w(), 2, 1, 2), 0);
    Darken(s);
    EXPECT_EQ(GetLight(w(), 2, 1, 2), 0);
    SetLight(w(), 2, 1, 2, 254);
    Brighten(s);
    EXPECT_EQ(GetLight(w(), 2, 1, 2), 255);
    SetLight(w(), 2, 1, 2, 100);
    Brighten(s);
    EXPECT_EQ(GetLight(w(), 2, 1, 2), 102);

    SetStretch(w(), 2, 1, 2, 96);
    StretchDown(s);
    EXPECT_EQ(GetStretch(w(), 2, 1, 2), 100);
    SetStretch(w(), 2, 1, 2, 4);
    StretchUp(s);
    EXPECT_EQ(GetStretch(w(), 2, 1, 2), 0);
    SetStretch(w(), 2, 1, 2, 50);
    StretchUp(s);
    EXPECT_EQ(GetStretch(w(), 2, 1, 2), 45);
}

TEST_F(EditorOperationsTest, MarkersTakeTheHighestFreeSlotOncePerCell) {
    PlaceClipMarker(s);
    EXPECT_EQ(w().clipMarkers[255].x, 2);
    PlaceClipMarker(s);  // one already lies there
    EXPECT_LT(w().clipMarkers[254].x, 0);
    At({3, 1, 2});
    PlaceClipMarker(s);
    EXPECT_EQ(w().clipMarkers[254].x, 3);

    // Every slot taken: the 257th cell gets nothing.
    for (int i = 0; i < kMarkerCount; ++i) w().clipMarkers[static_cast<std::size_t>(i)] = {i % 6, 10 + i / 36, (i / 6) % 6, 0};
    const auto before = w().clipMarkers;
    At({5, 3, 5});
    PlaceClipMarker(s);
    for (int i = 0; i < kMarkerCount; ++i) EXPECT_EQ(w().clipMarkers[static_cast<std::size_t>(i)].x, before[static_cast<std::size_t>(i)].x);

    PlaceEventMarker(s);
    EXPECT_EQ(w().eventMarkers[255].x, 5);
    EXPECT_EQ(w().eventMarkers[255].behaviour, 0);
}

TEST_F(EditorOperationsTest, DeletingACellFreesBothMarkerKindsAndItsLight) {
    SetCell(w(), 2, 1, 2, 7);
    SetLight(w(), 2, 1, 2, 30);
    PlaceClipMarker(s);
    PlaceEventMarker(s);
    w().clipMarkers[255].clip = 4;
    w().eventMarkers[255].behaviour = 9;
    w().clipMarkers[10] = {2, 1, 2, 3};  // a second clip marker on the same cell, as a file may have
    DeleteCell(s);
    EXPECT_EQ(GetCell(w(), 2, 1, 2), 0);
    EXPECT_EQ(GetLight(w(), 2, 1, 2), 128);
    for (int i : {10, 255}) {
        EXPECT_EQ(w().clipMarkers[static_cast<std::size_t>(i)].x, kFreeMarker);
        EXPECT_EQ(w().clipMarkers[static_cast<std::size_t>(i)].clip, 0);
    }
    EXPECT_EQ(w().eventMarkers[255].x, kFreeMarker);
    EXPECT_EQ(w().eventMarkers[255].behaviour, 0);
}

TEST_F(EditorOperationsTest, MarkerListsChangeOnlyTheMarkerUnderTheCursor) {
    PlaceClipMarker(s);
    EXPECT_FALSE(SetMarkerBehaviour(s, 3));  // a clip marker but no event marker
    for (const EventMarker& m : w().eventMarkers) EXPECT_EQ(m.behaviour, 0);
    EXPECT_TRUE(SetMarkerClip(s, 5));
    EXPECT_EQ(w().clipMarkers[255].clip, 5);
    EXPECT_FALSE(SetMarkerClip(s, kClipCount));
}

TEST_F(EditorOperationsTest, BoxesFillFromEitherCorner) {
    s.paintObject = 3;
    Points({4, 3, 1}, {1, 1, 4});
    FillBox(s, s.paintObject);
    EXPECT_EQ(Count(3), 4 * 3 * 4);
    EXPECT_EQ(GetCell(w(), 1, 1, 1), 3);
    EXPECT_EQ(GetCell(w(), 4, 3, 4), 3);
    EXPECT_EQ(GetCell(w(), 0, 1, 1), 0);
    FillBox(s, 0);
    EXPECT_EQ(Count(3), 0);

    // Without point B nothing is drawn.
    s.pointB.x = kUnsetPoint;
    FillBox(s, 3);
    EXPECT_EQ(Count(3), 0);
}

TEST_F(EditorOperationsTest, HollowBoxIsTheShellOnly) {
    Points({0, 0, 0}, {4, 3, 4});
    FillHollowBox(s, 5);
    EXPECT_EQ(Count(5), 5 * 4 * 5 - 3 * 2 * 3);
    EXPECT_EQ(GetCell(w(), 2, 1, 2), 0);  // inside stays empty
    EXPECT_EQ(GetCell(w(), 0, 2, 2), 5);
    EXPECT_EQ(GetCell(w(), 2, 3, 2), 5);
}

TEST_F(EditorOperationsTest, PlanesLinesAndLightBoxesStayInsideTheGrid) {
    At({1, 2, 3});
    FillPlane(s, Axis::Y, 6);
    EXPECT_EQ(Count(6), 36);
    FillPlane(s, Axis::X, 0);
    EXPECT_EQ(Count(6), 30);

    Points({0, 1, 0}, {5, 1, 3});
    FillLine(s, 8);
    EXPECT_EQ(Count(8), 6);

    SetLight(w(), 0, 1, 0, 250);
    SetLight(w(), 1, 1, 0, 10);
    Points({0, 1, 0}, {1, 1, 0});
    LightBox(s, 20);
    EXPECT_EQ(GetLight(w(), 0, 1, 0), 255);
    EXPECT_EQ(GetLight(w(), 1, 1, 0), 30);
    LightBox(s, -300);
    EXPECT_EQ(GetLight(w(), 1, 1, 0), 0);
    LightBox(s, 2147483647);
    EXPECT_EQ(GetLight(w(), 1, 1, 0), 255);
}

TEST_F(EditorOperationsTest, StartExitAndSentriesUseTheTargetCell) {
    s.cursorHeading = 8192 * 5;  // turned right five times
    At({3, 2, 1});
    PlaceStart(s);
    PlaceExit(s);
    EXPECT_EQ(w().startX, 3);
    EXPECT_EQ(w().startHeading, 8192);
    EXPECT_EQ(w().exitZ, 1);

    w().sentryCount = 2;
    PlaceSentry(s, 2);
    EXPECT_FLOAT_EQ(w().sentries[1].x, 3 * 512 + 256);
    EXPECT_FLOAT_EQ(w().sentries[1].heading, -8192);
    EXPECT_EQ(w().sentries[1].cellY, 2);
    PlaceSentry(s, 3);  // beyond the count: nothing
    EXPECT_FLOAT_EQ(w().sentries[2].x, 0);
}

TEST_F(EditorOperationsTest, EachActionUndoesAndRedoesOnItsOwnAndBoxesAskForTheirPoints) {
    s.paintObject = 4;
    PutBlock(s);
    CommitAction(s);
    At({3, 1, 2});
    PutBlock(s);
    PlaceStart(s);
    CommitAction(s);
    CommitAction(s);  // nothing changed: no step
    EXPECT_EQ(s.history.UndoCount(), 2u);
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(GetCell(w(), 3, 1, 2), 0);
    EXPECT_EQ(w().startZ, 3);  // the new level's start again
    EXPECT_EQ(GetCell(w(), 2, 1, 2), 4);
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(GetCell(w(), 2, 1, 2), 0);
    EXPECT_FALSE(Undo(s));
    EXPECT_EQ(s.status, "Nothing to undo.");
    ASSERT_TRUE(Redo(s));
    ASSERT_TRUE(Redo(s));
    EXPECT_EQ(GetCell(w(), 3, 1, 2), 4);
    EXPECT_EQ(w().startZ, 2);
    // A box without its points says which one is missing and changes nothing.
    FillBox(s, 4);
    EXPECT_EQ(s.status.rfind("Set point A first", 0), 0u) << s.status;
    SetPointA(s);
    FillLine(s, 4);
    EXPECT_EQ(s.status.rfind("Set point B first", 0), 0u) << s.status;
    CommitAction(s);
    EXPECT_EQ(s.history.UndoCount(), 2u);
    EXPECT_EQ(s.history.RedoCount(), 0u);
}

TEST_F(EditorOperationsTest, UndoKeepsTheLoadedObjectTableAndRecountsIngots) {
    w().objectDefs[20].lingot = true;
    w().objectDefs[20].name = "High";
    SetCell(w(), 1, 1, 1, 20);
    ResetHistory(s);
    SetCell(w(), 2, 1, 1, 20);
    w().objectDefs[20].name = "Low";  // the bank was loaded again at another detail
    Undo(s);
    EXPECT_EQ(w().objectDefs[20].name, "Low");
    EXPECT_EQ(w().objectDefs[20].cellCount, 1);
}

TEST(EditorListsTest, NamesKeepIndexOrderAndChoosingTakesTheHighestEqualName) {
    World w;
    w.objectDefs[3].name = "Brick";
    w.objectDefs[9].name = "Ladder";
    w.objectDefs[12].name = "Brick";
    const auto names = ObjectNames(w);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[1].index, 9);
    EXPECT_EQ(HighestNamed(names, "Brick"), 12);
    EXPECT_EQ(HighestNamed(names, "Gold"), -1);
    w.behaviours[200].name = "Lift";
    EXPECT_EQ(BehaviourNames(w).at(0).index, 200);
}

}  // namespace
}  // namespace zq
