// Saving and restoring the whole state of a running level: the first level
// (32 x 10 x 32 cells) and the finale, each played for a few seconds first.
// The counters give the snapshot's size in bytes.  Data folder: $ZQ_DATA,
// else "data" beside the program.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_scene.h"
#include "level_run.h"
#include "shell/game.h"
#include "shell/input_script.h"
#include "shell/snapshot.h"

namespace zq {
namespace {

std::filesystem::path g_dataDir;

// The level played for 200 frames of 30 ms before the clock starts.
struct PlayedLevel {
    explicit PlayedLevel(const std::string& level) : run(g_dataDir, level, ParseInputScript("100x 30 up\n100x 30 left\n")) {
        run.PlayAll();
    }
    Game& game() { return run.game(); }
    std::uint32_t ticks() const { return run.ticks(); }
    test::LevelRun run;
};

void Save(benchmark::State& state, const std::string& level) {
    PlayedLevel played(level);
    Bytes bytes;
    for (auto _ : state) {
        bytes = SaveSnapshot(played.game(), played.ticks());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void Restore(benchmark::State& state, const std::string& level) {
    PlayedLevel played(level);
    const Bytes bytes = SaveSnapshot(played.game(), played.ticks());
    for (auto _ : state) {
        const SnapshotRestore restored = RestoreSnapshot(played.game(), bytes);
        if (!restored.ok) state.SkipWithError(restored.why.c_str());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

const std::string kFirstLevel = "LEVEL/01_FIRST_STEPS.LEV";

void BM_SnapshotSaveFirstLevel(benchmark::State& state) { Save(state, kFirstLevel); }
void BM_SnapshotRestoreFirstLevel(benchmark::State& state) { Restore(state, kFirstLevel); }
void BM_SnapshotSaveFinale(benchmark::State& state) { Save(state, bench::kChapterTwoLevel); }
void BM_SnapshotRestoreFinale(benchmark::State& state) { Restore(state, bench::kChapterTwoLevel); }
BENCHMARK(BM_SnapshotSaveFirstLevel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SnapshotRestoreFirstLevel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SnapshotSaveFinale)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SnapshotRestoreFinale)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zq

int main(int argc, char** argv) {
    zq::g_dataDir = zq::bench::DataDir(argv[0]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
