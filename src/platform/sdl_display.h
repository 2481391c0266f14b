// The game window: shows the software back end's 8-bit frame through its
// palette, centred in the client area, windowed or full screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/soft/soft_frame.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace zq {

struct WindowPlacement {
    int left = 100, top = 100;     // outer position, screen pixels
    int width = 320, height = 240; // client size
};

class SdlDisplay {
public:
    SdlDisplay() = default;
    ~SdlDisplay();
    SdlDisplay(const SdlDisplay&) = delete;
    SdlDisplay& operator=(const SdlDisplay&) = delete;

    // Creates the window; throws FatalError when the video system cannot start.
    void Open(const std::string& title, const WindowPlacement& placement);
    void Close();

    // Converts the frame through its palette and shows it centred; in full
    // screen it is scaled to fill the desktop, keeping its shape.
    void Present(const SoftFrame& frame);

    bool Fullscreen() const { return fullscreen_; }
    // Switches to full screen in the desktop's own mode, the view scaled to
    // fit; back in a window, the window is where it was.  False on failure.
    bool SetFullscreen(bool on, int renderWidth, int renderHeight);
    void SetClientSize(int width, int height);
    // Full screen by whole multiples of the frame rather than scaled to fill.
    void SetExactPixels(bool on) { exactPixels_ = on; }
    WindowPlacement Placement() const;
    // Where the last frame was drawn, in window coordinates.
    void PictureRect(int& x, int& y, int& width, int& height) const;
    SDL_Window* Window() const { return window_; }

private:
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0, textureHeight_ = 0;
    int destX_ = 0, destY_ = 0, destW_ = 0, destH_ = 0;  // output pixels
    int outW_ = 0, outH_ = 0;
    bool fullscreen_ = false;
    bool exactPixels_ = false;
    WindowPlacement windowed_;  // the window before full screen (frame position, client size)
    std::vector<std::uint32_t> rgba_;  // the converted frame, reused every frame
};

// The frame as 0xAARRGGBB pixels through its palette into `out` (resized to
// fit).  In full screen the last row shows colour 0, as the display surface's
// last row is never drawn there.
void ConvertFrame(const SoftFrame& frame, bool fullscreen, std::vector<std::uint32_t>& out);

// Shows a message box (or prints to stderr when no display is available).
void ShowMessageBox(const std::string& title, const std::string& text);

}  // namespace zq
