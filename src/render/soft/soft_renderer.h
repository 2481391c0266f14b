// The software back end: transforms, clips and culls mesh faces into a fixed
// triangle list, lights and sorts it, and fills it span by span into an
// 8-bit frame with perspective-correct texturing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/mesh_geometry.h"
#include "render/renderer.h"
#include "render/soft/soft_frame.h"

namespace zq {

inline constexpr int kMaxSoftTriangles = 5000;  // per frame; more are dropped
inline constexpr int kMaxSoftLights = 256;      // per frame; more are ignored
inline constexpr int kNearPlane = 10;           // world units in front of the eye

struct SoftTriangle {
    std::array<Vec3i, 3> eye{};      // the face's own eye-space vertices (unclipped), for texturing
    std::array<Vec3i, 3> clipped{};  // eye-space corners after near-plane clipping, for projection
    std::array<std::int32_t, 3> sx{}, sy{};
    std::int32_t material = 0;       // texture slot, image number (isImage) or flat colour
    std::int64_t key = 0;            // larger is farther; drawn first
    std::int32_t ambient = 0;
    std::int32_t id = -1;
    std::int32_t face = 0;
    std::array<std::uint8_t, 3> light{};
    std::uint16_t kind = 0;
    std::uint8_t corner = 0;
    std::uint8_t level = 0;          // translucency 0..4
    bool isImage = false;
};

// The light a point gets from one light at `distance`; 0 for a radius of 0 or less.
int LightContribution(std::int64_t distance, int radius);

// Translucency level 0..4 of an object percentage plus a face percentage.
int TranslucencyLevel(int objectPercent, int facePercent);

// Receives the finished frame.
class FramePresenter {
public:
    virtual ~FramePresenter() = default;
    virtual void Show(const SoftFrame& frame) = 0;
};

// For headless runs: the frame stays in memory (for screenshots); only the
// number of presented frames is kept.
class NullPresenter final : public FramePresenter {
public:
    void Show(const SoftFrame&) override { ++frames; }
    std::int64_t frames = 0;
};

struct SoftStats {
    int triangles = 0;  // added this frame
    int dropped = 0;    // beyond the list's capacity
};

class SoftRenderer final : public Renderer {
public:
    SoftRenderer();

    void SetProjection(int width, int height) override;
    void ClearFrame(int colour) override;
    void BeginFrame(int x, int y, int z, int roll, int pitch, int yaw) override;
    void AddLight(int x, int y, int z, int radius) override;
    void AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient,
                 int pitch, int roll, int yaw) override;
    bool IsPointVisible(int radius, int x, int y, int z) const override;
    bool ScreenPoint(int x, int y, int z, float& fx, float& fy) const override;
    void EndFrame() override;
    void Present() override;
    void StereoOn(StereoMode mode) override;
    void StereoOff() override;

    // The stereo switch with its explicit colours: A shows the second eye's
    // picture, B the first's.
    void StereoOnWith(std::array<int, 3> colourA, int eyeOffset, std::array<int, 3> colourB);

    // The colour tables and palette of the loaded bank.  Called again after a
    // bank reload; while stereo is on the shade table is the stereo one.
    void SetColourTables(const Palette& palette, const std::uint8_t* shade, const std::uint8_t* blend,
                         const std::uint8_t* flatRemap);
    void SetTextures(SoftTextures textures) { textures_ = std::move(textures); }
    void SetPresenter(FramePresenter* presenter) { presenter_ = presenter; }

    SoftFrame& Frame() { return frame_; }
    const SoftFrame& Frame() const { return frame_; }
    const std::vector<SoftTriangle>& Triangles() const { return triangles_; }
    int TriangleCount() const { return triangleCount_; }
    const SoftStats& Stats() const { return stats_; }

    // Projection values (valid after SetProjection).
    int CentreX() const { return cx_; }
    int CentreY() const { return cy_; }
    int XMax() const { return xMax_; }
    int YMax() const { return yMax_; }

private:
    Vec3i ToEye(double x, double y, double z) const;
    void AddFace(const MeshFace& face, int faceIndex, int id, int level, int ambient);
    void AddSprite(const MeshFace& face, int faceIndex, int id, int level, int ambient, int yaw);
    void AppendTriangle(const std::array<Vec3i, 3>& eye, const std::array<Vec3i, 3>& corners, std::int32_t material,
                        int corner, std::int64_t key, int kind, bool isImage, int ambient, int id, int faceIndex,
                        int level);
    bool Project(const Vec3i& v, std::int32_t& sx, std::int32_t& sy) const;
    void LightTriangles();
    void DrawList(std::uint8_t* target, int eyeShift);
    void DrawTriangle(const SoftTriangle& triangle, std::uint8_t* target) const;

    SoftFrame frame_;
    SoftTextures textures_;
    FramePresenter* presenter_ = nullptr;

    int cx_ = 0, cy_ = 0, fx_ = 128, fy_ = 128, subSpan_ = 40, xMax_ = -1, yMax_ = -1;

    Vec3i camera_{};
    Matrix3 cameraMatrix_{};
    float cameraRollCos_ = 1, cameraRollSin_ = 0;

    std::array<std::array<std::int32_t, 4>, kMaxSoftLights> lights_{};  // x, y, z, radius
    int lightCount_ = 0;

    std::vector<SoftTriangle> triangles_;  // kMaxSoftTriangles entries
    std::vector<SortEntry> order_;
    int triangleCount_ = 0;
    SoftStats stats_;

    // Per-mesh working space: object-space rotated and eye-space vertices.
    std::vector<Vec3i> local_, eyeVertices_;
    Vec3i objectPosition_{};

    // Stereo state: the tables the bank gave us, and the replacements.
    Palette bankPalette_{};
    const std::uint8_t* bankShade_ = nullptr;
    std::vector<std::uint8_t> stereoShade_;
    int eyeOffset_ = 0;
    std::array<int, 3> stereoColourA_{}, stereoColourB_{};
};

}  // namespace zq
