// Hero movement: commands to velocities, gravity and ladders, the physics
// step with landing, the cell the action command works on, death.
#pragma once

#include <cstdint>

#include "rules/actor.h"
#include "rules/rules_context.h"
#include "world/world.h"

namespace zq {

inline constexpr float kJumpSpeed = 1280.0f / 7.0f;  // 182.857
inline constexpr float kLadderHop = 102.4f;
inline constexpr float kGravity = 24.0f;             // fall speed lost per tick
inline constexpr float kHardLanding = -200.0f;

// Keys the hero step reads besides the command flags, and the mouse.
struct HeroKeys {
    bool pitchUp = false;     // Page Up
    bool pitchDown = false;   // Page Down
    bool lookBehind = false;  // numeric-pad 0, Insert or Delete
    bool zoomIn = false;      // numeric-pad +
    bool zoomOut = false;     // numeric-pad -
    std::int32_t mouseMode = 0;  // 0 off, 1 normal, 2 inverted
    float mouseDX = 0, mouseDY = 0;
};

// The local hero's control step (run while he is not stunned).  Returns true
// when the menu command asks the play frame to open the in-game menu.
bool HeroControl(World& world, Actors& actors, Actor& hero, const HeroKeys& keys, RulesContext& context);

// Gravity and ladder hold for the local hero, before ActorPhysics.
void GravityAndLadders(World& world, Actor& hero, RulesContext& context);

// Turning, easing, the collision move, friction and landing of one Actor.
void ActorPhysics(World& world, Actor& actor, RulesContext& context);

// The cell in front of the hero that the action command works on.
void UpdateActionTarget(const World& world, Actor& hero);

// True when a sentry, a deadly or refilled cell, or a deadly moving block touches the hero.
bool HeroKilledTest(World& world, const Actor& hero);

// Starts the hero's death; with no lives left in a single-player game it sets
// context.gameOver.
void KillHero(Actor& hero, RulesContext& context);

}  // namespace zq
