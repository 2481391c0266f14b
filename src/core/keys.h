// Our own key codes, the same on every platform: the platform turns its
// keys into these, and the game, the lobby and the scripts see only them.
#pragma once

#include <cstdint>

namespace zq {

enum class Key : std::uint8_t {
    None,
    Up, Down, Left, Right,
    Space, Ctrl, Shift, Alt, Escape, Enter, Tab, Backspace,
    PageUp, PageDown, Home, End, Insert, Delete,
    Kp0, KpPlus, KpMinus, KpDivide, KpMultiply,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    Num0, Num1, Num2, Num3, Num4, Num5, Num6, Num7, Num8, Num9,
    MouseLeft, MouseRight,
    PrintScreen,
    Count,
};
inline constexpr int kKeyCount = static_cast<int>(Key::Count);

}  // namespace zq
