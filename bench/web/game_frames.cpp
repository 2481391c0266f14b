// The game's own frame at each size, as one program built natively and as
// WebAssembly from the same code: the level 1 replay from its start, each
// frame's GameFrame timed (rules, drawing and, in the page, the picture put
// on the canvas the way the browser game shows it; natively nothing is shown,
// as in a headless run).  Natively the time is the thread's processor time,
// so other programs on a shared machine do not count.  The page has only the
// wall clock (performance.now): run as "game_frames /data /replay.txt driven"
// it waits to be called (bench_open, bench_play, bench_close) by a driver
// that reads the renderer's processor time around bench_play instead.
// Usage: game_frames DATA_DIR SCRIPT [FRAMES [SIZES [MODES]]]
//   SIZES: WxH,WxH,...  MODES (the page only): game (the page's own path),
//   game-gl (its WebGL path), game-sdl (SDL's renderer), game-draw (nothing shown)
// Prints one line per size and mode:  MODE WIDTHxHEIGHT MS_PER_FRAME FRAMES
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
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

// How the page shows each frame: the page's own path (the presenter as the
// game makes it), its WebGL path, SDL's, or not at all (the drawing alone, as natively).
enum Show { kShowCanvas, kShowCanvasGl, kShowSdl, kShowNothing };
struct Mode {
    const char* name;
    Show show;
};
constexpr Mode kModes[] = {{"game", kShowCanvas}, {"game-gl", kShowCanvasGl}, {"game-sdl", kShowSdl},
                           {"game-draw", kShowNothing}};

// Milliseconds of this thread's processor time natively, of the wall clock in the page.
double NowMs() {
#ifdef __EMSCRIPTEN__
    return emscripten_get_now();
#else
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
#endif
}

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

// One replay at one size and way of showing, set up and ready to play.
struct Run {
    Run(const std::string& data, const std::string& scriptText, zq::RenderSize size, Show show)
        : input(zq::ParseInputScript(scriptText)) {
#ifdef __EMSCRIPTEN__
        FreshCanvas();
        if (show == kShowCanvasGl) canvas = zq::CanvasPresenter(zq::CanvasPresenter::Path::kWebGl);
        if (show == kShowSdl) viaSdl.emplace(size);
        if (show != kShowNothing)
            soft.renderer.SetPresenter(show == kShowSdl ? static_cast<zq::FramePresenter*>(&*viaSdl) : &canvas);
#else
        (void)show;
#endif
        config.dataDir = data;
        config.startDir = "/tmp";
        config.settingsFile = "/tmp/game_frames_bench.ini";  // none: the defaults
        config.writeSettings = false;
        config.seedFromClock = false;
        game.emplace(config, input, audio, host, soft.renderer, soft);
        zq::InitGame(*game);
        zq::ResetFrameClock(game->shell, 0);
        zq::StartLevel(*game, 0);
        zq::SetRenderSize(*game, size);
    }

    // Plays up to `maxFrames` more frames of the replay; returns how many it played.
    int Play(int maxFrames, double* spentMs = nullptr) {
        int frames = 0;
        while (frames < maxFrames && input.Advance()) {
            ticks += static_cast<std::uint32_t>(input.FrameMs());
            const double start = spentMs ? NowMs() : 0;
            zq::GameFrame(*game, ticks);
            if (spentMs) *spentMs += NowMs() - start;
            ++frames;
        }
        return frames;
    }

    zq::ScriptedInput input;
    zq::SilentAudio audio;
    BenchHost host;
    zq::SoftBackEnd soft;
#ifdef __EMSCRIPTEN__
    zq::CanvasPresenter canvas;
    std::optional<SdlPresenter> viaSdl;
#endif
    zq::GameConfig config;
    std::optional<zq::Game> game;
    std::uint32_t ticks = 0;
};

double MsPerFrame(const std::string& data, const std::string& scriptText, zq::RenderSize size, int maxFrames,
                  Show show, int& frames) {
    Run run(data, scriptText, size, show);
    double spent = 0;
    frames = run.Play(maxFrames, &spent);
    return frames > 0 ? spent / frames : 0;
}

std::string ReadScript(const std::string& path) {
    std::ifstream in(path);
    std::stringstream script;
    script << in.rdbuf();
    return script.str();
}

}  // namespace

#ifdef __EMSCRIPTEN__
// Driven from outside (bench/web/browser-bench.mjs), which reads the
// renderer's processor time around each bench_play: the page itself has
// only the wall clock, which on a shared machine counts the others' work too.
namespace {
std::unique_ptr<Run> driven;
}
extern "C" {
EMSCRIPTEN_KEEPALIVE int bench_open(int width, int height, int mode) {
    driven.reset();
    if (mode < 0 || mode >= static_cast<int>(std::size(kModes))) return 0;
    driven = std::make_unique<Run>("/data", ReadScript("/replay.txt"), zq::RenderSize{width, height},
                                   kModes[mode].show);
    return 1;
}
EMSCRIPTEN_KEEPALIVE int bench_play(int frames) { return driven ? driven->Play(frames) : 0; }
EMSCRIPTEN_KEEPALIVE void bench_close() { driven.reset(); }
}
#endif

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : "/data";
    const std::string scriptPath = argc > 2 ? argv[2] : "/replay.txt";
    const int maxFrames = argc > 3 ? std::max(10, std::atoi(argv[3])) : 100000;
    const std::string sizes = argc > 4 ? argv[4] : "320x240,640x480,1280x720,1920x1080,2560x1440";
    const std::string modes = argc > 5 ? argv[5] : "game,game-draw";
#ifdef __EMSCRIPTEN__
    if (argc > 3 && std::string(argv[3]) == "driven") {
        EM_ASM({ Module.zqBenchReady = true; });
        emscripten_exit_with_live_runtime();
    }
#endif
    const std::string script = ReadScript(scriptPath);
    std::stringstream sizeList(sizes);
    for (std::string item; std::getline(sizeList, item, ',');) {
        zq::RenderSize size{};
        if (std::sscanf(item.c_str(), "%dx%d", &size.width, &size.height) != 2 || size.width < 160 ||
            size.height < 120 || size.width > 4096 || size.height > 4096) {
            std::fprintf(stderr, "game_frames: not a size: %s\n", item.c_str());
            return 2;
        }
        for (const Mode& mode : kModes) {
#ifdef __EMSCRIPTEN__
            if (("," + modes + ",").find("," + std::string(mode.name) + ",") == std::string::npos) continue;
#else
            if (mode.show != kShowCanvas) continue;  // natively nothing is shown
#endif
            int frames = 0;
            const double ms = MsPerFrame(data, script, size, maxFrames, mode.show, frames);
            std::printf("%s %dx%d %.3f %d\n", mode.name, size.width, size.height, ms, frames);
            std::fflush(stdout);
        }
    }
    return 0;
}
