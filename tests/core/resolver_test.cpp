#include "core/resolver.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zq {
namespace {

TEST(DataResolver, FindsFilesWhateverTheSeparatorAndCase) {
    test::TempDir dir;
    dir.Write("LEVEL/a.lev", "x");
    dir.Write("3DO/GAME/Transi1.3do", "x");
    dir.Write("interf/clic.wav", "x");
    DataResolver data(dir.Path());
    EXPECT_EQ(data.Find("LEVEL\\a.lev"), dir / "LEVEL/a.lev");
    EXPECT_EQ(data.Find("3do\\Game\\Transi1.3do"), dir / "3DO/GAME/Transi1.3do");
    EXPECT_EQ(data.Find("INTERF/CLIC.WAV"), dir / "interf/clic.wav");
    EXPECT_EQ(data.Find("3DO/GAME/TRANSI1.3DO"), dir / "3DO/GAME/Transi1.3do");
    EXPECT_EQ(data.Find("level//A.LEV"), dir / "LEVEL/a.lev");
    EXPECT_FALSE(data.Find("LEVEL\\b.lev"));
    EXPECT_FALSE(data.Find("NOPE\\a.lev"));
    // Absolute names are resolved from the root, with the same rules.
    std::string absolute = (dir.Path() / "Level" / "A.LEV").string();
    EXPECT_EQ(data.Find(absolute), dir / "LEVEL/a.lev");
}

TEST(DataResolver, PrefersTheExactNameAndWritesBesideExistingFolders) {
    test::TempDir dir;
    dir.Write("Level/A.lev", "upper");
    dir.Write("Level/a.lev", "lower");
    DataResolver data(dir.Path());
    EXPECT_EQ(data.Find("LEVEL/a.lev"), dir / "Level/a.lev");
    EXPECT_EQ(data.Find("LEVEL/A.lev"), dir / "Level/A.lev");
    EXPECT_EQ(data.Find("LEVEL/a.LEV"), dir / "Level/A.lev");  // the smaller of two case matches
    EXPECT_EQ(data.ForWrite("LEVEL\\new.lev"), dir / "Level/new.lev");
    EXPECT_EQ(data.ForWrite("FRESH\\x.pot"), dir / "FRESH/x.pot");
}

}  // namespace
}  // namespace zq
