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
    // A path the player gives may be absolute; it is matched with the same rules.
    std::string absolute = (dir.Path() / "Level" / "A.LEV").string();
    EXPECT_EQ(data.FindGiven(absolute), dir / "LEVEL/a.lev");
}

TEST(DataResolver, NamesFromDataFilesStayInsideTheDataFolder) {
    test::TempDir dir;
    dir.Write("outside.txt", "secret");
    dir.Write("data/LEVEL/a.lev", "x");
    DataResolver data(dir / "data");
    const std::string outside = (dir / "outside.txt").string();
    for (const std::string& name : {outside, std::string("../outside.txt"), std::string("..\\OUTSIDE.TXT"),
                                    std::string("LEVEL\\..\\..\\outside.txt"), std::string("\\outside.txt")}) {
        EXPECT_FALSE(data.Find(name)) << name;
        EXPECT_FALSE(data.ForWrite(name)) << name;
    }
    auto dotted = data.Find("./LEVEL/./a.lev");
    ASSERT_TRUE(dotted);
    EXPECT_TRUE(std::filesystem::equivalent(*dotted, dir / "data/LEVEL/a.lev"));
    EXPECT_EQ(data.Find("LEVEL..\\a.lev"), std::nullopt);  // a folder that does not exist, not a climb
    // What the player names is taken as given.
    EXPECT_EQ(data.FindGiven(outside), dir / "outside.txt");
    EXPECT_EQ(data.FindGiven("../Outside.txt"), dir / "data/../outside.txt");
}

// Links are followed while they stay inside the data folder; one that leads
// out (a file, a folder, a link in the place of a file to be written) counts
// as missing.
TEST(DataResolver, LinksCountOnlyWhileTheyStayInside) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    dir.Write("outside/secret.txt", "secret");
    dir.Write("data/TEXTURES/real.pcx", "x");
    const fs::path root = dir / "data";
    fs::create_symlink("real.pcx", root / "TEXTURES/alias.pcx");
    fs::create_symlink("TEXTURES", root / "PICS");
    fs::create_symlink(dir / "outside/secret.txt", root / "TEXTURES/leak.pcx");
    fs::create_symlink(dir / "outside", root / "LEAKDIR");
    fs::create_symlink(dir / "outside/new.POT", root / "STANDARD.POT");
    DataResolver data(root);
    EXPECT_EQ(data.Find("TEXTURES\\ALIAS.PCX"), root / "TEXTURES/alias.pcx");
    EXPECT_EQ(data.Find("PICS/real.pcx"), root / "PICS/real.pcx");
    EXPECT_FALSE(data.Find("TEXTURES/leak.pcx"));
    EXPECT_FALSE(data.Find("LEAKDIR/secret.txt"));
    EXPECT_FALSE(data.Find("LEAKDIR"));
    // Writing: inside links are fine, outside ones are refused, whether the
    // file there exists yet or not.
    EXPECT_EQ(data.ForWrite("PICS/cache.pot"), root / "PICS/cache.pot");
    EXPECT_FALSE(data.ForWrite("LEAKDIR/cache.pot"));
    EXPECT_FALSE(data.ForWrite("STANDARD.POT"));
    EXPECT_FALSE(data.ForWrite("TEXTURES/leak.pcx"));
    // A data folder that is itself a link is followed as the player chose it.
    fs::create_symlink(root, dir / "linked-data");
    EXPECT_EQ(DataResolver(dir / "linked-data").Find("textures/real.pcx"), dir / "linked-data/TEXTURES/real.pcx");
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
