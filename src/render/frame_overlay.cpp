// Text and radar over any back end's DrawImage, and PNG output of grabbed frames.
#include "render/frame_overlay.h"

#include <algorithm>
#include <memory>

#include "render/png_writer.h"

namespace zq {

void FrameOverlay::DrawText(std::string_view text, bool big, float y, float x) {
    // At 320 x 200 the glyphs keep their pixel size.
    const float r = FrameHeight() == 200 ? 200.0f : 240.0f;
    const float glyphHeight = (big ? 15.0f : 7.0f) / r;
    const float lineHeight = (big ? 16.0f : 8.0f) / r;
    const float glyphWidth = big ? 7.0f / 320.0f : 3.0f / 320.0f;
    const float advance = big ? 0.025f : 0.0125f;
    const int base = big ? kBigFontBase : kSmallFontBase;
    float cx = x, cy = y;
    for (const char ch : text) {
        const int code = static_cast<unsigned char>(ch);
        if (code == 13) {
            cy += lineHeight;
            cx = x;
            continue;
        }
        if (code >= 32 && code < 32 + kFontGlyphCount) DrawImage(base + code - 32, true, 0, glyphHeight, glyphWidth, cy, cx);
        cx += advance;
    }
}

void FrameOverlay::DrawRadar(const RadarInput& input) {
    DrawImage(kRadarSlot, true, 0, 50.0f / 240.0f, 50.0f / 320.0f, 0.05f, 0.8f);
    const float dotW = 3.5f / 320.0f, dotH = 3.5f / 240.0f;
    float x = 0, y = 0;
    for (const SentryState& sentry : input.sentries) {
        if (!RadarDot(sentry.x - input.heroX, sentry.z - input.heroZ, input.heading, x, y)) continue;
        const bool alert = input.alerted && input.alerted(sentry);
        DrawImage(alert ? kRadarAlertSlot : kRadarSentrySlot, true, 0, dotH, dotW, y, x);
    }
    for (const auto& other : input.others) {
        if (RadarDot(other[0] - input.heroX, other[1] - input.heroZ, input.heading, x, y))
            DrawImage(kRadarPlayerSlot, true, 0, dotH, dotW, y, x);
    }
}

bool WriteFramePicture(const FramePicture& picture, const std::string& path, std::string& why) {
    const std::size_t area = static_cast<std::size_t>(std::max(picture.width, 0)) *
                             static_cast<std::size_t>(std::max(picture.height, 0));
    if (area == 0 || picture.pixels.size() != area * (picture.paletted ? 1 : 3)) {
        why = "no frame";
        return false;
    }
    if (picture.paletted)
        return WritePalettedPng(path, picture.pixels.data(), picture.width, picture.height, picture.palette, why);
    return WriteRgbPng(path, picture.pixels.data(), picture.width, picture.height, why);
}

}  // namespace zq
