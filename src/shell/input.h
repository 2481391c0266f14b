// Input: the names of our key codes, the device interface the platform implements, and
// the mapping from keys, joystick and mouse to a player's eight command flags.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/keys.h"
#include "core/settings_file.h"
#include "rules/actor.h"

namespace zq {


// The key's name as written in settings files and input scripts ("Up", "F4", "W").
std::string_view KeyName(Key key);
// The key as the player reads it on screen ("SPACE", "ESC", "KEYPAD +").
std::string KeyLabel(Key key);
// The key a name stands for, ignoring case; nothing for an unknown name.
std::optional<Key> KeyFromName(std::string_view name);

struct JoystickState {
    bool present = false;
    bool up = false, down = false, left = false, right = false;
    std::array<bool, 4> buttons{};
};

struct MouseMotion {
    std::int32_t dx = 0;  // centre minus cursor: moving right or down gives negative values
    std::int32_t dy = 0;
};

// Where the mouse cursor is, as fractions of the picture from its top left.
struct CursorPosition {
    float x = 0, y = 0;
};

// What the platform (or a script) reports.  KeyDown answers true when the key
// is down now or was pressed since the frame began, so a tap between two
// frames still counts for every test of that frame.  A press that nothing
// asked about in its frame is forgotten: a Return pressed where it meant
// nothing never acts on a later screen.
class InputDevice {
public:
    virtual ~InputDevice() = default;
    virtual bool KeyDown(Key key) = 0;
    // A new frame begins: presses of the frame before are forgotten.
    virtual void NewFrame() {}
    // Mouse movement since the previous call; the platform recentres the cursor
    // when `capture` is set (mouse mode on).
    virtual MouseMotion TakeMouseMotion(bool capture) = 0;
    virtual JoystickState Joystick() = 0;
    // The cursor over the picture; nothing without a pointer (scripts, tests).
    virtual std::optional<CursorPosition> Cursor() { return std::nullopt; }
    // The characters typed since the previous call (UTF-8, as the keyboard
    // layout makes them), for text fields; nothing from scripts.
    virtual std::string TakeText() { return {}; }
};

// The key of each command flag: forward, back, left, right, Button 1..4.
struct KeyBindings {
    std::array<Key, 8> command{Key::Up, Key::Down, Key::Left, Key::Right,
                               Key::Space, Key::Ctrl, Key::Shift, Key::Escape};
};
// Reads section "Keys" ("Forward", "Back", "Left", "Right", "Jump", "Look",
// "Action", "Menu"); unknown names keep the default key.
KeyBindings ReadKeyBindings(const SettingsFile& file);
void WriteKeyBindings(SettingsFile& file, const KeyBindings& bindings);

struct MouseInput {
    MouseMotion motion;
    bool left = false, right = false;
};

// One frame's polling: the flags move to prevCommands, then are set from the
// keyboard or the joystick; with the mouse mode on, the left button is Button 3
// and the right one Button 1.  Returns the mouse movement for the frame.
MouseInput PollInput(InputDevice& device, Actor& actor, const KeyBindings& bindings, int mouseMode);

}  // namespace zq
