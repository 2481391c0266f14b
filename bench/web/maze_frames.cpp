// The software renderer's frame time on the maze scene, as one program that
// builds both natively and as WebAssembly, so the browser's figure and the
// native one come from the same code: DrawWorld and EndFrame along the
// benchmark camera path at 320 x 240 and 640 x 480, nothing presented.
// Usage: maze_frames DATA_DIR [FRAMES]   (the browser build reads /data)
// Prints one line per size:  maze WIDTHxHEIGHT MS_PER_FRAME
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_scene.h"
#include "render/soft/graphics_binding.h"
#include "render/soft/soft_renderer.h"

namespace {

double MsPerFrame(zq::bench::Scene& scene, int width, int height, int frames) {
    zq::SoftRenderer renderer;
    renderer.SetProjection(width, height);
    zq::BindGraphics(renderer, *scene.graphics);
    zq::WorldDrawState draw;
    zq::InitWorldDrawState(draw);
    zq::WorldDrawParams params;
    params.clearColour = zq::FogClearColour(*scene.graphics);
    auto drawFrame = [&](int frame) {
        params.camera = zq::bench::PathCamera(*scene.world, frame);
        zq::DrawWorld(*scene.world, renderer, draw, params, {});
        renderer.EndFrame();
    };
    for (int f = 0; f < 10; ++f) drawFrame(f);  // caches and tables warm
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) drawFrame(f);
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / frames;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : "/data";
    const int frames = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
    zq::bench::Scene maze(data, true, zq::PixelFormat::kIndexed);
    for (const auto [w, h] : {std::pair{320, 240}, std::pair{640, 480}})
        std::printf("maze %dx%d %.3f\n", w, h, MsPerFrame(maze, w, h, frames));
    std::fflush(stdout);
    return 0;
}
