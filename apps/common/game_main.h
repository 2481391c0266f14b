// The command line, the headless harness and the window loop shared by the
// two game programs; each program only says how its picture is drawn.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/command_line.h"
#include "platform/sdl_display.h"
#include "platform/sdl_input.h"
#include "render/frame_overlay.h"
#include "render/renderer.h"

struct SDL_Window;

namespace zq {

struct GameOptions {
    std::string program;                 // the name the program was started as
    std::optional<std::string> dataArg;  // --data as given
    std::string dataDir;                 // the data folder found (see FindDataDir)
    std::string dataError;               // why none was found; the run ends with it
    bool network = false;                // "/NETWORK" as the first argument
    bool verbose = false;
    bool headless = false;
    std::optional<int> frameMs;
    std::optional<long long> frames;
    std::optional<int> startLevel;
    std::optional<std::string> level;
    std::optional<std::string> input;
    std::optional<std::string> record;
    std::vector<std::pair<std::string, long long>> screenshots;  // frame -1: at the end
    std::optional<std::string> dumpState;
    std::optional<std::string> settings;
    // Network play: scripted hosting and joining (the lobby itself: `network`).
    std::optional<std::string> networkHost;   // the host's nickname
    int networkPlayers = 2;                   // the host presses "Go" once this many are in
    std::optional<int> networkPort;
    std::optional<std::string> networkJoin;   // NICK@HOST[:PORT]
    bool untilTitle = false;                  // headless: end when play gives way to the title
    // Headless: the whole state written after frame `snapshotFrame`, or the
    // run started from a state written so.
    std::optional<std::string> snapshotOut;
    std::optional<long long> snapshotFrame;
    std::optional<std::string> snapshotIn;
    // Headless: step the rules without drawing the play screen (much faster;
    // screenshots then show no level).
    bool noDraw = false;
};

// A game program's back end and the window it draws into.
class GameBackEnd {
public:
    virtual ~GameBackEnd() = default;
    // Prepares drawing without a visible window; throws FatalError when it cannot.
    virtual void OpenHeadless() = 0;
    // Opens the window at the saved placement; throws FatalError when it cannot.
    virtual void OpenWindow(const std::string& title, const WindowPlacement& placement) = 0;
    virtual void Close() = 0;

    virtual Renderer& GameRenderer() = 0;
    virtual FrameOverlay& Overlay() = 0;

    // The window (valid after OpenWindow).
    virtual SDL_Window* Window() const = 0;
    virtual bool Fullscreen() const = 0;
    virtual void SetFullscreen(bool on, int renderWidth, int renderHeight) = 0;
    virtual void SetClientSize(int width, int height) = 0;
    // Full screen by whole multiples of the picture (bars around it) instead
    // of scaled to fill.
    virtual void SetExactPixels(bool on) = 0;
    virtual WindowPlacement Placement() const = 0;
    // Where the picture is drawn in the window, in window coordinates.
    virtual PictureArea Picture() const = 0;
    // Shows the loading notice in the whole client area (before the data loads).
    virtual void ShowLoadingNotice() = 0;
};

// The options both games take, writing into `options`.  Add new ones here:
// the parser and the --help text follow from this table.
std::vector<CommandOption> GameOptionTable(GameOptions& options);

// Parses the command line and finds the data folder.  `buildName` is the
// program's name in the build tree ("game_soft"); messages use the name it
// was started as.  --help and --version
// print and exit with 0; a bad command line prints the usage on stderr and
// exits with 2.
GameOptions ParseGameOptions(const std::string& buildName, int argc, char** argv);

// Runs the game headless or in a window; returns the exit code.  Fatal errors
// are shown (stderr when headless, a message box otherwise) and give 1.
int RunGame(const std::string& program, GameBackEnd& backEnd, const GameOptions& options);

}  // namespace zq
