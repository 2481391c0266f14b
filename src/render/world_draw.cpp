// The level around the camera, handed to a renderer once per play frame.
#include "render/world_draw.h"

#include <algorithm>
#include <cmath>

namespace zq {

namespace {

// Neighbour offsets of cube sides A..F: z-1, x+1, z+1, x-1, y+1, y-1.
constexpr std::array<std::array<int, 3>, 6> kSideOffset{{{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}};

// Nearest whole unit, saturating (a camera or block far out must not overflow).
int Round(float v) {
    const double r = std::nearbyint(static_cast<double>(v));
    if (!(r == r)) return 0;
    return static_cast<int>(std::clamp(r, -2147483648.0, 2147483647.0));
}

const ObjectDef* DefinedType(const World& world, int value) {
    if (!IsObjectIndex(value) || value == 0) return nullptr;
    const ObjectDef& def = world.objectDefs[static_cast<std::size_t>(value)];
    return def.undefined ? nullptr : &def;
}

bool IsCubeType(const World& world, int value) {
    const ObjectDef* def = DefinedType(world, value);
    return def && def->cube;
}

const Mesh* TypeMesh(const ObjectDef& def) {
    if (def.workingMesh) return def.workingMesh.get();
    return def.meshes[0].get();
}

void PrepareFace(WorldDrawState& state, const ObjectDef& def, int side, bool texturesOn) {
    Mesh& mesh = *state.cubeFaces[static_cast<std::size_t>(side)];
    for (MeshFace& face : mesh.faces) {
        face.material = texturesOn ? def.faceTexture[static_cast<std::size_t>(side)] : def.faceColor[static_cast<std::size_t>(side)];
        face.kind = texturesOn ? 0 : 3;
    }
}

}  // namespace

void InitWorldDrawState(WorldDrawState& state) { InitWorldDrawState(state, BuildCubeFaceMeshes()); }

void InitWorldDrawState(WorldDrawState& state, const std::array<MeshRef, 6>& sharedFaces) {
    state.cubeFaces = sharedFaces;
    const auto fresh = BuildCubeFaceMeshes();
    for (std::size_t i = 0; i < state.cubeFaces.size(); ++i) {
        if (!state.cubeFaces[i]) state.cubeFaces[i] = fresh[i];
        state.cubeBase[i] = *fresh[i];
    }
    state.partial.faces.reserve(kTransitionFaces);
}

CellWindow CameraWindow(const World& world, float x, float y, float z) {
    const std::array<int, 3> camera{CellOf(x), CellOf(y), CellOf(z)};
    const std::array<int, 3> size{world.sizeX, world.sizeY, world.sizeZ};
    CellWindow window;
    for (std::size_t a = 0; a < 3; ++a) {
        window.from[a] = std::max(0, camera[a] - kViewCells);
        window.to[a] = std::min(size[a] - 1, camera[a] + kViewCells);
    }
    return window;
}

bool CubeFaceHidden(const World& world, int x, int y, int z, int side) {
    const auto& o = kSideOffset[static_cast<std::size_t>(side)];
    return IsCubeType(world, GetCell(world, x + o[0], y + o[1], z + o[2]));
}

void DrawWorld(const World& world, Renderer& renderer, WorldDrawState& state, const WorldDrawParams& params,
               const WorldDrawHooks& hooks) {
    if (!state.cubeFaces[0]) InitWorldDrawState(state);
    for (std::size_t i = 0; i < state.cubeFaces.size(); ++i) {
        Mesh& face = *state.cubeFaces[i];
        face.x = state.cubeBase[i].x;  // same sizes: no allocation
        face.y = state.cubeBase[i].y;
        face.z = state.cubeBase[i].z;
    }

    const WorldCamera& cam = params.camera;
    const CellWindow window = CameraWindow(world, cam.x, cam.y, cam.z);
    const std::array<int, 3> cameraCell{CellOf(cam.x), CellOf(cam.y), CellOf(cam.z)};

    renderer.ClearFrame(params.clearColour);

    if (world.outsideLevel && world.skyMesh) {
        // The sky turns with the camera but never moves, and is fully lit.
        renderer.BeginFrame(0, 0, 0, cam.roll, cam.pitch, cam.yaw);
        renderer.AddLight(0, 0, 0, 1000000);
        renderer.AddMesh(*world.skyMesh, 0, 0, 0, -1, 0, 0, 0, 0, 0);
        renderer.EndFrame();
    }

    renderer.BeginFrame(Round(cam.x), Round(cam.y), Round(cam.z), cam.roll, cam.pitch, cam.yaw);
    renderer.AddLight(Round(cam.x), Round(cam.y), Round(cam.z), Round(params.lampRadius));

    for (const CellAnimation& anim : world.cellAnimations) {
        if (!anim.inUse || !anim.mesh) continue;
        const std::array<float, 3> pos{anim.x, anim.y, anim.z};
        bool far = false;
        for (std::size_t a = 0; a < 3; ++a) far = far || std::fabs(pos[a] / kCellSize - cameraCell[a]) >= kViewCells;
        if (far) continue;
        const ObjectDef* def = DefinedType(world, anim.object);
        const int transparency = def ? def->transparency : 0;
        renderer.AddMesh(*anim.mesh, Round(anim.x), Round(anim.y), Round(anim.z), -1, transparency, 0, 0, 0, 0);
    }

    const int lastBlock = std::min(world.lastMovingBlock, kMaxMovingBlocks - 1);
    for (int i = 0; i <= lastBlock; ++i) {
        const MovingBlock& block = world.movingBlocks[static_cast<std::size_t>(i)];
        const ObjectDef* def = DefinedType(world, block.value);
        if (!def) continue;
        const int bx = Round(block.x), by = Round(block.y), bz = Round(block.z);
        if (def->cube) {
            for (int side = 0; side < 6; ++side) {
                PrepareFace(state, *def, side, params.texturesOn);
                renderer.AddMesh(*state.cubeFaces[static_cast<std::size_t>(side)], bx, by, bz, -1, def->transparency, 0, 0, 0, 0);
            }
        } else if (const Mesh* mesh = TypeMesh(*def)) {
            renderer.AddMesh(*mesh, bx, by, bz, -1, def->transparency, 0, 0, 0, 0);
        }
    }

    for (int x = window.from[0]; x <= window.to[0]; ++x) {
        for (int y = window.from[1]; y <= window.to[1]; ++y) {
            for (int z = window.from[2]; z <= window.to[2]; ++z) {
                const Cell value = GetCell(world, x, y, z);
                if (value == 0 || !IsObjectIndex(value)) continue;
                const ObjectDef& def = world.objectDefs[value];
                int ambient = GetLight(world, x, y, z) - 128;
                if (x == params.digCell[0] && y == params.digCell[1] && z == params.digCell[2] && def.dig && !def.undefined)
                    ambient = kDigAmbient;
                const int cxw = x * kCellSize + kCellSize / 2, cyw = y * kCellSize + kCellSize / 2,
                          czw = z * kCellSize + kCellSize / 2;
                if (def.undefined || !renderer.IsPointVisible(kCellCullRadius, cxw, cyw, czw)) continue;
                if (!def.cube) {
                    if (const Mesh* mesh = TypeMesh(def)) renderer.AddMesh(*mesh, cxw, cyw, czw, -1, def.transparency, ambient, 0, 0, 0);
                    continue;
                }
                if (hooks.shapeCube) hooks.shapeCube(world, x, y, z);
                for (int side = 0; side < 6; ++side) {
                    if (CubeFaceHidden(world, x, y, z, side)) continue;
                    PrepareFace(state, def, side, params.texturesOn);
                    renderer.AddMesh(*state.cubeFaces[static_cast<std::size_t>(side)], cxw, cyw, czw, -1, def.transparency, ambient, 0, 0, 0);
                }
            }
        }
    }
}

std::optional<float> ShadowFloor(const World& world, float x, float y, float z) {
    const int cx = CellOf(x), cy = CellOf(y), cz = CellOf(z);
    if (GetCell(world, cx, cy, cz) != 0) return std::nullopt;
    const float localX = x - static_cast<float>(cx * kCellSize), localZ = z - static_cast<float>(cz * kCellSize);
    for (int j = cy - 1; j >= 0; --j) {
        const ObjectDef* def = DefinedType(world, GetCell(world, cx, j, cz));
        if (def && def->collision) {
            const Bounds& b = def->currentBounds;
            if (localX >= static_cast<float>(b[kXmin]) && localX <= static_cast<float>(b[kXmax]) &&
                localZ >= static_cast<float>(b[kZmin]) && localZ <= static_cast<float>(b[kZmax])) {
                const int top = std::max({b[kYmax1], b[kYmax2], b[kYmax3], b[kYmax4]});
                return static_cast<float>(j * kCellSize + top);
            }
        }
    }
    const int lastBlock = std::min(world.lastMovingBlock, kMaxMovingBlocks - 1);
    std::optional<float> best;
    for (int i = 0; i <= lastBlock; ++i) {
        const MovingBlock& block = world.movingBlocks[static_cast<std::size_t>(i)];
        if (!DefinedType(world, block.value)) continue;
        const float top = block.y + kCellSize / 2.0f;
        if (std::fabs(block.x - x) < kCellSize / 2.0f && std::fabs(block.z - z) < kCellSize / 2.0f && top <= y &&
            (!best || top > *best))
            best = top;
    }
    return best;
}

void AddShadow(Renderer& renderer, const World& world, const Mesh& shadow, float x, float y, float z, int heading) {
    const std::optional<float> floor = ShadowFloor(world, x, y, z);
    if (!floor || *floor >= y) return;
    renderer.AddMesh(shadow, Round(x), Round(*floor + 5), Round(z), -1, 0, 0, 0, 0, heading);
}

void DrawTransition(Renderer& renderer, WorldDrawState& state, const Mesh& mesh, int faces, bool wide) {
    Mesh& partial = state.partial;
    partial.x = mesh.x;
    partial.y = mesh.y;
    partial.z = mesh.z;
    const std::size_t count = std::min(mesh.faces.size(), static_cast<std::size_t>(std::clamp(faces, 0, kTransitionFaces)));
    partial.faces.assign(mesh.faces.begin(), mesh.faces.begin() + static_cast<std::ptrdiff_t>(count));
    renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    renderer.AddLight(0, 0, 0, 10000);
    renderer.AddMesh(partial, 0, 0, 170, -1, 0, 0, 0, 0, 0);
    if (wide && !mesh.x.empty()) {
        // The transitions are made to cover a 4:3 view: a wide one gets a
        // copy on each side, so the sides close with the middle.
        const auto [least, most] = std::minmax_element(mesh.x.begin(), mesh.x.end());
        const int across = *most - *least;
        renderer.AddMesh(partial, -across, 0, 170, -1, 0, 0, 0, 0, 0);
        renderer.AddMesh(partial, across, 0, 170, -1, 0, 0, 0, 0, 0);
    }
    renderer.EndFrame();
}

}  // namespace zq
