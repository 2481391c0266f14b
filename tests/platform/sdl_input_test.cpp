// SDL keyboard events as the game sees them.
#include "platform/sdl_input.h"

#include <SDL.h>

#include <gtest/gtest.h>

namespace zq {
namespace {

SDL_Event KeyEvent(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    return e;
}

// The rear view listens to numeric-pad 0, Insert and Delete: the numeric pad's
// own Delete key (its "." key) counts as Delete.
TEST(SdlInput, RearViewKeysIncludeTheNumericPadDelete) {
    struct Case {
        SDL_Scancode code;
        Key key;
    };
    {
        SdlInput input;
        for (Case c : {Case{SDL_SCANCODE_KP_0, Key::Kp0}, Case{SDL_SCANCODE_INSERT, Key::Insert},
                       Case{SDL_SCANCODE_DELETE, Key::Delete}, Case{SDL_SCANCODE_KP_PERIOD, Key::Delete}}) {
            input.HandleEvent(KeyEvent(c.code, true));
            EXPECT_TRUE(input.KeyDown(c.key)) << SDL_GetScancodeName(c.code);
            input.HandleEvent(KeyEvent(c.code, false));
            EXPECT_FALSE(input.KeyDown(c.key)) << SDL_GetScancodeName(c.code);
        }
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);  // the input opened them
}

}  // namespace
}  // namespace zq
