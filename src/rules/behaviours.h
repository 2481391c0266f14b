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

// The area commands (MAKEFALL, PUTOBJECT) visit at most this many cells in
// one frame, over all markers together, so no script can stall a frame.  A
// box larger than what is left of the frame's allowance is worked through in
// the following frames, in the same cell order, and its marker advances in
// the frame that finishes it.  Level scripts fill a few thousand cells at a
// time and never come near it; a PUTOBJECT over a whole 1024 x 64 x 1024 grid
// takes 64 frames.
inline constexpr std::int64_t kAreaCellsPerFrame = std::int64_t{1} << 20;

// One step of every live event marker, in index order.  Returns the number of
// cells the area commands visited (never more than kAreaCellsPerFrame).
std::int64_t RunBehaviours(World& world, const Actors& actors, RulesContext& context);

// Starts the clip of every clip marker in the local hero's cell (unless that
// clip is already playing); single-shot clips spend their marker.
void CheckClipMarkers(World& world, const Actor& hero, RulesContext& context);

}  // namespace zq
