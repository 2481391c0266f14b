// game_gl: the game drawn through OpenGL 1.1, in an SDL window, or headless
// into an invisible window (SDL_VIDEODRIVER=offscreen needs no display server).
#include <SDL.h>

#include <cstdlib>
#include <memory>

#include "common/game_main.h"
#include "core/errors.h"
#include "platform/sdl_gl_window.h"
#include "render/gl/gl_renderer.h"

namespace {

using namespace zq;

// Headless frames are drawn centred in a window that holds the largest view.
constexpr int kHeadlessWidth = 2560;
constexpr int kHeadlessHeight = 1440;

class GlProgram final : public GameBackEnd {
public:
    void OpenHeadless() override {
        // Without a display server, the offscreen driver draws through EGL.
        if (!std::getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        try {
            SdlGlWindow::KeepDriverLoaded();
            Open("Zorvo Quib", WindowPlacement{0, 0, kHeadlessWidth, kHeadlessHeight}, true);
        } catch (const FatalError& e) {
            throw FatalError(std::string("GAME: No OpenGL context for a headless run (try SDL_VIDEODRIVER=offscreen "
                                         "with Mesa installed): ") +
                             e.what());
        }
    }
    void OpenWindow(const std::string& title, const WindowPlacement& placement) override {
        Open(title, placement, false);
    }
    void Close() override {
        renderer_.reset();  // its textures go while the context still exists
        window_.Close();
    }
    Renderer& GameRenderer() override { return *renderer_; }
    FrameOverlay& Overlay() override { return *renderer_; }
    SDL_Window* Window() const override { return window_.Window(); }
    bool Fullscreen() const override { return window_.Fullscreen(); }
    void SetFullscreen(bool on, int w, int h) override { window_.SetFullscreen(on, w, h); }
    void SetClientSize(int w, int h) override { window_.SetClientSize(w, h); }
    void SetExactPixels(bool on) override { exactPixels_ = on; }
    WindowPlacement Placement() const override { return window_.Placement(); }
    PictureArea Picture() const override {
        PictureArea a;
        if (!renderer_ || !window_.Window()) return a;
        int drawW = 0, drawH = 0, winW = 0, winH = 0;
        window_.ClientSize(drawW, drawH);
        SDL_GetWindowSize(window_.Window(), &winW, &winH);
        renderer_->PictureRect(a.x, a.y, a.width, a.height);
        if (drawW <= 0 || drawH <= 0 || a.width <= 0) return PictureArea{0, 0, winW, winH};
        // Drawable pixels to window coordinates (they differ on scaled desktops).
        return ScaleArea(a, drawW, drawH, winW, winH);
    }
    void ShowLoadingNotice() override {
        renderer_->ShowLoadingNotice();
    }

private:
    void Open(const std::string& title, const WindowPlacement& placement, bool hidden) {
        window_.Open(title, placement, hidden);
        GlSurface surface;
        surface.clientSize = [this](int& w, int& h) { window_.ClientSize(w, h); };
        surface.swap = [this] { window_.Swap(); };
        surface.fit = [this] { return FullscreenFit(window_.Fullscreen(), exactPixels_); };
        surface.keepShownFrame = !hidden;
        renderer_ = std::make_unique<GlRenderer>(std::move(surface));
    }

    SdlGlWindow window_;
    std::unique_ptr<GlRenderer> renderer_;
    bool exactPixels_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    const GameOptions options = ParseGameOptions("game_gl", argc, argv);
    GlProgram program;
    const int code = RunGame(options.program, program, options);
    // The video system is left running: shutting it down unloads the GL driver,
    // whose own start-up allocations would then read as leaks in checked builds.
    program.Close();
    return code;
}
