// zqtool check-level on small levels built in code: a won level's solution
// plays to the exit in the real game, a drop that leaves no way back is named
// with a script that reaches it, an exit reached around its ingot door is a
// shortcut, a clock is raced at a player's pace, and a file that is no
// level is refused.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <filesystem>

#include "test_util.h"
#include "world/level_file.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ZQ_BUILD_DIR) / "data";
const fs::path kGameSoft = fs::path(ZQ_BUILD_DIR) / "game_soft";
constexpr Cell kStone = 1, kIngot = 20, kIngotDoor = 21, kShortTimer = 56;

// The hero's start and the exit, each as {x, y, z}.
void PlaceStartAndExit(World& w, std::array<int, 3> start, std::array<int, 3> exit) {
    w.startX = start[0];
    w.startY = start[1];
    w.startZ = start[2];
    w.exitX = exit[0];
    w.exitY = exit[1];
    w.exitZ = exit[2];
}

// A corridor running east along z = 1 between two walls: a ledge two cells
// high at x = 0..2 with the start on it (x = 1), the exit at its west end
// and an ingot at its east end; below it to the east a pit x = 3..5 closed by
// a wall.  Two cells cannot be jumped, so a hero who drops into the pit stays.
Bytes LedgeOverPit() {
    auto w = std::make_unique<World>();
    EXPECT_TRUE(InitNewLevel(*w, 7, 5, 3, 1));
    for (int x = 0; x < 7; ++x)
        for (int y = 1; y < 5; ++y) {
            SetCell(*w, x, y, 0, kStone);
            SetCell(*w, x, y, 2, kStone);
        }
    for (int y = 1; y < 5; ++y) SetCell(*w, 6, y, 1, kStone);
    for (int x = 0; x < 3; ++x)
        for (int y = 1; y < 3; ++y) SetCell(*w, x, y, 1, kStone);
    SetCell(*w, 2, 3, 1, kIngot);
    PlaceStartAndExit(*w, {1, 3, 1}, {0, 3, 1});
    w->startHeading = 8192;
    return SerializeLevel(*w);
}

// Plays a solution script in the real game from the level's start and
// expects it to finish the level alive.
void ExpectSolutionFinishes(test::TempDir& dir, const fs::path& level, const std::string& solution) {
    if (!fs::exists(kGameSoft)) GTEST_SKIP() << "the game is not built here";
    dir.Write("solution.txt", solution);
    const test::ToolRun game = test::RunShell("SDL_AUDIODRIVER=dummy " + kGameSoft.string() + " --data " + kData.string() +
                                                  " --headless --no-draw --level " + level.string() +
                                                  " --input solution.txt --dump-state state.json",
                                              dir);
    ASSERT_EQ(game.exitCode, 0) << game.err;
    const auto state = nlohmann::json::parse(test::ReadText(dir / "state.json"));
    EXPECT_EQ(state["levelIndex"], 1) << "the solution did not finish the level";
    EXPECT_EQ(state["dead"], false);
}

// A level sizeX x 4 x sizeZ of stone floor with walls three cells high
// round its edge: the room the small levels below are built in.
std::unique_ptr<World> WalledRoom(int sizeX, int sizeZ) {
    auto w = std::make_unique<World>();
    EXPECT_TRUE(InitNewLevel(*w, sizeX, 4, sizeZ, 1));
    for (int x = 0; x < sizeX; ++x)
        for (int z = 0; z < sizeZ; ++z) {
            SetCell(*w, x, 0, z, kStone);
            if (x == 0 || z == 0 || x == sizeX - 1 || z == sizeZ - 1)
                for (int y = 1; y < 4; ++y) SetCell(*w, x, y, z, kStone);
        }
    return w;
}

// A walled room 8 x 8 of plain floor, the start and the ingot in its
// south-west corner and the exit in the far (north-east) corner.
Bytes WideRoom() {
    auto w = WalledRoom(10, 10);
    SetCell(*w, 1, 1, 1, kIngot);
    PlaceStartAndExit(*w, {2, 1, 1}, {8, 1, 8});
    return SerializeLevel(*w);
}

// A walled room 5 x 3 with the start in the middle of its south row, an
// ingot in the south-west corner and the exit in the north-east corner,
// behind an ingot door to its west (walled above).  With `closed` a wall two
// cells high shuts the exit's south side too; without, the exit can be
// walked into from the south, around the door.
Bytes ExitBesideTheDoor(bool closed) {
    auto w = WalledRoom(7, 5);
    SetCell(*w, 1, 1, 1, kIngot);
    SetCell(*w, 4, 1, 3, kIngotDoor);
    SetCell(*w, 4, 2, 3, kStone);
    if (closed)
        for (int y = 1; y < 3; ++y) SetCell(*w, 5, y, 2, kStone);
    PlaceStartAndExit(*w, {3, 1, 1}, {5, 1, 3});
    return SerializeLevel(*w);
}

// A corridor 28 cells long running east along z = 1: the start at its west
// end, the 25-second timer in the next cell and the exit at the east end.
// Run straight through, it takes about half the clock; stopping at every
// cell, as the search's single steps do, it takes longer than the clock.
Bytes ClockCorridor() {
    auto w = WalledRoom(32, 3);
    SetCell(*w, 2, 1, 1, kShortTimer);
    PlaceStartAndExit(*w, {1, 1, 1}, {30, 1, 1});
    w->startHeading = 8192;
    return SerializeLevel(*w);
}

TEST(LevelCheck, AClockIsRacedAtAPlayersPace) {
    test::TempDir dir;
    const fs::path level = dir.Write("corridor.lev", ClockCorridor());
    const test::ToolRun run = test::RunTool("check-level " + level.string() + " --data " + kData.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;  // winnable, no dead end
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["complete"], true);
    EXPECT_LT(result["solutionSeconds"].get<double>(), 25.0);
    ExpectSolutionFinishes(dir, level, result["solution"].get<std::string>());
}

TEST(LevelCheck, AnExitReachedAroundItsIngotDoorIsAShortcut) {
    test::TempDir dir;
    const fs::path open = dir.Write("open.lev", ExitBesideTheDoor(false));
    const test::ToolRun run = test::RunTool("check-level " + open.string() + " --data " + kData.string(), dir);
    ASSERT_EQ(run.exitCode, 1) << run.out << run.err;
    const auto result = nlohmann::json::parse(run.out);
    ASSERT_EQ(result["deadEnds"].size(), 1u) << run.out;
    const auto& shortcut = result["deadEnds"][0];
    EXPECT_EQ(shortcut["kind"], "shortcut");
    EXPECT_EQ(shortcut["why"], "the exit is reached with 1 ingot left");
    // The shortcut's script is a way the game itself plays to the exit, and
    // the solution still prefers the way through the door.
    ExpectSolutionFinishes(dir, open, shortcut["script"].get<std::string>());
    EXPECT_EQ(result["goldLeft"], 0);

    const fs::path closed = dir.Write("closed.lev", ExitBesideTheDoor(true));
    const test::ToolRun shut = test::RunTool("check-level " + closed.string() + " --data " + kData.string(), dir);
    ASSERT_EQ(shut.exitCode, 0) << shut.out << shut.err;
    const auto after = nlohmann::json::parse(shut.out);
    EXPECT_EQ(after["goldLeft"], 0);
    EXPECT_TRUE(after["deadEnds"].empty()) << shut.out;
    ExpectSolutionFinishes(dir, closed, after["solution"].get<std::string>());
}

TEST(LevelCheck, FindsTheWinAndTheDropThatLosesIt) {
    test::TempDir dir;
    const fs::path level = dir.Write("ledge.lev", LedgeOverPit());
    const test::ToolRun run = test::RunTool("check-level " + level.string() + " --data " + kData.string(), dir);
    ASSERT_EQ(run.exitCode, 1) << run.out << run.err;  // winnable, with a dead end
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["winnable"], true);
    EXPECT_EQ(result["complete"], true);
    ASSERT_FALSE(result["deadEnds"].empty());
    for (const auto& trap : result["deadEnds"]) {
        EXPECT_EQ(trap["kind"], "stuck");
        // The trap is the pit, one storey down from the ledge.
        EXPECT_NE(trap["why"].get<std::string>().find(",1,1)"), std::string::npos) << trap["why"];
    }

    // The solution is a script the game itself plays to the exit.
    ExpectSolutionFinishes(dir, level, result["solution"].get<std::string>());
}

// Across a room where nothing acts, the search puts the hero on each cell
// instead of walking there; the script it writes must still walk him there
// and play in the game exactly as found.
TEST(LevelCheck, ASolutionFoundAcrossAQuietRoomPlaysInTheGame) {
    test::TempDir dir;
    const fs::path level = dir.Write("room.lev", WideRoom());
    const test::ToolRun run = test::RunTool("check-level " + level.string() + " --data " + kData.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;  // winnable, no dead end
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["complete"], true);
    EXPECT_FALSE(result.contains("replayProblem")) << result["replayProblem"];
    ExpectSolutionFinishes(dir, level, result["solution"].get<std::string>());
}

// A walled room 7 x 7 with gold in three corners and a stone one cell high
// in its middle: each ingot taken is a new state of the whole level, and the
// moves far from it are the same as before it was taken.
std::unique_ptr<World> GoldInTheCornersRoom() {
    auto w = WalledRoom(9, 9);
    SetCell(*w, 4, 1, 4, kStone);
    SetCell(*w, 1, 1, 7, kIngot);
    SetCell(*w, 7, 1, 1, kIngot);
    SetCell(*w, 7, 1, 7, kIngot);
    PlaceStartAndExit(*w, {1, 1, 1}, {4, 1, 7});
    return w;
}
Bytes GoldInTheCorners() { return SerializeLevel(*GoldInTheCornersRoom()); }

// A move the search knows the end of (the same hero among the same cells
// near him) is not played again.  Played anyway, each ends where it was
// known to, and the search finds the same states, solution and dead ends as
// one that plays every move.
TEST(LevelCheck, MovesKnownFromEarlierStatesEndAsPlayed) {
    test::TempDir dir;
    const fs::path level = dir.Write("corners.lev", GoldInTheCorners());
    // Every order of taking the gold is searched, for states enough that
    // differ only away from the hero.
    const std::string args = " check-level " + level.string() + " --data " + kData.string();
    const std::string tool = "ZQ_CHECK_EVERY_ORDER=1 " + std::string(ZQ_TOOL_PATH);
    const test::ToolRun run = test::RunShell(tool + args, dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const test::ToolRun verify = test::RunShell("ZQ_CHECK_MEMO_VERIFY=1 " + tool + args, dir);
    ASSERT_EQ(verify.exitCode, 0) << verify.out << verify.err;
    long kept = 0, known = 0, otherwise = -1;
    ASSERT_EQ(std::sscanf(verify.err.c_str(), "memo: %ld moves kept, %ld known again, %ld ended otherwise", &kept,
                          &known, &otherwise),
              3)
        << verify.err;
    EXPECT_GT(known, 20) << verify.err;
    EXPECT_EQ(otherwise, 0) << verify.err;
    const test::ToolRun plain = test::RunShell("ZQ_CHECK_NO_MEMO=1 " + tool + args, dir);
    auto withoutSeconds = [](const std::string& out) {
        auto result = nlohmann::json::parse(out);
        result.erase("seconds");
        return result;
    };
    EXPECT_EQ(withoutSeconds(run.out), withoutSeconds(plain.out));
    EXPECT_EQ(withoutSeconds(verify.out), withoutSeconds(plain.out));
    ExpectSolutionFinishes(dir, level, withoutSeconds(run.out)["solution"].get<std::string>());
}

// Gold within walking reach is taken before anything else is tried: the
// level's ingots are not searched in every order and subset they could be
// taken in.  The verdict is the one a search of every order gives, with far
// fewer states, and the way it finds still takes all the gold.
TEST(LevelCheck, GoldAtHandIsTakenInOneOrder) {
    test::TempDir dir;
    auto w = GoldInTheCornersRoom();
    for (auto [x, z] : {std::pair{4, 1}, {1, 4}, {7, 4}}) SetCell(*w, x, 1, z, kIngot);
    const fs::path level = dir.Write("gold.lev", SerializeLevel(*w));
    const std::string args = " check-level " + level.string() + " --data " + kData.string();
    const test::ToolRun run = test::RunTool(args, dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const test::ToolRun every = test::RunShell("ZQ_CHECK_EVERY_ORDER=1 " + std::string(ZQ_TOOL_PATH) + args, dir);
    ASSERT_EQ(every.exitCode, 0) << every.out << every.err;
    const auto taken = nlohmann::json::parse(run.out), all = nlohmann::json::parse(every.out);
    for (const char* field : {"winnable", "complete", "deadEnds", "goldLeft"}) EXPECT_EQ(taken[field], all[field]) << field;
    EXPECT_LT(2 * taken["states"].get<int>(), all["states"].get<int>()) << run.out << every.out;
    EXPECT_EQ(taken["goldLeft"], 0);
    ExpectSolutionFinishes(dir, level, taken["solution"].get<std::string>());
}

TEST(LevelCheck, AFileThatIsNoLevelIsRefusedWithStatusFour) {
    test::TempDir dir;
    const fs::path level = dir.Write("short.lev", std::string(40, 'x'));
    const test::ToolRun run = test::RunTool("check-level " + level.string() + " --data " + kData.string(), dir);
    EXPECT_EQ(run.exitCode, 4) << run.out << run.err;
    EXPECT_TRUE(nlohmann::json::parse(run.out).contains("refused"));
}

}  // namespace
}  // namespace zq
