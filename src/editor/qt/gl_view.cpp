#include "editor/qt/gl_view.h"

#include <QImage>
#include <QPainter>
#include <QSurfaceFormat>

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
    const qreal ratio = devicePixelRatioF();
    renderer_->StretchPicture(w, h, static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
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
