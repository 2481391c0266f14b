#include "shell/input.h"

#include "core/text.h"

namespace zq {

namespace {

constexpr std::array<std::string_view, kKeyCount> kKeyNames = {
    "None",
    "Up", "Down", "Left", "Right",
    "Space", "Ctrl", "Shift", "Alt", "Escape", "Enter", "Tab", "Backspace",
    "PageUp", "PageDown", "Home", "End", "Insert", "Delete",
    "Kp0", "KpPlus", "KpMinus", "KpDivide", "KpMultiply",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
    "MouseLeft", "MouseRight",
    "PrintScreen",
};

constexpr std::array<std::string_view, 8> kCommandNames = {"Forward", "Back", "Left", "Right",
                                                           "Jump", "Look", "Action", "Menu"};

}  // namespace

std::string_view KeyName(Key key) {
    auto index = static_cast<std::size_t>(key);
    return index < kKeyNames.size() ? kKeyNames[index] : "None";
}

std::string KeyLabel(Key key) {
    switch (key) {
        case Key::Escape: return "ESC";
        case Key::PageUp: return "PAGE UP";
        case Key::PageDown: return "PAGE DOWN";
        case Key::Kp0: return "KEYPAD 0";
        case Key::KpPlus: return "KEYPAD +";
        case Key::KpMinus: return "KEYPAD -";
        case Key::KpDivide: return "KEYPAD /";
        case Key::KpMultiply: return "KEYPAD *";
        case Key::MouseLeft: return "LEFT MOUSE";
        case Key::MouseRight: return "RIGHT MOUSE";
        case Key::PrintScreen: return "PRINT SCREEN";
        default: return ToUpper(KeyName(key));
    }
}

std::optional<Key> KeyFromName(std::string_view name) {
    for (std::size_t i = 1; i < kKeyNames.size(); ++i)
        if (EqualsNoCase(kKeyNames[i], name)) return static_cast<Key>(i);
    return std::nullopt;
}

KeyBindings ReadKeyBindings(const SettingsFile& file) {
    KeyBindings bindings;
    for (std::size_t i = 0; i < kCommandNames.size(); ++i)
        if (auto key = KeyFromName(file.GetString("Keys", kCommandNames[i]))) bindings.command[i] = *key;
    return bindings;
}

void WriteKeyBindings(SettingsFile& file, const KeyBindings& bindings) {
    for (std::size_t i = 0; i < kCommandNames.size(); ++i)
        file.SetString("Keys", kCommandNames[i], KeyName(bindings.command[i]));
}

MouseInput PollInput(InputDevice& device, Actor& actor, const KeyBindings& bindings, int mouseMode) {
    MouseInput mouse;
    mouse.motion = device.TakeMouseMotion(mouseMode != 0);
    mouse.left = device.KeyDown(Key::MouseLeft);
    mouse.right = device.KeyDown(Key::MouseRight);

    actor.prevCommands = actor.commands;
    JoystickState stick = device.Joystick();
    auto pressed = [&](std::size_t i) { return device.KeyDown(bindings.command[i]); };
    Commands& c = actor.commands;
    c.forward = pressed(0) || stick.up;
    c.back = pressed(1) || stick.down;
    c.left = pressed(2) || stick.left;
    c.right = pressed(3) || stick.right;
    c.jump = pressed(4) || stick.buttons[0];
    c.look = pressed(5) || stick.buttons[1];
    c.action = pressed(6) || stick.buttons[2];
    c.menu = pressed(7) || stick.buttons[3];
    if (mouseMode != 0) {
        c.action = c.action || mouse.left;
        c.jump = c.jump || mouse.right;
    }
    return mouse;
}

}  // namespace zq
