#include "platform/sdl_display.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

#include "core/errors.h"
#include "platform/sdl_window_util.h"
#include "render/picture_fit.h"

namespace zq {

SdlDisplay::~SdlDisplay() { Close(); }

void SdlDisplay::Open(const std::string& title, const WindowPlacement& placement) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) throw FatalError(std::string("GAME: Cannot open the display: ") + SDL_GetError());
    int w = placement.width > 0 ? placement.width : 320;
    int h = placement.height > 0 ? placement.height : 240;
    window_ = SDL_CreateWindow(title.c_str(), placement.left, placement.top, w, h, SDL_WINDOW_RESIZABLE);
    if (!window_) throw FatalError(std::string("GAME: Cannot create the window: ") + SDL_GetError());
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) throw FatalError(std::string("GAME: Cannot draw into the window: ") + SDL_GetError());
}

void SdlDisplay::Close() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
}

void SdlDisplay::Present(const SoftFrame& frame) {
    if (!renderer_ || frame.width <= 0 || frame.height <= 0) return;
    if (!texture_ || textureWidth_ != frame.width || textureHeight_ != frame.height) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, frame.width,
                                     frame.height);
        if (!texture_) return;
        textureWidth_ = frame.width;
        textureHeight_ = frame.height;
    }
    const std::size_t count = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    if (frame.pixels.size() < count) return;
    ConvertFrame(frame, fullscreen_, rgba_);
    SDL_UpdateTexture(texture_, nullptr, rgba_.data(), frame.width * 4);

    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    // Full screen keeps the desktop's mode: scale the view to fit, keeping its shape.
    const PictureArea area = FitPicture(outW, outH, frame.width, frame.height, FullscreenFit(fullscreen_, exactPixels_));
    const SDL_Rect dest{area.x, area.y, area.width, area.height};
    destX_ = dest.x;
    destY_ = dest.y;
    destW_ = dest.w;
    destH_ = dest.h;
    outW_ = outW;
    outH_ = outH;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &dest);
    SDL_RenderPresent(renderer_);
}

bool SdlDisplay::SetFullscreen(bool on, int, int) {
    if (!window_ || on == fullscreen_) return window_ != nullptr;
    if (on ? !EnterFullscreen(window_, windowed_) : !LeaveFullscreen(window_, windowed_)) return false;
    fullscreen_ = on;
    return true;
}

void SdlDisplay::SetClientSize(int width, int height) {
    if (window_ && !fullscreen_) SDL_SetWindowSize(window_, width, height);
}

WindowPlacement SdlDisplay::Placement() const {
    return PlacementOf(window_);
}

void SdlDisplay::PictureRect(int& x, int& y, int& width, int& height) const {
    x = y = width = height = 0;
    int w = 0, h = 0;
    if (window_) SDL_GetWindowSize(window_, &w, &h);
    if (outW_ <= 0 || outH_ <= 0) {
        width = w;
        height = h;
        return;
    }
    // Output pixels to window coordinates (they differ on scaled desktops).
    const PictureArea a = ScaleArea({destX_, destY_, destW_, destH_}, outW_, outH_, w, h);
    x = a.x;
    y = a.y;
    width = a.width;
    height = a.height;
}

void ConvertFrame(const SoftFrame& frame, bool fullscreen, std::vector<std::uint32_t>& out) {
    const std::size_t width = static_cast<std::size_t>(std::max(frame.width, 0));
    const std::size_t count = std::min(width * static_cast<std::size_t>(std::max(frame.height, 0)), frame.pixels.size());
    out.resize(count);
    std::uint32_t lookup[256];
    for (std::size_t i = 0; i < 256; ++i)
        lookup[i] = 0xFF000000u | (std::uint32_t{frame.palette.red[i]} << 16) |
                    (std::uint32_t{frame.palette.green[i]} << 8) | std::uint32_t{frame.palette.blue[i]};
    const std::uint8_t* src = frame.pixels.data();
    for (std::size_t i = 0; i < count; ++i) out[i] = lookup[src[i]];
    if (fullscreen && count >= width)
        std::fill(out.end() - static_cast<std::ptrdiff_t>(width), out.end(), lookup[0]);
}

void ShowMessageBox(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    if (SDL_WasInit(SDL_INIT_VIDEO) || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr);
}

}  // namespace zq
