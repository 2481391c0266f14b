// The OpenGL back end's triangle list, built on the CPU without a context:
// culling, sort keys and order, face flags, alpha, darkness and capacity.
#include <gtest/gtest.h>

#include <cmath>

#include "render/gl/gl_triangles.h"

namespace zq {
namespace {

// A mesh of the given vertices and faces (a, b, c, kind, material).
struct FaceSpec {
    std::uint16_t a, b, c, kind = 0, material = 0, corner = 0, twoSided = 0, transparency = 0;
};
Mesh MakeMesh(const std::vector<std::array<int, 3>>& vertices, const std::vector<FaceSpec>& faces) {
    Mesh m;
    for (const auto& v : vertices) {
        m.x.push_back(v[0]);
        m.y.push_back(v[1]);
        m.z.push_back(v[2]);
    }
    for (const FaceSpec& f : faces) {
        MeshFace face;
        face.a = f.a;
        face.b = f.b;
        face.c = f.c;
        face.kind = f.kind;
        face.material = f.material;
        face.corner = f.corner;
        face.twoSided = f.twoSided;
        face.transparency = f.transparency;
        m.faces.push_back(face);
    }
    m.lastVertex = static_cast<std::uint16_t>(m.x.size() - 1);
    m.lastFace = static_cast<std::uint16_t>(m.faces.size() - 1);
    return m;
}

// A triangle 500 units ahead of a camera at the origin, facing it (a, c, b
// order) and its reverse.
const std::vector<std::array<int, 3>> kTriangle = {{-100, -100, 500}, {100, -100, 500}, {0, 100, 500}};

class GlTriangles : public ::testing::Test {
protected:
    void SetUp() override {
        list.SetProjection(320, 240);
        list.Begin(0, 0, 0, 0, 0, 0);
        for (int i = 0; i < 256; ++i) {
            flat.red[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
            flat.green[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
            flat.blue[static_cast<std::size_t>(i)] = 7;
        }
    }
    void Add(const Mesh& mesh, int x = 0, int y = 0, int z = 0, int transparency = 0, int ambient = 0,
             int yaw = 0) {
        list.AddMesh(mesh, x, y, z, 9, transparency, ambient, 0, 0, yaw, flat, slots);
    }
    GlTriangleList list;
    Palette flat{};
    std::function<GlSlotRange(int)> slots;
};

TEST_F(GlTriangles, OneSidedFacesSeenFromBehindAreDroppedTwoSidedAreKept) {
    Add(MakeMesh(kTriangle, {{0, 2, 1}}));
    EXPECT_EQ(list.Count(), 1);
    Add(MakeMesh(kTriangle, {{0, 1, 2}}));
    EXPECT_EQ(list.Count(), 1);
    Add(MakeMesh(kTriangle, {{0, 1, 2, 0, 0, 0, 1}}));
    EXPECT_EQ(list.Count(), 2);
    // The same face behind the camera turns its other side to it.
    list.Begin(0, 0, 1000, 0, 0, 0);
    Add(MakeMesh(kTriangle, {{0, 2, 1}}));
    Add(MakeMesh(kTriangle, {{0, 1, 2}}));
    ASSERT_EQ(list.Count(), 1);
}

TEST_F(GlTriangles, VerticesAreCameraRelativeAndObjectsRotate) {
    list.Begin(100, 200, 300, 0, 4000, 8000);  // the camera's own rotation stays out of the list
    const Mesh m = MakeMesh({{10, 20, 30}, {10, 20, 31}, {10, 21, 30}}, {{0, 1, 2, 0, 0, 0, 1}});
    Add(m, 1000, 2000, 3000);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_FLOAT_EQ(list.At(0).v[0].x, 910);
    EXPECT_FLOAT_EQ(list.At(0).v[0].y, 1820);
    EXPECT_FLOAT_EQ(list.At(0).v[0].z, 2730);
    // A half turn of yaw sends (10, _, 30) to about (-10, _, -30), rounded to whole units.
    list.Begin(0, 0, 0, 0, 0, 0);
    Add(m, 0, 0, 0, 0, 0, 16384);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_NEAR(list.At(0).v[0].x, -10, 1);
    EXPECT_NEAR(list.At(0).v[0].z, -30, 1);
    EXPECT_EQ(list.At(0).v[0].x, std::round(list.At(0).v[0].x));
}

TEST_F(GlTriangles, KeysSumTheCentroidAxesAndSortFarthestFirst) {
    const Mesh near = MakeMesh({{-30, 0, 300}, {30, 0, 300}, {0, 30, 303}}, {{0, 1, 2, 0, 0, 0, 1}});
    const Mesh far = MakeMesh({{-30, -60, 900}, {30, -60, 900}, {0, -30, 900}}, {{0, 1, 2, 0, 0, 0, 1}});
    Add(near);
    Add(far);
    Add(near, -5000);  // far off to the side: the key counts |x| too
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.At(0).key, 10 + 301);            // trunc(|0/3| + |30/3| + |903/3|)
    EXPECT_EQ(list.At(1).key, 50 + 900);
    EXPECT_EQ(list.At(2).key, 5000 + 10 + 301);
    list.Sort();
    EXPECT_EQ(list.Sorted(0).key, 5311);
    EXPECT_EQ(list.Sorted(1).key, 950);
    EXPECT_EQ(list.Sorted(2).key, 311);
}

TEST_F(GlTriangles, FaceKindsGiveFlatColoursKeysAndCornerFlips) {
    Add(MakeMesh(kTriangle, {{0, 2, 1, kFaceTextured, 12, 0},
                             {0, 2, 1, kFaceColourKeyed, 13, 1},
                             {0, 2, 1, kFaceFlat, 64},
                             {0, 2, 1, 7, 256 + 10}}));
    ASSERT_EQ(list.Count(), 4);
    const GlTriangle &textured = list.At(0), &keyed = list.At(1), &flatFace = list.At(2), &wrapped = list.At(3);
    EXPECT_FALSE(textured.flat);
    EXPECT_FALSE(textured.keyed);
    EXPECT_FALSE(textured.flip);
    EXPECT_EQ(textured.texture, 12);
    EXPECT_TRUE(keyed.keyed);
    EXPECT_TRUE(keyed.flip);
    EXPECT_EQ(keyed.texture, 13);
    EXPECT_TRUE(flatFace.flat);
    EXPECT_FALSE(flatFace.keyed);
    EXPECT_FLOAT_EQ(flatFace.r, 64 / 256.0f);
    EXPECT_FLOAT_EQ(flatFace.g, 191 / 256.0f);
    EXPECT_FLOAT_EQ(flatFace.b, 7 / 256.0f);
    // Any kind from 3 up is flat; a colour past the palette wraps into it.
    EXPECT_TRUE(wrapped.flat);
    EXPECT_FLOAT_EQ(wrapped.r, 10 / 256.0f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.At(i).id, 9);
}

TEST_F(GlTriangles, AlphaAddsObjectAndFaceTransparency) {
    Add(MakeMesh(kTriangle, {{0, 2, 1}, {0, 2, 1, 0, 0, 0, 0, 20}, {0, 2, 1, 0, 0, 0, 0, 90}}), 0, 0, 0, 0);
    Add(MakeMesh(kTriangle, {{0, 2, 1, 0, 0, 0, 0, 20}}), 0, 0, 0, 30);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.At(0).alpha, 1.0f);  // exactly 1: drawn with blending off
    EXPECT_NEAR(list.At(1).alpha, 0.8f, 1e-6);
    EXPECT_NEAR(list.At(2).alpha, 0.1f, 1e-6);
    EXPECT_NEAR(list.At(3).alpha, 0.5f, 1e-6);
    list.Begin(0, 0, 0, 0, 0, 0);
    Add(MakeMesh(kTriangle, {{0, 2, 1, 0, 0, 0, 0, 90}}), 0, 0, 0, 60);
    EXPECT_EQ(list.At(0).alpha, 0.0f);  // never below 0
}

TEST_F(GlTriangles, DarknessFromAmbientAndLights) {
    // No light: ambient alone, unclamped.
    Add(MakeMesh(kTriangle, {{0, 2, 1}}), 0, 0, 0, 0, -128);
    EXPECT_FLOAT_EQ(list.At(0).darkness[0], 1.5f);
    list.Begin(0, 0, 0, 0, 0, 0);
    Add(MakeMesh(kTriangle, {{0, 2, 1}}), 0, 0, 0, 0, 64);
    EXPECT_FLOAT_EQ(list.At(0).darkness[0], 0.75f);

    // A light sitting on a vertex with radius 255 gives it 1 - 1/256; the
    // sum is clamped to 0..1 once a light is there.
    list.Begin(0, 0, 0, 0, 0, 0);
    list.AddLight(-100, -100, 500, 255);
    Add(MakeMesh(kTriangle, {{0, 2, 1}}));
    EXPECT_FLOAT_EQ(list.At(0).darkness[0], 1.0f / 256.0f);
    // The face's corners are vertices 0, 2, 1.
    EXPECT_FLOAT_EQ(list.At(0).darkness[1], 225.0f / 256.0f);  // 223.6 units off, rounded to 224
    EXPECT_FLOAT_EQ(list.At(0).darkness[2], 201.0f / 256.0f);  // 200 units off
    list.Begin(0, 0, 0, 0, 0, 0);
    list.AddLight(0, 0, 500, 100000);
    Add(MakeMesh(kTriangle, {{0, 2, 1}}), 0, 0, 0, 0, 255);
    for (float d : list.At(0).darkness) EXPECT_FLOAT_EQ(d, 0.0f);  // fully lit: no darkness pass
    list.Begin(0, 0, 0, 0, 0, 0);
    list.AddLight(0, 0, 500, 10);
    Add(MakeMesh(kTriangle, {{0, 2, 1}}), 0, 0, 0, 0, -500);
    for (float d : list.At(0).darkness) EXPECT_FLOAT_EQ(d, 1.0f);
}

TEST_F(GlTriangles, LightsAreCameraRelativeAndOnlyThoseWithReachCount) {
    list.Begin(5000, 0, 0, 0, 0, 0);
    list.AddLight(4900, -100, 500, 255);  // on vertex a once both are made camera-relative
    list.AddLight(0, 0, 0, 0);            // no reach
    list.AddLight(0, 0, 0, -40);          // would otherwise add more than full light
    Add(MakeMesh(kTriangle, {{0, 2, 1}}), 5000);
    EXPECT_FLOAT_EQ(list.At(0).darkness[0], 1.0f / 256.0f);
    EXPECT_FLOAT_EQ(list.At(0).darkness[2], 201.0f / 256.0f);
}

TEST_F(GlTriangles, AFullListDropsFurtherTriangles) {
    std::vector<FaceSpec> faces(3000, FaceSpec{0, 2, 1});
    const Mesh m = MakeMesh(kTriangle, faces);
    for (int i = 0; i < 4; ++i) Add(m);
    EXPECT_EQ(list.Count(), kMaxGlTriangles);
    EXPECT_EQ(list.Dropped(), 2000);
    list.Begin(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Dropped(), 0);
}

TEST_F(GlTriangles, FacesWithVertexIndicesPastTheMeshAreSkipped) {
    Add(MakeMesh(kTriangle, {{0, 2, 9}, {7, 0, 1, kFaceSprite}, {0, 2, 1}}));
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(GlTriangles, SpritesAreKeyedScreenFacingRectanglesOfTheirViewImage) {
    slots = [](int slot) { return slot == 4 ? GlSlotRange{40, 47} : GlSlotRange{}; };
    // A 200 x 100 sprite at (0, 0, 1000); the camera looks along +z.
    Add(MakeMesh({{0, 0, 1000}}, {{0, 200, 100, kFaceSprite, 4}}));
    ASSERT_EQ(list.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        const GlTriangle& t = list.At(i);
        EXPECT_TRUE(t.image);
        EXPECT_TRUE(t.keyed);
        EXPECT_GE(t.texture, 40);
        EXPECT_LE(t.texture, 47);
        for (const GlVertex& v : t.v) {
            EXPECT_FLOAT_EQ(v.z, 1000);
            EXPECT_FLOAT_EQ(std::abs(v.x), 100);
            EXPECT_FLOAT_EQ(std::abs(v.y), 50);
        }
    }
    EXPECT_NE(list.At(0).flip, list.At(1).flip);
    // Seen from the other side the view is four images further on.
    const int front = list.At(0).texture;
    list.Begin(0, 0, 2000, 0, 0, 16384);
    Add(MakeMesh({{0, 0, 1000}}, {{0, 200, 100, kFaceSprite, 4}}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ((list.At(0).texture - 40 + 8 - (front - 40)) % 8, 4);
    // A slot without images draws nothing.
    list.Begin(0, 0, 0, 0, 0, 0);
    Add(MakeMesh({{0, 0, 1000}}, {{0, 200, 100, kFaceSprite, 5}}));
    EXPECT_EQ(list.Count(), 0);
}

// The view comes from where the sprite really is: its vertex turned with the
// object, as the software back end has it.
TEST_F(GlTriangles, SpriteViewsFollowTheTurnedVertex) {
    slots = [](int slot) { return slot == 4 ? GlSlotRange{40, 47} : GlSlotRange{}; };
    // Turned half round, the vertex at +x lies at -x: the camera sees the
    // object's front (image 40); from the unturned spot it would see image 44.
    Add(MakeMesh({{1000, 0, 0}}, {{0, 200, 100, kFaceSprite, 4}}), 0, 0, 0, 0, 0, 16384);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0).texture, 40);
    EXPECT_FLOAT_EQ(list.At(0).v[0].x + list.At(0).v[1].x, -2000);  // centred on the turned vertex
}

TEST_F(GlTriangles, PointVisibilityNearAndInFront) {
    EXPECT_TRUE(list.IsPointVisible(1280, 0, 0, 5000));
    EXPECT_FALSE(list.IsPointVisible(1280, 0, 0, -5000));
    EXPECT_TRUE(list.IsPointVisible(1280, 0, 0, -1000));  // inside the radius box
    EXPECT_FALSE(list.IsPointVisible(10, 100000, 0, 100));  // far off to the side
}

}  // namespace
}  // namespace zq
