// `cmake --install` into a temporary prefix: the installed programs find their
// data from their own path (also after the prefix is moved), and the desktop
// entries, icons and metainfo pass the freedesktop validators.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using test::RunShell;
using test::TempDir;
using test::ToolRun;

bool HaveCommand(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

// Installs the build tree into `prefix`; false (with the log) when it fails.
::testing::AssertionResult Install(const fs::path& prefix, const TempDir& work) {
    ToolRun run = RunShell(std::string(ZQ_CMAKE_COMMAND) + " --install " + ZQ_BUILD_DIR + " --prefix " + prefix.string(), work);
    if (run.exitCode != 0) return ::testing::AssertionFailure() << run.out << run.err;
    return ::testing::AssertionSuccess();
}

// The game run headless from `work`, with nothing in the environment pointing at data.
ToolRun RunInstalledGame(const fs::path& prefix, const TempDir& work) {
    return RunShell("env -u ZQ_DATA " + (prefix / "bin/game_soft").string() +
                        " --headless --frames 30",
                    work);
}

TEST(DesktopInstall, InstalledGameFindsItsDataAlsoWhenMoved) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    TempDir root, work;
    const fs::path prefix = root / "usr";
    ASSERT_TRUE(Install(prefix, work));
    for (const char* program : {"bin/game_soft", "bin/zqtool", "share/zorvoquib/Standard.bnk",
                                "share/zorvoquib/INTERF/ICON.PCX"})
        EXPECT_TRUE(fs::exists(prefix / program)) << program;
    // The cache the software game writes beside the bank is the player's, never installed.
    for (const auto& entry : fs::recursive_directory_iterator(prefix / "share/zorvoquib"))
        EXPECT_NE(entry.path().extension(), ".POT") << entry.path();

    ToolRun run = RunInstalledGame(prefix, work);
    EXPECT_EQ(run.exitCode, 0) << run.err;

    const fs::path moved = root / "opt/zorvoquib";
    fs::create_directories(moved.parent_path());
    fs::rename(prefix, moved);
    run = RunInstalledGame(moved, work);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunShell("env -u ZQ_DATA " + (moved / "bin/zqtool").string() + " bank-check", work);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

    // Without its share folder the game names every place it looked in, none of them the build tree.
    fs::rename(moved / "share/zorvoquib", moved / "share/elsewhere");
    run = RunInstalledGame(moved, work);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find((moved / "share/zorvoquib").string()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find((moved / "bin/data").string()), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(ZQ_BUILD_DIR), std::string::npos) << run.err;
}

TEST(DesktopInstall, DesktopEntriesIconsAndMetainfoValidate) {
    if (!HaveCommand("desktop-file-validate") || !HaveCommand("appstreamcli"))
        GTEST_SKIP() << "desktop-file-utils and appstream are not installed (scripts/install-deps.sh)";
    TempDir root, work;
    const fs::path prefix = root / "usr";
    ASSERT_TRUE(Install(prefix, work));

    // The editor's entry is installed only with the editor; it is checked either way.
    std::vector<fs::path> entries = {fs::path(ZQ_SOURCE_DIR) / "dist/org.zorvoquib.editor.desktop"};
    for (const auto& entry : fs::directory_iterator(prefix / "share/applications")) entries.push_back(entry.path());
    EXPECT_GE(entries.size(), 2u);
    for (const fs::path& entry : entries) {
        ToolRun run = RunShell("desktop-file-validate " + entry.string(), work);
        EXPECT_EQ(run.exitCode, 0) << entry << "\n" << run.out << run.err;
        EXPECT_EQ(run.out, "") << entry;  // warnings and hints count too
    }
    const std::string game = test::ReadText(prefix / "share/applications/org.zorvoquib.game.desktop");
    EXPECT_NE(game.find("Categories=Game;ArcadeGame;"), std::string::npos) << game;
    EXPECT_NE(game.find("Icon=org.zorvoquib.game"), std::string::npos) << game;

    ToolRun run = RunShell("appstreamcli validate --no-net " + (prefix / "share/metainfo/org.zorvoquib.game.metainfo.xml").string(), work);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        const fs::path icon = prefix / "share/icons/hicolor" / (side + "x" + side) / "apps/org.zorvoquib.game.png";
        ASSERT_TRUE(fs::exists(icon)) << icon;
        // The PNG header states the size the folder promises.
        const std::string bytes = test::ReadText(icon);
        ASSERT_GT(bytes.size(), 24u);
        const auto be32 = [&](std::size_t at) {
            return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
                   (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
        };
        EXPECT_EQ(be32(16), size);
        EXPECT_EQ(be32(20), size);
    }
}

}  // namespace
}  // namespace zq
