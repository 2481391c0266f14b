#include "common/game_main.h"
#include "common/game_state.h"

#include <SDL.h>

#include <algorithm>
#include <ctime>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "assets/pcx.h"
#include "core/data_dir.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/text.h"
#include "net/net_play.h"
#include "net/net_settings.h"
#include "platform/enet_transport.h"
#include "platform/mpv_video.h"
#include "platform/sdl_audio.h"
#include "platform/sdl_input.h"
#include "platform/sdl_window_util.h"
#include "shell/credits.h"
#include "shell/game.h"
#include "shell/game_over.h"
#include "shell/input_script.h"
#include "shell/snapshot.h"

namespace zq {

namespace {

// The name of the menu entry, "org.zorvoquib.game.desktop", without ".desktop".
constexpr const char* kDesktopId = "org.zorvoquib.game";

// Ends a windowed start that has nowhere to show its window.
struct NoDisplayError : std::runtime_error {
    explicit NoDisplayError(const std::string& detail = {})
        : std::runtime_error("no display found" + (detail.empty() ? std::string() : " (" + detail + ")") +
                             "; use --headless or start it from a desktop session") {}
};

// The one place the game's sound comes from: silent headless, SDL2_mixer in a
// window (still silent when no sound device can be opened; --verbose says so).
std::unique_ptr<Audio> CreateAudio(const std::string& program, bool headless, bool verbose, const std::string& dataDir) {
    if (headless) return std::make_unique<SilentAudio>();
    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(DataResolver(dataDir));
    if (!backend) {
        if (verbose) std::cerr << program << ": no sound device: sound off\n";
        return std::make_unique<SilentAudio>();
    }
    return std::make_unique<SoundMixer>(std::move(backend));
}

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// A windowed start needs a display server, or a video driver the player chose
// (a console driver, say).  Checked before SDL starts, so a start over SSH ends
// at once instead of running invisibly.
void RequireDisplay() {
    if (EnvSet("SDL_VIDEODRIVER")) return;
    if (!EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) throw NoDisplayError();
    // Only X: SDL would otherwise also try Wayland, whose library complains on
    // stderr when there is no Wayland session to talk to.
    if (!EnvSet("WAYLAND_DISPLAY")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
}

// After SDL's start: its offscreen and dummy drivers show nothing to anyone.
void RequireVisibleDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || EqualsNoCase(driver, "offscreen") || EqualsNoCase(driver, "dummy")) {
        SDL_Quit();
        throw NoDisplayError();
    }
}

// The window gets our icon from the data folder; without it the window has SDL's.
void SetIconFromData(SDL_Window* window, const std::string& dataDir) {
    try {
        SetWindowIcon(window, LoadPcx(DataResolver(dataDir), "INTERF/ICON.PCX"));
    } catch (const std::exception&) {
    }
}

// "zorvoquib-2026-12-08-143005.png" in the pictures folder's "zorvoquib"; a
// second shot in the same second gets "-2", "-3" ...
std::filesystem::path ScreenshotPath() {
    namespace fs = std::filesystem;
    const fs::path dir = PicturesDir() / "zorvoquib";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    fs::path path = dir / ("zorvoquib-" + std::string(stamp) + ".png");
    for (int n = 2; fs::exists(path, ec) && n < 1000; ++n)
        path = dir / ("zorvoquib-" + std::string(stamp) + "-" + std::to_string(n) + ".png");
    return path;
}

// The Print Screen key: the last frame into the pictures folder, and a word on the status line.
void TakeScreenshot(const std::string& program, Game& game) {
    const std::filesystem::path path = ScreenshotPath();
    FramePicture picture;
    std::string why = "no frame";
    if (game.overlay.GrabFrame(picture) && WriteFramePicture(picture, path.string(), why)) {
        ShowStatusMessage(game.shell, "SCREENSHOT " + ToUpper(path.filename().string()));
        std::cout << program << ": screenshot " << path.string() << "\n";
    } else {
        ShowStatusMessage(game.shell, "NO SCREENSHOT");
        std::cerr << program << ": screenshot " << path.string() << ": " << why << "\n";
    }
}

// Print Screen takes one shot per press, however long it is held.
class ScreenshotKey {
public:
    void Check(const std::string& program, Game& game, InputDevice& input) {
        const bool down = input.KeyDown(Key::PrintScreen);
        if (down && !wasDown_) TakeScreenshot(program, game);
        wasDown_ = down;
    }

private:
    bool wasDown_ = false;
};

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
    ScreenRoom Screen() override { return ScreenRoomOf(backEnd_.Window()); }
    void ShowCursor(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }
    void ShowMessage(const std::string& text) override { ShowMessageBox("Zorvo Quib", text); }
    void Quit() override { quit = true; }
    bool quit = false;

private:
    GameBackEnd& backEnd_;
    SdlInput& input_;
};

// The display's vertical sync where the driver offers it; false otherwise.
bool RequestVsync(SDL_Window* window) {
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)
        return SDL_GL_SetSwapInterval(-1) == 0 || SDL_GL_SetSwapInterval(1) == 0;  // adaptive first
    SDL_Renderer* renderer = SDL_GetRenderer(window);
    return renderer && SDL_RenderSetVSync(renderer, 1) == 0;
}

// Windowed frames wait for their turn: at most `maxFps` a second, whether or
// not the vertical sync holds them (a virtual X server has none), so a game
// resting on its title does not keep a core busy.  Headless runs never wait.
class FrameCap {
public:
    void Wait(int maxFps) {
        using Clock = std::chrono::steady_clock;
        if (maxFps <= 0) return;
        const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(1000000 / maxFps));
        const auto now = Clock::now();
        if (now < next_ && next_ - now <= period) {
            std::this_thread::sleep_until(next_);
            next_ += period;
        } else {
            next_ = now + period;  // late (or the cap changed): start counting afresh
        }
    }

private:
    std::chrono::steady_clock::time_point next_{};
};

// False (after one line on stderr) when the picture could not be written.
bool WriteScreenshot(const std::string& program, Game& game, const std::string& path) {
    FramePicture picture;
    std::string why = "no frame";
    if (game.overlay.GrabFrame(picture) && WriteFramePicture(picture, path, why)) return true;
    std::cerr << program << ": screenshot " << path << ": " << why << "\n";
    return false;
}

bool DumpState(const std::string& program, const Game& game, const NetPlay* net, long long frames,
               const std::string& path) {
    const nlohmann::json state = GameStateJson(game, net, frames);
    WriteResult written = WriteFileSafe(path, state.dump(2) + "\n");
    if (!written) std::cerr << program << ": " << written.reason << "\n";
    return written.ok;
}

// The game's whole state into `path`; false (and a line on stderr) when it
// cannot be: no level is being played, or the file cannot be written.
bool WriteSnapshotFile(const std::string& program, const Game& game, std::uint32_t ticks, const std::string& path) {
    if (game.shell.screen != kScreenPlay) {
        std::cerr << program << ": snapshot not written: no level is being played\n";
        return false;
    }
    const Bytes bytes = SaveSnapshot(game, ticks);
    if (WriteResult written = WriteFileSafe(path, bytes); !written) {
        std::cerr << program << ": " << written.reason << "\n";
        return false;
    }
    return true;
}

// Skips the title: the local player starts level `index` with three lives.
void StartAt(Game& game, int index) {
    Actor& local = game.actors.Local();
    local.levelIndex = index;
    local.lives = kStartLives;
    StartLevel(game, index);
}

// False when --level or --start-level named a level that was refused (its
// message has been shown): the run has nothing to play.
bool StartFirstScreen(Game& game, const GameOptions& options) {
    if (options.level) StartAt(game, 0);
    else if (options.startLevel) StartAt(game, std::min(*options.startLevel, std::max(0, game.shell.levelCount - 1)));
    else SetScreen(game, kScreenTitle);
    return !(options.level || options.startLevel) || game.shell.screen == kScreenPlay;
}

// The network pieces of one program: the transport, the session over it and
// the game's side, torn down after the game.
struct Network {
    Network(const NetworkSettings& settings)
        : transport(MakeEnetTransport(settings)), session(*transport), play(session) {}
    std::unique_ptr<NetTransport> transport;
    NetSession session;
    NetPlay play;
};

bool WantsNetwork(const GameOptions& o) { return o.network || o.networkHost || o.networkJoin; }

std::unique_ptr<Network> OpenNetwork(Game& game, const GameOptions& options, const SettingsFile& file) {
    NetworkSettings settings = ReadNetworkSettings(file);
    if (options.networkPort) settings.port = *options.networkPort;
    if (options.networkJoin) {
        // Only the named machine is asked: nothing goes to the broadcast address.
        const std::string& join = *options.networkJoin;
        settings.hosts = {join.substr(join.find('@') + 1)};
        settings.broadcast = false;
    }
    auto network = std::make_unique<Network>(settings);
    network->play.port = settings.port;
    AttachNetPlay(game, network->play);
    OpenLobby(game, network->play);
    return network;
}

// Picks a provider entry of the lobby by name.
bool SelectListEntry(NetPlay& net, const std::string& name) {
    const auto& list = net.panel.list;
    auto it = std::find(list.begin(), list.end(), name);
    if (it == list.end()) return false;
    net.panel.selected = static_cast<std::int32_t>(it - list.begin());
    return true;
}

// Scripted hosting and joining: the nickname, the provider, "Create Game" or
// "Join Game" at once, then "Go" once enough players are in, or "Select Game"
// on the first session found.
class LobbyScript {
public:
    LobbyScript(Game& game, NetPlay& net, const GameOptions& options) : game_(game), net_(net), options_(options) {
        const std::string nick = options.networkHost ? *options.networkHost
                                                     : options.networkJoin->substr(0, options.networkJoin->find('@'));
        SubmitNickname(game, net, nick);
        SelectListEntry(net, kUdpProvider);
        if (options.networkHost) LobbyNewGame(game, net);
        else LobbyJoinGame(game, net);
    }
    void Step() {
        if (options_.networkHost && net_.lobbyState == kLobbyInSession) {
            int present = 0;
            for (std::size_t i = 1; i < net_.session.Players().size(); ++i) present += net_.session.Players()[i].gone ? 0 : 1;
            if (present >= options_.networkPlayers) LobbyNewGame(game_, net_);
        } else if (options_.networkJoin && net_.lobbyState == kLobbyChooseSession) {
            // The join runs over the lobby's frames; a refusal ends the run.
            const std::uint32_t why = net_.panel.joinFailure;
            if (why == kTransportSessionFull || why == kTransportGameStarted || why == kTransportWrongVersion ||
                why == kTransportNameInUse) {
                refusal = RefusalText(why);
                return;
            }
            if (net_.panel.list.empty()) return;
            net_.panel.selected = 0;
            LobbyJoinGame(game_, net_);
        }
    }
    std::string refusal;  // the host said no: asking again changes nothing

private:
    Game& game_;
    NetPlay& net_;
    const GameOptions& options_;
};

// The --input script, read before anything opens; nothing without --input.
std::optional<ScriptedInput> ReadScript(const GameOptions& options) {
    if (!options.input) return std::nullopt;
    auto bytes = ReadFileBytes(*options.input, kMaxInputScriptBytes);
    if (!bytes) throw FatalError("GAME: Cannot read the input script " + *options.input);
    return ScriptedInput(ParseInputScript(std::string(bytes->begin(), bytes->end())));
}

int RunHeadless(const std::string& program, GameBackEnd& backEnd, const GameOptions& options) {
    std::optional<ScriptedInput> scripted = ReadScript(options);
    if (!scripted) scripted.emplace(InputScript{});
    backEnd.OpenHeadless();
    HeadlessHost host(program);
    std::unique_ptr<Audio> audio = CreateAudio(program, true, options.verbose, options.dataDir);
    GameConfig config;
    config.dataDir = options.dataDir;
    config.startDir = std::filesystem::current_path();
    if (options.settings) config.settingsFile = *options.settings;
    config.writeSettings = false;
    config.seedFromClock = false;
    config.singleLevel = options.level;
    config.drawFrames = !options.noDraw;
    std::unique_ptr<VideoPlayer> video = OpenMpvVideo(true);
    auto game = std::make_unique<Game>(config, *scripted, *audio, host, backEnd.GameRenderer(), backEnd.Overlay());
    game->video.player = video.get();
    InitGame(*game);
    ResetFrameClock(game->shell, 0);
    std::unique_ptr<Network> network;
    std::optional<LobbyScript> lobby;
    if (WantsNetwork(options)) {
        network = OpenNetwork(*game, options, game->settingsStore->File());
        if (options.networkHost || options.networkJoin) lobby.emplace(*game, network->play, options);
    } else if (!StartFirstScreen(*game, options)) {
        host.quit = true;  // a refused level ends a headless run with 1
    }
    std::uint32_t ticks = 0;
    if (options.snapshotIn && !host.quit) {
        // The level is loaded as for any start; the state then replaces what the load made.
        const std::optional<Bytes> bytes = ReadFileBytes(*options.snapshotIn, kMaxSnapshotBytes);
        SnapshotRestore restored{false, "cannot read the file, or it is larger than any snapshot", 0};
        if (bytes) restored = RestoreSnapshot(*game, *bytes);
        if (!restored.ok) {
            std::cerr << program << ": snapshot " << *options.snapshotIn << " refused: " << restored.why << "\n";
            host.quit = true;
        }
        ticks = restored.clockTicks;  // the run goes on from the snapshot's clock
    }

    // The other machines run in real time, so a networked run does too: each
    // frame lasts its frame time on the clock.
    const auto clockStart = std::chrono::steady_clock::now();
    constexpr auto kLobbyLimit = std::chrono::seconds(30);
    // Only a scripted host or join waits in the lobby uncounted; a plain
    // --network run counts its frames from the start.
    bool inLobby = lobby.has_value();
    bool played = false;
    int exitCode = host.quit ? 1 : 0;
    bool outputLost = false;  // a screenshot or the state dump could not be written
    long long frame = 0;
    long long firstFailedFrame = 0;
    const int defaultMs = options.frameMs.value_or(30);
    ScreenshotKey screenshotKey;
    while (!host.quit) {
        if (inLobby && !game->shell.networkLobby) {
            inLobby = false;
            std::cerr << program << ": network game started as player " << game->actors.localPlayer + 1 << " of "
                      << game->actors.lastPlayer + 1 << std::endl;
            if (options.networkHost && options.startLevel && game->actors.localPlayer == 0)
                StartAt(*game, std::min(*options.startLevel, std::max(0, game->shell.levelCount - 1)));
        }
        if (inLobby && lobby && !lobby->refusal.empty()) {
            std::cerr << program << ": the host refused to let us in: " << lobby->refusal << "\n";
            exitCode = 1;
            break;
        }
        if (inLobby && std::chrono::steady_clock::now() - clockStart > kLobbyLimit) {
            std::string why = "not enough players joined the network game";
            if (options.networkJoin)
                why = network->play.lobbyState == kLobbyInSession
                          ? "the host did not start the network game"
                          : "no network game found at " + options.networkJoin->substr(options.networkJoin->find('@') + 1);
            std::cerr << program << ": " << why << " within 30 s\n";
            exitCode = 1;
            break;
        }
        if (!inLobby && options.frames && frame >= *options.frames) break;
        int frameMs = defaultMs;
        if (options.input && !inLobby) {  // the script starts once the game has
            if (!scripted->Advance()) break;
            frameMs = scripted->FrameMs();
        }
        if (!inLobby) ++frame;
        ticks += static_cast<std::uint32_t>(frameMs);
        if (network) std::this_thread::sleep_until(clockStart + std::chrono::milliseconds(ticks));
        try {
            GameFrame(*game, ticks);
            if (lobby && inLobby) lobby->Step();
        } catch (const FatalError&) {
            throw;
        } catch (const std::exception& e) {
            // The game goes on with the next frame, as a windowed game does; the run's status says it failed.
            std::cerr << program << ": frame " << frame << ": " << e.what() << "\n";
            if (firstFailedFrame == 0) firstFailedFrame = std::max(1LL, frame);
        }
        if (options.snapshotOut && frame == *options.snapshotFrame && !inLobby) {
            if (!WriteSnapshotFile(program, *game, ticks, *options.snapshotOut)) exitCode = 1;
        }
        screenshotKey.Check(program, *game, *scripted);
        for (const auto& [path, at] : options.screenshots)
            if (at == frame && !WriteScreenshot(program, *game, path)) outputLost = true;
        played = played || game->shell.screen == kScreenPlay;
        if (options.untilTitle && played && game->shell.screen == kScreenTitle) break;
    }
    for (const auto& [path, at] : options.screenshots)
        if (at < 0 && !WriteScreenshot(program, *game, path)) outputLost = true;
    if (options.dumpState && !DumpState(program, *game, network ? &network->play : nullptr, frame, *options.dumpState))
        outputLost = true;
    if (options.snapshotOut && frame < *options.snapshotFrame) {
        std::cerr << program << ": snapshot not written: the run ended after frame " << frame << "\n";
        exitCode = 1;
    }
    if (firstFailedFrame > 0) {
        std::cerr << program << ": a frame failed (first at frame " << firstFailedFrame << ")\n";
        exitCode = 1;
    }
    ShutdownGame(*game);
    game.reset();
    network.reset();
    backEnd.Close();
    // A run whose pictures or state were asked for and not written has failed,
    // however well the game went: a script reading them must not read old ones.
    return exitCode != 0 ? exitCode : (outputLost ? 1 : 0);
}

int RunWindow(const std::string& program, GameBackEnd& backEnd, const GameOptions& options) {
    // A script plays in the window as it does headless: its keys instead of
    // the keyboard's, its frame times on the clock, and the run ends after its last line.
    std::optional<ScriptedInput> scripted = ReadScript(options);
    RequireDisplay();
    // The desktop matches the window to the menu entry (and its icon) by this
    // class; the sound server lists the game by its name.
    setenv("SDL_VIDEO_X11_WMCLASS", kDesktopId, 0);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", kDesktopId, 0);
    SDL_SetHint(SDL_HINT_APP_NAME, "Zorvo Quib");
    // A display that is named but does not answer (a stale DISPLAY over SSH) is no display either.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) throw NoDisplayError(SDL_GetError());
    RequireVisibleDriver();
    SdlInput input;
    WindowHost host(backEnd, input);
    std::unique_ptr<Audio> audio = CreateAudio(program, false, options.verbose, options.dataDir);
    GameConfig config;
    config.dataDir = options.dataDir;
    config.startDir = std::filesystem::current_path();
    if (options.settings) config.settingsFile = *options.settings;
    config.singleLevel = options.level;

    // The window opens at the saved placement; the game applies the rest of the settings.
    SettingsStore settingsFile = OpenGameSettings(config);
    GameSettings settings = ReadSettings(settingsFile.File());
    if (!settingsFile.Existed() && !options.settings) {
        // A first start: a window that suits the desktop rather than the smallest one.
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            config.firstStartResolution = FirstStartResolution(desktop.w, desktop.h);
            const RenderSize size = ResolutionSize(*config.firstStartResolution);
            settings.width = size.width;
            settings.height = size.height;
        }
    }
    backEnd.OpenWindow("Zorvo Quib", WindowPlacement{settings.left, settings.top, settings.width, settings.height});
    backEnd.SetExactPixels(settings.exactPixels);
    const bool vsync = RequestVsync(backEnd.Window());
    if (options.verbose) std::cerr << program << ": vertical sync " << (vsync ? "on" : "not offered") << "\n";
    SetIconFromData(backEnd.Window(), options.dataDir);
    input.SetWindow(backEnd.Window(), false);
    input.SetPictureArea([&backEnd] { return backEnd.Picture(); });
    backEnd.ShowLoadingNotice();

    std::unique_ptr<VideoPlayer> video = OpenMpvVideo(false);
    InputDevice& gameInput = scripted ? static_cast<InputDevice&>(*scripted) : input;
    auto game = std::make_unique<Game>(config, gameInput, *audio, host, backEnd.GameRenderer(), backEnd.Overlay());
    game->video.player = video.get();
    game->settingsStore = std::move(settingsFile);
    // Without --frame-ms the game runs on the real clock, read again after each long operation.
    if (!options.frameMs && !scripted) game->shell.clock = [] { return static_cast<std::uint32_t>(SDL_GetTicks()); };
    InitGame(*game);
    ResetFrameClock(game->shell, SDL_GetTicks());
    std::unique_ptr<Network> network;
    // A refused --level has shown its message box; the program then ends with 1.
    bool refused = false;
    if (WantsNetwork(options)) network = OpenNetwork(*game, options, game->settingsStore->File());
    else refused = !StartFirstScreen(*game, options);
    if (refused) host.quit = true;
    if (auto note = TakeUnsavedSettingsNote(UserConfigDir())) ShowStatusMessage(game->shell, *note);
    if (!options.settings && SettingsPath(config.startDir, UserConfigDir()).empty())
        std::cerr << program << ": no home folder (HOME and XDG_CONFIG_HOME are not absolute paths): the settings "
                     "and the saved game will not be kept\n";

    InputRecorder recorder;
    ScreenshotKey screenshotKey;
    FrameCap frameCap;
    // The placement saved at the end is the window's last one outside full
    // screen, so a size chosen with F4 or by dragging the frame is remembered.
    WindowPlacement windowed = backEnd.Placement();
    std::uint32_t virtualTicks = SDL_GetTicks();
    long long frame = 0;
    bool outputLost = false;  // a screenshot or the state dump could not be written
    while (!host.quit) {
        input.NewFrame();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (!input.HandleEvent(event)) host.quit = true;
        if (host.quit || (options.frames && frame >= *options.frames)) break;
        std::uint32_t before = static_cast<std::uint32_t>(game->shell.time.now);
        std::uint32_t ticks = SDL_GetTicks();
        if (options.frameMs) ticks = virtualTicks += static_cast<std::uint32_t>(*options.frameMs);
        if (scripted) {
            if (!scripted->Advance()) break;
            ticks = virtualTicks += static_cast<std::uint32_t>(scripted->FrameMs());
        }
        ++frame;
        try {
            GameFrame(*game, ticks);
        } catch (const FatalError&) {
            throw;
        } catch (const std::exception& e) {
            std::cerr << program << ": " << e.what() << "\n";
        }
        screenshotKey.Check(program, *game, input);
        if (options.record)
            recorder.AddFrame(static_cast<std::int32_t>(ticks - before),
                              InputRecorder::Sample(game->actors.Local().commands, input), game->mouse.motion);
        for (const auto& [path, at] : options.screenshots)
            if (at == frame && !WriteScreenshot(program, *game, path)) outputLost = true;
        if (!backEnd.Fullscreen()) windowed = backEnd.Placement();
        frameCap.Wait(game->settings.maxFps);
    }
    for (const auto& [path, at] : options.screenshots)
        if (at < 0 && !WriteScreenshot(program, *game, path)) outputLost = true;
    if (options.dumpState && !DumpState(program, *game, network ? &network->play : nullptr, frame, *options.dumpState))
        outputLost = true;
    if (options.record) {
        if (WriteResult written = WriteFileSafe(*options.record, recorder.Text()); !written)
            std::cerr << program << ": " << written.reason << "\n";
    }
    game->settings.left = windowed.left;
    game->settings.top = windowed.top;
    game->settings.width = windowed.width;
    game->settings.height = windowed.height;
    const SettingsExit settingsExit = ShutdownGame(*game);
    if (settingsExit.leftAlone) {
        if (options.verbose) std::cerr << program << ": " << settingsExit.written.reason << "\n";
    } else if (!settingsExit.written) {
        std::cerr << program << ": settings not saved: " << settingsExit.written.reason << "\n";
        RememberUnsavedSettings(UserConfigDir(), settingsExit.written);
    }
    game.reset();
    network.reset();
    backEnd.Close();
    SDL_Quit();
    return refused || outputLost ? 1 : 0;
}

// A number option's value, or why it is refused.
std::optional<std::string> ReadNumber(const std::string& name, const std::string& text, long long min, long long& out) {
    auto n = ParseNumber(text);
    if (!n || *n < min) return "bad value for " + name + ": " + text;
    out = *n;
    return std::nullopt;
}

// The manual page's KEYS, FILES and ENVIRONMENT: the keys from the table the
// game's help is made of, the files and variables the game reads.
decltype(CommandLineRules::manSections) GameManSections() {
    return {
        {"KEYS", KeyTable()},
        {"FILES",
         {{"quib.ini",
           "the settings, the keys and the saved game: quib.ini in the folder the game starts in when it is "
           "there and writable, else $XDG_CONFIG_HOME/zorvoquib/quib.ini (~/.config/zorvoquib/quib.ini)"},
          {"~/Pictures/zorvoquib/", "screenshots taken with Print Screen (the XDG pictures folder)"},
          {"/usr/share/zorvoquib/", "the game's data folder once installed: levels, bank, pictures, sounds, music"}}},
        {"ENVIRONMENT",
         {{"ZQ_DATA", "the data folder, when --data is not given"},
          {"XDG_CONFIG_HOME", "where the settings folder zorvoquib/ lies (default ~/.config)"},
          {"XDG_PICTURES_DIR", "the pictures folder for screenshots"},
          {"DISPLAY, WAYLAND_DISPLAY", "the desktop session the window opens on"},
          {"SDL_VIDEODRIVER, SDL_AUDIODRIVER", "SDL's video and sound drivers (SDL_AUDIODRIVER=dummy: no sound)"}}},
    };
}

}  // namespace

std::vector<CommandOption> GameOptionTable(GameOptions& o) {
    auto number = [](const std::string& name, long long min, auto store) -> OptionHandler {
        return [name, min, store](const std::string& text) -> std::optional<std::string> {
            long long n = 0;
            if (auto why = ReadNumber(name, text, min, n)) return why;
            store(n);
            return std::nullopt;
        };
    };
    auto text = [](std::optional<std::string>& field) -> OptionHandler {
        return [&field](const std::string& value) -> std::optional<std::string> {
            field = value;
            return std::nullopt;
        };
    };
    auto flag = [](bool& field) -> OptionHandler {
        return [&field](const std::string&) -> std::optional<std::string> {
            field = true;
            return std::nullopt;
        };
    };
    return {
        {"--data", "DIR", "read the game's data files from DIR", text(o.dataArg)},
        {"--headless", "", "no window and no sound; needs --frames or --input", flag(o.headless)},
        {"--frame-ms", "N", "a virtual clock: every frame advances N ms (30 when headless)",
         number("--frame-ms", 0, [&o](long long n) { o.frameMs = static_cast<int>(n); })},
        {"--frames", "N", "stop after N frames", number("--frames", 1, [&o](long long n) { o.frames = n; })},
        {"--start-level", "N", "skip the title and start level N (from 0) with 3 lives",
         number("--start-level", 0, [&o](long long n) { o.startLevel = static_cast<int>(n); })},
        {"--level", "FILE.lev", "play that one level file as the only level",
         [&o](const std::string& value) -> std::optional<std::string> {
             // A file that exists as given (relative to where the game runs) is
             // used as is; anything else is a data-folder name like "LEVEL\\01.lev".
             std::string level = value;
             std::error_code ec;
             if (std::filesystem::is_regular_file(level, ec)) level = std::filesystem::absolute(level, ec).string();
             o.level = level;
             return std::nullopt;
         }},
        {"--input", "FILE", "play scripted input (in the window too); the run ends after its last line", text(o.input)},
        {"--record", "FILE", "write the input of a live session to FILE", text(o.record)},
        {"--settings", "FILE", "read this settings file instead of quib.ini", text(o.settings)},
        {"--screenshot", "FILE.png", "write the frame as PNG at the end, or at --screenshot-frame",
         [&o](const std::string& value) -> std::optional<std::string> {
             o.screenshots.emplace_back(value, -1);
             return std::nullopt;
         }},
        {"--screenshot-frame", "N", "take the screenshot before it at frame N",
         [&o](const std::string& value) -> std::optional<std::string> {
             if (o.screenshots.empty()) return "--screenshot-frame follows a --screenshot";
             long long n = 0;
             if (auto why = ReadNumber("--screenshot-frame", value, 1, n)) return why;
             o.screenshots.back().second = n;
             return std::nullopt;
         }},
        {"--dump-state", "FILE.json", "write the game's state as JSON when the run ends", text(o.dumpState)},
        {"--until-title", "", "headless: end the run when play gives way to the title screen", flag(o.untilTitle)},
        {"--snapshot-out", "FILE", "headless: write the whole game state after frame --snapshot-frame", text(o.snapshotOut)},
        {"--snapshot-frame", "N", "the frame after which --snapshot-out writes (counted as --input counts)",
         number("--snapshot-frame", 1, [&o](long long n) { o.snapshotFrame = n; })},
        {"--snapshot-in", "FILE", "headless: start from a written state of the level named by --level or --start-level",
         text(o.snapshotIn)},
        {"--no-draw", "", "headless: run the rules without drawing the play screen", flag(o.noDraw)},
        {"--network", "", "open the network lobby (as /NETWORK does)", flag(o.network)},
        {"--network-host", "NICK", "host a network game on the UDP provider", text(o.networkHost)},
        {"--network-players", "N", "the host presses Go once N players (1 to 4) are in",
         [&o](const std::string& value) -> std::optional<std::string> {
             long long n = 0;
             if (auto why = ReadNumber("--network-players", value, 1, n)) return why;
             if (n > kMaxPlayers) return "--network-players takes 1 to 4";
             o.networkPlayers = static_cast<int>(n);
             return std::nullopt;
         }},
        {"--network-port", "P", "the UDP port of the hosted or joined game",
         [&o](const std::string& value) -> std::optional<std::string> {
             long long n = 0;
             if (auto why = ReadNumber("--network-port", value, 1, n)) return why;
             if (n > 65535) return "--network-port takes 1 to 65535";
             o.networkPort = static_cast<int>(n);
             return std::nullopt;
         }},
        {"--network-join", "NICK@HOST[:PORT]", "join the first network game found at that address",
         [&o](const std::string& value) -> std::optional<std::string> {
             std::string hostName;
             int port = 0;
             const auto at = value.find('@');
             if (at == std::string::npos || at == 0 ||
                 !SplitHostPort(value.substr(at + 1), kDefaultGamePort, hostName, port))
                 return "--network-join takes NICK@HOST[:PORT]";
             o.networkJoin = value;
             return std::nullopt;
         }},
        {"--verbose", "", "say on stderr what the start finds (such as no sound device)", flag(o.verbose)},
    };
}

GameOptions ParseGameOptions(const std::string& buildName, int argc, char** argv) {
    GameOptions o;
    CommandLineRules rules;
    const std::string program = ProgramName(argc, argv, buildName);
    o.program = program;
    rules.program = program;
    rules.summary = program + ": Zorvo Quib, the 3D action-puzzle game" +
                   (buildName == "game_gl" ? " (drawn through OpenGL)" : " (drawn by its software renderer)");
    rules.installedName = buildName == "game_gl" ? "zorvoquib-gl" : "zorvoquib";
    rules.manSections = GameManSections();
    rules.options = GameOptionTable(o);
    rules.positional = [&o](const std::string& arg, int index) -> std::optional<std::string> {
        if (index == 0 && EqualsNoCase(arg, "/NETWORK")) {
            o.network = true;
            return std::nullopt;
        }
        return "unexpected argument " + arg;
    };
    rules.footer =
        "/NETWORK as the first argument (any letter case) starts network play.\n"
        "Without --data the data folder is $ZQ_DATA, else \"data\" beside the program,\n"
        "else ../share/zorvoquib from the program's folder.  Print Screen saves a\n"
        "screenshot into the pictures folder (zorvoquib/).\n";
    CommandLineResult result = ParseCommandLine(rules, ArgumentList(argc, argv));
    if (result.action == CommandLineAction::Run && o.headless && !o.frames && !o.input)
        result = {CommandLineAction::Error, "--headless needs --frames or --input"};
    if (result.action == CommandLineAction::Run && o.networkHost && o.networkJoin)
        result = {CommandLineAction::Error, "--network-host and --network-join exclude each other"};
    if (result.action == CommandLineAction::Run && (o.snapshotOut || o.snapshotIn || o.noDraw) && !o.headless)
        result = {CommandLineAction::Error, "--snapshot-out, --snapshot-in and --no-draw are for --headless runs"};
    if (result.action == CommandLineAction::Run && o.snapshotOut.has_value() != o.snapshotFrame.has_value())
        result = {CommandLineAction::Error, "--snapshot-out and --snapshot-frame go together"};
    if (result.action == CommandLineAction::Run && o.snapshotIn && !o.level && !o.startLevel)
        result = {CommandLineAction::Error, "--snapshot-in needs the level it was taken in (--level or --start-level)"};
    if (result.action == CommandLineAction::Run && o.snapshotIn && WantsNetwork(o))
        result = {CommandLineAction::Error, "--snapshot-in starts a game of one player"};
    if (const int code = ReportCommandLine(rules, result); code >= 0) std::exit(code);

    const DataDirSearch search = FindDataDir(o.dataArg, ProgramPath(argc > 0 ? argv[0] : nullptr));
    if (search.found) o.dataDir = search.found->string();
    else o.dataError = search.NotFoundMessage();
    // A folder given by hand is taken as it is; one without the bank is named
    // rather than leaving the player with a missing file deep inside it.
    if (search.found && !IsDataDir(*search.found)) o.dataError = NoGameDataMessage(*search.found);
    return o;
}

int RunGame(const std::string& program, GameBackEnd& backEnd, const GameOptions& options) {
    try {
        if (!options.dataError.empty()) throw FatalError("GAME: " + options.dataError);
        if (options.verbose) std::cerr << program << ": data folder " << options.dataDir << "\n";
        return options.headless ? RunHeadless(program, backEnd, options) : RunWindow(program, backEnd, options);
    } catch (const NoDisplayError& e) {
        std::cerr << program << ": " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        if (options.headless)
            std::cerr << program << ": " << e.what() << "\n";
        else
            ShowMessageBox("Zorvo Quib", e.what());
        return 1;
    }
}

}  // namespace zq
