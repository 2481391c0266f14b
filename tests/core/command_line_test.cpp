// The option-table parser every program's command line goes through.
#include "core/command_line.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

struct Parsed {
    std::optional<std::string> data;
    bool headless = false;
    std::vector<std::string> positional;
};

CommandLineRules Rules(Parsed& p, bool takesPositional) {
    CommandLineRules rules;
    rules.program = "game_soft";
    rules.options = {
        {"--data", "DIR", "the data folder",
         [&p](const std::string& v) -> std::optional<std::string> {
             if (v.empty()) return "--data needs a folder";
             p.data = v;
             return std::nullopt;
         }},
        {"--headless", "", "no window",
         [&p](const std::string&) -> std::optional<std::string> {
             p.headless = true;
             return std::nullopt;
         }},
    };
    if (takesPositional)
        rules.positional = [&p](const std::string& arg, int) -> std::optional<std::string> {
            p.positional.push_back(arg);
            return std::nullopt;
        };
    return rules;
}

CommandLineResult Parse(Parsed& p, std::vector<std::string> args, bool takesPositional = false) {
    return ParseCommandLine(Rules(p, takesPositional), args);
}

TEST(CommandLine, ValuesSwitchesAndPositionals) {
    Parsed p;
    EXPECT_EQ(Parse(p, {"--data", "d1", "--headless"}).action, CommandLineAction::Run);
    EXPECT_EQ(p.data, "d1");
    EXPECT_TRUE(p.headless);

    Parsed q;
    EXPECT_EQ(Parse(q, {"--data=d2", "a.lev", "--", "--headless"}, true).action, CommandLineAction::Run);
    EXPECT_EQ(q.data, "d2");
    EXPECT_FALSE(q.headless);  // after "--" it is a file name
    EXPECT_EQ(q.positional, (std::vector<std::string>{"a.lev", "--headless"}));
}

TEST(CommandLine, RefusesWhatItDoesNotKnow) {
    struct Case {
        std::vector<std::string> args;
        const char* why;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"-x"}, "unknown option -x"},
        {{"--data"}, "--data needs a value (DIR)"},
        {{"--headless=yes"}, "--headless takes no value"},
        {{"--data="}, "--data needs a folder"},  // the option's own check
        {{"level.lev"}, "unexpected argument level.lev"},
    };
    for (const Case& c : cases) {
        Parsed p;
        const CommandLineResult r = Parse(p, c.args);
        EXPECT_EQ(r.action, CommandLineAction::Error) << c.args[0];
        EXPECT_EQ(r.error, c.why);
    }
}

TEST(CommandLine, HelpAndVersionAnswerAtOnce) {
    Parsed p;
    EXPECT_EQ(Parse(p, {"--headless", "--help", "--bogus"}).action, CommandLineAction::Help);
    EXPECT_EQ(Parse(p, {"--version"}).action, CommandLineAction::Version);
    const std::string usage = UsageText(Rules(p, false));
    for (const char* line : {"--data DIR", "the data folder", "--headless", "--help", "--version"})
        EXPECT_NE(usage.find(line), std::string::npos) << line;
    EXPECT_EQ(VersionText("zqtool"), "zqtool (Zorvo Quib) " + GameVersion());
}

}  // namespace
}  // namespace zq
