// The intro video: a torch-lit flight down a vault corridor built from our
// own textures, through the gold door into the logo.  Written as an
// uncompressed YUV4MPEG2 stream (planar 4:2:0, limited-range BT.601), which
// the game's video player reads without any codec.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "content.h"

namespace zq::gen {

namespace {

constexpr int kWidth = 240, kHeight = 180;  // 4:3, even sides for the 4:2:0 chroma
constexpr int kFps = 15;
constexpr int kFlightFrames = 48;            // the corridor
constexpr int kFrames = 90;                  // six seconds in all
constexpr int kBlendFrames = 8;              // the door's glow turning into the logo
constexpr float kFov = 0.75f;                // half the view's width at distance 1

struct Colour {
    float r = 0, g = 0, b = 0;
};

Colour operator*(Colour c, float k) { return {c.r * k, c.g * k, c.b * k}; }
Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour Mix(Colour a, Colour b, float t) { return a * (1 - t) + b * t; }

// A picture in floating-point RGB, 0..255.
struct Frame {
    std::vector<Colour> pixels = std::vector<Colour>(static_cast<std::size_t>(kWidth) * kHeight);
    Colour& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * kWidth + x]; }
};

// A texture as colours, sampled with wrapping.
struct Texture {
    std::array<Colour, 128 * 128> texels{};
    Colour At(float u, float v) const {
        const int x = static_cast<int>(std::floor(u * 128)) & 127, y = static_cast<int>(std::floor(v * 128)) & 127;
        return texels[static_cast<std::size_t>(y) * 128 + static_cast<std::size_t>(x)];
    }
};

Colour PaletteColour(const Palette& palette, std::uint8_t index) {
    return {static_cast<float>(palette.rgb[index * 3u]), static_cast<float>(palette.rgb[index * 3u + 1]),
            static_cast<float>(palette.rgb[index * 3u + 2])};
}

Texture LoadTexture(int slot, const Palette& palette) {
    const Image image = TextureImage(slot);
    Texture t;
    for (std::size_t i = 0; i < t.texels.size(); ++i) t.texels[i] = PaletteColour(palette, image.pixels[i]);
    return t;
}

// The corridor: a grid of cells seen from above, x across, z ahead.
// '#' stone wall, 'B' brick, 'D' the gold door, '.' floor.
constexpr int kMapWidth = 5, kMapLength = 16;
constexpr const char* kMap[kMapLength] = {
    "#####", "#...#", "B...B", "#...#", "B...B", "#...#", "BB.BB", "#...#",
    "#...#", "B...B", "#...#", "BB.BB", "#...#", "B...B", "#...#", "##D##",
};

char MapAt(int x, int z) {
    if (x < 0 || z < 0 || x >= kMapWidth || z >= kMapLength) return '#';
    return kMap[z][x];
}

// Torches on the walls, in cell units (x, height, z).
constexpr std::array<std::array<float, 3>, 6> kTorches = {{
    {1.05f, 0.7f, 2.5f}, {3.95f, 0.7f, 4.5f}, {1.05f, 0.7f, 8.5f}, {3.95f, 0.7f, 10.5f}, {1.05f, 0.7f, 13.5f}, {2.5f, 0.8f, 14.9f},
}};

// Warm torchlight and a little cold ambient, fading to black with distance.
float Light(float x, float y, float z, float distance) {
    float light = 0.12f;
    for (const auto& t : kTorches) {
        const float dx = x - t[0], dy = y - t[1], dz = z - t[2];
        light += 0.9f / (1 + 1.6f * (dx * dx + dy * dy + dz * dz));
    }
    return light / (1 + 0.04f * distance * distance);
}

Colour Lit(Colour texel, float light) {
    const Colour warm{1.0f, 0.82f, 0.6f};
    return {texel.r * light * (0.3f + 0.7f * warm.r), texel.g * light * (0.3f + 0.7f * warm.g),
            texel.b * light * (0.3f + 0.7f * warm.b)};
}

struct Textures {
    Texture stone, brick, floor, ceiling, door;
};

// One frame of the flight: a ray per column through the grid for the walls,
// and a ray per pixel for the floor and ceiling.
void DrawCorridor(Frame& frame, const Textures& tex, float camX, float camZ, float yaw, float bob) {
    const float dirX = std::sin(yaw), dirZ = std::cos(yaw);
    const float rightX = std::cos(yaw), rightZ = -std::sin(yaw);
    const float eye = 0.5f + bob;  // eye height, cells
    const float half = static_cast<float>(kHeight) / 2;
    const float scale = static_cast<float>(kWidth) / 2 / kFov;  // pixels per unit at distance 1
    for (int sx = 0; sx < kWidth; ++sx) {
        const float camera = (2.0f * (static_cast<float>(sx) + 0.5f) / kWidth - 1) * kFov;
        const float rx = dirX + rightX * camera, rz = dirZ + rightZ * camera;
        // Grid walk (the classic digital differential analyser).
        int cx = static_cast<int>(std::floor(camX)), cz = static_cast<int>(std::floor(camZ));
        const float deltaX = rx == 0 ? 1e30f : std::abs(1 / rx), deltaZ = rz == 0 ? 1e30f : std::abs(1 / rz);
        const int stepX = rx < 0 ? -1 : 1, stepZ = rz < 0 ? -1 : 1;
        float sideX = rx < 0 ? (camX - static_cast<float>(cx)) * deltaX : (static_cast<float>(cx) + 1 - camX) * deltaX;
        float sideZ = rz < 0 ? (camZ - static_cast<float>(cz)) * deltaZ : (static_cast<float>(cz) + 1 - camZ) * deltaZ;
        bool acrossX = false;
        char hit = '.';
        for (int guard = 0; guard < 64 && hit == '.'; ++guard) {
            if (sideX < sideZ) {
                sideX += deltaX;
                cx += stepX;
                acrossX = true;
            } else {
                sideZ += deltaZ;
                cz += stepZ;
                acrossX = false;
            }
            hit = MapAt(cx, cz);
        }
        const float distance = std::max(acrossX ? sideX - deltaX : sideZ - deltaZ, 0.05f);
        const float hitX = camX + rx * distance, hitZ = camZ + rz * distance;
        const float u = acrossX ? hitZ : hitX;
        const Texture& wall = hit == 'D' ? tex.door : (hit == 'B' ? tex.brick : tex.stone);
        const float top = half - (1 - eye) * scale / distance, bottom = half + eye * scale / distance;
        for (int sy = 0; sy < kHeight; ++sy) {
            const float py = static_cast<float>(sy) + 0.5f;
            if (py >= top && py < bottom) {
                const float v = (py - top) / (bottom - top);
                float light = Light(hitX, 1 - v, hitZ, distance) * (acrossX ? 0.85f : 1.0f);
                if (hit == 'D') light = std::max(light, 0.9f);  // the door shines
                frame.At(sx, sy) = Lit(wall.At(u, v), light);
                continue;
            }
            // Floor below the horizon, ceiling above: the distance where this
            // row meets the plane.
            const bool floor = py >= bottom;
            const float rowDistance = (floor ? eye : 1 - eye) * scale / std::max(std::abs(py - half), 0.5f);
            const float fx = camX + rx * rowDistance, fz = camZ + rz * rowDistance;
            const Texture& plane = floor ? tex.floor : tex.ceiling;
            frame.At(sx, sy) = Lit(plane.At(fx, fz), Light(fx, floor ? 0 : 1, fz, rowDistance) * (floor ? 1.0f : 0.6f));
        }
    }
}

// The logo, scaled by `zoom` around the middle of the view, over a dim stone
// wall; `shine` (0..1) sweeps a bright band across the letters.
void DrawLogo(Frame& frame, const Image& logo, const Palette& palette, const Texture& wall, float zoom, float shine,
              float drift) {
    const float width = 220 * zoom, height = width * static_cast<float>(logo.height) / static_cast<float>(logo.width);
    const float left = (kWidth - width) / 2, top = (kHeight - height) / 2 - 6;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float dx = (static_cast<float>(x) - kWidth / 2.0f) / kWidth, dy = (static_cast<float>(y) - kHeight / 2.0f) / kHeight;
            const float glow = 0.34f - 0.5f * (dx * dx + dy * dy);
            Colour c = Lit(wall.At(static_cast<float>(x) / 96 + drift, static_cast<float>(y) / 96), std::max(glow, 0.05f));
            const float lx = (static_cast<float>(x) + 0.5f - left) / width, ly = (static_cast<float>(y) + 0.5f - top) / height;
            if (lx >= 0 && lx < 1 && ly >= 0 && ly < 1) {
                const std::uint8_t index = logo.At(static_cast<int>(lx * static_cast<float>(logo.width)),
                                                   static_cast<int>(ly * static_cast<float>(logo.height)));
                if (index != 0) {
                    c = PaletteColour(palette, index);
                    const float band = std::abs(lx - (shine * 1.6f - 0.3f) - 0.3f * ly);
                    if (band < 0.06f) c = Mix(c, Colour{255, 250, 220}, 0.7f * (1 - band / 0.06f));
                }
            }
            frame.At(x, y) = c;
        }
}

std::uint8_t Byte(float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))); }

// Appends one frame in limited-range BT.601 4:2:0.
void WriteFrame(ByteWriter& w, const Frame& frame) {
    w.Raw("FRAME\n", 6);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Colour& c = frame.pixels[static_cast<std::size_t>(y) * kWidth + x];
            w.U8(Byte(16 + (65.481f * c.r + 128.553f * c.g + 24.966f * c.b) / 255));
        }
    std::vector<std::uint8_t> cb, cr;
    for (int y = 0; y < kHeight; y += 2)
        for (int x = 0; x < kWidth; x += 2) {
            Colour sum;
            for (int k = 0; k < 4; ++k) sum = sum + frame.pixels[static_cast<std::size_t>(y + k / 2) * kWidth + x + k % 2];
            const Colour c = sum * 0.25f;
            cb.push_back(Byte(128 + (-37.797f * c.r - 74.203f * c.g + 112.0f * c.b) / 255));
            cr.push_back(Byte(128 + (112.0f * c.r - 93.786f * c.g - 18.214f * c.b) / 255));
        }
    w.Raw(cb.data(), cb.size());
    w.Raw(cr.data(), cr.size());
}

float Smooth(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

}  // namespace

void MakeIntroVideo(Output& out, const Palette& palette) {
    Textures tex{LoadTexture(kTexStoneWall, palette), LoadTexture(kTexBrick, palette), LoadTexture(kTexStoneFloor, palette),
                 LoadTexture(kTexDarkStone, palette), LoadTexture(kTexIngotDoor, palette)};
    const Image logo = LogoImage();

    ByteWriter w;
    const std::string header = "YUV4MPEG2 W" + std::to_string(kWidth) + " H" + std::to_string(kHeight) + " F" +
                               std::to_string(kFps) + ":1 Ip A1:1 C420jpeg\n";
    w.Raw(header.data(), header.size());
    Frame corridor, title;
    for (int f = 0; f < kFrames; ++f) {
        const float t = static_cast<float>(f) / kFps;
        // The flight: from the corridor's start to just before the door,
        // easing in, weaving gently between the torches.
        const float flight = Smooth(static_cast<float>(f) / (kFlightFrames + kBlendFrames));
        const float z = 1.3f + flight * 12.4f;
        const float x = 2.5f + 0.35f * std::sin(t * 2.1f) * (1 - flight);
        const float yaw = 0.12f * std::sin(t * 1.7f) * (1 - flight);
        const float bob = 0.03f * std::sin(t * 9.0f) * (1 - flight);
        if (f < kFlightFrames + kBlendFrames) DrawCorridor(corridor, tex, x, z, yaw, bob);

        const int logoFrame = f - kFlightFrames;
        if (logoFrame >= 0) {
            const float zoom = 1 + 2.5f * (1 - Smooth(static_cast<float>(logoFrame) / 18));
            const float shine = static_cast<float>(logoFrame - 20) / 16;
            DrawLogo(title, logo, palette, tex.stone, zoom, shine, t * 0.05f);
        }
        Frame shown;
        for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
            if (logoFrame < 0) shown.pixels[i] = corridor.pixels[i];
            else if (logoFrame < kBlendFrames) {
                // Through a flash of gold light from the door into the logo.
                const float k = static_cast<float>(logoFrame) / kBlendFrames;
                const Colour flash{255, 214, 120};
                shown.pixels[i] = k < 0.5f ? Mix(corridor.pixels[i], flash, k * 2) : Mix(flash, title.pixels[i], k * 2 - 1);
            } else shown.pixels[i] = title.pixels[i];
            // Out of black at the start.
            if (f < 8) shown.pixels[i] = shown.pixels[i] * (static_cast<float>(f) / 8);
        }
        WriteFrame(w, shown);
    }
    out.Write("VIDEO/INTRO.Y4M", w.Buffer());
}

}  // namespace zq::gen
