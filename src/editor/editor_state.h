// The level editor's state without any window toolkit: the working and undo
// Worlds, the cursor with its smoothly following shown values, the view
// angles, the paint object, the two marked points, and the cursor motion and
// view camera that go with them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/random.h"
#include "editor/undo_history.h"
#include "render/world_draw.h"
#include "world/world.h"

namespace zq {

inline constexpr int kUnsetPoint = kFreeMarker;   // x of a point A or B not set yet
inline constexpr float kEditorTurnStep = 8192;    // a quarter turn
inline constexpr float kEditorPitchStep = 4096;
inline constexpr float kEditorMaxPitch = 8192;    // straight down (negative) or up
inline constexpr float kEditorZoomStep = 512;
inline constexpr float kEditorMaxDistance = 2048;
inline constexpr float kEditorStartDistance = 512;
inline constexpr float kEditorEyeLift = 60;       // the eye sits this far above the orbit
inline constexpr float kEditorLampRadius = 6144;
inline constexpr int kEditorStartSide = 100;      // the empty level the editor opens with
inline constexpr int kEditorMarkerRange = 12;     // markers and sentries drawn within this many cells

struct CellPos {
    int x = 0, y = 0, z = 0;
    bool operator==(const CellPos&) const = default;
};

// A cursor position in world units; commands keep the target at cell centres.
struct CursorPos {
    float x = 0, y = 0, z = 0;
};

struct EditorState {
    std::unique_ptr<World> working = std::make_unique<World>();
    // The level as it stood after the last recorded action; the undo history
    // finds each action's changes by comparing the working level with it.
    std::unique_ptr<World> baseline = std::make_unique<World>();
    UndoHistory history;
    bool pending = false;     // the working level changed since the last recorded action
    std::string stepName;     // names the action being recorded (see NameStep); empty until named
    std::string status;       // what the last action did, or why it did nothing

    CursorPos cursorTarget;
    CursorPos cursorShown;
    float cursorHeading = 0;  // 32768 per turn; turned in quarter steps
    float shownHeading = 0;
    float viewPitch = 0;      // -8192 (top view) .. 8192
    float shownPitch = 0;
    float viewDistance = kEditorStartDistance;  // camera behind the cursor, 0..2048
    float shownDistance = kEditorStartDistance;
    int previewYaw = 0, previewPitch = 0;        // the current-object preview's turn

    Cell paintObject = 0;
    CellPos pointA{kUnsetPoint, 0, 0};
    CellPos pointB{kUnsetPoint, 0, 0};
    std::string fileName;     // the level last loaded or saved
    bool dialogOpen = false;  // a prompt is open: keys do nothing
    bool textured = true;     // object definitions at "High" (true) or "Low"
    bool modified = false;    // the working level differs from the file
    // The undo history's state when the level last matched its file; undoing
    // or redoing back to it makes the level unmodified again.
    std::uint64_t savedState = 0;
    int selectedSentry = 0;   // 1..sentryCount in the sentry list, 0 for none

    // The face last clicked: Space on the clicked cell builds in front of it.
    bool faceClicked = false;
    CellPos clickedCell, clickedFront;
    // A click moved the cursor but not the view: the camera stays where it
    // was until a key moves the cursor or a double-click asks for it.
    bool cameraStays = false;

    Random random;
    Random seeds;  // draws the random seeds of new levels; seeded from the clock at start-up
};

// The cell of a cursor position, and the centre of a cell.
CellPos CursorCell(const CursorPos& p);
CursorPos CellCentre(const CellPos& c);

// Where every edit acts: the cell the cursor is heading to, which is also
// where the cursor frame is drawn.  (Only the camera glides.)
inline CellPos TargetCell(const EditorState& s) { return CursorCell(s.cursorTarget); }

// Puts target and shown cursor at the centre of a cell, the camera with them
// (no clamping: the frame's clamp brings the target back inside).
void JumpCursor(EditorState& s, const CellPos& cell);

enum class CursorMove { Forward, Back, Left, Right, Up, Down, TurnLeft, TurnRight, LookUp, LookDown, ZoomIn, ZoomOut };
// One step; a step that moves the cursor is held inside the grid at once and
// brings the camera along.
void MoveCursor(EditorState& s, CursorMove move);

// Holds the target inside the grid: each axis within [256, size * 512 - 256].
void ClampCursor(EditorState& s);

// The shown values move a quarter of the way to their targets per 90 ms
// (elapsed time capped at 1000 ms), and land on them once less than a pixel
// away.
void FollowCursor(EditorState& s, int elapsedMs);
// Every shown value is on its target: the view has nothing left to animate.
bool CursorAtRest(const EditorState& s);

// The level view's eye: behind the shown cursor at the shown distance, lifted
// by the pitch, looking at it.
WorldCamera EditorCamera(const EditorState& s);

// Sets the status line.
inline void Say(EditorState& s, std::string text) { s.status = std::move(text); }

// Start-up: a 100-cell new level in both Worlds, no sentries, seed 0, the
// cursor over the middle of the floor.
void InitEditor(EditorState& s);

}  // namespace zq
