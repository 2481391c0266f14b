// The browser's palette conversion: two pixels a table read must give exactly
// the words of one a time, and a new palette must show at once.
#include <gtest/gtest.h>

#include <vector>

#include "platform/web/palette_rgba.h"

namespace zq {
namespace {

RgbaLookup Lookup(std::uint32_t seed) {
    RgbaLookup lookup{};
    for (std::size_t i = 0; i < lookup.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        lookup[i] = 0xFF000000u | (seed >> 8);
    }
    return lookup;
}

std::vector<std::uint32_t> Plain(const RgbaLookup& lookup, const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint32_t> out(pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) out[i] = lookup[pixels[i]];
    return out;
}

// Every pair of indices in both orders, and lengths that leave 1..3 pixels over.
TEST(PaletteToRgba, PairsGiveTheSameWordsAsOnePixelAtATime) {
    std::vector<std::uint8_t> pixels;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            pixels.push_back(static_cast<std::uint8_t>(a));
            pixels.push_back(static_cast<std::uint8_t>(b));
        }
    const RgbaLookup lookup = Lookup(7);
    PaletteToRgba convert;
    for (std::size_t extra : {0, 1, 2, 3}) {
        std::vector<std::uint8_t> frame(pixels.begin() + static_cast<std::ptrdiff_t>(extra), pixels.end());
        std::vector<std::uint32_t> out(frame.size());
        convert.Convert(lookup, frame.data(), frame.size(), out.data());
        convert.Convert(lookup, frame.data(), frame.size(), out.data());
        ASSERT_TRUE(convert.PairsReady());
        EXPECT_EQ(out, Plain(lookup, frame)) << "starting at pixel " << extra;
    }
}

// A fade changes the palette every frame: each frame shows its own palette,
// never the one the pair table was built from.
TEST(PaletteToRgba, ANewPaletteShowsAtOnce) {
    std::vector<std::uint8_t> frame(1001);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + i / 5);
    PaletteToRgba convert;
    std::vector<std::uint32_t> out(frame.size());
    const std::uint32_t seeds[] = {1, 1, 1, 2, 3, 3, 1, 1};
    for (std::size_t n = 0; n < std::size(seeds); ++n) {
        const RgbaLookup lookup = Lookup(seeds[n]);
        convert.Convert(lookup, frame.data(), frame.size(), out.data());
        EXPECT_EQ(out, Plain(lookup, frame)) << "frame " << n;
        EXPECT_EQ(convert.PairsReady(), n > 0 && seeds[n] == seeds[n - 1]) << "frame " << n;
    }
}

}  // namespace
}  // namespace zq
