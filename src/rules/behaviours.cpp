// Event markers and clip markers.
#include "rules/behaviours.h"

#include <algorithm>
#include <cstdlib>

#include "rules/mechanisms.h"

namespace zq {
namespace {

// The area commands visit each cell of their box once; the box is clamped to
// the grid first, and the cells within it are rationed per frame
// (kAreaCellsPerFrame).
struct Span {
    int from, to, dir;
    std::int64_t Count() const { return dir > 0 ? (from > to ? 0 : to - from + 1) : from - to + 1; }
};

Span AxisSpan(int a, int b, int size) {
    int dir = b >= a ? 1 : -1;
    int lo = std::clamp(std::min(a, b), 0, size), hi = std::clamp(std::max(a, b), -1, size - 1);
    if (lo > hi) return {0, -1, 1};  // nothing of the box lies in the grid
    return dir > 0 ? Span{lo, hi, 1} : Span{hi, lo, -1};
}

// Works on the marker's area box in the grid's storage order, Z outermost,
// then Y, then X, each towards the second corner: visits the cells from
// m.areaDone on, at most `budget` of them, and takes what it used from
// `budget`.  True when the box is finished (m.areaDone is then back at 0).
template <typename Visit>
bool VisitArea(const World& world, EventMarker& m, const Step& step, std::int64_t& budget, Visit visit) {
    const auto& a = step.args;
    auto at = [](std::int64_t base, std::int64_t off) {
        return static_cast<int>(std::clamp<std::int64_t>(base + off, -1, kMaxLevelAxis + 1));
    };
    const Span sx = AxisSpan(at(m.x, a[0]), at(m.x, a[3]), world.sizeX);
    const Span sy = AxisSpan(at(m.y, a[1]), at(m.y, a[4]), world.sizeY);
    const Span sz = AxisSpan(at(m.z, a[2]), at(m.z, a[5]), world.sizeZ);
    const std::int64_t nx = sx.Count(), ny = sy.Count();
    const std::int64_t total = nx * ny * sz.Count();
    const std::int64_t first = std::clamp<std::int64_t>(m.areaDone, 0, total);
    const std::int64_t count = std::min(total - first, std::max<std::int64_t>(budget, 0));
    // The box position of cell number `first`, then counted on like an odometer.
    std::int64_t ix = 0, iy = 0, iz = 0;
    if (count > 0) {
        iz = first / (nx * ny);
        iy = first / nx % ny;
        ix = first % nx;
    }
    for (std::int64_t i = 0; i < count; ++i) {
        visit(static_cast<int>(sx.from + sx.dir * ix), static_cast<int>(sy.from + sy.dir * iy),
              static_cast<int>(sz.from + sz.dir * iz));
        if (++ix == nx) {
            ix = 0;
            if (++iy == ny) {
                iy = 0;
                ++iz;
            }
        }
    }
    budget -= count;
    m.areaDone = first + count;
    if (m.areaDone < total) return false;
    m.areaDone = 0;
    return true;
}

// |s|/2 >= |c - m - s/2|: the actor's cell lies between m and m + s, bounds included.
bool WithinArea(std::int64_t cell, std::int64_t marker, std::int64_t span) {
    double half = static_cast<double>(span) / 2.0;
    return std::abs(half) >= std::abs(static_cast<double>(cell - marker) - half);
}

bool PlayerInArea(const Actors& actors, const EventMarker& m, const Step& step) {
    const auto& a = step.args;
    const std::int64_t sx = static_cast<std::int64_t>(a[0]) + a[3], sy = static_cast<std::int64_t>(a[1]) + a[4],
                       sz = static_cast<std::int64_t>(a[2]) + a[5];
    for (int i = 0; i <= actors.Last(); ++i) {
        const Actor& actor = actors.actor[static_cast<std::size_t>(i)];
        if (WithinArea(CellOf(actor.x), m.x, sx) && WithinArea(CellOf(actor.y), m.y, sy) &&
            WithinArea(CellOf(actor.z), m.z, sz))
            return true;
    }
    return false;
}

// A marker coordinate moved by a script offset, kept far from overflow.
std::int32_t Offset(std::int32_t base, std::int32_t delta) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(base) + delta, -kMaxLevelAxis * 4,
                                                              kMaxLevelAxis * 4));
}

}  // namespace

std::int64_t RunBehaviours(World& world, const Actors& actors, RulesContext& context) {
    const std::int32_t now = context.time.now;
    std::int64_t budget = kAreaCellsPerFrame;
    for (EventMarker& m : world.eventMarkers) {
        // Free slots have x = -666; a step past 255 (or below 0) means the behaviour has ended.
        if (m.x < 0 || m.x > world.sizeX || m.y < 0 || m.z < 0 || m.z > world.sizeZ) continue;
        if (m.step < 0 || m.step >= kStepCount || m.behaviour < 0 || m.behaviour >= kBehaviourCount) continue;
        const Step& step = world.behaviours[static_cast<std::size_t>(m.behaviour)].steps[static_cast<std::size_t>(m.step)];
        const auto& a = step.args;
        const std::int32_t oldStep = m.step;
        switch (static_cast<Command>(step.command)) {
            case Command::None:
                ++m.step;
                break;
            case Command::WaitForPlayer:
                if (PlayerInArea(actors, m, step)) ++m.step;
                break;
            case Command::MakeFall:
                if (VisitArea(world, m, step, budget, [&](int x, int y, int z) {
                        StartFallingBlock(world, x, y, z, 0, kMakeFallSpeed, 0, context);
                    }))
                    ++m.step;
                break;
            case Command::PutObject: {
                const Cell type = static_cast<Cell>(a[6] & 0xFFFF);
                if (VisitArea(world, m, step, budget, [&](int x, int y, int z) { SetCell(world, x, y, z, type); }))
                    ++m.step;
                break;
            }
            case Command::Goto:
                m.step = a[0];
                break;
            case Command::Delay:
                if (static_cast<std::int64_t>(now) - m.stepStart >= a[0]) ++m.step;
                break;
            case Command::PlayClip:
                if (a[0] >= 0 && a[0] < kClipCount && context.startClip) context.startClip(a[0]);
                ++m.step;
                break;
            case Command::MoveTo:
                if (!m.moving) {
                    StartTravellingBlock(world, m.x, m.y, m.z, a[3], a[2], a[1], a[0], context);
                    m.moving = 1;
                }
                // Checked in the starting frame too: a step begun long ago is already done.
                if (static_cast<std::int64_t>(a[3]) + kMoveToSettleMs <
                           static_cast<std::int64_t>(now) - m.stepStart) {
                    m.moving = 0;
                    m.x = Offset(m.x, a[0]);
                    m.y = Offset(m.y, a[1]);
                    m.z = Offset(m.z, a[2]);
                    ++m.step;
                }
                break;
            case Command::TransformTo:
                SetCell(world, m.x, m.y, m.z, static_cast<Cell>(a[0] & 0xFFFF));
                ++m.step;
                break;
            default:
                break;  // an unknown command holds the marker where it is
        }
        if (m.step != oldStep) {
            m.stepStart = now;
            m.areaDone = 0;  // a step changed by GOTO or a load never inherits a half-done box
        }
    }
    return kAreaCellsPerFrame - budget;
}

void CheckClipMarkers(World& world, const Actor& hero, RulesContext& context) {
    const int cx = CellOf(hero.x), cy = CellOf(hero.y), cz = CellOf(hero.z);
    for (ClipMarker& m : world.clipMarkers) {
        if (m.x != cx || m.y != cy || m.z != cz || m.clip == context.currentClip) continue;
        if (m.clip < 0 || m.clip >= kClipCount) continue;  // names no clip: starts nothing
        if (context.startClip) context.startClip(m.clip);
        if (world.clips[static_cast<std::size_t>(m.clip)].playedSingle) m.x = kSpentMarker;
    }
}

}  // namespace zq
