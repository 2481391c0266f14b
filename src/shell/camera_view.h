// Keeps the third-person eye out of walls and out of the hero.  The follow
// camera slides along walls with its collision box and can end up right
// behind the hero's back (a wall behind him) or, after its long jumps, inside
// rock; the eye handed to the renderer is therefore checked against the
// cells between the hero (his head and his middle) and the eye every frame.  Only the drawing
// sees the result: the camera record and the game rules are untouched.
#pragma once

#include "render/world_draw.h"
#include "world/world.h"

namespace zq {

inline constexpr float kEyeWallMargin = 48;      // world units kept between the eye and a solid cell
// The eye rises over the hero when nearer than this: from the full height the
// hero's helmet takes a fifth of the view, not all of it.
inline constexpr float kEyeMinDistance = 640;
// A raised eye looks this far beyond the hero, away from the eye (in full
// when raised by the whole kEyeMinDistance, less when raised less), so the
// view shows the room in front of him rather than the top of his head.
inline constexpr float kEyeLookAhead = 384;
inline constexpr float kEyeHeadRise = 150;       // from the hero's centre to his head, where the view line starts
inline constexpr float kHeroSeeThroughDistance = 450;  // nearer, the hero is drawn see-through
inline constexpr int kHeroSeeThroughPercent = 50;

struct EyePlacement {
    WorldCamera eye;
    bool heroHidden = false;     // the eye is inside the hero's box: do not draw him
    int heroTransparency = 0;    // percent, for a hero the eye is very near
};

// True when the point lies inside the drawn cube of a solid cell.
bool PointInSolidCell(const World& world, float x, float y, float z);
// The eye `wanted` (looking at the hero) moved in along the view line to the
// first solid cell, raised over the hero when that leaves it too near, and
// turned to look at him (and beyond him, when raised) again when it moved.
// `heroHalfWidth` and `heroHalfHeight` are half his box.
EyePlacement ClearEye(const World& world, const WorldCamera& wanted, float heroX, float heroY, float heroZ,
                      float heroHalfWidth, float heroHalfHeight);

}  // namespace zq
