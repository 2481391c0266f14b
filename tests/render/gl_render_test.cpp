// Pictures drawn by the OpenGL back end in an invisible window (the offscreen
// video driver, Mesa's software GL): faces, colour keys, fog, translucency,
// stereo, texture re-uploads and the overlay's image placement.  GL output is
// not bit-exact, so colours are compared with a tolerance.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "core/errors.h"
#include "platform/sdl_gl_window.h"
#include "render/gl/gl_renderer.h"
#include "offscreen_gl.h"
#include "test_util.h"

namespace zq {
namespace {

constexpr int kW = 64, kH = 48;
constexpr int kTolerance = 4;

struct Rgb {
    int r = 0, g = 0, b = 0;
};

::testing::AssertionResult Near(Rgb actual, Rgb wanted) {
    if (std::abs(actual.r - wanted.r) <= kTolerance && std::abs(actual.g - wanted.g) <= kTolerance &&
        std::abs(actual.b - wanted.b) <= kTolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << actual.r << ", " << actual.g << ", " << actual.b << "), wanted ("
                                         << wanted.r << ", " << wanted.g << ", " << wanted.b << ")";
}

// Faces for a flat or textured square of half-side `s` at depth z, facing a
// camera at the origin looking along +z.
Mesh Square(int s, int z, std::uint16_t kind, std::uint16_t material) {
    Mesh m;
    m.x = {-s, s, s, -s};
    m.y = {-s, -s, s, s};
    m.z = {z, z, z, z};
    MeshFace first, second;
    first.a = 0, first.b = 3, first.c = 2;
    second.a = 0, second.b = 2, second.c = 1;
    first.kind = second.kind = kind;
    first.material = second.material = material;
    m.faces = {first, second};
    m.lastVertex = 3;
    m.lastFace = 1;
    return m;
}

// One textured triangle, lower-left, upper-left, upper-right of a square of
// half-side `s`: its texture's rows run left to right across the screen.
Mesh TexturedTriangle(int s, int z, std::uint16_t kind, std::uint16_t slot) {
    Mesh m;
    m.x = {-s, -s, s};
    m.y = {-s, s, s};
    m.z = {z, z, z};
    MeshFace face;
    face.a = 0, face.b = 1, face.c = 2;
    face.kind = kind;
    face.material = slot;
    m.faces = {face};
    m.lastVertex = 2;
    m.lastFace = 0;
    return m;
}

class GlRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gl_ = new test::OffscreenGl;
        gl_->Open("gl test", kW, kH);
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
        Palette& main = graphics->mainPalette;
        main.red[5] = 0, main.green[5] = 0, main.blue[5] = 160;  // the clear colour
        Palette& flat = graphics->flatPalette;
        flat.red[64] = 40, flat.green[64] = 220, flat.blue[64] = 40;
        flat.red[65] = 220, flat.green[65] = 20, flat.blue[65] = 20;
        flat.red[66] = 255, flat.green[66] = 255, flat.blue[66] = 255;
        graphics->tables->fogColour = {1, 1, 0};
        // Bank image 5: rows 0..63 are index 0 (transparent black), the rest red.
        SetBankImage(5, {220, 30, 30});
        graphics->textureSlots[3] = {5, 5, 5};
        graphics->bankGeneration = 1;
        // Interface slot 7: a 100 x 60 white picture in a 128 x 64 texture.
        ImageSlot& image = graphics->imageSlots[7];
        image.width = 100, image.height = 60, image.texWidth = 128, image.texHeight = 64;
        image.uExtent = 100.0f / 128, image.vExtent = 60.0f / 64;
        image.rgba.assign(128 * 64 * 4, 0);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 100; ++x)
                for (int c = 0; c < 4; ++c) image.rgba[static_cast<std::size_t>((y * 128 + x) * 4 + c)] = c < 3 ? 250 : 255;
        image.generation = 1;

        GlSurface surface;
        surface.clientSize = [](int& w, int& h) { window_->ClientSize(w, h); };
        renderer = std::make_unique<GlRenderer>(std::move(surface));
        renderer->BindGraphics(*graphics);
        renderer->SetProjection(kW, kH);
        renderer->ClearFrame(5);
        renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    }

    void SetBankImage(int number, Rgb colour) {
        auto image = std::make_shared<std::vector<std::uint8_t>>(4 * kBankImageBytes, 0);
        auto& pixels = *image;
        graphics->bankImages[static_cast<std::size_t>(number)] = image;
        for (int y = 64; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                std::uint8_t* p = &pixels[static_cast<std::size_t>((y * 128 + x) * 4)];
                p[0] = static_cast<std::uint8_t>(colour.r);
                p[1] = static_cast<std::uint8_t>(colour.g);
                p[2] = static_cast<std::uint8_t>(colour.b);
                p[3] = 255;
            }
    }

    Rgb Pixel(int x, int y) {
        if (picture.pixels.empty()) {
            EXPECT_TRUE(renderer->GrabFrame(picture));
            EXPECT_EQ(picture.width, kW);
            EXPECT_EQ(picture.height, kH);
        }
        if (picture.pixels.size() < static_cast<std::size_t>(kW * kH * 3)) return {-100, -100, -100};
        const std::uint8_t* p = &picture.pixels[static_cast<std::size_t>((y * kW + x) * 3)];
        return {p[0], p[1], p[2]};
    }

    static inline SdlGlWindow* window_ = nullptr;
    static inline test::OffscreenGl* gl_ = nullptr;
    std::unique_ptr<Graphics> graphics;
    std::unique_ptr<GlRenderer> renderer;
    FramePicture picture;
};

TEST_F(GlRender, FlatFaceCoversTheCentreOverTheClearColour) {
    renderer->AddMesh(Square(50, 200, kFaceFlat, 64), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_EQ(renderer->Stats().triangles, 2);
    EXPECT_EQ(renderer->Stats().darknessPasses, 0);  // fully lit
    EXPECT_TRUE(Near(Pixel(kW / 2, kH / 2), {40, 220, 40}));
    EXPECT_TRUE(Near(Pixel(1, 1), {0, 0, 160}));
    EXPECT_TRUE(Near(Pixel(kW - 2, kH - 2), {0, 0, 160}));
}

TEST_F(GlRender, ThingsToTheRightOfTheCameraShowOnTheRight) {
    renderer->AddMesh(Square(40, 200, kFaceFlat, 64), 150, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_TRUE(Near(Pixel(51, kH / 2), {40, 220, 40}));  // columns 46..55
    EXPECT_TRUE(Near(Pixel(13, kH / 2), {0, 0, 160}));
}

// Names over heads follow what is drawn: the point lands on the square's
// columns, and a point behind the eye lands nowhere.
TEST_F(GlRender, ScreenPointFallsWhereThePointIsDrawn) {
    renderer->AddMesh(Square(40, 200, kFaceFlat, 64), 150, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    float fx = 0, fy = 0;
    ASSERT_TRUE(renderer->ScreenPoint(150, 0, 200, fx, fy));
    EXPECT_NEAR(fx * kW, 51, 3);  // columns 46..55
    EXPECT_NEAR(fy * kH, kH / 2, 1);
    EXPECT_FALSE(renderer->ScreenPoint(0, 0, -200, fx, fy));
}

// Up to 4:3 the aspect is 1.4: a frame of another shape keeps the width of
// things and squeezes or stretches their height.
TEST_F(GlRender, AspectStaysAtOnePointFourUpToFourByThree) {
    auto measure = [&](int height, int& across, int& down) {
        renderer->SetProjection(kW, height);
        renderer->ClearFrame(5);
        renderer->BeginFrame(0, 0, 0, 0, 0, 0);
        renderer->AddMesh(Square(60, 200, kFaceFlat, 64), 0, 0, 0, -1, 0, 256, 0, 0, 0);
        renderer->EndFrame();
        picture = {};
        ASSERT_TRUE(renderer->GrabFrame(picture));
        ASSERT_EQ(picture.height, height);
        across = down = 0;
        for (int x = 0; x < kW; ++x) across += picture.pixels[static_cast<std::size_t>(((height / 2) * kW + x) * 3 + 1)] > 150;
        for (int y = 0; y < height; ++y) down += picture.pixels[static_cast<std::size_t>((y * kW + kW / 2) * 3 + 1)] > 150;
    };
    int across48 = 0, down48 = 0, across56 = 0, down56 = 0;
    measure(48, across48, down48);
    measure(56, across56, down56);
    EXPECT_NEAR(across48, 15, 1);  // 64 * 60 / (2 * 200 * tan(42.5 degrees) * 1.4)
    EXPECT_EQ(across56, across48);
    EXPECT_NEAR(down48, 16, 1);
    EXPECT_NEAR(down56 * 48, down48 * 56, 56);
}

// A frame wider than 4:3 keeps the vertical view and square pixels: it shows
// more to the sides, and what it shows is not stretched.
TEST_F(GlRender, WideFramesWidenTheViewInsteadOfStretching) {
    auto offsets = [&](int width, int height, float& side, float& up) {
        renderer->SetProjection(width, height);
        renderer->ClearFrame(5);
        renderer->BeginFrame(0, 0, 0, 0, 0, 0);
        renderer->EndFrame();
        float sx = 0, sy = 0, ux = 0, uy = 0;
        ASSERT_TRUE(renderer->ScreenPoint(300, 0, 1000, sx, sy));
        ASSERT_TRUE(renderer->ScreenPoint(0, 300, 1000, ux, uy));
        side = std::abs(sx - 0.5f) * static_cast<float>(width);
        up = (0.5f - uy) * static_cast<float>(height);
    };
    float classicSide = 0, classicUp = 0, wideSide = 0, wideUp = 0;
    offsets(48, 36, classicSide, classicUp);
    offsets(64, 36, wideSide, wideUp);
    EXPECT_NEAR(wideUp, classicUp, 0.05f);
    EXPECT_NEAR(wideSide, wideUp, 0.05f);
    EXPECT_LT(classicSide, classicUp);  // 4:3 squeezes sideways by 4/3 over 1.4
}

TEST_F(GlRender, ColourKeyedTexelsLeaveWhatIsBehind) {
    renderer->AddMesh(Square(2000, 400, kFaceFlat, 64), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceColourKeyed, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_TRUE(Near(Pixel(12, 12), {40, 220, 40}));  // transparent texel: the green wall shows
    EXPECT_TRUE(Near(Pixel(40, 4), {220, 30, 30}));
}

TEST_F(GlRender, UnkeyedTexelsOfIndexZeroAreDrawnBlack) {
    renderer->AddMesh(Square(2000, 400, kFaceFlat, 64), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceTextured, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_TRUE(Near(Pixel(12, 12), {0, 0, 0}));
    EXPECT_TRUE(Near(Pixel(40, 4), {220, 30, 30}));
}

TEST_F(GlRender, DarknessFadesTowardsTheFogColour) {
    renderer->AddMesh(Square(40, 200, kFaceFlat, 64), -150, 0, 0, -1, 0, -128, 0, 0, 0);  // darkness 1.5
    renderer->AddMesh(Square(40, 200, kFaceFlat, 64), 150, 0, 0, -1, 0, 128, 0, 0, 0);    // darkness 0.5
    renderer->EndFrame();
    // The wholly dark square is drawn once in the fog colour, the other twice.
    EXPECT_EQ(renderer->Stats().fogged, 2);
    EXPECT_EQ(renderer->Stats().darknessPasses, 2);
    EXPECT_TRUE(Near(Pixel(13, kH / 2), {255, 255, 0}));
    EXPECT_TRUE(Near(Pixel(51, kH / 2), {(40 + 255) / 2, (220 + 255) / 2, 20}));
}

TEST_F(GlRender, TranslucentFacesBlendAndSortBehindNearerOnes) {
    // Added near first: sorting must still draw the far face first.
    Mesh nearFace = Square(30, 150, kFaceFlat, 65);
    for (MeshFace& f : nearFace.faces) f.transparency = 50;
    renderer->AddMesh(nearFace, 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->AddMesh(Square(80, 300, kFaceFlat, 64), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_TRUE(Near(Pixel(kW / 2, kH / 2), {(220 + 40) / 2, (20 + 220) / 2, (20 + 40) / 2}));
}

TEST_F(GlRender, StereoDrawsEachEyeIntoItsChannels) {
    renderer->StereoOn(StereoMode::RedBlue);
    renderer->ClearFrame(0);
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->AddMesh(Square(50, 200, kFaceFlat, 66), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_TRUE(Near(Pixel(kW / 2, kH / 2), {255, 0, 255}));
    renderer->StereoOff();
}

TEST_F(GlRender, ChangedPicturesAreUploadedAgain) {
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceTextured, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_TRUE(Near(Pixel(40, 4), {220, 30, 30}));
    const int uploads = renderer->Stats().uploads;

    // The same bank: nothing new to upload.
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceTextured, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_EQ(renderer->Stats().uploads, uploads);

    SetBankImage(5, {30, 30, 220});
    ++graphics->bankGeneration;
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceTextured, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_EQ(renderer->Stats().uploads, uploads + 1);
    picture = {};
    EXPECT_TRUE(Near(Pixel(40, 4), {30, 30, 220}));
}

TEST_F(GlRender, TexturesOfPicturesABankNoLongerHasAreFreed) {
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceTextured, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    ASSERT_GT(renderer->Triangles().Count(), 0);
    const GLuint name = renderer->TextureOf(renderer->Triangles().At(0));
    ASSERT_TRUE(glIsTexture(name));

    // A bank without the picture: its texture goes at the next frame.
    graphics->bankImages[5].reset();
    ++graphics->bankGeneration;
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->EndFrame();
    EXPECT_FALSE(glIsTexture(name));

    // A later bank that has it again shows its new picture.
    SetBankImage(5, {30, 30, 220});
    ++graphics->bankGeneration;
    renderer->ClearFrame(5);
    renderer->BeginFrame(0, 0, 0, 0, 0, 0);
    renderer->AddMesh(TexturedTriangle(300, 100, kFaceTextured, 3), 0, 0, 0, -1, 0, 256, 0, 0, 0);
    renderer->EndFrame();
    picture = {};
    EXPECT_TRUE(Near(Pixel(40, 4), {30, 30, 220}));
}

TEST_F(GlRender, ImagesFillTheirRectangleWithOnlyThePictureOfThePaddedTexture) {
    renderer->EndFrame();
    renderer->DrawImage(7, false, 0, 0.25f, 0.5f, 0.5f, 0.25f);  // columns 16..47, rows 24..35
    EXPECT_TRUE(Near(Pixel(17, 25), {250, 250, 250}));
    EXPECT_TRUE(Near(Pixel(46, 34), {250, 250, 250}));  // the padding would be black here
    EXPECT_TRUE(Near(Pixel(14, 30), {0, 0, 160}));
    EXPECT_TRUE(Near(Pixel(49, 30), {0, 0, 160}));
    EXPECT_TRUE(Near(Pixel(30, 22), {0, 0, 160}));
    EXPECT_TRUE(Near(Pixel(30, 37), {0, 0, 160}));
}

TEST_F(GlRender, ImagesAtFullTransparencyOrFromEmptySlotsDrawNothing) {
    renderer->EndFrame();
    renderer->DrawImage(7, false, 100, 1, 1, 0, 0);
    renderer->DrawImage(8, false, 0, 1, 1, 0, 0);
    renderer->DrawImage(-3, false, 0, 1, 1, 0, 0);
    renderer->DrawImage(kImageSlotCount, false, 0, 1, 1, 0, 0);
    EXPECT_TRUE(Near(Pixel(kW / 2, kH / 2), {0, 0, 160}));
    picture = {};
    renderer->DrawImage(7, false, 50, 1, 1, 0, 0);
    EXPECT_TRUE(Near(Pixel(kW / 2, kH / 2), {125, 125, 80 + 125}));
}

TEST_F(GlRender, HeadlessGameWritesAScreenshot) {
    test::TempDir dir;
    const std::string shot = (dir / "shot.png").string();
    const std::string command = std::string("cd ") + dir.Path().string() + " && " + ZQ_BUILD_DIR +
                                "/game_gl --headless --frames 20 --start-level 0 --screenshot " + shot +
                                " > out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadText(dir / "out.txt");
    std::ifstream in(shot, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 320);
    EXPECT_EQ(be32(20), 240);
    EXPECT_EQ(static_cast<int>(bytes[25]), 2);  // RGB
}

}  // namespace
}  // namespace zq
