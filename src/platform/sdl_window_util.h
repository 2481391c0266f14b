// Window helpers both game windows share: full screen at the render size, the
// window's placement and its icon.
#pragma once

#include "assets/pcx.h"
#include "platform/sdl_display.h"

struct SDL_Window;

namespace zq {

// Switches `window` to full screen: the display mode of the render size where
// the display has it, else the desktop's own mode.  False when neither works.
bool EnterFullscreen(SDL_Window* window, int renderWidth, int renderHeight);

// The window's outer position and client size.
WindowPlacement PlacementOf(SDL_Window* window);

// Gives `window` the picture as its icon; palette index 0 is transparent.
void SetWindowIcon(SDL_Window* window, const Picture& picture);

}  // namespace zq
