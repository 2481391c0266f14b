#include "editor/editor_keys.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "editor/editing.h"
#include "world/level_file.h"

namespace zq {
namespace {

struct EditorKeysTest : ::testing::Test {
    EditorState s;
    EditorKeyMemory memory;
    std::int64_t now = 0;
    void SetUp() override {
        ASSERT_TRUE(InitNewLevel(*s.working, 5, 3, 5, 0));
        ResetHistory(s);
        JumpCursor(s, {2, 1, 2});
    }
    void Press(EditorKey key, bool ctrl = false, bool alt = false) { PressEditorKey(s, memory, {key, ctrl, alt}, now); }
    void Release(EditorKey key) { ReleaseEditorKey(s, memory, key); }
    void Tap(EditorKey key, bool ctrl = false) {
        Press(key, ctrl);
        Release(key);
    }
    void Frame(int ms = 30) { EditorFrame(s, memory, now += ms, ms); }
    void Frames(int count, int ms) {
        for (int i = 0; i < count; ++i) Frame(ms);
    }
};

TEST_F(EditorKeysTest, APressActsOnceAtOnceAndAHoldRepeatsInTimeNotFrames) {
    Press(EditorKey::Up);
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 3}));  // before any frame
    Frames(5, 30);  // still within the repeat delay
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 3}));
    Release(EditorKey::Up);
    // Taps that come and go between two frames each step once; none is lost.
    JumpCursor(s, {0, 1, 0});
    for (int i = 0; i < 3; ++i) Tap(EditorKey::Up);
    Frame();
    EXPECT_EQ(TargetCell(s).z, 3);
    // Held for a second, the count is the same at 10 ms or 250 ms frames.
    for (const int ms : {10, 250}) {
        EditorState t;
        EditorKeyMemory m;
        ASSERT_TRUE(InitNewLevel(*t.working, 3, 3, 200, 0));
        ResetHistory(t);
        JumpCursor(t, {1, 1, 0});
        std::int64_t clock = 1000;
        PressEditorKey(t, m, {EditorKey::Up}, clock);
        for (int elapsed = ms; elapsed <= 1000; elapsed += ms) EditorFrame(t, m, clock += ms, ms);
        ReleaseEditorKey(t, m, EditorKey::Up);
        const KeyRepeatTiming timing;
        EXPECT_EQ(TargetCell(t).z, 2 + (1000 - timing.delayMs) / timing.intervalMs) << ms << " ms frames";
    }
    // The grid holds the cursor however long the key is held, at once.
    JumpCursor(s, {2, 1, 4});
    Press(EditorKey::Up);
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 4}));
    Frames(50, 100);
    Release(EditorKey::Up);
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 4}));
    // Turned a quarter right, Up moves along +X; a long stall never overshoots.
    Tap(EditorKey::Right);
    Frame(1000);
    EXPECT_FLOAT_EQ(s.shownHeading, 8192);
    Tap(EditorKey::Up);
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 4}));
    EXPECT_FLOAT_EQ(s.cursorTarget.z, 4 * 512 + 256);  // held at the cell centre
}

TEST_F(EditorKeysTest, EditsActOnTheCellTheCursorIsHeadingToWhateverTheFrames) {
    // "Up, Space" with no frame between, and the view still gliding: the
    // block goes into the new cell, once, and the cell left stays empty.
    s.paintObject = 3;
    for (int i = 0; i < 2; ++i) {
        Tap(EditorKey::Up);
        Tap(EditorKey::Space);
        Frame(5);
    }
    EXPECT_EQ(GetCell(*s.working, 2, 1, 2), 0);
    EXPECT_EQ(GetCell(*s.working, 2, 1, 3), 3);
    EXPECT_EQ(GetCell(*s.working, 2, 1, 4), 3);
    // So do Delete, the light and the points.
    Tap(EditorKey::Down);
    Tap(EditorKey::Delete);
    Tap(EditorKey::E);
    EXPECT_EQ(GetCell(*s.working, 2, 1, 3), 0);
    EXPECT_EQ(GetLight(*s.working, 2, 1, 3), 128 + kLightStep);
    SetPointA(s);
    EXPECT_EQ(s.pointA, (CellPos{2, 1, 3}));
    // One undo step each: the two blocks, the Delete and the light.
    Frame();
    EXPECT_EQ(s.history.UndoCount(), 4u);
}

TEST_F(EditorKeysTest, HoldingSpaceWhileMovingFillsEachCellEnteredOnceAsOneUndoStep) {
    s.paintObject = 3;
    JumpCursor(s, {0, 1, 0});
    Press(EditorKey::Space);
    for (int i = 0; i < 3; ++i) Tap(EditorKey::Up);  // between two frames
    Frame();
    Press(EditorKey::Up);  // held: steps after the delay, each cell filled
    Frames(10, 70);
    Release(EditorKey::Up);
    Release(EditorKey::Space);
    ASSERT_EQ(TargetCell(s).z, 4);
    for (int z = 0; z <= 4; ++z) EXPECT_EQ(GetCell(*s.working, 0, 1, z), 3) << z;
    ASSERT_EQ(s.history.UndoCount(), 1u);
    EXPECT_EQ(s.history.UndoList().back().name, "Put object");  // the history list's name for it
    ASSERT_TRUE(Undo(s));
    for (int z = 0; z <= 4; ++z) EXPECT_EQ(GetCell(*s.working, 0, 1, z), 0) << z;
    // A held Space does not paint again on the cell it stays on: Delete
    // there in between is not undone by it.
    JumpCursor(s, {1, 1, 1});
    Press(EditorKey::Space);
    Frames(30, 50);
    SetCell(*s.working, 1, 1, 1, 0);
    Frames(30, 50);
    Release(EditorKey::Space);
    EXPECT_EQ(GetCell(*s.working, 1, 1, 1), 0);
}

TEST_F(EditorKeysTest, ModifiersComeFromTheEventNotFromTheKeysHeldAtTheFrame) {
    // Ctrl+Right whose Ctrl is already up when the frame runs still steps sideways.
    Press(EditorKey::Right, true);
    Release(EditorKey::Right);
    Frame();
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 2}));
    EXPECT_FLOAT_EQ(s.cursorHeading, 0);
    // Held, it repeats sideways.
    JumpCursor(s, {0, 1, 2});
    Press(EditorKey::Right, true);
    Frames(6, 100);
    Release(EditorKey::Right);
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 2}));
    EXPECT_FLOAT_EQ(s.cursorHeading, 0);
    // Ctrl+S saves and Alt+E opens the Edit menu: neither edits.
    Press(EditorKey::S, true);
    Press(EditorKey::E, false, true);
    Frames(30, 50);
    EXPECT_LT(s.working->clipMarkers[255].x, 0);
    EXPECT_EQ(GetLight(*s.working, 3, 1, 2), 128);
    Release(EditorKey::S);
    Release(EditorKey::E);
    Press(EditorKey::Left, true, true);
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 2}));
    // A key held when Ctrl goes down stays quiet until pressed again.
    Press(EditorKey::E);
    QuietHeldKeys(memory);
    Frames(30, 50);
    EXPECT_EQ(GetLight(*s.working, 3, 1, 2), 128 + kLightStep);
}

TEST_F(EditorKeysTest, ShiftWithTheCursorKeysDrawsABoxFromWhereItStarted) {
    auto shiftTap = [&](EditorKey k) {
        PressEditorKey(s, memory, {k, false, false, true}, now);
        Release(k);
    };
    shiftTap(EditorKey::Up);
    shiftTap(EditorKey::Up);
    shiftTap(EditorKey::Right);  // sideways, not a turn
    shiftTap(EditorKey::H);
    EXPECT_EQ(s.pointA, (CellPos{2, 1, 2}));
    EXPECT_EQ(s.pointB, TargetCell(s));
    EXPECT_EQ(s.cursorHeading, 0);
    const CellPos far = TargetCell(s);
    EXPECT_EQ(std::abs(far.x - 2) + std::abs(far.z - 2), 3);
    EXPECT_EQ(far.y, 2);
    // A plain move ends the box; the next Shift step starts a new one there.
    Tap(EditorKey::Down);
    const CellPos from = TargetCell(s);
    shiftTap(EditorKey::B);
    EXPECT_EQ(s.pointA, from);
    EXPECT_EQ(s.pointB, (CellPos{from.x, from.y - 1, from.z}));
    EXPECT_EQ(s.history.UndoCount(), 0u);
}

TEST_F(EditorKeysTest, EditingKeysSnapshotAndNavigationKeysDoNot) {
    // A change made behind the editor's back reaches the snapshot only when
    // the key pressed takes one.
    for (std::size_t i = 0; i < kEditorKeyCount; ++i) {
        const auto key = static_cast<EditorKey>(i);
        JumpCursor(s, {2, 1, 2});
        SetCell(*s.working, 4, 2, 4, static_cast<Cell>(10 + i));
        Tap(key);
        EXPECT_EQ(GetCell(*s.baseline, 4, 2, 4) == 10 + i, SnapshotKey(key)) << "key " << i;
    }
}

TEST_F(EditorKeysTest, NothingActsDuringAPromptAndTheViewComesToRest) {
    s.dialogOpen = true;
    Press(EditorKey::Up);
    Frames(30, 50);
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 2}));
    s.dialogOpen = false;
    Release(EditorKey::Up);
    // The view glides to a step and then lands: nothing is left to draw.
    Tap(EditorKey::Up);
    Tap(EditorKey::PageUp);
    EXPECT_FALSE(EditorAtRest(s, memory));
    Frames(300, 15);
    EXPECT_TRUE(EditorAtRest(s, memory));
    EXPECT_EQ(s.cursorShown.z, s.cursorTarget.z);
    // A held repeating key keeps the frames going; a held paint key does not.
    Press(EditorKey::E);
    EXPECT_FALSE(EditorAtRest(s, memory));
    Release(EditorKey::E);
    Press(EditorKey::Space);
    EXPECT_TRUE(EditorAtRest(s, memory));
}

TEST_F(EditorKeysTest, ViewLimits) {
    for (int i = 0; i < 4; ++i) {
        Tap(EditorKey::PageUp);
        Tap(EditorKey::Plus);
    }
    EXPECT_FLOAT_EQ(s.viewPitch, -8192);
    EXPECT_FLOAT_EQ(s.viewDistance, 0);
    for (int i = 0; i < 8; ++i) {
        Tap(EditorKey::PageDown);
        Tap(EditorKey::Minus);
    }
    EXPECT_FLOAT_EQ(s.viewPitch, 8192);
    EXPECT_FLOAT_EQ(s.viewDistance, 2048);
}

TEST(EditorCameraTest, EyeSitsBehindTheCursorAndAboveItInTopView) {
    EditorState s;
    s.cursorShown = {1000, 500, 2000};
    s.shownDistance = 512;
    WorldCamera eye = EditorCamera(s);
    EXPECT_NEAR(eye.z, 2000 - 512, 0.01);
    EXPECT_NEAR(eye.y, 560, 0.01);
    s.shownPitch = -8192;
    eye = EditorCamera(s);
    EXPECT_NEAR(eye.y, 500 + 512 + 60, 0.1);
    EXPECT_NEAR(eye.z, 2000, 0.5);
    EXPECT_EQ(eye.pitch, -8192);
}

}  // namespace
}  // namespace zq
