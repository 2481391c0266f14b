// The software overlay and screenshots over the 8-bit frame.
#include "render/soft/soft_back_end.h"

#include <algorithm>

#include "render/soft/graphics_binding.h"

namespace zq {

void SoftBackEnd::BindGraphics(const Graphics& graphics) {
    graphics_ = &graphics;
    zq::BindGraphics(renderer, graphics);
    images_ = ImageSlotsOf(graphics);
}

int SoftBackEnd::FogClearColour() const { return graphics_ ? zq::FogClearColour(*graphics_) : 0; }

void SoftBackEnd::DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y, float x) {
    zq::DrawImage(renderer.Frame(), images_, slot, colourKeyed, transparency, height, width, y, x);
}

void SoftBackEnd::DrawText(std::string_view text, bool big, float y, float x) {
    zq::DrawText(renderer.Frame(), images_, text, big, y, x);
}

void SoftBackEnd::DrawRadar(const RadarInput& input) { zq::DrawRadar(renderer.Frame(), images_, input); }

namespace {

constexpr std::uint32_t kCached = 1u << 24;  // marks a used memory entry
constexpr int kCacheBits = 16;

}  // namespace

void SoftBackEnd::DrawRgbPicture(const RgbPicture& picture) {
    SoftFrame& f = renderer.Frame();
    const std::size_t area = static_cast<std::size_t>(std::max(f.width, 0)) * static_cast<std::size_t>(std::max(f.height, 0));
    if (area == 0 || f.pixels.size() != area) return;
    if (!pictureSearch_ || pictureSearchPalette_ != f.palette) {
        if (!pictureSearch_) pictureSearch_ = std::make_unique<ColourSearch>();
        pictureSearch_->Build(f.palette, 0, 254);
        pictureSearchPalette_ = f.palette;
        pictureCacheKeys_.assign(std::size_t{1} << kCacheBits, 0);
        pictureCacheIndex_.assign(std::size_t{1} << kCacheBits, 0);
    }
    const ColourSearch& search = *pictureSearch_;
    std::fill(f.pixels.begin(), f.pixels.end(), search.Find(0, 0, 0));
    if (!picture.Valid()) return;

    const int w = std::min(picture.width, f.width), h = std::min(picture.height, f.height);
    const int toX = (f.width - w) / 2, toY = (f.height - h) / 2;
    const int fromX = (picture.width - w) / 2, fromY = (picture.height - h) / 2;
    std::uint32_t* keys = pictureCacheKeys_.data();
    std::uint8_t* answers = pictureCacheIndex_.data();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = picture.rgb.data() +
                                  (static_cast<std::size_t>(fromY + y) * static_cast<std::size_t>(picture.width) +
                                   static_cast<std::size_t>(fromX)) * 3;
        std::uint8_t* dst = f.pixels.data() + static_cast<std::size_t>(toY + y) * static_cast<std::size_t>(f.width) +
                            static_cast<std::size_t>(toX);
        for (int x = 0; x < w; ++x, src += 3) {
            const std::uint32_t rgb = (std::uint32_t{src[0]} << 16) | (std::uint32_t{src[1]} << 8) | src[2];
            const std::uint32_t slot = (rgb * 2654435761u) >> (32 - kCacheBits);
            if (keys[slot] != (rgb | kCached)) {
                keys[slot] = rgb | kCached;
                answers[slot] = search.Find(src[0], src[1], src[2]);
            }
            dst[x] = answers[slot];
        }
    }
}

bool SoftBackEnd::GrabFrame(FramePicture& out) {
    const SoftFrame& f = renderer.Frame();
    if (f.width <= 0 || f.height <= 0 ||
        f.pixels.size() != static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height))
        return false;
    out.width = f.width;
    out.height = f.height;
    out.paletted = true;
    out.pixels = f.pixels;
    out.palette = f.palette;
    return true;
}

}  // namespace zq
