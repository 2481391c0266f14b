// Interface pictures: the logo, the title frame, the in-game menu, its cursor,
// the status bar, the radar and its dots, the title mosaic and both fonts.
// Every picture is an even number of pixels wide (the loader wants the stored
// maximum x odd, so rows carry no pad byte).
#include <string>

#include "content.h"
#include "font_data.h"

namespace zq::gen {

namespace {

bool SmallBit(int code, int x, int y) { return SmallGlyph(code)[y * 3 + x] == '#'; }
bool BigBit(int code, int x, int y) { return BigGlyph(code)[y * 5 + x] == '#'; }

// Big glyphs are the 5 x 7 face widened to 8 columns (2,1,2,1,2) and doubled
// in height, with a one-pixel drop shadow below.
constexpr int kBigColumnStart[6] = {0, 2, 3, 5, 6, 8};

bool BigPixel(int code, int px, int py) {
    if (py < 0 || py >= 14 || px < 0 || px >= 8) return false;
    int column = 0;
    while (kBigColumnStart[column + 1] <= px) ++column;
    return BigBit(code, column, py / 2);
}

// Draws text into a picture with the small font (3 x 5 glyphs in 4 x 6 cells).
void SmallText(Image& img, int x, int y, const std::string& text, std::uint8_t colour) {
    for (char ch : text) {
        for (int gy = 0; gy < 5; ++gy)
            for (int gx = 0; gx < 3; ++gx)
                if (SmallBit(static_cast<unsigned char>(ch), gx, gy)) img.Put(x + gx, y + gy, colour);
        x += 4;
    }
}

// Big text in a vertical gold gradient with a dark shadow.
void BigText(Image& img, int x, int y, const std::string& text, int ramp) {
    for (char ch : text) {
        int code = static_cast<unsigned char>(ch);
        for (int py = 0; py < 15; ++py)
            for (int px = 0; px < 8; ++px) {
                if (BigPixel(code, px, py)) img.Put(x + px, y + py, RampColour(ramp, 15 - py / 3));
                else if (BigPixel(code, px, py - 1) || BigPixel(code, px - 1, py - 1)) img.Put(x + px, y + py, RampColour(ramp, 2));
            }
        x += 9;
    }
}

int BigTextWidth(const std::string& text) { return static_cast<int>(text.size()) * 9 - 1; }

// A carved stone surface for frames and the status bar.
std::uint8_t StoneAt(int x, int y, float base) {
    int row = y / 12;
    int bx = (x + (row % 2) * 12) / 24;
    bool joint = (y % 12) == 0 || ((x + (row % 2) * 12) % 24) == 0;
    float tone = base + 0.08f * (Hash01(static_cast<std::uint32_t>(bx), static_cast<std::uint32_t>(row), 7) - 0.5f) +
                 0.05f * (Hash01(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 8) - 0.5f);
    if (joint) tone -= 0.15f;
    return RampAt(kStone, tone);
}

// A gold bevelled border of `width` pixels inside the rectangle.
void GoldBorder(Image& img, int x0, int y0, int w, int h, int width) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            int d = std::min(std::min(x - x0, x0 + w - 1 - x), std::min(y - y0, y0 + h - 1 - y));
            if (d >= width) continue;
            bool lit = (x - x0) + (y - y0) < (x0 + w - 1 - x) + (y0 + h - 1 - y);
            int step = d == 0 || d == width - 1 ? 5 : (lit ? 14 : 9);
            img.Put(x, y, RampColour(kGold, step));
        }
}

void Rivet(Image& img, int cx, int cy) {
    for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x)
            if (x * x + y * y <= 5) img.Put(cx + x, cy + y, RampColour(kGold, x + y < 0 ? 15 : (x + y > 1 ? 6 : 11)));
}

// The logo: "ZORVO QUIB" in chunky bevelled gold letters with a dark outline.
Image Logo() {
    const std::string text = "ZORVO QUIB";
    const int sx = 5, sy = 5, gap = 4;
    Image img(296, 40, 0);
    int left = (296 - (static_cast<int>(text.size()) * (5 * sx + gap) - gap)) / 2;
    auto solid = [&](int x, int y) {
        int cx = x - left;
        if (cx < 0 || y < 2) return false;
        int ch = cx / (5 * sx + gap), ix = cx % (5 * sx + gap);
        if (ch >= static_cast<int>(text.size()) || ix >= 5 * sx) return false;
        int gy = (y - 2) / sy;
        if (gy >= 7) return false;
        return BigBit(static_cast<unsigned char>(text[ch]), ix / sx, gy);
    };
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 296; ++x) {
            if (solid(x, y)) {
                // Bevel: light where the letter's edge faces up-left, dark down-right.
                bool upLeft = !solid(x - 1, y) || !solid(x, y - 1) || !solid(x - 2, y - 2);
                bool downRight = !solid(x + 1, y) || !solid(x, y + 1) || !solid(x + 2, y + 2);
                int step = upLeft ? 15 : (downRight ? 6 : 11 - (y % sy == 0 ? 1 : 0));
                img.At(x, y) = RampColour(kGold, step);
            } else {
                bool near = false;
                for (int dy = -2; dy <= 2 && !near; ++dy)
                    for (int dx = -2; dx <= 2 && !near; ++dx) near = solid(x + dx, y + dy);
                if (near) img.At(x, y) = RampColour(kEarth, 1);
            }
        }
    return img;
}

// The title frame: carved stone around a see-through window where the
// attract scene shows the hero walking.
Image Title() {
    Image img(320, 240);
    const int wx = 72, wy = 44, ww = 176, wh = 156;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) img.At(x, y) = StoneAt(x, y, 0.42f);
    GoldBorder(img, 0, 0, 320, 240, 4);
    GoldBorder(img, wx - 6, wy - 6, ww + 12, wh + 12, 6);
    img.Fill(wx, wy, ww, wh, 0);
    const std::string title = "ZORVO QUIB";
    BigText(img, (320 - BigTextWidth(title)) / 2, 14, title, kGold);
    const std::string motto = "GOLD. DOORS. DANGER.";
    SmallText(img, (320 - static_cast<int>(motto.size()) * 4) / 2, 214, motto, RampColour(kLemon, 14));
    for (int i = 0; i < 4; ++i) {
        Rivet(img, 20 + i * 8, 226);
        Rivet(img, 300 - i * 8, 226);
    }
    // Torches painted on each side of the window.
    for (int side = 0; side < 2; ++side) {
        int cx = side ? 284 : 36;
        img.Fill(cx - 3, 110, 6, 50, RampColour(kWood, 6));
        for (int y = 0; y < 26; ++y)
            for (int x = -8; x <= 8; ++x) {
                float w = 8.0f * (1.0f - static_cast<float>(y) / 26.0f);
                if (std::abs(static_cast<float>(x)) <= w) img.Put(cx + x, 108 - y, RampColour(y < 10 ? kLemon : kLava, 15 - y / 4));
            }
    }
    return img;
}

const char* const kMenuEntries[6] = {"RESTART LEVEL", "LOAD GAME", "SAVE GAME", "CHANGE VIEW", "QUIT", "RESUME"};

// The in-game menu tablet, drawn over 0.8 x 0.8 of the view from (0.1, 0.1):
// at 256 x 192 it is one pixel per pixel of a 320 x 240 view.  The cursor
// lands at y 0.28 + 0.08 * entry, x 0.21 (view fractions), so each entry is
// written on the cursor's row, just right of it.
Image OptionMenu() {
    Image img(256, 192, 0);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) {
            // Cut corners so the tablet reads as an object, not a rectangle.
            int cut = 10;
            if (x + y < cut || (255 - x) + y < cut || x + (191 - y) < cut || (255 - x) + (191 - y) < cut) continue;
            img.At(x, y) = StoneAt(x, y, 0.32f);
        }
    GoldBorder(img, 3, 3, 250, 186, 4);
    const std::string heading = "PAUSED";
    BigText(img, (256 - BigTextWidth(heading)) / 2, 14, heading, kGold);
    for (int e = 0; e < 6; ++e) {
        double cursorTop = 0.28 + 0.08 * e;  // view fraction
        double centre = cursorTop + 0.0708 / 2;
        int y = static_cast<int>((centre - 0.1) / 0.8 * 192 + 0.5) - 7;
        int x = static_cast<int>((0.3 - 0.1) / 0.8 * 256 + 0.5);
        // A recessed slot behind each entry.
        img.Fill(x - 4, y - 2, 150, 19, RampColour(kStone, 3));
        BigText(img, x, y, kMenuEntries[e], kLemon);
    }
    return img;
}

Image Cursor() {
    Image img(24, 16, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            int dy = std::abs(2 * y - 15);
            bool head = x >= 10 && (x - 10) * 15 <= (15 - dy) * 13 / 1 && dy <= 15;
            bool shaft = x < 12 && dy <= 5;
            if (head || shaft) img.At(x, y) = RampColour(kGold, y < 8 ? 15 - dy / 4 : 10 - dy / 4);
        }
    return img;
}

// The status bar, drawn over the bottom 0.055 of the view: dark stone with
// gold rivets and sunken boxes where the play screen writes the timer
// (x 0.13), the ingots (0.625), the lives (0.787) and the level (0.8937).
Image StatusBar() {
    Image img(320, 14);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 320; ++x) img.At(x, y) = StoneAt(x, y + 5, 0.22f);
    for (int x = 0; x < 320; ++x) {
        img.At(x, 0) = RampColour(kGold, 9);
        img.At(x, 13) = RampColour(kGold, 4);
    }
    auto box = [&](double fx, int chars, const std::string& label, int labelX) {
        int x = static_cast<int>(fx * 320);
        img.Fill(x - 2, 3, chars * 4 + 3, 9, RampColour(kStone, 1));
        for (int i = x - 2; i < x + chars * 4 + 1; ++i) img.Put(i, 11, RampColour(kStone, 6));
        SmallText(img, labelX, 5, label, RampColour(kGold, 12));
    };
    box(0.13, 5, "TIME", 22);
    box(0.625, 2, "GOLD", 182);
    box(0.787, 2, "LIFE", 233);
    box(0.8937, 7, "LVL", 271);
    for (int x : {6, 80, 120, 160, 316}) Rivet(img, x, 7);
    return img;
}

Image Radar() {
    Image img(50, 50, 0);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) {
            float dx = static_cast<float>(x) - 24.5f, dy = static_cast<float>(y) - 24.5f;
            float d = std::sqrt(dx * dx + dy * dy);
            if (d > 24.5f) continue;
            std::uint8_t c = RampColour(kLeaf, 2 + static_cast<int>((24.5f - d) / 8));
            if (d > 22.5f) c = RampColour(kGold, 10);
            else if (std::abs(d - 16) < 0.5f || std::abs(d - 8) < 0.5f || x == 24 || y == 24) c = RampColour(kGrass, 8);
            img.At(x, y) = c;
        }
    // The hero's own mark in the centre, pointing up (ahead).
    img.Put(24, 22, GreyColour(13));
    img.Fill(23, 23, 3, 2, GreyColour(13));
    return img;
}

Image Dot(std::uint8_t bright, std::uint8_t dark) {
    Image img(4, 4, 0);
    img.Fill(1, 0, 2, 4, bright);
    img.Fill(0, 1, 4, 2, bright);
    img.At(2, 2) = dark;
    return img;
}

// A 32 x 32 tile for the title background: gold-edged diamonds on deep stone.
Image Mosaic() {
    Image img(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            int d = std::abs(x - 16) + std::abs(y - 16);
            std::uint8_t c = RampColour(kStone, 3 + static_cast<int>(Hash(x, y, 5) % 2));
            if (d == 14 || d == 13) c = RampColour(kGold, x < 16 ? 11 : 7);
            else if (d < 13) c = RampColour(kEarth, 3 + (d < 6 ? 2 : 0));
            if (d < 3) c = RampColour(kGold, 13);
            img.At(x, y) = c;
        }
    return img;
}

// A plain dark square: stretched and drawn part see-through, it darkens what
// lies behind text (the end credits, the title's Continue lines).
Image Shade() { return Image(8, 8, RampColour(kStone, 0)); }

// Font pictures: glyph i of codes 32..131 in cell (i % perRow, i / perRow).
// With cells 4 x 8 and a 64-pixel-wide picture the cutter takes 16 glyphs
// a row; with cells 9 x 16 and 90 pixels it takes 10.
Image SmallFont() {
    Image img(64, 56, 0);
    for (int i = 0; i < kGlyphCount; ++i) {
        int cx = (i % 16) * 4, cy = (i / 16) * 8;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x)
                if (SmallBit(kFirstGlyph + i, x, y)) img.At(cx + x, cy + 1 + y) = GreyColour(13);
    }
    return img;
}

Image BigFont() {
    Image img(90, 160, 0);
    for (int i = 0; i < kGlyphCount; ++i) {
        int cx = (i % 10) * 9, cy = (i / 10) * 16;
        std::string one(1, static_cast<char>(kFirstGlyph + i));
        for (int py = 0; py < 15; ++py)
            for (int px = 0; px < 8; ++px) {
                int code = kFirstGlyph + i;
                if (BigPixel(code, px, py)) img.At(cx + px, cy + py) = RampColour(kGold, 15 - py / 3);
                else if (BigPixel(code, px, py - 1)) img.At(cx + px, cy + py) = RampColour(kEarth, 1);
            }
    }
    return img;
}

}  // namespace

Image LogoImage() { return Logo(); }

void MakeInterface(Output& out, const Palette& palette) {
    auto save = [&](const std::string& name, const Image& img) { out.Write("INTERF/" + name + ".PCX", EncodePcx(img, palette)); };
    save("TQUIB", Logo());
    save("TITLE", Title());
    save("OPTION", OptionMenu());
    save("SELECT", Cursor());
    save("BARRE", StatusBar());
    save("RADAR", Radar());
    save("RADARP1", Dot(RampColour(kCrimson, 14), RampColour(kCrimson, 6)));  // an alerted sentry
    save("RADARP2", Dot(RampColour(kLemon, 14), RampColour(kGold, 6)));     // a wandering sentry
    save("RADARP3", Dot(RampColour(kSky, 14), RampColour(kWater, 6)));      // another player
    save("MOSAIC", Mosaic());
    save("SHADE", Shade());
    save("SMALFONT", SmallFont());
    save("BIGFONT", BigFont());
}

}  // namespace zq::gen
