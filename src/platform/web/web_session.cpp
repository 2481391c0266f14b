#include "platform/web/web_session.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <system_error>
#include <vector>

#include "core/errors.h"
#include "core/file_io.h"
#include "shell/credits.h"
#include "shell/settings.h"

namespace zq {

bool BrowserOwnsKey(Key key) { return key == Key::F5 || key == Key::F11 || key == Key::F12 || key == Key::Ctrl; }

Key BrowserStandIn(Key key) {
    switch (key) {
        case Key::F5: return Key::T;
        case Key::F12: return Key::X;
        case Key::Ctrl: return Key::Z;
        case Key::Escape: return Key::Backspace;
        default: return Key::None;
    }
}

std::string BrowserHelpText() {
    // The desktop help with its key lines swapped: the middle (the commands
    // by button) is the same on both.
    std::vector<std::string> lines;
    // The look and menu buttons are Z and Backspace here: Ctrl and Escape are the browser's.
    KeyBindings keys;
    keys.command[5] = Key::Z;
    keys.command[7] = Key::Backspace;
    const std::string desktop = HelpText(keys);
    std::size_t start = 0;
    for (std::size_t cr; (cr = desktop.find('\r', start)) != std::string::npos; start = cr + 1)
        lines.push_back(desktop.substr(start, cr - start));
    lines.push_back(desktop.substr(start));
    lines.front() = "F2 SETTINGS  F3 MOUSE MODE  F4 RESOLUTION  T DETAILS  F6 SCREEN MODE  F7 MUSIC";
    lines[1] = "F8 STEREOSCOPIC  F9 FPS  X COORDINATES";
    lines.back() = "KEYBOARD : BUTTON 1=SPACE  BUTTON 2=Z  BUTTON 3=SHIFT  BUTTON 4=BACKSPACE";
    std::string text = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) text += '\r' + lines[i];
    return text;
}

bool BrowserInput::KeyDown(Key key) {
    if (script_) return script_->KeyDown(key);
    if (key == Key::Enter && (Touched() & kTouchPicture) != 0) return true;
    if (!BrowserOwnsKey(key) && live_.KeyDown(key)) return true;
    const Key standIn = BrowserStandIn(key);
    return standIn != Key::None && live_.KeyDown(standIn);
}

MouseMotion BrowserInput::TakeMouseMotion(bool capture) {
    if (script_) return script_->TakeMouseMotion(capture);
    return live_.TakeMouseMotion(capture);
}

JoystickState BrowserInput::Joystick() {
    if (script_) return {};
    // The touch controls add to a pad, if there is one, without claiming to
    // be one: the screens still name the keyboard's keys.
    JoystickState stick = live_.Joystick();
    const unsigned touched = Touched();
    stick.up = stick.up || (touched & kTouchUp) != 0;
    stick.down = stick.down || (touched & kTouchDown) != 0;
    stick.left = stick.left || (touched & kTouchLeft) != 0;
    stick.right = stick.right || (touched & kTouchRight) != 0;
    const unsigned buttons[4] = {kTouchJump, kTouchLook, kTouchAction, kTouchMenu};
    for (std::size_t i = 0; i < 4; ++i) stick.buttons[i] = stick.buttons[i] || (touched & buttons[i]) != 0;
    return stick;
}

std::optional<CursorPosition> BrowserInput::Cursor() { return script_ ? std::nullopt : live_.Cursor(); }

bool BrowserHost::Fullscreen() {
    const bool page = isFullscreen && isFullscreen();
    if (pendingFrames_ > 0 && page != requested_) return requested_;
    pendingFrames_ = 0;
    return page;
}

void BrowserHost::SetFullscreen(bool on, RenderSize) {
    requested_ = on;
    pendingFrames_ = 30;
    if (setFullscreen) setFullscreen(on);
}

void BrowserHost::Tick() {
    if (pendingFrames_ > 0) --pendingFrames_;
}

void FrameBudget::Add(RenderSize size, double ms) {
    if (!(size == current_)) {
        current_ = size;
        samples_.clear();
    }
    samples_.push_back(ms);
    if (samples_.size() < kSamples) return;
    std::nth_element(samples_.begin(), samples_.begin() + kSamples / 2, samples_.end());
    const double median = samples_[kSamples / 2];
    samples_.clear();
    for (Measured& m : measured_) {
        if (m.size == size) {
            m.ms = median;
            return;
        }
    }
    measured_.push_back({size, median});
}

bool FrameBudget::Holds(RenderSize size) const {
    const double pixels = static_cast<double>(size.width) * size.height;
    const Measured* largest = nullptr;
    for (const Measured& m : measured_) {
        if (m.size == size) return m.ms <= kFrameMs;
        // A size no larger that failed says the same of this one.
        if (m.ms > kFrameMs && m.size.width * m.size.height <= size.width * size.height) return false;
        if (!largest || m.size.width * m.size.height > largest->size.width * largest->size.height) largest = &m;
    }
    if (!largest) return pixels <= 640.0 * 480.0;
    const double measuredPixels = static_cast<double>(largest->size.width) * largest->size.height;
    // Reckoned up from a smaller size, the cost per pixel carries that
    // size's fixed part and so overstates: half again is allowed for it.
    return largest->ms / measuredPixels * pixels <= (pixels > measuredPixels ? kFrameMs * 1.5 : kFrameMs);
}

ScreenRoom FrameBudget::Room() const {
    // F4 offers every size that fits a room, so the room is the largest one
    // in which every size holds (some smaller size of another shape that
    // holds may then be left out with the rest).
    std::vector<RenderSize> sizes = OfferedSizes({}, false);
    std::sort(sizes.begin(), sizes.end(),
              [](RenderSize a, RenderSize b) { return a.width * a.height > b.width * b.height; });
    for (const RenderSize size : sizes) {
        const ScreenRoom room{size.width, size.height, size.width, size.height, 0, 0};
        bool all = true;
        for (bool fullscreen : {false, true})
            for (const RenderSize s : OfferedSizes(room, fullscreen)) all = all && Holds(s);
        if (all) return room;
    }
    return ScreenRoom{320, 240, 320, 240, 0, 0};
}

void BrowserHost::ShowMessage(const std::string& text) { std::cerr << "Zorvo Quib: " << text << "\n"; }

KeptSettings KeptSettingsOf(const Game& game) {
    return {game.settings.mouseMode, game.settings.music, game.settings.texture, game.renderSize.height};
}

WebSession::WebSession(Game& game, BrowserInput& input, BrowserHost& host, std::filesystem::path settingsPath)
    : game_(game), input_(input), host_(host), settingsPath_(std::move(settingsPath)) {
    game_.options.helpText = BrowserHelpText();
    kept_ = KeptSettingsOf(game_);
    lastText_ = SettingsText();
}

std::string WebSession::SettingsText() const {
    auto bytes = ReadFileBytes(settingsPath_, kMaxSectionedFileBytes);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Writes the settings as the desktop game does when it closes, except full
// screen: a page may not start in full screen.
bool WebSession::PersistSettings() {
    if (!game_.settingsStore) return false;
    SettingsFile& file = game_.settingsStore->File();
    PutSettings(game_, false);
    std::error_code ec;
    std::filesystem::create_directories(settingsPath_.parent_path(), ec);
    if (!file.Save(settingsPath_)) {
        std::cerr << "Zorvo Quib: cannot write " << settingsPath_.string() << "\n";
        return false;
    }
    return true;
}

bool WebSession::PlayScript(std::string_view scriptText, std::string& why) {
    InputScript script;
    try {
        script = ParseInputScript(scriptText);
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
    if (!input_.Script()) realClock_ = game_.shell.clock;
    input_.Play(std::move(script));
    // The same start as a headless run of the level: seed 0, three lives.
    game_.random.seed = 0;
    Actor& local = game_.actors.Local();
    local.levelIndex = 0;
    local.lives = kStartLives;
    game_.shell.clock = nullptr;
    scriptTicks_ = static_cast<std::uint32_t>(game_.shell.time.now);
    StartLevel(game_, 0);
    ResetFrameClock(game_.shell, scriptTicks_);
    return true;
}

bool WebSession::Frame(std::uint32_t realTicks, int scriptFramesPerCall) {
    int framesThisCall = 1;
    if (input_.Script()) framesThisCall = std::max(1, scriptFramesPerCall);
    host_.Tick();
    for (int n = 0; n < framesThisCall; ++n) {
        std::uint32_t ticks = realTicks;
        if (ScriptedInput* script = input_.Script()) {
            if (!script->Advance()) {
                // The script is over: the player's keys and the real clock again.
                input_.StopScript();
                game_.shell.clock = realClock_;
                ResetFrameClock(game_.shell, realTicks);
                break;
            }
            ticks = scriptTicks_ += static_cast<std::uint32_t>(script->FrameMs());
        }
        ++frames_;
        const auto start = std::chrono::steady_clock::now();
        try {
            GameFrame(game_, ticks);
        } catch (const FatalError&) {
            throw;
        } catch (const std::exception& e) {
            std::cerr << "Zorvo Quib: " << e.what() << "\n";
        }
        // Play frames only: they are what a size has to hold (the title costs less).
        if (game_.shell.screen == kScreenPlay && !game_.shell.fade.active) {
            const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
            host_.budget.Add(game_.renderSize, spent.count());
        }
        if (host_.quitAsked) {
            // Where the desktop game would end, the page goes back to its title.
            host_.quitAsked = false;
            if (input_.Script()) {
                input_.StopScript();
                game_.shell.clock = realClock_;
            }
            SetScreen(game_, kScreenTitle);
        }
    }

    bool changed = false;
    if (const KeptSettings now = KeptSettingsOf(game_); !(now == kept_)) {
        kept_ = now;
        changed = PersistSettings();
    }
    if (std::string text = SettingsText(); text != lastText_) {
        lastText_ = std::move(text);
        changed = true;
    }
    return changed;
}

}  // namespace zq
