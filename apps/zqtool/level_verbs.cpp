// Verbs for level files, behaviour scripts and the level list.
#include <filesystem>
#include <map>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/resolver.h"
#include "core/text.h"
#include "world/behaviour_script.h"
#include "world/level_file.h"
#include "tool.h"

namespace zq::tool {

namespace {

using nlohmann::json;

json LevelInfo(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {});
    const std::string& path = line.Positional(0, "FILE.lev");
    auto world = std::make_unique<World>();
    Random random;
    DataResolver data(std::filesystem::current_path());
    LevelLoadContext context{data, random, 0, {}};
    LoadLevelFile(*world, context, path, "High");

    json info;
    info["bank"] = Text(world->bankName);
    info["size"] = {world->sizeX, world->sizeY, world->sizeZ};
    info["start"] = {world->startX, world->startY, world->startZ};
    info["startHeading"] = world->startHeading;
    info["exit"] = {world->exitX, world->exitY, world->exitZ};
    info["description"] = Text(world->description);
    info["author"] = Text(world->author);
    info["outsideLevel"] = world->outsideLevel;
    info["sentryCount"] = world->sentryCount;
    info["randomSeed"] = world->randomSeed;
    json sentries = json::array();
    for (std::int32_t i = 0; i < world->sentryCount; ++i) {
        const SentryState& s = world->sentries[static_cast<std::size_t>(i)];
        sentries.push_back({s.x, s.y, s.z, s.heading});
    }
    info["sentries"] = sentries;
    info["fog"] = {world->fogRed, world->fogGreen, world->fogBlue};
    json clipMarkers = json::array();
    for (int i = 0; i < kMarkerCount; ++i) {
        const ClipMarker& m = world->clipMarkers[static_cast<std::size_t>(i)];
        if (m.x == kFreeMarker) continue;
        clipMarkers.push_back({{"slot", i}, {"x", m.x}, {"y", m.y}, {"z", m.z}, {"clip", m.clip}});
    }
    info["clipMarkers"] = clipMarkers;
    json eventMarkers = json::array();
    for (int i = 0; i < kMarkerCount; ++i) {
        const EventMarker& m = world->eventMarkers[static_cast<std::size_t>(i)];
        if (m.x == kFreeMarker) continue;
        eventMarkers.push_back({{"slot", i}, {"behaviour", m.behaviour}, {"x", m.x}, {"y", m.y}, {"z", m.z},
                                {"step", m.step}, {"stepStart", m.stepStart}, {"moving", m.moving}});
    }
    info["eventMarkers"] = eventMarkers;
    std::map<int, int> counts;
    for (Cell c : world->cells)
        if (c != 0) ++counts[c];
    json cells = json::object();
    for (const auto& [value, count] : counts) cells[std::to_string(value)] = count;
    info["cells"] = cells;
    auto resolved = data.FindGiven(path);
    std::error_code ec;
    info["fileSize"] = resolved ? static_cast<std::int64_t>(std::filesystem::file_size(*resolved, ec)) : 0;
    return info;
}

json ScriptDump(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {});
    const std::string& path = line.Positional(0, "FILE.scp");
    DataResolver data(std::filesystem::current_path());
    auto resolved = data.FindGiven(path);
    std::optional<SettingsFile> file;
    if (resolved) file = SettingsFile::Load(*resolved);
    if (!file) throw ToolError("cannot read " + path);
    auto table = std::make_unique<BehaviourTable>();
    ParseBehaviourScript(*table, *file);
    json list = json::array();
    for (int i = 0; i < kBehaviourCount; ++i) {
        const Behaviour& b = (*table)[static_cast<std::size_t>(i)];
        if (b.name.empty()) continue;
        json steps = json::array();
        for (int s = 0; s < kStepCount; ++s) {
            const Step& step = b.steps[static_cast<std::size_t>(s)];
            if (step.command == 0) continue;
            steps.push_back({{"step", s}, {"command", step.command}, {"args", step.args}});
        }
        list.push_back({{"index", i}, {"name", Text(b.name)}, {"steps", steps}});
    }
    return list;
}

json Levels(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {});
    const std::string& dir = line.Positional(0, "DIR");
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) throw ToolError("not a folder: " + dir);
    json list = json::array();
    for (const std::string& name : ListLevels(DataResolver(dir))) list.push_back(Text(name));
    return list;
}

json LevelNew(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {"seed"});
    int size[3];
    for (int i = 0; i < 3; ++i) {
        auto n = ParseNumber(line.Positional(static_cast<std::size_t>(i), "X Y Z"));
        if (!n || *n < 1 || *n > kMaxLevelAxis) throw ToolError("each size must be 1.." + std::to_string(kMaxLevelAxis));
        size[i] = *n;
    }
    if (static_cast<std::int64_t>(size[0]) * size[1] * size[2] > kMaxLevelCells) throw ToolError("level too large");
    const std::string& out = line.Positional(3, "OUT.lev");
    std::int32_t seed = 0;
    if (const std::string* s = line.Option("seed")) {
        auto n = ParseNumber(*s);
        if (!n) throw ToolError("--seed needs a number");
        seed = *n;
    }
    auto world = std::make_unique<World>();
    if (!InitNewLevel(*world, size[0], size[1], size[2], seed)) throw ToolError("cannot make a level of that size");
    if (WriteResult written = SaveLevelFile(*world, out); !written) throw ToolError(written.reason);
    return {{"written", out}, {"size", {size[0], size[1], size[2]}}, {"randomSeed", seed}};
}

int PrintResult(json (*fn)(const Args&), const Args& args) {
    Print(fn(args));
    return 0;
}

const RegisterVerb kLevelInfo("level-info", "FILE.lev", [](const Args& a) { return PrintResult(LevelInfo, a); });
const RegisterVerb kScriptDump("script-dump", "FILE.scp", [](const Args& a) { return PrintResult(ScriptDump, a); });
const RegisterVerb kLevels("levels", "DIR", [](const Args& a) { return PrintResult(Levels, a); });
const RegisterVerb kLevelNew("level-new", "X Y Z OUT.lev [--seed N]", [](const Args& a) { return PrintResult(LevelNew, a); });

}  // namespace

}  // namespace zq::tool
