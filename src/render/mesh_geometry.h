// Geometry both back ends share: rotations in game angle units, placing a
// mesh's vertices, the back-to-front sort and a sprite's directional image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/mesh.h"

namespace zq {

// Eye-space coordinates are kept within this range so that every product of
// the software triangle set-up (the plane constant is the largest, below 2^60)
// fits 64 bits, whatever a mesh file holds.  1024 cells each way; the view
// needs 13.
inline constexpr std::int32_t kEyeLimit = 1 << 19;

struct Vec3i {
    std::int32_t x = 0, y = 0, z = 0;
};

// Row-major 3 x 3 rotation.
struct Matrix3 {
    std::array<std::array<float, 3>, 3> m{};
};

// The rotation for (yaw, pitch, roll), each in 1/32768 of a turn.
Matrix3 RotationMatrix(int yaw, int pitch, int roll);
// Angle units to radians the way every part of the game does it (3.1415, not pi).
float AngleToRadians(int angle);
// Rotates and rounds to the nearest integers (ties to even), within kEyeLimit.
Vec3i Rotate(const Matrix3& matrix, double x, double y, double z);

// The vertices of a mesh turned by the object's angles (untouched when all
// three are 0), into `out`, which grows to the largest mesh seen and never
// shrinks.  Returns how many vertices the mesh really has: the shortest of
// its three coordinate arrays.
std::size_t RotateMeshVertices(const Mesh& mesh, int pitch, int roll, int yaw, std::vector<Vec3i>& out);

// True when a triangle face's three corners lie within `count` vertices.
inline bool FaceCornersValid(const MeshFace& face, std::size_t count) {
    return face.a < count && face.b < count && face.c < count;
}

// The image a sprite shows when its slot holds the views first..last around
// the object: chosen by the direction (dx, dz) from the camera to the sprite,
// relative to the object's yaw.  A slot of one image (or an empty range)
// gives `first`.
std::int32_t SpriteViewImage(std::int32_t first, std::int32_t last, double dx, double dz, int yaw);

struct SortEntry {
    std::int32_t triangle = 0;
    std::int64_t key = 0;
};

// Sorts largest key first, in place (pivot: the last element of each range).
void QuickSortByKey(SortEntry* entries, int count);

}  // namespace zq
