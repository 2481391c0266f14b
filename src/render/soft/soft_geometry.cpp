// Front half of the software pipeline: camera and object matrices, eye space,
// culling, near-plane clipping, projection and sprites.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/soft/soft_renderer.h"

namespace zq {

namespace {

std::int64_t Sq(std::int64_t v) { return v * v; }

// Point on the edge from `behind` (z <= near) to `front` (z > near) at z = near,
// with the 6-bit precision factor the clipper has always used.
Vec3i ClipEdge(const Vec3i& behind, const Vec3i& front) {
    const std::int64_t dz = static_cast<std::int64_t>(front.z) - behind.z;
    const std::int64_t toNear = kNearPlane - static_cast<std::int64_t>(behind.z);
    auto along = [&](std::int32_t p1, std::int32_t p2) {
        const std::int64_t step = (64 * (static_cast<std::int64_t>(p2) - p1)) / dz;
        return static_cast<std::int32_t>(p1 + step * toNear / 64);
    };
    return {along(behind.x, front.x), along(behind.y, front.y), kNearPlane};
}

}  // namespace

int TranslucencyLevel(int objectPercent, int facePercent) {
    const int percent = std::clamp(objectPercent + facePercent, 0, 100);
    return percent * 4 / 100;
}

Vec3i SoftRenderer::ToEye(double x, double y, double z) const {
    return Rotate(cameraMatrix_, x - camera_.x, y - camera_.y, z - camera_.z);
}

void SoftRenderer::BeginFrame(int x, int y, int z, int roll, int pitch, int yaw) {
    camera_ = {x, y, z};
    cameraMatrix_ = RotationMatrix(yaw, pitch, roll);
    const float r = AngleToRadians(roll);
    cameraRollCos_ = std::cos(r);
    cameraRollSin_ = std::sin(r);
    lightCount_ = 0;
    triangleCount_ = 0;
    stats_ = {};
}

void SoftRenderer::AddLight(int x, int y, int z, int radius) {
    if (lightCount_ >= kMaxSoftLights) return;
    lights_[static_cast<std::size_t>(lightCount_++)] = {x, y, z, radius};
}

bool SoftRenderer::Project(const Vec3i& v, std::int32_t& sx, std::int32_t& sy) const {
    if (v.z <= 0) return false;
    sx = static_cast<std::int32_t>(static_cast<std::int64_t>(v.x) * fx_ / v.z + cx_);
    sy = static_cast<std::int32_t>(cy_ - static_cast<std::int64_t>(v.y) * fy_ / v.z);
    return true;
}

bool SoftRenderer::IsPointVisible(int radius, int x, int y, int z) const {
    const std::int64_t dx = static_cast<std::int64_t>(x) - camera_.x, dy = static_cast<std::int64_t>(y) - camera_.y,
                       dz = static_cast<std::int64_t>(z) - camera_.z;
    if (std::llabs(dx) < radius && std::llabs(dy) < radius && std::llabs(dz) < radius) return true;
    const Vec3i eye = ToEye(x, y, z);
    if (eye.z <= kNearPlane) return false;
    std::int32_t sx = 0, sy = 0;
    Project(eye, sx, sy);
    return sx > -cx_ && sx < xMax_ + cx_ && sy > -cx_ && sy < yMax_ + cx_;
}

bool SoftRenderer::ScreenPoint(int x, int y, int z, float& fx, float& fy) const {
    const Vec3i eye = ToEye(x, y, z);
    if (eye.z <= kNearPlane) return false;
    std::int32_t sx = 0, sy = 0;
    Project(eye, sx, sy);
    fx = static_cast<float>(sx) / static_cast<float>(std::max(1, frame_.width));
    fy = static_cast<float>(sy) / static_cast<float>(std::max(1, frame_.height));
    return true;
}

void SoftRenderer::AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient, int pitch,
                           int roll, int yaw) {
    const std::size_t count = RotateMeshVertices(mesh, pitch, roll, yaw, local_);
    if (eyeVertices_.size() < count) eyeVertices_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3i& v = local_[i];
        eyeVertices_[i] = ToEye(static_cast<double>(x) + v.x, static_cast<double>(y) + v.y,
                                static_cast<double>(z) + v.z);
    }
    objectPosition_ = {x, y, z};
    for (std::size_t k = 0; k < mesh.faces.size(); ++k) {
        const MeshFace& face = mesh.faces[k];
        const int level = TranslucencyLevel(transparency, face.transparency);
        if (face.kind == 2) {
            if (face.a < count) AddSprite(face, static_cast<int>(k), id, level, ambient, yaw);
        } else if (FaceCornersValid(face, count)) {
            AddFace(face, static_cast<int>(k), id, level, ambient);
        }
    }
}

void SoftRenderer::AddFace(const MeshFace& face, int faceIndex, int id, int level, int ambient) {
    const Vec3i& a = eyeVertices_[face.a];
    const Vec3i& b = eyeVertices_[face.b];
    const Vec3i& c = eyeVertices_[face.c];
    if (a.z <= kNearPlane && b.z <= kNearPlane && c.z <= kNearPlane) return;

    if (face.twoSided == 0) {
        const std::int64_t nx = ((std::int64_t{c.z} - b.z) * (std::int64_t{b.y} - a.y) -
                                 (std::int64_t{c.y} - b.y) * (std::int64_t{b.z} - a.z)) >> 8;
        const std::int64_t ny = ((std::int64_t{c.x} - b.x) * (std::int64_t{b.z} - a.z) -
                                 (std::int64_t{c.z} - b.z) * (std::int64_t{b.x} - a.x)) >> 8;
        const std::int64_t nz = ((std::int64_t{c.y} - b.y) * (std::int64_t{b.x} - a.x) -
                                 (std::int64_t{c.x} - b.x) * (std::int64_t{b.y} - a.y)) >> 8;
        const std::int64_t mx = (std::int64_t{a.x} + b.x + c.x) / 3;
        const std::int64_t my = (std::int64_t{a.y} + b.y + c.y) / 3;
        const std::int64_t mz = (std::int64_t{a.z} + b.z + c.z) / 3;
        if (nx * mx + ny * my + nz * mz >= 1) return;
    }

    const std::int64_t key = Sq(a.x) + Sq(a.y) + Sq(a.z) + Sq(b.x) + Sq(b.y) + Sq(b.z) + Sq(c.x) + Sq(c.y) + Sq(c.z);
    const std::array<Vec3i, 3> eye{a, b, c};

    // Order by depth: v[0] nearest the eye (smallest z).
    std::array<Vec3i, 3> v = eye;
    std::sort(v.begin(), v.end(), [](const Vec3i& l, const Vec3i& r) { return l.z < r.z; });
    auto append = [&](const std::array<Vec3i, 3>& corners) {
        AppendTriangle(eye, corners, face.material, face.corner, key, face.kind, false, ambient, id, faceIndex, level);
    };
    if (v[0].z > kNearPlane) {
        append(eye);
    } else if (v[1].z <= kNearPlane) {
        // Only v[2] is beyond the plane: pull the other two onto it.
        append({ClipEdge(v[0], v[2]), ClipEdge(v[1], v[2]), v[2]});
    } else {
        // v[0] alone is behind: the quad of its two edge points and v[1], v[2].
        const Vec3i p1 = ClipEdge(v[0], v[1]);
        const Vec3i p2 = ClipEdge(v[0], v[2]);
        append({p1, v[1], v[2]});
        append({v[2], p2, p1});
    }
}

void SoftRenderer::AddSprite(const MeshFace& face, int faceIndex, int id, int level, int ambient, int yaw) {
    const Vec3i& a = eyeVertices_[face.a];
    if (a.z <= kNearPlane) return;
    const double w = face.b, h = face.c;
    const auto I = static_cast<std::int32_t>(std::nearbyint(w * cameraRollCos_));
    const auto J = static_cast<std::int32_t>(std::nearbyint(w * cameraRollSin_));
    const auto K = static_cast<std::int32_t>(std::nearbyint(h * cameraRollCos_));
    const auto L = static_cast<std::int32_t>(std::nearbyint(h * cameraRollSin_));
    const Vec3i p0{a.x - (I - J) / 2, a.y - (K + L) / 2, a.z};
    const Vec3i p1{p0.x + I, p0.y + L, a.z};          // along the width
    const Vec3i p2{p0.x + I - J, p0.y + L + K, a.z};  // opposite corner
    const Vec3i p3{p0.x - J, p0.y + K, a.z};          // along the height

    // Directional images: the slot's images are views around the object, chosen
    // by the angle the camera looks at it from, relative to the object's yaw.
    std::int32_t image = -1;
    if (textures_.slot) {
        const SoftSlot slot = textures_.slot(face.material);
        const Vec3i& local = local_[face.a];
        image = SpriteViewImage(slot.first, slot.last, static_cast<double>(objectPosition_.x) + local.x - camera_.x,
                                static_cast<double>(objectPosition_.z) + local.z - camera_.z, yaw);
    }
    const std::int64_t key = std::llabs(a.z);
    AppendTriangle({p1, p0, p3}, {p1, p0, p3}, image, 1, key, 1, true, ambient, id, faceIndex, level);
    AppendTriangle({p3, p2, p1}, {p3, p2, p1}, image, 0, key, 1, true, ambient, id, faceIndex, level);
}

void SoftRenderer::AppendTriangle(const std::array<Vec3i, 3>& eye, const std::array<Vec3i, 3>& corners,
                                  std::int32_t material, int corner, std::int64_t key, int kind, bool isImage,
                                  int ambient, int id, int faceIndex, int level) {
    std::array<std::int32_t, 3> sx{}, sy{};
    for (int i = 0; i < 3; ++i) {
        if (!Project(corners[static_cast<std::size_t>(i)], sx[static_cast<std::size_t>(i)], sy[static_cast<std::size_t>(i)]))
            return;
    }
    const auto [minX, maxX] = std::minmax({sx[0], sx[1], sx[2]});
    const auto [minY, maxY] = std::minmax({sy[0], sy[1], sy[2]});
    if (minX > xMax_ || maxX < 0 || minY > yMax_ || maxY < 0) return;
    if (triangleCount_ >= static_cast<int>(triangles_.size())) {
        ++stats_.dropped;
        return;
    }
    SoftTriangle& t = triangles_[static_cast<std::size_t>(triangleCount_++)];
    t.eye = eye;
    t.clipped = corners;
    t.sx = sx;
    t.sy = sy;
    t.material = material;
    t.corner = static_cast<std::uint8_t>(corner == 1 ? 1 : 0);
    t.key = key;
    t.kind = static_cast<std::uint16_t>(kind);
    t.isImage = isImage;
    t.ambient = ambient;
    t.id = id;
    t.face = faceIndex;
    t.level = static_cast<std::uint8_t>(level);
    t.light = {};
    ++stats_.triangles;
}

}  // namespace zq
