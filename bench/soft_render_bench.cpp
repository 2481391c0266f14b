// Software renderer frame rate: a fixed camera path through a large level
// (DrawWorld + EndFrame into the frame buffer, nothing presented) at three
// screen sizes.  Three scenes: the largest level of the default data folder,
// a denser maze built in code from the default bank, and the second
// chapter's finale along the hero's route.
// Data folder: $ZQ_DATA, else "data" beside the program.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include "bench_scene.h"
#include "render/soft/graphics_binding.h"
#include "render/soft/soft_renderer.h"

namespace {

using zq::bench::Scene;

std::filesystem::path g_dataDir;

Scene& SharedScene(bool builtIn) {
    // Loaded once for all sizes.
    static Scene level(g_dataDir, false, zq::PixelFormat::kIndexed);
    static Scene maze(g_dataDir, true, zq::PixelFormat::kIndexed);
    return builtIn ? maze : level;
}

Scene& ChapterTwoScene() {
    static Scene chapter(g_dataDir, zq::bench::kChapterTwoLevel, zq::PixelFormat::kIndexed);
    return chapter;
}

void DrawPath(benchmark::State& state, Scene& scene, zq::WorldCamera (*camera)(const zq::World&, int)) {
    zq::SoftRenderer renderer;
    renderer.SetProjection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    zq::BindGraphics(renderer, *scene.graphics);
    zq::WorldDrawState draw;
    zq::InitWorldDrawState(draw);
    zq::WorldDrawParams params;
    params.clearColour = zq::FogClearColour(*scene.graphics);
    int frame = 0;
    std::int64_t triangles = 0;
    for (auto _ : state) {
        params.camera = camera(*scene.world, frame);
        zq::DrawWorld(*scene.world, renderer, draw, params, {});
        triangles += renderer.TriangleCount();
        renderer.EndFrame();
        benchmark::DoNotOptimize(renderer.Frame().pixels.data());
        ++frame;
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
    state.counters["triangles"] = static_cast<double>(triangles) / std::max(1, frame);
    state.SetLabel(scene.level);
}
void SoftFrames(benchmark::State& state) { DrawPath(state, SharedScene(false), zq::bench::PathCamera); }
void SoftFramesMaze(benchmark::State& state) { DrawPath(state, SharedScene(true), zq::bench::PathCamera); }
// The second chapter's finale along the hero's route.
void SoftFramesChapter2(benchmark::State& state) { DrawPath(state, ChapterTwoScene(), zq::bench::RouteCamera); }
BENCHMARK(SoftFramesMaze)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SoftFrames)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SoftFramesChapter2)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    g_dataDir = zq::bench::DataDir(argv[0]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
