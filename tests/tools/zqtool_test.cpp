// Runs the zqtool program on hand-made files and checks what it reports.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "assets/pcx.h"
#include "core/settings_file.h"
#include "test_util.h"
#include "world/level_file.h"

namespace zq {
namespace {

using test::ToolRun;

ToolRun Tool(const std::string& args, const test::TempDir& dir) { return test::RunTool(args, dir); }

TEST(Zqtool, LevelInfoReportsAHandMadeLevel) {
    test::TempDir dir;
    auto w = std::make_unique<World>();
    ASSERT_TRUE(InitNewLevel(*w, 3, 2, 2, 7));
    SetCell(*w, 1, 1, 1, 20);
    SetCell(*w, 0, 1, 1, 20);
    w->sentryCount = 1;
    w->sentries[0].x = 768;
    w->sentries[0].y = 512;
    w->sentries[0].z = 256;
    w->sentries[0].heading = 100;
    w->clipMarkers[3] = {1, 1, 0, 2};
    w->eventMarkers[9] = {4, 2, 1, 0, 0, 0, 0, {0, 0, 0}};
    w->description = "D\xe9j\xe0 vu";
    w->fogBlue = 80;
    auto path = dir.Write("one.lev", SerializeLevel(*w));

    ToolRun run = Tool("level-info " + path.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info["bank"], "STANDARD.BNK");
    EXPECT_EQ(info["size"], nlohmann::json({3, 2, 2}));
    EXPECT_EQ(info["start"], nlohmann::json({1, 1, 1}));
    EXPECT_EQ(info["exit"], nlohmann::json({-1, 1, -1}));
    EXPECT_EQ(info["description"], "D\xc3\xa9j\xc3\xa0 vu");
    EXPECT_EQ(info["randomSeed"], 7);
    EXPECT_EQ(info["sentries"], nlohmann::json::parse("[[768.0,512.0,256.0,100.0]]"));
    EXPECT_EQ(info["fog"], nlohmann::json({0, 0, 80}));
    EXPECT_EQ(info["clipMarkers"], nlohmann::json::parse(R"([{"slot":3,"x":1,"y":1,"z":0,"clip":2}])"));
    EXPECT_EQ(info["eventMarkers"].size(), 1u);
    EXPECT_EQ(info["eventMarkers"][0]["behaviour"], 4);
    EXPECT_EQ(info["cells"], nlohmann::json::parse(R"({"1":6,"20":2})"));
    EXPECT_EQ(info["fileSize"], 12084 + 4 * 12 + 16);
}

TEST(Zqtool, ScriptDumpListsNamedBehavioursAndTheirCommands) {
    test::TempDir dir;
    auto path = dir.Write("one.scp",
                          "[Behaviour 4]\r\nName=Lift\r\n0=WAITFORPLAYER (0,0,0),(1,1,1)\r\n"
                          "1=MOVETO (0,2,0),1500\r\n3=GOTO 1\r\n[Behaviour 5]\r\n0=DELAY 5\r\n");
    ToolRun run = Tool("script-dump " + path.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto list = nlohmann::json::parse(run.out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["index"], 4);
    EXPECT_EQ(list[0]["name"], "Lift");
    EXPECT_EQ(list[0]["steps"], nlohmann::json::parse(R"([
        {"step":0,"command":1,"args":[0,0,0,1,1,1,0]},
        {"step":1,"command":7,"args":[0,2,0,1500,0,0,0]},
        {"step":3,"command":4,"args":[1,0,0,0,0,0,0]}])"));
}

TEST(Zqtool, LevelsAndLevelNew) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "data/Level");
    ToolRun made = Tool("level-new 6 3 4 " + (dir / "data/Level/b.lev").string() + " --seed 12", dir);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    Tool("level-new 2 2 2 " + (dir / "data/Level/A.lev").string(), dir);
    ToolRun list = Tool("levels " + (dir / "data").string(), dir);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(nlohmann::json::parse(list.out), nlohmann::json::parse(R"(["LEVEL\\A.lev","LEVEL\\b.lev"])"));

    ToolRun info = Tool("level-info " + (dir / "data/LEVEL/B.LEV").string(), dir);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    auto json = nlohmann::json::parse(info.out);
    EXPECT_EQ(json["randomSeed"], 12);
    EXPECT_EQ(json["cells"], nlohmann::json::parse(R"({"1":24})"));
    EXPECT_EQ(json["start"], nlohmann::json({3, 1, 2}));
}

TEST(Zqtool, RefusedInputsGiveOneLineAndExitOne) {
    test::TempDir dir;
    auto bad = dir.Write("bad.lev", std::string(300, '\xff'));
    for (const std::string& args : {"level-info " + bad.string(), "level-info " + (dir / "none.lev").string(),
                                    "script-dump " + (dir / "none.scp").string(),
                                    "levels " + (dir / "nowhere").string(), "levels " + dir.Path().string(),
                                    std::string("level-new 0 1 1 x.lev"), std::string("level-info")}) {
        ToolRun run = Tool(args, dir);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_TRUE(run.out.empty()) << args;
        ASSERT_FALSE(run.err.empty()) << args;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << args << ": " << run.err;
    }
}

// Files a stranger can make tiny in a download (blank lines, zeros) must cost
// what a valid file of their kind costs, not what their length says: each
// reader reads no more than its layout can use, or refuses the file unread.
TEST(Zqtool, LongFilesOfNothingAreNeitherReadWholeNorKeptInMemory) {
    test::TempDir dir;
    if (!std::filesystem::exists("/usr/bin/time")) GTEST_SKIP() << "/usr/bin/time measures the peak; not installed";
    // Well above the tool's own footprint (sanitizers included), far below
    // what reading any of these files whole would take.
    constexpr long kPeakKilobytes = 100 * 1024;
    auto padTo = [](const std::filesystem::path& file, std::uintmax_t size) {
        std::filesystem::resize_file(file, size);  // sparse: zeros that take no disk
        return file.string();
    };

    // A valid script after 16 MB of blank lines, at the ceiling.
    const std::string tail = "[Behaviour 0]\nName=fall\n0=DELAY 500\n";
    auto script = dir.Write("blank.scp", std::string(kMaxSectionedFileBytes - tail.size(), '\n') + tail);
    test::MeasuredRun run = test::RunToolMeasured("script-dump " + script.string(), dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.peakKilobytes, kPeakKilobytes) << "a script of blank lines";
    // One byte more, and it is not read at all.
    auto over = dir.Write("over.scp", std::string(kMaxSectionedFileBytes + 1, '\n'));
    EXPECT_EQ(test::RunToolMeasured("script-dump " + over.string(), dir).exitCode, 1);

    // A valid level padded with 3 GB of zeros loads from its first bytes.
    auto w = std::make_unique<World>();
    ASSERT_TRUE(InitNewLevel(*w, 8, 4, 8, 1));
    const std::string level = padTo(dir.Write("padded.lev", SerializeLevel(*w)), 3ull << 30);
    run = test::RunToolMeasured("level-info " + level, dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.peakKilobytes, kPeakKilobytes) << "a level padded to 3 GB";

    // A mesh of 2 GB of zeros is one vertex and one face: 32 bytes are used.
    const std::string mesh = padTo(dir.Write("zeros.3do", std::string(4, '\0')), 2ull << 30);
    run = test::RunToolMeasured("mesh-info " + mesh, dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.peakKilobytes, kPeakKilobytes) << "a mesh of zeros";

    // A picture larger than any valid one is refused unread.
    const std::string picture = padTo(dir.Write("huge.pcx", std::string(1, '\x0a')), kMaxPcxFileBytes + 1);
    run = test::RunToolMeasured("pcx-info " + picture, dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_LT(run.peakKilobytes, kPeakKilobytes) << "a picture over the ceiling";
}

}  // namespace
}  // namespace zq
