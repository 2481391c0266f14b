// The level checker on each campaign level, one benchmark per level (the
// finale is the yardstick: every level must be decided within 120 s on one
// core).  Counters: the states explored, whether the search was complete,
// the solution's play time and the dead ends found.  Data folder: $ZQ_DATA,
// else "data" beside the program.  Run one level with
// --benchmark_filter=BM_CheckLevel/25 (each runs once; a run takes seconds
// to minutes).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_scene.h"
#include "shell/level_check.h"

namespace zq {
namespace {

std::filesystem::path g_dataDir;

std::vector<std::string> CampaignLevels() {
    std::vector<std::string> levels;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(g_dataDir / "LEVEL", ec))
        if (entry.path().extension() == ".LEV") levels.push_back(entry.path().string());
    std::sort(levels.begin(), levels.end());
    return levels;
}

void BM_CheckLevel(benchmark::State& state, const std::string& level) {
    LevelCheckResult result;
    for (auto _ : state) {
        LevelCheckOptions options;
        options.dataDir = g_dataDir;
        options.levelFile = level;
        result = CheckLevel(options);
    }
    if (result.refused) state.SkipWithError(result.refusal.c_str());
    state.counters["states"] = static_cast<double>(result.states);
    state.counters["complete"] = result.complete ? 1 : 0;
    state.counters["winnable"] = result.winnable ? (*result.winnable ? 1 : 0) : -1;
    state.counters["solutionSeconds"] = result.solutionSeconds;
    state.counters["deadEnds"] = static_cast<double>(result.deadEnds.size());
}

}  // namespace
}  // namespace zq

int main(int argc, char** argv) {
    zq::g_dataDir = zq::bench::DataDir(argv[0]);
    for (const std::string& level : zq::CampaignLevels()) {
        const std::string name = "BM_CheckLevel/" + std::filesystem::path(level).stem().string();
        benchmark::RegisterBenchmark(name.c_str(), zq::BM_CheckLevel, level)
            ->Unit(benchmark::kSecond)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
