// The browser game's frame routine, free of the browser itself: the page calls
// Frame once per animation frame.  It adds what a tab needs over the desktop
// loop: the keys the browser keeps for itself have stand-ins, leaving the game
// goes back to the title (a page cannot close itself), changed settings are
// written at once (a tab is closed without notice), and a test can feed an
// input script that plays on a virtual clock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/game.h"
#include "shell/input_script.h"

namespace zq {

// The keys the browser keeps for itself: F5 reloads, F11 is its own full
// screen, F12 opens the developer tools, and Ctrl starts its shortcuts
// (Ctrl+W, Ctrl+Tab, Ctrl+PageUp/PageDown, Ctrl+F4...).  The page leaves them
// to the browser and the game ignores them.
bool BrowserOwnsKey(Key key);

// The key that stands in for one the browser owns (or, for Escape, takes in
// full screen): T for texture detail (F5), X for the coordinates (F12), Z for
// the look button (Ctrl, the default Button 2), Backspace for Escape.
// Key::None for every other key.
Key BrowserStandIn(Key key);

// The F1 help of the browser game: its own keys and no network line.
std::string BrowserHelpText();

// The page's touch controls, one bit each in the mask the page sends: the
// pad's four directions, the four buttons, and a tap on the picture.
enum TouchBit : unsigned {
    kTouchUp = 1u << 0, kTouchDown = 1u << 1, kTouchLeft = 1u << 2, kTouchRight = 1u << 3,
    kTouchJump = 1u << 4, kTouchLook = 1u << 5, kTouchAction = 1u << 6, kTouchMenu = 1u << 7,
    kTouchPicture = 1u << 8,
};

// The player's keys with the stand-ins folded in and the browser's own keys
// left out, or an input script while a test plays one.  The touch controls
// act as a game pad (directions and Button 1..4, whatever the key bindings)
// and a tap on the picture as Enter: it starts the game on the title and
// chooses in the menus.
class BrowserInput final : public InputDevice {
public:
    explicit BrowserInput(InputDevice& live) : live_(live) {}

    // What the touch controls hold now (TouchBit mask); the page calls it on
    // every change.  A control touched and let go between two frames still
    // counts for the next frame, as a key tapped between frames does.
    void SetTouch(unsigned held) {
        touchPending_ |= held & ~touchHeld_;
        touchHeld_ = held;
    }
    void NewFrame() override {
        touchFrame_ = touchPending_;
        touchPending_ = 0;
        live_.NewFrame();
    }

    void Play(InputScript script) { script_.emplace(std::move(script)); }
    void StopScript() { script_.reset(); }
    ScriptedInput* Script() { return script_ ? &*script_ : nullptr; }

    bool KeyDown(Key key) override;
    MouseMotion TakeMouseMotion(bool capture) override;
    JoystickState Joystick() override;
    std::optional<CursorPosition> Cursor() override;

private:
    unsigned Touched() const { return touchHeld_ | touchFrame_; }

    InputDevice& live_;
    std::optional<ScriptedInput> script_;
    unsigned touchHeld_ = 0;     // held now
    unsigned touchPending_ = 0;  // went down since the frame began
    unsigned touchFrame_ = 0;    // went down before this frame began
};

// Which frame sizes hold 60 Hz in this page on this machine, judged by the
// time the game's own frames take here (rules, drawing and the picture put on
// the canvas).  A size played long enough is judged by its own frames; one
// not yet played by the cost per pixel of the largest size that was (with
// half again, when reckoning upwards, for the part of a frame that does not
// grow with its size); before any, up to 640 x 480.
class FrameBudget {
public:
    // Of a 60 Hz frame's 16.7 ms; the rest is the browser's (compositing, events).
    static constexpr double kFrameMs = 12.5;
    static constexpr std::size_t kSamples = 60;  // frames of one size per verdict (their median)

    void Add(RenderSize size, double ms);
    bool Holds(RenderSize size) const;
    // The screen as F4 should see it: room for sizes that all hold.
    ScreenRoom Room() const;

private:
    struct Measured {
        RenderSize size;
        double ms = 0;  // the median frame
    };
    std::vector<Measured> measured_;
    RenderSize current_{};
    std::vector<double> samples_;  // the current size's frames since its last verdict
};

// The page's side of the window: full screen is the page's to grant, a
// request to quit only marks the game for a return to the title, and the
// sizes F4 offers are those that hold 60 Hz here.
class BrowserHost final : public GameHost {
public:
    std::function<bool()> isFullscreen;
    std::function<void(bool)> setFullscreen;
    std::function<void(int, int)> setClientSize;
    bool quitAsked = false;

    // The page grants full screen a little later (or refuses it): until then
    // the game is told the state it asked for, so it shows the right word.
    bool Fullscreen() override;
    void SetFullscreen(bool on, RenderSize) override;
    // Called once a frame: a request the page has not followed in half a second was refused.
    void Tick();
    void SetClientSize(int width, int height) override {
        if (setClientSize) setClientSize(width, height);
    }
    void ShowCursor(bool) override {}
    void ShowMessage(const std::string& text) override;
    void Quit() override { quitAsked = true; }
    ScreenRoom Screen() override { return budget.Room(); }

    FrameBudget budget;

private:
    bool requested_ = false;
    int pendingFrames_ = 0;
};

// What the browser game remembers between visits and must write the moment it changes.
struct KeptSettings {
    std::uint8_t mouseMode = 0;
    bool music = true, texture = true;
    int renderHeight = 0;
    bool operator==(const KeptSettings&) const = default;
};
KeptSettings KeptSettingsOf(const Game& game);

class WebSession {
public:
    // The game must have been initialised; `input` and `host` are the ones it was made with.
    WebSession(Game& game, BrowserInput& input, BrowserHost& host, std::filesystem::path settingsPath);

    // One animation frame at the real clock `realTicks` (ms).  A playing script
    // runs up to `scriptFramesPerCall` of its frames on its own clock instead.
    // Returns true when the settings file changed and should be made lasting.
    bool Frame(std::uint32_t realTicks, int scriptFramesPerCall = 1);

    // Starts level 1 afresh (three lives, the random numbers of a headless
    // run) and plays `scriptText` on a virtual clock; false with the reason
    // when the script does not parse.
    bool PlayScript(std::string_view scriptText, std::string& why);
    bool ScriptPlaying() { return input_.Script() != nullptr; }
    long long Frames() const { return frames_; }

private:
    bool PersistSettings();
    std::string SettingsText() const;

    Game& game_;
    BrowserInput& input_;
    BrowserHost& host_;
    std::filesystem::path settingsPath_;
    KeptSettings kept_;
    std::string lastText_;  // the settings file as last seen, to notice the menu's saves
    std::function<std::uint32_t()> realClock_;  // the game's clock while no script plays
    std::uint32_t scriptTicks_ = 0;
    long long frames_ = 0;
};

}  // namespace zq
