// Mesh building helpers.
#include "mesh_builder.h"

#include <stdexcept>

namespace zq::gen {

namespace {
constexpr float kDegrees = 3.14159265f / 180.0f;
}

Vec RotateX(Vec p, float degrees) {
    float c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
    return {p.x, p.y * c - p.z * s, p.y * s + p.z * c};
}
Vec RotateY(Vec p, float degrees) {
    float c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
    return {p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
}
Vec RotateZ(Vec p, float degrees) {
    float c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
    return {p.x * c - p.y * s, p.x * s + p.y * c, p.z};
}

int MeshBuilder::Add(Vec p) {
    if (transform) p = transform(p);
    points_.push_back(p);
    return static_cast<int>(points_.size() - 1);
}

void MeshBuilder::Quad(Vec tl, Vec tr, Vec br, Vec bl, Vec outward, Style style) {
    // (b - a) x (c - a) must point outwards; otherwise mirror left and right.
    // The diagonals give the quad's normal even when two corners meet (a cone tip).
    if (Dot(Cross(br - tl, bl - tr), outward) < 0) {
        std::swap(tl, tr);
        std::swap(bl, br);
    }
    int a = Add(tl), b = Add(tr), c = Add(br), d = Add(bl);
    auto face = [&](int p, int q, int r, std::uint16_t corner) {
        MeshFace f;
        f.a = static_cast<std::uint16_t>(p);
        f.b = static_cast<std::uint16_t>(q);
        f.c = static_cast<std::uint16_t>(r);
        f.material = style.material;
        f.corner = corner;
        f.twoSided = style.twoSided;
        f.kind = style.kind;
        f.transparency = style.transparency;
        faces_.push_back(f);
    };
    face(a, b, c, 0);
    face(c, d, a, 1);
}

void MeshBuilder::Triangle(Vec a, Vec b, Vec c, Vec outward, Style style) {
    if (Dot(Cross(b - a, c - a), outward) < 0) std::swap(b, c);
    int i = Add(a), j = Add(b), k = Add(c);
    MeshFace f;
    f.a = static_cast<std::uint16_t>(i);
    f.b = static_cast<std::uint16_t>(j);
    f.c = static_cast<std::uint16_t>(k);
    f.material = style.material;
    f.twoSided = style.twoSided;
    f.kind = style.kind;
    f.transparency = style.transparency;
    faces_.push_back(f);
}

void MeshBuilder::Box(Vec lo, Vec hi, Style sides) { Box(lo, hi, sides, sides, sides); }

void MeshBuilder::Box(Vec lo, Vec hi, Style sides, Style top, Style bottom) {
    float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    Quad({x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}, {0, 0, -1}, sides);  // towards -Z
    Quad({x1, y1, z1}, {x0, y1, z1}, {x0, y0, z1}, {x1, y0, z1}, {0, 0, 1}, sides);   // towards +Z
    Quad({x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {x1, y0, z0}, {1, 0, 0}, sides);   // towards +X
    Quad({x0, y1, z1}, {x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {-1, 0, 0}, sides);  // towards -X
    Quad({x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}, {0, 1, 0}, top);
    Quad({x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, {0, -1, 0}, bottom);
}

void MeshBuilder::Lathe(const std::vector<std::pair<float, float>>& profile, int segments, Style style,
                        float startDegrees, bool capBottom, bool capTop, Vec centre) {
    auto at = [&](std::size_t ring, int seg) {
        float angle = (startDegrees + 360.0f * static_cast<float>(seg) / static_cast<float>(segments)) * kDegrees;
        return Vec{centre.x + profile[ring].first * std::sin(angle), centre.y + profile[ring].second,
                   centre.z + profile[ring].first * std::cos(angle)};
    };
    for (std::size_t ring = 0; ring + 1 < profile.size(); ++ring) {
        for (int s = 0; s < segments; ++s) {
            Vec b0 = at(ring, s), b1 = at(ring, s + 1), t0 = at(ring + 1, s), t1 = at(ring + 1, s + 1);
            Vec mid = (b0 + b1 + t0 + t1) * 0.25f;
            Vec out = mid - Vec{centre.x, mid.y, centre.z};
            if (profile[ring + 1].first < 1 && profile[ring].first < 1) continue;
            Quad(t0, t1, b1, b0, out, style);
        }
    }
    auto cap = [&](std::size_t ring, float dir) {
        if (profile[ring].first < 1) return;
        Vec c{centre.x, centre.y + profile[ring].second, centre.z};
        for (int s = 0; s < segments; ++s) Triangle(c, at(ring, s), at(ring, s + 1), {0, dir, 0}, style);
    };
    if (capBottom) cap(0, -1);
    if (capTop) cap(profile.size() - 1, 1);
}

Mesh MeshBuilder::Finish() const {
    if (points_.empty() || faces_.empty() || points_.size() > 65536 || faces_.size() > 65536)
        throw std::runtime_error("zqgen: mesh with no faces or too many");
    Mesh m;
    m.lastVertex = static_cast<std::uint16_t>(points_.size() - 1);
    m.lastFace = static_cast<std::uint16_t>(faces_.size() - 1);
    for (const Vec& p : points_) {
        m.x.push_back(static_cast<std::int32_t>(std::lround(p.x)));
        m.y.push_back(static_cast<std::int32_t>(std::lround(p.y)));
        m.z.push_back(static_cast<std::int32_t>(std::lround(p.z)));
    }
    m.faces = faces_;
    return m;
}

}  // namespace zq::gen
