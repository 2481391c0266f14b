// Output folder, palette, PCX encoding and noise for the content generator.
#include <stdexcept>

#include "assets/pcx.h"
#include "core/file_io.h"
#include "gen.h"

namespace zq::gen {

void Output::Write(const std::string& name, const Bytes& bytes) {
    std::filesystem::path path = root / name;
    std::filesystem::create_directories(path.parent_path());
    if (!WriteFileAtomic(path, bytes)) throw std::runtime_error("zqgen: cannot write " + path.string());
    written.push_back(name);
}

void Output::WriteText(const std::string& name, const std::string& text) {
    Write(name, Bytes(text.begin(), text.end()));
}

namespace {

struct Rgb {
    float r, g, b;
};

// Base colour of each ramp at its brightest untinted step.
constexpr std::array<Rgb, kRampCount> kRampBase = {{
    {186, 176, 160},  // stone
    {196, 78, 52},    // brick
    {150, 100, 58},   // earth
    {206, 132, 64},   // wood
    {250, 200, 40},   // gold
    {96, 190, 60},    // grass
    {40, 130, 70},    // leaf
    {50, 120, 220},   // water
    {110, 150, 200},  // metal
    {255, 96, 20},    // lava
    {150, 70, 200},   // sentry
    {160, 100, 240},  // violet
    {230, 40, 60},    // crimson
    {250, 240, 80},   // lemon
    {110, 180, 250},  // sky
}};

}  // namespace

Palette MakeMainPalette() {
    Palette p;
    auto set = [&p](int index, float r, float g, float b) {
        p.rgb[index * 3 + 0] = static_cast<std::uint8_t>(std::clamp(std::lround(r), 0l, 255l));
        p.rgb[index * 3 + 1] = static_cast<std::uint8_t>(std::clamp(std::lround(g), 0l, 255l));
        p.rgb[index * 3 + 2] = static_cast<std::uint8_t>(std::clamp(std::lround(b), 0l, 255l));
    };
    set(0, 0, 0, 0);
    for (int ramp = 0; ramp < kRampCount; ++ramp) {
        const Rgb base = kRampBase[ramp];
        for (int s = 0; s < kRampSteps; ++s) {
            // The first 12 steps climb from near-black to the base colour; the
            // last four mix in white for highlights and glints.
            float t = static_cast<float>(s + 1) / 12.0f;
            float r, g, b;
            if (s < 12) {
                float k = std::pow(t, 1.1f);
                r = base.r * k;
                g = base.g * k;
                b = base.b * k;
            } else {
                float w = static_cast<float>(s - 11) / 5.0f;
                r = base.r + (255 - base.r) * w;
                g = base.g + (255 - base.g) * w;
                b = base.b + (255 - base.b) * w;
            }
            set(1 + ramp * kRampSteps + s, r, g, b);
        }
    }
    for (int s = 0; s < kGreySteps; ++s) {
        float v = 8.0f + 247.0f * static_cast<float>(s) / (kGreySteps - 1);
        set(kGreyFirst + s, v, v, v);
    }
    return p;
}

std::uint8_t NearestIndex(const Palette& palette, int r, int g, int b) {
    int best = 1;
    long bestDistance = -1;
    for (int i = 1; i <= 254; ++i) {
        long dr = palette.rgb[i * 3] - r, dg = palette.rgb[i * 3 + 1] - g, db = palette.rgb[i * 3 + 2] - b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d <= bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

Bytes EncodePcx(const Image& image, const Palette& palette) {
    if (image.width < 1 || image.height < 1 || image.width > 65536 || image.height > 65536)
        throw std::runtime_error("zqgen: picture size out of range");
    zq::Picture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.pixels = image.pixels;
    for (std::size_t i = 0; i < 256; ++i) {
        picture.palette.red[i] = palette.rgb[i * 3];
        picture.palette.green[i] = palette.rgb[i * 3 + 1];
        picture.palette.blue[i] = palette.rgb[i * 3 + 2];
    }
    return zq::EncodePcx(picture);
}

float ValueNoise(float x, float y, int period, int wrap, std::uint32_t seed) {
    int cells = std::max(1, wrap / period);
    float fx = x / static_cast<float>(period), fy = y / static_cast<float>(period);
    int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    float tx = fx - static_cast<float>(x0), ty = fy - static_cast<float>(y0);
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto corner = [&](int cx, int cy) {
        cx = ((cx % cells) + cells) % cells;
        cy = ((cy % cells) + cells) % cells;
        return Hash01(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), seed);
    };
    float a = corner(x0, y0), b = corner(x0 + 1, y0), c = corner(x0, y0 + 1), d = corner(x0 + 1, y0 + 1);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

float Fractal(float x, float y, int period, int wrap, std::uint32_t seed, int octaves) {
    float sum = 0, weight = 0, amplitude = 1;
    for (int o = 0; o < octaves && period >= 1; ++o) {
        sum += ValueNoise(x, y, period, wrap, seed + static_cast<std::uint32_t>(o) * 977u) * amplitude;
        weight += amplitude;
        amplitude *= 0.5f;
        period /= 2;
    }
    return weight > 0 ? sum / weight : 0;
}

}  // namespace zq::gen
