#include "editor/level_problems.h"

#include <gtest/gtest.h>

#include "world/level_file.h"

namespace zq {
namespace {

TEST(LevelProblemsTest, NamesWhatKeepsALevelFromPlaying) {
    World w;
    ASSERT_TRUE(InitNewLevel(w, 8, 4, 8, 0));
    w.objectDefs[20].lingot = true;
    w.objectDefs[20].lingotDoor = 21;
    w.objectDefs[21].door = true;
    w.objectDefs[21].name = "Ingot door";
    // A new level: its exit lies outside the grid and it has no ingots.
    auto problems = LevelProblems(w);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("No exit point"), std::string::npos);
    EXPECT_NE(problems[1].find("no gold ingots"), std::string::npos);

    w.exitX = 6;
    w.exitZ = 6;
    SetCell(w, 3, 1, 3, 21);  // the door, with no ingot to open it
    problems = LevelProblems(w);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[1].find("\"Ingot door\" has no ingots"), std::string::npos);

    SetCell(w, 5, 1, 5, 20);
    EXPECT_TRUE(LevelProblems(w).empty());

    SetCell(w, w.startX, w.startY, w.startZ, 2);
    problems = LevelProblems(w);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("inside a filled cell"), std::string::npos);
    w.startY = -1;
    problems = LevelProblems(w);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("No start point"), std::string::npos);
}

TEST(LevelProblemsTest, NamesAnExitInABlockAStartOnTheExitAndALeverDoorWithoutItsLever) {
    World w;
    ASSERT_TRUE(InitNewLevel(w, 8, 4, 8, 0));
    w.objectDefs[20].lingot = true;
    SetCell(w, 1, 1, 1, 20);
    w.objectDefs[30].lever = true;
    w.objectDefs[30].leverDoor = 31;
    w.objectDefs[31].door = true;
    w.objectDefs[31].name = "Gate";
    w.exitX = 6;
    w.exitZ = 6;
    ASSERT_TRUE(LevelProblems(w).empty());

    SetCell(w, 6, 1, 6, 2);
    SetCell(w, 3, 1, 3, 31);  // the gate, with no lever anywhere
    auto problems = LevelProblems(w);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("exit point (6, 1, 6) is inside a filled cell"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("\"Gate\" has no lever"), std::string::npos) << problems[1];
    // Its lever placed, or a sensor that opens it too, and the gate is fine.
    SetCell(w, 2, 1, 2, 30);
    EXPECT_EQ(LevelProblems(w).size(), 1u);
    SetCell(w, 2, 1, 2, 0);
    w.objectDefs[40].blockSensor = true;
    w.objectDefs[40].blockSensorDoor = 31;
    EXPECT_EQ(LevelProblems(w).size(), 1u);

    SetCell(w, 6, 1, 6, 0);
    w.exitX = w.startX;
    w.exitZ = w.startZ;
    problems = LevelProblems(w);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("start and the exit are the same cell"), std::string::npos) << problems[0];
}

}  // namespace
}  // namespace zq
