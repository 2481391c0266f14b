// The flat layer drawn straight into the 8-bit frame: interface images, text
// and the radar, placed by the common layout of render/overlay.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "render/overlay.h"
#include "render/soft/soft_frame.h"

namespace zq {

// One interface picture: main-palette indices row by row; null when empty.
struct ImageView {
    const std::uint8_t* pixels = nullptr;
    int width = 0, height = 0;
};
using ImageLookup = std::function<ImageView(int slot)>;

// Screen positions and sizes are fractions of the frame, from the top left.
void DrawImage(SoftFrame& frame, const ImageLookup& images, int slot, bool colourKeyed, int transparency,
               float height, float width, float y, float x);
void DrawText(SoftFrame& frame, const ImageLookup& images, std::string_view text, bool big, float y, float x);
void DrawRadar(SoftFrame& frame, const ImageLookup& images, const RadarInput& input);

}  // namespace zq
