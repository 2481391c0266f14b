#include "platform/sdl_window_util.h"

#include <SDL.h>

namespace zq {

bool EnterFullscreen(SDL_Window* window, int renderWidth, int renderHeight) {
    SDL_DisplayMode wanted{SDL_PIXELFORMAT_UNKNOWN, renderWidth, renderHeight, 0, nullptr}, closest{};
    const int display = SDL_GetWindowDisplayIndex(window);
    const bool exact = SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &closest) &&
                       closest.w == renderWidth && closest.h == renderHeight;
    int result = -1;
    if (exact) {
        SDL_SetWindowDisplayMode(window, &closest);
        result = SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
    }
    if (result != 0) result = SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return result == 0;
}

WindowPlacement PlacementOf(SDL_Window* window) {
    WindowPlacement p;
    if (!window) return p;
    SDL_GetWindowPosition(window, &p.left, &p.top);
    SDL_GetWindowSize(window, &p.width, &p.height);
    return p;
}

}  // namespace zq
