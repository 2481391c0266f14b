// PNG output: screenshots (paletted or RGB) and the generated icons (RGBA).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/palette.h"

namespace zq {

// Writes width x height palette indices (row by row) with their palette.
// Returns false, with the reason in `why`, when the file cannot be written.
bool WritePalettedPng(const std::string& path, const std::uint8_t* pixels, int width, int height,
                      const Palette& palette, std::string& why);
// Writes width x height RGB pixels (three bytes each, row by row).
bool WriteRgbPng(const std::string& path, const std::uint8_t* pixels, int width, int height, std::string& why);
// Writes width x height RGBA pixels (four bytes each, straight alpha).
bool WriteRgbaPng(const std::string& path, const std::uint8_t* pixels, int width, int height, std::string& why);

}  // namespace zq
