// The program icon: a stack of gold ingots with a sparkle on a deep blue
// rounded tile with a gold rim.  Drawn from shapes at any size (4 x 4 samples
// a pixel), so the small sizes are not blurred copies of the big one.  The
// level editor's icon is the same tile in green, a builder's trowel in place
// of the sparkle, so the two sit apart in a menu yet read as one family.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "content.h"
#include "render/png_writer.h"

namespace zq::gen {

namespace {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

struct Point {
    double x, y;
};

// Inside the convex quad a, b, c, d (either winding).
bool InQuad(Point p, Point a, Point b, Point c, Point d) {
    const Point q[4] = {a, b, c, d};
    int sign = 0;
    for (int i = 0; i < 4; ++i) {
        const Point& s = q[i];
        const Point& e = q[(i + 1) % 4];
        const double cross = (e.x - s.x) * (p.y - s.y) - (e.y - s.y) * (p.x - s.x);
        const int side = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
        if (side == 0) continue;
        if (sign == 0) sign = side;
        else if (side != sign) return false;
    }
    return true;
}

// One ingot whose front face has its bottom edge centred on (cx, base), `w` wide.
bool Ingot(Point p, double cx, double base, double w, Rgba& out) {
    const double h = w * 0.36, top = w * 0.62, depth = w * 0.2;
    const Point fl{cx - w / 2, base}, fr{cx + w / 2, base};
    const Point tl{cx - top / 2, base - h}, tr{cx + top / 2, base - h};
    const Point bl{tl.x + depth * 0.35, tl.y - depth}, br{tr.x - depth * 0.35, tr.y - depth};
    if (InQuad(p, tl, tr, br, bl)) {
        out = {255, 236, 130, 1};  // the lit top
        return true;
    }
    if (InQuad(p, fl, fr, tr, tl)) {
        // The front face darkens towards its foot; its rim catches the light.
        const double t = (base - p.y) / h;
        const bool rim = t > 0.86;
        out = rim ? Rgba{255, 214, 90, 1}
                  : Rgba{static_cast<float>(170 + 60 * t), static_cast<float>(110 + 60 * t), static_cast<float>(20 + 20 * t), 1};
        return true;
    }
    return false;
}

// A builder's trowel leaning over the stack: a steel blade and a wooden handle.
bool Trowel(Point p, Rgba& out) {
    const Point tip{0.58, 0.40}, left{0.64, 0.22}, right{0.80, 0.34}, heel{0.73, 0.29};
    if (InQuad(p, tip, left, heel, right)) {
        const bool lit = (p.x - tip.x) * 0.6 + (tip.y - p.y) > 0.12;
        out = lit ? Rgba{225, 232, 240, 1} : Rgba{150, 160, 175, 1};
        return true;
    }
    // The handle runs up and right from the heel of the blade.
    const double hx = p.x - 0.73, hy = p.y - 0.29;
    const double along = hx * 0.6 - hy * 0.8, across = hx * 0.8 + hy * 0.6;
    if (along > 0.02 && along < 0.2 && std::fabs(across) < 0.028) {
        out = {150, 90, 40, 1};
        return true;
    }
    return false;
}

Rgba Sample(double u, double v, bool editor) {
    // The rounded tile: signed distance to a box with round corners.
    const double margin = 0.03, radius = 0.2;
    const double qx = std::fabs(u - 0.5) - (0.5 - margin - radius), qy = std::fabs(v - 0.5) - (0.5 - margin - radius);
    const double d = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
    if (d > 0) return {};
    if (d > -0.045) {
        // Gold rim, bright on the upper left and darker on the lower right.
        const bool lit = u + v < 1.0;
        return lit ? Rgba{250, 206, 70, 1} : Rgba{180, 120, 30, 1};
    }

    Rgba colour;
    const Point p{u, v};
    if (Ingot(p, 0.5, 0.53, 0.36, colour)) return colour;
    if (Ingot(p, 0.31, 0.8, 0.36, colour)) return colour;
    if (Ingot(p, 0.69, 0.8, 0.36, colour)) return colour;

    const float t = static_cast<float>(v);
    if (editor) {
        if (Trowel(p, colour)) return colour;
        // Workshop green, lighter at the top.
        return {24 - 12 * t, 84 - 36 * t, 56 - 24 * t, 1};
    }

    // A four-pointed sparkle above the stack.
    const double sx = std::fabs(u - 0.76), sy = std::fabs(v - 0.24);
    if (std::sqrt(sx) + std::sqrt(sy) < std::sqrt(0.085)) return {255, 250, 220, 1};

    // Night-blue background, lighter at the top, like torch light from above.
    return {28 - 14 * t, 40 - 18 * t, 100 - 48 * t, 1};
}

// RGBA bytes of the icon at `size` x `size` pixels.
std::vector<std::uint8_t> DrawIcon(int size, bool editor = false) {
    constexpr int kSamples = 4;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba s =
                        Sample((x + (sx + 0.5) / kSamples) / size, (y + (sy + 0.5) / kSamples) / size, editor);
                    r += s.r * s.a;
                    g += s.g * s.a;
                    b += s.b * s.a;
                    a += s.a;
                }
            std::uint8_t* out = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            // Colours are averaged over the covered samples only (straight alpha).
            const float covered = a > 0 ? a : 1;
            out[0] = static_cast<std::uint8_t>(std::lround(std::clamp(r / covered, 0.0f, 255.0f)));
            out[1] = static_cast<std::uint8_t>(std::lround(std::clamp(g / covered, 0.0f, 255.0f)));
            out[2] = static_cast<std::uint8_t>(std::lround(std::clamp(b / covered, 0.0f, 255.0f)));
            out[3] = static_cast<std::uint8_t>(std::lround(a / (kSamples * kSamples) * 255));
        }
    return rgba;
}

}  // namespace

void MakeIcons(Output& out, const Palette& palette, const std::filesystem::path& iconDir) {
    // The window icon inside the data folder: palette index 0 is transparent.
    constexpr int kWindowIconSize = 64;
    const std::vector<std::uint8_t> window = DrawIcon(kWindowIconSize);
    Image image(kWindowIconSize, kWindowIconSize);
    for (int i = 0; i < kWindowIconSize * kWindowIconSize; ++i) {
        const std::uint8_t* px = &window[static_cast<std::size_t>(i) * 4];
        if (px[3] >= 128) image.pixels[static_cast<std::size_t>(i)] = NearestIndex(palette, px[0], px[1], px[2]);
    }
    out.Write("INTERF/ICON.PCX", EncodePcx(image, palette));

    if (iconDir.empty()) return;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        for (const bool editor : {false, true}) {
            const std::string name = editor ? kEditorIconName : kIconName;
            const std::filesystem::path path = iconDir / "hicolor" / folder / "apps" / (name + ".png");
            std::filesystem::create_directories(path.parent_path());
            std::string why;
            if (!WriteRgbaPng(path.string(), DrawIcon(size, editor).data(), size, size, why))
                throw std::runtime_error("zqgen: " + why);
        }
    }
}

}  // namespace zq::gen
