// How long the software build's colour tables take to build: the shade table
// (every fog change, so every level load) and the five blend tables (when the
// bank's cache is missing), each with the grid search and with the plain one.
#include <random>

#include <benchmark/benchmark.h>

#include "assets/colour_tables.h"

namespace {

zq::Palette BenchPalette() {
    zq::Palette p;
    std::mt19937 random(7);
    for (int i = 0; i < zq::kPaletteSize; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.red[k] = static_cast<std::uint8_t>(random());
        p.green[k] = static_cast<std::uint8_t>(random());
        p.blue[k] = static_cast<std::uint8_t>(random());
    }
    return p;
}

void ShadeTable(benchmark::State& state) {
    zq::Palette palette = BenchPalette();
    auto tables = std::make_unique<zq::ColourTables>();
    int fog = 0;
    for (auto _ : state) {
        zq::BuildShadeTable(*tables, palette, fog & 255, (fog * 7) & 255, (fog * 13) & 255);
        ++fog;
        benchmark::DoNotOptimize(tables->shade[128][77]);
    }
}
BENCHMARK(ShadeTable)->Unit(benchmark::kMillisecond);

void BlendTables(benchmark::State& state) {
    zq::Palette palette = BenchPalette();
    auto tables = std::make_unique<zq::ColourTables>();
    for (auto _ : state) {
        zq::BuildBlendTables(*tables, palette);
        benchmark::DoNotOptimize(tables->blend[2][10][20]);
    }
}
BENCHMARK(BlendTables)->Unit(benchmark::kMillisecond);

// The plain search over 254 entries, for comparison.
void ShadeTablePlain(benchmark::State& state) {
    zq::Palette p = BenchPalette();
    auto tables = std::make_unique<zq::ColourTables>();
    for (auto _ : state) {
        for (int level = 0; level < zq::kShadeLevels; ++level)
            for (std::size_t c = 1; c < 256; ++c)
                tables->shade[static_cast<std::size_t>(level)][c] =
                    zq::NearestColour(p, 40 + level * (p.red[c] - 40) / 256, 40 + level * (p.green[c] - 40) / 256,
                                      40 + level * (p.blue[c] - 40) / 256, 1, 254);
        benchmark::DoNotOptimize(tables->shade[128][77]);
    }
}
BENCHMARK(ShadeTablePlain)->Unit(benchmark::kMillisecond);

void SearchGridBuild(benchmark::State& state) {
    zq::Palette palette = BenchPalette();
    zq::ColourSearch search;
    for (auto _ : state) {
        search.Build(palette, 1, 254);
        benchmark::DoNotOptimize(search.Find(1, 2, 3));
    }
}
BENCHMARK(SearchGridBuild)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
