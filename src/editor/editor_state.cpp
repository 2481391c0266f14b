#include "editor/editor_state.h"

#include <algorithm>
#include <cmath>

#include "editor/editing.h"
#include "rules/rules_math.h"
#include "world/level_file.h"

namespace zq {

namespace {

// The centre of the cell nearest to a coordinate, so that the small errors of
// sin and cos at quarter turns never pile up over many moves.
float NearestCentre(float v) {
    const float half = kCellSize / 2.0f;
    return std::round((v - half) / kCellSize) * kCellSize + half;
}

// Within this of its target a shown value lands on it, so the view comes to
// rest: a world unit, or 8 angle units (under a degree's tenth), each less
// than a pixel at the view's sizes.
constexpr float kLandedPosition = 1.0f;
constexpr float kLandedAngle = 8.0f;

void Follow(float& shown, float target, float factor, float landed) {
    shown += (target - shown) * factor;
    if (std::abs(target - shown) < landed) shown = target;
}

}  // namespace

CellPos CursorCell(const CursorPos& p) { return {CellOf(p.x), CellOf(p.y), CellOf(p.z)}; }

CursorPos CellCentre(const CellPos& c) {
    const float half = kCellSize / 2.0f;
    return {static_cast<float>(c.x) * kCellSize + half, static_cast<float>(c.y) * kCellSize + half,
            static_cast<float>(c.z) * kCellSize + half};
}

void JumpCursor(EditorState& s, const CellPos& cell) {
    s.cursorTarget = CellCentre(cell);
    s.cursorShown = s.cursorTarget;
    s.cameraStays = false;
}

void MoveCursor(EditorState& s, CursorMove move) {
    s.faceClicked = false;
    const double sn = HeadingSin(s.cursorHeading), cs = HeadingCos(s.cursorHeading);
    CursorPos& t = s.cursorTarget;
    auto shift = [&t](double dx, double dy, double dz) {
        t.x = NearestCentre(static_cast<float>(t.x + dx * kCellSize));
        t.y = NearestCentre(static_cast<float>(t.y + dy * kCellSize));
        t.z = NearestCentre(static_cast<float>(t.z + dz * kCellSize));
    };
    switch (move) {
        case CursorMove::Forward: shift(sn, 0, cs); break;
        case CursorMove::Back: shift(-sn, 0, -cs); break;
        case CursorMove::Right: shift(cs, 0, -sn); break;
        case CursorMove::Left: shift(-cs, 0, sn); break;
        case CursorMove::Up: shift(0, 1, 0); break;
        case CursorMove::Down: shift(0, -1, 0); break;
        case CursorMove::TurnRight: s.cursorHeading += kEditorTurnStep; break;
        case CursorMove::TurnLeft: s.cursorHeading -= kEditorTurnStep; break;
        case CursorMove::LookUp: s.viewPitch = std::max(s.viewPitch - kEditorPitchStep, -kEditorMaxPitch); break;
        case CursorMove::LookDown: s.viewPitch = std::min(s.viewPitch + kEditorPitchStep, kEditorMaxPitch); break;
        case CursorMove::ZoomIn: s.viewDistance = std::max(s.viewDistance - kEditorZoomStep, 0.0f); break;
        case CursorMove::ZoomOut: s.viewDistance = std::min(s.viewDistance + kEditorZoomStep, kEditorMaxDistance); break;
    }
    // At once rather than at the next frame: a key that comes before it must
    // act on a cell inside the grid.
    ClampCursor(s);
    s.cameraStays = false;
}

void ClampCursor(EditorState& s) {
    const World& w = *s.working;
    const float half = kCellSize / 2.0f;
    auto clamp = [half](float& v, int size) {
        const float top = static_cast<float>(size) * kCellSize - half;
        v = std::max(half, std::min(v, top));
    };
    clamp(s.cursorTarget.x, w.sizeX);
    clamp(s.cursorTarget.y, w.sizeY);
    clamp(s.cursorTarget.z, w.sizeZ);
}

void FollowCursor(EditorState& s, int elapsedMs) {
    // A quarter of the way per 90 ms.  After a long stall (a dialog, a slow
    // frame) the step is held at the whole way, so the view lands on its
    // target instead of swinging past it.
    const float elapsed = static_cast<float>(std::clamp(elapsedMs, 0, 1000));
    const float factor = std::min(0.25f * elapsed / 90.0f, 1.0f);
    if (!s.cameraStays) {
        Follow(s.cursorShown.x, s.cursorTarget.x, factor, kLandedPosition);
        Follow(s.cursorShown.y, s.cursorTarget.y, factor, kLandedPosition);
        Follow(s.cursorShown.z, s.cursorTarget.z, factor, kLandedPosition);
    }
    Follow(s.shownHeading, s.cursorHeading, factor, kLandedAngle);
    Follow(s.shownPitch, s.viewPitch, factor, kLandedAngle);
    Follow(s.shownDistance, s.viewDistance, factor, kLandedPosition);
}

bool CursorAtRest(const EditorState& s) {
    const bool placed = s.cameraStays || (s.cursorShown.x == s.cursorTarget.x && s.cursorShown.y == s.cursorTarget.y &&
                                          s.cursorShown.z == s.cursorTarget.z);
    return placed && s.shownHeading == s.cursorHeading && s.shownPitch == s.viewPitch &&
           s.shownDistance == s.viewDistance;
}

WorldCamera EditorCamera(const EditorState& s) {
    const double h = s.shownHeading, p = s.shownPitch;
    double d = s.shownDistance;
    const double cp = AngleCos(p);
    // From the cursor back along the line to the eye: the eye stops short of
    // the first filled cell on the way (the cursor's own cell aside), so the
    // view never looks out from inside a wall.
    const double back[3] = {-AngleSin(h) * cp, -AngleSin(p), -AngleCos(h) * cp};
    const CellPos own = CursorCell(s.cursorShown);
    constexpr double kStep = 32, kClearance = 64;
    for (double t = kStep; t <= d; t += kStep) {
        const double lift = kEditorEyeLift * t / std::max(d, 1.0);
        const CursorPos at{static_cast<float>(s.cursorShown.x + back[0] * t),
                           static_cast<float>(s.cursorShown.y + back[1] * t + lift),
                           static_cast<float>(s.cursorShown.z + back[2] * t)};
        const CellPos c = CursorCell(at);
        if (c == own || GetCell(*s.working, c.x, c.y, c.z) == 0) continue;
        d = std::max(t - kClearance, 0.0);
        break;
    }
    WorldCamera eye;
    eye.x = static_cast<float>(s.cursorShown.x - d * AngleSin(h) * cp);
    eye.y = static_cast<float>(s.cursorShown.y - d * AngleSin(p) + kEditorEyeLift);
    eye.z = static_cast<float>(s.cursorShown.z - d * AngleCos(h) * cp);
    eye.yaw = static_cast<int>(h);
    eye.pitch = static_cast<int>(p);
    eye.roll = 0;
    return eye;
}

void InitEditor(EditorState& s) {
    World& w = *s.working;
    w.sentryCount = 0;
    InitNewLevel(w, kEditorStartSide, kEditorStartSide, kEditorStartSide, 0);
    ResetSentries(w, s.random, 0);
    ResetHistory(s);
    JumpCursor(s, {kEditorStartSide / 2, 1, kEditorStartSide / 2});
    s.cursorHeading = s.shownHeading = 0;
    s.viewPitch = s.shownPitch = 0;
    s.viewDistance = s.shownDistance = kEditorStartDistance;
    s.paintObject = 0;
    MarkSaved(s);
}

}  // namespace zq
