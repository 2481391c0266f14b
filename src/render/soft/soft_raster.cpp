// Back half of the software pipeline: per-vertex lighting, the back-to-front
// sort, triangle set-up and the span filler.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "render/soft/soft_renderer.h"

namespace zq {

namespace {

// Perspective division happens once per sub-span; past this range the plane
// hit point is meaningless anyway and only risks overflow.
constexpr std::int64_t kDepthLimit = std::int64_t{1} << 40;

// Everything the span filler needs about one triangle, worked out once.
struct TriangleSetup {
    const std::uint8_t* texture = nullptr;  // null: flat
    std::uint8_t flatColour = 0;            // shaded colour of a flat triangle
    int level = 0;                          // translucency 0..4
    bool keyed = false;
    bool flip = false;
    int light = 0;
    std::int64_t ax = 0, ay = 0, az = 0;  // vertex a
    std::int64_t ux = 0, uy = 0, uz = 0;  // b - a
    std::int64_t wx = 0, wy = 0, wz = 0;  // c - b
    std::int64_t nx = 0, ny = 0, nz = 0;  // plane normal, scaled down by 128 k
    std::int64_t d = 0;                   // a . n, times 256
    int plane = 1;                        // 1 drop z, 2 drop y, 3 drop x
    std::int64_t divisor = 1;
};

struct SpanContext {
    const SoftFrame* frame = nullptr;
    int cx = 0, cy = 0, fx = 1, fy = 1, subSpan = 1, xMax = 0;
};

// Texture coordinates (0..127 each, before the per-span clamp) where the eye
// ray through pixel (x, y) meets the triangle's plane; false when the ray runs
// parallel to the plane.
bool TexelAt(const TriangleSetup& t, const SpanContext& c, std::int64_t x, std::int64_t ry, int& u, int& v) {
    const std::int64_t rx = ((x - c.cx) * 256) / c.fx;
    const std::int64_t s = t.nz * 256 + t.nx * rx + t.ny * ry;
    if (s == 0) return false;
    const std::int64_t depth = std::clamp(t.d / s, -kDepthLimit, kDepthLimit);
    const std::int64_t px = ((depth * rx) >> 8) - t.ax;
    const std::int64_t py = ((depth * ry) >> 8) - t.ay;
    const std::int64_t pz = depth - t.az;
    std::int64_t alpha = 0, beta = 0;
    switch (t.plane) {
        case 1:
            alpha = px * t.wy - py * t.wx;
            beta = t.ux * py - t.uy * px;
            break;
        case 2:
            alpha = pz * t.wx - px * t.wz;
            beta = t.uz * px - t.ux * pz;
            break;
        default:
            alpha = py * t.wz - pz * t.wy;
            beta = t.uy * pz - t.uz * py;
            break;
    }
    alpha = std::clamp<std::int64_t>(alpha / t.divisor, -1, 128);
    beta = std::clamp<std::int64_t>(beta / t.divisor, -1, 128);
    if (t.flip) {
        alpha = 127 - alpha;
        beta = 127 - beta;
    }
    u = static_cast<int>(std::clamp<std::int64_t>(alpha, 0, 127));
    v = static_cast<int>(std::clamp<std::int64_t>(beta, 0, 127));
    return true;
}

// One textured run of n pixels with 8.8 fixed-point steps.  The mode flags are
// template parameters so the common opaque case has no tests in its loop.
template <bool kKeyed, bool kBlend>
void TexturedRun(std::uint8_t* out, int n, int u0, int v0, int du, int dv, const std::uint8_t* tex,
                 const std::uint8_t* shadeRow, const std::uint8_t* blend) {
    int uf = u0 << 8, vf = v0 << 8;
    for (int i = 0; i < n; ++i) {
        const std::uint8_t texel = tex[((uf >> 8) & 127) | (((vf >> 8) & 127) << 7)];
        uf += du;
        vf += dv;
        if (kKeyed && texel == 0) continue;
        const std::uint8_t colour = shadeRow[texel];
        out[i] = kBlend ? blend[(colour << 8) | out[i]] : colour;
    }
}

// Fills row `y` between two edge positions; false abandons the half-triangle.
bool FillSpan(const TriangleSetup& t, const SpanContext& c, std::uint8_t* row, std::int64_t left,
              std::int64_t right, std::int64_t ry) {
    if (left > right) std::swap(left, right);
    if (t.level <= 2) ++right;
    if (left > c.xMax || right < 0) return true;
    left = std::max<std::int64_t>(left, 0);
    right = std::min<std::int64_t>(right, c.xMax);
    const SoftFrame& frame = *c.frame;
    const std::uint8_t* blend = frame.blend + (t.level << 16);

    if (!t.texture) {
        const std::uint8_t colour = t.flatColour;
        if (t.level == 0) {
            if (right > left) std::memset(row + left, colour, static_cast<std::size_t>(right - left));
        } else {
            const std::uint8_t* blendRow = blend + (colour << 8);
            for (std::int64_t x = left; x <= right; ++x) row[x] = blendRow[row[x]];
        }
        return true;
    }

    const std::uint8_t* shadeRow = frame.shade + (t.light << 8);
    std::int64_t x = left;
    int u0 = 0, v0 = 0;
    if (x >= right) return true;
    if (!TexelAt(t, c, x, ry, u0, v0)) return false;
    u0 = std::min(u0, 126);
    while (x < right) {
        const int n = static_cast<int>(std::min<std::int64_t>(c.subSpan, right - x));
        int u1 = 0, v1 = 0;
        if (!TexelAt(t, c, x + n, ry, u1, v1)) return false;
        const int du = static_cast<std::int16_t>(((u1 - u0) * 256) / n);
        const int dv = static_cast<std::int16_t>(((v1 - v0) * 256) / n);
        std::uint8_t* out = row + x;
        if (t.keyed) {
            if (t.level > 0) TexturedRun<true, true>(out, n, u0, v0, du, dv, t.texture, shadeRow, blend);
            else TexturedRun<true, false>(out, n, u0, v0, du, dv, t.texture, shadeRow, blend);
        } else {
            if (t.level > 0) TexturedRun<false, true>(out, n, u0, v0, du, dv, t.texture, shadeRow, blend);
            else TexturedRun<false, false>(out, n, u0, v0, du, dv, t.texture, shadeRow, blend);
        }
        x += n;
        u0 = u1;
        v0 = v1;
    }
    return true;
}

std::int64_t Sq(std::int64_t v) { return v * v; }

}  // namespace

int LightContribution(std::int64_t distance, int radius) {
    if (radius <= 0) return 0;
    const std::int64_t fall = std::min<std::int64_t>(255, (std::max<std::int64_t>(distance, 0) + 1) * 255 / radius);
    return static_cast<int>(255 - fall);
}

void SoftRenderer::LightTriangles() {
    std::array<Vec3i, kMaxSoftLights> eyeLights{};
    for (int i = 0; i < lightCount_; ++i) {
        const auto& l = lights_[static_cast<std::size_t>(i)];
        eyeLights[static_cast<std::size_t>(i)] = ToEye(l[0], l[1], l[2]);
    }
    for (int t = 0; t < triangleCount_; ++t) {
        SoftTriangle& tri = triangles_[static_cast<std::size_t>(t)];
        for (std::size_t v = 0; v < 3; ++v) {
            std::int64_t level = tri.ambient;
            for (int i = 0; i < lightCount_; ++i) {
                const Vec3i& l = eyeLights[static_cast<std::size_t>(i)];
                const double d2 = static_cast<double>(Sq(std::int64_t{tri.eye[v].x} - l.x) +
                                                      Sq(std::int64_t{tri.eye[v].y} - l.y) +
                                                      Sq(std::int64_t{tri.eye[v].z} - l.z));
                const auto distance = static_cast<std::int64_t>(std::nearbyint(std::sqrt(d2)));
                level += LightContribution(distance, lights_[static_cast<std::size_t>(i)][3]);
            }
            tri.light[v] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(level, 0, 255));
        }
    }
}

void SoftRenderer::EndFrame() {
    if (!frame_.shade || !frame_.blend || !frame_.flatRemap || frame_.pixels.empty()) return;
    LightTriangles();
    for (int i = 0; i < triangleCount_; ++i) {
        order_[static_cast<std::size_t>(i)] = {i, triangles_[static_cast<std::size_t>(i)].key};
    }
    QuickSortByKey(order_.data(), triangleCount_);
    DrawList(frame_.pixels.data(), 0);
    if (frame_.stereo && frame_.second.size() == frame_.pixels.size()) DrawList(frame_.second.data(), eyeOffset_);
}

void SoftRenderer::DrawList(std::uint8_t* target, int eyeShift) {
    for (int i = 0; i < triangleCount_; ++i) {
        const SoftTriangle& original = triangles_[static_cast<std::size_t>(order_[static_cast<std::size_t>(i)].triangle)];
        if (eyeShift == 0) {
            DrawTriangle(original, target);
            continue;
        }
        // The other eye: shifted sideways in eye space and projected again.
        SoftTriangle shifted = original;
        bool visible = true;
        for (std::size_t v = 0; v < 3; ++v) {
            shifted.eye[v].x += eyeShift;
            shifted.clipped[v].x += eyeShift;
            visible = visible && Project(shifted.clipped[v], shifted.sx[v], shifted.sy[v]);
        }
        if (visible) DrawTriangle(shifted, target);
    }
}

void SoftRenderer::DrawTriangle(const SoftTriangle& tri, std::uint8_t* target) const {
    TriangleSetup t;
    t.level = std::min<int>(tri.level, kBlendLevels - 1);
    t.light = (tri.light[0] + tri.light[1] + tri.light[2]) / 3;
    t.flip = tri.corner == 1;
    t.keyed = tri.kind == 1;

    if (tri.kind >= 3) {
        t.flatColour = ShadeOf(frame_, t.light, frame_.flatRemap[tri.material & 0xFF]);
    } else {
        std::int32_t image = tri.material;
        if (!tri.isImage) image = textures_.slot ? textures_.slot(tri.material).current : -1;
        t.texture = (image >= 0 && textures_.image) ? textures_.image(image) : nullptr;
        if (!t.texture) return;

        const Vec3i& a = tri.eye[0];
        const Vec3i& b = tri.eye[1];
        const Vec3i& c = tri.eye[2];
        t.ax = a.x, t.ay = a.y, t.az = a.z;
        t.ux = std::int64_t{b.x} - a.x, t.uy = std::int64_t{b.y} - a.y, t.uz = std::int64_t{b.z} - a.z;
        t.wx = std::int64_t{c.x} - b.x, t.wy = std::int64_t{c.y} - b.y, t.wz = std::int64_t{c.z} - b.z;
        const std::int64_t spread = Sq(t.ux) + Sq(t.uy) + Sq(t.uz) + Sq(std::int64_t{c.x} - a.x) +
                                    Sq(std::int64_t{c.y} - a.y) + Sq(std::int64_t{c.z} - a.z);
        const std::int64_t k = std::min<std::int64_t>(10, spread / 70000 + 1);
        t.nx = (t.uy * t.wz - t.uz * t.wy) / (128 * k);
        t.ny = (t.uz * t.wx - t.ux * t.wz) / (128 * k);
        t.nz = (t.ux * t.wy - t.uy * t.wx) / (128 * k);
        t.d = (t.ax * t.nx + t.ay * t.ny + t.az * t.nz) * 256;
        const std::int64_t anx = std::llabs(t.nx), any = std::llabs(t.ny), anz = std::llabs(t.nz);
        t.plane = 1;
        if (anx < any && anz < any) t.plane = 2;
        if (anz < anx && any <= anx) t.plane = 3;
        t.divisor = k * (t.plane == 1 ? t.nz : t.plane == 2 ? t.ny : t.nx);
        if (t.divisor == 0) {
            // Too small for its plane to be solved: one colour from the middle
            // of the texture.
            const std::uint8_t texel = t.texture[64 * kTextureSide + 64];
            if (t.keyed && texel == 0) return;
            t.flatColour = ShadeOf(frame_, t.light, texel);
            t.texture = nullptr;
        }
    }

    // Sort the screen corners by row.
    std::array<std::pair<std::int64_t, std::int64_t>, 3> p{{{tri.sy[0], tri.sx[0]}, {tri.sy[1], tri.sx[1]}, {tri.sy[2], tri.sx[2]}}};
    std::sort(p.begin(), p.end(), [](const auto& l, const auto& r) { return l.first < r.first; });
    const std::int64_t y0 = p[0].first, y1 = p[1].first, y2 = p[2].first;
    const std::int64_t x0 = p[0].second, x1 = p[1].second, x2 = p[2].second;
    if (y0 > yMax_ || y2 < 0 || y0 == y2) return;

    SpanContext context{&frame_, cx_, cy_, fx_, fy_, subSpan_, xMax_};
    const std::int64_t longSlope = ((x2 - x0) * 32768) / (y2 - y0);
    auto half = [&](std::int64_t yStart, std::int64_t yEnd, std::int64_t sxStart, std::int64_t sySlope) {
        if (yEnd <= yStart) return;
        const std::int64_t slope = ((sySlope - sxStart) * 32768) / (yEnd - yStart);
        const std::int64_t first = std::max<std::int64_t>(0, yStart);
        const std::int64_t stop = std::min<std::int64_t>(yEnd, yMax_);
        for (std::int64_t y = first; y < stop; ++y) {
            const std::int64_t longX = x0 + ((y - y0) * longSlope) / 32768;
            const std::int64_t shortX = sxStart + ((y - yStart) * slope) / 32768;
            const std::int64_t ry = ((cy_ - y) * 256) / fy_;
            if (!FillSpan(t, context, target + y * frame_.width, longX, shortX, ry)) return;
        }
    };
    half(y0, y1, x0, x1);
    half(y1, y2, x1, x2);
}

}  // namespace zq
