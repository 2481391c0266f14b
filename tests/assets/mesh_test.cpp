// Meshes: the file reader's refusals, blending, the scratch mesh and the cube sides.
#include "assets/mesh.h"

#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "test_util.h"

namespace zq {
namespace {

// A two-triangle mesh with four vertices, plus a sprite face whose b and c
// (width 900, height 700) are far beyond the vertex count.
Mesh SampleMesh() {
    MeshRef ref;
    CreateMesh(ref, 3, 2);
    Mesh m = *ref;
    const std::int32_t xs[] = {-10, 20, 30, -40}, ys[] = {1, 2, 3, 4}, zs[] = {-7, 8, 9, 100000};
    for (std::size_t i = 0; i < 4; ++i) {
        m.x[i] = xs[i];
        m.y[i] = ys[i];
        m.z[i] = zs[i];
    }
    m.faces[0] = {0, 1, 2, 5, 0, 0, kFaceTextured, 0};
    m.faces[1] = {2, 3, 0, 5, 1, 1, kFaceColourKeyed, 30};
    m.faces[2] = {3, 900, 700, 7, 0, 0, kFaceSprite, 0};
    return m;
}

TEST(MeshFile, RoundTripKeepsEveryFieldIncludingSprites) {
    Mesh m = SampleMesh();
    Bytes bytes = SerializeMesh(m);
    ASSERT_EQ(bytes.size(), MeshFileSize(4, 3));
    Mesh back;
    std::string why;
    ASSERT_TRUE(ParseMesh(bytes, back, why)) << why;
    EXPECT_EQ(back.lastVertex, 3);
    EXPECT_EQ(back.lastFace, 2);
    EXPECT_EQ(back.x, m.x);
    EXPECT_EQ(back.y, m.y);
    EXPECT_EQ(back.z, m.z);
    ASSERT_EQ(back.faces.size(), 3u);
    EXPECT_EQ(back.faces[1].transparency, 30);
    EXPECT_EQ(back.faces[2].b, 900);
    EXPECT_EQ(back.faces[2].c, 700);
    // Bytes past the last face are ignored.
    bytes.push_back(0xAB);
    EXPECT_TRUE(ParseMesh(bytes, back, why));
}

TEST(MeshFile, CountsAreStoredMinusOne) {
    Bytes bytes(MeshFileSize(1, 1), 0);
    Mesh m;
    std::string why;
    ASSERT_TRUE(ParseMesh(bytes, m, why)) << why;
    EXPECT_EQ(m.VertexCount(), 1u);
    EXPECT_EQ(m.FaceCount(), 1u);
}

TEST(MeshFile, RefusesShortFilesAndBadIndices) {
    Bytes good = SerializeMesh(SampleMesh());
    Mesh m;
    std::string why;
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{4}, good.size() - 1}) {
        Bytes shorter(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(ParseMesh(shorter, m, why)) << cut;
    }
    // Face 0 word a, then word c of the non-sprite face 1, then a of the sprite.
    std::size_t faces = kMeshHeaderSize + 12 * 4;
    for (std::size_t word : {faces, faces + kMeshFaceSize + 4, faces + 2 * kMeshFaceSize}) {
        Bytes bad = good;
        bad[word] = 4;  // the vertex count: one too many
        EXPECT_FALSE(ParseMesh(bad, m, why)) << word;
        EXPECT_NE(why.find("vertex"), std::string::npos);
    }
    // Huge counts in a tiny file never allocate their arrays.
    Bytes huge = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    EXPECT_FALSE(ParseMesh(huge, m, why));
}

TEST(MeshFile, LoadMeshReportsMissingAndDamagedFilesWithTheSameMessage) {
    test::TempDir dir;
    DataResolver data(dir.Path());
    Bytes good = SerializeMesh(SampleMesh());
    dir.Write("3DO/GAME/Box.3do", good);
    dir.Write("3DO/GAME/short.3do", Bytes(good.begin(), good.end() - 2));

    MeshRef mesh;
    LoadMesh(data, "3do\\game\\BOX.3DO", mesh);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->FaceCount(), 3u);

    MeshRef before = mesh;
    try {
        LoadMesh(data, "3DO/GAME/short.3do", mesh);
        FAIL() << "a short file loaded";
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The file 3DO/GAME/short.3do is missing");
    }
    EXPECT_EQ(mesh, before);  // the old mesh stays
    try {
        LoadMesh(data, "3DO/GAME/none.3do", mesh);
        FAIL() << "a missing file loaded";
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The file 3DO/GAME/none.3do is missing");
    }

    // Loading over a mesh replaces it entirely.
    Mesh one;
    one.lastVertex = 0;
    one.lastFace = 0;
    one.x = {5};
    one.y = {6};
    one.z = {7};
    one.faces = {MeshFace{}};
    dir.Write("one.3do", SerializeMesh(one));
    LoadMesh(data, "one.3do", mesh);
    EXPECT_EQ(mesh->VertexCount(), 1u);
    EXPECT_EQ(mesh->x[0], 5);
    EXPECT_EQ(before->VertexCount(), 4u);

    ASSERT_TRUE(SaveMesh(*mesh, dir / "saved.3do"));
    EXPECT_EQ(test::ReadText(dir / "saved.3do"), test::ReadText(dir / "one.3do"));
}

MeshRef Line(std::int32_t a, std::int32_t b) {
    MeshRef m;
    CreateMesh(m, static_cast<std::uint16_t>(1), 0);
    m->x = {a, b};
    m->y = {-a, 0};
    m->z = {0, b};
    return m;
}

TEST(MeshBlend, RoundsHalvesToEven) {
    MeshRef from = Line(0, 0), to = Line(3, 5), target;
    BlendMeshes(from, to, target, 0.5f);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->x[0], 2);  // 1.5
    EXPECT_EQ(target->x[1], 2);  // 2.5
    EXPECT_EQ(target->y[0], -2);  // -1.5
    EXPECT_EQ(target->z[1], 2);

    BlendMeshes(from, to, target, 0.0f);
    EXPECT_EQ(target->x, from->x);
    BlendMeshes(from, to, target, 1.0f);
    EXPECT_EQ(target->x, to->x);
    BlendMeshes(Line(10, 10), Line(20, -20), target, 0.25f);
    EXPECT_EQ(target->x[0], 12);  // 12.5
    EXPECT_EQ(target->x[1], 2);   // 10 - 7.5 = 2.5
}

TEST(MeshBlend, MismatchedMeshesAreCopiedNotBlended) {
    MeshRef from = Line(0, 0), to = Line(3, 5);
    from->faces[0].material = 42;

    // A target of another size becomes a full copy of `from`, faces included.
    MeshRef target;
    CreateMesh(target, 7, 9);
    BlendMeshes(from, to, target, 1.0f);
    EXPECT_EQ(target->VertexCount(), 2u);
    EXPECT_EQ(target->FaceCount(), 1u);
    EXPECT_EQ(target->faces[0].material, 42);
    EXPECT_EQ(target->x, to->x);

    // A `to` frame of another vertex count leaves the target a copy of `from`.
    MeshRef other;
    CreateMesh(other, 2, 0);
    other->x = {100, 100, 100};
    BlendMeshes(from, other, target, 0.5f);
    EXPECT_EQ(target->x, from->x);

    // Absent frames change nothing.
    MeshRef none;
    BlendMeshes(none, to, target, 0.5f);
    BlendMeshes(from, none, target, 0.5f);
    EXPECT_EQ(target->x, from->x);
    MeshRef empty;
    BlendMeshes(none, to, empty, 0.5f);
    EXPECT_FALSE(empty);
}

TEST(MeshCopy, CopiesAndIgnoresAbsentSource) {
    MeshRef source = Line(4, 8), target, none;
    CopyMesh(source, target);
    ASSERT_TRUE(target);
    EXPECT_NE(target.get(), source.get());
    EXPECT_EQ(target->x, source->x);
    CopyMesh(none, target);
    EXPECT_EQ(target->x, source->x);
    FreeMesh(target);
    EXPECT_FALSE(target);
    FreeMesh(target);
}

TEST(ScratchMesh, GrowsOnlyForLargerMeshes) {
    Mesh scratch;
    InitScratchMesh(scratch);
    EXPECT_EQ(scratch.VertexCount(), 5001u);
    EXPECT_EQ(scratch.FaceCount(), 15001u);

    MeshRef m;
    CreateMesh(m, 5000, 15000, &scratch);  // exactly as large: fits
    EXPECT_EQ(scratch.lastVertex, 5000);
    EXPECT_EQ(scratch.lastFace, 15000);

    CreateMesh(m, 5001, 10, &scratch);  // 5002 vertices
    EXPECT_EQ(scratch.lastVertex, 5002);
    EXPECT_EQ(scratch.lastFace, 15000);
    EXPECT_EQ(scratch.VertexCount(), 5003u);

    CreateMesh(m, 10, 20000, &scratch);
    EXPECT_EQ(scratch.lastVertex, 5002);
    EXPECT_EQ(scratch.lastFace, 20001);

    CreateMesh(m, 0xFFFF, 0xFFFF, &scratch);  // the largest possible mesh still fits
    EXPECT_EQ(scratch.VertexCount(), 65536u);
    EXPECT_EQ(scratch.FaceCount(), 65536u);
}

TEST(CubeFaces, EveryFaceFacesOutwardsAndCoversItsSide) {
    auto sides = BuildCubeFaceMeshes();
    // Outward direction of sides A..F: z-1, x+1, z+1, x-1, y+1, y-1.
    const int outward[6][3] = {{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    for (int s = 0; s < kCubeSideCount; ++s) {
        const Mesh& m = *sides[static_cast<std::size_t>(s)];
        ASSERT_EQ(m.VertexCount(), 4u);
        ASSERT_EQ(m.FaceCount(), 2u);
        for (std::size_t v = 0; v < 4; ++v) {
            const std::int32_t p[3] = {m.x[v], m.y[v], m.z[v]};
            for (int axis = 0; axis < 3; ++axis) {
                EXPECT_EQ(std::abs(p[axis]), 256);
                if (outward[s][axis] != 0) {
                    EXPECT_EQ(p[axis], 256 * outward[s][axis]) << "side " << s;
                }
            }
        }
        int corners = 0;
        for (const MeshFace& f : m.faces) {
            std::int64_t ab[3] = {m.x[f.b] - m.x[f.a], m.y[f.b] - m.y[f.a], m.z[f.b] - m.z[f.a]};
            std::int64_t ac[3] = {m.x[f.c] - m.x[f.a], m.y[f.c] - m.y[f.a], m.z[f.c] - m.z[f.a]};
            std::int64_t n[3] = {ab[1] * ac[2] - ab[2] * ac[1], ab[2] * ac[0] - ab[0] * ac[2], ab[0] * ac[1] - ab[1] * ac[0]};
            std::int64_t dot = n[0] * outward[s][0] + n[1] * outward[s][1] + n[2] * outward[s][2];
            EXPECT_GT(dot, 0) << "side " << s;
            EXPECT_EQ(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], dot * dot) << "side " << s;  // along the axis
            EXPECT_EQ(f.material, kDefaultCubeColour);
            EXPECT_EQ(f.kind, kFaceFlat);
            EXPECT_EQ(f.twoSided, 0);
            corners += f.corner;
        }
        EXPECT_EQ(corners, 1);  // one triangle of each texture half
        // The two triangles together use all four corners.
        std::set<int> used;
        for (const MeshFace& f : m.faces) used.insert({f.a, f.b, f.c});
        EXPECT_EQ(used.size(), 4u);
    }
}

}  // namespace
}  // namespace zq
