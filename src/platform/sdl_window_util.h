// Window helpers both game windows share: full screen at the render size, the
// window's placement and its icon.
#pragma once

#include "assets/pcx.h"
#include "platform/sdl_display.h"
#include "shell/settings.h"

struct SDL_Window;

namespace zq {

// Switches `window` to full screen over the whole desktop in its own mode,
// remembering the window's placement (PlacementOf) in `windowed`.  False
// (and still windowed) when the display refuses.
bool EnterFullscreen(SDL_Window* window, WindowPlacement& windowed);
// Back to a window with its frame and client size where `windowed` says.
bool LeaveFullscreen(SDL_Window* window, const WindowPlacement& windowed);

// The window's outer position (frame included) and client size.
WindowPlacement PlacementOf(SDL_Window* window);

// The desktop `window` is on: its mode, the usable area and the window's
// borders; zeros for what the display does not say.
ScreenRoom ScreenRoomOf(SDL_Window* window);

// Gives `window` the picture as its icon; palette index 0 is transparent.
void SetWindowIcon(SDL_Window* window, const Picture& picture);

}  // namespace zq
