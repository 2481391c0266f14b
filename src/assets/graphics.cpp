// The picture state record and the pixel conversions shared by bank images
// and interface images.
#include "assets/graphics.h"

#include "assets/picture_convert.h"

namespace zq {

std::unique_ptr<Graphics> MakeGraphics(PixelFormat format) {
    auto graphics = std::make_unique<Graphics>();
    graphics->format = format;
    InitScratchMesh(graphics->scratchMesh);
    graphics->cubeFaces = BuildCubeFaceMeshes();
    return graphics;
}

std::array<std::uint8_t, kPaletteSize> RemapTable(const Palette& own, const Palette& mainPalette) {
    std::array<std::uint8_t, kPaletteSize> remap{};
    // Nothing but 0 maps onto 0, and nothing onto 255.
    for (std::size_t i = 1; i < remap.size(); ++i)
        remap[i] = NearestColour(mainPalette, own.red[i], own.green[i], own.blue[i], 1, 254);
    return remap;
}

void RemapPixels(std::vector<std::uint8_t>& pixels, const Palette& own, const Palette& mainPalette) {
    auto remap = RemapTable(own, mainPalette);
    for (std::uint8_t& p : pixels) p = remap[p];
}

void WriteRgba(std::uint8_t* out, std::uint8_t index, const Palette& palette) {
    out[0] = palette.red[index];
    out[1] = palette.green[index];
    out[2] = palette.blue[index];
    out[3] = index == 0 ? 0 : 255;
}

}  // namespace zq
