#include "core/settings_file.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zq {
namespace {

TEST(SettingsFile, ReadsLikeProfileFiles) {
    auto f = SettingsFile::FromText(
        "stray=1\r\n"
        "; a comment\r\n"
        "[General]\r\n"
        "  Width =  640  \r\n"
        "Music=tRuE\r\n"
        "Bad=12abc\r\n"
        "Width=800\r\n"
        "[other]\n"
        "name=  hello world \n");
    EXPECT_EQ(f.GetInt("general", "WIDTH", 1), 640);  // case-insensitive, trimmed, first key wins
    EXPECT_EQ(f.GetInt("General", "Bad", 7), 7);      // not a number: the default
    EXPECT_EQ(f.GetInt("General", "Missing", 5), 5);
    EXPECT_TRUE(f.GetFlag("General", "Music"));
    EXPECT_FALSE(f.GetFlag("General", "Width"));
    EXPECT_EQ(f.GetString("OTHER", "name"), "hello world");
    EXPECT_FALSE(f.Find("General", "stray"));  // lines before any section are ignored
    EXPECT_FALSE(f.Find("", "stray"));
    EXPECT_TRUE(f.SectionHasKeys("other"));
    EXPECT_FALSE(f.SectionHasKeys("nothing"));
}

TEST(SettingsFile, WritingKeepsEverythingElse) {
    const std::string original =
        "; settings\r\n[General]\r\nTop=5\r\nUnknown=keep me\r\n\r\n[Save]\r\nIndex=abc\r\n";
    auto f = SettingsFile::FromText(original);
    f.SetInt("general", "top", 42);       // replaces the value in place, keeping the key's spelling
    f.SetString("General", "Left", "7");  // new key at the end of its section
    f.SetString("Network", "NickName", "Ann");
    EXPECT_EQ(f.ToText(),
              "; settings\r\n[General]\r\nTop=42\r\nUnknown=keep me\r\nLeft=7\r\n\r\n[Save]\r\nIndex=abc\r\n\r\n"
              "[Network]\r\nNickName=Ann\r\n");
    auto again = SettingsFile::FromText(f.ToText());
    EXPECT_EQ(again.GetInt("General", "Top", 0), 42);
    EXPECT_EQ(again.GetString("General", "Unknown"), "keep me");
    EXPECT_EQ(again.GetString("Save", "Index"), "abc");
}

TEST(SettingsFile, RepeatedSectionsAndKeysAddedLaterAreFound) {
    auto f = SettingsFile::FromText("[A]\nx=1\n[b]\ny=2\n[a]\nx=3\nz=4\n[Empty]\n; none\n");
    EXPECT_EQ(f.GetInt("a", "X", 0), 1);  // the first of equal keys, across both headers
    EXPECT_EQ(f.GetInt("A", "z", 0), 4);  // the second header adds to the first
    EXPECT_FALSE(f.SectionHasKeys("empty"));
    // Keys added while editing are found, and so are the ones they moved down.
    f.SetInt("B", "new", 5);
    f.SetInt("Empty", "first", 6);
    f.SetInt("a", "z", 7);
    EXPECT_EQ(f.GetInt("b", "new", 0), 5);
    EXPECT_EQ(f.GetInt("b", "y", 0), 2);
    EXPECT_EQ(f.GetInt("a", "z", 0), 7);
    EXPECT_EQ(f.GetInt("a", "x", 0), 1);
    EXPECT_TRUE(f.SectionHasKeys("EMPTY"));
    EXPECT_EQ(f.ToText(), "[A]\nx=1\n[b]\ny=2\nnew=5\n[a]\nx=3\nz=7\n[Empty]\n; none\nfirst=6\n");
}

// Blank lines, comments and repeated keys are kept as runs of text (so a file
// of a million blank lines costs its bytes, not a record a line), yet they
// write back exactly, and keys still go after the last text of their section.
TEST(SettingsFile, RunsOfPlainLinesWriteBackAndKeysGoAfterTheirText) {
    const std::string text = "top\r\n\r\n[A]\r\nx=1\r\n; note\r\n\r\n\r\nx=2\r\n  \r\n\r\n[B]\r\n#\r\n";
    auto f = SettingsFile::FromText(text);
    EXPECT_EQ(f.ToText(), text);
    EXPECT_EQ(f.GetInt("A", "x", 0), 1);
    f.SetInt("a", "X", 5);  // the first of the two
    f.SetInt("A", "y", 3);  // after the repeated key, before the blank lines
    f.SetInt("B", "z", 4);  // after the comment
    EXPECT_EQ(f.ToText(),
              "top\r\n\r\n[A]\r\nx=5\r\n; note\r\n\r\n\r\nx=2\r\ny=3\r\n  \r\n\r\n[B]\r\n#\r\nz=4\r\n");
    auto again = SettingsFile::FromText(f.ToText());
    EXPECT_EQ(again.GetInt("A", "x", 0), 5);
    EXPECT_EQ(again.GetInt("A", "y", 0), 3);
    EXPECT_EQ(again.GetInt("B", "z", 0), 4);
}

TEST(SettingsFile, TextWrittenBackReadsTheSame) {
    // Stray CRs at line ends (found by fuzzing) once changed the text on every
    // save: the LF-only file wrote "x\r\n" and read back as a CR LF file.
    for (const char* text : {"[General]\nTop=1\r\r\nx\r\r", "[A]\r\nk=v\r\r\r\n", "no newline\r\r", "[B]\n\r\n"}) {
        const std::string once = SettingsFile::FromText(text).ToText();
        EXPECT_EQ(SettingsFile::FromText(once).ToText(), once) << text;
    }
    auto f = SettingsFile::FromText("[General]\nTop=7\r\r\n");
    EXPECT_EQ(f.GetInt("General", "Top", 0), 7);
    EXPECT_EQ(f.ToText(), "[General]\r\nTop=7\r\n");  // it had a CR LF, so CR LF throughout
}

TEST(SettingsFile, SavesAtomicallyAndLoadsBack) {
    test::TempDir dir;
    auto path = dir / "quib.ini";
    EXPECT_FALSE(SettingsFile::Load(path).has_value());
    SettingsFile f;
    f.SetInt("General", "Resolution", 4);
    ASSERT_TRUE(f.Save(path));
    auto loaded = SettingsFile::Load(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetInt("General", "Resolution", 0), 4);
    // Only the settings file is left behind: no temporary file.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    // Saving into a folder that does not exist fails and reports it.
    EXPECT_FALSE(f.Save(dir / "missing/quib.ini"));
}

}  // namespace
}  // namespace zq
