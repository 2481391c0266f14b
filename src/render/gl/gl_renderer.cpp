// Drawing the triangle list and the overlay through OpenGL 1.1 immediate mode.
#include "render/gl/gl_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace zq {

namespace {

// Texture corners of a triangle: (0,0), (1,0), (1,1), or flipped.
constexpr float kCorners[2][3][2] = {{{0, 0}, {1, 0}, {1, 1}}, {{1, 1}, {0, 1}, {0, 0}}};

void UploadRgba(GLuint name, int width, int height, const std::uint8_t* pixels) {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace

GlRenderer::GlRenderer(GlSurface surface)
    : surface_(std::move(surface)),
      bankTextures_(kImageNumberCount, 0),
      slotTextures_(kImageSlotCount, 0),
      bankUploaded_(kImageNumberCount, 0),
      slotUploaded_(kImageSlotCount, 0),
      bankPresent_(kImageNumberCount, 0) {}

GlRenderer::~GlRenderer() { ReleaseTextures(); }

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
    // Centred, never stretched; GL counts rows from the bottom.
    const int left = (cw - width_) / 2, top = (ch - height_) / 2;
    viewX_ = left;
    viewY_ = ch - top - height_;
    glViewport(viewX_, viewY_, width_, height_);
    glScissor(viewX_, viewY_, width_, height_);
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
    if (cw != width_ || ch != height_) {
        // The border around a smaller picture stays black.
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
    }
    PlaceViewport();
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
    gluPerspective(kGlFieldOfView, kGlAspect, kGlNearPlane, kGlFarPlane);
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
        bankPresent_[i] = pixels.size() >= size ? 1 : 0;
        if (bankPresent_[i]) {
            // The image number's old texture goes; a new one takes its place.
            if (bankTextures_[i] != 0) {
                const GLuint old = bankTextures_[i];
                glDeleteTextures(1, &old);
            }
            GLuint name = 0;
            glGenTextures(1, &name);
            bankTextures_[i] = name;
            UploadRgba(name, kBankImageSide, kBankImageSide, pixels.data());
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

void GlRenderer::DrawList(float dx, float dz) {
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    const bool select = mode == GL_SELECT;  // the editor's picking names each triangle
    const std::array<float, 3> fog = graphics_ ? graphics_->tables->fogColour : std::array<float, 3>{};
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    for (int n = 0; n < list_.Count(); ++n) {
        const GlTriangle& t = list_.Sorted(n);
        if (t.alpha != 1) glEnable(GL_BLEND);
        else glDisable(GL_BLEND);
        if (select) glLoadName(static_cast<GLuint>(t.id));
        if (t.flat) {
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_ALPHA_TEST);
            glColor4f(t.r, t.g, t.b, t.alpha);
            glBegin(GL_TRIANGLES);
            for (const GlVertex& v : t.v) glVertex3f(v.x + dx, v.y, v.z + dz);
            glEnd();
        } else {
            const unsigned texture = TextureOf(t);
            if (texture == 0) continue;  // no picture: nothing to show
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
            // Fade towards the fog colour, only where the first pass wrote depth.
            ++stats_.darknessPasses;
            glDepthFunc(GL_EQUAL);
            glDisable(GL_CULL_FACE);
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

void GlRenderer::EndFrame() {
    list_.Sort();
    stats_.triangles = list_.Count();
    stats_.dropped = list_.Dropped();
    stats_.darknessPasses = 0;
    if (!stateSet_) return;
    if (!stereo_) {
        DrawList(0, 0);
        return;
    }
    glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_TRUE);
    DrawList(0, 0);
    glColorMask(secondMask_.red, secondMask_.green, secondMask_.blue, GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    const float yaw = AngleToRadians(list_.CameraYaw());
    DrawList(eyeOffset_ * (std::sin(yaw) + std::cos(yaw)), eyeOffset_ * (std::cos(yaw) - std::sin(yaw)));
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void GlRenderer::Present() {
    if (!stateSet_) return;
    PlaceViewport();
    if (surface_.swap) surface_.swap();
}

void GlRenderer::ShowFrame(const SoftFrame& frame) {
    int w = 0, h = 0;
    if (surface_.clientSize) surface_.clientSize(w, h);
    const std::size_t fw = static_cast<std::size_t>(std::max(frame.width, 0));
    const std::size_t fh = static_cast<std::size_t>(std::max(frame.height, 0));
    if (w <= 0 || h <= 0 || fw == 0 || frame.pixels.size() < fw * fh) return;
    // GL rows run bottom up.
    std::vector<std::uint8_t> rgba(fw * fh * 4);
    for (std::size_t y = 0; y < fh; ++y)
        for (std::size_t x = 0; x < fw; ++x) {
            const std::size_t c = frame.pixels[(fh - 1 - y) * fw + x];
            std::uint8_t* out = &rgba[(y * fw + x) * 4];
            out[0] = frame.palette.red[c];
            out[1] = frame.palette.green[c];
            out[2] = frame.palette.blue[c];
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
    glRasterPos2i(std::max(0, (w - frame.width) / 2), std::max(0, (h - frame.height) / 2));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
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
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
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
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
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
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    // Rows come top first: start at the top-left corner and draw downwards.
    glRasterPos2f(2.0f * static_cast<float>(toX) / static_cast<float>(width_) - 1.0f,
                  1.0f - 2.0f * static_cast<float>(toY) / static_cast<float>(height_));
    glPixelZoom(1, -1);
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
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

bool GlRenderer::GrabFrame(FramePicture& out) {
    if (!stateSet_ || width_ <= 0 || height_ <= 0) return false;
    const std::size_t row = static_cast<std::size_t>(width_) * 3;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height_));
    while (glGetError() != GL_NO_ERROR) {
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (surface_.readFront) glReadBuffer(GL_FRONT);
    glReadPixels(viewX_, viewY_, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    if (surface_.readFront) glReadBuffer(GL_BACK);
    if (glGetError() != GL_NO_ERROR) return false;
    out.width = width_;
    out.height = height_;
    out.paletted = false;
    out.pixels.resize(bottomUp.size());
    for (int y = 0; y < height_; ++y)
        std::copy_n(bottomUp.data() + static_cast<std::size_t>(height_ - 1 - y) * row, row,
                    out.pixels.data() + static_cast<std::size_t>(y) * row);
    return true;
}

}  // namespace zq
