#include "shell/settings.h"

#include <gtest/gtest.h>

#include "core/scramble.h"
#include "test_util.h"

namespace zq {
namespace {

TEST(GameSettings, DefaultsAndValueForms) {
    GameSettings d = ReadSettings(SettingsFile{});
    EXPECT_EQ(d.width, 320);
    EXPECT_EQ(d.resolution, 2);
    EXPECT_FALSE(d.fullscreen);
    EXPECT_TRUE(d.music);
    EXPECT_TRUE(d.texture);

    auto f = SettingsFile::FromText(
        "[General]\nFullscreen=yes\nMusic=FALSE\nTexture=tRUE\nResolution=9\nMouseMode=258\nTop=abc\n");
    GameSettings s = ReadSettings(f);
    EXPECT_FALSE(s.fullscreen);  // anything but the word TRUE is windowed
    EXPECT_FALSE(s.music);
    EXPECT_TRUE(s.texture);
    EXPECT_EQ(s.resolution, 2);
    EXPECT_EQ(ResolutionSize(9).width, 320);
    EXPECT_EQ(ResolutionSize(8).height, 1200);
    EXPECT_EQ(s.mouseMode, 2);  // kept as a byte
    EXPECT_EQ(s.top, 100);

    SettingsFile out = SettingsFile::FromText("[Custom]\nKeep=1\n");
    s.fullscreen = true;
    WriteSettings(out, s, 250);  // an unlisted height is written as index 2
    EXPECT_EQ(out.GetString("General", "Fullscreen"), "True");
    EXPECT_EQ(out.GetString("General", "Music"), "False");
    EXPECT_EQ(out.GetInt("General", "Resolution", -1), 2);
    EXPECT_EQ(out.GetString("Custom", "Keep"), "1");
    WriteSettings(out, s, 768);
    EXPECT_EQ(out.GetInt("General", "Resolution", -1), 6);
    GameSettings back = ReadSettings(out);
    EXPECT_EQ(back.resolution, 6);
    EXPECT_TRUE(back.fullscreen);
}

TEST(SavedGame, RoundTripAndClamps) {
    SettingsFile f;
    SaveGame(f, 12, 3);
    EXPECT_EQ(Scramble(f.GetString("Save", "Index")), "300012");
    auto game = LoadGame(f, 20);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->level, 12);
    EXPECT_EQ(game->lives, 3);

    auto load = [](const std::string& plain, int levels) {
        SettingsFile file;
        file.SetString("Save", "Index", Scramble(plain));
        return LoadGame(file, levels);
    };
    EXPECT_EQ(load("15000004", 20)->lives, 99);   // 150 lives
    EXPECT_EQ(load("300050", 20)->level, 19);     // past the list: the last level
    EXPECT_EQ(load("-5", 20)->level, 0);
    EXPECT_EQ(load("12a", 20)->level, 0);         // a letter: level 0 with 3 lives
    EXPECT_EQ(load("12a", 20)->lives, 3);
    EXPECT_FALSE(load("", 20));                   // nothing saved: the load is abandoned
    EXPECT_FALSE(load("1-2", 20));
}

TEST(FirstStartResolution, PicksTheLargestWindowThatLeavesRoomOnTheDesktop) {
    struct Case {
        int width, height, index;
    };
    const Case cases[] = {
        {1920, 1080, 5},  // 800 x 600: 1024 x 768 would fill most of the height
        {1920, 1200, 6},  // 1024 x 768
        {1366, 768, 4},   // 640 x 480
        {2560, 1440, 6},
        {3840, 2160, 8},  // 1600 x 1200, the largest there is
        {1280, 1024, 5},
        {800, 600, 3},
        {640, 480, kDefaultResolution},  // never smaller than the usual 320 x 240
        {0, 0, kDefaultResolution},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstStartResolution(c.width, c.height), c.index) << c.width << " x " << c.height;
}

TEST(SettingsPath, UsesTheStartFolderWhenItHasOneReadOnlyOrNot) {
    test::TempDir start, user;
    auto fallback = user / "zorvoquib/quib.ini";
    EXPECT_EQ(SettingsPath(start.Path(), user.Path()), fallback);
    auto local = start.Write("quib.ini", "[General]\n");
    EXPECT_EQ(SettingsPath(start.Path(), user.Path()), local);
    EXPECT_FALSE(SettingsFileReadOnly(local));
    // A read-only file is read, and left alone.
    std::filesystem::permissions(local, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(SettingsPath(start.Path(), user.Path()), local);
    EXPECT_TRUE(SettingsFileReadOnly(local));
    SettingsFile file;
    file.SetInt("General", "Top", 7);
    WriteResult written = WriteSettingsFile(file, local);
    EXPECT_FALSE(written);
    EXPECT_EQ(written.code, "READ-ONLY");
    EXPECT_EQ(test::ReadText(local), "[General]\n");
}

TEST(SettingsPath, AnExitThatCouldNotSaveIsToldAtTheNextStartOnce) {
    test::TempDir user;
    EXPECT_FALSE(TakeUnsavedSettingsNote(user.Path()));
    WriteResult failed;
    failed.code = "DISK FULL";
    RememberUnsavedSettings(user.Path(), failed);
    EXPECT_EQ(TakeUnsavedSettingsNote(user.Path()), "SETTINGS NOT SAVED: DISK FULL");
    EXPECT_FALSE(TakeUnsavedSettingsNote(user.Path()));
}

}  // namespace
}  // namespace zq
