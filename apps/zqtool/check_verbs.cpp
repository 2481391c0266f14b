// check-level: plays a level over the game's rules to prove it can be won and
// to name the states from which it cannot (src/shell/level_check.h).
#include <cstdlib>
#include <string>

#include "shell/level_check.h"
#include "tool.h"

namespace zq::tool {

namespace {

using nlohmann::json;

int CheckLevelVerb(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {"data", "seconds"});
    LevelCheckOptions options;
    options.levelFile = line.Positional(0, "FILE.lev");
    options.dataDir = DataFolder(line);
    if (const std::string* seconds = line.Option("seconds")) {
        char* end = nullptr;
        options.seconds = std::strtod(seconds->c_str(), &end);
        if (end == seconds->c_str() || *end != '\0' || !(options.seconds > 0))
            throw UsageError("--seconds needs a number of seconds above 0, not '" + *seconds + "'");
    }
    const LevelCheckResult r = CheckLevel(options);
    json out;
    out["level"] = Text(r.level);
    if (r.refused) {
        out["refused"] = r.refusal;
        Print(out);
        return LevelCheckStatus(r);
    }
    out["winnable"] = r.winnable ? json(*r.winnable) : json(nullptr);
    out["solution"] = r.solution;
    out["solutionSeconds"] = r.solutionSeconds;
    out["goldLeft"] = r.goldLeft;
    if (r.needsTiming) out["needsTiming"] = true;
    if (r.clockDecided) out["clockBeatTheSearch"] = true;
    if (!r.replayProblem.empty()) out["replayProblem"] = r.replayProblem;
    json deadEnds = json::array();
    for (const LevelDeadEnd& d : r.deadEnds) deadEnds.push_back({{"kind", d.kind}, {"script", d.script}, {"why", d.why}});
    out["deadEnds"] = deadEnds;
    out["states"] = r.states;
    out["complete"] = r.complete;
    out["seconds"] = r.seconds;
    Print(out);
    return LevelCheckStatus(r);
}

RegisterVerb checkLevel("check-level", "FILE.lev [--data DIR] [--seconds N]", CheckLevelVerb);

}  // namespace

}  // namespace zq::tool
