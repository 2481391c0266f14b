// The software back end's frame record: an 8-bit picture in the main palette
// and the colour tables every pixel goes through.  The platform only presents it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "assets/colour_tables.h"
#include "assets/graphics.h"
#include "assets/palette.h"

namespace zq {

inline constexpr int kTableSize = 256 * 256;  // one shade or blend table
inline constexpr int kTextureSide = kBankImageSide;
inline constexpr int kTextureBytes = kTextureSide * kTextureSide;

struct SoftFrame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // width * height palette indices, row by row
    std::vector<std::uint8_t> second;  // the other eye's picture in stereo mode
    bool stereo = false;
    Palette palette{};                 // the palette the picture is shown through

    // Tables owned by the colour state (or by the renderer while in stereo);
    // all three must be set before anything is drawn.
    const std::uint8_t* shade = nullptr;      // [level][colour], 256 x 256
    const std::uint8_t* blend = nullptr;      // [level 0..4][source][destination]
    const std::uint8_t* flatRemap = nullptr;  // flat palette index -> main palette index, 256
};

// A texture slot as the software back end sees it: an image range and the
// image showing now.
struct SoftSlot {
    std::int32_t first = 0, last = 0, current = 0;
};

// Where the back end finds its pictures.  `image` gives the 128 x 128 pixel
// block of an image number (null when there is none); `slot` the range of a
// texture slot (a slot that does not exist gives image -1).
struct SoftTextures {
    std::function<const std::uint8_t*(int image)> image;
    std::function<SoftSlot(int slot)> slot;
};

inline std::uint8_t ShadeOf(const SoftFrame& frame, int level, int colour) {
    return frame.shade[(level << 8) | colour];
}
inline std::uint8_t BlendOf(const SoftFrame& frame, int level, int source, int destination) {
    return frame.blend[(level << 16) | (source << 8) | destination];
}

}  // namespace zq
