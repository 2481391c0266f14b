// What one frame of a held editing key costs: the undo snapshot every
// operation takes first, on the editor's 100-cell start level and on the
// largest level a file may hold along one axis.
#include <benchmark/benchmark.h>

#include "editor/editing.h"
#include "editor/editor_commands.h"

namespace {

void BM_EditorSnapshotStartLevel(benchmark::State& state) {
    zq::EditorState s;
    zq::InitEditor(s);
    for (auto _ : state) zq::TakeSnapshot(s);
}
BENCHMARK(BM_EditorSnapshotStartLevel)->Unit(benchmark::kMillisecond);

void BM_EditorHeldSpace(benchmark::State& state) {
    zq::EditorState s;
    zq::InitEditor(s);
    s.paintObject = 2;
    for (auto _ : state) zq::PutBlock(s);
}
BENCHMARK(BM_EditorHeldSpace)->Unit(benchmark::kMillisecond);

void BM_EditorSnapshotLargeLevel(benchmark::State& state) {
    zq::EditorState s;
    zq::InitEditor(s);
    zq::NewLevel(s, 256, 64, 256);  // 4 Mi cells
    for (auto _ : state) zq::TakeSnapshot(s);
}
BENCHMARK(BM_EditorSnapshotLargeLevel)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
