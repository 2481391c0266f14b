// The game program's state and its frame routine: start-up, the screens
// (title, play, end credits), level starts, the fade, the status line and the
// FPS counter.  One Game record per program, owned by main and passed down.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assets/graphics.h"
#include "core/random.h"
#include "core/resolver.h"
#include "core/settings_file.h"
#include "render/frame_overlay.h"
#include "render/renderer.h"
#include "render/view_shape.h"
#include "render/world_draw.h"
#include "rules/actor.h"
#include "rules/game_port.h"
#include "rules/rules_context.h"
#include "shell/audio.h"
#include "shell/hints.h"
#include "shell/input.h"
#include "shell/option_keys.h"
#include "shell/settings.h"
#include "shell/settings_screen.h"
#include "shell/shell_state.h"
#include "shell/video.h"
#include "world/object_defs.h"
#include "world/world.h"

namespace zq {

inline constexpr int kMenuEntryCount = 6;
inline constexpr int kCreditParticleCount = 1001;
inline constexpr int kIngotType = 20;  // the status bar counts this object type
// A plain dark square loaded with every bank: the band behind texts over bright pictures.
inline constexpr int kShadeImageSlot = 14;

// What the game asks of the window it runs in; the headless host only records.
class GameHost {
public:
    virtual ~GameHost() = default;
    virtual bool Fullscreen() = 0;
    virtual void SetFullscreen(bool on, RenderSize size) = 0;
    virtual void SetClientSize(int width, int height) = 0;
    // The screen the window is on; unknown (zeros) when there is none.
    virtual ScreenRoom Screen() { return {}; }
    virtual void ShowCursor(bool shown) = 0;
    // A message box that does not end the program (a missing level file).
    virtual void ShowMessage(const std::string& text) = 0;
    // Asks the program to end after this frame.
    virtual void Quit() = 0;
    // One line for the player's terminal (a save that failed, and why).
    virtual void Log(const std::string& line);
};

struct PlayState {
    bool menuOpen = false;
    std::int32_t menuEntry = 0;
    bool introShown = false;
    float introOffset = 0.7f;
    std::int32_t introStart = 0;
    std::int32_t exitSpin = 0;  // 0..32767
    StuckWatch stuck;           // offers the restart to a player who makes no progress
    WorldCamera eye;            // where the last frame was seen from
    bool heroHidden = false;    // the last frame left the local hero out (the eye was in him)
    int heroTransparency = 0;   // percent: the eye is so near that the hero is drawn see-through
    bool introDrawn = false;    // the intro as this frame's step found it, for the drawing
    float introDrawnOffset = 0.7f;
    int watching = -1;          // the slot a network finisher waiting in the exit watches, -1 when none
};

struct TitleState {
    float logoZoom = 100;
    float attractDistance = -1;
    std::int32_t creditPair = 0;
    std::int32_t page = 0;
    float scrollX = 0, scrollY = 0;
    float walkAccumulator = 0;
    std::optional<SavedGame> saved;  // read on entering the title: what Continue loads
    std::int32_t continueLevel = 0;  // 0..saved->level: Left and Right pick any level reached
    std::int32_t chooseTime = 0;     // ms clock of the last pick (picks repeat every 200 ms)
    bool continuing = false;         // Continue was chosen; the fade-out then loads it
    bool enterWasDown = true;        // Enter counts when it goes down on this screen
};

struct CreditParticle {
    float x = 0, y = 0, z = 0;
    float angle1 = 0, angle2 = 0;
    float speed1 = 0, speed2 = 0;
    float life = 100;
    float colour = 0;  // a flat-palette index
};

struct CreditsState {
    float top = 1;  // fraction of the view height
    float cameraAngle = 0;
    std::vector<CreditParticle> particles = std::vector<CreditParticle>(kCreditParticleCount);
};

struct ClipState {
    std::int32_t currentClip = -1;
    std::int32_t nextClip = -1;
    std::int32_t frame = 0;
    std::int32_t frameStart = 0;
    std::int32_t shownClip = -1;  // the clip and shot this frame is drawn from (the shot it started with)
    std::int32_t shownShot = -1;
    float shownProgress = 0;      // 0..1 through that shot
    MeshRef blendMesh;  // working mesh for a cinematic's morphing objects
};

struct GameConfig {
    std::filesystem::path dataDir;
    std::filesystem::path startDir;          // where "quib.ini" is looked for
    std::optional<std::filesystem::path> settingsFile;  // headless: read this file only
    bool writeSettings = true;               // at exit; headless runs never write (Save Game with --settings does)
    bool seedFromClock = true;               // headless runs seed with 0
    std::optional<std::string> singleLevel;  // --level: play this file as the only level
    // A first start (no settings file yet): the resolution index that suits the desktop.
    std::optional<int> firstStartResolution;
    // False: the play screen and cinematics run their rules but draw nothing
    // (tools and tests that only step the world).
    bool drawFrames = true;
    // False: no watch for a player who makes no progress (a search that no
    // person plays, where the offer of a restart would only cost time).
    bool watchStuck = true;
};

class SoftBackEnd;
struct Game;

// What the network play sees of `game` (shell/game_port.cpp).
std::unique_ptr<GamePort> MakeGamePort(Game& game);

struct Game {
    // Draws with a software back end of its own (headless tools and tests).
    explicit Game(GameConfig config, InputDevice& input, Audio& audio, GameHost& host);
    // Draws with the back end the program made; both must outlive the Game.
    Game(GameConfig config, InputDevice& input, Audio& audio, GameHost& host, Renderer& renderer,
         FrameOverlay& overlay);
    ~Game();

    GameConfig config;
    DataResolver data;
    InputDevice& input;
    Audio& audio;
    GameHost& host;
    std::unique_ptr<SoftBackEnd> ownedBackEnd;  // only when no back end was given
    Renderer& renderer;
    FrameOverlay& overlay;

    std::unique_ptr<World> world = std::make_unique<World>();
    Actors actors;
    std::unique_ptr<Graphics> graphics;
    std::unique_ptr<BankAssets> bank = std::make_unique<BankAssets>();
    Random random;
    RulesContext rules{random};
    ShellState shell;
    OptionState options;
    GameSettings settings;
    KeyBindings keys;
    // "quib.ini", read once: by main when it needs the window placement
    // first, else by InitGame.  Save Game, Load Game, the settings screen and
    // the exit all use this copy.
    std::optional<SettingsStore> settingsStore;
    std::vector<std::string> levels;
    std::vector<std::string> credits;
    SettingsFile levelHints;  // "LEVEL/HINTS.INI"
    RenderSize renderSize;
    WorldDrawState drawState;
    WorldDrawHooks drawHooks;  // the cube shapes of every world drawing
    PlayState play;
    TitleState title;
    CreditsState creditsScreen;
    SettingsScreen settingsScreen;
    ClipState clips;
    NetworkHooks net;
    VideoState video;  // the program sets video.player; without one videos are skipped
    MouseInput mouse;
    Listener soundListener;  // the camera the positional sounds are heard from
    std::string bankMode = "High";  // texture mode of the last bank load
    std::int32_t gameOverLevel = -1;  // the level the game-over screen names
    bool initialised = false;
    std::unique_ptr<GamePort> port = MakeGamePort(*this);

    // The network play takes the game as its port.
    operator GamePort&() { return *port; }
    operator const GamePort&() const { return *port; }
};

// Game initialisation: sounds, settings, bank, level list, credits.  Throws
// FatalError for what ends the program.
void InitGame(Game& game);
// One frame at the clock value `ticks` (ms).
void GameFrame(Game& game, std::uint32_t ticks);
// What became of the settings at exit.
struct SettingsExit {
    bool leftAlone = false;  // the file is read-only: it was read and is not written
    WriteResult written;     // ok when saved, or when this run keeps no settings
};
// Saves the settings (unless headless) before the program ends.
SettingsExit ShutdownGame(Game& game);
// Reads the settings file the configuration names: --settings, else
// "quib.ini" where SettingsPath finds it; none for a headless run without
// --settings.  The only place the game reads its settings from disk.
SettingsStore OpenGameSettings(const GameConfig& config);
// Puts `game.settings` (the one copy the option keys and the settings screen
// change) and the key bindings into the store's file, without writing it;
// `fullscreen` is the mode the file keeps.
void PutSettings(Game& game, bool fullscreen);

void SetScreen(Game& game, std::int32_t screen);
// The game saved in the settings file, or nothing when none was saved (or
// headless runs without a settings file).
std::optional<SavedGame> ReadSavedGame(const Game& game);
// The title's Continue line for a saved game at the level picked
// ("ENTER - CONTINUE LEVEL 7, 2 LIVES").
std::string ContinueText(const SavedGame& saved, std::int32_t level);
void StartLevel(Game& game, std::int32_t index);
void NextLevel(Game& game);
void GameStartFade(Game& game, int dir);
void SetRenderSize(Game& game, RenderSize size);
void ReloadBank(Game& game, bool highDetail);

// Clips: music, video (shell/video.h) and the in-engine cinematic.
void StartClip(Game& game, std::int32_t index);
void StopMusic(Game& game);
// A cinematic's frame: CinematicStep advances its shot and the world's
// mechanisms (true when there is a shot to draw), CinematicDraw shows it.
bool CinematicStep(Game& game);
void CinematicDraw(Game& game);
void CinematicFrame(Game& game);

// The lamp radius of a cinematic shot at `percent` of the normal light.
int CinematicLampRadius(float percent);
// A cinematic text split at "|": each line with its y, the last at 0.825.
std::vector<std::pair<std::string_view, float>> CinematicTextLines(std::string_view text);

// The sound listener at a world camera.
inline Listener ListenerAt(const WorldCamera& camera) {
    return Listener{camera.x, camera.y, camera.z, camera.yaw, camera.pitch, camera.roll};
}

// The play screen's frame: PlayStep runs the frame's rules in their fixed
// order (hero, sentries, timer, level end, gravity and physics, camera, clip
// markers, mechanisms and behaviours, poses, the killing test) and returns
// true when the frame is to be drawn; DrawPlayFrame only draws.
bool PlayStep(Game& game);
void DrawPlayFrame(Game& game);
void PlayFrame(Game& game);

// The interface pictures' overlay drawing over the finished 3-D frame.  The
// x and width are fractions of the 4:3 interface area, which on a wide frame
// sits where `anchor` says (see view_shape.h); y and height of the frame.
void DrawOverlayImage(Game& game, int slot, bool colourKeyed, int transparency, float height, float width, float y,
                      float x, Anchor anchor = Anchor::Centre);
void DrawOverlayText(Game& game, std::string_view text, bool big, float y, float x, Anchor anchor = Anchor::Centre);
// The radar, kept against the frame's right edge.
void DrawOverlayRadar(Game& game, const RadarInput& radar);
// Width of the 4:3 interface area as a fraction of the current frame.
float OverlayScale(const Game& game);
// How many more columns `columnWidth` wide (in interface fractions) a
// background mosaic needs on each side to reach the edges of a wide frame.
int OverlayExtraColumns(const Game& game, float columnWidth);

}  // namespace zq
