// An input device whose keys the test holds down by hand; no mouse, no joystick.
#pragma once

#include <array>
#include <cstddef>

#include "shell/input.h"

namespace zq::test {

struct HeldKeys : InputDevice {
    std::array<bool, kKeyCount> down{};
    bool KeyDown(Key key) override { return down[static_cast<std::size_t>(key)]; }
    MouseMotion TakeMouseMotion(bool) override { return {}; }
    JoystickState Joystick() override { return {}; }
    void Hold(Key key, bool on = true) { down[static_cast<std::size_t>(key)] = on; }
};

}  // namespace zq::test
