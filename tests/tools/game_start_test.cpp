// How the programs start: their command lines, a start without a display or a
// sound device, the first window on a large desktop, the screenshot key.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using test::RunShell;
using test::TempDir;
using test::ToolRun;

const fs::path kBuild = ZQ_BUILD_DIR;

std::string Data() { return (kBuild / "data").string(); }

std::vector<fs::path> Programs() {
    std::vector<fs::path> programs;
    for (const char* name : {"game_soft", "game_gl", "leveleditor", "zqtool"})
        if (fs::exists(kBuild / name)) programs.push_back(kBuild / name);
    return programs;
}

int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// Width and height from a PNG file's header.
std::pair<int, int> PngSize(const fs::path& path) {
    const std::string b = test::ReadText(path);
    if (b.size() < 24 || b.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(b[at]) << 24) | (static_cast<unsigned char>(b[at + 1]) << 16) |
               (static_cast<unsigned char>(b[at + 2]) << 8) | static_cast<unsigned char>(b[at + 3]);
    };
    return {be32(16), be32(20)};
}

TEST(GameStart, HelpVersionAndUnknownArguments) {
    TempDir work;
    for (const fs::path& program : Programs()) {
        SCOPED_TRACE(program.filename().string());
        ToolRun help = RunShell(program.string() + " --help", work);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.out.find("usage: " + program.filename().string()), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");

        ToolRun version = RunShell(program.string() + " --version", work);
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, program.filename().string() + " (Zorvo Quib) 1.0\n");

        // zqtool refuses an unknown option inside a verb the same way.
        const std::string unknown = program.filename() == "zqtool" ? " levels --bogus ." : " --bogus";
        ToolRun bad = RunShell(program.string() + unknown, work);
        EXPECT_EQ(bad.exitCode, 2);
        EXPECT_EQ(bad.out, "");
        EXPECT_NE(bad.err.find("--bogus"), std::string::npos) << bad.err;
        EXPECT_NE(bad.err.find("usage: "), std::string::npos) << bad.err;
    }
}

// Installed under another name, each program calls itself by the name it was
// started as in --version, --help and its messages; the games' manual page
// has the keys, the files and the environment.
TEST(GameStart, ProgramsNameThemselvesAsStarted) {
    TempDir work;
    const std::pair<const char*, const char*> installed[] = {
        {"game_soft", "zorvoquib"}, {"game_gl", "zorvoquib-gl"}, {"leveleditor", "zorvoquib-editor"}, {"zqtool", "zorvoquib-tool"}};
    for (const auto& [build, name] : installed) {
        if (!fs::exists(kBuild / build)) continue;
        SCOPED_TRACE(name);
        fs::create_symlink(kBuild / build, work / name);
        const std::string program = (work / name).string();
        ToolRun version = RunShell(program + " --version", work);
        EXPECT_EQ(version.out.rfind(std::string(name) + " (Zorvo Quib) ", 0), 0u) << version.out;
        EXPECT_NE(RunShell(program + " --help", work).out.find(std::string("usage: ") + name + " "), std::string::npos);
        ToolRun bad = RunShell(program + (std::string(build) == "zqtool" ? " bogus-verb" : " --bogus"), work);
        EXPECT_EQ(bad.err.rfind(std::string(name) + ": ", 0), 0u) << bad.err;
        EXPECT_EQ(bad.err.find(build), std::string::npos) << bad.err;
    }
    const ToolRun man = RunShell((kBuild / "game_soft").string() + " --man-page", work);
    for (const char* section : {".SH KEYS", ".SH FILES", ".SH ENVIRONMENT", "quib.ini", "ZQ_DATA", "SPACE"})
        EXPECT_NE(man.out.find(section), std::string::npos) << section;
}

// A refused --level ends a headless run at once with its message and exit
// code 1, instead of running its frames on no screen.
TEST(GameStart, ARefusedLevelEndsAHeadlessRunWithOne) {
    TempDir work;
    work.Write("broken.lev", "not a level");
    for (const char* name : {"game_soft", "game_gl"}) {
        if (!fs::exists(kBuild / name)) continue;
        SCOPED_TRACE(name);
        ToolRun run = RunShell((kBuild / name).string() + " --data " + Data() +
                                   " --headless --frames 100000 --level broken.lev --dump-state state.json",
                               work);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("broken.lev"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("missing or invalid"), std::string::npos) << run.err;
        const auto state = nlohmann::json::parse(test::ReadText(work / "state.json"), nullptr, false);
        ASSERT_FALSE(state.is_discarded());
        EXPECT_EQ(state.value("frames", -1), 0);
    }
}

// A run asked for pictures or a state dump that could not be written has
// failed, however the game went: a script must not go on to read old files.
TEST(GameStart, AHeadlessRunWhoseOutputCannotBeWrittenEndsWithOne) {
    TempDir work;
    if (!fs::exists(kBuild / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const std::string run = (kBuild / "game_soft").string() + " --data " + Data() + " --headless --frames 3";
    EXPECT_EQ(RunShell(run + " --dump-state state.json --screenshot shot.png", work).exitCode, 0);
    for (const char* output : {" --dump-state missing/state.json", " --screenshot missing/shot.png",
                               " --screenshot missing/shot.png --screenshot-frame 2"}) {
        ToolRun failed = RunShell(run + output, work);
        EXPECT_EQ(failed.exitCode, 1) << output;
        EXPECT_NE(failed.err.find("missing/"), std::string::npos) << failed.err;
    }
}

TEST(GameStart, EditorOpensOneLevelFileAtMost) {
    if (!fs::exists(kBuild / "leveleditor")) GTEST_SKIP() << "the editor is not built here";
    TempDir work;
    ToolRun run = RunShell((kBuild / "leveleditor").string() + " a.lev b.lev", work);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("only one level file"), std::string::npos) << run.err;
}

TEST(GameStart, GamesTakeNetworkFirstAndNoOtherPositional) {
    if (!fs::exists(kBuild / "game_soft")) GTEST_SKIP() << "the game is not built here";
    TempDir work;
    const std::string game = (kBuild / "game_soft").string() + " --data " + Data();
    EXPECT_EQ(RunShell((kBuild / "game_soft").string() + " /NeTwOrK --data " + Data() + " --headless --frames 2", work).exitCode, 0);
    for (const char* args : {" --headless --frames 2 /NETWORK", " --headless --frames 2 extra", " level.lev"}) {
        ToolRun run = RunShell(game + args, work);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.err.find("unexpected argument"), std::string::npos) << run.err;
    }
}

TEST(GameStart, WithoutADisplayAWindowedStartEndsAtOnceWithOneLine) {
    TempDir work;
    for (const char* name : {"game_soft", "game_gl"}) {
        if (!fs::exists(kBuild / name)) continue;
        SCOPED_TRACE(name);
        const std::string game = (kBuild / name).string() + " --data " + Data();
        ToolRun run = RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + game, work);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, std::string(name) + ": no display found; use --headless or start it from a desktop session\n");

        // SDL's invisible drivers are no display either, nor a display that does
        // not answer (the video library's own start-up allocations would read as
        // leaks in checked builds).
        for (const char* env : {"-u DISPLAY SDL_VIDEODRIVER=dummy", "-u SDL_VIDEODRIVER DISPLAY=:4711"}) {
            run = RunShell(std::string("env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR ") + env + " ASAN_OPTIONS=detect_leaks=0 " + game, work);
            EXPECT_EQ(run.exitCode, 1) << env;
            EXPECT_EQ(CountLines(run.err), 1) << env << "\n" << run.err;
            EXPECT_NE(run.err.find("no display found"), std::string::npos) << run.err;
        }
    }
}

// A first start in a window on a 1920 x 1080 desktop without any sound device
// setting: nothing on stderr, an 800 x 600 view; the choice saved then wins.
TEST(GameStart, FirstWindowedStartIsQuietAndSuitsTheDesktop) {
    if (!test::HaveCommand("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    if (!fs::exists(kBuild / "game_soft")) GTEST_SKIP() << "the game is not built here";
    TempDir work;
    auto run = [&](const std::string& audio) {
        return "env -u SDL_AUDIODRIVER -u SDL_VIDEODRIVER -u XDG_CONFIG_HOME " + audio + " HOME=" + work.Path().string() +
               " ASAN_OPTIONS=detect_leaks=0 xvfb-run -a -s '-screen 0 1920x1080x24' " + (kBuild / "game_soft").string() +
               " --data " + Data() + " --frames 20 --screenshot shot.png";
    };
    ToolRun first = RunShell(run(""), work);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(PngSize(work / "shot.png"), std::make_pair(800, 600));
    const fs::path settings = work / ".config/zorvoquib/quib.ini";
    const std::string saved = test::ReadText(settings);
    EXPECT_NE(saved.find("Resolution=5"), std::string::npos) << saved;

    // A driver that cannot open stands for a machine without sound; --verbose says so in one line.
    work.Write(".config/zorvoquib/quib.ini", "[General]\nResolution=3\n");
    ToolRun second = RunShell(run("SDL_AUDIODRIVER=no-such-driver") + " --verbose", work);
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(PngSize(work / "shot.png"), std::make_pair(512, 384));
    EXPECT_NE(second.err.find("game_soft: no sound device: sound off\n"), std::string::npos) << second.err;
    // ... and the data folder it uses, and whether the display's vertical sync paces the frames.
    EXPECT_EQ(CountLines(second.err), 3) << second.err;
}

TEST(GameStart, ScreenshotKeyWritesOnePngIntoThePicturesFolder) {
    if (!fs::exists(kBuild / "game_soft")) GTEST_SKIP() << "the game is not built here";
    TempDir work;
    work.Write("keys.txt", "5x 30 -\n3x 30 print\n2x 30 -\n");
    ToolRun run = RunShell("XDG_PICTURES_DIR=" + (work / "pictures").string() + " " + (kBuild / "game_soft").string() +
                               " --data " + Data() + " --headless --input keys.txt --dump-state state.json",
                           work);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<fs::path> shots;
    for (const auto& entry : fs::directory_iterator(work / "pictures/zorvoquib")) shots.push_back(entry.path());
    ASSERT_EQ(shots.size(), 1u);  // held for three frames, taken once
    const std::string name = shots[0].filename().string();
    EXPECT_EQ(name.rfind("zorvoquib-", 0), 0u) << name;
    EXPECT_EQ(shots[0].extension(), ".png");
    EXPECT_EQ(PngSize(shots[0]), std::make_pair(320, 240));
    const auto state = nlohmann::json::parse(test::ReadText(work / "state.json"));
    EXPECT_EQ(state["statusText"].get<std::string>().rfind("SCREENSHOT ZORVOQUIB-", 0), 0u) << state.dump();
}

// --data naming a folder without the game's data (empty, or not there at all)
// ends at once with that folder named, not with a file missing inside it.
TEST(GameStart, DataFolderWithoutGameDataIsNamed) {
    TempDir work;
    fs::create_directories(work / "empty");
    // The editor says it in a message box that waits for the user, so only the games here.
    for (const fs::path& program : Programs()) {
        if (program.filename() != "game_soft" && program.filename() != "game_gl") continue;
        for (const std::string dir : {"empty", "absent"}) {
            ToolRun run = RunShell((program.string() + " --data " + (work / dir).string() + " --headless --frames 1"),
                                   work);
            EXPECT_EQ(run.exitCode, 1) << program;
            EXPECT_NE(run.err.find("data folder " + (work / dir).string()), std::string::npos) << program << run.err;
            EXPECT_EQ(run.err.find("Standard.bnk is missing"), std::string::npos) << run.err;
        }
    }
}

}  // namespace
}  // namespace zq
