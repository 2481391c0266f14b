// What one editing action costs: recording it in the undo history (a
// comparison of the working level with the baseline, then the changed cells
// kept), and undoing and redoing it, on the editor's 100-cell start level and
// on a 256 x 64 x 256 level (4 Mi cells).
#include <benchmark/benchmark.h>

#include "editor/editing.h"
#include "editor/editor_commands.h"

namespace {

void MakeLevel(zq::EditorState& s, int side) {
    zq::InitEditor(s);
    if (side != zq::kEditorStartSide) zq::NewLevel(s, side, 64, side);
    s.paintObject = 2;
}

// A put block on alternating cells, then the action recorded.
void BM_EditorPutAndRecord(benchmark::State& state) {
    zq::EditorState s;
    MakeLevel(s, static_cast<int>(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        zq::JumpCursor(s, {i % 2, 1, 1});
        zq::PutBlock(s);
        zq::CommitAction(s);
        // Each cell takes the other value on every second visit, so every action changes one cell.
        s.paintObject = static_cast<zq::Cell>(2 + (++i / 2 % 2));
    }
    state.counters["historyBytes"] = static_cast<double>(s.history.Bytes());
}
BENCHMARK(BM_EditorPutAndRecord)->Arg(zq::kEditorStartSide)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_EditorUndoRedo(benchmark::State& state) {
    zq::EditorState s;
    MakeLevel(s, static_cast<int>(state.range(0)));
    zq::PutBlock(s);
    zq::CommitAction(s);
    for (auto _ : state) {
        zq::Undo(s);
        zq::Redo(s);
    }
}
BENCHMARK(BM_EditorUndoRedo)->Arg(zq::kEditorStartSide)->Arg(256)->Unit(benchmark::kMillisecond);

// A plane of 65536 cells filled: the largest common single action.
void BM_EditorFillPlaneAndRecord(benchmark::State& state) {
    zq::EditorState s;
    MakeLevel(s, 256);
    int i = 0;
    for (auto _ : state) {
        zq::FillPlane(s, zq::Axis::Y, static_cast<zq::Cell>(2 + (++i % 2)));
        zq::CommitAction(s);
    }
    state.counters["historyBytes"] = static_cast<double>(s.history.Bytes());
}
BENCHMARK(BM_EditorFillPlaneAndRecord)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
