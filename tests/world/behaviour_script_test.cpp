#include "world/behaviour_script.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

Step Parse(const std::string& line, Step step = {}) {
    ParseCommand(line, step);
    return step;
}

using Args = std::array<std::int32_t, 7>;

TEST(ScriptCommands, DecodeEachCommandWord) {
    Step s = Parse("waitforplayer (0,0,0),(2,1,2)");
    EXPECT_EQ(s.command, 1);
    EXPECT_EQ(s.args, (Args{0, 0, 0, 2, 1, 2, 0}));

    s = Parse("MAKEFALL (-1,0,-1),(1,0,1)");
    EXPECT_EQ(s.command, 2);
    EXPECT_EQ(s.args, (Args{-1, 0, -1, 1, 0, 1, 0}));

    s = Parse("PUTOBJECT 12,(-1,0,-1),(1,0,1)");
    EXPECT_EQ(s.command, 3);
    EXPECT_EQ(s.args, (Args{-1, 0, -1, 1, 0, 1, 12}));

    s = Parse("MoveTo (0,1,0)");
    EXPECT_EQ(s.command, 7);
    EXPECT_EQ(s.args, (Args{0, 1, 0, 1000, 0, 0, 0}));
    s = Parse("MOVETO (0,1,0),500");
    EXPECT_EQ(s.args, (Args{0, 1, 0, 500, 0, 0, 0}));
    s = Parse("MOVETO (2,-3,4),  x");
    EXPECT_EQ(s.args, (Args{2, -3, 4, 1000, 0, 0, 0}));

    EXPECT_EQ(Parse("GOTO 3").args[0], 3);
    EXPECT_EQ(Parse("DELAY 2000").args[0], 2000);
    EXPECT_EQ(Parse("PLAYCLIP 5").command, 6);
    EXPECT_EQ(Parse("TRANSFORMTO 33").args[0], 33);
    EXPECT_EQ(Parse("TRANSFORMTO 33").command, 8);
}

TEST(ScriptCommands, MalformedArgumentsNeverThrowAndFollowTheRules) {
    Step old;
    old.args = {5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(Parse("GOTO x", old).args[0], 0);      // GOTO falls back to 0
    EXPECT_EQ(Parse("DELAY x", old).args[0], 5);     // DELAY keeps the old value
    EXPECT_EQ(Parse("DELAY -", old).args[0], 5);     // a lone minus is not a number
    EXPECT_EQ(Parse("PLAYCLIP 1-2", old).args[0], 5);
    EXPECT_EQ(Parse("DELAY 99999999999", old).args[0], 5);
    EXPECT_EQ(Parse("TRANSFORMTO -", old).args[0], 0);

    // PUTOBJECT whose type is not a number keeps arg7; without a comma the type
    // is empty and the whole text is the area (here none, so it is cleared).
    Step s = Parse("PUTOBJECT x,(1,2,3),(4,5,6)", old);
    EXPECT_EQ(s.args, (Args{1, 2, 3, 4, 5, 6, 11}));
    s = Parse("PUTOBJECT 7", old);
    EXPECT_EQ(s.args, (Args{0, 0, 0, 0, 0, 0, 11}));

    // Unknown words and values without a blank leave the step empty.
    EXPECT_EQ(Parse("JUMP 3", old).command, 0);
    EXPECT_EQ(Parse("GOTO", old).command, 0);
    // The arguments a command does not set keep their values.
    s = Parse("GOTO 1", old);
    EXPECT_EQ(s.args, (Args{1, 6, 7, 8, 9, 10, 11}));
}

TEST(BehaviourScript, FillsNamedBehavioursOnly) {
    auto table = std::make_unique<BehaviourTable>();
    (*table)[1].name = "from the last level";
    (*table)[1].steps[0].command = 5;
    (*table)[2].name = "replaced";
    (*table)[2].steps[9].command = 4;
    auto script = SettingsFile::FromText(
        "[Behaviour 0]\r\n0=GOTO 0\r\n"  // no Name: ignored
        "[behaviour 2]\r\nname=Trap\r\n0=WAITFORPLAYER (0,0,0),(1,1,1)\r\n2=DELAY 100\r\n255=GOTO 0\r\n256=GOTO 1\r\n"
        "[Behaviour 255]\r\nName=Last\r\n0=PLAYCLIP 3\r\n"
        "[Behaviour 256]\r\nName=Never\r\n");
    ParseBehaviourScript(*table, script);
    EXPECT_EQ((*table)[0].name, "");
    EXPECT_EQ((*table)[0].steps[0].command, 0);
    EXPECT_EQ((*table)[1].name, "from the last level");
    EXPECT_EQ((*table)[1].steps[0].command, 5);
    const Behaviour& trap = (*table)[2];
    EXPECT_EQ(trap.name, "Trap");
    EXPECT_EQ(trap.steps[0].command, 1);
    EXPECT_EQ(trap.steps[1].command, 0);
    EXPECT_EQ(trap.steps[2].args[0], 100);
    EXPECT_EQ(trap.steps[9].command, 0);  // cleared: the behaviour was named again
    EXPECT_EQ(trap.steps[255].command, 4);
    EXPECT_EQ((*table)[255].steps[0].args[0], 3);
}

}  // namespace
}  // namespace zq
