#include "shell/camera_view.h"

#include <algorithm>
#include <cmath>

#include "rules/rules_math.h"

namespace zq {

namespace {

constexpr float kRayStep = 16;  // world units between the samples of a view line

struct Point {
    float x, y, z;
};

float Distance(const Point& a, const Point& b) {
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The last point of the segment from `from` to `to` that keeps kEyeWallMargin
// clear of every solid cell along the way (`from` itself when even that
// little is blocked).
Point ClearAlong(const World& world, const Point& from, const Point& to) {
    const float length = Distance(from, to);
    if (length < 1) return to;
    const float ux = (to.x - from.x) / length, uy = (to.y - from.y) / length, uz = (to.z - from.z) / length;
    // Every sample is tested with the margin ahead of it, so the eye never
    // stands closer to a wall than the margin, even where the segment ends.
    for (float t = 0; t <= length; t += kRayStep) {
        const float ahead = std::min(t + kEyeWallMargin, length + kEyeWallMargin);
        if (PointInSolidCell(world, from.x + ux * ahead, from.y + uy * ahead, from.z + uz * ahead)) {
            const float keep = std::max(0.0f, t - kRayStep);
            return {from.x + ux * keep, from.y + uy * keep, from.z + uz * keep};
        }
    }
    return to;
}

}  // namespace

bool PointInSolidCell(const World& world, float x, float y, float z) {
    if (x < 0 || y < 0 || z < 0) return false;
    const int cx = CellOf(x), cy = CellOf(y), cz = CellOf(z);
    const Cell cell = GetCell(world, cx, cy, cz);
    if (cell == 0 || cell >= world.objectDefs.size()) return false;
    const ObjectDef& def = world.objectDefs[cell];
    if (def.undefined || !def.cube) return false;
    // A sunken cube (a slope) is solid only below its lowered top.
    const float sink = static_cast<float>(GetStretch(world, cx, cy, cz)) * kCellSize / 100;
    return y - static_cast<float>(cy * kCellSize) < static_cast<float>(kCellSize) - sink;
}

EyePlacement ClearEye(const World& world, const WorldCamera& wanted, float heroX, float heroY, float heroZ,
                      float heroHalfWidth, float heroHalfHeight) {
    EyePlacement out;
    out.eye = wanted;
    const Point hero{heroX, heroY, heroZ};
    const Point head{heroX, heroY + kEyeHeadRise, heroZ};
    // Both his head and his middle must see the eye: from the head alone an
    // eye above and behind him can look at his back across the edge of a
    // floor or a roof.
    auto clearOfHero = [&](const Point& to) { return ClearAlong(world, hero, ClearAlong(world, head, to)); };
    Point eye = clearOfHero({wanted.x, wanted.y, wanted.z});

    // Too near (a wall right behind him): go up over his head, as far as the
    // ceiling lets the eye.
    float rise = 0;
    if (Distance(eye, hero) < kEyeMinDistance) {
        const float dx = eye.x - heroX, dz = eye.z - heroZ;
        const float flat = std::min(kEyeMinDistance, std::sqrt(dx * dx + dz * dz));
        const float wantY = heroY + std::sqrt(kEyeMinDistance * kEyeMinDistance - flat * flat);
        if (wantY > eye.y) {
            const Point raised = ClearAlong(world, eye, {eye.x, wantY, eye.z});
            // The view lines from him to the raised eye must be clear as well.
            const float before = eye.y;
            eye = clearOfHero(raised);
            rise = std::max(0.0f, eye.y - before);
        }
    }

    const bool moved = eye.x != wanted.x || eye.y != wanted.y || eye.z != wanted.z;
    if (moved) {
        out.eye.x = static_cast<float>(RoundToInt(eye.x));
        out.eye.y = eye.y;
        out.eye.z = static_cast<float>(RoundToInt(eye.z));
        // Beyond him, on the line from the eye over his head.
        const double awayX = heroX - out.eye.x, awayZ = heroZ - out.eye.z;
        const double flat = std::sqrt(awayX * awayX + awayZ * awayZ);
        const double ahead = flat < 1 ? 0 : kEyeLookAhead * std::min(1.0f, rise / kEyeMinDistance) / flat;
        const double lookX = heroX + awayX * ahead, lookZ = heroZ + awayZ * ahead;
        const double dx = lookX - out.eye.x, dy = heroY - out.eye.y, dz = lookZ - out.eye.z;
        out.eye.yaw = TruncToInt(DirectionToHeading(dx, dz));
        double pitch = DirectionToPitch(dy, std::sqrt(dx * dx + dz * dz));
        if (pitch > 16384) pitch -= 32768;
        out.eye.pitch = TruncToInt(pitch);
        out.eye.roll = 0;
    }

    const Point final{out.eye.x, out.eye.y, out.eye.z};
    out.heroHidden = std::fabs(final.x - heroX) < heroHalfWidth + kEyeWallMargin &&
                     std::fabs(final.z - heroZ) < heroHalfWidth + kEyeWallMargin &&
                     std::fabs(final.y - heroY) < heroHalfHeight + kEyeWallMargin;
    if (!out.heroHidden && Distance(final, hero) < kHeroSeeThroughDistance) out.heroTransparency = kHeroSeeThroughPercent;
    return out;
}

}  // namespace zq
