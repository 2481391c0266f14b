// Rotations, mesh placement, the triangle sort and sprite views for both back ends.
#include "render/mesh_geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zq {

namespace {

std::int32_t ClampEye(double v) {
    if (!(v > -kEyeLimit)) return -kEyeLimit;  // also catches NaN
    if (v > kEyeLimit) return kEyeLimit;
    return static_cast<std::int32_t>(std::nearbyint(v));
}

}  // namespace

float AngleToRadians(int angle) { return static_cast<float>(angle * 3.1415 / 16384.0); }

Matrix3 RotationMatrix(int yaw, int pitch, int roll) {
    const float p = AngleToRadians(yaw), q = AngleToRadians(pitch), r = AngleToRadians(roll);
    const float cp = std::cos(p), sp = std::sin(p), cq = std::cos(q), sq = std::sin(q), cr = std::cos(r),
                sr = std::sin(r);
    Matrix3 out;
    out.m[0] = {cp * cr + sp * sq * sr, -sr * cq, -cr * sp + cp * sq * sr};
    out.m[1] = {cp * sr - sq * cr * sp, cr * cq, -sp * sr - cp * cr * sq};
    out.m[2] = {sp * cq, sq, cp * cq};
    return out;
}

Vec3i Rotate(const Matrix3& matrix, double x, double y, double z) {
    const auto& m = matrix.m;
    return {ClampEye(m[0][0] * x + m[0][1] * y + m[0][2] * z), ClampEye(m[1][0] * x + m[1][1] * y + m[1][2] * z),
            ClampEye(m[2][0] * x + m[2][1] * y + m[2][2] * z)};
}

std::size_t RotateMeshVertices(const Mesh& mesh, int pitch, int roll, int yaw, std::vector<Vec3i>& out) {
    const std::size_t count = std::min({mesh.x.size(), mesh.y.size(), mesh.z.size()});
    if (out.size() < count) out.resize(count);  // grows with the largest mesh seen, then never again
    const bool rotated = pitch != 0 || roll != 0 || yaw != 0;
    const Matrix3 object = rotated ? RotationMatrix(yaw, pitch, roll) : Matrix3{};
    for (std::size_t i = 0; i < count; ++i) {
        Vec3i v{mesh.x[i], mesh.y[i], mesh.z[i]};
        if (rotated) v = Rotate(object, v.x, v.y, v.z);
        out[i] = v;
    }
    return count;
}

std::int32_t SpriteViewImage(std::int32_t first, std::int32_t last, double dx, double dz, int yaw) {
    const std::int64_t n = std::int64_t{last} - first + 1;
    if (n <= 1) return first;
    int theta = 0;
    if (dx == 0) {
        theta = dz < 0 ? 270 : 90;
    } else {
        theta = static_cast<int>(std::atan(dz / dx) * 180.0 / 3.1415);
        if (dx < 0) theta += 180;
        if (theta < 0) theta += 360;
    }
    std::int64_t p = (theta + 160 / n - static_cast<std::int64_t>(yaw) * 180 / 16384) % 360;
    if (p < 0) p += 360;
    return static_cast<std::int32_t>(first + n * p / 360);
}

void QuickSortByKey(SortEntry* entries, int count) {
    // Recurse into the smaller part and loop on the larger, so the stack stays
    // shallow even on already sorted lists.
    int low = 0, high = count - 1;
    while (low < high) {
        const std::int64_t pivot = entries[high].key;
        int store = low;
        for (int i = low; i < high; ++i) {
            if (entries[i].key > pivot) std::swap(entries[i], entries[store++]);
        }
        std::swap(entries[store], entries[high]);
        if (store - low < high - store) {
            QuickSortByKey(entries + low, store - low);
            low = store + 1;
        } else {
            QuickSortByKey(entries + store + 1, high - store);
            high = store - 1;
        }
    }
}

}  // namespace zq
