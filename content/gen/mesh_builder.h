// Building meshes in code: boxes, lathed solids and quads with a transform
// applied to each part, so animation frames of one object come out of the same
// code with different angles and keep the same vertices in the same order.
#pragma once

#include <functional>
#include <vector>

#include "assets/mesh.h"
#include "gen.h"

namespace zq::gen {

struct Vec {
    float x = 0, y = 0, z = 0;
};
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec operator*(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// Rotations in degrees: about X (positive swings a hanging limb towards -Z,
// the way meshes face), about Y, about Z.
Vec RotateX(Vec p, float degrees);
Vec RotateY(Vec p, float degrees);
Vec RotateZ(Vec p, float degrees);

// How a face is drawn.
struct Style {
    std::uint16_t material = 0;
    std::uint16_t kind = 3;
    std::uint16_t twoSided = 0;
    std::uint16_t transparency = 0;
};
inline Style Textured(int slot) { return {static_cast<std::uint16_t>(slot), 0, 0, 0}; }
inline Style Keyed(int slot) { return {static_cast<std::uint16_t>(slot), 1, 1, 0}; }
inline Style Flat(std::uint8_t colour) { return {colour, 3, 0, 0}; }
inline Style TwoSided(Style s) {
    s.twoSided = 1;
    return s;
}
inline Style Translucent(Style s, int percent) {
    s.transparency = static_cast<std::uint16_t>(percent);
    return s;
}

class MeshBuilder {
public:
    // Applied to every vertex added after it is set (identity by default).
    std::function<Vec(Vec)> transform;

    // A quad given as seen from outside: top-left, top-right, bottom-right,
    // bottom-left.  `outward` is the side it must face; the winding is fixed
    // up when the corners were given the other way round.
    void Quad(Vec tl, Vec tr, Vec br, Vec bl, Vec outward, Style style);
    void Triangle(Vec a, Vec b, Vec c, Vec outward, Style style);
    // An axis-aligned box; `top` and `bottom` styles default to `sides`.
    void Box(Vec lo, Vec hi, Style sides);
    void Box(Vec lo, Vec hi, Style sides, Style top, Style bottom);
    // A solid of revolution about Y through the profile points (radius, y),
    // bottom to top, with `segments` sides, starting at `startDegrees`.
    void Lathe(const std::vector<std::pair<float, float>>& profile, int segments, Style style, float startDegrees = 0,
               bool capBottom = true, bool capTop = true, Vec centre = {});

    std::size_t VertexCount() const { return points_.size(); }
    Mesh Finish() const;

private:
    int Add(Vec p);
    std::vector<Vec> points_;
    std::vector<MeshFace> faces_;
};

}  // namespace zq::gen
