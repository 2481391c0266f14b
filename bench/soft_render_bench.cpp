// Software renderer frame rate: a fixed camera path through a large level
// (DrawWorld + EndFrame into the frame buffer, nothing presented) at three
// screen sizes.  Two scenes: the largest level of the default data folder,
// and a denser maze built in code from the default bank.
// Data folder: $ZQ_DATA, else "data" beside the program.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <memory>

#include "assets/colour_tables.h"
#include "assets/graphics.h"
#include "assets/sound_slots.h"
#include "core/random.h"
#include "render/soft/graphics_binding.h"
#include "render/soft/soft_renderer.h"
#include "render/world_draw.h"
#include "world/level_file.h"
#include "world/object_defs.h"
#include "bench_scene.h"

namespace {

using zq::bench::BuildBigLevel;

std::filesystem::path g_dataDir;

struct Scene {
    std::unique_ptr<zq::Graphics> graphics = zq::MakeGraphics(zq::PixelFormat::kIndexed);
    std::unique_ptr<zq::World> world = std::make_unique<zq::World>();
    std::unique_ptr<zq::BankAssets> assets = std::make_unique<zq::BankAssets>();
    std::unique_ptr<zq::SilentSoundSlots> sounds = std::make_unique<zq::SilentSoundSlots>();
    std::string level = "(built in code)";

    explicit Scene(bool builtIn) {
        zq::DataResolver data(g_dataDir);
        zq::BankLoadContext bank{data, *graphics, *assets, *sounds, 0, nullptr, {}};
        std::uintmax_t biggest = 0;
        std::error_code ec;
        const std::vector<std::string> folders =
            builtIn ? std::vector<std::string>{} : std::vector<std::string>{"LEVEL", "level", "Level"};
        for (const std::string& folder : folders) {
            for (const auto& entry : std::filesystem::directory_iterator(g_dataDir / folder, ec)) {
                if (entry.path().extension() != ".lev" && entry.path().extension() != ".LEV") continue;
                if (entry.file_size() > biggest) {
                    biggest = entry.file_size();
                    level = folder + "/" + entry.path().filename().string();
                }
            }
        }
        if (biggest > 0) {
            zq::Random random;
            zq::LevelLoadContext context{data, random, 0, {}};
            context.hooks.loadObjectDefinitions = [&](zq::World& w, const std::string& name, const std::string& mode) {
                zq::LoadObjectDefinitions(w, bank, name, mode);
            };
            zq::LoadLevelFile(*world, context, level, "High");
        } else {
            BuildBigLevel(*world);
            zq::LoadObjectDefinitions(*world, bank, "Standard.bnk", "High");
        }
        zq::SetFogColour(*graphics->tables, graphics->mainPalette, world->fogRed, world->fogGreen, world->fogBlue);
    }
};

Scene& SharedScene(bool builtIn) {
    // Loaded once for all sizes.
    static Scene level(false);
    static Scene maze(true);
    return builtIn ? maze : level;
}

void DrawPath(benchmark::State& state, Scene& scene) {
    zq::SoftRenderer renderer;
    renderer.SetProjection(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    zq::BindGraphics(renderer, *scene.graphics);
    zq::WorldDrawState draw;
    zq::InitWorldDrawState(draw);
    zq::WorldDrawParams params;
    params.clearColour = zq::FogClearColour(*scene.graphics);
    const float sx = static_cast<float>(scene.world->sizeX * zq::kCellSize);
    const float sz = static_cast<float>(scene.world->sizeZ * zq::kCellSize);
    int frame = 0;
    std::int64_t triangles = 0;
    for (auto _ : state) {
        // A slow loop around the middle of the level at head height, turning.
        const float t = static_cast<float>(frame % 360) * 3.1415f / 180.0f;
        params.camera = {sx / 2 + std::cos(t) * sx / 4, 512 + 300, sz / 2 + std::sin(t) * sz / 4, 0,
                         static_cast<int>(std::sin(t * 3) * 1500), (frame * 91) % 32768};
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
void SoftFrames(benchmark::State& state) { DrawPath(state, SharedScene(false)); }
void SoftFramesMaze(benchmark::State& state) { DrawPath(state, SharedScene(true)); }
BENCHMARK(SoftFramesMaze)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SoftFrames)->Args({320, 240})->Args({640, 480})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (const char* env = std::getenv("ZQ_DATA")) g_dataDir = env;
    else g_dataDir = std::filesystem::absolute(argv[0]).parent_path() / "data";
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
