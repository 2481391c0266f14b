// What a video picture costs the software build each frame: mapping a
// frame-sized RGB picture to the 8-bit palette, at the smallest and largest
// common view sizes, for a picture with smooth gradients and one with noise
// (the worst case for the memory of recent answers).
#include <random>

#include <benchmark/benchmark.h>

#include "render/soft/soft_back_end.h"

namespace {

zq::RgbPicture Picture(int width, int height, bool noisy) {
    zq::RgbPicture p{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    std::mt19937 random(11);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            const int n = noisy ? static_cast<int>(random() % 64) : 0;
            p.rgb[i] = static_cast<std::uint8_t>((x * 255 / width + n) & 255);
            p.rgb[i + 1] = static_cast<std::uint8_t>((y * 255 / height + n) & 255);
            p.rgb[i + 2] = static_cast<std::uint8_t>(((x + y) * 127 / (width + height) + n) & 255);
        }
    return p;
}

void MapPicture(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = width * 3 / 4;
    zq::SoftBackEnd back;
    back.renderer.SetProjection(width, height);
    std::mt19937 random(5);
    for (std::size_t i = 0; i < 256; ++i) {
        back.renderer.Frame().palette.red[i] = static_cast<std::uint8_t>(random());
        back.renderer.Frame().palette.green[i] = static_cast<std::uint8_t>(random());
        back.renderer.Frame().palette.blue[i] = static_cast<std::uint8_t>(random());
    }
    const zq::RgbPicture picture = Picture(width, height, state.range(1) != 0);
    for (auto _ : state) {
        back.DrawRgbPicture(picture);
        benchmark::DoNotOptimize(back.renderer.Frame().pixels[7]);
    }
}
BENCHMARK(MapPicture)->Args({320, 0})->Args({320, 1})->Args({1600, 0})->Args({1600, 1})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
