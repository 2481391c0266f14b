#include "editor/qt/gl_view.h"

#include <QImage>
#include <QPainter>
#include <QSurfaceFormat>

#include <GL/gl.h>

namespace zq {

void UseCompatibilityGl() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
}

GlView::GlView(QWidget* parent) : QOpenGLWidget(parent) {}

GlView::~GlView() {
    // The renderer's textures go while its context still exists.
    makeCurrent();
    renderer_.reset();
    if (stretchTexture_) glDeleteTextures(1, &stretchTexture_);
    doneCurrent();
}

void GlView::SetPictureSize(int width, int height) {
    pictureWidth_ = width;
    pictureHeight_ = height;
    update();
}

void GlView::SetStretched(bool on) {
    stretched_ = on;
    update();
}

void GlView::initializeGL() {
    GlSurface surface;
    surface.clientSize = [this](int& w, int& h) {
        const qreal ratio = devicePixelRatioF();
        w = static_cast<int>(width() * ratio);
        h = static_cast<int>(height() * ratio);
    };
    // QOpenGLWidget presents the frame itself; reads come from its framebuffer.
    surface.swap = [] {};
    surface.keepShownFrame = false;
    renderer_ = std::make_unique<GlRenderer>(std::move(surface));
    if (ready) ready(*renderer_);
}

void GlView::paintGL() {
    if (!renderer_) return;
    const int w = pictureWidth_ > 0 ? pictureWidth_ : width();
    const int h = pictureHeight_ > 0 ? pictureHeight_ : height();
    // Qt's own painting may have changed the GL state since the last frame.
    renderer_->SetProjection(w, h);
    if (draw) draw(*renderer_);
    renderer_->Present();
    if (stretched_ && (w != width() || h != height())) StretchPicture(w, h);
}

void GlView::StretchPicture(int w, int h) {
    // Copy the centred picture into a texture and draw it over the whole
    // widget.  Power-of-two sides keep this within OpenGL 1.1.
    const qreal ratio = devicePixelRatioF();
    const int cw = static_cast<int>(width() * ratio), ch = static_cast<int>(height() * ratio);
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

QImage GlView::Picture() {
    makeCurrent();
    QImage image = GrabCurrent();
    doneCurrent();
    return image;
}

QImage GlView::GrabCurrent() {
    if (!renderer_) return {};
    FramePicture frame;
    if (!renderer_->GrabFrame(frame)) return {};
    QImage image(frame.width, frame.height, QImage::Format_RGB888);
    for (int y = 0; y < frame.height; ++y)
        std::copy_n(frame.pixels.data() + static_cast<std::size_t>(y) * frame.width * 3,
                    static_cast<std::size_t>(frame.width) * 3, image.scanLine(y));
    return image;
}

}  // namespace zq
