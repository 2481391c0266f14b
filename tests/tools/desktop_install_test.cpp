// `cmake --install` into a temporary prefix: the installed programs (under
// their package names in PREFIX/games) find their data from their own path
// (also after the prefix is moved) and write nothing into it, each has a
// manual page that lists what its --help lists, and the desktop entries,
// icons, metainfo and level file type pass the freedesktop validators.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using test::RunShell;
using test::TempDir;
using test::ToolRun;


// Installs the build tree into `prefix`; false (with the log) when it fails.
::testing::AssertionResult Install(const fs::path& prefix, const TempDir& work) {
    ToolRun run = RunShell(std::string(ZQ_CMAKE_COMMAND) + " --install " + ZQ_BUILD_DIR + " --prefix " + prefix.string(), work);
    if (run.exitCode != 0) return ::testing::AssertionFailure() << run.out << run.err;
    return ::testing::AssertionSuccess();
}

// The game run headless from `work`, with nothing in the environment pointing at data.
ToolRun RunInstalledGame(const fs::path& prefix, const TempDir& work) {
    return RunShell("env -u ZQ_DATA " + (prefix / "games/zorvoquib").string() +
                        " --headless --frames 30",
                    work);
}

TEST(DesktopInstall, InstalledGameFindsItsDataAlsoWhenMoved) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    TempDir root, work;
    const fs::path prefix = root / "usr";
    ASSERT_TRUE(Install(prefix, work));
    for (const char* program : {"games/zorvoquib", "games/zorvoquib-tool", "share/zorvoquib/Standard.bnk",
                                "share/zorvoquib/INTERF/ICON.PCX", "share/man/man6/zorvoquib.6.gz"})
        EXPECT_TRUE(fs::exists(prefix / program)) << program;
    EXPECT_FALSE(fs::exists(prefix / "bin")) << "programs under generic names";
    // The blend cache comes built with the data, so the game never writes there.
    auto installedFiles = [&prefix] {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(prefix)) files.insert(entry.path().string());
        return files;
    };
    const std::set<std::string> before = installedFiles();
    EXPECT_TRUE(fs::exists(prefix / "share/zorvoquib/TEXTURES.POT"));

    ToolRun run = RunInstalledGame(prefix, work);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(installedFiles(), before);

    const fs::path moved = root / "opt/zorvoquib";
    fs::create_directories(moved.parent_path());
    fs::rename(prefix, moved);
    run = RunInstalledGame(moved, work);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunShell("env -u ZQ_DATA " + (moved / "games/zorvoquib-tool").string() + " bank-check", work);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

    // Without its share folder the game names every place it looked in, none of them the build tree.
    fs::rename(moved / "share/zorvoquib", moved / "share/elsewhere");
    run = RunInstalledGame(moved, work);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find((moved / "share/zorvoquib").string()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find((moved / "games/data").string()), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(ZQ_BUILD_DIR), std::string::npos) << run.err;
}

TEST(DesktopInstall, DesktopEntriesIconsAndMetainfoValidate) {
    if (!test::HaveCommand("desktop-file-validate") || !test::HaveCommand("appstreamcli"))
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

    std::vector<fs::path> metainfo = {fs::path(ZQ_SOURCE_DIR) / "dist/org.zorvoquib.editor.metainfo.xml"};
    for (const auto& entry : fs::directory_iterator(prefix / "share/metainfo")) metainfo.push_back(entry.path());
    for (const fs::path& file : metainfo) {
        ToolRun run = RunShell("appstreamcli validate --no-net --pedantic " + file.string(), work);
        EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.out << run.err;
        const std::string text = test::ReadText(file);
        EXPECT_NE(text.find("<project_license>GPL-3.0-or-later</project_license>"), std::string::npos) << file;
        EXPECT_NE(text.find("<url type=\"homepage\">https://zorvoquib.org/</url>"), std::string::npos) << file;
        // The screenshot the software centres show is a picture this repository ships.
        const std::string tag = "/screenshots/";
        const std::size_t at = text.find(tag), end = text.find("</image>");
        ASSERT_TRUE(at != std::string::npos && end != std::string::npos && end > at) << file;
        EXPECT_TRUE(fs::is_regular_file(fs::path(ZQ_SOURCE_DIR) / "dist/screenshots" /
                                        text.substr(at + tag.size(), end - at - tag.size())))
            << file;
    }
    // The editor's entry opens level files, which the shared type database knows by their name.
    const std::string editor = test::ReadText(fs::path(ZQ_SOURCE_DIR) / "dist/org.zorvoquib.editor.desktop");
    EXPECT_NE(editor.find("MimeType=application/x-zorvoquib-level;"), std::string::npos) << editor;
    EXPECT_NE(editor.find("StartupWMClass=org.zorvoquib.editor"), std::string::npos) << editor;
    if (test::HaveCommand("update-mime-database")) {
        fs::create_directories(root / "mime/packages");
        fs::copy_file(fs::path(ZQ_SOURCE_DIR) / "dist/zorvoquib-level.xml", root / "mime/packages/zorvoquib.xml");
        ToolRun run = RunShell("update-mime-database " + (root / "mime").string(), work);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_NE(test::ReadText(root / "mime/globs2").find("application/x-zorvoquib-level:*.lev"), std::string::npos);
    }

    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        for (const char* name : {"org.zorvoquib.game", "org.zorvoquib.editor"}) {
        const fs::path icon = prefix / "share/icons/hicolor" / (side + "x" + side) / "apps" / (std::string(name) + ".png");
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
}

// Every option and verb --help names is in the manual page, and the page
// carries the installed name.
TEST(DesktopInstall, ManualPagesAgreeWithHelp) {
    TempDir work;
    const std::vector<std::pair<std::string, std::string>> programs = {
        {"game_soft", "zorvoquib"}, {"game_gl", "zorvoquib-gl"}, {"leveleditor", "zorvoquib-editor"},
        {"zqtool", "zorvoquib-tool"}};
    for (const auto& [built, installed] : programs) {
        const fs::path program = fs::path(ZQ_BUILD_DIR) / built;
        if (!fs::exists(program)) continue;
        const fs::path page = fs::path(ZQ_BUILD_DIR) / "man" / (installed + ".6.gz");
        ASSERT_TRUE(fs::exists(page)) << page;
        ToolRun help = RunShell(program.string() + " --help", work);
        ToolRun man = RunShell("gzip -dc " + page.string(), work);
        ASSERT_EQ(man.exitCode, 0);
        const auto roff = [](const std::string& word) {
            std::string out;
            for (char c : word) out += c == '-' ? std::string("\\-") : std::string(1, c);
            return out;
        };
        EXPECT_EQ(man.out.rfind(".TH " + roff(installed) + " 6", 0), 0u) << man.out.substr(0, 80);
        // Options and verbs: the first word of each indented line of --help.
        std::istringstream lines(help.out);
        int found = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("  ", 0) != 0) continue;
            std::istringstream words(line);
            std::string word;
            words >> word;
            if (word == built) words >> word;  // zqtool's "  zqtool VERB ARGS" lines
            if (word.empty() || word == "--help") continue;
            EXPECT_NE(man.out.find(roff(word)), std::string::npos) << installed << " lacks " << word;
            ++found;
        }
        EXPECT_GT(found, 0) << help.out;
    }
}

}  // namespace
}  // namespace zq
