#include "common/game_main.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/text.h"
#include "platform/sdl_audio.h"
#include "platform/sdl_input.h"
#include "shell/game.h"
#include "shell/input_script.h"

#ifndef ZQ_DEFAULT_DATA_DIR
#define ZQ_DEFAULT_DATA_DIR "data"
#endif

namespace zq {

namespace {

[[noreturn]] void Usage(const std::string& program, const std::string& why) {
    const std::string pad(program.size(), ' ');
    std::cerr << program << ": " << why << "\n"
              << "usage: " << program << " [--data DIR] [--headless] [--frame-ms N] [--frames N] [--start-level N]\n"
              << "       " << pad << " [--level FILE.lev] [--input FILE] [--record FILE] [--settings FILE]\n"
              << "       " << pad << " [--screenshot FILE.png [--screenshot-frame N]]... [--dump-state FILE.json]\n";
    std::exit(2);
}

// The one place the game's sound comes from: silent headless, SDL2_mixer in a
// window (still silent when no sound device can be opened).
std::unique_ptr<Audio> CreateAudio(bool headless, const std::string& dataDir) {
    if (headless) return std::make_unique<SilentAudio>();
    return OpenAudio(DataResolver(dataDir));
}

// The window-less host of headless runs: remembers what it was asked.
class HeadlessHost final : public GameHost {
public:
    explicit HeadlessHost(std::string program) : program_(std::move(program)) {}
    bool Fullscreen() override { return fullscreen_; }
    void SetFullscreen(bool on, RenderSize) override { fullscreen_ = on; }
    void SetClientSize(int, int) override {}
    void ShowCursor(bool) override {}
    void ShowMessage(const std::string& text) override { std::cerr << program_ << ": " << text << "\n"; }
    void Quit() override { quit = true; }
    bool quit = false;

private:
    std::string program_;
    bool fullscreen_ = false;
};

class WindowHost final : public GameHost {
public:
    WindowHost(GameBackEnd& backEnd, SdlInput& input) : backEnd_(backEnd), input_(input) {}
    bool Fullscreen() override { return backEnd_.Fullscreen(); }
    void SetFullscreen(bool on, RenderSize size) override {
        backEnd_.SetFullscreen(on, size.width, size.height);
        input_.SetWindow(backEnd_.Window(), backEnd_.Fullscreen());
    }
    void SetClientSize(int w, int h) override { backEnd_.SetClientSize(w, h); }
    void ShowCursor(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }
    void ShowMessage(const std::string& text) override { ShowMessageBox("Zorvo Quib", text); }
    void Quit() override { quit = true; }
    bool quit = false;

private:
    GameBackEnd& backEnd_;
    SdlInput& input_;
};

void WriteScreenshot(const std::string& program, Game& game, const std::string& path) {
    FramePicture picture;
    std::string why = "no frame";
    if (!game.overlay.GrabFrame(picture) || !WriteFramePicture(picture, path, why))
        std::cerr << program << ": screenshot " << path << ": " << why << "\n";
}

void DumpState(const std::string& program, const Game& game, long long frames, const std::string& path) {
    const Actor& hero = game.actors.Local();
    const World& world = *game.world;
    nlohmann::json state;
    state["screen"] = game.shell.screen;
    state["levelIndex"] = hero.levelIndex;
    state["levelCount"] = game.shell.levelCount;
    state["lives"] = hero.lives;
    state["dead"] = hero.dead;
    state["hero"] = {{"x", hero.x},           {"y", hero.y},               {"z", hero.z},
                     {"heading", hero.heading}, {"onGround", hero.onGround}, {"onLadder", hero.onLadder},
                     {"fallSpeed", hero.fallSpeed}};
    state["ingots"] = world.objectDefs[kIngotType].cellCount;
    state["timerRunning"] = world.timerRunning != 0;
    state["timerLeft"] = world.timerLeft;
    nlohmann::json sentries = nlohmann::json::array();
    for (int i = 0; i < std::clamp(world.sentryCount, 0, kMaxSentries); ++i) {
        const SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        sentries.push_back({{"x", s.x}, {"y", s.y}, {"z", s.z}, {"mode", s.mode}});
    }
    state["sentries"] = sentries;
    state["statusText"] = game.shell.status.shown ? Latin1ToUtf8(game.shell.status.text) : std::string();
    state["fadeActive"] = game.shell.fade.active;
    state["frames"] = frames;
    if (!WriteFileAtomic(path, state.dump(2) + "\n")) std::cerr << program << ": cannot write " << path << "\n";
}

// Skips the title: the local player starts level `index` with three lives.
void StartAt(Game& game, int index) {
    Actor& local = game.actors.Local();
    local.levelIndex = index;
    local.lives = 3;
    StartLevel(game, index);
}

void StartFirstScreen(Game& game, const GameOptions& options) {
    if (options.level) StartAt(game, 0);
    else if (options.startLevel) StartAt(game, std::min(*options.startLevel, std::max(0, game.shell.levelCount - 1)));
    else SetScreen(game, kScreenTitle);
}

int RunHeadless(const std::string& program, GameBackEnd& backEnd, const GameOptions& options) {
    std::optional<ScriptedInput> scripted;
    if (options.input) {
        auto bytes = ReadFileBytes(*options.input);
        if (!bytes) throw FatalError("GAME: Cannot read the input script " + *options.input);
        scripted.emplace(ParseInputScript(std::string(bytes->begin(), bytes->end())));
    } else {
        scripted.emplace(InputScript{});
    }
    backEnd.OpenHeadless();
    HeadlessHost host(program);
    std::unique_ptr<Audio> audio = CreateAudio(true, options.dataDir);
    GameConfig config;
    config.dataDir = options.dataDir;
    config.startDir = std::filesystem::current_path();
    if (options.settings) config.settingsFile = *options.settings;
    config.writeSettings = false;
    config.seedFromClock = false;
    config.singleLevel = options.level;
    auto game = std::make_unique<Game>(config, *scripted, *audio, host, backEnd.GameRenderer(), backEnd.Overlay());
    InitGame(*game);
    ResetFrameClock(game->shell, 0);
    StartFirstScreen(*game, options);

    std::uint32_t ticks = 0;
    long long frame = 0;
    const int defaultMs = options.frameMs.value_or(30);
    while (!host.quit) {
        if (options.frames && frame >= *options.frames) break;
        int frameMs = defaultMs;
        if (options.input) {
            if (!scripted->Advance()) break;
            frameMs = scripted->FrameMs();
        }
        ++frame;
        ticks += static_cast<std::uint32_t>(frameMs);
        try {
            GameFrame(*game, ticks);
        } catch (const FatalError&) {
            throw;
        } catch (const std::exception& e) {
            std::cerr << program << ": frame " << frame << ": " << e.what() << "\n";
        }
        for (const auto& [path, at] : options.screenshots)
            if (at == frame) WriteScreenshot(program, *game, path);
    }
    for (const auto& [path, at] : options.screenshots)
        if (at < 0) WriteScreenshot(program, *game, path);
    if (options.dumpState) DumpState(program, *game, frame, *options.dumpState);
    ShutdownGame(*game);
    game.reset();
    backEnd.Close();
    return 0;
}

int RunWindow(const std::string& program, GameBackEnd& backEnd, const GameOptions& options) {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) throw FatalError(std::string("GAME: ") + SDL_GetError());
    SdlInput input;
    WindowHost host(backEnd, input);
    std::unique_ptr<Audio> audio = CreateAudio(false, options.dataDir);
    GameConfig config;
    config.dataDir = options.dataDir;
    config.startDir = std::filesystem::current_path();
    if (options.settings) config.settingsFile = *options.settings;
    config.singleLevel = options.level;

    // The window opens at the saved placement; the game applies the rest of the settings.
    SettingsFile saved = SettingsFile::Load(options.settings ? std::filesystem::path(*options.settings)
                                                             : SettingsPath(config.startDir, UserConfigDir()))
                             .value_or(SettingsFile{});
    GameSettings settings = ReadSettings(saved);
    backEnd.OpenWindow("Zorvo Quib", WindowPlacement{settings.left, settings.top, settings.width, settings.height});
    input.SetWindow(backEnd.Window(), false);
    backEnd.ShowLoadingNotice();

    auto game = std::make_unique<Game>(config, input, *audio, host, backEnd.GameRenderer(), backEnd.Overlay());
    // Without --frame-ms the game runs on the real clock, read again after each long operation.
    if (!options.frameMs) game->shell.clock = [] { return static_cast<std::uint32_t>(SDL_GetTicks()); };
    InitGame(*game);
    ResetFrameClock(game->shell, SDL_GetTicks());
    StartFirstScreen(*game, options);

    InputRecorder recorder;
    // The placement saved at the end is the window's last one outside full
    // screen, so a size chosen with F4 or by dragging the frame is remembered.
    WindowPlacement windowed = backEnd.Placement();
    std::uint32_t virtualTicks = SDL_GetTicks();
    long long frame = 0;
    while (!host.quit) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (!input.HandleEvent(event)) host.quit = true;
        if (host.quit || (options.frames && frame >= *options.frames)) break;
        std::uint32_t before = static_cast<std::uint32_t>(game->shell.time.now);
        std::uint32_t ticks = SDL_GetTicks();
        if (options.frameMs) ticks = virtualTicks += static_cast<std::uint32_t>(*options.frameMs);
        ++frame;
        try {
            GameFrame(*game, ticks);
        } catch (const FatalError&) {
            throw;
        } catch (const std::exception& e) {
            std::cerr << program << ": " << e.what() << "\n";
        }
        if (options.record)
            recorder.AddFrame(static_cast<std::int32_t>(ticks - before),
                              InputRecorder::Sample(game->actors.Local().commands, input), game->mouse.motion);
        for (const auto& [path, at] : options.screenshots)
            if (at == frame) WriteScreenshot(program, *game, path);
        if (!backEnd.Fullscreen()) windowed = backEnd.Placement();
    }
    for (const auto& [path, at] : options.screenshots)
        if (at < 0) WriteScreenshot(program, *game, path);
    if (options.dumpState) DumpState(program, *game, frame, *options.dumpState);
    if (options.record && !WriteFileAtomic(*options.record, recorder.Text()))
        std::cerr << program << ": cannot write " << *options.record << "\n";
    game->settings.left = windowed.left;
    game->settings.top = windowed.top;
    game->settings.width = windowed.width;
    game->settings.height = windowed.height;
    ShutdownGame(*game);
    game.reset();
    backEnd.Close();
    SDL_Quit();
    return 0;
}

long long NumberArg(const std::string& program, const std::string& name, const std::string& text, long long min) {
    auto n = ParseNumber(text);
    if (!n || *n < min) Usage(program, "bad value for " + name + ": " + text);
    return *n;
}

}  // namespace

GameOptions ParseGameOptions(const std::string& program, int argc, char** argv) {
    GameOptions o;
    o.dataDir = ZQ_DEFAULT_DATA_DIR;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage(program, a + " needs a value");
            return argv[++i];
        };
        auto number = [&](long long min) { return NumberArg(program, a, value(), min); };
        if (a == "--data") o.dataDir = value();
        else if (a == "--headless") o.headless = true;
        else if (a == "--frame-ms") o.frameMs = static_cast<int>(number(0));
        else if (a == "--frames") o.frames = number(1);
        else if (a == "--start-level") o.startLevel = static_cast<int>(number(0));
        else if (a == "--level") {
            // A file that exists as given (relative to where the game runs) is
            // used as is; anything else is a data-folder name like "LEVEL\\01.lev".
            std::string level = value();
            std::error_code ec;
            if (std::filesystem::is_regular_file(level, ec)) level = std::filesystem::absolute(level, ec).string();
            o.level = level;
        }
        else if (a == "--input") o.input = value();
        else if (a == "--record") o.record = value();
        else if (a == "--settings") o.settings = value();
        else if (a == "--dump-state") o.dumpState = value();
        else if (a == "--screenshot") o.screenshots.emplace_back(value(), -1);
        else if (a == "--screenshot-frame") {
            if (o.screenshots.empty()) Usage(program, "--screenshot-frame follows a --screenshot");
            o.screenshots.back().second = number(1);
        } else if (EqualsNoCase(a, "/NETWORK") && i == 1) {
            // The network lobby comes with network play; until then the switch starts the game alone.
        } else Usage(program, "unknown argument " + a);
    }
    if (o.headless && !o.frames && !o.input) Usage(program, "--headless needs --frames or --input");
    return o;
}

int RunGame(const std::string& program, GameBackEnd& backEnd, const GameOptions& options) {
    try {
        return options.headless ? RunHeadless(program, backEnd, options) : RunWindow(program, backEnd, options);
    } catch (const std::exception& e) {
        if (options.headless)
            std::cerr << program << ": " << e.what() << "\n";
        else
            ShowMessageBox("Zorvo Quib", e.what());
        return 1;
    }
}

}  // namespace zq
