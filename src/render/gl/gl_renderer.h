// The OpenGL 1.1 back end: the CPU triangle list drawn back to front with
// depth test, colour keys by alpha test, translucency by blending and a second
// pass per triangle that fades it towards the fog colour.  The list goes out
// in vertex-array batches that give the same pixels as drawing it triangle by
// triangle.  Also the game's flat overlay drawn as textured quads.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "assets/graphics.h"
#include "render/frame_overlay.h"
#include "render/gl/gl_rounds.h"
#include "render/gl/gl_triangles.h"
#include "render/picture_fit.h"
#include "render/renderer.h"

namespace zq {

inline constexpr float kGlFieldOfView = 85;  // vertical, degrees
inline constexpr float kGlAspect = 1.4f;     // up to 4:3; wider frames use their own (ViewAspect)
inline constexpr float kGlStereoOffset = 30; // world units between the eyes

// Where the frame goes: the drawable's size and the buffer swap.  A window
// on a display sets `keepShownFrame`: what its back buffer holds after a swap
// is undefined, so each finished frame is copied into a texture just before
// the swap and screenshots read that copy.  Without it (an offscreen surface)
// screenshots read the buffer drawn into.  `fit` says how the picture goes
// into the drawable (full screen scales it; empty: centred at its own size).
struct GlSurface {
    std::function<void(int& width, int& height)> clientSize;
    std::function<void()> swap;
    std::function<PictureFit()> fit;
    bool keepShownFrame = false;
};

// Which colour channels a stereo pass writes.
struct GlColourMask {
    bool red = true, green = true, blue = true;
};

struct GlStats {
    int triangles = 0;      // in the last frame's list
    int dropped = 0;        // beyond its capacity
    int darknessPasses = 0; // triangles drawn a second time towards the fog
    int fogged = 0;         // triangles wholly in the fog drawn once in its colour
    int rounds = 0;         // groups of triangles that share no pixel (both eyes)
    int draws = 0;          // GL draw calls the last frame's list took
    int uploads = 0;        // textures uploaded since start
};

// Needs a current GL context for everything but construction and the
// CPU-side queries.
class GlRenderer final : public Renderer, public FrameOverlay {
public:
    explicit GlRenderer(GlSurface surface);
    ~GlRenderer() override;
    GlRenderer(const GlRenderer&) = delete;
    GlRenderer& operator=(const GlRenderer&) = delete;

    void SetProjection(int width, int height) override;
    void ClearFrame(int colour) override;
    void BeginFrame(int x, int y, int z, int roll, int pitch, int yaw) override;
    void AddLight(int x, int y, int z, int radius) override;
    void AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient, int pitch, int roll,
                 int yaw) override;
    bool IsPointVisible(int radius, int x, int y, int z) const override;
    bool ScreenPoint(int x, int y, int z, float& fx, float& fy) const override;
    void EndFrame() override;
    void Present() override;
    // Shows the loading notice over the whole drawable, outside the 3-D
    // frame (before the first SetProjection).
    void ShowLoadingNotice();
    void StereoOn(StereoMode mode) override;
    void StereoOff() override;
    // The stereo switch with its explicit eye offset and second-pass channels.
    void StereoOnWith(float offset, GlColourMask second);

    PixelFormat PictureFormat() const override { return PixelFormat::kRgba; }
    void BindGraphics(const Graphics& graphics) override;
    int FogClearColour() const override;
    int FrameHeight() const override { return height_; }
    void DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y,
                   float x) override;
    void DrawRgbPicture(const RgbPicture& picture) override;
    bool GrabFrame(FramePicture& out) override;

    // Waits until GL has drawn everything sent so far (for timing).
    void Finish();
    // Copies the width x height picture centred in the clientWidth x
    // clientHeight drawable into a texture and draws it over the whole
    // drawable: the editor's stretched view.
    void StretchPicture(int width, int height, int clientWidth, int clientHeight);

    // The texture a textured triangle is drawn with (uploaded first when its
    // picture changed); 0 when there is no picture and nothing is drawn.
    unsigned TextureOf(const GlTriangle& t);

    const GlTriangleList& Triangles() const { return list_; }
    const GlStats& Stats() const { return stats_; }
    // Where the picture lies in the drawable: left, top (rows counted from
    // the top), width and height in pixels.
    void PictureRect(int& x, int& y, int& width, int& height) const {
        x = viewX_;
        y = viewTop_;
        width = viewW_;
        height = viewH_;
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    void SetUpState();
    void PlaceViewport();
    unsigned BankTexture(int image);
    unsigned SlotTexture(int slot);
    void DrawOneByOne(float dx, float dz);
    void DrawBatched(float dx, float dz);
    int PlanRounds(float dx, float dz);
    void ReleaseTextures();
    // Copies the finished picture into shownTexture_ (before the swap).
    void KeepShownFrame();
    bool ReadShownFrame(std::vector<std::uint8_t>& bottomUp);
    // After a bank load: frees the textures of image numbers the new bank
    // does not have, which nothing will draw again.
    void SweepBankTextures();

    // One triangle of the batched list: the round it is drawn in (triangles of
    // one round touch no common pixel, so their order within it is free), the
    // GL state of its first pass and its place in the back-to-front order.
    struct Planned {
        std::int32_t round = 0;
        std::int32_t order = 0;
        std::uint64_t state = 0;  // texture name, key, blend and flat bits
        unsigned texture = 0;
        bool fogged = false;      // drawn once in the fog colour
    };
    // One vertex as the vertex arrays read it.
    struct ArrayVertex {
        float x, y, z;
        float r, g, b, a;
        float u, v;
    };

    GlSurface surface_;
    const Graphics* graphics_ = nullptr;
    GlTriangleList list_;
    GlStats stats_;
    int width_ = 0, height_ = 0;
    int viewX_ = 0, viewY_ = 0;  // bottom-left of the picture in the drawable
    int viewW_ = 0, viewH_ = 0;  // its size there (larger when scaled to fit)
    int viewTop_ = 0;            // its top row counted from the top
    bool stateSet_ = false;

    bool stereo_ = false;
    float eyeOffset_ = 0;
    GlColourMask secondMask_{};

    // Texture objects: one per bank image number and one per interface slot,
    // with the generation they were uploaded at (0: never; else generation + 1).
    std::vector<unsigned> bankTextures_, slotTextures_;
    std::vector<std::uint64_t> bankUploaded_, slotUploaded_;
    std::vector<std::uint8_t> bankPresent_;  // the uploaded image had pixels
    const Graphics* sweptGraphics_ = nullptr;  // the bank state SweepBankTextures last saw
    std::uint64_t sweptGeneration_ = 0;

    double projection_[16] = {};  // projection times model-view at EndFrame, column-major
    std::vector<Planned> plan_;               // kMaxGlTriangles entries
    std::vector<ArrayVertex> arrayVertices_;  // both passes of every triangle
    GlRoundPlanner rounds_;

    // The last presented picture, kept for screenshots (keepShownFrame only).
    unsigned shownTexture_ = 0;
    int shownTextureWidth_ = 0, shownTextureHeight_ = 0;  // powers of two
    int shownWidth_ = 0, shownHeight_ = 0;                // 0: nothing presented yet
    unsigned stretchTexture_ = 0;                         // StretchPicture's copy
};

}  // namespace zq
