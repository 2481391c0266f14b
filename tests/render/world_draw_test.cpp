#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "render/world_draw.h"
#include "render/soft_fixture.h"

namespace zq {
namespace {

// Records what the world drawing hands to a back end.
class RecordingRenderer final : public Renderer {
public:
    struct MeshCall {
        const Mesh* mesh;
        int x, y, z, transparency, ambient;
        int material, kind;
    };
    std::vector<MeshCall> meshes;
    int begins = 0, ends = 0, clears = 0, lastClear = -1;
    std::vector<std::array<int, 4>> lights;
    std::array<int, 3> visibleTested{};
    bool visible = true;

    void SetProjection(int, int) override {}
    void ClearFrame(int colour) override {
        ++clears;
        lastClear = colour;
    }
    void BeginFrame(int, int, int, int, int, int) override { ++begins; }
    void AddLight(int x, int y, int z, int radius) override { lights.push_back({x, y, z, radius}); }
    void AddMesh(const Mesh& mesh, int x, int y, int z, int, int transparency, int ambient, int, int, int) override {
        const MeshFace* f = mesh.faces.empty() ? nullptr : &mesh.faces[0];
        meshes.push_back({&mesh, x, y, z, transparency, ambient, f ? f->material : -1, f ? f->kind : -1});
    }
    bool IsPointVisible(int, int, int, int) const override { return visible; }
    void EndFrame() override { ++ends; }
    void Present() override {}
    void StereoOn(StereoMode) override {}
    void StereoOff() override {}
};

struct WorldFixture {
    std::unique_ptr<World> world = std::make_unique<World>();
    WorldDrawState state;
    RecordingRenderer renderer;
    WorldDrawParams params;
    MeshRef thing = std::make_shared<Mesh>(test::MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {test::Face(0, 1, 2, 5, 3)}));

    WorldFixture(int sx = 8, int sy = 4, int sz = 8) {
        AllocateGrid(*world, sx, sy, sz);
        std::fill(world->lightMap.begin(), world->lightMap.end(), 128);
        ObjectDef& cube = world->objectDefs[1];
        cube.undefined = false;
        cube.cube = true;
        cube.faceTexture = {10, 11, 12, 13, 14, 15};
        cube.faceColor = {20, 21, 22, 23, 24, 25};
        ObjectDef& ladder = world->objectDefs[2];
        ladder.undefined = false;
        ladder.meshes[0] = thing;
        ladder.transparency = 30;
        InitWorldDrawState(state);
        params.camera = {1000, 700, 1000, 0, 0, 0};
    }
    void Draw(const WorldDrawHooks& hooks = {}) { DrawWorld(*world, renderer, state, params, hooks); }
    int CubeFaceCalls() const {
        int n = 0;
        for (const auto& m : renderer.meshes)
            for (const auto& f : state.cubeFaces) n += m.mesh == f.get();
        return n;
    }
};

TEST(WorldWindow, TwelveCellsEachWayClampedToTheGrid) {
    World world;
    AllocateGrid(world, 40, 40, 40);
    EXPECT_EQ(CameraWindow(world, 6000, 0, 0).from[0], 0);
    EXPECT_EQ(CameraWindow(world, 6144, 0, 0).from[0], 0);
    EXPECT_EQ(CameraWindow(world, 6656, 0, 0).from[0], 1);
    EXPECT_EQ(CameraWindow(world, 6656, 0, 0).to[0], 25);
    EXPECT_EQ(CameraWindow(world, 19000, 0, 0).to[0], 39);
    EXPECT_EQ(CameraWindow(world, 100, 100, 100).to[1], 12);
}

TEST(WorldFaces, FacesBetweenCubesAreNeverSubmitted) {
    WorldFixture fx;
    SetCell(*fx.world, 2, 1, 2, 1);
    SetCell(*fx.world, 3, 1, 2, 1);
    fx.Draw();
    EXPECT_EQ(fx.CubeFaceCalls(), 10);
    EXPECT_TRUE(CubeFaceHidden(*fx.world, 2, 1, 2, 1));   // B: x + 1
    EXPECT_TRUE(CubeFaceHidden(*fx.world, 3, 1, 2, 3));   // D: x - 1
    EXPECT_FALSE(CubeFaceHidden(*fx.world, 2, 1, 2, 3));
}

TEST(WorldFaces, ACubeBesideANonCubeShowsThatFace) {
    WorldFixture fx;
    SetCell(*fx.world, 2, 1, 2, 1);
    SetCell(*fx.world, 2, 1, 3, 2);  // ladder at z + 1 (side C)
    SetCell(*fx.world, 2, 2, 2, 7);  // undefined type above (side E)
    EXPECT_FALSE(CubeFaceHidden(*fx.world, 2, 1, 2, 2));
    EXPECT_FALSE(CubeFaceHidden(*fx.world, 2, 1, 2, 4));
    fx.Draw();
    EXPECT_EQ(fx.CubeFaceCalls(), 6);
    int ladders = 0;
    for (const auto& m : fx.renderer.meshes) {
        if (m.mesh != fx.thing.get()) continue;
        ++ladders;
        EXPECT_EQ(m.x, 2 * 512 + 256);
        EXPECT_EQ(m.z, 3 * 512 + 256);
        EXPECT_EQ(m.transparency, 30);
    }
    EXPECT_EQ(ladders, 1);
}

TEST(WorldFaces, TexturesOnOrOffPickMaterialAndKind) {
    for (const bool textured : {true, false}) {
        WorldFixture fx;
        fx.params.texturesOn = textured;
        SetCell(*fx.world, 2, 1, 2, 1);
        fx.Draw();
        ASSERT_EQ(fx.CubeFaceCalls(), 6);
        // Faces are submitted in side order A..F.
        for (int side = 0; side < 6; ++side) {
            const auto& m = fx.renderer.meshes[static_cast<std::size_t>(side)];
            EXPECT_EQ(m.material, (textured ? 10 : 20) + side);
            EXPECT_EQ(m.kind, textured ? 0 : 3);
        }
    }
}

TEST(WorldLight, AmbientFromTheLightMapAndTheDigCell) {
    struct Case {
        int light;
        bool dug;
        int ambient;
    };
    for (const Case c : {Case{128, false, 0}, Case{255, false, 127}, Case{0, false, -128}, Case{200, true, -80}}) {
        WorldFixture fx;
        fx.world->objectDefs[1].dig = true;
        SetCell(*fx.world, 2, 1, 2, 1);
        SetLight(*fx.world, 2, 1, 2, static_cast<std::uint8_t>(c.light));
        if (c.dug) fx.params.digCell = {2, 1, 2};
        fx.Draw();
        ASSERT_FALSE(fx.renderer.meshes.empty());
        for (const auto& m : fx.renderer.meshes) EXPECT_EQ(m.ambient, c.ambient);
    }
}

TEST(WorldFrame, LampSkyAndClearColour) {
    for (const bool outside : {false, true}) {
        WorldFixture fx;
        fx.world->skyMesh = fx.thing;
        fx.world->outsideLevel = outside ? 1 : 0;
        fx.params.lampRadius = 3000.4f;
        fx.params.clearColour = 77;
        fx.Draw();
        EXPECT_EQ(fx.renderer.clears, 1);
        EXPECT_EQ(fx.renderer.lastClear, 77);
        EXPECT_EQ(fx.renderer.begins, outside ? 2 : 1);
        EXPECT_EQ(fx.renderer.ends, outside ? 1 : 0);  // the world frame is left open
        ASSERT_FALSE(fx.renderer.lights.empty());
        EXPECT_EQ(fx.renderer.lights.back(), (std::array<int, 4>{1000, 700, 1000, 3000}));
        int skies = 0;
        for (const auto& m : fx.renderer.meshes) skies += m.mesh == fx.thing.get();
        EXPECT_EQ(skies, outside ? 1 : 0);
    }
}

TEST(WorldMoving, AnimationsNearTheCameraAndEveryMovingBlock) {
    WorldFixture fx(40, 4, 40);
    CellAnimation& near = fx.world->cellAnimations[3];
    near.inUse = true;
    near.mesh = fx.thing;
    near.x = 1500, near.y = 300, near.z = 1200;
    CellAnimation& far = fx.world->cellAnimations[4];
    far = near;
    far.x = 1000 + 12 * 512;  // 12 cells or more away: skipped
    fx.world->movingBlocks[0] = MovingBlock{};
    fx.world->movingBlocks[0].value = 1;
    fx.world->movingBlocks[0].x = 15000;  // no distance test for blocks
    fx.world->lastMovingBlock = 0;
    fx.Draw();
    int animations = 0;
    for (const auto& m : fx.renderer.meshes) animations += m.mesh == fx.thing.get();
    EXPECT_EQ(animations, 1);
    EXPECT_EQ(fx.CubeFaceCalls(), 6);
}

TEST(WorldShadow, FloorUnderTheHero) {
    WorldFixture fx;
    ObjectDef& floor = fx.world->objectDefs[1];
    floor.currentBounds = {0, 511, 0, 0, 511, 512, 512, 512, 512};
    ObjectDef& post = fx.world->objectDefs[2];
    post.currentBounds = {200, 300, 0, 200, 300, 400, 400, 400, 400};
    SetCell(*fx.world, 2, 0, 2, 1);
    SetCell(*fx.world, 3, 0, 3, 2);
    // Straight above the floor cell, two cells up.
    EXPECT_EQ(ShadowFloor(*fx.world, 2 * 512 + 100, 2 * 512 + 40, 2 * 512 + 100), 512.0f);
    // Above the post but beside its box: nothing below.
    EXPECT_FALSE(ShadowFloor(*fx.world, 3 * 512 + 100, 700, 3 * 512 + 100).has_value());
    EXPECT_EQ(ShadowFloor(*fx.world, 3 * 512 + 250, 700, 3 * 512 + 250), 400.0f);
    // Inside a full cell there is no shadow.
    EXPECT_FALSE(ShadowFloor(*fx.world, 2 * 512 + 100, 100, 2 * 512 + 100).has_value());
    // A moving block under the hero.
    fx.world->movingBlocks[0].value = 1;
    fx.world->movingBlocks[0].x = 5 * 512 + 256;
    fx.world->movingBlocks[0].y = 256 + 40;
    fx.world->movingBlocks[0].z = 5 * 512 + 256;
    fx.world->lastMovingBlock = 0;
    EXPECT_EQ(ShadowFloor(*fx.world, 5 * 512 + 300, 900, 5 * 512 + 200), 552.0f);

    const Mesh shadow = test::MakeMesh({{0, 0, 0}}, {test::Face(0, 0, 0, 1, 3)});
    AddShadow(fx.renderer, *fx.world, shadow, 2 * 512 + 100, 2 * 512 + 40, 2 * 512 + 100, 1234);
    ASSERT_EQ(fx.renderer.meshes.size(), 1u);
    EXPECT_EQ(fx.renderer.meshes[0].y, 517);
}

TEST(WorldFaces, CubeShapesComeFromTheHookAndAreResetEachFrame) {
    WorldFixture fx;
    SetCell(*fx.world, 2, 1, 2, 1);
    SetCell(*fx.world, 5, 1, 5, 1);
    std::vector<std::array<int, 3>> shaped;
    WorldDrawHooks hooks;
    hooks.shapeCube = [&](const World&, int x, int y, int z) {
        shaped.push_back({x, y, z});
        fx.state.cubeFaces[4]->y[0] = 100;  // lower a top corner
    };
    fx.Draw(hooks);
    EXPECT_EQ(shaped.size(), 2u);
    EXPECT_EQ(fx.state.cubeFaces[4]->y[0], 100);
    fx.Draw();
    EXPECT_EQ(fx.state.cubeFaces[4]->y[0], 256);
}

TEST(WorldTransition, OnlyTheFirstFacesAreDrawn) {
    test::SoftFixture soft;
    WorldDrawState state;
    InitWorldDrawState(state);
    std::vector<MeshFace> faces;
    std::vector<std::array<int, 3>> vertices;
    for (int i = 0; i < 16; ++i) {
        vertices.push_back({-100 + i * 10, -50, 0});
        vertices.push_back({-90 + i * 10, -50, 0});
        vertices.push_back({-95 + i * 10, 50, 0});
        faces.push_back(test::Face(3 * i, 3 * i + 1, 3 * i + 2, 5, 3, 0, 1));
    }
    const Mesh mesh = test::MakeMesh(vertices, faces);
    for (const int n : {1, 5, 16, 40}) {
        DrawTransition(soft.renderer, state, mesh, n);
        EXPECT_EQ(soft.renderer.TriangleCount(), std::min(n, 16));
    }
}

}  // namespace
}  // namespace zq
