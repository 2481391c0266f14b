// The settings screen, opened with F2 on the title or in the in-game menu:
// the keys of the eight commands, the music and effects volumes, full screen,
// the picture size, texture detail, mouse mode and the frame cap.  Every
// change applies at once and is written to the settings file at once.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "shell/input.h"

namespace zq {

struct Game;

// The lines of the screen, top to bottom.  The first eight are the commands
// in the order of KeyBindings::command.
enum SettingsEntry : std::int32_t {
    kSetForward, kSetBack, kSetLeft, kSetRight, kSetJump, kSetLook, kSetAction, kSetMenu,
    kSetMusicVolume, kSetEffectsVolume, kSetFullscreen, kSetSize, kSetTexture, kSetMouseMode, kSetFrameCap,
    kSetDefaultKeys, kSetDone,
    kSettingsEntryCount,
};

// The frame caps the screen offers, in its order; 0 is no cap.
inline constexpr std::array<int, 4> kFrameCaps = {30, 60, 120, 0};
inline constexpr int kVolumeStep = 10;  // percent per Left or Right

struct SettingsScreen {
    bool open = false;
    std::int32_t entry = 0;
    bool capturing = false;  // waiting for the new key of `entry`
    // What was down in the previous frame: keys act when they go down.
    std::array<bool, kKeyCount> wasDown{};
    std::uint8_t wasMoving = 0;  // the up, down, left, right, choose and back bits of the previous frame
    std::string note;            // what the last key did or why it was refused
};

// Opens the screen on F2 where it may open (the title, the in-game menu of a
// single-player game); says why not in a network game.  Returns whether it is open.
bool CheckSettingsKey(Game& game);
// The open screen's frame: keys, changes, drawing.  The screen under it
// waits; the key that closes it is held back from that screen.
void SettingsScreenFrame(Game& game);
// One line as shown: the label, then its value ("JUMP", "SPACE").
std::pair<std::string, std::string> SettingsLine(const Game& game, std::int32_t entry);
// Why `key` cannot be the key of `command`, or nothing when it can.
std::string RefuseBinding(const KeyBindings& keys, std::size_t command, Key key);

}  // namespace zq
