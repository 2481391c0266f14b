#include "platform/sdl_window_util.h"

#include <SDL.h>

#include <vector>

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

void SetWindowIcon(SDL_Window* window, const Picture& picture) {
    const std::size_t count = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    if (!window || count == 0 || picture.pixels.size() < count) return;
    std::vector<Uint32> argb(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t c = picture.pixels[i];
        argb[i] = c == 0 ? 0u
                         : 0xFF000000u | (Uint32{picture.palette.red[c]} << 16) | (Uint32{picture.palette.green[c]} << 8) |
                               Uint32{picture.palette.blue[c]};
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(argb.data(), picture.width, picture.height, 32,
                                                              picture.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return;
    SDL_SetWindowIcon(window, surface);  // SDL keeps its own copy
    SDL_FreeSurface(surface);
}

WindowPlacement PlacementOf(SDL_Window* window) {
    WindowPlacement p;
    if (!window) return p;
    SDL_GetWindowPosition(window, &p.left, &p.top);
    SDL_GetWindowSize(window, &p.width, &p.height);
    return p;
}

}  // namespace zq
