// The flat layer drawn over the 3-D frame: where interface images, the two
// bitmap fonts and the radar go, for any back end.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "world/world.h"

namespace zq {

inline constexpr int kFontGlyphCount = 100;  // character codes 32..131
inline constexpr int kSmallFontBase = 50;    // image slots of the small glyphs
inline constexpr int kBigFontBase = 150;     // image slots of the big glyphs
inline constexpr int kRadarSlot = 10;
inline constexpr int kRadarAlertSlot = 11;
inline constexpr int kRadarSentrySlot = 12;
inline constexpr int kRadarPlayerSlot = 9;
inline constexpr float kRadarRange = 6144;   // 12 cells

// Screen positions and sizes are fractions of the frame, from the top left.
float TextWidth(std::string_view text, bool big);

// Draws one interface image: slot, colour key, transparency (percent), then
// height, width, top and left as fractions of the frame.
using ImageDrawer = std::function<void(int slot, bool colourKeyed, int transparency, float height, float width,
                                       float y, float x)>;
// Where each glyph of `text` goes, for any back end: one `draw` per glyph.
// A frame 200 rows high keeps the glyphs' pixel size.  `widthScale` narrows
// glyphs and their advance on wide frames (InterfaceScale), so they keep
// their shape.
void LayOutText(std::string_view text, bool big, int frameHeight, float y, float x, const ImageDrawer& draw,
                float widthScale = 1);

// Where glyph i of a font picture sits: its top-left pixel and size.
struct GlyphRect {
    int x = 0, y = 0, width = 0, height = 0;
};
std::array<GlyphRect, kFontGlyphCount> FontGlyphRects(int pictureWidth, bool big);
// Cuts the glyphs of the font picture in `fromSlot` into the font's slots.
void CutFont(int pictureWidth, bool big, int fromSlot,
             const std::function<void(int fromSlot, int x, int y, int width, int height, int toSlot)>& cut);

struct RadarInput {
    float heroX = 0, heroZ = 0;
    int heading = 0;                                // the local hero's, 1/32768 of a turn
    std::span<const SentryState> sentries;
    std::function<bool(const SentryState&)> alerted;  // picks the alert dot; empty: never
    std::span<const std::array<float, 2>> others;     // other players' heroes (x, z)
};

// Top-left of a radar dot for a thing at (dx, dz) from the hero; empty past the range.
bool RadarDot(float dx, float dz, int heading, float& x, float& y);
// The radar and its dots as image draws, for any back end.
void LayOutRadar(const RadarInput& input, const ImageDrawer& draw);

}  // namespace zq
