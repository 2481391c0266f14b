// Hand-made palettes and pictures for the asset tests.
#pragma once

#include <cstdint>
#include <string>

#include "assets/pcx.h"

namespace zq::test {

// A palette with a spread of colours: entry i is a simple function of i.
inline Palette RampPalette(int seed = 0) {
    Palette p;
    for (int i = 0; i < kPaletteSize; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.red[k] = static_cast<std::uint8_t>((i * 37 + seed * 11) & 255);
        p.green[k] = static_cast<std::uint8_t>((i * 91 + seed * 29) & 255);
        p.blue[k] = static_cast<std::uint8_t>((i * 13 + seed * 53 + (i >> 3)) & 255);
    }
    return p;
}

inline Picture SolidPicture(int width, int height, std::uint8_t value, const Palette& palette) {
    Picture pic;
    pic.width = width;
    pic.height = height;
    pic.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), value);
    pic.palette = palette;
    return pic;
}

}  // namespace zq::test
