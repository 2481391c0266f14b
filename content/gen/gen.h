// Shared pieces of the content generator: the output folder, 8-bit images,
// the main palette layout and a deterministic noise source.  Everything the
// generator makes is a pure function of its sources, so two runs give the same
// bytes.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/bytes.h"

namespace zq::gen {

// The folder the generator fills.  Names use "/" and are relative to it.
struct Output {
    std::filesystem::path root;
    std::vector<std::string> written;  // every file made, in order

    void Write(const std::string& name, const Bytes& bytes);
    void WriteText(const std::string& name, const std::string& text);
};

// ---------------------------------------------------------------------------
// Palette layout.  Index 0 is black and transparent.  Indices 1..240 are 15
// hue ramps of 16 steps each, from near-black (step 0) to a bright tint
// (step 15), so the shade table always finds a close darker or foggier colour.
// Indices 241..255 are a neutral grey ramp (255 is never chosen by the
// software build's remapping, so nothing important relies on it).
inline constexpr int kRampCount = 15;
inline constexpr int kRampSteps = 16;
inline constexpr int kGreyFirst = 241;
inline constexpr int kGreySteps = 15;

enum Ramp : int {
    kStone = 0,   // warm grey stone
    kBrick,       // brick red
    kEarth,       // earth brown
    kWood,        // orange-brown wood
    kGold,        // gold yellow
    kGrass,       // grass green
    kLeaf,        // deep leaf green
    kWater,       // water blue
    kMetal,       // steel blue
    kLava,        // lava orange-red
    kSentry,      // sentry purple
    kViolet,      // hero violet
    kCrimson,     // hero red
    kLemon,       // hero yellow
    kSky,         // sky blue
};

// Palette index of a ramp step; steps outside 0..15 are clamped.
inline std::uint8_t RampColour(int ramp, int step) {
    step = std::clamp(step, 0, kRampSteps - 1);
    return static_cast<std::uint8_t>(1 + ramp * kRampSteps + step);
}
// Palette index of a ramp at brightness 0..1.
inline std::uint8_t RampAt(int ramp, float brightness) {
    return RampColour(ramp, static_cast<int>(std::lround(std::clamp(brightness, 0.0f, 1.0f) * (kRampSteps - 1))));
}
// Neutral grey 0..14 (241 = darkest).
inline std::uint8_t GreyColour(int step) {
    return static_cast<std::uint8_t>(kGreyFirst + std::clamp(step, 0, kGreySteps - 2));
}

struct Palette {
    std::array<std::uint8_t, 768> rgb{};  // interleaved red, green, blue per entry
};

// The one palette every picture of the game uses.
Palette MakeMainPalette();
// The entry nearest to (r, g, b) among 1..254.
std::uint8_t NearestIndex(const Palette& palette, int r, int g, int b);

// An 8-bit picture in palette indices, row by row.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;

    Image() = default;
    Image(int w, int h, std::uint8_t fill = 0) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    std::uint8_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    void Put(int x, int y, std::uint8_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height) At(x, y) = c;
    }
    void Fill(int x0, int y0, int w, int h, std::uint8_t c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) Put(x, y, c);
    }
};

// An 8-bit run-length PCX file.  Rows are written without padding bytes, which
// is why interface pictures must be an even number of pixels wide.
Bytes EncodePcx(const Image& image, const Palette& palette);

// ---------------------------------------------------------------------------
// Deterministic noise: integer hashing, so results never depend on the C
// library's random generator or on evaluation order.
inline std::uint32_t Hash(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}
// 0..1 from a hash.
inline float Hash01(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
    return static_cast<float>(Hash(a, b, c) & 0xFFFFFF) / 16777215.0f;
}
// Smooth value noise with the given period in pixels, tiling every `wrap` pixels.
float ValueNoise(float x, float y, int period, int wrap, std::uint32_t seed);
// A few octaves of value noise, 0..1, tiling every `wrap` pixels.
float Fractal(float x, float y, int period, int wrap, std::uint32_t seed, int octaves = 3);

// A small deterministic generator for sequences (melodies, scatter).
struct Rng {
    std::uint32_t state;
    explicit Rng(std::uint32_t seed) : state(seed * 2654435761u + 12345u) {}
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
    float Unit() { return static_cast<float>(Next() & 0xFFFFFF) / 16777215.0f; }
};

}  // namespace zq::gen
