// Sentries: sight through the grid, the chase / travel / look-around /
// choose-a-destination modes, and their flight through MoveBox.
#pragma once

#include <cstdint>

#include "rules/actor.h"
#include "rules/rules_context.h"
#include "world/world.h"

namespace zq {

inline constexpr int kSightCells = 11;           // a hero 12 or more cells away is never seen
inline constexpr std::int32_t kSentrySoundGapMs = 1000;

struct CellPos {
    int x = 0, y = 0, z = 0;
};

// Sounds of the sentries, from the bank's "General" section.
struct SentrySounds {
    SoundRef seen = kNoSound;
    SoundRef lost = kNoSound;
};

// True when nothing but ladders and ingots lies on the sampled line between
// two cells at most 11 apart.
bool LineClear(const World& world, CellPos from, CellPos to);

// True when the cell is in the sentry's line of sight and inside its view cone.
bool SentryCanSee(const World& world, const SentryState& sentry, CellPos target);

// The decisions of every sentry: who it sees, chasing, and where to wander.
void SentryThink(World& world, const Actors& actors, const SentrySounds& sounds, RulesContext& context);

// Turns and flies every sentry one frame towards its destination.
void SentryMove(World& world, RulesContext& context);

}  // namespace zq
