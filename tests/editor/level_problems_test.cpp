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

}  // namespace
}  // namespace zq
