// Pixel conversions shared by bank images and interface images.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "assets/palette.h"

namespace zq {

// remap[0] = 0; remap[i] = the main-palette entry 1..254 nearest to own colour i.
std::array<std::uint8_t, kPaletteSize> RemapTable(const Palette& own, const Palette& mainPalette);
void RemapPixels(std::vector<std::uint8_t>& pixels, const Palette& own, const Palette& mainPalette);
// One RGBA pixel: the palette colour, alpha 0 for index 0 and 255 otherwise.
void WriteRgba(std::uint8_t* out, std::uint8_t index, const Palette& palette);

}  // namespace zq
