#include "editor/editing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

namespace zq {

namespace {

bool PointsSet(const EditorState& s) { return s.pointA.x != kUnsetPoint && s.pointB.x != kUnsetPoint; }


// Steps from a toward b inclusive, in either direction.
template <typename F>
void Range(int a, int b, F f) {
    const int step = b >= a ? 1 : -1;
    for (int v = a;; v += step) {
        f(v);
        if (v == b) break;
    }
}

template <typename F>
void ForBox(const CellPos& a, const CellPos& b, F f) {
    Range(a.x, b.x, [&](int x) { Range(a.y, b.y, [&](int y) { Range(a.z, b.z, [&](int z) { f(x, y, z); }); }); });
}

template <typename Marker>
int MarkerAt(const std::array<Marker, kMarkerCount>& markers, const CellPos& c) {
    for (int i = 0; i < kMarkerCount; ++i) {
        const Marker& m = markers[static_cast<std::size_t>(i)];
        if (m.x == c.x && m.y == c.y && m.z == c.z) return i;
    }
    return -1;
}

template <typename Marker>
int HighestFree(const std::array<Marker, kMarkerCount>& markers) {
    for (int i = kMarkerCount - 1; i >= 0; --i)
        if (markers[static_cast<std::size_t>(i)].x < 0) return i;
    return -1;
}

void Changed(EditorState& s) {
    s.modified = true;
    s.pending = true;
}

int WrapHeading(float heading) {
    const int h = static_cast<int>(heading) % 32768;
    return h < 0 ? h + 32768 : h;
}

}  // namespace

bool NeedPoints(EditorState& s) {
    if (s.pointA.x == kUnsetPoint) Say(s, "Set point A first (Ctrl+1, or Shift+click).");
    else if (s.pointB.x == kUnsetPoint) Say(s, "Set point B first (Ctrl+2, or Ctrl+click).");
    return PointsSet(s);
}

std::string CellText(int x, int y, int z) {
    // Appended piece by piece: GCC 12 at -O2 warns (-Wrestrict) about a chain
    // of "(" + to_string(...) + ....
    std::string text(1, '(');
    text += std::to_string(x);
    text += ", ";
    text += std::to_string(y);
    text += ", ";
    text += std::to_string(z);
    text += ')';
    return text;
}

std::string CellText(const CellPos& c) { return CellText(c.x, c.y, c.z); }

void ResetHistory(EditorState& s) {
    s.history.Reset(*s.working, *s.baseline);
    s.pending = false;
}

void NameStep(EditorState& s, std::string name) { s.stepName = std::move(name); }

void CommitAction(EditorState& s) {
    s.pending = false;
    // A commit that finds nothing to record keeps the name: commands close
    // what came before them with one before they change anything.
    const UndoHistory::Recorded recorded = s.history.Commit(*s.working, *s.baseline, s.stepName);
    if (recorded != UndoHistory::Recorded::Nothing) s.stepName.clear();
    if (recorded == UndoHistory::Recorded::TooLarge)
        Say(s, "That change was too large to keep for undo: the undo history was cleared.");
}

void MarkSaved(EditorState& s) {
    CommitAction(s);
    s.savedState = s.history.State();
    s.modified = false;
}

void MarkUnsaved(EditorState& s) {
    CommitAction(s);
    s.savedState = ~std::uint64_t{0};  // a state the history never reaches
    s.modified = true;
}

namespace {

// Undoing or redoing a resize gives the grid another size: points A and B
// that would now lie outside it are brought to its nearest cell, so the box
// commands never reach past the level.
void KeepPointsInside(EditorState& s) {
    const World& w = *s.working;
    for (CellPos* p : {&s.pointA, &s.pointB})
        if (p->x != kUnsetPoint)
            *p = {std::clamp(p->x, 0, w.sizeX - 1), std::clamp(p->y, 0, w.sizeY - 1), std::clamp(p->z, 0, w.sizeZ - 1)};
}

}  // namespace

bool Undo(EditorState& s) {
    CommitAction(s);
    if (!s.history.Undo(*s.working, *s.baseline)) {
        Say(s, "Nothing to undo.");
        return false;
    }
    KeepPointsInside(s);
    s.modified = s.history.State() != s.savedState;
    Say(s, "Undone (" + std::to_string(s.history.UndoCount()) + " more to undo).");
    return true;
}

bool Redo(EditorState& s) {
    CommitAction(s);
    if (!s.history.Redo(*s.working, *s.baseline)) {
        Say(s, "Nothing to redo.");
        return false;
    }
    KeepPointsInside(s);
    s.modified = s.history.State() != s.savedState;
    Say(s, "Redone (" + std::to_string(s.history.RedoCount()) + " more to redo).");
    return true;
}

void PutBlock(EditorState& s) {
    if (s.faceClicked && TargetCell(s) == s.clickedCell) {
        // Built on the clicked face: the new block is where the cursor goes
        // (the view stays where the click left it).
        s.faceClicked = false;
        s.cursorTarget = CellCentre(s.clickedFront);
    }
    const CellPos c = TargetCell(s);
    SetCell(*s.working, c.x, c.y, c.z, s.paintObject);
    Changed(s);
}

void DeleteCell(EditorState& s) {
    World& w = *s.working;
    const CellPos c = TargetCell(s);
    SetCell(w, c.x, c.y, c.z, 0);
    SetLight(w, c.x, c.y, c.z, 128);
    for (ClipMarker& m : w.clipMarkers)
        if (m.x == c.x && m.y == c.y && m.z == c.z) m = ClipMarker{};
    for (EventMarker& m : w.eventMarkers)
        if (m.x == c.x && m.y == c.y && m.z == c.z) {
            m.x = kFreeMarker;
            m.behaviour = 0;
        }
    Changed(s);
}

void Darken(EditorState& s) {
    const CellPos c = TargetCell(s);
    const int light = GetLight(*s.working, c.x, c.y, c.z);
    SetLight(*s.working, c.x, c.y, c.z, static_cast<std::uint8_t>(light > 1 ? light - kLightStep : 0));
    Changed(s);
}

void Brighten(EditorState& s) {
    const CellPos c = TargetCell(s);
    const int light = GetLight(*s.working, c.x, c.y, c.z);
    SetLight(*s.working, c.x, c.y, c.z, static_cast<std::uint8_t>(light < 254 ? light + kLightStep : 255));
    Changed(s);
}

void StretchDown(EditorState& s) {
    const CellPos c = TargetCell(s);
    const int v = GetStretch(*s.working, c.x, c.y, c.z);
    SetStretch(*s.working, c.x, c.y, c.z, static_cast<std::uint8_t>(v < 96 ? v + kStretchStep : kMaxStretch));
    Changed(s);
}

void StretchUp(EditorState& s) {
    const CellPos c = TargetCell(s);
    const int v = GetStretch(*s.working, c.x, c.y, c.z);
    SetStretch(*s.working, c.x, c.y, c.z, static_cast<std::uint8_t>(v > 4 ? v - kStretchStep : 0));
    Changed(s);
}

void PlaceStart(EditorState& s) {
    World& w = *s.working;
    const CellPos c = TargetCell(s);
    w.startX = c.x;
    w.startY = c.y;
    w.startZ = c.z;
    w.startHeading = WrapHeading(s.cursorHeading);
    Say(s, "Start point at " + CellText(c) + ".");
    Changed(s);
}

void PlaceExit(EditorState& s) {
    World& w = *s.working;
    const CellPos c = TargetCell(s);
    w.exitX = c.x;
    w.exitY = c.y;
    w.exitZ = c.z;
    Say(s, "Exit point at " + CellText(c) + ".");
    Changed(s);
}

void PlaceClipMarker(EditorState& s) {
    World& w = *s.working;
    const CellPos c = TargetCell(s);
    if (MarkerAt(w.clipMarkers, c) >= 0) return Say(s, "A clip marker is already on this cell.");
    const int slot = HighestFree(w.clipMarkers);
    if (slot < 0) return Say(s, "Every clip marker is in use.");
    w.clipMarkers[static_cast<std::size_t>(slot)] = ClipMarker{c.x, c.y, c.z, 0};
    Say(s, "Clip marker at " + CellText(c) + ".");
    Changed(s);
}

void PlaceEventMarker(EditorState& s) {
    World& w = *s.working;
    const CellPos c = TargetCell(s);
    if (MarkerAt(w.eventMarkers, c) >= 0) return Say(s, "An event marker is already on this cell.");
    const int slot = HighestFree(w.eventMarkers);
    if (slot < 0) return Say(s, "Every event marker is in use.");
    EventMarker& m = w.eventMarkers[static_cast<std::size_t>(slot)];
    m.x = c.x;
    m.y = c.y;
    m.z = c.z;
    m.behaviour = 0;
    Say(s, "Event marker at " + CellText(c) + ".");
    Changed(s);
}

void PlaceSentry(EditorState& s, int k) {
    World& w = *s.working;
    if (k < 1 || k > std::min(w.sentryCount, kMaxSentries))
        return Say(s, w.sentryCount > 0 ? "Choose a sentry in the list first." : "The level has no sentries (Options > Number of Sentries).");
    SentryState& sentry = w.sentries[static_cast<std::size_t>(k - 1)];
    const CellPos c = TargetCell(s);
    const CursorPos centre = CellCentre(c);
    sentry.x = centre.x;
    sentry.y = centre.y;
    sentry.z = centre.z;
    sentry.heading = static_cast<float>(-WrapHeading(s.cursorHeading));
    sentry.cellX = c.x;
    sentry.cellY = c.y;
    sentry.cellZ = c.z;
    Say(s, "Sentry " + std::to_string(k) + " at " + CellText(c) + ".");
    Changed(s);
}

void SetPointA(EditorState& s) {
    s.pointA = TargetCell(s);
    Say(s, "Point A at " + CellText(s.pointA) + ".");
}
void SetPointB(EditorState& s) {
    s.pointB = TargetCell(s);
    Say(s, "Point B at " + CellText(s.pointB) + ".");
}

void FillPlane(EditorState& s, Axis axis, Cell value) {
    World& w = *s.working;
    const CellPos c = TargetCell(s);
    for (int z = 0; z < w.sizeZ; ++z)
        for (int y = 0; y < w.sizeY; ++y)
            for (int x = 0; x < w.sizeX; ++x) {
                const int on = axis == Axis::X ? x : axis == Axis::Y ? y : z;
                const int want = axis == Axis::X ? c.x : axis == Axis::Y ? c.y : c.z;
                if (on == want) SetCell(w, x, y, z, value);
            }
    Changed(s);
}

void FillBox(EditorState& s, Cell value) {
    if (!NeedPoints(s)) return;
    World& w = *s.working;
    ForBox(s.pointA, s.pointB, [&](int x, int y, int z) { SetCell(w, x, y, z, value); });
    Changed(s);
}

void FillHollowBox(EditorState& s, Cell value) {
    if (!NeedPoints(s)) return;
    World& w = *s.working;
    const CellPos a = s.pointA, b = s.pointB;
    ForBox(a, b, [&](int x, int y, int z) {
        if (x == a.x || x == b.x || y == a.y || y == b.y || z == a.z || z == b.z) SetCell(w, x, y, z, value);
    });
    Changed(s);
}

std::vector<CellPos> LineCells(const CellPos& a, const CellPos& b) {
    const int d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
    // The leading axis has the largest difference; on a tie Z wins over Y, Y over X.
    int lead = 2;
    if (std::abs(d[1]) > std::abs(d[lead])) lead = 1;
    if (std::abs(d[0]) > std::abs(d[lead])) lead = 0;
    const int n = std::abs(d[lead]);
    std::vector<CellPos> cells;
    if (n == 0) return cells;
    const float start[3] = {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)};
    cells.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        // Each point from the start rather than by adding steps, so the last
        // one lands exactly on B instead of a float's width short of it.
        int p[3];
        for (int axis = 0; axis < 3; ++axis)
            p[axis] = static_cast<int>(start[axis] + static_cast<float>(d[axis]) * static_cast<float>(i) / static_cast<float>(n));
        cells.push_back({p[0], p[1], p[2]});
    }
    return cells;
}

void FillLine(EditorState& s, Cell value) {
    if (!NeedPoints(s)) return;
    for (const CellPos& c : LineCells(s.pointA, s.pointB)) SetCell(*s.working, c.x, c.y, c.z, value);
    Changed(s);
}

void LightBox(EditorState& s, int factor) {
    if (!NeedPoints(s)) return;
    World& w = *s.working;
    ForBox(s.pointA, s.pointB, [&](int x, int y, int z) {
        const std::int64_t v = std::int64_t{GetLight(w, x, y, z)} + factor;
        SetLight(w, x, y, z, static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255)));
    });
    Changed(s);
}

int ClipMarkerAt(const World& w, const CellPos& c) { return MarkerAt(w.clipMarkers, c); }
int EventMarkerAt(const World& w, const CellPos& c) { return MarkerAt(w.eventMarkers, c); }

bool SetMarkerClip(EditorState& s, int clip) {
    const int i = ClipMarkerAt(*s.working, TargetCell(s));
    if (i < 0 || clip < 0 || clip >= kClipCount) return false;
    s.working->clipMarkers[static_cast<std::size_t>(i)].clip = clip;
    Changed(s);
    return true;
}

bool SetMarkerBehaviour(EditorState& s, int behaviour) {
    const int i = EventMarkerAt(*s.working, TargetCell(s));
    if (i < 0 || behaviour < 0 || behaviour >= kBehaviourCount) return false;
    s.working->eventMarkers[static_cast<std::size_t>(i)].behaviour = behaviour;
    Changed(s);
    return true;
}

std::vector<NamedEntry> ObjectNames(const World& w) {
    std::vector<NamedEntry> out;
    for (int i = 0; i < kObjectTypeCount; ++i)
        if (!w.objectDefs[static_cast<std::size_t>(i)].name.empty()) out.push_back({i, w.objectDefs[static_cast<std::size_t>(i)].name});
    return out;
}

std::vector<NamedEntry> ClipNames(const World& w) {
    std::vector<NamedEntry> out;
    for (int i = 0; i < kClipCount; ++i)
        if (!w.clips[static_cast<std::size_t>(i)].name.empty()) out.push_back({i, w.clips[static_cast<std::size_t>(i)].name});
    return out;
}

std::vector<NamedEntry> BehaviourNames(const World& w) {
    std::vector<NamedEntry> out;
    for (int i = 0; i < kBehaviourCount; ++i)
        if (!w.behaviours[static_cast<std::size_t>(i)].name.empty()) out.push_back({i, w.behaviours[static_cast<std::size_t>(i)].name});
    return out;
}

int HighestNamed(const std::vector<NamedEntry>& entries, const std::string& name) {
    int found = -1;
    for (const NamedEntry& e : entries)
        if (e.name == name) found = std::max(found, e.index);
    return found;
}

}  // namespace zq
