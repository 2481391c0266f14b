// Where interface images, text and the radar go on the frame, for any back end.
#include "render/overlay.h"

#include <algorithm>
#include <cmath>

namespace zq {

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

}  // namespace zq
