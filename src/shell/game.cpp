#include "shell/game.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "assets/colour_tables.h"
#include "assets/image_slots.h"
#include "assets/texture_bank.h"
#include "core/errors.h"
#include "core/scramble.h"
#include "render/overlay.h"
#include "render/soft/soft_back_end.h"
#include "rules/mechanisms.h"
#include "rules/move_box.h"
#include "rules/rules_math.h"
#include "shell/credits.h"
#include "shell/game_over.h"
#include "world/level_file.h"

namespace zq {

namespace {

// How far the lamp reaches in the two scenes outside the levels: the attract
// scene's hero walks in from 10240 units, lit all the way.
constexpr int kAttractViewDistance = 16000;
constexpr int kCreditsViewDistance = 10000;

// The band behind the credits text: a plain dark square in an image slot of
// its own, loaded with every bank.  An older data folder without it simply
// shows no band.
constexpr int kShadeImage = kShadeImageSlot;
constexpr const char* kShadeFile = "INTERF/SHADE.PCX";
constexpr float kCreditsBandMargin = 0.015f;
constexpr int kCreditsBandTransparency = 25;
constexpr float kBigGlyphHeight = 15.0f / 240.0f;
constexpr float kSmallGlyphHeight = 7.0f / 240.0f;

// Title-screen credit lines, kept scrambled like the saved game.
const std::array<std::string, 5> kTitleCredits = {
    Scramble("A GAME BY THE ZORVO QUIB TEAM"),
    Scramble("CODE, ART AND SOUND MADE FROM SCRATCH"),
    Scramble("LEVELS BUILT WITH OUR OWN EDITOR"),
    Scramble("THANKS FOR PLAYING"),
    Scramble("PRESS F1 FOR HELP"),
};

// Hands the bank's hero meshes and sounds to the Actors.
void GiveHeroAssets(Game& game) {
    for (int n = 0; n < kActorCount; ++n) {
        Actor& actor = game.actors.actor[static_cast<std::size_t>(n)];
        const HeroAssets& hero = game.bank->heroes[static_cast<std::size_t>(n)];
        actor.mesh = hero.mesh;
        actor.shadowMesh = hero.shadowMesh;
        for (int p = 0; p < kPoseCount && p < kHeroPoseCount; ++p)
            actor.poseMesh[static_cast<std::size_t>(p)] = hero.poseMesh[static_cast<std::size_t>(p)];
        actor.hurtSound = hero.hurtSound;
        actor.deathSound = hero.deathSound;
    }
}

void LoadBank(Game& game, const std::string& name, const std::string& mode) {
    BankLoadContext context{game.data, *game.graphics, *game.bank, game.audio, game.shell.time.now, nullptr, {}};
    context.afterLoad = [&game] {
        GiveHeroAssets(game);
        try {
            LoadImageSlot(*game.graphics, game.data, kShadeImage, kShadeFile);
        } catch (const FatalError&) {
            // no band behind the credits, nothing worse
        }
        game.overlay.BindGraphics(*game.graphics);
    };
    LoadObjectDefinitions(*game.world, context, name, mode);
    game.bankMode = mode;
}

void SetFog(Game& game, int red, int green, int blue) {
    SetFogColour(*game.graphics->tables, game.graphics->mainPalette, red, green, blue);
    game.overlay.BindGraphics(*game.graphics);
}

std::uint32_t ClockSeed() {
    return static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

void TitleFrame(Game& game);
void CreditsFrame(Game& game);

void LoadLevel(Game& game, const std::string& path) {
    LevelLoadContext context{game.data, game.random, game.shell.time.now, {}};
    context.hooks.setFogColour = [&game](std::uint8_t r, std::uint8_t g, std::uint8_t b) { SetFog(game, r, g, b); };
    context.hooks.resetActors = [&game](const World& world) { ResetActorsForLevel(game.actors, world); };
    context.hooks.loadObjectDefinitions = [&game](World&, const std::string& name, const std::string& mode) {
        LoadBank(game, name, mode);
    };
    try {
        LoadLevelFile(*game.world, context, path, game.bankMode);
    } catch (const LoadError& e) {
        game.host.ShowMessage(e.what());
        return;
    }
    // The fog may have been set before the bank changed the palette.
    SetFog(game, game.world->fogRed, game.world->fogGreen, game.world->fogBlue);
    ForgetFailedVideos(game);
    game.rules.gameOver = false;
    game.rules.tickRemainderMs = 0;
    GameStartFade(game, -1);
    SetScreen(game, kScreenPlay);
    game.audio.StopAllSounds();
    game.play.introShown = true;
    game.play.introOffset = 0.7f;
    game.play.introStart = game.shell.time.now;
    ResetStuckWatch(game.play.stuck);
    // A restart after a death or from the menu replaces this with its own message.
    const std::string hint = LevelHint(game.levelHints, path);
    if (!hint.empty()) ShowStatusMessage(game.shell, hint);
    ResetFrameClock(game.shell);
}

// The transition mesh showing `level` of its faces over the finished frame.
void DrawFade(Game& game) {
    const Fade& fade = game.shell.fade;
    if (fade.level <= 0) return;
    const MeshRef& mesh = game.bank->transitionMeshes[static_cast<std::size_t>(std::clamp(fade.style, 0, 2))];
    if (!mesh) return;
    DrawTransition(game.renderer, game.drawState, *mesh, std::min(fade.level, kFadeSteps),
                   IsWideFrame(game.renderSize.width, game.renderSize.height));
}

}  // namespace

Game::Game(GameConfig cfg, InputDevice& in, Audio& au, GameHost& h)
    : config(std::move(cfg)), data(config.dataDir), input(in), audio(au), host(h),
      ownedBackEnd(std::make_unique<SoftBackEnd>()), renderer(ownedBackEnd->renderer), overlay(*ownedBackEnd),
      graphics(MakeGraphics(overlay.PictureFormat())) {
    InitWorldDrawState(drawState);
}

Game::~Game() = default;

Game::Game(GameConfig cfg, InputDevice& in, Audio& au, GameHost& h, Renderer& r, FrameOverlay& o)
    : config(std::move(cfg)), data(config.dataDir), input(in), audio(au), host(h), renderer(r), overlay(o),
      graphics(MakeGraphics(overlay.PictureFormat())) {
    InitWorldDrawState(drawState);
}

float OverlayScale(const Game& game) { return InterfaceScale(game.renderSize.width, game.renderSize.height); }

int OverlayExtraColumns(const Game& game, float columnWidth) {
    float left = 0, right = 1;
    InterfaceSpan(OverlayScale(game), left, right);
    return static_cast<int>(std::ceil(-left / columnWidth));
}

void DrawOverlayImage(Game& game, int slot, bool colourKeyed, int transparency, float height, float width, float y,
                      float x, Anchor anchor) {
    const float scale = OverlayScale(game);
    game.overlay.DrawImage(slot, colourKeyed, transparency, height, width * scale, y, PlaceX(x, scale, anchor));
}

void DrawOverlayText(Game& game, std::string_view text, bool big, float y, float x, Anchor anchor) {
    const float scale = OverlayScale(game);
    if (scale == 1) {
        game.overlay.DrawText(text, big, y, x);
        return;
    }
    LayOutText(
        text, big, game.overlay.FrameHeight(), y, PlaceX(x, scale, anchor),
        [&game](int slot, bool keyed, int transparency, float h, float w, float iy, float ix) {
            game.overlay.DrawImage(slot, keyed, transparency, h, w, iy, ix);
        },
        scale);
}

void DrawOverlayRadar(Game& game, const RadarInput& radar) {
    const float scale = OverlayScale(game);
    if (scale == 1) {
        game.overlay.DrawRadar(radar);
        return;
    }
    // Every dot moves with the radar's picture: one affine map for all of them.
    LayOutRadar(radar, [&game, scale](int slot, bool keyed, int transparency, float h, float w, float y, float x) {
        game.overlay.DrawImage(slot, keyed, transparency, h, w * scale, y, PlaceX(x, scale, Anchor::Right));
    });
}

void InitGame(Game& game) {
    game.random.seed = game.config.seedFromClock ? ClockSeed() : 0;
    game.shell.clipPlaying = false;

    game.audio.LoadSound(kChoiceSoundSlot, "INTERF\\CHOIX.WAV");
    game.audio.LoadSound(kClickSoundSlot, "INTERF\\CLIC.WAV");
    game.audio.LoadSound(kTimerSoundSlot, "INTERF\\TIMER.WAV");
    game.rules.clickSound = kClickSoundSlot;
    game.rules.playSound = [&game](SoundRef s, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t v) {
        game.audio.PlaySoundAt(s, x, y, z, v);
    };
    game.rules.playInterfaceSound = [&game](SoundRef s) { game.audio.PlaySound(s, false); };
    game.rules.startClip = [&game](std::int32_t clip) { StartClip(game, clip); };
    game.rules.gameTick = [&game] { StepTextureAnimation(*game.graphics); };
    game.rules.updateSounds = [&game] { game.audio.UpdatePositionalSounds(game.soundListener); };
    game.drawHooks.shapeCube = [&game](const World& world, int x, int y, int z) {
        ShapeCubeFaces(world, x, y, z, game.drawState.cubeFaces);
    };

    if (!game.settingsStore) game.settingsStore = OpenGameSettings(game.config);
    const SettingsFile& file = game.settingsStore->File();
    game.settings = ReadSettings(file);
    if (game.config.firstStartResolution) {
        game.settings.resolution = *game.config.firstStartResolution;
        const RenderSize size = ResolutionSize(game.settings.resolution);
        game.settings.width = size.width;
        game.settings.height = size.height;
    }
    game.keys = ReadKeyBindings(file);
    game.audio.SetEffectsVolume(game.settings.effectsVolume);
    game.renderSize = SettingsRenderSize(game.settings);
    // A window saved on a larger desktop would not fit this one.
    const bool fullscreen = game.settings.fullscreen && FullscreenAllowed(game.renderSize);
    const ScreenRoom room = game.host.Screen();
    if (!fullscreen && !FitsWindowed(game.renderSize, room)) {
        game.renderSize = LargestWindowedSize(room);
        game.host.SetClientSize(game.renderSize.width, game.renderSize.height);
        game.settings.width = game.renderSize.width;
        game.settings.height = game.renderSize.height;
    }
    game.renderer.SetProjection(game.renderSize.width, game.renderSize.height);
    LoadBank(game, "Standard.bnk", game.settings.texture ? "High" : "Low");
    SetFog(game, 0, 0, 0);
    if (fullscreen) game.host.SetFullscreen(true, game.renderSize);

    if (game.config.singleLevel)
        game.levels = {*game.config.singleLevel};
    else
        game.levels = ListLevels(game.data);
    game.shell.levelCount = static_cast<std::int32_t>(game.levels.size());
    game.credits = LoadCredits(game.data);
    game.levelHints = LoadLevelHints(game.data);

    game.shell.fps.shown = false;
    game.shell.coordsShown = false;
    game.host.ShowCursor(game.settings.mouseMode == 0);
    ResetActorsForGame(game.actors);
    game.shell.screen = kScreenNone;
    game.initialised = true;
}

void GameHost::Log(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

SettingsStore OpenGameSettings(const GameConfig& config) {
    if (config.settingsFile) return SettingsStore(*config.settingsFile);
    if (!config.writeSettings) return SettingsStore();  // headless: the defaults, nothing kept
    return SettingsStore(SettingsPath(config.startDir, UserConfigDir()));
}

void PutSettings(Game& game, bool fullscreen) {
    if (!game.settingsStore) return;
    SettingsFile& file = game.settingsStore->File();
    game.settings.fullscreen = fullscreen;
    WriteSettings(file, game.settings, game.renderSize);
    WriteKeyBindings(file, game.keys);
}

SettingsExit ShutdownGame(Game& game) {
    CloseVideo(game);
    StopMusic(game);
    SettingsExit outcome;
    outcome.written.ok = true;
    if (!game.config.writeSettings || !game.settingsStore) return outcome;
    SettingsStore& store = *game.settingsStore;
    if (store.ReadOnly()) {
        outcome.leftAlone = true;
        outcome.written.ok = false;
        outcome.written.code = "READ-ONLY";
        outcome.written.reason =
            store.Path().string() + " is read-only: it was read, and the settings of this run were not saved";
        return outcome;
    }
    PutSettings(game, game.host.Fullscreen());
    outcome.written = store.Write();
    return outcome;
}

std::optional<SavedGame> ReadSavedGame(const Game& game) {
    if (!game.settingsStore || !game.settingsStore->Kept()) return std::nullopt;
    const SettingsFile& file = game.settingsStore->File();
    if (!file.Find("Save", "Index")) return std::nullopt;
    return LoadGame(file, game.shell.levelCount);
}

std::string ContinueText(const SavedGame& saved, std::int32_t level) {
    return "ENTER - CONTINUE LEVEL " + std::to_string(level + 1) + ", " + std::to_string(saved.lives) +
           (saved.lives == 1 ? " LIFE" : " LIVES");
}

void GameStartFade(Game& game, int dir) {
    if (StartFade(game.shell, dir, game.random)) ResetFrameClock(game.shell);
}

void SetScreen(Game& game, std::int32_t screen) {
    ShellState& shell = game.shell;
    if (screen == shell.screen) return;
    shell.fade.done = false;
    const std::int32_t left = shell.screen;
    shell.screen = screen;
    game.audio.StopAllSounds();
    CloseVideo(game);
    shell.screenEnterTime = static_cast<std::uint32_t>(shell.time.now);
    // A level's hint or message belongs to the level: it goes with it.
    if (left == kScreenPlay) shell.status.shown = false;
    switch (screen) {
        case kScreenTitle:
            shell.firstFrame = true;
            game.actors.Local().levelIndex = -1;
            if (game.net.titleEntered) game.net.titleEntered();
            break;
        case kScreenPlay:
            game.play.menuOpen = false;
            game.play.menuEntry = 0;
            break;
        case kScreenCredits:
            shell.firstFrame = true;
            for (Actor& actor : game.actors.actor) actor.cameraHeading = 0;
            if (game.net.creditsEntered) game.net.creditsEntered();
            break;
        default: break;
    }
    ResetFrameClock(shell);
}

void StartLevel(Game& game, std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(game.levels.size())) return;
    if (game.net.levelStarting) game.net.levelStarting(index);
    LoadLevel(game, game.levels[static_cast<std::size_t>(index)]);
}

void NextLevel(Game& game) {
    Actor& local = game.actors.Local();
    ++local.levelIndex;
    if (local.levelIndex < game.shell.levelCount) {
        StartLevel(game, local.levelIndex);
    } else {
        GameStartFade(game, -1);
        SetScreen(game, kScreenCredits);
    }
}

void SetRenderSize(Game& game, RenderSize size) {
    game.renderSize = size;
    game.renderer.SetProjection(size.width, size.height);
    game.overlay.BindGraphics(*game.graphics);
    game.host.SetClientSize(size.width, size.height);
    // The window now has that client size; it is saved at shutdown.
    if (!game.host.Fullscreen()) {
        game.settings.width = size.width;
        game.settings.height = size.height;
    }
}

void ReloadBank(Game& game, bool highDetail) {
    LoadBank(game, "Standard.bnk", highDetail ? "High" : "Low");
    SetFog(game, game.world->fogRed, game.world->fogGreen, game.world->fogBlue);
}

namespace {

class GameOptionActions final : public OptionActions {
public:
    explicit GameOptionActions(Game& game) : game_(game) {}
    void PlayChoiceSound() override { game_.audio.PlaySound(kChoiceSoundSlot, false); }
    void SetStereo(int mode) override {
        if (mode == 0)
            game_.renderer.StereoOff();
        else
            game_.renderer.StereoOn(mode == 1 ? StereoMode::RedBlue : StereoMode::RedGreen);
    }
    void SetMouseCursorShown(bool shown) override { game_.host.ShowCursor(shown); }
    void SetMusicVolume(int volume) override { game_.audio.SetMusicVolume(volume); }
    RenderSize CurrentRenderSize() override { return game_.renderSize; }
    void SetRenderSize(RenderSize size) override { zq::SetRenderSize(game_, size); }
    bool Fullscreen() override { return game_.host.Fullscreen(); }
    ScreenRoom Screen() override { return game_.host.Screen(); }
    void SetFullscreen(bool on) override { game_.host.SetFullscreen(on, game_.renderSize); }
    void ReloadBank(bool high) override { zq::ReloadBank(game_, high); }
    void CloseVideoClip() override {
        CloseVideo(game_);
        game_.shell.buttonsHeld = true;
    }
    void StopCinematic() override {
        game_.shell.cinematicPlaying = false;
        game_.shell.buttonsHeld = true;
    }
    std::string Help() override { return HelpText(game_.keys, game_.input.Joystick().present); }

private:
    Game& game_;
};

bool AnyButton(const Commands& c) { return c.jump || c.look || c.action || c.menu; }

// A dark band under the status text wherever the picture behind it is bright
// (the title's letters, the credits) and under the help everywhere, so the
// small letters stay readable.
void DrawStatusBackdrop(Game& game) {
    const std::string& text = game.shell.status.text;
    const auto lines = static_cast<float>(std::count(text.begin(), text.end(), '\r') + 1);
    if (lines == 1 && game.shell.screen == kScreenPlay) return;
    float width = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\r', start);
        if (end == std::string::npos) end = text.size();
        width = std::max(width, TextWidth(std::string_view(text).substr(start, end - start), false));
        start = end + 1;
    }
    const float lineHeight = 8.0f / 240.0f;
    const float height = (lines - 1) * lineHeight + kSmallGlyphHeight + 2 * kCreditsBandMargin;
    DrawOverlayImage(game, kShadeImage, false, 10, height, std::min(1.0f, width + 2 * kCreditsBandMargin),
                     std::max(0.0f, 0.01f - kCreditsBandMargin), std::max(0.0f, 0.01f - kCreditsBandMargin), Anchor::Left);
}

// The button that ended a video or a cinematic is not also a press on the
// screen behind it (Space would otherwise start the game from the title).
void HoldBackButtons(ShellState& shell, Commands& c) {
    if (!shell.buttonsHeld) return;
    if (!AnyButton(c)) {
        shell.buttonsHeld = false;
        return;
    }
    c.jump = c.look = c.action = c.menu = false;
}

}  // namespace

void GameFrame(Game& game, std::uint32_t ticks) {
    if (!game.initialised) return;
    ShellState& shell = game.shell;
    Actor& local = game.actors.Local();

    game.mouse = PollInput(game.input, local, game.keys, game.settings.mouseMode);
    {
        GameOptionActions actions(game);
        OptionContext context{AnyButton(local.commands), game.actors.lastPlayer, game.actors.localPlayer};
        HandleOptionKeys(game.options, game.settings, shell, game.input, context, actions);
    }
    HoldBackButtons(shell, local.commands);
    game.audio.CheckMusicEnd();
    TickFrameClock(shell, ticks);
    game.rules.time = shell.time;
    if (game.net.beginFrame) game.net.beginFrame();

    if (shell.networkLobby) {
        if (game.net.lobbyFrame) game.net.lobbyFrame();
    } else if (!(shell.clipPlaying && VideoFrame(game))) {
        // While a video plays it owns the frame: no screen logic, no drawing but its picture.
        // The settings screen stops the screen under it (the title, or play with its menu open).
        if (CheckSettingsKey(game)) {
            SettingsScreenFrame(game);
        } else if (shell.cinematicPlaying) {
            CinematicFrame(game);
        } else {
            switch (shell.screen) {
                case kScreenTitle: TitleFrame(game); break;
                case kScreenPlay: PlayFrame(game); break;
                case kScreenCredits: CreditsFrame(game); break;
                case kScreenGameOver: GameOverFrame(game); break;
                default: break;
            }
        }
        // A video the screen started (a clip marker, the title) shows at once.
        if (shell.clipPlaying) VideoFrame(game);
    }

    if (shell.fade.active) {
        DrawFade(game);
        StepFade(shell);
        if (shell.fade.done) CloseVideo(game);
    }
    if (shell.status.shown) {
        StepStatusLine(shell);
        DrawStatusBackdrop(game);
        DrawOverlayText(game, shell.status.text, false, 0.01f, 0.01f, Anchor::Left);
    }
    StepFps(shell);
    if (shell.fps.shown) {
        // Top right: the status line and the help take the top left.
        const std::string fps = "FPS:" + std::to_string(shell.fps.value);
        DrawOverlayText(game, fps, false, 0.01f, 0.99f - TextWidth(fps, false), Anchor::Right);
    }
    game.renderer.Present();
}

namespace {

void TitleFrame(Game& game) {
    ShellState& shell = game.shell;
    TitleState& title = game.title;
    Actor& local = game.actors.Local();
    const FrameTime& time = shell.time;

    if (shell.firstFrame) {
        SetFog(game, 0, 0, 0);
        shell.firstFrame = false;
        title.logoZoom = 100;
        title.attractDistance = -1;
        title.creditPair = 0;
        title.page = 0;
        StartClip(game, 0);
        title.scrollX = title.scrollY = 0;
        title.saved = ReadSavedGame(game);
        title.continueLevel = title.saved ? title.saved->level : 0;
        title.chooseTime = time.now - 1000;
        title.continuing = false;
        title.enterWasDown = true;
    }
    const Commands& c = local.commands;
    // In a network game only the host starts the game; the others follow it.
    const bool mayStart = game.actors.lastPlayer == 0 || game.actors.localPlayer == 0;
    // Enter continues the saved game (one key instead of a new game, then
    // Escape and LOAD GAME in the level-1 menu), or starts one when none is
    // saved.  Only a press made on this screen counts.
    const bool enterDown = game.input.KeyDown(Key::Enter);
    const bool enter = enterDown && !title.enterWasDown;
    title.enterWasDown = enterDown;
    if (mayStart && (c.jump || c.look || c.action || (enter && !title.saved))) {
        if (!shell.fade.active) game.audio.PlaySound(kChoiceSoundSlot, false);
        GameStartFade(game, +1);
    }
    if (mayStart && title.saved && !shell.fade.active && enter) {
        game.audio.PlaySound(kChoiceSoundSlot, false);
        title.continuing = true;
        GameStartFade(game, +1);
    }
    // Left and Right pick any level up to the saved one (all of them were reached).
    if (title.saved && !shell.fade.active && (c.left || c.right) && time.now - title.chooseTime > 200) {
        title.chooseTime = time.now;
        const std::int32_t picked = std::clamp(title.continueLevel + (c.right ? 1 : -1), 0, title.saved->level);
        if (picked != title.continueLevel) game.audio.PlaySound(kClickSoundSlot, false);
        title.continueLevel = picked;
    }
    if (c.menu) {
        game.host.Quit();
        return;
    }

    if (!shell.clipPlaying) {
        std::int32_t page = static_cast<std::int32_t>(((static_cast<std::uint32_t>(time.now) - shell.screenEnterTime) / 15500u) % 2u);
        if (page != title.page) {
            title.attractDistance = 10240;
            title.logoZoom = 100;
            if (page == 0) title.creditPair = (title.creditPair + 1) % 3;
            title.page = page;
        }
        game.renderer.ClearFrame(0);

        title.scrollX -= FrameScale(time, 0.01f);
        title.scrollY -= FrameScale(time, 0.01f);
        if (title.scrollX < -0.1f) title.scrollX += 0.1f;
        if (title.scrollY < -0.1333f) title.scrollY += 0.1333f;
        const int extra = OverlayExtraColumns(game, 0.1f);
        for (int i = -1 - extra; i <= 10 + extra; ++i)
            for (int j = -1; j <= 9; ++j)
                DrawOverlayImage(game, 13, false, 0, 0.135f, 0.102f, static_cast<float>(j) * 0.1333f + title.scrollY,
                                 static_cast<float>(i) * 0.1f + title.scrollX);

        if (title.page == 0) {
            title.logoZoom -= FrameScale(time, title.logoZoom * 0.35f);
            float z = title.logoZoom;
            float width = (z + 1) * 0.9296875f, height = (z + 1) * 0.1645833f;
            DrawOverlayImage(game, 1, true, 0, height, width, (1 - height) / 2 - 0.2f, (1 - width) / 2);
            if (time.now % 2000 < 1000) {
                const std::string start = TitleStartText(game.keys, title.saved.has_value(), game.input.Joystick().present);
                DrawOverlayText(game, start, true, 0.62f, (1 - TextWidth(start, true)) / 2);
            }
            if (title.saved) {
                const std::string text = ContinueText(*title.saved, title.continueLevel);
                // A dark band (see the credits) keeps the small letters readable over the mosaic.
                const float band = TextWidth(text, false) + 4 * kCreditsBandMargin;
                const float lines = title.saved->level > 0 ? 0.04f + kSmallGlyphHeight : kSmallGlyphHeight;
                DrawOverlayImage(game, kShadeImage, false, kCreditsBandTransparency, lines + 2 * kCreditsBandMargin,
                                 band, 0.72f - kCreditsBandMargin, (1 - band) / 2);
                DrawOverlayText(game, text, false, 0.72f, (1 - TextWidth(text, false)) / 2);
                if (title.saved->level > 0) {
                    const char* pick = "LEFT/RIGHT - AN EARLIER LEVEL";
                    DrawOverlayText(game, pick, false, 0.76f, (1 - TextWidth(pick, false)) / 2);
                }
            }
            {
                const char* keys = "F1 HELP   F2 SETTINGS";
                const float band = TextWidth(keys, false) + 4 * kCreditsBandMargin;
                DrawOverlayImage(game, kShadeImage, false, kCreditsBandTransparency, kSmallGlyphHeight + 2 * kCreditsBandMargin,
                                 band, 0.84f - kCreditsBandMargin, (1 - band) / 2);
                DrawOverlayText(game, keys, false, 0.84f, (1 - TextWidth(keys, false)) / 2);
            }
            // Pair 0 is the first credit line and the version; pairs 1 and 2 the other four lines.
            const int pair = std::clamp(title.creditPair, 0, 2);
            std::string first = Scramble(kTitleCredits[static_cast<std::size_t>(pair == 0 ? 0 : pair * 2 - 1)]);
            std::string second = pair == 0 ? std::string("VERSION 1.0 - 12/2026")
                                           : Scramble(kTitleCredits[static_cast<std::size_t>(pair * 2)]);
            DrawOverlayText(game, first, false, 0.92f, (1 - TextWidth(first, false)) / 2);
            DrawOverlayText(game, second, false, 0.96f, (1 - TextWidth(second, false)) / 2);
        } else {
            title.attractDistance -= FrameScale(time, 70);
            if (title.attractDistance < 300) title.attractDistance = -2000;
            title.walkAccumulator += FrameScale(time, 0.8f);
            if (title.walkAccumulator > 1) {
                title.walkAccumulator = 0;
                local.animState = local.animState >= kPoseWalk1 && local.animState < kPoseWalk4 ? local.animState + 1 : kPoseWalk1;
                local.blendTime = 200;
            }
            for (Actor& actor : game.actors.actor) BlendActorPoses(actor, time);
            game.renderer.BeginFrame(0, 0, 204, 0, 0, 0);
            game.renderer.AddLight(0, 0, 204, kAttractViewDistance);
            if (local.mesh) game.renderer.AddMesh(*local.mesh, 0, 0, static_cast<int>(title.attractDistance), -1, 0, 0, 0, 0, 0);
            game.renderer.EndFrame();
            game.soundListener = Listener{0, 0, 204, 0, 0, 0};
            game.audio.UpdatePositionalSounds(game.soundListener);
            DrawOverlayImage(game, 2, true, 0, 1, 1, 0, 0);
        }
    }

    if (shell.fade.done) {
        const bool continuing = title.continuing && title.saved;
        local.levelIndex = continuing ? std::clamp(title.continueLevel, 0, title.saved->level) : 0;
        local.lives = continuing ? title.saved->lives : 3;
        StartLevel(game, local.levelIndex);
        if (continuing) ShowStatusMessage(shell, "GAME LOADED");
    }
}

void CreditsFrame(Game& game) {
    ShellState& shell = game.shell;
    CreditsState& credits = game.creditsScreen;
    const FrameTime& time = shell.time;
    Actor& local = game.actors.Local();
    Random& random = game.random;

    if (shell.firstFrame) {
        SetFog(game, 0, 0, 0);
        StartClip(game, 2);
        StartClip(game, 1);
        credits.top = 1;
        credits.cameraAngle = 0;
        for (CreditParticle& p : credits.particles) {
            p.colour = static_cast<float>(random.Next(256));
            p.angle1 = static_cast<float>(random.Next(32767));
            p.angle2 = static_cast<float>(random.Next(32767));
            p.speed1 = static_cast<float>(random.Next(1200));
            p.speed2 = static_cast<float>(random.Next(1200));
            p.x = static_cast<float>(static_cast<int>(random.Next(2048)) - 1024);
            p.z = static_cast<float>(static_cast<int>(random.Next(2048)) - 1024);
            p.y = 4096 + static_cast<float>(random.Next(3072));
            p.life = 100;
        }
        shell.firstFrame = false;
    }
    const Commands& c = local.commands;
    if (c.jump || c.look || c.action || c.menu || game.input.KeyDown(Key::Enter)) {
        if (!shell.fade.active) game.audio.PlaySound(kChoiceSoundSlot, false);
        GameStartFade(game, +1);
    }
    if (shell.fade.done) {
        GameStartFade(game, -1);
        SetScreen(game, kScreenTitle);
        return;
    }
    if (shell.clipPlaying) return;

    credits.cameraAngle += FrameScale(time, 200);
    double a = credits.cameraAngle * kHeadingToRadians;
    int cx = static_cast<int>(std::cos(a) * 1024), cz = static_cast<int>(std::sin(a) * 1024);
    int heading = static_cast<int>(-credits.cameraAngle - 8192);
    game.renderer.ClearFrame(0);
    game.renderer.BeginFrame(cx, 0, cz, 0, 0, heading);
    game.renderer.AddLight(cx, 0, cz, kCreditsViewDistance);
    if (const MeshRef& pose = local.poseMesh[kPoseStand]) game.renderer.AddMesh(*pose, 0, 150, 0, -1, 0, 0, 0, 0, 0);
    if (game.bank->podiumMesh) game.renderer.AddMesh(*game.bank->podiumMesh, 0, 0, 0, -1, 0, 0, 0, 0, 0);
    if (game.bank->flagMesh) game.renderer.AddMesh(*game.bank->flagMesh, 0, 0, 0, -1, 0, 0, 0, 0, 0);
    Mesh* triangle = game.bank->triangleMesh.get();
    for (CreditParticle& p : credits.particles) {
        if (p.y != -400) {
            p.y = std::max(-400.0f, p.y - FrameScale(time, 20));
            p.angle1 += FrameScale(time, p.speed1);
            p.angle2 += FrameScale(time, p.speed2);
            p.colour = static_cast<float>(random.Next(256));
        } else {
            p.life -= FrameScale(time, 5);
            p.colour -= FrameScale(time, p.colour * 0.05f);
            if (p.life < 0) {
                p.life = 100;
                p.y = 2048;
            }
        }
        if (triangle && !triangle->faces.empty()) {
            triangle->faces[0].material = static_cast<std::uint16_t>(std::clamp(static_cast<int>(p.colour), 0, 255));
            game.renderer.AddMesh(*triangle, static_cast<int>(p.x), static_cast<int>(p.y), static_cast<int>(p.z), -1, 0,
                                  0, static_cast<int>(p.angle2), 0, static_cast<int>(p.angle1));
        }
    }
    game.renderer.EndFrame();

    // Two passes over the lines: where the visible ones lie, then a dark band
    // there and the text over it, so the pale letters stay readable over the
    // podium and the falling sparks.
    const auto visible = [](const CreditLine& line, float y) {
        return !line.empty && y > -0.03f && y < 1.07f && !line.text.empty();
    };
    float top = 2, bottom = -1, width = 0;
    float y = credits.top;
    for (const std::string& stored : game.credits) {
        const CreditLine line = DecodeCreditLine(stored);
        if (visible(line, y)) {
            top = std::min(top, y);
            bottom = std::max(bottom, y + (line.heading ? kBigGlyphHeight : kSmallGlyphHeight));
            width = std::max(width, TextWidth(line.text, line.heading));
        }
        y += CreditLineAdvance(line);
    }
    top = std::max(0.0f, top - kCreditsBandMargin);
    bottom = std::min(1.0f, bottom + kCreditsBandMargin);
    width = std::min(1.0f, width + 4 * kCreditsBandMargin);
    if (bottom > top)
        DrawOverlayImage(game, kShadeImage, false, kCreditsBandTransparency, bottom - top, width, top, (1 - width) / 2);
    y = credits.top;
    for (const std::string& stored : game.credits) {
        const CreditLine line = DecodeCreditLine(stored);
        if (visible(line, y)) DrawOverlayText(game, line.text, line.heading, y, (1 - TextWidth(line.text, line.heading)) / 2);
        y += CreditLineAdvance(line);
    }
    credits.top -= FrameScale(time, 0.005f);
}

}  // namespace

}  // namespace zq
