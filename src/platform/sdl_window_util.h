// Window helpers both game windows share: full screen at the render size and
// the window's placement.
#pragma once

#include "platform/sdl_display.h"

struct SDL_Window;

namespace zq {

// Switches `window` to full screen: the display mode of the render size where
// the display has it, else the desktop's own mode.  False when neither works.
bool EnterFullscreen(SDL_Window* window, int renderWidth, int renderHeight);

// The window's outer position and client size.
WindowPlacement PlacementOf(SDL_Window* window);

}  // namespace zq
