// SDL keyboard and game controller events as the game sees them.
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
            input.NewFrame();
            EXPECT_FALSE(input.KeyDown(c.key)) << SDL_GetScancodeName(c.code);
        }
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);  // the input opened them
}

// A tap between two frames counts for every test of the next frame, and is
// forgotten when the frame after begins, whether anything asked or not.
TEST(SdlInput, ATapCountsForOneFrameOnly) {
    {
        SdlInput input;
        input.NewFrame();
        input.HandleEvent(KeyEvent(SDL_SCANCODE_RETURN, true));
        input.HandleEvent(KeyEvent(SDL_SCANCODE_RETURN, false));
        EXPECT_TRUE(input.KeyDown(Key::Enter));
        EXPECT_TRUE(input.KeyDown(Key::Enter));
        input.NewFrame();
        EXPECT_FALSE(input.KeyDown(Key::Enter));

        input.HandleEvent(KeyEvent(SDL_SCANCODE_SPACE, true));
        input.HandleEvent(KeyEvent(SDL_SCANCODE_SPACE, false));
        input.NewFrame();  // nobody asked in that frame
        EXPECT_FALSE(input.KeyDown(Key::Space));

        input.HandleEvent(KeyEvent(SDL_SCANCODE_SPACE, true));  // held keys stay down
        input.NewFrame();
        EXPECT_TRUE(input.KeyDown(Key::Space));
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
}

// Feeds every pending SDL event to the input.
void Pump(SdlInput& input) {
    SDL_JoystickUpdate();
    SDL_Event e;
    while (SDL_PollEvent(&e)) input.HandleEvent(e);
}

// Plugs in a virtual pad; its instance id (device indices shift as pads go).
SDL_JoystickID Plug() {
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    return index < 0 ? -1 : SDL_JoystickGetDeviceInstanceID(index);
}

void Unplug(SDL_JoystickID id) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
}

// A pad unplugged and plugged back in works again, as does a second pad that
// was already plugged in when the first one went.
TEST(SdlInput, ControllersCanBeUnpluggedAndPluggedBack) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    {
        SdlInput input;
        EXPECT_FALSE(input.Joystick().present);
        const SDL_JoystickID first = Plug();
        ASSERT_GE(first, 0) << SDL_GetError();
        Pump(input);
        EXPECT_TRUE(input.Joystick().present);

        Unplug(first);
        Pump(input);
        EXPECT_FALSE(input.Joystick().present);

        const SDL_JoystickID again = Plug();
        ASSERT_GE(again, 0) << SDL_GetError();
        Pump(input);
        ASSERT_TRUE(input.Joystick().present);
        SDL_JoystickSetVirtualButton(SDL_JoystickFromInstanceID(again), 0, SDL_PRESSED);
        Pump(input);
        EXPECT_TRUE(input.Joystick().buttons[0]);  // the pad answers, not just listed

        const SDL_JoystickID second = Plug();
        Pump(input);
        Unplug(again);
        Pump(input);
        EXPECT_TRUE(input.Joystick().present);  // the second pad took over
        Unplug(second);
        Pump(input);
        EXPECT_FALSE(input.Joystick().present);
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK | SDL_INIT_EVENTS);
}

}  // namespace
}  // namespace zq
