// The level's small scripts at run time: every live event marker executes one
// step of its behaviour per frame; clip markers start clips when the hero
// steps into their cell.
#pragma once

#include "rules/actor.h"
#include "rules/rules_context.h"
#include "world/world.h"

namespace zq {

inline constexpr std::int32_t kMoveToSettleMs = 50;  // a MOVETO marker follows its block this long after arrival
inline constexpr float kMakeFallSpeed = -20.0f;

// One step of every live event marker, in index order.
void RunBehaviours(World& world, const Actors& actors, RulesContext& context);

// Starts the clip of every clip marker in the local hero's cell (unless that
// clip is already playing); single-shot clips spend their marker.
void CheckClipMarkers(World& world, const Actor& hero, RulesContext& context);

}  // namespace zq
