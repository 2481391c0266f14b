// Finding the data folder (build tree, moved installs) and the pictures folder.
#include "core/data_dir.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

// A fake data folder: a bank file is what marks one.
void MakeData(const test::TempDir& root, const std::string& dir, const char* bank = "Standard.bnk") {
    root.Write(dir + "/" + bank, "[Objects]\n");
}

TEST(FindDataDir, LooksInTheEnvironmentThenBesideTheProgramThenTheInstalledShare) {
    test::TempDir root;
    const fs::path program = root / "prefix/bin/game_soft";
    MakeData(root, "prefix/share/zorvoquib", "STANDARD.BNK");  // any letter case
    DataDirSearch search = FindDataDir(std::nullopt, std::nullopt, program);
    ASSERT_TRUE(search.found);
    EXPECT_EQ(*search.found, root / "prefix/share/zorvoquib");

    MakeData(root, "prefix/bin/data");  // a build tree keeps its data beside the programs
    search = FindDataDir(std::nullopt, std::nullopt, program);
    EXPECT_EQ(*search.found, root / "prefix/bin/data");

    MakeData(root, "elsewhere");
    search = FindDataDir(std::nullopt, (root / "elsewhere").string(), program);
    EXPECT_EQ(*search.found, root / "elsewhere");

    // $ZQ_DATA without data behind it does not hide the folders after it.
    search = FindDataDir(std::nullopt, (root / "nothing").string(), program);
    EXPECT_EQ(*search.found, root / "prefix/bin/data");
}

TEST(FindDataDir, AGivenFolderIsTakenAsItIs) {
    test::TempDir root;
    MakeData(root, "prefix/bin/data");
    const DataDirSearch search =
        FindDataDir(std::string("/no/such/folder"), (root / "prefix/bin/data").string(), root / "prefix/bin/game_soft");
    ASSERT_TRUE(search.found);
    EXPECT_EQ(*search.found, fs::path("/no/such/folder"));
}

TEST(FindDataDir, TheMessageNamesEveryPlaceTried) {
    test::TempDir root;
    root.Write("prefix/bin/data/readme.txt", "not a data folder\n");
    const DataDirSearch search = FindDataDir(std::nullopt, (root / "env").string(), root / "prefix/bin/game_soft");
    ASSERT_FALSE(search.found);
    ASSERT_EQ(search.tried.size(), 3u);
    const std::string message = search.NotFoundMessage();
    EXPECT_NE(message.find((root / "env").string()), std::string::npos) << message;
    EXPECT_NE(message.find((root / "prefix/bin/data").string()), std::string::npos) << message;
    EXPECT_NE(message.find((root / "prefix/share/zorvoquib").string()), std::string::npos) << message;
}

TEST(PicturesDir, EnvironmentThenUserDirsThenHomePictures) {
    test::TempDir root;
    const fs::path home = root / "home";
    const fs::path dirs = root / "user-dirs.dirs";
    EXPECT_EQ(PicturesDir("/tmp/shots", home, dirs), fs::path("/tmp/shots"));
    EXPECT_EQ(PicturesDir(nullptr, home, dirs), home / "Pictures");  // no user-dirs file
    EXPECT_EQ(PicturesDir("", home, dirs), home / "Pictures");

    root.Write("user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                 "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(PicturesDir(nullptr, home, dirs), home / "Bilder");
    root.Write("user-dirs.dirs", "XDG_PICTURES_DIR=\"/srv/pictures\"\n");
    EXPECT_EQ(PicturesDir(nullptr, home, dirs), fs::path("/srv/pictures"));
    // "$HOME/" alone switches the folder off: screenshots do not land in the home folder itself.
    root.Write("user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/\"\n");
    EXPECT_EQ(PicturesDir(nullptr, home, dirs), home / "Pictures");
}

}  // namespace
}  // namespace zq
