// The host's checks of what the other players claim about their heroes: how
// far and where they moved, what they reached for, and their lives.  The host
// holds the truth: a claim these rules refuse is neither applied nor relayed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "net/messages.h"
#include "rules/actor.h"
#include "world/world.h"

namespace zq {

// How fast a hero can go, in world units per ms, with room to spare: walking
// settles near 1.1 (50 per 90 ms tick, halved each tick), a ladder climbs at
// 1.7, a spring throws upwards at 4.8 (435 per tick).
inline constexpr float kClaimWalkPerMs = 2.5f;
inline constexpr float kClaimRisePerMs = 5.0f;
// Gravity in units per ms per ms (24 per tick per tick): falls grow with time.
inline constexpr float kClaimGravity = 24.0f / (90.0f * 90.0f);
// Allowance for the link: messages bunch up when they arrive late, so every
// claim gets this much extra time and one cell of extra distance.
inline constexpr std::int32_t kClaimJitterMs = 500;
inline constexpr float kClaimSlack = static_cast<float>(kCellSize);
// Reach in cells between the hero's cell and the cell it acts on: a pick-up
// takes the cell the hero stands in, dig, push and lever the one in front of
// it (one cell further on each axis); one more for the truncated positions.
inline constexpr int kPickupReach = 1;
inline constexpr int kActionReach = 2;
// Without a position in the event, the hero may have walked on since the
// last state the host heard: at most this many cells are added for that.
inline constexpr int kMostWalkedCells = 3;
// A state with more lives than the host allows waits this long for the 1UP
// pick-up that explains it (the pick-up travels reliably, the state not),
// then the player is put back.
inline constexpr std::int32_t kLivesGraceMs = 3000;
// At most one put-back per player this often: claims already on their way
// when the first went out would otherwise each earn another.
inline constexpr std::int32_t kPutBackGapMs = 500;

enum ClaimRefusal : int {
    kClaimHeld = -1,   // not applied yet, not refused either (lives waiting for their 1UP)
    kClaimOk = 0,
    kClaimTooFast,     // moved further than a hero can in the time
    kClaimNoPlace,     // stands where no hero can be (in a wall, outside the grid)
    kClaimOutOfReach,  // acted on a cell beyond the reach of its hero
    kClaimWrongCell,   // the cell does not hold what the action needs
    kClaimWrongLevel,  // acted in a level it is not in
    kClaimLivesRaised, // more lives than the host's rules gave it
    kClaimKindCount
};

// What the log says about a kind of refusal.
const char* ClaimRefusalText(int kind);

// The host's record of one other player.
struct ClaimRecord {
    std::int32_t level = -1;  // the level its last accepted claim was in
    float x = 0, y = 0, z = 0;  // where it was last accepted (in `level`)
    std::int32_t time = 0;    // when (the host's clock)
    std::int32_t livesCap = kStartLives;  // the most lives it may claim
    std::int32_t livesExcessSince = -1;   // when a state first claimed more; -1 none
    std::int32_t lastPutBack = -1000000;
};

struct ClaimChecks {
    std::array<ClaimRecord, kMaxPlayers> slots{};
    std::array<std::int32_t, kClaimKindCount> refused{};  // by kind
};

// The record's level while the player is entering the host's level: its
// first position there is measured from the start point.
inline constexpr std::int32_t kEnteringLevel = -2;

// A level starts on the host: every player starts it from the start point;
// from the title (a new game) everybody has the starting lives again.
void ClaimsLevelStarted(ClaimChecks& checks, bool newGame, std::int32_t now);
// A dropped player came back: at the start point, with `lives`.
void ClaimsRejoined(ClaimRecord& record, std::int32_t lives, std::int32_t now);

// True when a hero may stand at that point: inside the grid and not inside a
// solid object the level never changes (doors, holes, pushed blocks and the
// like may differ for a moment between machines).
bool IsHeroPlace(World& world, float x, float y, float z);

// A position claimed in the host's level `level` (the host's loaded World).
// On success the record takes it; on a refusal the record's position stands
// and its time becomes `now` (the player is sent back there now).
int CheckPosition(World& world, ClaimRecord& record, std::int32_t level, float x, float y, float z, std::int32_t now);

// A state message.  `hostLevel` is the level the host plays (-1: none).
int CheckState(World& world, ClaimRecord& record, std::int32_t hostLevel, const PlayerStateMsg& m, std::int32_t now);

// A cell event: the level, the position it carries, the reach and the cell.
// An accepted 1UP raises the lives the player may claim.
int CheckCellEvent(World& world, ClaimRecord& record, std::int32_t hostLevel, const CellEventMsg& m, std::int32_t now);

}  // namespace zq
