#include "editor/editor_view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "assets/mesh.h"
#include "rules/rules_math.h"
#include "world/world.h"

namespace zq {

namespace {

struct MarkerFile {
    MeshRef EditorMarkers::*slot;
    const char* name;
    int red, green, blue;
};

const MarkerFile kMarkerFiles[] = {
    {&EditorMarkers::cursor, "3do\\editor\\select.3do", 255, 255, 255},
    {&EditorMarkers::start, "3do\\editor\\start.3do", 255, 255, 255},
    {&EditorMarkers::exit, "3do\\editor\\exit.3do", 255, 255, 255},
    {&EditorMarkers::point, "3do\\editor\\eventa.3do", 255, 0, 255},
    {&EditorMarkers::clip, "3do\\editor\\clip.3do", 0, 255, 255},
    {&EditorMarkers::event, "3do\\editor\\event.3do", 255, 0, 255},
    {&EditorMarkers::areaWait, "3do\\editor\\eventP.3do", 0, 200, 255},
    // On a case-blind file system "eventA.3do" is the same file as "eventa.3do".
    {&EditorMarkers::areaOther, "3do\\editor\\eventA.3do", 255, 0, 255},
};

int Round(float v) { return static_cast<int>(std::nearbyint(v)); }

// A marker offset by a script value, kept well away from overflow.
int Shift(int base, std::int64_t delta) {
    return static_cast<int>(std::clamp<std::int64_t>(base + delta, -4 * kMaxLevelAxis, 4 * kMaxLevelAxis));
}

// Cells within the marker range of `centre`, limited to the grid.
struct Window {
    std::array<int, 3> lo{}, hi{};
    bool Contains(int x, int y, int z) const {
        return x >= lo[0] && x <= hi[0] && y >= lo[1] && y <= hi[1] && z >= lo[2] && z <= hi[2];
    }
};

Window RangeAround(const World& w, const CellPos& c) {
    const std::array<int, 3> at{c.x, c.y, c.z}, size{w.sizeX, w.sizeY, w.sizeZ};
    Window win;
    for (std::size_t a = 0; a < 3; ++a) {
        win.lo[a] = std::max(0, at[a] - kEditorMarkerRange);
        win.hi[a] = std::min(size[a] - 1, at[a] + kEditorMarkerRange);
    }
    return win;
}

void AddAt(Renderer& r, const MeshRef& mesh, const CellPos& c, int yaw = 0, int transparency = 0) {
    if (!mesh) return;
    const CursorPos p = CellCentre(c);
    r.AddMesh(*mesh, Round(p.x), Round(p.y), Round(p.z), -1, transparency, 0, 0, 0, yaw);
}

void DrawAreas(const World& w, const EventMarker& m, const Window& win, const EditorMarkers& markers, Renderer& r) {
    if (m.behaviour < 0 || m.behaviour >= kBehaviourCount) return;
    for (const Step& step : w.behaviours[static_cast<std::size_t>(m.behaviour)].steps) {
        AreaBox box;
        bool waits = false;
        if (!StepArea(m, step, box, waits)) continue;
        // Only the part of the box near the eye is visited, however large the
        // script made it.
        std::array<int, 3> lo{}, hi{};
        bool empty = false;
        for (std::size_t a = 0; a < 3; ++a) {
            lo[a] = std::max(std::min(box.from[a], box.to[a]), win.lo[a]);
            hi[a] = std::min(std::max(box.from[a], box.to[a]), win.hi[a]);
            empty = empty || lo[a] > hi[a];
        }
        if (empty) continue;
        const MeshRef& mesh = waits ? markers.areaWait : markers.areaOther;
        for (int x = lo[0]; x <= hi[0]; ++x)
            for (int y = lo[1]; y <= hi[1]; ++y)
                for (int z = lo[2]; z <= hi[2]; ++z) AddAt(r, mesh, {x, y, z});
    }
}

}  // namespace

void RecolourMesh(Mesh& mesh, std::uint8_t colour) {
    for (MeshFace& f : mesh.faces) {
        if (f.kind == kFaceSprite) continue;  // a sprite keeps its texture
        f.kind = std::max<std::uint16_t>(f.kind, kFaceFlat);
        f.material = colour;
    }
}

void LoadEditorMarkers(const DataResolver& data, const Palette& flatPalette, EditorMarkers& markers) {
    for (const MarkerFile& file : kMarkerFiles) {
        MeshRef& slot = markers.*(file.slot);
        LoadMesh(data, file.name, slot);
        RecolourMesh(*slot, NearestColour(flatPalette, file.red, file.green, file.blue, 1, 254));
    }
}

bool StepArea(const EventMarker& m, const Step& step, AreaBox& box, bool& waits) {
    const auto& a = step.args;
    const std::array<int, 3> at{m.x, m.y, m.z};
    switch (static_cast<Command>(step.command)) {
        case Command::WaitForPlayer:
            waits = true;
            for (std::size_t i = 0; i < 3; ++i) {
                box.from[i] = at[i];
                box.to[i] = Shift(at[i], std::int64_t{a[i]} + a[i + 3]);
            }
            return true;
        case Command::MakeFall:
        case Command::PutObject:
            waits = false;
            for (std::size_t i = 0; i < 3; ++i) {
                box.from[i] = Shift(at[i], a[i]);
                box.to[i] = Shift(at[i], a[i + 3]);
            }
            return true;
        default:
            return false;
    }
}

void DrawEditorView(EditorState& s, Renderer& renderer, EditorViewParts& parts) {
    World& w = *s.working;
    const EditorMarkers& mk = parts.markers;
    WorldDrawParams params;
    params.camera = EditorCamera(s);
    params.lampRadius = kEditorLampRadius;
    params.texturesOn = parts.bank.textured;
    params.clearColour = parts.clearColour;
    DrawWorld(w, renderer, parts.draw, params, parts.hooks);

    const MeshRef& shadow = parts.bank.heroes[0].shadowMesh;
    const CellPos cursor = TargetCell(s);
    AddAt(renderer, mk.cursor, cursor);
    if (shadow) {
        const CursorPos c = CellCentre(cursor);
        AddShadow(renderer, w, *shadow, c.x, c.y, c.z, 0);
    }

    const Window win = RangeAround(w, {CellOf(params.camera.x), CellOf(params.camera.y), CellOf(params.camera.z)});
    // The start arrow is modelled pointing along -Z; a half turn less the
    // heading points it the way the hero will face (as the hero mesh is turned).
    if (win.Contains(w.startX, w.startY, w.startZ))
        AddAt(renderer, mk.start, {w.startX, w.startY, w.startZ},
              static_cast<int>(16384 - std::clamp<std::int64_t>(w.startHeading, -(1 << 24), 1 << 24)));
    if (win.Contains(w.exitX, w.exitY, w.exitZ)) AddAt(renderer, mk.exit, {w.exitX, w.exitY, w.exitZ});
    for (const CellPos& p : {s.pointA, s.pointB})
        if (p.x != kUnsetPoint && win.Contains(p.x, p.y, p.z)) AddAt(renderer, mk.point, p);
    for (const ClipMarker& m : w.clipMarkers)
        if (m.x >= 0 && win.Contains(m.x, m.y, m.z)) AddAt(renderer, mk.clip, {m.x, m.y, m.z});
    for (const EventMarker& m : w.eventMarkers) {
        if (m.x < 0 || !win.Contains(m.x, m.y, m.z)) continue;
        AddAt(renderer, mk.event, {m.x, m.y, m.z});
        DrawAreas(w, m, win, mk, renderer);
    }

    if (parts.bank.sentryMesh) {
        const CellPos target = TargetCell(s);
        for (int i = 0; i < std::clamp(w.sentryCount, 0, kMaxSentries); ++i) {
            const SentryState& e = w.sentries[static_cast<std::size_t>(i)];
            if (std::abs(e.cellX - target.x) > kEditorMarkerRange || std::abs(e.cellY - target.y) > kEditorMarkerRange ||
                std::abs(e.cellZ - target.z) > kEditorMarkerRange)
                continue;
            renderer.AddMesh(*parts.bank.sentryMesh, Round(e.x), Round(e.y), Round(e.z), -1, 0, 0, 0, 0,
                             static_cast<int>(e.heading) + 16384);
            if (shadow) AddShadow(renderer, w, *shadow, e.x, e.y, e.z, -static_cast<int>(e.heading) - 8192);
        }
    }
    renderer.EndFrame();
}

void DrawObjectPreview(const World& w, Cell type, int yaw, int pitch, bool textured, Renderer& renderer,
                       WorldDrawState& preview) {
    if (!preview.cubeFaces[0]) InitWorldDrawState(preview);
    renderer.ClearFrame(0);
    renderer.BeginFrame(0, 0, 0, 0, 0, 0);
    renderer.AddLight(0, 0, 0, 100000);
    if (IsObjectIndex(type) && type != 0) {
        const ObjectDef& def = w.objectDefs[type];
        if (!def.undefined && def.cube) {
            for (std::size_t side = 0; side < preview.cubeFaces.size(); ++side) {
                Mesh& face = *preview.cubeFaces[side];
                face.x = preview.cubeBase[side].x;
                face.y = preview.cubeBase[side].y;
                face.z = preview.cubeBase[side].z;
                for (MeshFace& f : face.faces) {
                    f.material = textured ? def.faceTexture[side] : def.faceColor[side];
                    f.kind = textured ? kFaceTextured : kFaceFlat;
                }
                renderer.AddMesh(face, 0, 0, kPreviewDistance, -1, def.transparency, 0, pitch, 0, yaw);
            }
        } else if (!def.undefined && def.meshes[0]) {
            renderer.AddMesh(*def.meshes[0], 0, 0, kPreviewDistance, -1, def.transparency, 0, pitch, 0, yaw);
        }
    }
    renderer.EndFrame();
}

std::optional<CellPick> PickFace(const World& w, const WorldCamera& eye, float ndcX, float ndcY, float fovYDegrees,
                                 float aspect) {
    const double h = eye.yaw, p = eye.pitch;
    const double sh = AngleSin(h), ch = AngleCos(h), sp = AngleSin(p), cp = AngleCos(p);
    // The view's axes: forward, screen right and screen up.
    const double forward[3] = {sh * cp, sp, ch * cp};
    const double right[3] = {ch, 0, -sh};
    const double up[3] = {-sh * sp, cp, -ch * sp};
    const double ty = std::tan(fovYDegrees * 3.14159265358979 / 360.0), tx = ty * aspect;
    double dir[3];
    double length = 0;
    for (int a = 0; a < 3; ++a) {
        dir[a] = forward[a] + right[a] * ndcX * tx + up[a] * ndcY * ty;
        length += dir[a] * dir[a];
    }
    length = std::sqrt(length);
    if (!(length > 0)) return std::nullopt;
    // Small steps rather than an exact cell walk: a click needs no more.
    constexpr double kStep = 16;
    const double reach = (kViewCells + 1) * kCellSize * 1.8;
    const double origin[3] = {eye.x, eye.y, eye.z};
    auto cellAt = [](const double at[3]) -> std::optional<CellPos> {
        if (at[0] < 0 || at[1] < 0 || at[2] < 0) return std::nullopt;
        return CellPos{static_cast<int>(at[0] / kCellSize), static_cast<int>(at[1] / kCellSize),
                       static_cast<int>(at[2] / kCellSize)};
    };
    // The eye's own cell is looked through, filled or not: the click means
    // the first face the ray goes in by on its way out, which inside a
    // filled region is the face between the eye's cell and the next one.
    const std::optional<CellPos> eyeCell = cellAt(origin);
    std::optional<CellPos> front;  // the last cell inside the grid on the way
    for (double t = 0; t < reach; t += kStep) {
        double at[3];
        for (int a = 0; a < 3; ++a) at[a] = origin[a] + dir[a] / length * t;
        const std::optional<CellPos> c = cellAt(at);
        if (!c || !w.InGrid(c->x, c->y, c->z)) continue;
        if (c == eyeCell || GetCell(w, c->x, c->y, c->z) == 0) {
            front = c;
            continue;
        }
        return CellPick{*c, front.value_or(*c)};
    }
    return std::nullopt;
}

}  // namespace zq
