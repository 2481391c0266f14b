#include "editor/editor_keys.h"

#include <gtest/gtest.h>

#include "editor/editing.h"
#include "world/level_file.h"

namespace zq {
namespace {

struct EditorKeysFixture : ::testing::Test {
    EditorState s;
    EditorKeyMemory memory;
    void SetUp() override {
        ASSERT_TRUE(InitNewLevel(*s.working, 5, 3, 5, 0));
        ResetHistory(s);
        JumpCursor(s, {2, 1, 2});
    }
    static EditorKeyboard Holding(std::initializer_list<EditorKey> keys, bool ctrl = false, bool alt = false) {
        EditorKeyboard k;
        for (EditorKey key : keys) k.Set(key, true);
        k.ctrl = ctrl;
        k.alt = alt;
        k.anyDown = keys.size() > 0 || ctrl || alt;
        return k;
    }
    void Frame(const EditorKeyboard& k, int ms = 30) { EditorFrame(s, k, memory, ms); }
    // Key-downs and releases between two frames, then the frame.
    void Taps(EditorKey key, int count, int ms = 30) {
        EditorKeyboard k;
        k.presses[static_cast<std::size_t>(key)] = count;
        Frame(k, ms);
    }
};

using EditorKeysTest = EditorKeysFixture;

TEST_F(EditorKeysTest, APressStepsOnceAndAHoldRepeatsInTimeNotFrames) {
    const auto up = Holding({EditorKey::Up});
    Frame(up);
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 3}));
    Frame(up);  // still within the repeat delay
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 3}));
    Frame({});
    // Taps that come and go between two frames each step once; none is lost.
    JumpCursor(s, {0, 1, 0});
    Taps(EditorKey::Up, 1);
    EXPECT_EQ(TargetCell(s).z, 1);
    Taps(EditorKey::Up, 3);
    EXPECT_EQ(TargetCell(s).z, 4);
    // Held for a second, the count is the same at 10 ms or 50 ms frames.
    for (const int ms : {10, 50}) {
        EditorState t;
        EditorKeyMemory m;
        ASSERT_TRUE(InitNewLevel(*t.working, 3, 3, 200, 0));
        ResetHistory(t);
        JumpCursor(t, {1, 1, 0});
        for (int elapsed = 0; elapsed < 1000; elapsed += ms) EditorFrame(t, up, m, ms);
        EditorFrame(t, {}, m, ms);
        const KeyRepeatTiming timing;
        EXPECT_EQ(TargetCell(t).z, 2 + (1000 - ms - timing.delayMs) / timing.intervalMs) << ms << " ms frames";
    }
    // The grid holds the cursor however long the key is held.
    JumpCursor(s, {2, 1, 2});
    for (int i = 0; i < 200; ++i) Frame(up, 100);
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 4}));
    // Turned a quarter right, Up moves along +X; a long stall never overshoots.
    Frame({});
    Frame(Holding({EditorKey::Right}));
    Frame({}, 1000);
    EXPECT_FLOAT_EQ(s.shownHeading, 8192);
    Frame(up);
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 4}));
    EXPECT_FLOAT_EQ(s.cursorTarget.z, 4 * 512 + 256);  // held at the cell centre
}

TEST_F(EditorKeysTest, LightStepsExactlyAndAHeldEditIsOneUndoStep) {
    Taps(EditorKey::E, 1);
    EXPECT_EQ(GetLight(*s.working, 2, 1, 2), 128 + kLightStep);
    // Delete held over many frames, then released: one undo step brings the cell back.
    SetCell(*s.working, 2, 1, 2, 5);
    Frame({});
    CommitAction(s);
    const auto del = Holding({EditorKey::Delete});
    for (int i = 0; i < 20; ++i) Frame(del, 16);
    Frame({});
    EXPECT_EQ(GetCell(*s.working, 2, 1, 2), 0);
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(GetCell(*s.working, 2, 1, 2), 5);
    // A key held when Ctrl goes down stays quiet after Ctrl is let go.
    Frame(del);
    Frame(Holding({EditorKey::Delete}, true));
    Undo(s);
    EXPECT_EQ(GetCell(*s.working, 2, 1, 2), 5);
    Frame(del);
    EXPECT_EQ(GetCell(*s.working, 2, 1, 2), 5);
}

TEST_F(EditorKeysTest, ModifiersStopThePolledKeysExceptCtrlSideways) {
    Frame(Holding({EditorKey::S}, true));  // Ctrl+S saves; it must not also place a clip marker
    Frame(Holding({EditorKey::E}, false, true));  // Alt+E opens the Edit menu
    EXPECT_LT(s.working->clipMarkers[255].x, 0);
    EXPECT_EQ(GetLight(*s.working, 2, 1, 2), 128);
    Frame(Holding({EditorKey::Right}, true));
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 2}));
    EXPECT_FLOAT_EQ(s.cursorHeading, 0);
    Frame(Holding({EditorKey::Left}, true, true));
    EXPECT_EQ(TargetCell(s), (CellPos{3, 1, 2}));
}

TEST_F(EditorKeysTest, EditingKeysSnapshotAndNavigationKeysDoNot) {
    // A change made behind the editor's back reaches the snapshot only when
    // the key pressed takes one.
    for (std::size_t i = 0; i < kEditorKeyCount; ++i) {
        const auto key = static_cast<EditorKey>(i);
        Frame({});
        JumpCursor(s, {2, 1, 2});
        SetCell(*s.working, 4, 2, 4, static_cast<Cell>(10 + i));
        Frame(Holding({key}));
        EXPECT_EQ(GetCell(*s.baseline, 4, 2, 4) == 10 + i, SnapshotKey(key)) << "key " << i;
    }
    // Holding Space keeps painting but takes no snapshot of its own between
    // frames beyond the one each put takes first.
    Frame({});
    s.paintObject = 3;
    Frame(Holding({EditorKey::Space}));
    SetCell(*s.working, 0, 2, 0, 9);
    EXPECT_EQ(GetCell(*s.baseline, 0, 2, 0), 0);
    EXPECT_EQ(GetCell(*s.working, 2, 1, 2), 3);
}

TEST_F(EditorKeysTest, NothingActsDuringAPromptNorUntilEveryKeyIsUpAfterIt) {
    s.dialogOpen = true;
    Frame(Holding({EditorKey::Up}));
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 2}));
    s.dialogOpen = false;
    s.waitForKeysUp = true;
    EditorKeyboard enter;
    enter.anyDown = true;  // the Return that closed the prompt, not one of ours
    Frame(enter);
    Frame(Holding({EditorKey::Up}));
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 2}));
    Frame({});
    Frame(Holding({EditorKey::Up}));
    EXPECT_EQ(TargetCell(s), (CellPos{2, 1, 3}));
}

TEST_F(EditorKeysTest, ViewLimits) {
    for (int i = 0; i < 4; ++i) {
        Frame(Holding({EditorKey::PageUp, EditorKey::Plus}));
        Frame({});
    }
    EXPECT_FLOAT_EQ(s.viewPitch, -8192);
    EXPECT_FLOAT_EQ(s.viewDistance, 0);
    for (int i = 0; i < 8; ++i) {
        Frame(Holding({EditorKey::PageDown, EditorKey::Minus}));
        Frame({});
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
