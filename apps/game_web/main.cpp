// game_soft in the browser: the software-drawn game on the page's canvas,
// driven by the browser's animation frames.  Settings and the saved game live
// in the browser's IndexedDB (mounted where SDL keeps per-user files), the data
// folder is the preloaded package at /data, and there is no network play.
#include <emscripten.h>

#include <SDL.h>

#include <memory>
#include <string>

#include "common/game_state.h"
#include "core/errors.h"
#include "platform/sdl_audio.h"
#include "platform/sdl_display.h"
#include "platform/sdl_input.h"
#include "platform/web/canvas_presenter.h"
#include "platform/web/web_session.h"
#include "render/soft/soft_back_end.h"
#include "shell/settings.h"

namespace {

using namespace zq;

constexpr const char* kDataDir = "/data";
constexpr const char* kPersistentDir = "/libsdl";  // IndexedDB behind it

// Everything the page's game owns, made once the stored files are back.
struct WebGame {
    SdlDisplay display;
    SoftBackEnd soft;
    CanvasPresenter presenter;
    std::unique_ptr<SdlInput> input;
    std::unique_ptr<BrowserInput> browserInput;
    BrowserHost host;
    std::unique_ptr<Audio> audio;
    std::unique_ptr<Game> game;
    std::unique_ptr<WebSession> session;
    int scriptFramesPerCall = 8;
    std::string stateText;  // the last answer to the page's state hook
};

// The one game of the page.  The browser calls the frame routine and the
// page's hooks without any context of ours, so they find it here.
WebGame* g_web = nullptr;

bool PageFullscreen() {
    return EM_ASM_INT({ return document.fullscreenElement ? 1 : 0; }) != 0;
}

// Copies the stored files back to IndexedDB; a copy asked for while one runs
// follows it.  IDBFS writes each copy in one IndexedDB transaction, so a tab
// closed during it keeps the previous copy whole.
void PersistFiles() {
    EM_ASM({
        if (Module.zqSyncing) { Module.zqSyncAgain = true; return; }
        const sync = function() {
            Module.zqSyncing = true;
            FS.syncfs(false, function(err) {
                Module.zqSyncing = false;
                if (err) console.warn('Zorvo Quib: saving to the browser failed: ' + err);
                if (Module.zqSyncAgain) { Module.zqSyncAgain = false; sync(); }
                else if (Module.onZqSaved) Module.onZqSaved();
            });
        };
        sync();
    });
}

void StartGame() {
    // Keyboard, pads and sound are SDL's; SDL reads keys from the whole page.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) throw FatalError(std::string("SDL: ") + SDL_GetError());
    WebGame& web = *g_web;
    web.input = std::make_unique<SdlInput>();
    web.browserInput = std::make_unique<BrowserInput>(*web.input);
    std::unique_ptr<SoundBackend> sound = OpenSdlSoundBackend(DataResolver(kDataDir));
    if (sound) web.audio = std::make_unique<SoundMixer>(std::move(sound));
    else web.audio = std::make_unique<SilentAudio>();

    GameConfig config;
    config.dataDir = kDataDir;
    config.startDir = "/";
    SettingsStore settingsFile = OpenGameSettings(config);
    const std::filesystem::path settingsPath = settingsFile.Path();
    const GameSettings settings = ReadSettings(settingsFile.File());
    // SDL's window stands for the canvas (its keys, its size); the picture is
    // put on the canvas by our presenter and scaled by the page.  The canvas
    // starts at the window's size, so SDL does not take the page's scaled
    // size for a size of its own.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    EM_ASM(
        {
            Module.canvas.style.width = "";
            Module.canvas.style.height = "";
            Module.canvas.width = $0;
            Module.canvas.height = $1;
        },
        settings.width, settings.height);
    web.display.Open("Zorvo Quib", WindowPlacement{0, 0, settings.width, settings.height});
    SDL_SetWindowResizable(web.display.Window(), SDL_FALSE);
    web.soft.renderer.SetPresenter(&web.presenter);
    // The page only gets keys while it has the focus: they always count.
    web.input->SetWindow(web.display.Window(), true);

    web.host.isFullscreen = PageFullscreen;
    web.host.setFullscreen = [](bool on) { EM_ASM({ if (Module.zqSetFullscreen) Module.zqSetFullscreen($0 != 0); }, on); };
    web.host.setClientSize = [](int w, int h) { g_web->display.SetClientSize(w, h); };

    web.game = std::make_unique<Game>(config, *web.browserInput, *web.audio, web.host, web.soft.renderer, web.soft);
    web.game->shell.clock = [] { return static_cast<std::uint32_t>(SDL_GetTicks()); };
    web.game->settingsStore = std::move(settingsFile);
    InitGame(*web.game);
    ResetFrameClock(web.game->shell, SDL_GetTicks());
    SetScreen(*web.game, kScreenTitle);
    web.session = std::make_unique<WebSession>(*web.game, *web.browserInput, web.host, settingsPath);
    EM_ASM({ if (Module.onZqStarted) Module.onZqStarted(); });
}

void FrameCallback() {
    WebGame& web = *g_web;
    try {
        if (!web.game) {
            // The stored files come back from IndexedDB asynchronously.
            if (EM_ASM_INT({ return Module.zqFilesReady ? 1 : 0; }) == 0) return;
            StartGame();
            return;
        }
        web.browserInput->NewFrame();
        SDL_Event event;
        while (SDL_PollEvent(&event)) web.input->HandleEvent(event);
        if (web.session->Frame(SDL_GetTicks(), web.scriptFramesPerCall)) PersistFiles();
    } catch (const std::exception& e) {
        const std::string text = e.what();
        EM_ASM({ if (Module.onZqFatal) Module.onZqFatal(UTF8ToString($0)); }, text.c_str());
        emscripten_cancel_main_loop();
    }
}

}  // namespace

// The page's hooks (tests and the page's own buttons).
extern "C" {

// The game's state as the JSON that --dump-state writes; "null" before the game runs.
EMSCRIPTEN_KEEPALIVE const char* zq_state_json() {
    if (!g_web || !g_web->game) return "null";
    g_web->stateText = zq::GameStateJson(*g_web->game, nullptr, g_web->session->Frames()).dump();
    return g_web->stateText.c_str();
}

// Plays an input script from the start of level 1 on a virtual clock,
// `framesPerCall` of its frames each animation frame; 0 when it does not parse.
EMSCRIPTEN_KEEPALIVE int zq_play_script(const char* text, int framesPerCall) {
    if (!g_web || !g_web->session) return 0;
    std::string why;
    g_web->scriptFramesPerCall = framesPerCall > 0 ? framesPerCall : 1;
    if (!g_web->session->PlayScript(text ? text : "", why)) {
        EM_ASM({ console.warn('Zorvo Quib: input script: ' + UTF8ToString($0)); }, why.c_str());
        return 0;
    }
    return 1;
}

// What the page's touch controls hold now: a mask of TouchBit.
EMSCRIPTEN_KEEPALIVE void zq_touch(unsigned held) {
    if (g_web && g_web->browserInput) g_web->browserInput->SetTouch(held);
}

EMSCRIPTEN_KEEPALIVE int zq_script_playing() { return g_web && g_web->session && g_web->session->ScriptPlaying() ? 1 : 0; }

}  // extern "C"

int main() {
    // Settings go to IndexedDB, the colour tables to memory.
    setenv("XDG_CONFIG_HOME", kPersistentDir, 1);
    setenv("XDG_CACHE_HOME", "/tmp/cache", 1);
    g_web = new WebGame;
    EM_ASM(
        {
            FS.mkdir(UTF8ToString($0));
            FS.mount(IDBFS, {}, UTF8ToString($0));
            FS.syncfs(true, function(err) {
                if (err) console.warn('Zorvo Quib: no saved settings in this browser: ' + err);
                Module.zqFilesReady = true;
            });
        },
        kPersistentDir);
    // The browser's animation frames drive the game; main returns at once.
    emscripten_set_main_loop(FrameCallback, 0, 0);
    return 0;
}
