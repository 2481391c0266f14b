// A QOpenGLWidget (compatibility profile) that draws through our OpenGL back
// end: the owner supplies the drawing, the widget the context and the size.
#pragma once

#include <QOpenGLWidget>

#include <functional>
#include <memory>

#include "render/gl/gl_renderer.h"

namespace zq {

class GlView : public QOpenGLWidget {
public:
    explicit GlView(QWidget* parent = nullptr);
    ~GlView() override;

    // Called inside paintGL with a current context; the picture size is set
    // by the owner through SetPictureSize.
    std::function<void(GlRenderer&)> draw;
    // Called once the context exists (textures may be bound from then on).
    std::function<void(GlRenderer&)> ready;

    // The size the 3D picture is rendered at; 0 means the widget's own size.
    void SetPictureSize(int width, int height);
    // Scale the picture to the whole widget instead of centring it.
    void SetStretched(bool on);
    GlRenderer* Renderer() { return renderer_.get(); }
    // The last drawn picture as an image (for screenshots and the stretched view).
    QImage Picture();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    QImage GrabCurrent();
    void StretchPicture(int width, int height);

    std::unique_ptr<GlRenderer> renderer_;
    int pictureWidth_ = 0, pictureHeight_ = 0;
    bool stretched_ = false;
};

// The default surface format every GL view asks for: GL 1.x compatibility,
// 24-bit depth.  Set before the application object is made.
void UseCompatibilityGl();

}  // namespace zq
