#include <algorithm>
#include <numeric>
#include <random>

#include <gtest/gtest.h>

#include "render/soft/soft_renderer.h"
#include "render/soft_fixture.h"

namespace zq {
namespace {

using test::Face;
using test::FacingQuad;
using test::MakeMesh;
using test::SoftFixture;

// One flat triangle facing the eye with its vertices at the given depths.
Mesh TriangleAtDepths(int za, int zb, int zc) {
    return MakeMesh({{50, -50, za}, {-50, -50, zb}, {-50, 50, zc}}, {Face(0, 1, 2, 7, 3, 0, 1)});
}

TEST(SoftNearPlane, CountsTrianglesByVerticesBeyondThePlane) {
    struct Case {
        int za, zb, zc, triangles;
    };
    for (const Case c : {Case{10, 5, -20, 0}, Case{10, 10, 10, 0}, Case{200, 5, -20, 1}, Case{200, 300, 5, 2},
                         Case{200, 300, 400, 1}}) {
        SoftFixture fx;
        fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
        fx.renderer.AddMesh(TriangleAtDepths(c.za, c.zb, c.zc), 0, 0, 0, -1, 0, 0, 0, 0, 0);
        ASSERT_EQ(fx.renderer.TriangleCount(), c.triangles) << c.za << " " << c.zb << " " << c.zc;
        for (int i = 0; i < c.triangles; ++i) {
            const SoftTriangle& t = fx.renderer.Triangles()[static_cast<std::size_t>(i)];
            for (const Vec3i& v : t.clipped) EXPECT_GE(v.z, kNearPlane);
            // Texturing keeps the face's own vertices.
            EXPECT_EQ(t.eye[0].z, c.za);
        }
    }
}

TEST(SoftNearPlane, ClippedCornersLieOnTheirEdges) {
    SoftFixture fx;
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    // Edge from (0,0,-10) to (100,0,190): z = near at x = 10.
    fx.renderer.AddMesh(MakeMesh({{0, 0, -10}, {100, 0, 190}, {100, 100, 190}}, {Face(0, 1, 2, 7, 3, 0, 1)}), 0, 0, 0,
                        -1, 0, 0, 0, 0, 0);
    ASSERT_EQ(fx.renderer.TriangleCount(), 2);
    bool found = false;
    for (int i = 0; i < 2; ++i)
        for (const Vec3i& v : fx.renderer.Triangles()[static_cast<std::size_t>(i)].clipped)
            found = found || (v.z == kNearPlane && v.x == 10 && v.y == 0);
    EXPECT_TRUE(found);
}

TEST(SoftCulling, OneSidedFacesFromBehindAreDroppedTwoSidedKept) {
    // Winding as seen from the eye: (a, b, c) below is clockwise on screen, so
    // the reversed order faces away.
    const std::vector<std::array<int, 3>> v{{50, -50, 100}, {-50, -50, 100}, {-50, 50, 100}};
    struct Case {
        MeshFace face;
        int kept;
    };
    for (const Case c : {Case{Face(0, 1, 2, 7, 3), 1}, Case{Face(2, 1, 0, 7, 3), 0}, Case{Face(2, 1, 0, 7, 3, 0, 1), 1}}) {
        SoftFixture fx;
        fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
        fx.renderer.AddMesh(MakeMesh(v, {c.face}), 0, 0, 0, -1, 0, 0, 0, 0, 0);
        EXPECT_EQ(fx.renderer.TriangleCount(), c.kept);
    }
}

TEST(SoftCulling, FacesWithBadVertexIndicesAreIgnored) {
    SoftFixture fx;
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    Mesh mesh = FacingQuad(100, 200, 7, 3);
    mesh.faces[0].c = 4;      // one past the last vertex
    mesh.faces[1].a = 60000;  // far past
    Mesh sprite = MakeMesh({{0, 0, 100}}, {Face(9, 20, 20, 0, 2)});
    fx.renderer.AddMesh(mesh, 0, 0, 0, -1, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(sprite, 0, 0, 0, -1, 0, 0, 0, 0, 0);
    EXPECT_EQ(fx.renderer.TriangleCount(), 0);
    fx.renderer.EndFrame();
}

TEST(SoftCulling, TrianglesOffScreenAreRejected) {
    SoftFixture fx;
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(10, 100, 7, 3), 5000, 0, 0, -1, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(10, 100, 7, 3), 0, -5000, 0, -1, 0, 0, 0, 0, 0);
    EXPECT_EQ(fx.renderer.TriangleCount(), 0);
}

TEST(SoftTranslucency, PercentagesMapToFiveLevels) {
    EXPECT_EQ(TranslucencyLevel(30, 0), 1);
    EXPECT_EQ(TranslucencyLevel(0, 24), 0);
    EXPECT_EQ(TranslucencyLevel(25, 25), 2);
    EXPECT_EQ(TranslucencyLevel(100, 0), 4);
    EXPECT_EQ(TranslucencyLevel(90, 90), 4);
    EXPECT_EQ(TranslucencyLevel(-50, 0), 0);
}

TEST(SoftTranslucency, FlatSpansGoThroughTheBlendTable) {
    for (const auto& [percent, expected] : {std::pair{0, 7}, std::pair{30, 101}, std::pair{100, 33}}) {
        SoftFixture fx;
        fx.renderer.ClearFrame(33);
        fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
        fx.renderer.AddMesh(FacingQuad(100, 200, 7, 3), 0, 0, 0, -1, percent, 0, 0, 0, 0);
        fx.renderer.EndFrame();
        EXPECT_EQ(fx.Pixel(32, 24), expected) << percent;
    }
}

TEST(SoftSpans, ColourKeyedTexelsLeaveTheFrameUnchanged) {
    SoftFixture fx;
    fx.SetImage(5, [](int u, int) { return u < 64 ? 0 : 9; });
    fx.renderer.ClearFrame(33);
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(300, 100, 5, 1), 0, 0, 0, -1, 0, 0, 0, 0, 0);
    fx.renderer.EndFrame();
    int kept = 0, drawn = 0;
    const auto& pixels = fx.renderer.Frame().pixels;
    for (const std::uint8_t p : pixels) {
        kept += p == 33;
        drawn += p == 9;
        ASSERT_TRUE(p == 33 || p == 9);
    }
    EXPECT_GT(kept, 500);
    EXPECT_GT(drawn, 500);
}

TEST(SoftSpans, LastRowAndColumnAreNeverDrawn) {
    SoftFixture fx;
    fx.renderer.ClearFrame(1);
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(1000, 100, 7, 3), 0, 0, 0, -1, 0, 0, 0, 0, 0);
    fx.renderer.EndFrame();
    for (int x = 0; x < 63; ++x) {
        EXPECT_EQ(fx.Pixel(x, 0), 7);
        EXPECT_EQ(fx.Pixel(x, 46), 7);
        EXPECT_EQ(fx.Pixel(x, 47), 1) << "row yMax is never drawn";
    }
    for (int y = 0; y < 47; ++y) EXPECT_EQ(fx.Pixel(63, y), 1) << "column xMax is never drawn by opaque spans";
}

TEST(SoftSpans, TextureCoordinatesStayInsideTheImage) {
    // Extreme and degenerate geometry must read only inside the 128 x 128 block
    // and write only inside the frame (the sanitizers watch both).
    SoftFixture fx(33, 17);
    fx.SetImage(1, [](int u, int v) { return 1 + (u ^ v) % 200; });
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-3000000, 3000000), small(-20, 400);
    for (int i = 0; i < 300; ++i) {
        const bool tiny = i % 3 == 0;
        auto r = [&] { return tiny ? small(rng) : coord(rng); };
        Mesh m = MakeMesh({{r(), r(), r()}, {r(), r(), r()}, {r(), r(), r()}},
                          {Face(0, 1, 2, 1, i % 2, i % 2, 1, (i % 5) * 25)});
        fx.renderer.AddMesh(m, 0, 0, 0, -1, 0, 0, i, i * 3, i * 7);
    }
    fx.renderer.AddLight(0, 0, 0, 0);
    fx.renderer.AddLight(0, 0, 0, -5);
    fx.renderer.EndFrame();
    SUCCEED();
}

TEST(SoftCapacity, TrianglesPastTheListAreDropped) {
    SoftFixture fx;
    const Mesh quad = FacingQuad(20, 200, 7, 3);
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    for (int i = 0; i < 2600; ++i) fx.renderer.AddMesh(quad, 0, 0, i, -1, 0, 0, 0, 0, 0);
    EXPECT_EQ(fx.renderer.TriangleCount(), kMaxSoftTriangles);
    EXPECT_EQ(fx.renderer.Stats().dropped, 200);
    fx.renderer.EndFrame();
}

TEST(SoftLighting, ContributionOfOneLight) {
    EXPECT_EQ(LightContribution(0, 255), 254);
    EXPECT_EQ(LightContribution(254, 255), 0);
    EXPECT_EQ(LightContribution(100000, 255), 0);
    EXPECT_EQ(LightContribution(0, 0), 0);
    EXPECT_EQ(LightContribution(0, -100), 0);
    EXPECT_EQ(LightContribution(511, 1024), 128);
}

TEST(SoftLighting, VertexLevelsAreAmbientPlusLightsClamped) {
    struct Case {
        int ambient;
        bool light;
        int expected;
    };
    for (const Case c : {Case{-40, false, 0}, Case{60, false, 60}, Case{300, false, 255}, Case{0, true, 254},
                         Case{10, true, 255}}) {
        SoftFixture fx;
        fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
        if (c.light) fx.renderer.AddLight(0, 0, 100, 255);
        // A tiny triangle at the light's position.
        fx.renderer.AddMesh(MakeMesh({{0, 0, 100}, {0, 0, 100}, {0, 0, 100}}, {Face(0, 1, 2, 7, 3, 0, 1)}), 0, 0, 0,
                            -1, 0, c.ambient, 0, 0, 0);
        fx.renderer.EndFrame();
        ASSERT_EQ(fx.renderer.TriangleCount(), 1);
        for (int v = 0; v < 3; ++v) EXPECT_EQ(fx.renderer.Triangles()[0].light[static_cast<std::size_t>(v)], c.expected);
    }
}

TEST(SoftSort, LargestKeyFirst) {
    std::mt19937 rng(3);
    for (int n : {0, 1, 2, 7, 100, 4000}) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            std::vector<SortEntry> e(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                std::int64_t key = pattern == 0 ? static_cast<std::int64_t>(rng() % 50) : pattern == 1 ? i : pattern == 2 ? -i : (std::int64_t{1} << 40) + i % 3;
                e[static_cast<std::size_t>(i)] = {i, key};
            }
            std::vector<SortEntry> expected = e;
            QuickSortByKey(e.data(), n);
            EXPECT_TRUE(std::is_sorted(e.begin(), e.end(), [](const SortEntry& a, const SortEntry& b) { return a.key > b.key; }));
            std::vector<int> seen;
            for (const auto& s : e) seen.push_back(s.triangle);
            std::sort(seen.begin(), seen.end());
            std::vector<int> all(static_cast<std::size_t>(n));
            std::iota(all.begin(), all.end(), 0);
            EXPECT_EQ(seen, all);
        }
    }
}

TEST(SoftSort, FartherTrianglesAreDrawnFirst) {
    SoftFixture fx;
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(50, 200, 3, 3), 0, 0, 0, -1, 0, 0, 0, 0, 0);   // near, added first
    fx.renderer.AddMesh(FacingQuad(500, 800, 9, 3), 0, 0, 0, -1, 0, 0, 0, 0, 0);  // far, covers it
    fx.renderer.EndFrame();
    EXPECT_EQ(fx.Pixel(32, 24), 3);
    EXPECT_EQ(fx.Pixel(18, 10), 9);
}

TEST(SoftSprites, ImageFromTheOppositeSideIsFourStepsOn) {
    const Mesh sprite = MakeMesh({{0, 0, 0}}, {Face(0, 100, 100, 4, 2)});
    auto imageSeen = [&](int camZ, int camYaw, int objectYaw) {
        SoftFixture fx;
        fx.slots.resize(5);
        fx.slots[4] = {20, 27, 20};
        fx.renderer.BeginFrame(0, 0, camZ, 0, 0, camYaw);
        fx.renderer.AddMesh(sprite, 0, 0, 1000, -1, 0, 0, 0, 0, objectYaw);
        EXPECT_EQ(fx.renderer.TriangleCount(), 2);
        return fx.renderer.Triangles()[0].material;
    };
    const int front = imageSeen(0, 0, 0);
    const int back = imageSeen(2000, 16384, 0);
    EXPECT_EQ(front, 22);
    EXPECT_EQ((back - 20 + 8 - (front - 20)) % 8, 4);
    // Turning the object half a turn has the same effect as walking round it.
    EXPECT_EQ(imageSeen(0, 0, 16384), back);
}

TEST(SoftSprites, KeyIsDepthAndTrianglesAreKeyedImages) {
    SoftFixture fx;
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(MakeMesh({{0, 0, 0}}, {Face(0, 64, 32, 4, 2)}), 0, 0, 300, -1, 0, 0, 0, 0, 0);
    ASSERT_EQ(fx.renderer.TriangleCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const SoftTriangle& t = fx.renderer.Triangles()[static_cast<std::size_t>(i)];
        EXPECT_EQ(t.key, 300);
        EXPECT_EQ(t.kind, 1);
        EXPECT_TRUE(t.isImage);
        for (const Vec3i& v : t.clipped) EXPECT_EQ(v.z, 300);
    }
    // Corners span 64 x 32 around the centre.
    int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
    for (int i = 0; i < 2; ++i)
        for (const Vec3i& v : fx.renderer.Triangles()[static_cast<std::size_t>(i)].clipped) {
            minX = std::min(minX, v.x), maxX = std::max(maxX, v.x), minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
        }
    EXPECT_EQ(minX, -32);
    EXPECT_EQ(maxX, 32);
    EXPECT_EQ(minY, -16);
    EXPECT_EQ(maxY, 16);
}

TEST(SoftVisibility, PointTest) {
    SoftFixture fx;  // 64 x 48: cx 32
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    EXPECT_TRUE(fx.renderer.IsPointVisible(1280, 0, 0, -1000));   // behind, but near
    EXPECT_FALSE(fx.renderer.IsPointVisible(1280, 0, 0, -2000));  // behind
    EXPECT_TRUE(fx.renderer.IsPointVisible(10, 0, 0, 2000));      // straight ahead
    // Screen widened by cx: x = 1000 * 25 / 100 + 32 = 282 is far outside.
    EXPECT_FALSE(fx.renderer.IsPointVisible(10, 1000, 0, 100));
    EXPECT_TRUE(fx.renderer.IsPointVisible(10, 200, 0, 100));  // 82 < 63 + 32
}

TEST(SoftStereo, TwoPicturesCombineIntoTheGridPalette) {
    SoftFixture fx;
    fx.palette.red[7] = fx.palette.green[7] = fx.palette.blue[7] = 255;
    fx.renderer.SetColourTables(fx.palette, fx.shade.data(), fx.blend.data(), fx.flatRemap.data());
    fx.renderer.StereoOn(StereoMode::RedBlue);
    fx.renderer.ClearFrame(0);
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddLight(0, 0, 0, 100000);
    fx.renderer.AddMesh(FacingQuad(50, 200, 7, 3), 0, 0, 0, -1, 0, 0, 0, 0, 0);
    fx.renderer.EndFrame();
    fx.renderer.Present();
    const SoftFrame& f = fx.renderer.Frame();
    // Full light on white: intensity 14 in both eyes.
    EXPECT_EQ(fx.Pixel(32, 24), 14 * 16 + 14);
    // Entry 16 i + j: i in colour A (red) for the second eye, j in colour B (cyan).
    EXPECT_EQ(f.palette.red[15 * 16], 167);  // round(1.4 * ((255 * 15 >> 4) / 2))
    EXPECT_EQ(f.palette.blue[15 * 16], 0);
    EXPECT_EQ(f.palette.blue[15], 167);
    // A bank reload during stereo keeps the grid palette, with intensities
    // from the new colours.
    fx.palette.red[7] = fx.palette.green[7] = fx.palette.blue[7] = 0;
    fx.renderer.SetColourTables(fx.palette, fx.shade.data(), fx.blend.data(), fx.flatRemap.data());
    EXPECT_EQ(fx.renderer.Frame().palette.red[15 * 16], 167);
    EXPECT_EQ(ShadeOf(fx.renderer.Frame(), 255, 7), 0);
    fx.renderer.StereoOff();
    EXPECT_EQ(fx.renderer.Frame().palette, fx.palette);
    EXPECT_EQ(fx.renderer.Frame().shade, fx.shade.data());
}

TEST(SoftProjection, TinyFramesDoNotDivideByZero) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 5}}) {
        SoftFixture fx(w, h);
        fx.SetImage(1, [](int, int) { return 5; });
        fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
        fx.renderer.AddMesh(FacingQuad(300, 100, 1, 0), 0, 0, 0, -1, 0, 0, 0, 0, 0);
        fx.renderer.EndFrame();
    }
    SUCCEED();
}

// Names over heads follow what is drawn: the point lands inside the quad's
// columns and rows, and a point behind the eye lands nowhere.
TEST(SoftProjection, ScreenPointFallsWhereThePointIsDrawn) {
    SoftFixture fx(64, 48);
    fx.SetImage(1, [](int, int) { return 5; });
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(20, 0, 1, 0), 150, 0, 200, -1, 0, 0, 0, 0, 0);
    fx.renderer.EndFrame();
    const SoftFrame& f = fx.renderer.Frame();
    int left = f.width, right = -1, top = f.height, bottom = -1;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            if (f.pixels[static_cast<std::size_t>(y * f.width + x)] != 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, left);
    float sx = 0, sy = 0;
    ASSERT_TRUE(fx.renderer.ScreenPoint(150, 0, 200, sx, sy));
    EXPECT_GE(sx * 64, left);
    EXPECT_LE(sx * 64, right + 1);
    EXPECT_GE(sy * 48, top);
    EXPECT_LE(sy * 48, bottom + 1);
    EXPECT_GT(left, 32);  // on the right, as in the GL back end
    EXPECT_FALSE(fx.renderer.ScreenPoint(0, 0, -200, sx, sy));
}

// A checkered quad seen at an angle: perspective texturing, clipping at the
// screen edges and the span rules together.  Regenerate only for an
// intended change of the rasterizer's arithmetic.
TEST(SoftGolden, TexturedQuadAtAnAngle) {
    SoftFixture fx(32, 24);
    fx.SetImage(2, [](int u, int v) { return ((u / 32 + v / 32) % 2 ? 0x20 : 0xd0) + (u < 8 ? 0x10 : 0); });
    fx.renderer.ClearFrame(0);
    fx.renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    fx.renderer.AddMesh(FacingQuad(200, 0, 2, 0), 60, -20, 260, -1, 0, 0, 1200, 0, 2500);
    fx.renderer.EndFrame();
    const char* golden =
        "00000000000000000000000000000000\n"
        "00000000000000000000000000000000\n"
        "0000000000d000000000000000000000\n"
        "0000000000ddd0000000000000000000\n"
        "0000000000ddddd00000000000000000\n"
        "0000000000ddddd22000000000000000\n"
        "0000000000ddddd22220000000000000\n"
        "0000000000222dd2222dd00000000000\n"
        "000000000222222dd22ddd2200000000\n"
        "000000000222222dddd2dd2200000000\n"
        "000000000222222dddd222dd00000000\n"
        "000000000222222dddd222dd00000000\n"
        "000000000222222dddd222dd00000000\n"
        "000000000dddddd2222dd2dd00000000\n"
        "00000000ddddddd2222ddd2200000000\n"
        "00000000ddddddd2222ddd2230000000\n"
        "00000000ddddddd2222dddd220000000\n"
        "00000000ddddddd2222dddd220000000\n"
        "00000000ddddddd22222222dd0000000\n"
        "0000000ddddd222ddddd222dd0000000\n"
        "000000022222222ddddd222dd0000000\n"
        "00000002222222dddddd222ddd000000\n"
        "00000002222222dddddd222d00000000\n"
        "00000000000000000000000000000000\n";
    EXPECT_EQ(test::FrameRows(fx.renderer.Frame()), golden);
}

}  // namespace
}  // namespace zq
