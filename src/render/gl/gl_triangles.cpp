// Mesh faces into the OpenGL back end's triangle list: rotation, camera-relative
// vertices, back-face test, sort key, alpha, colour and per-vertex darkness.
#include "render/gl/gl_triangles.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/view_shape.h"

namespace zq {

namespace {

float Abs(float v) { return v < 0 ? -v : v; }

// A key from a centroid-sum; huge or broken coordinates sort first (farthest).
std::int32_t KeyOf(float sx, float sy, float sz) {
    const float k = Abs(sx / 3) + Abs(sy / 3) + Abs(sz / 3);
    if (!(k < 2.0e9f)) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(k);
}

}  // namespace

float VertexDarkness(float x, float y, float z, int ambient, const std::array<float, 4>* lights, int lightCount) {
    float light = static_cast<float>(ambient) / 256.0f;
    for (int i = 0; i < lightCount; ++i) {
        const auto& l = lights[i];
        const float dx = x - l[0], dy = y - l[1], dz = z - l[2];
        const float d = std::nearbyint(std::sqrt(dx * dx + dy * dy + dz * dz));
        light += 1 - std::min(1.0f, (d + 1) / l[3]);
    }
    if (lightCount > 0) light = std::clamp(light, 0.0f, 1.0f);
    return 1 - light;
}

GlTriangleList::GlTriangleList() : triangles_(kMaxGlTriangles), order_(kMaxGlTriangles) {}

void GlTriangleList::SetProjection(int width, int height) {
    width_ = width;
    height_ = height;
    cx_ = width / 2;
    cy_ = height / 2;
    fy_ = height * 128 / 240;
    fx_ = IsWideFrame(width, height) ? fy_ : width * 128 / 320;  // as the software back end
}

void GlTriangleList::Begin(int x, int y, int z, int roll, int pitch, int yaw) {
    camera_ = {x, y, z};
    roll_ = roll;
    pitch_ = pitch;
    yaw_ = yaw;
    cameraMatrix_ = RotationMatrix(yaw, pitch, roll);
    count_ = 0;
    dropped_ = 0;
    lightCount_ = 0;
}

void GlTriangleList::AddLight(int x, int y, int z, int radius) {
    // A light without reach adds nothing; leaving it out also keeps the share's
    // divisor positive.
    if (lightCount_ >= kMaxGlLights || radius <= 0) return;
    lights_[static_cast<std::size_t>(lightCount_++)] = {
        static_cast<float>(static_cast<double>(x) - camera_.x), static_cast<float>(static_cast<double>(y) - camera_.y),
        static_cast<float>(static_cast<double>(z) - camera_.z), static_cast<float>(radius) + 1};
}

bool GlTriangleList::IsPointVisible(int radius, int x, int y, int z) const {
    const std::int64_t dx = static_cast<std::int64_t>(x) - camera_.x, dy = static_cast<std::int64_t>(y) - camera_.y,
                       dz = static_cast<std::int64_t>(z) - camera_.z;
    if (std::llabs(dx) < radius && std::llabs(dy) < radius && std::llabs(dz) < radius) return true;
    const Vec3i eye = Rotate(cameraMatrix_, static_cast<double>(dx), static_cast<double>(dy), static_cast<double>(dz));
    if (eye.z <= kGlNearPlane) return false;
    const std::int64_t sx = static_cast<std::int64_t>(eye.x) * fx_ / eye.z + cx_;
    const std::int64_t sy = cy_ - static_cast<std::int64_t>(eye.y) * fy_ / eye.z;
    return sx > -cx_ && sx < width_ - 1 + cx_ && sy > -cx_ && sy < height_ - 1 + cx_;
}

GlTriangle* GlTriangleList::Append() {
    if (count_ >= kMaxGlTriangles) {
        ++dropped_;
        return nullptr;
    }
    GlTriangle& t = triangles_[static_cast<std::size_t>(count_++)];
    t = GlTriangle{};
    return &t;
}

void GlTriangleList::AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient, int pitch,
                             int roll, int yaw, const Palette& flatPalette,
                             const std::function<GlSlotRange(int slot)>& slotRange) {
    const std::size_t count = RotateMeshVertices(mesh, pitch, roll, yaw, local_);
    if (vertices_.size() < count) {
        vertices_.resize(count);
        darkness_.resize(count);
    }
    const double ox = static_cast<double>(x) - camera_.x, oy = static_cast<double>(y) - camera_.y,
                 oz = static_cast<double>(z) - camera_.z;
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3i& v = local_[i];
        GlVertex& out = vertices_[i];
        out = {static_cast<float>(ox + v.x), static_cast<float>(oy + v.y), static_cast<float>(oz + v.z)};
        darkness_[i] = VertexDarkness(out.x, out.y, out.z, ambient, lights_.data(), lightCount_);
    }
    for (const MeshFace& face : mesh.faces) {
        const float alpha = std::max(0.0f, 1 - static_cast<float>(transparency + face.transparency) * 0.01f);
        if (face.kind == kFaceSprite) {
            if (face.a < count) AddSprite(face, face.a, id, alpha, x, z, yaw, slotRange);
            continue;
        }
        if (!FaceCornersValid(face, count)) continue;
        const GlVertex& a = vertices_[face.a];
        const GlVertex& b = vertices_[face.b];
        const GlVertex& c = vertices_[face.c];
        const float sx = a.x + b.x + c.x, sy = a.y + b.y + c.y, sz = a.z + b.z + c.z;
        if (face.twoSided == 0) {
            const float facing = sx * ((b.y - a.y) * (c.z - a.z) - (c.y - a.y) * (b.z - a.z)) +
                                 sy * ((b.z - a.z) * (c.x - a.x) - (c.z - a.z) * (b.x - a.x)) +
                                 sz * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
            if (facing > 0) continue;
        }
        GlTriangle* t = Append();
        if (!t) continue;  // counted as dropped
        t->v = {a, b, c};
        t->darkness = {darkness_[face.a], darkness_[face.b], darkness_[face.c]};
        t->key = KeyOf(sx, sy, sz);
        t->alpha = alpha;
        t->id = id;
        if (face.kind >= kFaceFlat) {
            // Flat colours index the flat palette; larger values wrap into it.
            const std::size_t colour = face.material & 0xFFu;
            t->flat = true;
            t->r = static_cast<float>(flatPalette.red[colour]) / 256.0f;
            t->g = static_cast<float>(flatPalette.green[colour]) / 256.0f;
            t->b = static_cast<float>(flatPalette.blue[colour]) / 256.0f;
        } else {
            t->texture = face.material;
            t->keyed = face.kind == kFaceColourKeyed;
            t->flip = face.corner != 0;
        }
    }
}

void GlTriangleList::AddSprite(const MeshFace& face, std::size_t vertex, int id, float alpha, int x, int z, int yaw,
                               const std::function<GlSlotRange(int slot)>& slotRange) {
    // A rectangle facing the screen, centred on the vertex: the camera's own
    // right and up axes (rows of its matrix) span it.
    const GlVertex centre = vertices_[vertex];
    const auto& m = cameraMatrix_.m;
    const float hw = static_cast<float>(face.b) / 2, hh = static_cast<float>(face.c) / 2;
    auto corner = [&](float u, float v) {
        return GlVertex{centre.x + u * hw * m[0][0] + v * hh * m[1][0], centre.y + u * hw * m[0][1] + v * hh * m[1][1],
                        centre.z + u * hw * m[0][2] + v * hh * m[1][2]};
    };
    // Directional images: the slot's images are views around the object,
    // chosen by the angle the camera sees it from, relative to its yaw.
    std::int32_t image = -1;
    if (slotRange) {
        const GlSlotRange range = slotRange(face.material);
        const Vec3i& local = local_[vertex];
        image = SpriteViewImage(range.first, range.last, static_cast<double>(x) + local.x - camera_.x,
                                static_cast<double>(z) + local.z - camera_.z, yaw);
    }
    if (image < 0) return;
    const float darkness = darkness_[vertex];
    const std::int32_t key = KeyOf(3 * centre.x, 3 * centre.y, 3 * centre.z);
    // Top-left, top-right, bottom-right, then bottom-right, bottom-left, top-left,
    // with texture corners (0,0) (1,0) (1,1) and their flip.
    const GlVertex tl = corner(-1, 1), tr = corner(1, 1), br = corner(1, -1), bl = corner(-1, -1);
    const std::array<std::array<GlVertex, 3>, 2> halves{{{tl, tr, br}, {br, bl, tl}}};
    for (std::size_t h = 0; h < 2; ++h) {
        GlTriangle* t = Append();
        if (!t) continue;
        t->v = halves[h];
        t->darkness = {darkness, darkness, darkness};
        t->key = key;
        t->alpha = alpha;
        t->id = id;
        t->texture = image;
        t->image = true;
        t->keyed = true;
        t->flip = h == 1;
    }
}

void GlTriangleList::Sort() {
    for (int i = 0; i < count_; ++i)
        order_[static_cast<std::size_t>(i)] = {i, triangles_[static_cast<std::size_t>(i)].key};
    QuickSortByKey(order_.data(), count_);
}

}  // namespace zq
