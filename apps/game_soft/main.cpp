// game_soft: the game drawn by our 8-bit software rasterizer, in an SDL window
// or headless (virtual clock, scripted input, no window) for tests and replays.
#include "common/game_main.h"
#include "platform/sdl_display.h"
#include "render/soft/soft_loading_notice.h"
#include "render/soft/soft_back_end.h"

namespace {

using namespace zq;

class WindowPresenter final : public FramePresenter {
public:
    explicit WindowPresenter(SdlDisplay& display) : display_(display) {}
    void Show(const SoftFrame& frame) override { display_.Present(frame); }

private:
    SdlDisplay& display_;
};

// The software frame goes to an SDL window, or stays in memory when headless.
class SoftProgram final : public GameBackEnd {
public:
    void OpenHeadless() override {}
    void OpenWindow(const std::string& title, const WindowPlacement& placement) override {
        display_.Open(title, placement);
        soft_.renderer.SetPresenter(&presenter_);
    }
    void Close() override {
        soft_.renderer.SetPresenter(nullptr);
        display_.Close();
    }
    Renderer& GameRenderer() override { return soft_.renderer; }
    FrameOverlay& Overlay() override { return soft_; }
    SDL_Window* Window() const override { return display_.Window(); }
    bool Fullscreen() const override { return display_.Fullscreen(); }
    void SetFullscreen(bool on, int w, int h) override { display_.SetFullscreen(on, w, h); }
    void SetClientSize(int w, int h) override { display_.SetClientSize(w, h); }
    void SetExactPixels(bool on) override { display_.SetExactPixels(on); }
    WindowPlacement Placement() const override { return display_.Placement(); }
    PictureArea Picture() const override {
        PictureArea a;
        display_.PictureRect(a.x, a.y, a.width, a.height);
        return a;
    }
    void ShowLoadingNotice() override {
        const WindowPlacement p = display_.Placement();
        display_.Present(LoadingNoticeFrame(p.width, p.height));
    }

private:
    SdlDisplay display_;
    SoftBackEnd soft_;
    WindowPresenter presenter_{display_};
};

}  // namespace

int main(int argc, char** argv) {
    const GameOptions options = ParseGameOptions("game_soft", argc, argv);
    SoftProgram program;
    return RunGame(options.program, program, options);
}
