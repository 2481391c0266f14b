// Box collision: the one sweep every mover goes through (heroes, sentries,
// moving blocks, the camera), the height of an object's top face, the cube
// corners taken from the stretch plane, and point tests against the grid.
#pragma once

#include <array>
#include <cstdint>

#include "world/world.h"

namespace zq {

inline constexpr float kMaxBoxStep = 510.0f;  // per axis per call: never skip a whole cell

// Height of the top face of a box at a cell-local point.  Ymax1 is the height at
// (Xmin, Zmin), Ymax2 at (Xmax, Zmin), Ymax3 at (Xmax, Zmax), Ymax4 at (Xmin, Zmax).
// A box with no extent on Z uses its Zmin edge (Ymax1, Ymax2); with no extent on
// X, its Xmin edge — flat boxes get a top instead of a division by zero.
std::int32_t SurfaceTop(const Bounds& box, float lz, float lx);

// Recomputes the corners and bottom of a cube in cell (i, j, k) from the stretch
// plane and stores them in its object type (all cells of the type share them).
// Does nothing for a cell that holds no cube.
void RefreshCubeCorners(World& world, int i, int j, int k);

// Gives the six cube-face meshes (sides A..F, as BuildCubeFaceMeshes makes
// them) the shape of the cube in cell (i, j, k): each top vertex drops to its
// corner's height, each bottom vertex rises to the cube's bottom.  Every
// vertex height is set from the cell alone, so faces shaped for one cell never
// leak into the next.
void ShapeCubeFaces(const World& world, int i, int j, int k, const std::array<MeshRef, 6>& faces);

// The top of the object in cell (i, j, k) at a local point, cube corners first
// refreshed; 0 for a cell without an object.
std::int32_t SurfaceTop(World& world, int i, int j, int k, float lz, float lx);

// Point tests against the object of the cell that holds the point.
bool PointInSolid(World& world, float x, float y, float z);
bool PointInSolidStep(World& world, float step, float x, float y, float z);
bool PointInBox(World& world, float x, float y, float z);

// True when a point given in a moving block's frame (0..511 across the block)
// lies inside the box: Xmin..Xmax, Zmin..Zmax, Ymin..top.
bool InsideBlockBox(const Bounds& box, float px, float py, float pz);

// Moves the box centred on (x, y, z) by (vx, vy, vz), one axis after the other
// (X, Z, then Y), against the objects around it and the live moving blocks.
// Steps of at most `step` are climbed.  Returns true when the vertical move hit
// something, the box was held at the bottom or top of the World, or it touched
// a moving block.
bool MoveBox(World& world, float& x, float& y, float& z, std::int32_t step, std::int32_t boxHeight,
             std::int32_t boxWidth, float vz, float vy, float vx);

}  // namespace zq
