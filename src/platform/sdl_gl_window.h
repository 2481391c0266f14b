// The OpenGL game window: an SDL window with a compatibility-profile context
// (double buffered, the deepest depth buffer it can get), windowed or full
// screen, or an invisible one for headless runs.
#pragma once

#include <string>

#include "platform/sdl_display.h"

struct SDL_Window;

namespace zq {

class SdlGlWindow {
public:
    SdlGlWindow() = default;
    ~SdlGlWindow();
    SdlGlWindow(const SdlGlWindow&) = delete;
    SdlGlWindow& operator=(const SdlGlWindow&) = delete;

    // Creates the window and makes its context current; throws FatalError
    // when the video system or a GL context cannot be had.  `hidden` windows
    // are for headless runs (use SDL_VIDEODRIVER=offscreen without a display).
    void Open(const std::string& title, const WindowPlacement& placement, bool hidden);
    void Close();

    // Keeps the GL driver loaded after the last window closes (until the video
    // system ends).  Tests open and close many windows; reloading the driver
    // each time is slow and leaves its start-up allocations behind.
    static bool KeepDriverLoaded();

    void Swap();
    // The drawable's size in pixels.
    void ClientSize(int& width, int& height) const;

    bool Fullscreen() const { return fullscreen_; }
    bool SetFullscreen(bool on, int renderWidth, int renderHeight);
    void SetClientSize(int width, int height);
    WindowPlacement Placement() const;
    SDL_Window* Window() const { return window_; }
    int DepthBits() const { return depthBits_; }

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;  // SDL_GLContext
    bool fullscreen_ = false;
    WindowPlacement windowed_;  // the window before full screen (frame position, client size)
    int depthBits_ = 0;
};

}  // namespace zq
