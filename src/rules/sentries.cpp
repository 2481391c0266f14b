// Sentry sight, decisions and movement.
#include "rules/sentries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "rules/move_box.h"
#include "rules/rules_math.h"

namespace zq {
namespace {

int SentryCount(const World& world) { return std::clamp(world.sentryCount, 0, kMaxSentries); }

double Distance(double dx, double dy, double dz) { return std::sqrt(dx * dx + dy * dy + dz * dz); }

// Heading (sentry sign) and pitch from a point towards another.
void AimAt(double dx, double dy, double dz, float& heading, float& pitch) {
    heading = static_cast<float>(-DirectionToHeading(dx, dz));
    pitch = static_cast<float>(DirectionToPitch(dy, std::sqrt(dx * dx + dz * dz)));
}

}  // namespace

bool LineClear(const World& world, CellPos a, CellPos b) {
    const std::int64_t dx = static_cast<std::int64_t>(b.x) - a.x, dy = static_cast<std::int64_t>(b.y) - a.y,
                       dz = static_cast<std::int64_t>(b.z) - a.z;
    const std::int64_t n = std::max({std::llabs(dx), std::llabs(dy), std::llabs(dz)});
    if (n < 2) return true;
    if (n > kSightCells) return false;  // too far to be seen, whatever lies between
    for (std::int64_t i = 1; i <= n; ++i) {
        const double f = static_cast<double>(i) / static_cast<double>(n);
        const int x = a.x + RoundToInt(static_cast<double>(dx) * f), y = a.y + RoundToInt(static_cast<double>(dy) * f),
                  z = a.z + RoundToInt(static_cast<double>(dz) * f);
        const ObjectDef* def = DefinedObject(world, GetCell(world, x, y, z));
        if (def && !def->ladder && !def->lingot) return false;
    }
    return true;
}

bool SentryCanSee(const World& world, const SentryState& s, CellPos target) {
    if (!LineClear(world, {s.cellX, s.cellY, s.cellZ}, target)) return false;
    const double dx = kCellSize * static_cast<double>(target.x) + 256 - s.x;
    const double dy = kCellSize * static_cast<double>(target.y) + 256 - s.y;
    const double dz = kCellSize * static_cast<double>(target.z) + 256 - s.z;
    const double h = DirectionToHeading(dx, dz);
    const double p = DirectionToPitch(dy, std::sqrt(dx * dx + dz * dz));
    if (HeadingCos(h + s.heading) < 0.7) return false;  // outside the cone, or behind
    if (std::fabs(HeadingCos(p + s.pitch)) < 0.3) return false;
    return true;
}

void SentryThink(World& world, const Actors& actors, const SentrySounds& sounds, RulesContext& context) {
    const std::int32_t now = context.time.now;
    const Actor& local = actors.Local();
    for (int n = 0; n < SentryCount(world); ++n) {
        SentryState& s = world.sentries[static_cast<std::size_t>(n)];
        double best = 1e9;
        bool seen = false;
        for (int i = 0; i <= actors.Last(); ++i) {
            const Actor& a = actors.actor[static_cast<std::size_t>(i)];
            if (a.levelIndex != local.levelIndex || a.blendFrom == kPoseDead) continue;
            // A player who reached the exit of a shared level waits there out
            // of play: no sentry sees him (nor chases him any further).
            if (actors.lastPlayer > 0 && CellOf(a.x) == world.exitX && CellOf(a.y) == world.exitY &&
                CellOf(a.z) == world.exitZ)
                continue;
            if (!SentryCanSee(world, s, {CellOf(a.x), CellOf(a.y), CellOf(a.z)})) continue;
            const double d = Distance(a.x - s.x, a.y - s.y, a.z - s.z);
            if (s.mode != 0 && s.lost == 1 && now - s.soundTime > kSentrySoundGapMs && d < best) {
                s.lost = 0;
                s.soundTime = now;
                PlaySoundAt(context, sounds.seen, TruncToInt(s.x), TruncToInt(s.y), TruncToInt(s.z), 255);
                s.prey = i;
                best = d;
            }
            s.mode = 0;  // the chase keeps the prey it began with
            seen = true;
        }
        if (!seen && s.mode == 0) {
            if (s.lost != 1 && now - s.soundTime > kSentrySoundGapMs) {
                s.lost = 1;
                s.soundTime = now;
                PlaySoundAt(context, sounds.lost, TruncToInt(s.x), TruncToInt(s.y), TruncToInt(s.z), 255);
            }
            s.mode = 1;
        }
        const bool arrived = std::fabs(s.span) < 10 || s.stalled;
        switch (s.mode) {
            case 0: {
                const Actor& prey = actors.actor[static_cast<std::size_t>(std::clamp(s.prey, 0, kActorCount - 1))];
                s.destX = prey.x;
                s.destY = prey.y;
                s.destZ = prey.z;
                AimAt(prey.x - s.x, prey.y - s.y, prey.z - s.z, s.heading, s.pitch);
                s.targetHeading = s.heading;
                s.targetPitch = s.pitch;
                break;
            }
            case 1:
                if (arrived) s.mode = 2 + static_cast<std::int32_t>(context.random.Next(1));
                break;
            case 2:
                if (arrived) {
                    s.targetHeading += FrameScale(context.time, 800);
                    s.destX = s.x;
                    s.destY = s.y;
                    s.destZ = s.z;
                    if (context.random.Next(50) == 20) s.mode = 3;
                }
                break;
            case 3:
                if (arrived) {
                    auto draw = [&](std::int32_t size) {
                        return static_cast<float>(kCellSize) * static_cast<float>(context.random.Next(static_cast<std::uint32_t>(std::max(size, 0))));
                    };
                    s.destX = draw(world.sizeX);
                    s.destY = draw(world.sizeY);
                    s.destZ = draw(world.sizeZ);
                    s.targetHeading += static_cast<float>(static_cast<std::int32_t>(context.random.Next(10000)) - 5000);
                    s.mode = 1;
                }
                break;
            default:
                break;
        }
    }
}

void SentryMove(World& world, RulesContext& context) {
    const FrameTime& t = context.time;
    for (int n = 0; n < SentryCount(world); ++n) {
        SentryState& s = world.sentries[static_cast<std::size_t>(n)];
        s.cellX = CellOf(s.x);
        s.cellY = CellOf(s.y);
        s.cellZ = CellOf(s.z);
        s.heading += FrameScale(t, (s.targetHeading - s.heading) * 0.2f);
        s.pitch += FrameScale(t, (s.targetPitch - s.pitch) * 0.2f);
        const float dx = 0.2f * (s.destX - s.x), dy = 0.2f * (s.destY - s.y), dz = 0.2f * (s.destZ - s.z);
        s.span = std::max({std::fabs(dx), std::fabs(dy), std::fabs(dz)}) + 1;
        const float v = s.mode == 0 ? static_cast<float>(RoundToInt(1.5 * s.speed)) : static_cast<float>(s.speed);
        const float ox = s.x, oy = s.y, oz = s.z;
        const float vx = FrameScale(t, v * dx / s.span), vy = FrameScale(t, v * dy / s.span),
                    vz = FrameScale(t, v * dz / s.span);
        MoveBox(world, s.x, s.y, s.z, 0, 2 * s.halfHeight, s.width, vz, vy, vx);
        // Stalled: it covered less than a tenth of the way it asked for (held by a
        // wall or the grid's edge).  Measured against this frame's request so the
        // test means the same at any frame rate.
        const float moved = (s.x - ox) * (s.x - ox) + (s.y - oy) * (s.y - oy) + (s.z - oz) * (s.z - oz);
        const float asked = vx * vx + vy * vy + vz * vz;
        s.stalled = asked * 0.01f > moved;
    }
}

}  // namespace zq
