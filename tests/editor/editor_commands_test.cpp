#include "editor/editor_commands.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "editor/editing.h"
#include "test_util.h"

namespace zq {
namespace {

TEST(EditorPromptTest, NumbersAreDigitsWithAnOptionalLeadingMinus) {
    struct Case {
        const char* text;
        PromptNumber::Kind kind;
        int value;
    };
    const Case cases[] = {
        {"", PromptNumber::Empty, 0},        {"  ", PromptNumber::Empty, 0},
        {"42", PromptNumber::Number, 42},    {" -3 ", PromptNumber::Number, -3},
        {"-", PromptNumber::Rejected, 0},    {"5-3", PromptNumber::Rejected, 0},
        {"--1", PromptNumber::Rejected, 0},  {"1e3", PromptNumber::Rejected, 0},
        {"12 3", PromptNumber::Rejected, 0}, {"99999999999", PromptNumber::Number, 2147483647},
        {"-99999999999", PromptNumber::Number, -2147483647 - 1},
    };
    for (const Case& c : cases) {
        const PromptNumber n = ParsePromptNumber(c.text);
        EXPECT_EQ(n.kind, c.kind) << c.text;
        if (n.kind == PromptNumber::Number) {
            EXPECT_EQ(n.value, c.value) << c.text;
        }
    }
}

TEST(EditorPromptTest, AnswersFollowTheirRules) {
    EXPECT_EQ(DimensionAnswer(0), 1);
    EXPECT_EQ(DimensionAnswer(7), 7);
    EXPECT_EQ(SentryCountAnswer(300), 255);
    EXPECT_EQ(SentryCountAnswer(-3), 0);
    EXPECT_EQ(GotoAnswer(-4, 10), 0);
    EXPECT_EQ(GotoAnswer(14, 10), 10);
    EXPECT_EQ(ShortStringAnswer(std::string(300, 'a')).size(), 255u);
    EXPECT_TRUE(NewLevelSizeError(1024, 1, 1).empty());
    EXPECT_FALSE(NewLevelSizeError(1025, 1, 1).empty());
    EXPECT_FALSE(NewLevelSizeError(-2, 5, 5).empty());
    EXPECT_FALSE(NewLevelSizeError(1024, 1024, 65).empty());  // more than 64 Mi cells
    EXPECT_TRUE(NewLevelSizeError(1024, 1024, 64).empty());
}

TEST(EditorLevelTest, NewLevelRefusesWhatTheLoaderRefusesAndKeepsTheOldOne) {
    EditorState s;
    InitEditor(s);
    s.fileName = "old.lev";
    EXPECT_FALSE(NewLevel(s, 2000, 5, 5).empty());
    EXPECT_EQ(s.working->sizeX, kEditorStartSide);
    EXPECT_EQ(s.baseline->sizeX, kEditorStartSide);
    EXPECT_EQ(s.fileName, "old.lev");

    EXPECT_EQ(NewLevel(s, 10, 5, DimensionAnswer(0)), "");
    EXPECT_EQ(s.working->sizeZ, 1);
    EXPECT_TRUE(s.fileName.empty());  // Save must ask again
    EXPECT_EQ(TargetCell(s), (CellPos{5, 1, 0}));
}

TEST(EditorLevelTest, UndoAfterNewAndAfterLoadGivesThatLevel) {
    test::TempDir dir;
    EditorState s;
    InitEditor(s);
    ASSERT_EQ(NewLevel(s, 8, 4, 6), "");
    Undo(s);
    EXPECT_EQ(s.working->sizeX, 8);
    EXPECT_EQ(GetCell(*s.working, 3, 0, 3), 1);  // the fresh floor

    s.paintObject = 2;
    JumpCursor(s, {1, 2, 1});
    PutBlock(s);
    s.cursorHeading = 16384;
    PlaceStart(s);
    s.working->behaviours[4].name = "Old";
    const std::string path = (dir / "a.lev").string();
    ASSERT_TRUE(SaveLevel(s, path));
    EXPECT_FALSE(s.modified);

    EditorState t;
    InitEditor(t);
    t.working->behaviours[4].name = "Stale";
    LoadLevel(t, DataResolver(dir.Path()), path, {});
    EXPECT_EQ(t.fileName, path);
    EXPECT_EQ(t.working->behaviours[4].name, "");  // no script beside it
    EXPECT_EQ(TargetCell(t), (CellPos{1, 2, 1}));
    EXPECT_FLOAT_EQ(t.cursorHeading, 16384);
    SetCell(*t.working, 1, 2, 1, 0);
    Undo(t);
    EXPECT_EQ(GetCell(*t.working, 1, 2, 1), 2);
    EXPECT_EQ(SerializeLevel(*t.working), SerializeLevel(*s.working));  // saved and read back unchanged
}

TEST(EditorLevelTest, ASaveWrittenFromACopyKeepsLaterEditsUnsavedAndUndoFindsTheSavedLevel) {
    test::TempDir dir;
    EditorState s;
    InitEditor(s);
    s.paintObject = 2;
    PutBlock(s);
    const std::string path = (dir / "copy.lev").string();
    const PendingSave save = BeginSave(s, path);
    // An edit made while the copy is being written...
    JumpCursor(s, {3, 1, 3});
    PutBlock(s);
    const WriteResult written = WriteSave(save);
    ASSERT_TRUE(written);
    FinishSave(s, save, written);
    EXPECT_EQ(s.fileName, path);
    EXPECT_TRUE(s.modified);  // ... is not in the file
    EditorState t;
    InitEditor(t);
    LoadLevel(t, DataResolver(dir.Path()), path, {});
    EXPECT_EQ(GetCell(*t.working, 50, 1, 50), 2);
    EXPECT_EQ(GetCell(*t.working, 3, 1, 3), 0);
    // Undone back to the saved level, it is unmodified; redone, modified again.
    ASSERT_TRUE(Undo(s));
    EXPECT_FALSE(s.modified);
    ASSERT_TRUE(Redo(s));
    EXPECT_TRUE(s.modified);
    // A failed save changes nothing.
    const PendingSave refused = BeginSave(s, (dir / "no" / "x.lev").string());
    const WriteResult failed = WriteSave(refused);
    ASSERT_FALSE(failed);
    FinishSave(s, refused, failed);
    EXPECT_EQ(s.fileName, path);
    EXPECT_TRUE(s.modified);
}

TEST(EditorLevelTest, ALevelThatCannotBeLoadedChangesNothing) {
    test::TempDir dir;
    dir.Write("bad.lev", "not a level");
    EditorState s;
    InitEditor(s);
    SetCell(*s.working, 3, 3, 3, 5);
    EXPECT_THROW(LoadLevel(s, DataResolver(dir.Path()), (dir / "bad.lev").string(), {}), LoadError);
    EXPECT_THROW(LoadLevel(s, DataResolver(dir.Path()), (dir / "none.lev").string(), {}), LoadError);
    EXPECT_EQ(GetCell(*s.working, 3, 3, 3), 5);
    EXPECT_TRUE(s.fileName.empty());
}

// A save the writer refuses keeps the designer's work: the file on disk, the
// editor's file name and its unsaved mark stay, and the text says why.
TEST(EditorLevelTest, ASaveOntoAReadOnlyFileSaysWhyAndLosesNothing) {
    test::TempDir dir;
    EditorState s;
    InitEditor(s);
    ASSERT_TRUE(SaveLevel(s, (dir / "mine.lev").string()));
    SetCell(*s.working, 2, 2, 2, 4);
    s.modified = true;
    const auto locked = dir.Write("locked.lev", "keep me");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    const WriteResult written = SaveLevel(s, locked.string());
    EXPECT_FALSE(written);
    EXPECT_EQ(written.code, "READ-ONLY");
    EXPECT_EQ(test::ReadText(locked), "keep me");
    EXPECT_EQ(s.fileName, (dir / "mine.lev").string());
    EXPECT_TRUE(s.modified);
    EXPECT_EQ(GetCell(*s.working, 2, 2, 2), 4);
    const std::string text = SaveFailureText(written);
    EXPECT_NE(text.find("READ-ONLY"), std::string::npos) << text;
    EXPECT_NE(text.find(locked.string()), std::string::npos) << text;
    EXPECT_NE(text.find("read-only"), std::string::npos) << text;
    // A folder that is not there is named as such.
    EXPECT_EQ(SaveLevel(s, (dir / "gone" / "x.lev").string()).code, "NO FOLDER");
}

TEST(EditorLevelTest, SentryCountsAreHeldToWhatAFileCanStore) {
    test::TempDir dir;
    EditorState s;
    InitEditor(s);
    SetSentryCount(s, 300);
    EXPECT_EQ(s.working->sentryCount, 255);
    SetSentryCount(s, -3);
    EXPECT_EQ(s.working->sentryCount, 0);
    // A saved level with the count from the prompt loads again.
    ASSERT_TRUE(SaveLevel(s, (dir / "s.lev").string()));
    EditorState t;
    InitEditor(t);
    EXPECT_NO_THROW(LoadLevel(t, DataResolver(dir.Path()), (dir / "s.lev").string(), {}));
}

TEST(EditorLevelTest, CaptionAndLabels) {
    EditorState s;
    EXPECT_EQ(EditorCaption(s, false), "Zorvo Quib - Level Editor");
    s.modified = true;
    EXPECT_EQ(EditorCaption(s, false), "Zorvo Quib - Level Editor*");
    s.fileName = "/tmp/a.lev";
    s.modified = false;
    EXPECT_EQ(EditorCaption(s, true), "Level Editor - /tmp/a.lev");
    s.fileName.clear();
    EXPECT_EQ(EditorCaption(s, true), "Level Editor");
    EXPECT_EQ(AxisLabel('X', 12, 100), "X:12 / 100");
    EXPECT_EQ(LuminosityLabel(128), "Luminosity: 50%");
    EXPECT_EQ(LuminosityLabel(255), "Luminosity: 99%");
}

}  // namespace
}  // namespace zq
