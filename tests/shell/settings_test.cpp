#include "shell/settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

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
    WriteSettings(out, s, {320, 250});  // an unlisted height is written as index 2
    EXPECT_EQ(out.GetString("General", "Fullscreen"), "True");
    EXPECT_EQ(out.GetString("General", "Music"), "False");
    EXPECT_EQ(out.GetInt("General", "Resolution", -1), 2);
    EXPECT_EQ(out.GetString("Custom", "Keep"), "1");
    WriteSettings(out, s, {1024, 768});
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

// What we write back is what we read plus our changes, so a file that is there
// but could not be read is never written: it would lose everything else.
TEST(SettingsPath, ASettingsFileThatCannotBeReadIsNeverWrittenBack) {
    test::TempDir dir;
    SettingsFile changes;
    SaveGame(changes, 4, 3);
    // Not a regular file (a FIFO is never waited on, and not replaced either).
    const auto fifo = dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Larger than any settings file is read.
    const auto huge = dir.Write("huge.ini", "[General]\nTop=5\n");
    std::filesystem::resize_file(huge, kMaxSectionedFileBytes + 1);
    for (const auto& path : {fifo, huge}) {
        ASSERT_FALSE(SettingsFile::Load(path)) << path;
        WriteResult written = WriteSettingsFile(changes, path);
        EXPECT_FALSE(written) << path;
        EXPECT_EQ(written.code, "CANNOT READ SETTINGS") << path;
        EXPECT_EQ(SaveGameStatus(written), "GAME NOT SAVED: CANNOT READ SETTINGS");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(std::filesystem::file_size(huge), kMaxSectionedFileBytes + 1);
    // A missing file is simply made.
    EXPECT_TRUE(WriteSettingsFile(changes, dir / "new/quib.ini"));
}

// Sets an environment variable for the life of the object, then puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SettingsPath, OnlyAbsoluteFoldersFromTheEnvironmentAreUsed) {
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");  // the XDG rules: ignored
        ScopedEnv home("HOME", "/home/somebody");
        EXPECT_EQ(UserConfigDir(), "/home/somebody/.config");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
        EXPECT_EQ(UserConfigDir(), "/xdg/config");
    }
    {
        // No usable HOME: the user database's home folder, never the current folder.
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", "");
        const std::filesystem::path dir = UserConfigDir();
        EXPECT_TRUE(dir.empty() || dir.is_absolute()) << dir;
    }
    // With no folder at all nothing is written anywhere, and the reason is named.
    test::TempDir start;
    EXPECT_TRUE(SettingsPath(start.Path(), {}).empty());
    WriteResult written = WriteSettingsFile(SettingsFile{}, {});
    EXPECT_EQ(written.code, "NO SETTINGS FOLDER");
    EXPECT_FALSE(written.reason.empty());
    RememberUnsavedSettings({}, written);
    EXPECT_FALSE(std::filesystem::exists("zorvoquib"));
}

// A folder that cannot be made is the save's real cause, not "NO FOLDER".
TEST(SettingsPath, TheSaveNamesWhyItsFolderCouldNotBeMade) {
    EXPECT_EQ(WriteFailure("/x/quib.ini", EROFS).code, "READ-ONLY FILE SYSTEM");
    // sysfs refuses new folders (EPERM) even to root.
    const std::filesystem::path path = "/sys/zq_settings_test/zorvoquib/quib.ini";
    if (!std::filesystem::is_directory("/sys/kernel")) GTEST_SKIP() << "no sysfs here";
    WriteResult written = WriteSettingsFile(SettingsFile{}, path);
    EXPECT_FALSE(written);
    EXPECT_NE(written.code, "NO FOLDER") << written.reason;
}

}  // namespace
}  // namespace zq

namespace zq {
namespace {

std::string SizeList(const std::vector<RenderSize>& sizes) {
    std::string text;
    for (const RenderSize s : sizes) text += std::to_string(s.width) + "x" + std::to_string(s.height) + " ";
    return text;
}

TEST(OfferedSizes, ClassicWidescreenAndTheDesktopsOwnThatFit) {
    EXPECT_EQ(SizeList(OfferedSizes({}, false)),
              "160x120 320x200 320x240 512x384 640x480 800x600 1280x720 1024x768 1366x768 1280x1024 1920x1080 "
              "1600x1200 2560x1440 ");
    // A 1920 x 1080 screen with a 40-line panel and a 30-line title bar.
    const ScreenRoom hd{1920, 1080, 1920, 1040, 10, 30};
    EXPECT_EQ(SizeList(OfferedSizes(hd, false)),
              "160x120 320x200 320x240 512x384 640x480 800x600 1280x720 1024x768 1366x768 ");
    EXPECT_EQ(SizeList(OfferedSizes(hd, true)),
              "320x200 320x240 512x384 640x480 800x600 1280x720 1024x768 1366x768 1280x1024 1920x1080 ");
    EXPECT_EQ(LargestWindowedSize(hd), (RenderSize{1366, 768}));
    // An odd desktop adds its own size, once; a tiny one still has 160 x 120.
    EXPECT_EQ(SizeList(OfferedSizes({1680, 1050, 0, 0, 0, 0}, true)),
              "320x200 320x240 512x384 640x480 800x600 1280x720 1024x768 1366x768 1280x1024 1680x1050 ");
    EXPECT_EQ(SizeList(OfferedSizes({1366, 768, 0, 0, 0, 0}, true)).find("1366x768 1366x768"), std::string::npos);
    EXPECT_EQ(SizeList(OfferedSizes({200, 150, 0, 0, 0, 0}, false)), "160x120 ");
}

TEST(SettingsRenderSize, WideSizesRoundTripAndOldFilesStillLoad) {
    // A file from before the wide sizes has only the index.
    GameSettings old = ReadSettings(SettingsFile::FromText("[General]\nResolution=6\n"));
    EXPECT_EQ(SettingsRenderSize(old), (RenderSize{1024, 768}));

    for (const RenderSize size : {RenderSize{1366, 768}, RenderSize{1920, 1080}, RenderSize{1024, 768}}) {
        SettingsFile file;
        WriteSettings(file, GameSettings{}, size);
        EXPECT_EQ(SettingsRenderSize(ReadSettings(file)), size) << size.width << "x" << size.height;
    }
    SettingsFile file;
    WriteSettings(file, GameSettings{}, {1366, 768});
    EXPECT_EQ(file.GetInt("General", "Resolution", -1), 6);  // what an older game reads

    // An index changed since (by hand or an older game) wins over the pair;
    // nonsense sizes fall back to the index.
    const char* const kTexts[] = {
        "[General]\nResolution=4\nRenderWidth=1280\nRenderHeight=720\n",
        "[General]\nResolution=4\nRenderWidth=-5\nRenderHeight=480\n",
        "[General]\nResolution=4\nRenderWidth=99999\nRenderHeight=480\n",
    };
    for (const char* text : kTexts)
        EXPECT_EQ(SettingsRenderSize(ReadSettings(SettingsFile::FromText(text))), (RenderSize{640, 480})) << text;
}

}  // namespace
}  // namespace zq
