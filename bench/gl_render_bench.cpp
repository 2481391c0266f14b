// OpenGL back end frame rate beside the software one: the same camera path
// through the largest level of the default data folder, and a denser maze
// built in code, at three screen sizes; and the second chapter's finale
// along the hero's route through it.  GL draws into an invisible window
// through the offscreen video driver (Mesa's software GL when there is no
// GPU); each frame is waited for, nothing is presented.
// Data folder: $ZQ_DATA, else "data" beside the program.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "core/errors.h"
#include "platform/sdl_gl_window.h"
#include "render/gl/gl_renderer.h"
#include "render/soft/soft_back_end.h"
#include "bench_scene.h"

namespace {

using zq::bench::Scene;

std::filesystem::path g_dataDir;

Scene& SharedScene(bool builtIn, zq::PixelFormat format) {
    // Loaded once for all sizes.
    static Scene levelSoft(g_dataDir, false, zq::PixelFormat::kIndexed), mazeSoft(g_dataDir, true, zq::PixelFormat::kIndexed);
    static Scene levelGl(g_dataDir, false, zq::PixelFormat::kRgba), mazeGl(g_dataDir, true, zq::PixelFormat::kRgba);
    if (format == zq::PixelFormat::kIndexed) return builtIn ? mazeSoft : levelSoft;
    return builtIn ? mazeGl : levelGl;
}

Scene& ChapterTwoScene(zq::PixelFormat format) {
    static Scene soft(g_dataDir, zq::bench::kChapterTwoLevel, zq::PixelFormat::kIndexed);
    static Scene gl(g_dataDir, zq::bench::kChapterTwoLevel, zq::PixelFormat::kRgba);
    return format == zq::PixelFormat::kIndexed ? soft : gl;
}

using CameraPath = zq::WorldCamera (*)(const zq::World&, int);

// One invisible window, sized to each picture in turn; null when GL is not to be had.
zq::SdlGlWindow* GlWindow() {
    static std::unique_ptr<zq::SdlGlWindow> window = [] {
        if (!std::getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        zq::SdlGlWindow::KeepDriverLoaded();
        auto w = std::make_unique<zq::SdlGlWindow>();
        try {
            w->Open("gl bench", zq::WindowPlacement{0, 0, 1600, 1200}, true);
        } catch (const zq::FatalError& e) {
            std::cerr << e.what() << "\n";
            w.reset();
        }
        return w;
    }();
    return window.get();
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// `finish` runs after each frame's EndFrame: it waits for the frame and
// gathers figures.
template <typename Frame>
void DrawPath(benchmark::State& state, Scene& scene, CameraPath camera, zq::Renderer& renderer, int clearColour, Frame&& finish) {
    renderer.SetProjection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    zq::WorldDrawState draw;
    zq::InitWorldDrawState(draw);
    zq::WorldDrawParams params;
    params.clearColour = clearColour;
    int frame = 0;
    // All threads' CPU time, GL's rasterizer threads included: on a busy
    // machine a steadier figure of a frame's work than the wall clock.
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        params.camera = camera(*scene.world, frame);
        zq::DrawWorld(*scene.world, renderer, draw, params, {});
        renderer.EndFrame();
        finish();
        ++frame;
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
    state.counters["cpu_ms"] = (ProcessCpuSeconds() - cpuStart) * 1000 / std::max(frame, 1);
    state.SetLabel(scene.level);
}

void GlPath(benchmark::State& state, Scene& scene, CameraPath camera) {
    zq::SdlGlWindow* window = GlWindow();
    if (!window) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    // The game sizes its window's client area to the picture; a bigger one
    // would add a clear of the black border around it to every frame.
    window->SetClientSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    zq::GlSurface surface;
    surface.clientSize = [window](int& w, int& h) { window->ClientSize(w, h); };
    zq::GlRenderer renderer(std::move(surface));
    renderer.BindGraphics(*scene.graphics);
    std::int64_t triangles = 0, draws = 0, rounds = 0, frames = 0;
    // The CPU's share of a frame: from the end of the previous wait to the
    // moment GL is asked to finish drawing (the world's submission, the list's
    // sort and every GL call).
    double submitSeconds = 0;
    auto since = std::chrono::steady_clock::now();
    DrawPath(state, scene, camera, renderer, renderer.FogClearColour(), [&] {
        submitSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
        renderer.Finish();
        since = std::chrono::steady_clock::now();
        triangles += renderer.Stats().triangles;
        draws += renderer.Stats().draws;
        rounds += renderer.Stats().rounds;
        ++frames;
    });
    const double perFrame = 1.0 / static_cast<double>(std::max<std::int64_t>(1, frames));
    state.counters["triangles"] = static_cast<double>(triangles) * perFrame;
    state.counters["draws"] = static_cast<double>(draws) * perFrame;
    state.counters["rounds"] = static_cast<double>(rounds) * perFrame;
    state.counters["submit_ms"] = submitSeconds * 1000 * perFrame;
}

void SoftPath(benchmark::State& state, Scene& scene, CameraPath camera) {
    zq::SoftBackEnd soft;
    soft.renderer.SetProjection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    soft.BindGraphics(*scene.graphics);
    DrawPath(state, scene, camera, soft.renderer, soft.FogClearColour(),
             [&] { benchmark::DoNotOptimize(soft.renderer.Frame().pixels.data()); });
}

using zq::bench::PathCamera;
using zq::bench::RouteCamera;
void GlFrames(benchmark::State& state) { GlPath(state, SharedScene(false, zq::PixelFormat::kRgba), PathCamera); }
void GlFramesMaze(benchmark::State& state) { GlPath(state, SharedScene(true, zq::PixelFormat::kRgba), PathCamera); }
void SoftFrames(benchmark::State& state) { SoftPath(state, SharedScene(false, zq::PixelFormat::kIndexed), PathCamera); }
void SoftFramesMaze(benchmark::State& state) { SoftPath(state, SharedScene(true, zq::PixelFormat::kIndexed), PathCamera); }
// The second chapter's finale along the hero's route.
void GlFramesChapter2(benchmark::State& state) { GlPath(state, ChapterTwoScene(zq::PixelFormat::kRgba), RouteCamera); }
void SoftFramesChapter2(benchmark::State& state) { SoftPath(state, ChapterTwoScene(zq::PixelFormat::kIndexed), RouteCamera); }
BENCHMARK(GlFramesMaze)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SoftFramesMaze)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GlFrames)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SoftFrames)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GlFramesChapter2)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
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
