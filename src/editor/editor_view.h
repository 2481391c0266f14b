// What the editor draws through the renderer interface: the level around the
// cursor with the editor's markers, sentries and shadows, and the small
// turning preview of the current paint object.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "assets/palette.h"
#include "core/resolver.h"
#include "editor/editor_state.h"
#include "render/renderer.h"
#include "render/world_draw.h"
#include "world/object_defs.h"

namespace zq {

inline constexpr int kPreviewWidth = 164;
inline constexpr int kPreviewHeight = 158;
inline constexpr int kPreviewDistance = 1024;

// The marker meshes of "3do/editor/", each recoloured to the nearest entry of
// the flat palette.
struct EditorMarkers {
    MeshRef cursor;     // select.3do, white
    MeshRef start;      // start.3do, white, turned to the start heading
    MeshRef exit;       // exit.3do, white
    MeshRef point;      // eventa.3do, magenta: points A and B
    MeshRef clip;       // clip.3do, cyan
    MeshRef event;      // event.3do, magenta
    MeshRef areaWait;   // eventP.3do, light blue: cells a WAITFORPLAYER watches
    MeshRef areaOther;  // eventA.3do, magenta: cells other area commands change
};

// Loads (or reloads, after a texturing switch) every marker.  A missing or
// damaged file throws FatalError with the mesh loader's message.
void LoadEditorMarkers(const DataResolver& data, const Palette& flatPalette, EditorMarkers& markers);

// Paints every face of a mesh in one flat colour.
void RecolourMesh(Mesh& mesh, std::uint8_t colour);

struct EditorViewParts {
    const EditorMarkers& markers;
    const BankAssets& bank;
    WorldDrawState& draw;
    const WorldDrawHooks& hooks;
    int clearColour = 0;
};

// The box of cells an event marker's step covers, for the area commands:
// WAITFORPLAYER watches from the marker to the marker plus the sum of each
// axis pair; MAKEFALL and PUTOBJECT act from marker + first to marker + second
// value.  False for a step without an area.  `waits` tells the two apart.
struct AreaBox {
    std::array<int, 3> from{}, to{};
};
bool StepArea(const EventMarker& m, const Step& step, AreaBox& box, bool& waits);

// Draws the whole frame (clear, world, markers, EndFrame); the caller presents it.
void DrawEditorView(EditorState& s, Renderer& renderer, EditorViewParts& parts);

// The current object alone, turned by the preview angles, 1024 units in front
// of a camera at the origin; cubes as their six faces, others as their first mesh.
void DrawObjectPreview(const World& w, Cell type, int yaw, int pitch, bool textured, Renderer& renderer,
                       WorldDrawState& preview);

// A click's cell: the filled cell hit and the cell in front of the face the
// ray went in by (the cell itself when the ray comes from outside the grid).
struct CellPick {
    CellPos cell;
    CellPos front;
};
std::optional<CellPick> PickFace(const World& w, const WorldCamera& eye, float ndcX, float ndcY, float fovYDegrees,
                                 float aspect);

}  // namespace zq
