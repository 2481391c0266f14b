// One invisible GL window per test suite, on SDL's offscreen driver unless
// SDL_VIDEODRIVER names another.  Suites skip when no context can be made.
#pragma once

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/errors.h"
#include "platform/sdl_gl_window.h"

namespace zq::test {

struct OffscreenGl {
    std::unique_ptr<SdlGlWindow> window;  // null when no context could be made
    std::string why;                      // the reason, for the skip message

    void Open(const char* title, int width, int height) {
        if (!std::getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        // Mesa's software GL then draws on this thread alone: its workers are
        // nothing a 64 x 48 picture needs, and LeakSanitizer's scan of every
        // thread at exit has been seen to crash on them.
        setenv("LP_NUM_THREADS", "0", 0);
        SdlGlWindow::KeepDriverLoaded();
        window = std::make_unique<SdlGlWindow>();
        try {
            window->Open(title, WindowPlacement{0, 0, width, height}, true);
        } catch (const FatalError& e) {
            why = e.what();
            window.reset();
        }
    }
};

}  // namespace zq::test
