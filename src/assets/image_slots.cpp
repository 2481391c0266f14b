// Interface image slots: loading, cutting and the fixed interface pictures.
#include "assets/image_slots.h"

#include <algorithm>

#include "assets/picture_convert.h"
#include "core/errors.h"

namespace zq {

namespace {

bool ValidSlot(int slot) { return slot >= 0 && slot < kImageSlotCount; }

void ResizeRgba(ImageSlot& s, std::int32_t width, std::int32_t height) {
    s.width = width;
    s.height = height;
    s.texWidth = PaddedSide(width);
    s.texHeight = PaddedSide(height);
    s.rgba.assign(static_cast<std::size_t>(s.texWidth) * static_cast<std::size_t>(s.texHeight) * 4, 0);
    s.uExtent = static_cast<float>(width) / static_cast<float>(s.texWidth);
    s.vExtent = static_cast<float>(height) / static_cast<float>(s.texHeight);
}

}  // namespace

std::int32_t PaddedSide(std::int32_t side) {
    std::int32_t padded = 2;
    while (padded < side) padded *= 2;
    return padded;
}

void ClearImageSlots(Graphics& graphics) {
    for (ImageSlot& slot : graphics.imageSlots) {
        std::uint32_t generation = slot.generation + 1;
        slot = ImageSlot{};
        slot.generation = generation;
    }
}

void StoreImageSlot(Graphics& graphics, int slot, const Picture& picture) {
    if (!ValidSlot(slot)) return;
    ImageSlot& s = graphics.imageSlots[static_cast<std::size_t>(slot)];
    ++s.generation;
    if (graphics.format == PixelFormat::kIndexed) {
        s.width = picture.width;
        s.height = picture.height;
        s.pixels = picture.pixels;
        RemapPixels(s.pixels, picture.palette, graphics.mainPalette);
        return;
    }
    ResizeRgba(s, picture.width, picture.height);
    std::size_t stride = static_cast<std::size_t>(s.texWidth) * 4;
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            std::uint8_t index = picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)];
            WriteRgba(&s.rgba[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4], index, picture.palette);
        }
    }
}

void LoadImageSlot(Graphics& graphics, const DataResolver& data, int slot, const std::string& fileName) {
    Picture picture = LoadPcx(data, fileName, true);
    StoreImageSlot(graphics, slot, picture);
}

void CutImageSlot(Graphics& graphics, int fromSlot, int x, int y, int width, int height, int toSlot) {
    if (!ValidSlot(fromSlot) || !ValidSlot(toSlot)) return;
    const ImageSlot& from = graphics.imageSlots[static_cast<std::size_t>(fromSlot)];
    if (from.Empty()) return;
    // Clip the rectangle to the source picture (64-bit: the sums cannot overflow).
    std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
    std::int64_t x1 = std::min<std::int64_t>(std::int64_t{x} + width, from.width);
    std::int64_t y1 = std::min<std::int64_t>(std::int64_t{y} + height, from.height);
    if (x1 <= x0 || y1 <= y0) return;
    auto w = static_cast<std::int32_t>(x1 - x0), h = static_cast<std::int32_t>(y1 - y0);
    ImageSlot cut;
    cut.generation = graphics.imageSlots[static_cast<std::size_t>(toSlot)].generation + 1;
    if (graphics.format == PixelFormat::kIndexed) {
        cut.width = w;
        cut.height = h;
        cut.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (std::int32_t row = 0; row < h; ++row) {
            auto src = from.pixels.begin() + static_cast<std::ptrdiff_t>((y0 + row) * from.width + x0);
            std::copy(src, src + w, cut.pixels.begin() + static_cast<std::ptrdiff_t>(row) * w);
        }
    } else {
        ResizeRgba(cut, w, h);
        std::size_t fromStride = static_cast<std::size_t>(from.texWidth) * 4, toStride = static_cast<std::size_t>(cut.texWidth) * 4;
        for (std::int32_t row = 0; row < h; ++row) {
            auto src = from.rgba.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y0 + row) * fromStride + static_cast<std::size_t>(x0) * 4);
            std::copy(src, src + static_cast<std::ptrdiff_t>(w) * 4, cut.rgba.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(row) * toStride));
        }
    }
    graphics.imageSlots[static_cast<std::size_t>(toSlot)] = std::move(cut);
}

namespace {

struct FixedImage {
    int slot;
    const char* file;
};

constexpr FixedImage kInterfaceImages[] = {
    {1, "INTERF/TQUIB.PCX"},  {2, "INTERF/TITLE.PCX"},    {4, "INTERF/OPTION.PCX"},   {5, "INTERF/SELECT.PCX"},
    {6, "INTERF/BARRE.PCX"},  {10, "INTERF/RADAR.PCX"},   {11, "INTERF/RADARP1.PCX"}, {12, "INTERF/RADARP2.PCX"},
    {9, "INTERF/RADARP3.PCX"}, {13, "INTERF/MOSAIC.PCX"},
};

struct FontLayout {
    const char* file;
    int cellWidth, cellHeight, glyphWidth, glyphHeight, firstSlot;
};

constexpr FontLayout kFonts[] = {
    {"INTERF/SMALFONT.PCX", 4, 8, 3, 7, 50},
    {"INTERF/BIGFONT.PCX", 9, 16, 8, 15, 150},
};
constexpr int kGlyphsPerFont = 100;  // character codes 32..131
constexpr int kFontLoadSlot = 0;

void CutFont(Graphics& graphics, const FontLayout& font) {
    int pictureWidth = graphics.imageSlots[kFontLoadSlot].width;
    int x = 0, y = 0;
    for (int i = 0; i < kGlyphsPerFont; ++i) {
        CutImageSlot(graphics, kFontLoadSlot, x, y, font.glyphWidth, font.glyphHeight, font.firstSlot + i);
        if (x + font.cellWidth < pictureWidth - font.glyphWidth) {
            x += font.cellWidth;
        } else {
            x = 0;
            y += font.cellHeight;
        }
    }
}

}  // namespace

void LoadInterfaceImages(Graphics& graphics, const DataResolver& data, AssetProblems* problems) {
    auto attempt = [&](const char* file, auto&& load) {
        try {
            load();
        } catch (const FatalError& e) {
            if (!problems) throw;
            problems->push_back({file, e.what()});
        }
    };
    for (const FixedImage& image : kInterfaceImages)
        attempt(image.file, [&] { LoadImageSlot(graphics, data, image.slot, image.file); });
    for (const FontLayout& font : kFonts) {
        attempt(font.file, [&] {
            LoadImageSlot(graphics, data, kFontLoadSlot, font.file);
            CutFont(graphics, font);
        });
    }
}

}  // namespace zq
