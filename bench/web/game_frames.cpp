// The game's own frame at each size, as one program built natively and as
// WebAssembly from the same code: the level 1 replay from its start, each
// frame's GameFrame timed (rules, drawing and, in the page, the picture put
// on the canvas the way the browser game shows it; natively nothing is shown,
// as in a headless run; the page also times the 2D canvas path, SDL's way of
// showing it, and the drawing alone).
// Usage: game_frames DATA_DIR SCRIPT [FRAMES]   (the page reads /data and /replay.txt)
// Prints one line per size:  game WIDTHxHEIGHT MS_PER_FRAME FRAMES
// (and in the page the same for the 2D canvas, game-2d, SDL's way, game-sdl,
// and with nothing shown, game-draw)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "shell/game.h"
#include "render/soft/soft_back_end.h"
#include "shell/input_script.h"
#ifdef __EMSCRIPTEN__
#include <SDL.h>
#include <emscripten.h>

#include "platform/sdl_display.h"
#include "platform/web/canvas_presenter.h"
#endif

namespace {

class BenchHost final : public zq::GameHost {
public:
    bool Fullscreen() override { return false; }
    void SetFullscreen(bool, zq::RenderSize) override {}
    void SetClientSize(int, int) override {}
    void ShowCursor(bool) override {}
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void Quit() override {}
};

#ifdef __EMSCRIPTEN__
// The way the page showed its frames before it had its own canvas path: SDL's
// software renderer on the canvas.  Kept for the comparison.
class SdlPresenter final : public zq::FramePresenter {
public:
    explicit SdlPresenter(zq::RenderSize size) {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        display_.Open("game frames", zq::WindowPlacement{0, 0, size.width, size.height});
    }
    void Show(const zq::SoftFrame& frame) override { display_.Present(frame); }

private:
    zq::SdlDisplay display_;
};
#endif

// How the page shows each frame: the page's own path (WebGL where there is
// one), its 2D canvas path, SDL's, or not at all (the drawing alone, as natively).
enum Show { kShowCanvas, kShowCanvas2d, kShowSdl, kShowNothing };

#ifdef __EMSCRIPTEN__
// A canvas keeps the kind of context it got first: each way of showing gets a new one.
void FreshCanvas() {
    EM_ASM({
        const fresh = document.createElement('canvas');
        fresh.width = 320;
        fresh.height = 240;
        Module.canvas.replaceWith(fresh);
        fresh.id = 'canvas';
        Module.canvas = fresh;
    });
}
#endif

double MsPerFrame(const std::string& data, const std::string& scriptText, zq::RenderSize size, int maxFrames,
                  int show, int& frames) {
    zq::ScriptedInput input(zq::ParseInputScript(scriptText));
    zq::SilentAudio audio;
    BenchHost host;
    zq::SoftBackEnd soft;
#ifdef __EMSCRIPTEN__
    FreshCanvas();
    zq::CanvasPresenter canvas(show == kShowCanvas2d ? zq::CanvasPresenter::Path::k2d
                                                     : zq::CanvasPresenter::Path::kWebGl);
    std::optional<SdlPresenter> viaSdl;
    if (show == kShowSdl) viaSdl.emplace(size);
    if (show != kShowNothing)
        soft.renderer.SetPresenter(show == kShowSdl ? static_cast<zq::FramePresenter*>(&*viaSdl) : &canvas);
#else
    (void)show;
#endif
    zq::GameConfig config;
    config.dataDir = data;
    config.startDir = "/tmp";
    config.settingsFile = "/tmp/game_frames_bench.ini";  // none: the defaults
    config.writeSettings = false;
    config.seedFromClock = false;
    zq::Game game(config, input, audio, host, soft.renderer, soft);
    zq::InitGame(game);
    zq::ResetFrameClock(game.shell, 0);
    zq::StartLevel(game, 0);
    zq::SetRenderSize(game, size);
    std::uint32_t ticks = 0;
    std::chrono::duration<double, std::milli> spent{0};
    frames = 0;
    while (frames < maxFrames && input.Advance()) {
        ticks += static_cast<std::uint32_t>(input.FrameMs());
        const auto start = std::chrono::steady_clock::now();
        zq::GameFrame(game, ticks);
        spent += std::chrono::steady_clock::now() - start;
        ++frames;
    }
    return frames > 0 ? spent.count() / frames : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : "/data";
    const std::string scriptPath = argc > 2 ? argv[2] : "/replay.txt";
    const int maxFrames = argc > 3 ? std::max(10, std::atoi(argv[3])) : 100000;
    std::ifstream in(scriptPath);
    std::stringstream script;
    script << in.rdbuf();
    for (const zq::RenderSize size : {zq::RenderSize{320, 240}, zq::RenderSize{640, 480}, zq::RenderSize{1280, 720},
                                      zq::RenderSize{1920, 1080}, zq::RenderSize{2560, 1440}}) {
        int frames = 0;
        const double ms = MsPerFrame(data, script.str(), size, maxFrames, kShowCanvas, frames);
        std::printf("game %dx%d %.3f %d\n", size.width, size.height, ms, frames);
        std::fflush(stdout);
#ifdef __EMSCRIPTEN__
        const double canvas2dMs = MsPerFrame(data, script.str(), size, maxFrames, kShowCanvas2d, frames);
        std::printf("game-2d %dx%d %.3f %d\n", size.width, size.height, canvas2dMs, frames);
        const double sdlMs = MsPerFrame(data, script.str(), size, maxFrames, kShowSdl, frames);
        std::printf("game-sdl %dx%d %.3f %d\n", size.width, size.height, sdlMs, frames);
        const double drawMs = MsPerFrame(data, script.str(), size, maxFrames, kShowNothing, frames);
        std::printf("game-draw %dx%d %.3f %d\n", size.width, size.height, drawMs, frames);
        std::fflush(stdout);
#endif
    }
    return 0;
}
