#include "net/claims.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "rules/mechanisms.h"
#include "rules/move_box.h"
#include "rules/rules_context.h"

namespace zq {

namespace {

// The start point's position, as PutOnStartPoint sets it for a standard hero.
void StartPoint(const World& world, float& x, float& y, float& z) {
    x = static_cast<float>(kCellSize * world.startX + kCellSize / 2);
    y = static_cast<float>(kCellSize * world.startY + 480 - kCellSize / 2);
    z = static_cast<float>(kCellSize * world.startZ + kCellSize / 2);
}

bool InStartCell(const World& world, float x, float y, float z) {
    return CellOf(x) == world.startX && CellOf(y) == world.startY && CellOf(z) == world.startZ;
}

// Objects whose cells the level changes while it runs: one machine may see
// them a moment before another, so a hero inside one is not refused.
bool Changeable(const ObjectDef& def) {
    return def.door || def.dig || def.canPush || def.morph || def.animateCollision || def.blockKey ||
           def.blockSensor || def.recover || def.lever;
}

bool WithinCells(int a, int b, int reach) { return std::abs(a - b) <= reach; }

}  // namespace

const char* ClaimRefusalText(int kind) {
    switch (kind) {
        case kClaimTooFast: return "moved faster than a hero can";
        case kClaimNoPlace: return "stood where no hero can be";
        case kClaimOutOfReach: return "acted on a cell out of its reach";
        case kClaimWrongCell: return "acted on a cell that does not hold what it claimed";
        case kClaimWrongLevel: return "acted in a level it is not in";
        case kClaimLivesRaised: return "claimed more lives than it has";
        default: return "nothing wrong";
    }
}

void ClaimsLevelStarted(ClaimChecks& checks, bool newGame, std::int32_t now) {
    for (ClaimRecord& r : checks.slots) {
        r.level = kEnteringLevel;
        r.time = now;
        if (newGame) r.livesCap = kStartLives;
        r.livesExcessSince = -1;
    }
}

void ClaimsRejoined(ClaimRecord& record, std::int32_t lives, std::int32_t now) {
    record.level = kEnteringLevel;
    record.time = now;
    record.livesCap = lives;
    record.livesExcessSince = -1;
}

bool IsHeroPlace(World& world, float x, float y, float z) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
    const float sx = static_cast<float>(kCellSize) * static_cast<float>(world.sizeX);
    const float sy = static_cast<float>(kCellSize) * static_cast<float>(world.sizeY);
    const float sz = static_cast<float>(kCellSize) * static_cast<float>(world.sizeZ);
    if (x < 0 || z < 0 || y < 0 || x > sx || z > sz || y > sy) return false;
    const ObjectDef* def = DefinedObject(world, GetCell(world, CellOf(x), CellOf(y), CellOf(z)));
    if (!def || Changeable(*def)) return true;
    return !PointInSolid(world, x, y, z);
}

int CheckPosition(World& world, ClaimRecord& record, std::int32_t level, float x, float y, float z, std::int32_t now) {
    if (record.level != level) {
        // Back in the host's level from elsewhere: every hero enters a level
        // at its start point, so that is where it is measured from, from the
        // moment it was last heard of elsewhere.
        record.level = level;
        StartPoint(world, record.x, record.y, record.z);
    }
    int verdict = kClaimOk;
    if (!IsHeroPlace(world, x, y, z)) {
        verdict = kClaimNoPlace;
    } else if (!InStartCell(world, x, y, z)) {  // a death puts any hero back on the start point at once
        const float t = static_cast<float>(std::max(0, now - record.time) + kClaimJitterMs);
        const float across = std::hypot(x - record.x, z - record.z);
        const float rise = y - record.y;
        const bool tooFast = across > kClaimWalkPerMs * t + kClaimSlack ||
                             rise > kClaimRisePerMs * t + kClaimSlack ||
                             -rise > 0.5f * kClaimGravity * t * t + kClaimWalkPerMs * t + kClaimSlack;
        if (tooFast) verdict = kClaimTooFast;
    }
    if (verdict == kClaimOk) {
        record.x = x;
        record.y = y;
        record.z = z;
    }
    // Refused: the hero is sent back to the old place now, and is measured
    // from there and then, so that waiting never earns a longer jump.
    record.time = now;
    return verdict;
}

int CheckState(World& world, ClaimRecord& record, std::int32_t hostLevel, const PlayerStateMsg& m, std::int32_t now) {
    if (m.lives > record.livesCap) {
        if (record.livesExcessSince < 0) record.livesExcessSince = now;
        return now - record.livesExcessSince >= kLivesGraceMs ? kClaimLivesRaised : kClaimHeld;
    }
    record.livesExcessSince = -1;
    if (hostLevel >= 0 && m.levelIndex == hostLevel) {
        const int verdict = CheckPosition(world, record, hostLevel, static_cast<float>(m.x), static_cast<float>(m.y),
                                          static_cast<float>(m.z), now);
        if (verdict != kClaimOk) return verdict;
    } else if (m.levelIndex != record.level) {
        record.level = m.levelIndex;
        record.time = now;
    }
    record.livesCap = m.lives;
    return kClaimOk;
}

int CheckCellEvent(World& world, ClaimRecord& record, std::int32_t hostLevel, const CellEventMsg& m, std::int32_t now) {
    if (hostLevel < 0 || m.level != hostLevel) return kClaimWrongLevel;
    int extra = 0;
    if (m.hasPosition) {
        const int verdict = CheckPosition(world, record, hostLevel, static_cast<float>(m.heroX),
                                          static_cast<float>(m.heroY), static_cast<float>(m.heroZ), now);
        if (verdict != kClaimOk) return verdict;
    } else {
        if (record.level != hostLevel) return kClaimWrongLevel;
        const float walked = kClaimWalkPerMs * static_cast<float>(std::max(0, now - record.time) + kClaimJitterMs);
        extra = std::min(kMostWalkedCells, static_cast<int>(std::ceil(walked / kCellSize)));
    }
    const bool pickup = m.code >= kNetIngot;
    const int reach = (pickup ? kPickupReach : kActionReach) + extra;
    if (!WithinCells(m.x, CellOf(record.x), reach) || !WithinCells(m.z, CellOf(record.z), reach) ||
        !WithinCells(m.y, CellOf(record.y), reach))
        return kClaimOutOfReach;
    const Cell value = GetCell(world, m.x, m.y, m.z);
    const ObjectDef* def = DefinedObject(world, value);
    bool holds = false;
    switch (m.code) {
        case kNetDig: holds = def && def->dig; break;
        case kNetPush: holds = def && def->canPush; break;
        case kNetLever: holds = def && def->lever; break;
        case kNetIngot: holds = def && def->lingot && value == m.value; break;
        case kNetTimer: holds = def && def->timer && value == m.value; break;
        case kNetOneUp: holds = def && def->oneUp && value == m.value; break;
        case kNetLight: holds = def && def->light && value == m.value; break;
        default: break;
    }
    if (!holds) return kClaimWrongCell;
    if (m.code == kNetOneUp) record.livesCap = std::min(record.livesCap + 1, kMaxLives);
    return kClaimOk;
}

}  // namespace zq
