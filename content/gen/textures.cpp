// Procedural 128 x 128 textures and the texture bank file.  Each recipe has a
// large structure (courses, planks, panels) and fine detail from noise, and
// draws only from the palette's ramps so light and fog shade it smoothly.
#include <functional>
#include <sstream>

#include "content.h"

namespace zq::gen {

namespace {

constexpr int kSize = 128;

using Painter = std::function<std::uint8_t(int x, int y)>;

Image Paint(const Painter& painter) {
    Image img(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) img.At(x, y) = painter(x, y);
    return img;
}

float Noise(int x, int y, int period, std::uint32_t seed, int octaves = 3) {
    return Fractal(static_cast<float>(x), static_cast<float>(y), period, kSize, seed, octaves);
}

// Courses of bricks or blocks: returns the block's id and the distance to its
// nearest edge (in pixels), with alternate rows shifted by half a block.
struct Block {
    int id;
    int edge;     // pixels to the nearest joint
    bool top;     // nearer the top edge than the bottom
    bool left;
};
Block Courses(int x, int y, int w, int h, int shift) {
    int row = y / h;
    int xs = (x + (row % 2) * shift) % kSize;
    int col = xs / w;
    int lx = xs % w, ly = y % h;
    int edge = std::min(std::min(lx, w - 1 - lx), std::min(ly, h - 1 - ly));
    return {row * 64 + col, edge, ly < h / 2, lx < w / 2};
}

std::uint8_t StoneFloor(int x, int y) {
    Block b = Courses(x, y, 64, 64, 32);
    float tone = 0.55f + 0.15f * Hash01(b.id, 11) + 0.25f * (Noise(x, y, 32, 1) - 0.5f) + 0.12f * (Hash01(x, y, 2) - 0.5f);
    if (b.edge < 2) return RampAt(kStone, 0.22f);
    if (b.edge < 4) tone += b.top ? 0.12f : -0.12f;
    return RampAt(kStone, tone * 0.75f);
}

std::uint8_t StoneWall(int x, int y) {
    Block b = Courses(x, y, 64, 32, 32);
    float tone = 0.5f + 0.2f * Hash01(b.id, 21) + 0.3f * (Noise(x, y, 16, 3) - 0.5f) + 0.1f * (Hash01(x, y, 4) - 0.5f);
    if (b.edge < 2) return RampAt(kStone, 0.18f);
    if (b.edge < 5) tone += b.top ? 0.14f : -0.16f;
    return RampAt(kStone, tone * 0.75f);
}

std::uint8_t BrickPixel(int x, int y, bool cracked) {
    Block b = Courses(x, y, 32, 16, 16);
    if (b.edge < 2) return RampAt(kStone, 0.35f + 0.1f * Hash01(x, y, 5));
    float tone = 0.5f + 0.22f * (Hash01(b.id, 31) - 0.5f) + 0.2f * (Noise(x, y, 8, 6, 2) - 0.5f) + 0.1f * (Hash01(x, y, 7) - 0.5f);
    if (b.edge < 3) tone += b.top ? 0.1f : -0.12f;
    if (cracked) {
        // Jagged cracks across the bricks: a few random walks drawn as dark lines.
        float crack = std::abs(Noise(x, y, 16, 8, 2) - 0.5f);
        if (crack < 0.035f) return RampAt(kEarth, 0.08f);
        if (crack < 0.06f) tone -= 0.18f;
    }
    return RampAt(kBrick, tone * 0.8f);
}

std::uint8_t Metal(int x, int y) {
    int px = x % 64, py = y % 64;
    int edge = std::min(std::min(px, 63 - px), std::min(py, 63 - py));
    float tone = 0.55f + 0.08f * (Noise(x, y, 32, 9) - 0.5f) + 0.05f * (Hash01(x / 2, y, 10) - 0.5f);
    // Brushed stripes, bevelled plate edges and four rivets per plate.
    tone += 0.04f * std::sin(static_cast<float>(y) * 0.9f);
    if (edge < 2) tone = 0.2f;
    else if (edge < 4) tone += (px < 32 && py < 32) || py < 4 || px < 4 ? 0.2f : -0.15f;
    for (int rx : {8, 55})
        for (int ry : {8, 55}) {
            int dx = px - rx, dy = py - ry;
            int d2 = dx * dx + dy * dy;
            if (d2 <= 9) tone = 0.85f - 0.08f * static_cast<float>(dx + dy);
            else if (d2 <= 14) tone = 0.25f;
        }
    return RampAt(kMetal, tone);
}

std::uint8_t Wood(int x, int y) {
    int plank = x / 32;
    int lx = x % 32;
    int shiftY = static_cast<int>(Hash(plank, 41) % 128);
    int ly = (y + shiftY) % 128;
    float grain = std::sin((static_cast<float>(lx) + 6 * Noise(x, ly, 32, 42)) * 0.8f) * 0.08f;
    float tone = 0.55f + 0.12f * (Hash01(plank, 43) - 0.5f) + grain + 0.1f * (Noise(x, y, 8, 44, 2) - 0.5f);
    if (lx < 1 || lx > 30) return RampAt(kWood, 0.12f);
    if (lx < 3) tone += 0.1f;
    if (ly == 0 || ly == 64) return RampAt(kWood, 0.15f);
    // Nail heads near each plank end.
    for (int ny : {6, 70})
        for (int nx : {8, 23}) {
            int dx = lx - nx, dy = ly - ny;
            if (dx * dx + dy * dy <= 3) return GreyColour(9 - (dx + dy > 0 ? 3 : 0));
        }
    return RampAt(kWood, tone * 0.85f);
}

std::uint8_t Earth(int x, int y) {
    float n = Noise(x, y, 16, 51);
    float tone = 0.4f + 0.35f * (n - 0.5f) + 0.15f * (Hash01(x, y, 52) - 0.5f);
    // Embedded pebbles.
    float p = Noise(x, y, 8, 53, 1);
    if (p > 0.8f) return RampAt(kStone, 0.4f + (p - 0.8f) * 2);
    return RampAt(kEarth, tone);
}

std::uint8_t GrassTop(int x, int y) {
    float n = Noise(x, y, 16, 61);
    float blade = Hash01(x, y, 62);
    float tone = 0.45f + 0.3f * (n - 0.5f) + 0.2f * (blade - 0.5f);
    if (Noise(x, y, 32, 63, 1) > 0.78f && blade > 0.7f) return RampAt(kLemon, 0.7f);  // a few flowers
    return RampAt(n > 0.55f ? kGrass : kLeaf, tone + (n > 0.55f ? 0.0f : 0.2f));
}

std::uint8_t GrassSide(int x, int y) {
    // Grass hangs over the top third in uneven tufts, earth below.
    int fringe = 26 + static_cast<int>(10 * Noise(x, 0, 8, 71, 2)) + static_cast<int>(Hash(x, 72) % 4);
    if (y < fringe) {
        float tone = 0.55f - 0.3f * static_cast<float>(y) / static_cast<float>(fringe) + 0.15f * (Hash01(x, y, 73) - 0.5f);
        return RampAt(kGrass, tone);
    }
    if (y < fringe + 2) return RampAt(kEarth, 0.15f);
    return Earth(x, y);
}

std::uint8_t Rock(int x, int y) {
    float n = Noise(x, y, 32, 81, 4);
    float ridges = 1.0f - std::abs(Noise(x, y, 32, 82, 3) - 0.5f) * 2;
    float tone = 0.25f + 0.45f * n + 0.25f * std::pow(ridges, 6.0f);
    return RampAt(kStone, tone * 0.8f);
}

std::uint8_t SoftEarth(int x, int y) {
    float clods = Noise(x, y, 8, 91, 2);
    float tone = 0.35f + 0.4f * (clods - 0.5f) + 0.2f * (Hash01(x, y, 92) - 0.5f);
    if (clods < 0.3f) return RampAt(kEarth, 0.12f);  // loose crumbs, dark gaps between
    // Roots in the soil.
    if (std::abs(Noise(x, y, 32, 93, 2) - 0.5f) < 0.015f) return RampAt(kWood, 0.45f);
    return RampAt(kEarth, tone + 0.15f);
}

// A frame with a cross brace: the wooden crate and the steel one.
std::uint8_t CratePixel(int x, int y, int ramp) {
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    float tone = 0.5f + 0.1f * (Noise(x, y, 16, 101) - 0.5f);
    if (ramp == kWood) tone += 0.05f * std::sin(static_cast<float>(x) * 0.7f + 5 * Noise(x, y, 32, 102));
    if (edge < 2) return RampAt(ramp, 0.1f);
    if (edge < 14) return RampAt(ramp, tone + (edge < 4 ? 0.2f : 0.1f));
    // Two diagonal braces.
    int d1 = std::abs(x - y), d2 = std::abs(x + y - 127);
    if (d1 < 9 || d2 < 9) return RampAt(ramp, tone + 0.12f - (std::min(d1, d2) > 6 ? 0.15f : 0.0f));
    if (edge < 16) return RampAt(ramp, 0.15f);
    return RampAt(ramp, tone - 0.12f);
}

// The emblem shared by key blocks, sensors and the sensor door: a diamond
// with a ring, so players pair them at a glance.
bool Emblem(int x, int y, int cx, int cy, int size, bool* rim) {
    int d = std::abs(x - cx) + std::abs(y - cy);
    int r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    *rim = d == size || d == size - 1 || (r2 >= (size + 8) * (size + 8) - 2 * (size + 8) && r2 <= (size + 8) * (size + 8));
    return d < size - 1;
}

std::uint8_t KeyBlock(int x, int y) {
    bool rim = false;
    bool inside = Emblem(x, y, 64, 64, 26, &rim);
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    if (edge < 3) return RampAt(kWater, 0.2f);
    if (rim) return RampAt(kSky, 0.95f);
    if (inside) return RampAt(kSky, 0.55f + 0.3f * (1 - static_cast<float>(std::abs(x - 64) + std::abs(y - 64)) / 26));
    return RampAt(kWater, 0.35f + 0.1f * (Noise(x, y, 16, 111) - 0.5f) + (edge < 6 ? 0.15f : 0));
}

std::uint8_t Sensor(int x, int y) {
    bool rim = false;
    bool inside = Emblem(x, y, 64, 64, 26, &rim);
    std::uint8_t base = StoneFloor(x, y);
    if (rim) return RampAt(kSky, 0.85f);
    if (inside) return RampAt(kWater, 0.15f + 0.1f * Hash01(x, y, 121));  // the empty socket
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    if (edge < 6) return RampAt(kMetal, edge < 2 ? 0.2f : 0.6f);
    return base;
}

// Door panels: a frame in `trim`, vertical boards in `body`, and a centre badge.
std::uint8_t DoorPixel(int x, int y, int body, int trim, int badge) {
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    if (edge < 10) return RampAt(trim, edge < 2 ? 0.2f : (edge < 4 ? 0.95f : 0.7f - 0.02f * static_cast<float>(edge)));
    float tone = 0.45f + 0.1f * (Noise(x, y, 16, 131 + body) - 0.5f);
    int board = (x - 10) % 27;
    if (board < 2) tone -= 0.2f;
    if (y > 40 && y < 46) return RampAt(trim, 0.6f);  // cross bands
    if (y > 82 && y < 88) return RampAt(trim, 0.6f);
    int dx = x - 64, dy = y - 64;
    if (dx * dx + dy * dy < 100) return RampAt(badge, 0.8f - 0.02f * static_cast<float>(dx + dy));
    if (dx * dx + dy * dy < 144) return RampAt(trim, 0.3f);
    return RampAt(body, tone);
}

std::uint8_t SensorDoor(int x, int y) {
    bool rim = false;
    bool inside = Emblem(x, y, 64, 64, 22, &rim);
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    if (edge < 8) return RampAt(kMetal, edge < 2 ? 0.15f : 0.65f);
    if (rim) return RampAt(kSky, 1.0f);
    if (inside) return RampAt(kSky, 0.6f);
    return RampAt(kMetal, 0.3f + 0.08f * (Noise(x, y, 16, 141) - 0.5f) + ((y / 16) % 2 ? 0.05f : 0));
}

std::uint8_t Gold(int x, int y) {
    // Polished bar: a bright diagonal glint band over warm gold.
    float glint = std::max(0.0f, 1.0f - std::abs(static_cast<float>(x + y - 100)) / 18.0f);
    float tone = 0.6f + 0.1f * (Noise(x, y, 32, 151) - 0.5f) + 0.35f * glint;
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    if (edge < 4) tone -= 0.2f;
    return RampAt(kGold, tone);
}

std::uint8_t LeverPlate(int x, int y) {
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    if (edge < 3) return RampAt(kMetal, 0.2f);
    // A slot down the middle where the handle travels, with hazard stripes.
    if (x > 56 && x < 72 && y > 16 && y < 112) return RampAt(kMetal, 0.1f);
    if (y < 14 || y > 113) return ((x + y) / 8) % 2 ? RampAt(kGold, 0.75f) : RampAt(kStone, 0.15f);
    return Metal(x, y);
}

std::uint8_t Spring(int x, int y) {
    // Coil seen from the side: slanted bright turns with dark gaps.
    float phase = static_cast<float>(y) + static_cast<float>(x) * 0.15f;
    float turn = std::sin(phase * 0.39f);
    if (turn > 0.3f) return RampAt(kMetal, 0.55f + 0.4f * turn - 0.3f * std::abs(static_cast<float>(x - 64)) / 64);
    return RampAt(kMetal, 0.12f);
}

std::uint8_t Ladder(int x, int y) {
    // Two rails and five rungs; everything else is colour key 0.
    bool rail = (x >= 8 && x < 22) || (x >= 106 && x < 120);
    bool rung = (y % 26) >= 10 && (y % 26) < 18 && x >= 8 && x < 120;
    if (!rail && !rung) return 0;
    float tone = 0.55f + 0.1f * (Noise(x, y, 8, 161) - 0.5f);
    if (rail) tone += (x % 114 < 12) ? 0.15f : -0.05f;
    if (rung && (y % 26) == 10) tone += 0.2f;
    return RampAt(kWood, tone);
}

std::uint8_t Marble(int x, int y) {
    float vein = std::abs(std::sin((static_cast<float>(x) + 40 * Noise(x, y, 32, 171, 4)) * 0.1f));
    float tone = 0.8f - 0.35f * std::pow(1 - vein, 8.0f) + 0.05f * (Hash01(x, y, 172) - 0.5f);
    return RampAt(kStone, tone);
}

std::uint8_t DarkStone(int x, int y) {
    Block b = Courses(x, y, 42, 42, 21);
    float tone = 0.3f + 0.1f * Hash01(b.id, 181) + 0.15f * (Noise(x, y, 16, 182) - 0.5f);
    if (b.edge < 2) return RampAt(kStone, 0.08f);
    return RampAt(kStone, tone);
}

std::uint8_t Spikes(int x, int y) {
    // A row of steel teeth on a dark base, tips catching the light.
    int lx = x % 32;
    int height = 127 - std::abs(lx - 16) * 8;
    if (y < 127 - height + 6 && y > 0) {
        if (y > 127 - height) return RampAt(kMetal, 0.5f + (lx < 16 ? 0.35f : -0.05f) - static_cast<float>(y) / 400.0f);
        return 0;
    }
    if (y >= 127 - height) return RampAt(kMetal, 0.5f + (lx < 16 ? 0.35f : -0.05f) - static_cast<float>(y) / 400.0f);
    return RampAt(kCrimson, 0.2f);
}

std::uint8_t TimerFace(int x, int y) {
    int dx = x - 64, dy = y - 64;
    int r2 = dx * dx + dy * dy;
    if (r2 > 60 * 60) return RampAt(kMetal, 0.3f);
    if (r2 > 52 * 52) return RampAt(kGold, 0.8f);
    // Twelve ticks and two hands.
    float angle = std::atan2(static_cast<float>(dy), static_cast<float>(dx));
    float tick = std::fmod(angle + 6.2831853f, 0.5235988f);
    if (r2 > 42 * 42 && (tick < 0.08f || tick > 0.44f)) return RampAt(kStone, 0.1f);
    if (std::abs(dx) < 3 && dy < 0 && dy > -38) return RampAt(kCrimson, 0.5f);
    if (std::abs(dy) < 3 && dx > 0 && dx < 28) return RampAt(kStone, 0.1f);
    return RampAt(kLemon, 0.85f);
}

std::uint8_t Heart(int x, int y) {
    float fx = (static_cast<float>(x) - 64) / 44.0f, fy = (64 - static_cast<float>(y)) / 44.0f + 0.25f;
    float v = std::pow(fx * fx + fy * fy - 1, 3.0f) - fx * fx * fy * fy * fy;
    if (v <= 0) return RampAt(kCrimson, 0.7f + 0.3f * std::max(0.0f, -fx - fy) * 0.6f);
    if (v < 0.06f) return RampAt(kCrimson, 0.2f);
    return RampAt(kLemon, 0.35f + 0.1f * Noise(x, y, 16, 191));
}

std::uint8_t Lamp(int x, int y) {
    int dx = x - 64, dy = y - 64;
    float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
    if (d < 24) return RampAt(kLemon, 1.0f - d / 80.0f);
    // Rays around the bulb.
    float angle = std::atan2(static_cast<float>(dy), static_cast<float>(dx));
    if (d < 56 && std::cos(angle * 8) > 0.7f) return RampAt(kGold, 0.9f - d / 120.0f);
    return RampAt(kMetal, 0.2f + 0.1f * Noise(x, y, 16, 201));
}

std::uint8_t SkyPixel(int x, int y) {
    float cloud = Noise(x, y, 64, 211, 4);
    float tone = 0.55f + 0.35f * static_cast<float>(y) / 128.0f;
    if (cloud > 0.6f) return GreyColour(static_cast<int>(10 + (cloud - 0.6f) * 10));
    return RampAt(kSky, tone);
}

std::uint8_t Leaves(int x, int y) {
    float n = Noise(x, y, 8, 221, 3);
    float leaf = Noise(x, y, 4, 222, 1);
    if (n < 0.35f) return RampAt(kLeaf, 0.12f);
    return RampAt(leaf > 0.5f ? kGrass : kLeaf, 0.3f + 0.5f * (n - 0.35f) + 0.2f * leaf);
}

// The deep halls: slate paving, basalt columns, mossy brick, a tiled floor,
// copper plating gone green at the rivets and a carved frieze.
std::uint8_t Slate(int x, int y) {
    // Large square flags, each split once by a shallow diagonal crack.
    Block b = Courses(x, y, 64, 64, 0);
    float tone = 0.42f + 0.14f * Hash01(b.id, 251) + 0.18f * (Noise(x, y, 16, 252) - 0.5f);
    float layers = std::sin((static_cast<float>(x) * 0.3f + static_cast<float>(y)) * 0.35f + 6 * Noise(x, y, 32, 253));
    tone += 0.05f * layers;
    if (b.edge < 2) return RampAt(kViolet, 0.1f);
    if (b.edge < 4) tone += b.top ? 0.1f : -0.1f;
    int lx = x % 64, ly = y % 64;
    if (Hash01(b.id, 254) > 0.5f && std::abs(lx - ly - static_cast<int>(8 * Noise(x, y, 8, 255))) < 1) return RampAt(kViolet, 0.15f);
    return RampAt(kViolet, tone * 0.6f);
}

std::uint8_t Basalt(int x, int y) {
    // Upright columns of uneven width, lit on the left edge, shaded on the right.
    static const int edges[] = {0, 22, 40, 66, 84, 108, 128};
    int col = 0;
    while (x >= edges[col + 1]) ++col;
    int w = edges[col + 1] - edges[col], lx = x - edges[col];
    int joint = (y + col * 37) % 64;
    float tone = 0.35f + 0.12f * Hash01(col, 261) + 0.15f * (Noise(x, y, 16, 262) - 0.5f);
    if (lx < 2 || joint < 2) return GreyColour(1);
    if (lx < 5) tone += 0.15f;
    if (w - lx < 5) tone -= 0.12f;
    if (joint < 5) tone -= 0.08f;
    return RampAt(kMetal, tone * 0.7f);
}

std::uint8_t MossBrick(int x, int y) {
    // Brick courses with moss hanging from the joints, heavier towards the bottom.
    Block b = Courses(x, y, 32, 16, 16);
    float moss = Noise(x, y, 16, 271) + 0.35f * static_cast<float>(y) / 128.0f;
    if (b.edge < 2) return moss > 0.7f ? RampAt(kLeaf, 0.35f) : RampAt(kStone, 0.25f);
    if (moss > 0.78f && Hash01(x, y, 272) > 0.3f) return RampAt(kGrass, 0.3f + 0.3f * Hash01(x, y, 273));
    float tone = 0.45f + 0.2f * Hash01(b.id, 274) + 0.1f * (Noise(x, y, 8, 275) - 0.5f);
    if (b.edge < 3) tone += b.top ? 0.1f : -0.1f;
    return RampAt(kBrick, tone * 0.8f);
}

std::uint8_t Tiles(int x, int y) {
    // Sandstone flags laid in a basket weave: pairs of long slabs that turn a
    // quarter from one square to the next, joints dark, edges a little worn.
    int sx = x / 32, sy = y / 32;
    int lx = x % 32, ly = y % 32;
    bool across = (sx + sy) % 2 == 0;
    int along = across ? ly : lx;           // which of the two slabs
    int slab = along / 16;
    int u = across ? lx : ly, v = along % 16;
    int edge = std::min(std::min(u, 31 - u), std::min(v, 15 - v));
    std::uint32_t id = static_cast<std::uint32_t>((sy * 4 + sx) * 2 + slab);
    if (edge < 1) return RampAt(kEarth, 0.18f);
    float tone = 0.62f + 0.12f * (Hash01(id, 281) - 0.5f) + 0.12f * (Noise(x, y, 16, 282) - 0.5f) +
                 0.05f * (Hash01(x, y, 283) - 0.5f);
    if (edge < 3) tone += (across ? v : u) < 8 ? 0.06f : -0.08f;
    return RampAt(kEarth, tone);
}

std::uint8_t Plaster(int x, int y) {
    // A timber-framed wall: dark oak posts and a rail round pale lime plaster
    // that has flaked here and there to show the brick behind it.
    int post = x % 64;
    bool timber = post < 8 || (y >= 58 && y < 68);
    if (timber) {
        float grain = 0.3f + 0.12f * std::sin(static_cast<float>(post < 8 ? y : x) * 0.5f + 4 * Noise(x, y, 16, 301));
        if (post == 0 || post == 7 || y == 58 || y == 67) return RampAt(kWood, 0.12f);
        return RampAt(kWood, grain);
    }
    float flake = Noise(x, y, 16, 302, 3);
    if (flake > 0.8f) return BrickPixel(x, y, false);
    if (flake > 0.77f) return RampAt(kStone, 0.45f);
    float tone = 0.8f + 0.08f * (Noise(x, y, 32, 303) - 0.5f) + 0.04f * (Hash01(x, y, 304) - 0.5f);
    return RampAt(kStone, tone);
}

std::uint8_t Cobbles(int x, int y) {
    // Rounded cobbles in offset rows, each domed (lit from above) and set in dark sand.
    int row = y / 16;
    int xs = (x + (row % 2) * 8 + static_cast<int>(4 * Hash01(row, 311))) % kSize;
    int col = xs / 16;
    float cx = static_cast<float>(xs % 16) - 7.5f, cy = static_cast<float>(y % 16) - 7.5f;
    float r = std::sqrt(cx * cx * 1.1f + cy * cy);
    std::uint32_t id = static_cast<std::uint32_t>(row * 16 + col);
    if (r > 7.0f + 1.2f * (Noise(x, y, 8, 312, 2) - 0.5f)) return RampAt(kEarth, 0.18f + 0.1f * Hash01(x, y, 313));
    float tone = 0.45f + 0.2f * Hash01(id, 314) - 0.03f * cy - 0.02f * r + 0.08f * (Noise(x, y, 8, 315) - 0.5f);
    return RampAt(kStone, tone);
}

std::uint8_t Sandstone(int x, int y) {
    // Large ashlar blocks of warm sandstone in courses of two heights, with
    // the soft horizontal bedding lines the stone is cut along.
    Block b = y < 48 ? Courses(x, y, 64, 48, 32) : Courses(x, y - 48, 64, 80, 24);
    if (y >= 48) b.id += 1000;
    float bedding = std::sin(static_cast<float>(y) * 0.5f + 6 * Noise(x, y, 32, 321));
    float tone = 0.72f + 0.14f * (Hash01(b.id, 322) - 0.5f) + 0.14f * (Noise(x, y, 16, 323) - 0.5f) + 0.02f * bedding;
    if (b.edge < 2) return RampAt(kEarth, 0.3f);
    if (b.edge < 4) tone += b.top ? 0.08f : -0.1f;
    // A sandy grain: some grains are the grey of the stone, the rest its warm tan.
    if (Hash01(x, y, 324) > 0.6f) return RampAt(kStone, tone);
    return RampAt(kEarth, tone + 0.1f);
}

std::uint8_t Beams(int x, int y) {
    // A ceiling seen from below: heavy beams across dark boards, iron straps at the joints.
    int beam = y % 64;
    if (beam < 14) {
        if (beam == 0 || beam == 13) return RampAt(kWood, 0.08f);
        if (x % 64 < 6) return RampAt(kMetal, 0.3f + (beam < 7 ? 0.15f : 0.0f));
        return RampAt(kWood, 0.32f + 0.1f * std::sin(static_cast<float>(x) * 0.4f + 3 * Noise(x, y, 16, 331)) +
                                 (beam < 4 ? 0.08f : 0.0f));
    }
    int board = x / 16;
    if (x % 16 == 0) return RampAt(kWood, 0.05f);
    float grain = 0.16f + 0.08f * Hash01(board, 332) + 0.05f * std::sin(static_cast<float>(y) * 0.6f + 5 * Noise(x, y, 16, 333));
    return RampAt(kWood, grain);
}

std::uint8_t Copper(int x, int y) {
    // Four riveted plates; verdigris creeps out from the rivets and seams.
    int lx = x % 64, ly = y % 64;
    int edge = std::min(std::min(lx, 63 - lx), std::min(ly, 63 - ly));
    int rx = std::min(lx, 63 - lx) - 6, ry = std::min(ly, 63 - ly) - 6;
    bool rivet = rx * rx + ry * ry < 9;
    if (rivet) return RampAt(kGold, 0.8f - (rx + ry > 0 ? 0.25f : 0.0f));
    float green = Noise(x, y, 16, 291) - 0.02f * static_cast<float>(edge);
    if (edge < 2) return RampAt(kWood, 0.15f);
    if (green > 0.62f) return RampAt(kWater, 0.4f + 0.4f * (green - 0.62f));
    float tone = 0.5f + 0.15f * (Noise(x, y, 32, 292) - 0.5f) + 0.06f * std::sin(static_cast<float>(y) * 0.8f);
    return RampAt(kWood, tone + 0.2f);
}

std::uint8_t Runes(int x, int y) {
    // Dark stone with one band of carved signs across the middle, picked out in gold.
    float tone = 0.3f + 0.12f * (Noise(x, y, 16, 301) - 0.5f);
    if (y < 28 || y > 99) {
        if (y < 24 || y > 103) return RampAt(kStone, tone);
        return RampAt(kGold, 0.45f);
    }
    int sign = x / 32, lx = x % 32 - 16, ly = y - 64;
    int shape = static_cast<int>(Hash01(sign, 302) * 4);
    bool carved = false;
    if (std::abs(lx) < 12 && std::abs(ly) < 26) {
        switch (shape) {
            case 0: carved = std::abs(lx) < 2 || std::abs(std::abs(ly) - 20) < 2; break;  // a pillar with caps
            case 1: carved = std::abs(lx * lx + ly * ly / 4 - 64) < 16; break;              // an oval eye
            case 2: carved = std::abs(lx - ly / 2) < 2 || std::abs(lx + ly / 2) < 2; break;  // a cross of slants
            default: carved = std::abs(ly) < 2 || (std::abs(lx) < 2 && ly < 0); break;      // a T
        }
    }
    if (carved) return RampAt(kLemon, 0.75f + 0.1f * Hash01(x, y, 303));
    return RampAt(kStone, tone - 0.08f);
}

// Animated liquids: the pattern is scrolled and its noise phase shifted per
// frame; both wrap, so the loop of frames is seamless.
std::uint8_t WaterFrame(int x, int y, int frame) {
    int shift = frame * kSize / kAnimFrames;
    float a = Noise(x + shift, y, 32, 231, 3);
    float b = Noise(x, y + shift, 32, 232, 3);
    float wave = std::sin((a + b) * 9.0f);
    float tone = 0.45f + 0.2f * wave;
    if (wave > 0.92f) return RampAt(kSky, 0.95f);
    return RampAt(kWater, tone);
}

std::uint8_t LavaFrame(int x, int y, int frame) {
    int shift = frame * kSize / kAnimFrames;
    float a = Noise(x, y + shift, 32, 241, 3);
    float b = Noise(x + shift, y, 16, 242, 2);
    float heat = a * 0.7f + b * 0.3f;
    if (heat < 0.38f) return RampAt(kBrick, 0.15f + heat * 0.3f);  // cooling crust
    if (heat > 0.66f) return RampAt(kLemon, 0.6f + (heat - 0.66f) * 1.2f);
    return RampAt(kLava, 0.45f + (heat - 0.38f) * 1.6f);
}

std::uint8_t GlowFrame(int x, int y, int frame) {
    int edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    float pulse = 0.5f + 0.5f * std::sin(static_cast<float>(frame) * 6.2831853f / kAnimFrames);
    if (edge < 6) return RampAt(kMetal, edge < 2 ? 0.15f : 0.5f);
    float lines = std::abs(std::sin(static_cast<float>(x + y) * 0.1f + static_cast<float>(frame) * 1.047f));
    float tone = 0.35f + 0.35f * pulse * (1 - static_cast<float>(std::abs(x - 64) + std::abs(y - 64)) / 128.0f) + 0.2f * lines;
    return RampAt(kSky, tone);
}

struct Recipe {
    int slot;
    const char* file;
    Painter painter;
};

std::vector<Recipe> Recipes() {
    return {
        {kTexStoneFloor, "FLOOR", StoneFloor},
        {kTexStoneWall, "STONE", StoneWall},
        {kTexBrick, "BRICK", [](int x, int y) { return BrickPixel(x, y, false); }},
        {kTexMetal, "METAL", Metal},
        {kTexWood, "WOOD", Wood},
        {kTexEarth, "EARTH", Earth},
        {kTexGrassTop, "GRASS", GrassTop},
        {kTexGrassSide, "GRASSIDE", GrassSide},
        {kTexRock, "ROCK", Rock},
        {kTexCrackedBrick, "CRACKED", [](int x, int y) { return BrickPixel(x, y, true); }},
        {kTexSoftEarth, "SOFTSOIL", SoftEarth},
        {kTexCrate, "CRATE", [](int x, int y) { return CratePixel(x, y, kWood); }},
        {kTexKeyBlock, "KEYBLOCK", KeyBlock},
        {kTexSensor, "SENSOR", Sensor},
        {kTexIngotDoor, "DOORGOLD", [](int x, int y) { return DoorPixel(x, y, kWood, kGold, kGold); }},
        {kTexLeverDoor, "DOORIRON", [](int x, int y) { return DoorPixel(x, y, kMetal, kStone, kCrimson); }},
        {kTexSensorDoor, "DOORKEY", SensorDoor},
        {kTexGold, "GOLD", Gold},
        {kTexLeverPlate, "LEVER", LeverPlate},
        {kTexSpring, "SPRING", Spring},
        {kTexLadder, "LADDER", Ladder},
        {kTexMetalCrate, "STEELBOX", [](int x, int y) { return CratePixel(x, y, kMetal); }},
        {kTexMarble, "MARBLE", Marble},
        {kTexDarkStone, "DARKSTON", DarkStone},
        {kTexSpikes, "SPIKES", Spikes},
        {kTexTimer, "TIMER", TimerFace},
        {kTexHeart, "HEART", Heart},
        {kTexLamp, "LAMP", Lamp},
        {kTexSky, "SKY", SkyPixel},
        {kTexLeaves, "LEAVES", Leaves},
        {kTexSlate, "SLATE", Slate},
        {kTexBasalt, "BASALT", Basalt},
        {kTexMossBrick, "MOSSBRIK", MossBrick},
        {kTexTiles, "TILES", Tiles},
        {kTexCopper, "COPPER", Copper},
        {kTexRunes, "RUNES", Runes},
        {kTexPlaster, "PLASTER", Plaster},
        {kTexCobbles, "COBBLES", Cobbles},
        {kTexSandstone, "SANDSTON", Sandstone},
        {kTexBeams, "BEAMS", Beams},
    };
}

}  // namespace

Image TextureImage(int slot) {
    for (const Recipe& r : Recipes())
        if (r.slot == slot) return Paint(r.painter);
    return Image(kSize, kSize);
}

void MakeTextures(Output& out, const Palette& palette) {
    const std::vector<Recipe> recipes = Recipes();
    std::ostringstream bank;
    bank << "; Texture bank of the default content: pictures, then slots.\r\n#IMAGES\r\n";
    for (const Recipe& r : recipes) {
        std::string name = std::string("TEXTURES/") + r.file + ".PCX";
        out.Write(name, EncodePcx(Paint(r.painter), palette));
        bank << r.slot << "=" << name << "\r\n";
    }
    // Animated slots take image numbers after the still ones.
    struct Anim {
        int slot;
        const char* file;
        std::uint8_t (*frame)(int, int, int);
    };
    const Anim anims[] = {{kTexWater, "WATER", WaterFrame}, {kTexLava, "LAVA", LavaFrame}, {kTexGlow, "GLOW", GlowFrame}};
    int image = 100;
    std::ostringstream slots;
    for (const Recipe& r : recipes) slots << r.slot << "=" << r.slot << "-" << r.slot << "\r\n";
    for (const Anim& a : anims) {
        int first = image;
        for (int f = 0; f < kAnimFrames; ++f, ++image) {
            std::string name = std::string("TEXTURES/") + a.file + std::to_string(f + 1) + ".PCX";
            out.Write(name, EncodePcx(Paint([&](int x, int y) { return a.frame(x, y, f); }), palette));
            bank << image << "=" << name << "\r\n";
        }
        slots << a.slot << "=" << first << "-" << (image - 1) << "\r\n";
    }
    bank << "#TEXTURES\r\n" << slots.str();
    out.WriteText("TEXTURES.TEX", bank.str());
}

}  // namespace zq::gen
