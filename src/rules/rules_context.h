// The call record every rule function takes: this frame's time, the random
// generator, and the ways out of the rules (sounds, clips, network sends).
// The program owns one for the whole game and refreshes `time` every frame;
// tests and headless runs fill only what they watch.
#pragma once

#include <cstdint>
#include <functional>

#include "core/frame_time.h"
#include "core/random.h"
#include "world/world.h"

namespace zq {

// Cell events sent to the other players of a network game.
enum NetCode : std::int32_t {
    kNetDig = 100,
    kNetPush = 101,
    kNetLever = 102,
    kNetIngot = 103,
    kNetTimer = 104,
    kNetOneUp = 105,
    kNetLight = 106,
};

// A shared level of a network game as its host sees it: won once every
// player with lives left stands in the exit, lost once nobody has lives.
enum class SharedLevel { Playing, Won, Lost };

struct RulesContext {
    explicit RulesContext(Random& generator) : random(generator) {}

    Random& random;
    FrameTime time{};
    bool networkGame = false;
    bool menuOpen = false;          // the in-game menu is shown (heroes, sentries and the countdown wait)
    std::int32_t currentClip = -1;  // the clip playing now, from the clip player
    // The working meshes of animated objects and heroes are blended for
    // drawing; a tool that never draws (the level checker) turns this off,
    // which leaves every rule and the saved state as they are.
    bool blendMeshes = true;

    // A positioned sound (world units) at volume 0..255.
    std::function<void(SoundRef sound, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t volume)> playSound;
    // A sound of the interface (camera zoom clicks).
    std::function<void(SoundRef sound)> playInterfaceSound;
    SoundRef clickSound = kNoSound;
    // Starts an entry 0..64 of the clip table.
    std::function<void(std::int32_t clip)> startClip;
    // A cell event for the other players; `value` is the cell value, heading or refill time.
    std::function<void(std::int32_t code, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t value)> sendEvent;
    // Called once per 90 ms of game time (texture animation).
    std::function<void()> gameTick;
    // Called at most every 66 ms (positional sound levels follow the listener).
    std::function<void()> updateSounds;

    // Kept across frames by MechanismsStep.
    std::int32_t tickRemainderMs = 0;
    std::int32_t lastSoundUpdate = 0;

    // Set by KillHero when the last life of a single-player game is lost: the
    // shell fades back to the title.
    bool gameOver = false;
};

inline void PlaySoundAt(RulesContext& context, SoundRef sound, std::int32_t x, std::int32_t y, std::int32_t z,
                        std::int32_t volume) {
    if (sound != kNoSound && context.playSound) context.playSound(sound, x, y, z, volume);
}

inline void SendEvent(RulesContext& context, std::int32_t code, std::int32_t x, std::int32_t y, std::int32_t z,
                      std::int32_t value) {
    if (context.networkGame && context.sendEvent) context.sendEvent(code, x, y, z, value);
}

// The object type of a cell value, or null when the value names no defined type
// (out of range or without a section in the bank file).
inline const ObjectDef* DefinedObject(const World& world, std::int64_t value) {
    if (!IsObjectIndex(value)) return nullptr;
    const ObjectDef& def = world.objectDefs[static_cast<std::size_t>(value)];
    return def.undefined ? nullptr : &def;
}
inline ObjectDef* DefinedObject(World& world, std::int64_t value) {
    if (!IsObjectIndex(value)) return nullptr;
    ObjectDef& def = world.objectDefs[static_cast<std::size_t>(value)];
    return def.undefined ? nullptr : &def;
}

// A cell counts as empty when its value names no defined object type.
inline bool IsEmptyCell(const World& world, int x, int y, int z) {
    return DefinedObject(world, GetCell(world, x, y, z)) == nullptr;
}

}  // namespace zq
