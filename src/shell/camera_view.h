// Keeps the third-person eye out of walls and out of the hero.  The follow
// camera slides along walls with its collision box and can end up right
// behind the hero's back (a wall behind him) or, after its long jumps, inside
// rock; the eye handed to the renderer is therefore checked against the
// cells between the hero's head and the eye every frame.  Only the drawing
// sees the result: the camera record and the game rules are untouched.
#pragma once

#include "render/world_draw.h"
#include "world/world.h"

namespace zq {

inline constexpr float kEyeWallMargin = 48;      // world units kept between the eye and a solid cell
inline constexpr float kEyeMinDistance = 400;    // the eye rises over the hero when nearer than this
inline constexpr float kEyeHeadRise = 150;       // from the hero's centre to his head, where the view line starts
inline constexpr float kHeroSeeThroughDistance = 360;  // nearer, the hero is drawn see-through
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
// turned to look at him again when it moved.  `heroHalfWidth` and
// `heroHalfHeight` are half his box.
EyePlacement ClearEye(const World& world, const WorldCamera& wanted, float heroX, float heroY, float heroZ,
                      float heroHalfWidth, float heroHalfHeight);

}  // namespace zq
