#include "platform/sdl_gl_window.h"

#include <SDL.h>

#include "core/errors.h"
#include "platform/sdl_window_util.h"

namespace zq {

namespace {

// Asks for the context the renderer needs; depth 32 first, then 24 and 16.
SDL_GLContext CreateContext(const std::string& title, const WindowPlacement& placement, Uint32 flags,
                            SDL_Window*& window, int& depthBits) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    const int w = placement.width > 0 ? placement.width : 320;
    const int h = placement.height > 0 ? placement.height : 240;
    for (int depth : {32, 24, 16}) {
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        window = SDL_CreateWindow(title.c_str(), placement.left, placement.top, w, h, flags);
        if (!window) continue;
        SDL_GLContext context = SDL_GL_CreateContext(window);
        if (context) {
            if (SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits) != 0) depthBits = depth;
            return context;
        }
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    return nullptr;
}

}  // namespace

SdlGlWindow::~SdlGlWindow() { Close(); }

bool SdlGlWindow::KeepDriverLoaded() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    return SDL_GL_LoadLibrary(nullptr) == 0;
}

void SdlGlWindow::Open(const std::string& title, const WindowPlacement& placement, bool hidden) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw FatalError(std::string("GAME: Cannot open the display: ") + SDL_GetError());
    const Uint32 flags = SDL_WINDOW_OPENGL | (hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_RESIZABLE);
    context_ = CreateContext(title, placement, flags, window_, depthBits_);
    if (!context_) {
        const std::string why = SDL_GetError();
        throw FatalError("GAME: Cannot create an OpenGL context: " + why);
    }
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
    SDL_GL_SetSwapInterval(0);  // the game runs its frames back to back
}

void SdlGlWindow::Close() {
    if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (window_) SDL_DestroyWindow(window_);
    context_ = nullptr;
    window_ = nullptr;
}

void SdlGlWindow::Swap() {
    if (window_) SDL_GL_SwapWindow(window_);
}

void SdlGlWindow::ClientSize(int& width, int& height) const {
    width = height = 0;
    if (window_) SDL_GL_GetDrawableSize(window_, &width, &height);
}

bool SdlGlWindow::SetFullscreen(bool on, int, int) {
    if (!window_ || on == fullscreen_) return window_ != nullptr;
    if (on ? !EnterFullscreen(window_, windowed_) : !LeaveFullscreen(window_, windowed_)) return false;
    fullscreen_ = on;
    return true;
}

void SdlGlWindow::SetClientSize(int width, int height) {
    if (window_ && !fullscreen_) SDL_SetWindowSize(window_, width, height);
}

WindowPlacement SdlGlWindow::Placement() const {
    return PlacementOf(window_);
}

}  // namespace zq
