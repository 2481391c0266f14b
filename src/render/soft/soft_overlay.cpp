// Interface images, text and the radar drawn straight into the 8-bit frame,
// from the layout the common overlay code gives for any back end.
#include "render/soft/soft_overlay.h"

#include <algorithm>
#include <cmath>

#include "render/soft/soft_renderer.h"

namespace zq {

namespace {

int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

void DrawImageInto(std::uint8_t* target, const SoftFrame& frame, const ImageView& image, bool keyed, int level,
                   float height, float width, float y, float x) {
    const int W = frame.width, H = frame.height;
    const int left = Round(static_cast<double>(W) * x), top = Round(static_cast<double>(H) * y);
    const int w = Round(static_cast<double>(W) * width), h = Round(static_cast<double>(H) * height);
    if (w <= 0 || h <= 0) return;
    if (left >= W || left + w < 0 || top >= H || top + h < 0) return;
    // The last column and row of the screen are never drawn.
    const int endX = left + w >= W ? std::min(left + w, W - 1) : left + w;
    const int endY = top + h >= H ? std::min(top + h, H - 1) : top + h;
    const int firstX = std::max(0, left), firstY = std::max(0, top);
    // 16 bits of fraction: with 8, a 320-pixel picture over 1440 columns
    // would drift 22 columns to the left by its right end.
    const std::int64_t stepX = (static_cast<std::int64_t>(image.width) << 16) / w;
    const std::int64_t stepY = (static_cast<std::int64_t>(image.height) << 16) / h;
    const std::uint8_t* shadeRow = frame.shade + (255 << 8);
    const std::uint8_t* blend = frame.blend + (level << 16);
    for (int row = firstY; row < endY; ++row) {
        const std::int64_t sy = std::min<std::int64_t>(((row - top) * stepY) >> 16, image.height - 1);
        const std::uint8_t* source = image.pixels + sy * image.width;
        std::uint8_t* out = target + static_cast<std::size_t>(row) * static_cast<std::size_t>(W);
        for (int col = firstX; col < endX; ++col) {
            const std::int64_t sx = std::min<std::int64_t>(((col - left) * stepX) >> 16, image.width - 1);
            const std::uint8_t s = source[sx];
            if (keyed && s == 0) continue;
            out[col] = blend[(shadeRow[s] << 8) | out[col]];
        }
    }
}

}  // namespace

void DrawImage(SoftFrame& frame, const ImageLookup& images, int slot, bool colourKeyed, int transparency,
               float height, float width, float y, float x) {
    if (!images || !frame.shade || !frame.blend || frame.pixels.empty()) return;
    const ImageView image = images(slot);
    if (!image.pixels || image.width <= 0 || image.height <= 0) return;
    const int level = std::clamp(transparency, 0, 100) * 4 / 100;
    DrawImageInto(frame.pixels.data(), frame, image, colourKeyed, level, height, width, y, x);
    if (frame.stereo && frame.second.size() == frame.pixels.size())
        DrawImageInto(frame.second.data(), frame, image, colourKeyed, level, height, width, y, x);
}

void DrawText(SoftFrame& frame, const ImageLookup& images, std::string_view text, bool big, float y, float x) {
    LayOutText(text, big, frame.height, y, x,
               [&](int slot, bool keyed, int transparency, float h, float w, float iy, float ix) {
                   DrawImage(frame, images, slot, keyed, transparency, h, w, iy, ix);
               });
}

void DrawRadar(SoftFrame& frame, const ImageLookup& images, const RadarInput& input) {
    LayOutRadar(input, [&](int slot, bool keyed, int transparency, float h, float w, float y, float x) {
        DrawImage(frame, images, slot, keyed, transparency, h, w, y, x);
    });
}

}  // namespace zq
