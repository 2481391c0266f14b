// Keyboard, mouse and the first game controller or joystick through SDL.
#pragma once

#include <array>
#include <string>
#include <cstdint>
#include <functional>

#include "render/picture_fit.h"
#include "shell/input.h"

struct SDL_Window;
typedef union SDL_Event SDL_Event;
struct _SDL_GameController;
struct _SDL_Joystick;

namespace zq {

class SdlInput : public InputDevice {
public:
    SdlInput();
    ~SdlInput() override;
    SdlInput(const SdlInput&) = delete;
    SdlInput& operator=(const SdlInput&) = delete;

    // The window whose focus decides whether keys count; `fullscreen` makes keys
    // count whatever has the focus.
    void SetWindow(SDL_Window* window, bool fullscreen) {
        window_ = window;
        fullscreen_ = fullscreen;
    }
    // Where the picture lies in the window (window coordinates): the cursor
    // is given as a share of that rectangle, wherever the picture is drawn.
    // Without it the whole window is the picture.
    void SetPictureArea(std::function<PictureArea()> area) { pictureArea_ = std::move(area); }
    // Feeds one event; returns false when it asks the program to close.
    bool HandleEvent(const SDL_Event& event);

    bool KeyDown(Key key) override;
    // Called before the frame's events are fed in.
    void NewFrame() override { pressedThisFrame_.fill(false); }
    MouseMotion TakeMouseMotion(bool capture) override;
    JoystickState Joystick() override;
    std::optional<CursorPosition> Cursor() override;
    std::string TakeText() override;

private:
    void OpenController(int deviceIndex);
    void OpenFirstController();
    void CloseController();
    bool Counts() const;

    SDL_Window* window_ = nullptr;
    bool fullscreen_ = false;
    std::array<bool, kKeyCount> held_{};
    std::array<bool, kKeyCount> pressedThisFrame_{};  // went down since NewFrame
    std::int32_t mouseDX_ = 0, mouseDY_ = 0;
    std::string typed_;  // text since the last TakeText
    bool captured_ = false;
    _SDL_GameController* controller_ = nullptr;
    _SDL_Joystick* joystick_ = nullptr;
    std::int32_t deviceId_ = -1;  // the open device's instance id
    std::function<PictureArea()> pictureArea_;
};

}  // namespace zq
