// Drawing the level around the camera: the sky, animated cells, moving blocks
// and the cells of a 25-cell cube, lit by the light map and the eye's lamp.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "assets/mesh.h"
#include "render/renderer.h"
#include "world/world.h"

namespace zq {

inline constexpr int kViewCells = 12;        // cells drawn on each side of the camera cell
inline constexpr int kCellCullRadius = 1280; // point-test radius for whole cells
inline constexpr int kDigAmbient = -80;      // the cell being dug looks darker
inline constexpr int kTransitionFaces = 16;  // faces of a transition mesh

// What the drawing calls in the layers above it.  Empty functions are skipped.
// Drawing never changes the World: the frame's rules (mechanisms, behaviours,
// loop sounds) run before it, in the simulation step.
struct WorldDrawHooks {
    // Gives the cube-face meshes the shape of the cube cell (x, y, z) (its
    // stretched corners) just before that cell's faces are drawn; it must set
    // every vertex it changes from the cell's own values.
    std::function<void(const World&, int x, int y, int z)> shapeCube;
};

struct WorldCamera {
    float x = 0, y = 0, z = 0;  // world units
    int roll = 0, pitch = 0, yaw = 0;
};

struct WorldDrawParams {
    WorldCamera camera;
    float lampRadius = 6144;             // the light carried by the eye
    std::array<int, 3> digCell{-1, -1, -1};
    bool texturesOn = true;              // false: cube faces in their flat colours
    int clearColour = 0;                 // palette index of the fog colour
};

// The six cube-face meshes (sides A..F) the drawing rewrites before each use,
// with their base vertices, and a spare mesh for partial transition meshes.
struct WorldDrawState {
    std::array<MeshRef, 6> cubeFaces{};
    std::array<Mesh, 6> cubeBase{};
    Mesh partial;
};

// Builds fresh cube-face meshes, or shares the given ones (the picture
// state's), so that whoever reshapes those changes what is drawn.
void InitWorldDrawState(WorldDrawState& state);
void InitWorldDrawState(WorldDrawState& state, const std::array<MeshRef, 6>& sharedFaces);

// Cells drawn on each axis, both ends included; `to` < `from` means none.
struct CellWindow {
    std::array<int, 3> from{}, to{};
};
CellWindow CameraWindow(const World& world, float x, float y, float z);

// True when a cube cell's face on `side` (0..5 = A..F) is hidden by a cube
// neighbour and is never submitted.
bool CubeFaceHidden(const World& world, int x, int y, int z, int side);

// Submits the whole frame.  Leaves the frame open: the caller adds heroes,
// sentries and shadows, then calls EndFrame.
void DrawWorld(const World& world, Renderer& renderer, WorldDrawState& state, const WorldDrawParams& params,
               const WorldDrawHooks& hooks);

// The floor height under a point, searching down from its cell: the top of the
// first defined type whose collision box covers the point, or of a moving
// block under it.  Empty when there is none or the point's own cell is full.
std::optional<float> ShadowFloor(const World& world, float x, float y, float z);

// A hero's shadow on the floor under it.
void AddShadow(Renderer& renderer, const World& world, const Mesh& shadow, float x, float y, float z, int heading);

// A transition mesh showing only its first `faces` faces, 170 units in front
// of a camera at the origin.  Draws a whole frame (BeginFrame..EndFrame).
// `wide`: the frame is wider than 4:3 (copies of the mesh close its sides).
void DrawTransition(Renderer& renderer, WorldDrawState& state, const Mesh& mesh, int faces, bool wide = false);

}  // namespace zq
