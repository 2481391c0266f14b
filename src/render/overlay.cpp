// Interface images, text and the radar drawn straight into the 8-bit frame.
#include "render/overlay.h"

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

void LayOutText(std::string_view text, bool big, int frameHeight, float y, float x, const ImageDrawer& draw,
                float widthScale) {
    const float r = frameHeight == 200 ? 200.0f : 240.0f;
    const float glyphHeight = (big ? 15.0f : 7.0f) / r;
    const float lineHeight = (big ? 16.0f : 8.0f) / r;
    const float glyphWidth = (big ? 7.0f / 320.0f : 3.0f / 320.0f) * widthScale;
    const float advance = (big ? 0.025f : 0.0125f) * widthScale;
    const int base = big ? kBigFontBase : kSmallFontBase;
    float cx = x, cy = y;
    for (const char ch : text) {
        const int code = static_cast<unsigned char>(ch);
        if (code == 13) {
            cy += lineHeight;
            cx = x;
            continue;
        }
        if (code >= 32 && code < 32 + kFontGlyphCount) draw(base + code - 32, true, 0, glyphHeight, glyphWidth, cy, cx);
        cx += advance;
    }
}

void DrawText(SoftFrame& frame, const ImageLookup& images, std::string_view text, bool big, float y, float x) {
    LayOutText(text, big, frame.height, y, x,
               [&](int slot, bool keyed, int transparency, float h, float w, float iy, float ix) {
                   DrawImage(frame, images, slot, keyed, transparency, h, w, iy, ix);
               });
}

float TextWidth(std::string_view text, bool big) {
    return static_cast<float>(text.size()) * (big ? 0.025f : 0.0125f);
}

std::array<GlyphRect, kFontGlyphCount> FontGlyphRects(int pictureWidth, bool big) {
    const int cellWidth = big ? 9 : 4, cellHeight = big ? 16 : 8;
    const int glyphWidth = big ? 8 : 3, glyphHeight = big ? 15 : 7;
    std::array<GlyphRect, kFontGlyphCount> rects{};
    int x = 0, y = 0;
    for (GlyphRect& rect : rects) {
        rect = {x, y, glyphWidth, glyphHeight};
        if (x + cellWidth < pictureWidth - glyphWidth) {
            x += cellWidth;
        } else {
            x = 0;
            y += cellHeight;
        }
    }
    return rects;
}

void CutFont(int pictureWidth, bool big, int fromSlot,
             const std::function<void(int fromSlot, int x, int y, int width, int height, int toSlot)>& cut) {
    const auto rects = FontGlyphRects(pictureWidth, big);
    const int base = big ? kBigFontBase : kSmallFontBase;
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const GlyphRect& r = rects[static_cast<std::size_t>(i)];
        cut(fromSlot, r.x, r.y, r.width, r.height, base + i);
    }
}

bool RadarDot(float dx, float dz, int heading, float& x, float& y) {
    if (std::sqrt(dx * dx + dz * dz) >= kRadarRange) return false;
    const float h = static_cast<float>(heading * 3.1415 / 16384.0);
    const float c = std::cos(h), s = std::sin(h);
    x = 0.8f + 0.078125f * (1 + (c * dx - s * dz) / kRadarRange);
    y = 0.05f + (1 - (s * dx + c * dz) / kRadarRange) * (25.0f / 240.0f);
    return true;
}

void LayOutRadar(const RadarInput& input, const ImageDrawer& draw) {
    draw(kRadarSlot, true, 0, 50.0f / 240.0f, 50.0f / 320.0f, 0.05f, 0.8f);
    const float dotW = 3.5f / 320.0f, dotH = 3.5f / 240.0f;
    float x = 0, y = 0;
    for (const SentryState& sentry : input.sentries) {
        if (!RadarDot(sentry.x - input.heroX, sentry.z - input.heroZ, input.heading, x, y)) continue;
        const bool alert = input.alerted && input.alerted(sentry);
        draw(alert ? kRadarAlertSlot : kRadarSentrySlot, true, 0, dotH, dotW, y, x);
    }
    for (const auto& other : input.others) {
        if (RadarDot(other[0] - input.heroX, other[1] - input.heroZ, input.heading, x, y))
            draw(kRadarPlayerSlot, true, 0, dotH, dotW, y, x);
    }
}

void DrawRadar(SoftFrame& frame, const ImageLookup& images, const RadarInput& input) {
    LayOutRadar(input, [&](int slot, bool keyed, int transparency, float h, float w, float y, float x) {
        DrawImage(frame, images, slot, keyed, transparency, h, w, y, x);
    });
}

}  // namespace zq
