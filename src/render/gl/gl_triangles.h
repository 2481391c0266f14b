// The OpenGL back end's frame on the CPU side: mesh faces become camera-
// relative triangles (the camera's rotation stays in the projection) with a
// flat colour or a texture slot, an alpha and per-vertex darkness, kept in a
// fixed list and drawn back to front.  No GL calls here, so it is testable
// without a context.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "assets/mesh.h"
#include "assets/palette.h"
#include "render/mesh_geometry.h"

namespace zq {

inline constexpr int kMaxGlTriangles = 10000;  // per frame; more are dropped
inline constexpr int kMaxGlLights = 256;       // per frame; more are ignored
inline constexpr float kGlNearPlane = 1;
inline constexpr float kGlFarPlane = 100000;

struct GlVertex {
    float x = 0, y = 0, z = 0;
};

struct GlTriangle {
    std::array<GlVertex, 3> v{};            // relative to the camera, not rotated
    float r = 1, g = 1, b = 1;              // flat colour 0..1
    float alpha = 1;                        // 1 opaque
    std::array<float, 3> darkness{};        // 0: full light; 1 and beyond: fog colour
    std::int32_t key = 0;                   // larger is farther; drawn first
    std::int32_t texture = 0;               // texture slot, or image number when `image`
    std::int32_t id = -1;                   // the selection name (editor picking)
    bool flat = false;                      // face kind 3 or more
    bool keyed = false;                     // texels of index 0 are not drawn
    bool flip = false;                      // corners (1,1), (0,1), (0,0) instead of (0,0), (1,0), (1,1)
    bool image = false;                     // `texture` is a bank image number (sprites)
};

// A texture slot's image range, for choosing a sprite's view.
struct GlSlotRange {
    std::int32_t first = -1, last = -1;
};

class GlTriangleList {
public:
    GlTriangleList();

    // Projection values for IsPointVisible.
    void SetProjection(int width, int height);
    void Begin(int x, int y, int z, int roll, int pitch, int yaw);
    void AddLight(int x, int y, int z, int radius);
    // `flatPalette` colours flat faces; `slotRange` (may be empty) picks a
    // sprite's directional image.
    void AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient, int pitch, int roll,
                 int yaw, const Palette& flatPalette, const std::function<GlSlotRange(int slot)>& slotRange);
    bool IsPointVisible(int radius, int x, int y, int z) const;
    // Orders the list largest key first.
    void Sort();

    int Count() const { return count_; }
    int Dropped() const { return dropped_; }
    const GlTriangle& At(int i) const { return triangles_[static_cast<std::size_t>(i)]; }
    // The i-th triangle to draw after Sort.
    const GlTriangle& Sorted(int i) const {
        return triangles_[static_cast<std::size_t>(order_[static_cast<std::size_t>(i)].triangle)];
    }
    int CameraYaw() const { return yaw_; }
    const Vec3i& Camera() const { return camera_; }
    int CameraRoll() const { return roll_; }
    int CameraPitch() const { return pitch_; }

private:
    GlTriangle* Append();
    void AddSprite(const MeshFace& face, std::size_t vertex, int id, float alpha, int x, int z, int yaw,
                   const std::function<GlSlotRange(int slot)>& slotRange);

    std::vector<GlTriangle> triangles_;  // kMaxGlTriangles entries
    std::vector<SortEntry> order_;
    int count_ = 0, dropped_ = 0;

    std::array<std::array<float, 4>, kMaxGlLights> lights_{};  // camera-relative x, y, z; radius + 1
    int lightCount_ = 0;

    Vec3i camera_{};
    int roll_ = 0, pitch_ = 0, yaw_ = 0;
    Matrix3 cameraMatrix_{};
    int cx_ = 0, cy_ = 0, fx_ = 128, fy_ = 128, width_ = 0, height_ = 0;

    // Per-mesh working space, grown to the largest mesh seen: the rotated
    // object-space vertices, then camera-relative ones.
    std::vector<Vec3i> local_;
    std::vector<GlVertex> vertices_;
    std::vector<float> darkness_;
};

// The darkness of a vertex at camera-relative (x, y, z): 1 - light, where
// light = ambient / 256 plus each light's share, clamped to 0..1 when there
// is at least one light.
float VertexDarkness(float x, float y, float z, int ambient, const std::array<float, 4>* lights, int lightCount);

}  // namespace zq
