// Drawing the triangle list and the overlay through OpenGL 1.1.
#include "render/gl/gl_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "render/loading_notice.h"
#include "render/picture_fit.h"
#include "render/view_shape.h"

namespace zq {

namespace {

// Texture corners of a triangle: (0,0), (1,0), (1,1), or flipped.
constexpr float kCorners[2][3][2] = {{{0, 0}, {1, 0}, {1, 1}}, {{1, 1}, {0, 1}, {0, 0}}};

// GL_ARRAY_BUFFER_BINDING (OpenGL 1.5), asked for without needing 1.5 headers.
constexpr GLenum kArrayBufferBinding = 0x8894;

// The state bits of a first pass, above the 32 bits of the texture name.
constexpr std::uint64_t kStateKeyed = std::uint64_t{1} << 32;
constexpr std::uint64_t kStateBlend = std::uint64_t{1} << 33;
constexpr std::uint64_t kStateFlat = std::uint64_t{1} << 34;

// The switches the list's passes flip, remembered so that only changes reach
// GL.  Starts knowing nothing, so the first use of each is always sent.
class Switches {
public:
    void Blend(bool on) { Set(GL_BLEND, on, blend_); }
    void Texturing(bool on) { Set(GL_TEXTURE_2D, on, texturing_); }
    void AlphaTest(bool on) { Set(GL_ALPHA_TEST, on, alphaTest_); }
    // The darkness pass: only where the depth equals its own, which it then
    // need not write again (less memory traffic in a software rasterizer).
    void DepthEqual(bool equal) {
        if (depthEqual_ != static_cast<int>(equal)) {
            glDepthFunc(equal ? GL_EQUAL : GL_LEQUAL);
            glDepthMask(equal ? GL_FALSE : GL_TRUE);
            depthEqual_ = equal;
        }
    }
    void Bind(unsigned texture) {
        if (bound_ != static_cast<long long>(texture)) {
            glBindTexture(GL_TEXTURE_2D, texture);
            bound_ = texture;
        }
    }
    // An upload bound another texture behind our back.
    void ForgetBinding() { bound_ = -1; }

private:
    static void Set(GLenum cap, bool on, int& known) {
        if (known == static_cast<int>(on)) return;
        if (on) glEnable(cap);
        else glDisable(cap);
        known = on;
    }
    int blend_ = -1, texturing_ = -1, alphaTest_ = -1, depthEqual_ = -1;  // -1: not known
    long long bound_ = -1;
};

bool HasDarkness(const GlTriangle& t) { return t.darkness[0] > 0 || t.darkness[1] > 0 || t.darkness[2] > 0; }

// Darkness of 1 or more at every corner makes the darkness pass blend the fog
// colour in at full strength (GL clamps the alpha to exactly 1) over every
// pixel the first pass wrote: what stays is the fog colour at the triangle's
// depth, however the first pass was textured or blended.  One opaque pass in
// the fog colour gives those pixels.  Not for colour-keyed faces, whose first
// pass decides which pixels are written at all.
bool FullyFogged(const GlTriangle& t) {
    return (t.flat || !t.keyed) && t.darkness[0] >= 1 && t.darkness[1] >= 1 && t.darkness[2] >= 1;
}

void UploadRgba(GLuint name, int width, int height, const std::uint8_t* pixels) {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

// Flat pictures over the frame are placed in normalised screen coordinates:
// both matrices become the identity until the matching pop.
void PushScreenMatrices() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void PopScreenMatrices() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace

GlRenderer::GlRenderer(GlSurface surface)
    : surface_(std::move(surface)),
      bankTextures_(kImageNumberCount, 0),
      slotTextures_(kImageSlotCount, 0),
      bankUploaded_(kImageNumberCount, 0),
      slotUploaded_(kImageSlotCount, 0),
      bankPresent_(kImageNumberCount, 0),
      plan_(kMaxGlTriangles),
      arrayVertices_(std::size_t{6} * kMaxGlTriangles) {}

GlRenderer::~GlRenderer() {
    ReleaseTextures();
    if (shownTexture_ != 0) {
        const GLuint n = shownTexture_;
        glDeleteTextures(1, &n);
    }
    if (stretchTexture_ != 0) {
        const GLuint n = stretchTexture_;
        glDeleteTextures(1, &n);
    }
}

void GlRenderer::ReleaseTextures() {
    for (auto* names : {&bankTextures_, &slotTextures_}) {
        for (unsigned& name : *names) {
            if (name != 0) {
                const GLuint n = name;
                glDeleteTextures(1, &n);
            }
            name = 0;
        }
    }
    std::fill(bankUploaded_.begin(), bankUploaded_.end(), 0);
    std::fill(slotUploaded_.begin(), slotUploaded_.end(), 0);
}

void GlRenderer::SweepBankTextures() {
    if (!graphics_) return;
    const std::uint64_t generation = std::uint64_t{graphics_->bankGeneration} + 1;
    if (sweptGraphics_ == graphics_ && sweptGeneration_ == generation) return;
    sweptGraphics_ = graphics_;
    sweptGeneration_ = generation;
    const auto& images = graphics_->bankImages;
    for (std::size_t i = 0; i < bankTextures_.size(); ++i) {
        if (bankTextures_[i] == 0 || (i < images.size() && images[i])) continue;
        const GLuint name = bankTextures_[i];
        glDeleteTextures(1, &name);
        bankTextures_[i] = 0;
        bankUploaded_[i] = 0;
        bankPresent_[i] = 0;
    }
}

void GlRenderer::SetUpState() {
    glEnable(GL_SCISSOR_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glAlphaFunc(GL_GREATER, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Back faces are already gone from the list and two-sided faces must stay,
    // so GL's own culling is set up but never switched on.
    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    stateSet_ = true;
}

void GlRenderer::PlaceViewport() {
    int cw = width_, ch = height_;
    if (surface_.clientSize) surface_.clientSize(cw, ch);
    const PictureArea area = FitPicture(cw, ch, width_, height_, surface_.fit ? surface_.fit() : PictureFit::Centred);
    viewW_ = area.width;
    viewH_ = area.height;
    viewX_ = area.x;
    viewTop_ = area.y;
    viewY_ = ch - area.y - viewH_;  // GL counts rows from the bottom
    glViewport(viewX_, viewY_, viewW_, viewH_);
    glScissor(viewX_, viewY_, viewW_, viewH_);
}

void GlRenderer::SetProjection(int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    list_.SetProjection(width_, height_);
    SetUpState();
    PlaceViewport();
}

void GlRenderer::BindGraphics(const Graphics& graphics) {
    if (graphics_ != &graphics) {
        // Another picture state: nothing uploaded so far belongs to it.
        std::fill(bankUploaded_.begin(), bankUploaded_.end(), 0);
        std::fill(slotUploaded_.begin(), slotUploaded_.end(), 0);
    }
    graphics_ = &graphics;
}

int GlRenderer::FogClearColour() const { return graphics_ ? graphics_->tables->fogIndex[0] : 0; }

void GlRenderer::ClearFrame(int colour) {
    if (!stateSet_) return;
    if (stereo_) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    int cw = width_, ch = height_;
    if (surface_.clientSize) surface_.clientSize(cw, ch);
    PlaceViewport();
    if (cw != viewW_ || ch != viewH_) {
        // The border around a smaller picture stays black.
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
    }
    const std::size_t i = static_cast<std::size_t>(colour) & 0xFFu;
    float r = 0, g = 0, b = 0;
    if (graphics_) {
        r = static_cast<float>(graphics_->mainPalette.red[i]) / 256.0f;
        g = static_cast<float>(graphics_->mainPalette.green[i]) / 256.0f;
        b = static_cast<float>(graphics_->mainPalette.blue[i]) / 256.0f;
    }
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

void GlRenderer::BeginFrame(int x, int y, int z, int roll, int pitch, int yaw) {
    list_.Begin(x, y, z, roll, pitch, yaw);
    if (!stateSet_) return;
    glClear(GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The world is left-handed: mirror x.
    const GLfloat mirror[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glMultMatrixf(mirror);
    gluPerspective(kGlFieldOfView, ViewAspect(width_, height_, kGlAspect), kGlNearPlane, kGlFarPlane);
    glRotatef(static_cast<float>(-roll) * 180.0f / 16384.0f, 0, 0, 1);
    const double p = AngleToRadians(pitch), w = AngleToRadians(yaw);
    // Looking straight up or down has no up vector; lean it a hair.
    double up = std::cos(p);
    if (std::abs(up) < 1e-6) up = up < 0 ? -1e-6 : 1e-6;
    gluLookAt(0, 0, 0, std::sin(w) * std::cos(p), std::sin(p), std::cos(w) * std::cos(p), 0, up, 0);
    glMatrixMode(GL_MODELVIEW);
}

void GlRenderer::AddLight(int x, int y, int z, int radius) { list_.AddLight(x, y, z, radius); }

void GlRenderer::AddMesh(const Mesh& mesh, int x, int y, int z, int id, int transparency, int ambient, int pitch,
                         int roll, int yaw) {
    static const Palette kNoPalette{};
    const Graphics* g = graphics_;
    list_.AddMesh(mesh, x, y, z, id, transparency, ambient, pitch, roll, yaw, g ? g->flatPalette : kNoPalette,
                  [g](int slot) -> GlSlotRange {
                      if (!g || slot < 0 || slot >= static_cast<int>(g->textureSlots.size())) return {};
                      const TextureSlot& s = g->textureSlots[static_cast<std::size_t>(slot)];
                      return {s.first, s.last};
                  });
}

bool GlRenderer::IsPointVisible(int radius, int x, int y, int z) const {
    return list_.IsPointVisible(radius, x, y, z);
}

// Through the matrices EndFrame read back, which take points relative to the
// camera as the triangle list holds them.
bool GlRenderer::ScreenPoint(int x, int y, int z, float& fx, float& fy) const {
    const Vec3i& c = list_.Camera();
    const double v[4] = {static_cast<double>(x) - c.x, static_cast<double>(y) - c.y, static_cast<double>(z) - c.z, 1};
    double clip[4] = {};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k) clip[row] += projection_[k * 4 + row] * v[k];
    if (!(clip[3] > kGlNearPlane)) return false;
    fx = static_cast<float>((clip[0] / clip[3] + 1) / 2);
    fy = static_cast<float>((1 - clip[1] / clip[3]) / 2);
    return true;
}

unsigned GlRenderer::BankTexture(int image) {
    if (!graphics_ || image < 0 || image >= kImageNumberCount ||
        static_cast<std::size_t>(image) >= graphics_->bankImages.size())
        return 0;
    const std::size_t i = static_cast<std::size_t>(image);
    const std::uint64_t want = std::uint64_t{graphics_->bankGeneration} + 1;
    if (bankUploaded_[i] != want) {
        bankUploaded_[i] = want;
        const auto& pixels = graphics_->bankImages[i];
        const std::size_t size = std::size_t{4} * kBankImageBytes;
        bankPresent_[i] = pixels && pixels->size() >= size ? 1 : 0;
        if (bankPresent_[i]) {
            // The image number's old texture goes; a new one takes its place.
            if (bankTextures_[i] != 0) {
                const GLuint old = bankTextures_[i];
                glDeleteTextures(1, &old);
            }
            GLuint name = 0;
            glGenTextures(1, &name);
            bankTextures_[i] = name;
            UploadRgba(name, kBankImageSide, kBankImageSide, pixels->data());
            ++stats_.uploads;
        }
    }
    return bankPresent_[i] ? bankTextures_[i] : 0;
}

unsigned GlRenderer::SlotTexture(int slot) {
    if (!graphics_ || slot < 0 || slot >= kImageSlotCount ||
        static_cast<std::size_t>(slot) >= graphics_->imageSlots.size())
        return 0;
    const std::size_t i = static_cast<std::size_t>(slot);
    const ImageSlot& image = graphics_->imageSlots[i];
    const std::size_t need = std::size_t{4} * static_cast<std::size_t>(std::max(image.texWidth, 0)) *
                             static_cast<std::size_t>(std::max(image.texHeight, 0));
    if (image.Empty() || need == 0 || image.rgba.size() < need) return 0;
    const std::uint64_t want = std::uint64_t{image.generation} + 1;
    if (slotUploaded_[i] != want || slotTextures_[i] == 0) {
        if (slotTextures_[i] != 0) {
            const GLuint old = slotTextures_[i];
            glDeleteTextures(1, &old);
        }
        GLuint name = 0;
        glGenTextures(1, &name);
        slotTextures_[i] = name;
        UploadRgba(name, image.texWidth, image.texHeight, image.rgba.data());
        slotUploaded_[i] = want;
        ++stats_.uploads;
    }
    return slotTextures_[i];
}

unsigned GlRenderer::TextureOf(const GlTriangle& t) {
    if (t.image) return BankTexture(t.texture);
    if (!graphics_ || t.texture < 0 || static_cast<std::size_t>(t.texture) >= graphics_->textureSlots.size()) return 0;
    return BankTexture(graphics_->textureSlots[static_cast<std::size_t>(t.texture)].current);
}

void GlRenderer::DrawOneByOne(float dx, float dz) {
    // Selection (the editor's picking) names every triangle, and a name can
    // only change outside glBegin/glEnd: one triangle per glBegin.
    const std::array<float, 3> fog = graphics_ ? graphics_->tables->fogColour : std::array<float, 3>{};
    Switches gl;
    glDisable(GL_CULL_FACE);
    for (int n = 0; n < list_.Count(); ++n) {
        const GlTriangle& t = list_.Sorted(n);
        unsigned texture = 0;
        if (!t.flat) {
            const int uploads = stats_.uploads;
            texture = TextureOf(t);
            if (stats_.uploads != uploads) gl.ForgetBinding();
            if (texture == 0) continue;  // no picture: nothing to show
        }
        glLoadName(static_cast<GLuint>(t.id));
        gl.DepthEqual(false);
        gl.Blend(t.alpha != 1);
        const auto& uv = kCorners[t.flip ? 1 : 0];
        if (t.flat) {
            gl.Texturing(false);
            gl.AlphaTest(false);
            glColor4f(t.r, t.g, t.b, t.alpha);
        } else {
            gl.Texturing(true);
            gl.AlphaTest(t.keyed);
            gl.Bind(texture);
            glColor4f(1, 1, 1, t.alpha);
        }
        glBegin(GL_TRIANGLES);
        for (std::size_t k = 0; k < 3; ++k) {
            if (!t.flat) glTexCoord2f(uv[k][0], uv[k][1]);
            glVertex3f(t.v[k].x + dx, t.v[k].y, t.v[k].z + dz);
        }
        glEnd();
        ++stats_.draws;
        if (HasDarkness(t)) {
            // Fade towards the fog colour, only where the first pass wrote depth.
            ++stats_.darknessPasses;
            gl.DepthEqual(true);
            gl.Blend(true);
            gl.Texturing(false);
            gl.AlphaTest(false);
            glBegin(GL_TRIANGLES);
            for (std::size_t k = 0; k < 3; ++k) {
                glColor4f(fog[0], fog[1], fog[2], t.darkness[k]);
                glVertex3f(t.v[k].x + dx, t.v[k].y, t.v[k].z + dz);
            }
            glEnd();
            ++stats_.draws;
        }
    }
    gl.DepthEqual(false);
}

int GlRenderer::PlanRounds(float dx, float dz) {
    rounds_.Begin(projection_, viewW_, viewH_);
    int planned = 0;
    for (int n = 0; n < list_.Count(); ++n) {
        const GlTriangle& t = list_.Sorted(n);
        unsigned texture = 0;
        if (!t.flat) {
            texture = TextureOf(t);
            if (texture == 0) continue;  // no picture: nothing to show
        }
        const std::array<GlVertex, 3> placed{GlVertex{t.v[0].x + dx, t.v[0].y, t.v[0].z + dz},
                                             GlVertex{t.v[1].x + dx, t.v[1].y, t.v[1].z + dz},
                                             GlVertex{t.v[2].x + dx, t.v[2].y, t.v[2].z + dz}};
        const bool fogged = FullyFogged(t);
        const bool blended = t.alpha != 1 && !fogged;
        std::uint64_t state = blended ? kStateBlend : 0;
        if (fogged || t.flat) state |= kStateFlat;  // the fog's pass is a flat opaque one
        else state |= texture | (t.keyed ? kStateKeyed : 0);
        const int round = rounds_.Add(placed, blended, fogged, state);
        if (round == 0) continue;  // no pixel to draw
        stats_.fogged += fogged;
        plan_[static_cast<std::size_t>(planned++)] = {round, n, state, texture, fogged};
    }
    // Within a round the order is free; nearest first lets the depth test
    // turn away fragments that a nearer face of the same draw has already
    // covered, before they are textured.
    std::sort(plan_.begin(), plan_.begin() + planned, [](const Planned& a, const Planned& b) {
        if (a.round != b.round) return a.round < b.round;
        if (a.state != b.state) return a.state < b.state;
        return a.order > b.order;
    });
    return planned;
}

void GlRenderer::DrawBatched(float dx, float dz) {
    const int planned = PlanRounds(dx, dz);
    const std::array<float, 3> fog = graphics_ ? graphics_->tables->fogColour : std::array<float, 3>{};
    Switches gl;
    glDisable(GL_CULL_FACE);
    // A buffer object left bound by other drawing (Qt's painter in the editor;
    // OpenGL 1.5) would turn the array pointers into offsets into it: then the
    // batches go out between glBegin and glEnd instead, with the same vertices.
    GLint arrayBuffer = 0;
    glGetIntegerv(kArrayBufferBinding, &arrayBuffer);
    while (glGetError() != GL_NO_ERROR) {
    }  // an OpenGL without buffer objects refuses the question
    const bool arrays = arrayBuffer == 0;
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    int used = 0;  // vertices written this pass
    auto put = [&](const GlVertex& v, float r, float g, float b, float a, float u, float w) {
        arrayVertices_[static_cast<std::size_t>(used++)] = {v.x + dx, v.y, v.z + dz, r, g, b, a, u, w};
    };
    auto draw = [&](int from) {
        // The arrays start at the batch rather than the buffer: GL may copy
        // everything from the pointer up to the last vertex drawn.
        const ArrayVertex* batch = &arrayVertices_[static_cast<std::size_t>(from)];
        ++stats_.draws;
        if (!arrays) {
            glBegin(GL_TRIANGLES);
            for (const ArrayVertex* v = batch; v != arrayVertices_.data() + used; ++v) {
                glColor4f(v->r, v->g, v->b, v->a);
                glTexCoord2f(v->u, v->v);
                glVertex3f(v->x, v->y, v->z);
            }
            glEnd();
            return;
        }
        glVertexPointer(3, GL_FLOAT, sizeof(ArrayVertex), &batch->x);
        glColorPointer(4, GL_FLOAT, sizeof(ArrayVertex), &batch->r);
        glTexCoordPointer(2, GL_FLOAT, sizeof(ArrayVertex), &batch->u);
        glDrawArrays(GL_TRIANGLES, 0, used - from);
    };
    int rounds = 0;
    for (int i = 0; i < planned;) {
        const std::int32_t round = plan_[static_cast<std::size_t>(i)].round;
        int end = i;
        while (end < planned && plan_[static_cast<std::size_t>(end)].round == round) ++end;
        ++rounds;
        // First passes, one draw per run of the same state.
        for (int k = i; k < end;) {
            const Planned& lead = plan_[static_cast<std::size_t>(k)];
            const bool textured = (lead.state & kStateFlat) == 0;
            gl.DepthEqual(false);
            gl.Blend((lead.state & kStateBlend) != 0);
            gl.Texturing(textured);
            gl.AlphaTest((lead.state & kStateKeyed) != 0);
            if (textured) gl.Bind(lead.texture);
            const int from = used;
            for (; k < end && plan_[static_cast<std::size_t>(k)].state == lead.state; ++k) {
                const Planned& p = plan_[static_cast<std::size_t>(k)];
                const GlTriangle& t = list_.Sorted(p.order);
                if (p.fogged) {
                    for (const GlVertex& v : t.v) put(v, fog[0], fog[1], fog[2], 1, 0, 0);
                } else if (t.flat) {
                    for (const GlVertex& v : t.v) put(v, t.r, t.g, t.b, t.alpha, 0, 0);
                } else {
                    const auto& uv = kCorners[t.flip ? 1 : 0];
                    for (std::size_t c = 0; c < 3; ++c) put(t.v[c], 1, 1, 1, t.alpha, uv[c][0], uv[c][1]);
                }
            }
            draw(from);
        }
        // Then the round's darkness passes together: no two of its triangles
        // share a pixel, so each still fades only its own first pass.
        const int from = used;
        for (int k = i; k < end; ++k) {
            const Planned& p = plan_[static_cast<std::size_t>(k)];
            const GlTriangle& t = list_.Sorted(p.order);
            if (!HasDarkness(t) || p.fogged) continue;
            ++stats_.darknessPasses;
            for (std::size_t c = 0; c < 3; ++c) put(t.v[c], fog[0], fog[1], fog[2], t.darkness[c], 0, 0);
        }
        if (used > from) {
            gl.DepthEqual(true);
            gl.Blend(true);
            gl.Texturing(false);
            gl.AlphaTest(false);
            draw(from);
        }
        i = end;
    }
    stats_.rounds += rounds;
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.DepthEqual(false);
}

void GlRenderer::EndFrame() {
    list_.Sort();
    stats_.triangles = list_.Count();
    stats_.dropped = list_.Dropped();
    stats_.darknessPasses = 0;
    stats_.fogged = 0;
    stats_.rounds = 0;
    stats_.draws = 0;
    if (!stateSet_) return;
    SweepBankTextures();
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    const bool batched = mode == GL_RENDER;
    if (batched) {
        // Read back rather than kept from BeginFrame, in case the caller moved
        // the matrices since: the batches must place triangles where GL will.
        double projection[16], modelView[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
        for (int column = 0; column < 4; ++column)
            for (int row = 0; row < 4; ++row) {
                double sum = 0;
                for (int k = 0; k < 4; ++k) sum += projection[k * 4 + row] * modelView[column * 4 + k];
                projection_[column * 4 + row] = sum;
            }
    }
    auto drawList = [&](float dx, float dz) {
        if (batched) DrawBatched(dx, dz);
        else DrawOneByOne(dx, dz);
    };
    if (!stereo_) {
        drawList(0, 0);
        return;
    }
    glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_TRUE);
    drawList(0, 0);
    glColorMask(secondMask_.red, secondMask_.green, secondMask_.blue, GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    const float yaw = AngleToRadians(list_.CameraYaw());
    drawList(eyeOffset_ * (std::sin(yaw) + std::cos(yaw)), eyeOffset_ * (std::cos(yaw) - std::sin(yaw)));
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void GlRenderer::Present() {
    if (!stateSet_) return;
    PlaceViewport();
    if (surface_.keepShownFrame) KeepShownFrame();
    if (surface_.swap) surface_.swap();
}

namespace {

int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n && p < (1 << 16)) p *= 2;
    return p;
}

}  // namespace

void GlRenderer::KeepShownFrame() {
    // A copy inside GL costs no round trip to the CPU, so it can run every frame.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    const int texW = PowerOfTwoAtLeast(viewW_), texH = PowerOfTwoAtLeast(viewH_);
    if (shownTexture_ == 0 || texW > shownTextureWidth_ || texH > shownTextureHeight_) {
        GLint most = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
        shownWidth_ = shownHeight_ = 0;
        if (texW > most || texH > most) return;
        if (shownTexture_ == 0) {
            GLuint name = 0;
            glGenTextures(1, &name);
            shownTexture_ = name;
        }
        glBindTexture(GL_TEXTURE_2D, shownTexture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, texW, texH, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        shownTextureWidth_ = texW;
        shownTextureHeight_ = texH;
    }
    glBindTexture(GL_TEXTURE_2D, shownTexture_);
    while (glGetError() != GL_NO_ERROR) {
    }
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, viewX_, viewY_, viewW_, viewH_);
    const bool copied = glGetError() == GL_NO_ERROR;
    shownWidth_ = copied ? viewW_ : 0;
    shownHeight_ = copied ? viewH_ : 0;
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

bool GlRenderer::ReadShownFrame(std::vector<std::uint8_t>& bottomUp) {
    if (shownTexture_ == 0 || shownWidth_ != viewW_ || shownHeight_ != viewH_) return false;
    const std::size_t texRow = static_cast<std::size_t>(shownTextureWidth_) * 3;
    std::vector<std::uint8_t> whole(texRow * static_cast<std::size_t>(shownTextureHeight_));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, shownTexture_);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, whole.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    const std::size_t row = static_cast<std::size_t>(viewW_) * 3;
    for (int y = 0; y < viewH_; ++y)
        std::copy_n(whole.data() + static_cast<std::size_t>(y) * texRow, row,
                    bottomUp.data() + static_cast<std::size_t>(y) * row);
    return true;
}

void GlRenderer::ShowLoadingNotice() {
    int w = 0, h = 0;
    if (surface_.clientSize) surface_.clientSize(w, h);
    if (w <= 0 || h <= 0) return;
    const std::vector<std::uint8_t> mask = LoadingNoticeMask(w, h);
    const std::size_t fw = static_cast<std::size_t>(w), fh = static_cast<std::size_t>(h);
    // GL rows run bottom up.
    std::vector<std::uint8_t> rgba(fw * fh * 4);
    for (std::size_t y = 0; y < fh; ++y)
        for (std::size_t x = 0; x < fw; ++x) {
            const std::uint8_t level = mask[(fh - 1 - y) * fw + x] != 0 ? 255 : 0;
            std::uint8_t* out = &rgba[(y * fw + x) * 4];
            out[0] = out[1] = out[2] = level;
            out[3] = 255;
        }
    glViewport(0, 0, w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2i(0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (surface_.swap) surface_.swap();
}

void GlRenderer::Finish() {
    if (stateSet_) glFinish();
}

void GlRenderer::StereoOn(StereoMode mode) {
    StereoOnWith(kGlStereoOffset, mode == StereoMode::RedBlue ? GlColourMask{false, false, true}
                                                              : GlColourMask{false, true, false});
}

void GlRenderer::StereoOnWith(float offset, GlColourMask second) {
    stereo_ = true;
    eyeOffset_ = offset;
    secondMask_ = second;
}

void GlRenderer::StereoOff() {
    stereo_ = false;
    if (stateSet_) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void GlRenderer::DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y, float x) {
    if (!stateSet_) return;
    const unsigned texture = SlotTexture(slot);
    if (texture == 0) return;
    const ImageSlot& image = graphics_->imageSlots[static_cast<std::size_t>(slot)];
    PushScreenMatrices();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (colourKeyed) glEnable(GL_ALPHA_TEST);
    else glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, 1 - static_cast<float>(transparency) / 100.0f);
    const float left = 2 * x - 1, top = 1 - 2 * y;
    const float right = left + 2 * width, bottom = top - 2 * height;
    glBegin(GL_POLYGON);
    glTexCoord2f(0, 0);
    glVertex2f(left, top);
    glTexCoord2f(image.uExtent, 0);
    glVertex2f(right, top);
    glTexCoord2f(image.uExtent, image.vExtent);
    glVertex2f(right, bottom);
    glTexCoord2f(0, image.vExtent);
    glVertex2f(left, bottom);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    PopScreenMatrices();
}

void GlRenderer::DrawRgbPicture(const RgbPicture& picture) {
    if (!stateSet_) return;
    PlaceViewport();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!picture.Valid()) return;
    const int w = std::min(picture.width, width_), h = std::min(picture.height, height_);
    const int toX = (width_ - w) / 2, toY = (height_ - h) / 2;
    PushScreenMatrices();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    // Rows come top first: start at the top-left corner and draw downwards.
    glRasterPos2f(2.0f * static_cast<float>(toX) / static_cast<float>(width_) - 1.0f,
                  1.0f - 2.0f * static_cast<float>(toY) / static_cast<float>(height_));
    glPixelZoom(static_cast<float>(viewW_) / static_cast<float>(width_),
                -static_cast<float>(viewH_) / static_cast<float>(height_));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, picture.width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, (picture.width - w) / 2);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, (picture.height - h) / 2);
    glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelZoom(1, 1);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    PopScreenMatrices();
}

bool GlRenderer::GrabFrame(FramePicture& out) {
    // The picture as shown: at the size it fills on the screen.
    if (!stateSet_ || viewW_ <= 0 || viewH_ <= 0) return false;
    const int width = viewW_, height = viewH_;
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height));
    while (glGetError() != GL_NO_ERROR) {
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (surface_.keepShownFrame) {
        // The picture last shown, not the back buffer the swap left undefined.
        if (!ReadShownFrame(bottomUp)) return false;
    } else {
        glReadPixels(viewX_, viewY_, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    }
    if (glGetError() != GL_NO_ERROR) return false;
    out.width = width;
    out.height = height;
    out.paletted = false;
    out.pixels.resize(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(bottomUp.data() + static_cast<std::size_t>(height - 1 - y) * row, row,
                    out.pixels.data() + static_cast<std::size_t>(y) * row);
    return true;
}

void GlRenderer::StretchPicture(int w, int h, int cw, int ch) {
    // Power-of-two sides keep this within OpenGL 1.1.
    const int left = (cw - w) / 2, bottom = ch - (ch - h) / 2 - h;
    int tw = 1, th = 1;
    while (tw < w) tw *= 2;
    while (th < h) th *= 2;
    if (!stretchTexture_) glGenTextures(1, &stretchTexture_);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_FOG);
    glBindTexture(GL_TEXTURE_2D, stretchTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, left, bottom, tw, th, 0);
    glViewport(0, 0, cw, ch);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1, 1, 1, 1);  // RGB texels take their alpha from here: opaque
    const float u = static_cast<float>(w) / static_cast<float>(tw), v = static_cast<float>(h) / static_cast<float>(th);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(u, 0);
    glVertex2f(1, -1);
    glTexCoord2f(u, v);
    glVertex2f(1, 1);
    glTexCoord2f(0, v);
    glVertex2f(-1, 1);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace zq
