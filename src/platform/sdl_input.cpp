#include "platform/sdl_input.h"

#include <SDL.h>

namespace zq {

namespace {

Key FromScancode(SDL_Scancode code) {
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z)
        return static_cast<Key>(static_cast<int>(Key::A) + (code - SDL_SCANCODE_A));
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9)
        return static_cast<Key>(static_cast<int>(Key::Num1) + (code - SDL_SCANCODE_1));
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12)
        return static_cast<Key>(static_cast<int>(Key::F1) + (code - SDL_SCANCODE_F1));
    switch (code) {
        case SDL_SCANCODE_0: return Key::Num0;
        case SDL_SCANCODE_UP: return Key::Up;
        case SDL_SCANCODE_DOWN: return Key::Down;
        case SDL_SCANCODE_LEFT: return Key::Left;
        case SDL_SCANCODE_RIGHT: return Key::Right;
        case SDL_SCANCODE_SPACE: return Key::Space;
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL: return Key::Ctrl;
        case SDL_SCANCODE_LSHIFT:
        case SDL_SCANCODE_RSHIFT: return Key::Shift;
        case SDL_SCANCODE_LALT:
        case SDL_SCANCODE_RALT: return Key::Alt;
        case SDL_SCANCODE_ESCAPE: return Key::Escape;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER: return Key::Enter;
        case SDL_SCANCODE_TAB: return Key::Tab;
        case SDL_SCANCODE_BACKSPACE: return Key::Backspace;
        case SDL_SCANCODE_PAGEUP: return Key::PageUp;
        case SDL_SCANCODE_PAGEDOWN: return Key::PageDown;
        case SDL_SCANCODE_HOME: return Key::Home;
        case SDL_SCANCODE_END: return Key::End;
        case SDL_SCANCODE_INSERT: return Key::Insert;
        case SDL_SCANCODE_DELETE:
        case SDL_SCANCODE_KP_PERIOD: return Key::Delete;  // the numeric pad's Delete
        case SDL_SCANCODE_KP_0: return Key::Kp0;
        case SDL_SCANCODE_KP_PLUS: return Key::KpPlus;
        case SDL_SCANCODE_KP_MINUS: return Key::KpMinus;
        case SDL_SCANCODE_KP_DIVIDE: return Key::KpDivide;
        case SDL_SCANCODE_KP_MULTIPLY: return Key::KpMultiply;
        case SDL_SCANCODE_PRINTSCREEN: return Key::PrintScreen;
        default: return Key::None;
    }
}

std::size_t Index(Key key) { return static_cast<std::size_t>(key); }

}  // namespace

SdlInput::SdlInput() {
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
    OpenFirstController();
}

SdlInput::~SdlInput() { CloseController(); }

void SdlInput::OpenFirstController() {
    for (int i = 0; i < SDL_NumJoysticks() && !controller_ && !joystick_; ++i) OpenController(i);
}

void SdlInput::OpenController(int deviceIndex) {
    // The platform's controller mapping where one exists, raw axes and buttons otherwise.
    if (SDL_IsGameController(deviceIndex)) controller_ = SDL_GameControllerOpen(deviceIndex);
    if (!controller_) joystick_ = SDL_JoystickOpen(deviceIndex);
    SDL_Joystick* opened = controller_ ? SDL_GameControllerGetJoystick(controller_) : joystick_;
    deviceId_ = opened ? SDL_JoystickInstanceID(opened) : -1;
}

void SdlInput::CloseController() {
    if (controller_) SDL_GameControllerClose(controller_);
    if (joystick_) SDL_JoystickClose(joystick_);
    controller_ = nullptr;
    joystick_ = nullptr;
    deviceId_ = -1;
}

bool SdlInput::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT: return false;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            Key key = FromScancode(event.key.keysym.scancode);
            if (key == Key::None) break;
            bool down = event.type == SDL_KEYDOWN;
            held_[Index(key)] = down;
            if (down) pressedThisFrame_[Index(key)] = true;
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            Key key = event.button.button == SDL_BUTTON_LEFT    ? Key::MouseLeft
                      : event.button.button == SDL_BUTTON_RIGHT ? Key::MouseRight
                                                                : Key::None;
            if (key == Key::None) break;
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            held_[Index(key)] = down;
            if (down) pressedThisFrame_[Index(key)] = true;
            break;
        }
        case SDL_TEXTINPUT:
            // Held for the next TakeText; a game screen that takes no text
            // never asks, so only a bounded amount is kept.
            if (typed_.size() < 256) typed_ += event.text.text;
            break;
        case SDL_MOUSEMOTION:
            // Centre minus cursor: moving right or down gives negative values.
            mouseDX_ -= event.motion.xrel;
            mouseDY_ -= event.motion.yrel;
            break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_JOYDEVICEADDED:
            if (!controller_ && !joystick_) OpenController(event.jdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_JOYDEVICEREMOVED:
            // The pad in use was unplugged: let go of it, so that it (or
            // another one still plugged in) is taken up again.
            if (event.jdevice.which == deviceId_) {
                CloseController();
                OpenFirstController();
            }
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                held_.fill(false);
                pressedThisFrame_.fill(false);
            }
            break;
        default: break;
    }
    return true;
}

std::string SdlInput::TakeText() {
    std::string out;
    out.swap(typed_);
    return out;
}

bool SdlInput::Counts() const {
    if (fullscreen_ || !window_) return true;
    return (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool SdlInput::KeyDown(Key key) {
    if (key == Key::None || key == Key::Count) return false;
    return (held_[Index(key)] || pressedThisFrame_[Index(key)]) && Counts();
}

MouseMotion SdlInput::TakeMouseMotion(bool capture) {
    if (capture != captured_) {
        SDL_SetRelativeMouseMode(capture ? SDL_TRUE : SDL_FALSE);
        captured_ = capture;
    }
    MouseMotion m{mouseDX_, mouseDY_};
    mouseDX_ = mouseDY_ = 0;
    if (!capture || !Counts()) return {};
    return m;
}

JoystickState SdlInput::Joystick() {
    JoystickState s;
    if (controller_) {
        s.present = true;
        auto axis = [&](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(controller_, a); };
        auto button = [&](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(controller_, b) != 0; };
        // Quarter of the way from the centre, like the thresholds of a raw 0..65535 stick.
        constexpr int kDead = 16384;
        s.left = axis(SDL_CONTROLLER_AXIS_LEFTX) < -kDead || button(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        s.right = axis(SDL_CONTROLLER_AXIS_LEFTX) > kDead || button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        s.up = axis(SDL_CONTROLLER_AXIS_LEFTY) < -kDead || button(SDL_CONTROLLER_BUTTON_DPAD_UP);
        s.down = axis(SDL_CONTROLLER_AXIS_LEFTY) > kDead || button(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        s.buttons = {button(SDL_CONTROLLER_BUTTON_A), button(SDL_CONTROLLER_BUTTON_B),
                     button(SDL_CONTROLLER_BUTTON_X), button(SDL_CONTROLLER_BUTTON_START)};
    } else if (joystick_) {
        s.present = true;
        // Raw axes run -32768..32767; the thresholds sit at a quarter and three quarters.
        int x = SDL_JoystickGetAxis(joystick_, 0) + 32768;
        int y = SDL_JoystickGetAxis(joystick_, 1) + 32768;
        constexpr int kHalf = 65535 / 2;
        s.left = x < kHalf / 2;
        s.right = x > (3 * kHalf) / 2;
        s.up = y < kHalf / 2;
        s.down = y > (3 * kHalf) / 2;
        for (int b = 0; b < 4; ++b) s.buttons[static_cast<std::size_t>(b)] = SDL_JoystickGetButton(joystick_, b) != 0;
    }
    if (!Counts()) return {};
    return s;
}

std::optional<CursorPosition> SdlInput::Cursor() {
    if (!window_) return std::nullopt;
    PictureArea area;
    SDL_GetWindowSize(window_, &area.width, &area.height);
    if (pictureArea_) area = pictureArea_();
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    CursorPosition at;
    if (!PictureShare(x, y, area, at.x, at.y)) return std::nullopt;
    return at;
}

}  // namespace zq
