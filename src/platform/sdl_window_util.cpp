#include "platform/sdl_window_util.h"

#include <SDL.h>

#include <algorithm>
#include <vector>

namespace zq {

bool EnterFullscreen(SDL_Window* window, WindowPlacement& windowed) {
    // The frame's position: that is where a window manager puts a window
    // that is moved, so the client origin would come back a title bar lower.
    windowed = PlacementOf(window);
    // Full screen keeps the desktop's own mode: today's flat panels look
    // their best only there, and the picture is scaled to fit instead.
    // Without a window manager nobody honours the full-screen request, so
    // the window is first laid over the whole desktop by hand.
    const int display = std::max(SDL_GetWindowDisplayIndex(window), 0);
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) return true;
    LeaveFullscreen(window, windowed);
    return false;
}

bool LeaveFullscreen(SDL_Window* window, const WindowPlacement& windowed) {
    if (SDL_SetWindowFullscreen(window, 0) != 0) return false;
    // Back to where the window was, not wherever the desktop puts it.
    SDL_SetWindowSize(window, windowed.width, windowed.height);
    SDL_SetWindowPosition(window, windowed.left, windowed.top);
    return true;
}

ScreenRoom ScreenRoomOf(SDL_Window* window) {
    ScreenRoom room;
    const int display = window ? std::max(SDL_GetWindowDisplayIndex(window), 0) : 0;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(display, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        room.width = mode.w;
        room.height = mode.h;
    }
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(display, &usable) == 0 && usable.w > 0 && usable.h > 0) {
        room.usableWidth = usable.w;
        room.usableHeight = usable.h;
    }
    int top = 0, left = 0, bottom = 0, right = 0;
    if (window && SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0) {
        room.frameWidth = left + right;
        room.frameHeight = top + bottom;
    }
    return room;
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
    // SDL reports where the client area is, but a new window is placed by its
    // frame: without taking off the window manager's borders, every start
    // would move the window down by a title bar.
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0) {
        p.left -= left;
        p.top -= top;
    }
    return p;
}

}  // namespace zq
