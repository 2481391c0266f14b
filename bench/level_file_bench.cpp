// Level file throughput: serialising and loading a large level, the work done
// at every level start.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/file_io.h"
#include "world/level_file.h"

namespace {

std::unique_ptr<zq::World> BigLevel() {
    auto world = std::make_unique<zq::World>();
    zq::InitNewLevel(*world, 40, 12, 40, 7);
    for (int z = 0; z < 40; ++z)
        for (int x = 0; x < 40; ++x)
            if ((x * 7 + z * 3) % 11 == 0) zq::SetCell(*world, x, 1, z, 20);
    world->objectDefs[20].lingot = true;
    world->sentryCount = 20;
    return world;
}

void BM_SerializeLevel(benchmark::State& state) {
    auto world = BigLevel();
    for (auto _ : state) benchmark::DoNotOptimize(zq::SerializeLevel(*world));
}
BENCHMARK(BM_SerializeLevel);

void BM_LoadLevelFile(benchmark::State& state) {
    auto dir = std::filesystem::temp_directory_path() / "zq_level_bench";
    std::filesystem::create_directories(dir / "LEVEL");
    zq::WriteFileAtomic(dir / "LEVEL" / "big.lev", zq::SerializeLevel(*BigLevel()));
    auto world = std::make_unique<zq::World>();
    world->objectDefs[20].lingot = true;
    zq::DataResolver data(dir);
    zq::Random random;
    zq::LevelLoadContext context{data, random, 0, {}};
    for (auto _ : state) zq::LoadLevelFile(*world, context, "LEVEL\\big.lev", "High");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadLevelFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
