// The batched triangle list gives exactly the pixels of drawing it one
// triangle at a time: campaign levels, a dark level, stereo, and translucent
// faces over colour-keyed ones, each drawn both ways in one offscreen context
// and compared byte for byte.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "assets/colour_tables.h"
#include "assets/graphics.h"
#include "assets/sound_slots.h"
#include "core/errors.h"
#include "core/random.h"
#include "platform/sdl_gl_window.h"
#include "render/gl/gl_renderer.h"
#include "render/world_draw.h"
#include "world/level_file.h"
#include "world/object_defs.h"
#include "offscreen_gl.h"

namespace zq {
namespace {

constexpr int kW = 320, kH = 240;
const std::filesystem::path kData = std::filesystem::path(ZQ_BUILD_DIR) / "data";

// The list drawn the way the back end always drew it: every triangle in its
// own glBegin/glEnd with all its switches set, its darkness pass right after.
void DrawOneByOne(GlRenderer& renderer, const std::array<float, 3>& fog, float dx, float dz) {
    static constexpr float kCorners[2][3][2] = {{{0, 0}, {1, 0}, {1, 1}}, {{1, 1}, {0, 1}, {0, 0}}};
    const GlTriangleList& list = renderer.Triangles();
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    for (int n = 0; n < list.Count(); ++n) {
        const GlTriangle& t = list.Sorted(n);
        if (t.alpha != 1) glEnable(GL_BLEND);
        else glDisable(GL_BLEND);
        if (t.flat) {
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_ALPHA_TEST);
            glColor4f(t.r, t.g, t.b, t.alpha);
            glBegin(GL_TRIANGLES);
            for (const GlVertex& v : t.v) glVertex3f(v.x + dx, v.y, v.z + dz);
            glEnd();
        } else {
            const unsigned texture = renderer.TextureOf(t);
            if (texture == 0) continue;
            glEnable(GL_TEXTURE_2D);
            if (t.keyed) glEnable(GL_ALPHA_TEST);
            else glDisable(GL_ALPHA_TEST);
            glBindTexture(GL_TEXTURE_2D, texture);
            glColor4f(1, 1, 1, t.alpha);
            const auto& uv = kCorners[t.flip ? 1 : 0];
            glBegin(GL_TRIANGLES);
            for (std::size_t k = 0; k < 3; ++k) {
                glTexCoord2f(uv[k][0], uv[k][1]);
                glVertex3f(t.v[k].x + dx, t.v[k].y, t.v[k].z + dz);
            }
            glEnd();
        }
        if (t.darkness[0] > 0 || t.darkness[1] > 0 || t.darkness[2] > 0) {
            glDepthFunc(GL_EQUAL);
            glEnable(GL_BLEND);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_ALPHA_TEST);
            glBegin(GL_TRIANGLES);
            for (std::size_t k = 0; k < 3; ++k) {
                glColor4f(fog[0], fog[1], fog[2], t.darkness[k]);
                glVertex3f(t.v[k].x + dx, t.v[k].y, t.v[k].z + dz);
            }
            glEnd();
            glDepthFunc(GL_LEQUAL);
            glDisable(GL_BLEND);
        }
    }
}

class GlBatching : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gl_ = new test::OffscreenGl;
        gl_->Open("gl batching test", kW, kH);
        window_ = gl_->window.get();
    }
    static void TearDownTestSuite() {
        delete gl_;
        gl_ = nullptr;
        window_ = nullptr;
    }

    void SetUp() override {
        if (!window_) GTEST_SKIP() << "no OpenGL context could be made: " << gl_->why;
        graphics = MakeGraphics(PixelFormat::kRgba);
    }

    void MakeRenderer() {
        GlSurface surface;
        surface.clientSize = [](int& w, int& h) { window_->ClientSize(w, h); };
        renderer = std::make_unique<GlRenderer>(std::move(surface));
        renderer->BindGraphics(*graphics);
        renderer->SetProjection(kW, kH);
    }

    void LoadLevel(const std::string& name) {
        DataResolver data(kData);
        BankLoadContext bank{data, *graphics, assets, sounds, 0, nullptr, {}};
        Random random;
        LevelLoadContext context{data, random, 0, {}};
        context.hooks.loadObjectDefinitions = [&](World& w, const std::string& file, const std::string& mode) {
            LoadObjectDefinitions(w, bank, file, mode);
        };
        LoadLevelFile(*world, context, "LEVEL/" + name + ".LEV", "High");
        SetFogColour(*graphics->tables, graphics->mainPalette, world->fogRed, world->fogGreen, world->fogBlue);
        MakeRenderer();
    }

    // The level from its start cell at eye height, turned by `turn` from the
    // start heading and looking a little down.
    void DrawLevel(int turn) {
        WorldDrawState state;
        InitWorldDrawState(state);
        WorldDrawParams params;
        params.clearColour = renderer->FogClearColour();
        params.camera = {static_cast<float>(world->startX * kCellSize + kCellSize / 2),
                         static_cast<float>(world->startY * kCellSize + 400),
                         static_cast<float>(world->startZ * kCellSize + kCellSize / 2), 0, -1200,
                         (world->startHeading + turn) & 32767};
        camera = params.camera;
        renderer->ClearFrame(params.clearColour);
        renderer->BeginFrame(static_cast<int>(camera.x), static_cast<int>(camera.y), static_cast<int>(camera.z),
                             camera.roll, camera.pitch, camera.yaw);
        DrawWorld(*world, *renderer, state, params, {});
        renderer->EndFrame();
    }

    // Grabs what the renderer drew, redraws the same sorted list one triangle
    // at a time over a fresh clear, and compares the two pictures.
    void ExpectSameAsOneByOne(int clearColour, bool stereo = false, GlColourMask second = {}) {
        ASSERT_GT(renderer->Stats().triangles, 0);
        const int draws = renderer->Stats().draws;
        FramePicture batched;
        ASSERT_TRUE(renderer->GrabFrame(batched));

        renderer->ClearFrame(clearColour);
        glClear(GL_DEPTH_BUFFER_BIT);
        const std::array<float, 3> fog = graphics->tables->fogColour;
        if (!stereo) {
            DrawOneByOne(*renderer, fog, 0, 0);
        } else {
            glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_TRUE);
            DrawOneByOne(*renderer, fog, 0, 0);
            glColorMask(second.red, second.green, second.blue, GL_TRUE);
            glClear(GL_DEPTH_BUFFER_BIT);
            const float yaw = AngleToRadians(renderer->Triangles().CameraYaw());
            DrawOneByOne(*renderer, fog, kGlStereoOffset * (std::sin(yaw) + std::cos(yaw)),
                         kGlStereoOffset * (std::cos(yaw) - std::sin(yaw)));
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        }
        FramePicture reference;
        ASSERT_TRUE(renderer->GrabFrame(reference));
        ASSERT_EQ(batched.pixels.size(), reference.pixels.size());

        int differing = 0, first = -1;
        for (std::size_t i = 0; i < reference.pixels.size(); i += 3) {
            if (batched.pixels[i] != reference.pixels[i] || batched.pixels[i + 1] != reference.pixels[i + 1] ||
                batched.pixels[i + 2] != reference.pixels[i + 2]) {
                if (first < 0) first = static_cast<int>(i / 3);
                ++differing;
            }
        }
        EXPECT_EQ(differing, 0) << "first at (" << first % kW << ", " << first / kW << ")";
        // The picture is worth comparing, and the batches really were joined.
        int colours = 0;
        for (std::size_t i = 3; i < reference.pixels.size() && colours < 8; i += 3 * 97)
            colours += reference.pixels[i] != reference.pixels[0] || reference.pixels[i + 1] != reference.pixels[1];
        EXPECT_GE(colours, 8) << "a nearly empty picture proves nothing";
        // Drawn one by one, every triangle and every darkness pass is a draw;
        // a level view has enough side by side to join.
        const int eyes = stereo ? 2 : 1;
        if (renderer->Stats().triangles > 100) {
            EXPECT_LT(2 * draws, eyes * renderer->Stats().triangles + renderer->Stats().darknessPasses);
        }
    }

    static inline SdlGlWindow* window_ = nullptr;
    static inline test::OffscreenGl* gl_ = nullptr;
    std::unique_ptr<Graphics> graphics;
    std::unique_ptr<World> world = std::make_unique<World>();
    BankAssets assets;
    SilentSoundSlots sounds;
    std::unique_ptr<GlRenderer> renderer;
    WorldCamera camera;
};

TEST_F(GlBatching, CampaignLevelsMatchDrawingOneTriangleAtATime) {
    const struct {
        const char* level;
        int turn;
    } views[] = {{"01_FIRST_STEPS", 0},     {"04_PULL_THE_LEVER", 4096}, {"06_KEY_TO_THE_DOOR", 16384},
                 {"10_WATCHERS", 24576},     {"13_THE_VAULT", 0}};
    for (const auto& view : views) {
        SCOPED_TRACE(view.level);
        LoadLevel(view.level);
        DrawLevel(view.turn);
        ExpectSameAsOneByOne(renderer->FogClearColour());
    }
}

// Every level of the campaign from its start, looking four ways: floors and
// walls of neighbouring cells that only touch (at a corner, or along a line
// without sharing corners) go into one round, and must still give the same
// pixels as the list drawn in order.
TEST_F(GlBatching, EveryCampaignLevelMatchesLookingFourWays) {
    std::vector<std::string> levels;
    for (const auto& entry : std::filesystem::directory_iterator(kData / "LEVEL"))
        if (entry.path().extension() == ".LEV") levels.push_back(entry.path().stem().string());
    std::sort(levels.begin(), levels.end());
    ASSERT_GE(levels.size(), 20u);
    for (const std::string& level : levels) {
        LoadLevel(level);
        // The sky is a list of its own, drawn before the world's; the
        // reference redraws only the last list.
        world->outsideLevel = false;
        for (int turn = 0; turn < 32768; turn += 8192) {
            SCOPED_TRACE(level + " turned " + std::to_string(turn));
            DrawLevel(turn);
            ExpectSameAsOneByOne(renderer->FogClearColour());
        }
    }
}

TEST_F(GlBatching, DarkLevelWhereNearlyEveryTriangleFadesMatches) {
    LoadLevel("09_LIGHTS_OUT");
    DrawLevel(8192);
    const GlTriangleList& list = renderer->Triangles();
    int dark = 0;
    for (int i = 0; i < list.Count(); ++i) dark += list.At(i).darkness[0] > 0.25f;
    EXPECT_GT(dark * 10, list.Count() * 9);
    ExpectSameAsOneByOne(renderer->FogClearColour());
}

TEST_F(GlBatching, StereoPicturesMatch) {
    LoadLevel("01_FIRST_STEPS");
    for (GlColourMask second : {GlColourMask{false, false, true}, GlColourMask{false, true, false}}) {
        renderer->StereoOnWith(kGlStereoOffset, second);
        DrawLevel(2048);
        ExpectSameAsOneByOne(renderer->FogClearColour(), true, second);
        renderer->StereoOff();
    }
}

// Faces of a square of half-side `s` centred at depth z, facing a camera at
// the origin looking along +z, in two triangles.
Mesh Square(int s, int z, std::uint16_t kind, std::uint16_t material, std::uint16_t transparency) {
    Mesh m;
    m.x = {-s, s, s, -s};
    m.y = {-s, -s, s, s};
    m.z = {z, z, z, z};
    MeshFace first, second;
    first.a = 0, first.b = 3, first.c = 2;
    second.a = 0, second.b = 2, second.c = 1;
    for (MeshFace* f : {&first, &second}) {
        f->kind = kind;
        f->material = material;
        f->transparency = transparency;
    }
    m.faces = {first, second};
    m.lastVertex = 3;
    m.lastFace = 1;
    return m;
}

TEST_F(GlBatching, TranslucentFacesOverColourKeyedOnesMatch) {
    // Bank image 5: a checker of see-through (index 0) and red 8 x 8 blocks;
    // image 6: solid blue with a see-through border.
    std::vector<std::uint8_t> keyed(4 * kBankImageBytes, 0);
    std::vector<std::uint8_t> bordered(4 * kBankImageBytes, 0);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const std::size_t at = static_cast<std::size_t>((y * 128 + x) * 4);
            if (((x / 8) + (y / 8)) % 2 == 0) {
                keyed[at] = 220, keyed[at + 1] = 40, keyed[at + 2] = 30, keyed[at + 3] = 255;
            }
            if (x > 10 && x < 117 && y > 10 && y < 117) {
                bordered[at] = 30, bordered[at + 1] = 60, bordered[at + 2] = 230, bordered[at + 3] = 255;
            }
        }
    graphics->bankImages[5] = std::make_shared<const std::vector<std::uint8_t>>(std::move(keyed));
    graphics->bankImages[6] = std::make_shared<const std::vector<std::uint8_t>>(std::move(bordered));
    graphics->textureSlots[3] = {5, 5, 5};
    graphics->textureSlots[4] = {6, 6, 6};
    ++graphics->bankGeneration;
    Palette& flat = graphics->flatPalette;
    flat.red[64] = 40, flat.green[64] = 200, flat.blue[64] = 60;
    flat.red[65] = 240, flat.green[65] = 240, flat.blue[65] = 90;
    graphics->tables->fogColour = {0.3f, 0.1f, 0.4f};
    MakeRenderer();
    renderer->ClearFrame(0);
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->AddLight(-200, 100, 300, 600);
    // From far to near: a lit green wall, keyed checkers (one tilted through
    // another), then translucent flat and textured faces over them, some in
    // the fog's shade.
    renderer->AddMesh(Square(3000, 900, kFaceFlat, 64, 0), 0, 0, 0, 1, 0, 64, 0, 0, 0);
    renderer->AddMesh(Square(260, 600, kFaceColourKeyed, 3, 0), -120, 40, 0, 2, 0, 200, 0, 0, 0);
    renderer->AddMesh(Square(260, 0, kFaceColourKeyed, 3, 0), 150, -30, 560, 3, 0, 120, 2000, 0, 1500);
    renderer->AddMesh(Square(180, 450, kFaceFlat, 65, 40), 60, 60, 0, 4, 0, 180, 0, 0, 0);
    renderer->AddMesh(Square(200, 400, kFaceTextured, 4, 0), -150, -90, 0, 5, 30, 96, 0, 0, 0);
    renderer->AddMesh(Square(90, 300, kFaceColourKeyed, 3, 50), 40, -20, 0, 6, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    ExpectSameAsOneByOne(0);
}

// Corridor walls and a floor running from behind the eye into the distance,
// faces cut by the near plane right in front of it, and faces wholly in the
// dark (drawn once in the fog colour) over and under translucent and keyed
// ones.
TEST_F(GlBatching, FacesCutByTheNearPlaneAndWhollyDarkFacesMatch) {
    std::vector<std::uint8_t> keyed(4 * kBankImageBytes, 0);
    std::vector<std::uint8_t> stripes(4 * kBankImageBytes, 255);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const std::size_t at = static_cast<std::size_t>((y * 128 + x) * 4);
            if ((x / 16 + y / 16) % 2 == 0) {
                keyed[at] = 200, keyed[at + 1] = 180, keyed[at + 2] = 20, keyed[at + 3] = 255;
            }
            stripes[at] = static_cast<std::uint8_t>(40 + (y / 8) * 12);
            stripes[at + 1] = static_cast<std::uint8_t>(30 + x);
        }
    graphics->bankImages[5] = std::make_shared<const std::vector<std::uint8_t>>(std::move(keyed));
    graphics->bankImages[7] = std::make_shared<const std::vector<std::uint8_t>>(std::move(stripes));
    graphics->textureSlots[3] = {5, 5, 5};
    graphics->textureSlots[5] = {7, 7, 7};
    ++graphics->bankGeneration;
    Palette& flat = graphics->flatPalette;
    flat.red[70] = 90, flat.green[70] = 170, flat.blue[70] = 250;
    graphics->tables->fogColour = {0.2f, 0.5f, 0.35f};
    MakeRenderer();
    auto twoSided = [](Mesh m) {
        for (MeshFace& f : m.faces) f.twoSided = 1;
        return m;
    };
    for (int turn : {0, 300}) {
        SCOPED_TRACE(turn);
        renderer->ClearFrame(0);
        renderer->BeginFrame(0, 0, 0, 0, 0, turn);
        // One small lamp ahead: near it faces are lit, elsewhere ambient alone.
        renderer->AddLight(0, -100, 900, 700);
        const Mesh wall = twoSided(Square(3000, 0, kFaceTextured, 5, 0));
        renderer->AddMesh(wall, -300, 0, 2500, 1, 0, 40, 0, 0, 8192);
        renderer->AddMesh(wall, 300, 0, 2500, 2, 0, -128, 0, 0, 8192);  // wholly dark
        renderer->AddMesh(wall, 0, -200, 2500, 3, 0, 0, 8192, 0, 0);    // floor
        renderer->AddMesh(twoSided(Square(2000, 0, kFaceFlat, 70, 0)), 0, 250, 2500, 4, 0, -128, 8192, 0, 0);
        // Cut by the near plane, across the view.
        renderer->AddMesh(twoSided(Square(400, 0, kFaceColourKeyed, 3, 0)), 60, 0, 120, 5, 0, 120, 0, 0, 5000);
        renderer->AddMesh(twoSided(Square(300, 0, kFaceFlat, 70, 40)), -80, 40, 60, 6, 0, 200, 0, 0, 27000);
        // Far off, wholly dark: translucent over keyed, keyed over textured.
        renderer->AddMesh(Square(300, 2600, kFaceTextured, 5, 0), -100, 0, 0, 7, 0, -128, 0, 0, 0);
        renderer->AddMesh(Square(200, 2400, kFaceColourKeyed, 3, 0), -60, 30, 0, 8, 0, -128, 0, 0, 0);
        renderer->AddMesh(Square(150, 2200, kFaceTextured, 5, 30), -20, -20, 0, 9, 20, -128, 0, 0, 0);
        renderer->AddMesh(Square(150, 2300, kFaceFlat, 70, 50), 120, 60, 0, 10, 0, -128, 0, 0, 0);
        renderer->EndFrame();
        EXPECT_GT(renderer->Stats().fogged, 4);
        EXPECT_GT(renderer->Stats().darknessPasses, 4);
        ExpectSameAsOneByOne(0);
    }
}

// The editor's picking: in selection mode every triangle is still sent with
// its object's id as the name, so each visible object gives a hit.
TEST_F(GlBatching, SelectionNamesEveryObjectHit) {
    graphics->flatPalette.red[64] = 200;
    MakeRenderer();
    renderer->ClearFrame(0);
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->AddMesh(Square(100, 500, kFaceFlat, 64, 0), -200, 0, 0, 11, 0, 256, 0, 0, 0);
    renderer->AddMesh(Square(100, 500, kFaceFlat, 64, 0), 200, 0, 0, 12, 0, 40, 0, 0, 0);     // in shade
    renderer->AddMesh(Square(100, 400, kFaceFlat, 64, 30), 0, 0, 0, 13, 0, 256, 0, 0, 0);     // translucent
    renderer->AddMesh(Square(100, 500, kFaceFlat, 64, 0), 5000, 0, 0, 14, 0, 256, 0, 0, 0);   // out of sight
    std::array<GLuint, 256> hits{};
    glSelectBuffer(static_cast<GLsizei>(hits.size()), hits.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    renderer->EndFrame();
    const GLint records = glRenderMode(GL_RENDER);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::vector<GLuint> names;
    for (GLint r = 0, at = 0; r < records; ++r) {
        const GLuint depth = hits[static_cast<std::size_t>(at)];  // names on the stack
        names.push_back(hits[static_cast<std::size_t>(at) + 3 + depth - 1]);
        at += 3 + static_cast<GLint>(depth);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(names, (std::vector<GLuint>{11, 12, 13}));
    EXPECT_EQ(renderer->Stats().darknessPasses, 2);  // the shaded square's two triangles
}

}  // namespace
}  // namespace zq
