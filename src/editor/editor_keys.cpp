#include "editor/editor_keys.h"

#include <algorithm>
#include <climits>

#include "editor/editing.h"

namespace zq {

namespace {

// What an editing key's step is called in the history list.
const char* KeyStepName(EditorKey k) {
    switch (k) {
        case EditorKey::Space: return "Put object";
        case EditorKey::Backspace: case EditorKey::Delete: return "Empty cell";
        case EditorKey::D: return "Start point";
        case EditorKey::X: return "Exit point";
        case EditorKey::S: return "Clip marker";
        case EditorKey::P: return "Event marker";
        case EditorKey::A: return "Darker cell";
        case EditorKey::E: return "Lighter cell";
        case EditorKey::End: return "Stretch down";
        case EditorKey::Home: return "Stretch up";
        default: return "";
    }
}

// The key's effect, once.  Returns true when it changed the level.
bool Act(EditorState& s, EditorKey k, bool sideways) {
    if (*KeyStepName(k)) NameStep(s, KeyStepName(k));
    switch (k) {
        case EditorKey::Up: MoveCursor(s, CursorMove::Forward); return false;
        case EditorKey::Down: MoveCursor(s, CursorMove::Back); return false;
        case EditorKey::Right: MoveCursor(s, sideways ? CursorMove::Right : CursorMove::TurnRight); return false;
        case EditorKey::Left: MoveCursor(s, sideways ? CursorMove::Left : CursorMove::TurnLeft); return false;
        case EditorKey::B: MoveCursor(s, CursorMove::Down); return false;
        case EditorKey::H: MoveCursor(s, CursorMove::Up); return false;
        case EditorKey::PageUp: MoveCursor(s, CursorMove::LookUp); return false;
        case EditorKey::PageDown: MoveCursor(s, CursorMove::LookDown); return false;
        case EditorKey::Plus: MoveCursor(s, CursorMove::ZoomIn); return false;
        case EditorKey::Minus: MoveCursor(s, CursorMove::ZoomOut); return false;
        case EditorKey::Space: PutBlock(s); return true;
        case EditorKey::Backspace: case EditorKey::Delete: DeleteCell(s); return true;
        case EditorKey::D: PlaceStart(s); return true;
        case EditorKey::X: PlaceExit(s); return true;
        case EditorKey::S: PlaceClipMarker(s); return true;
        case EditorKey::P: PlaceEventMarker(s); return true;
        case EditorKey::A: Darken(s); return true;
        case EditorKey::E: Brighten(s); return true;
        case EditorKey::End: StretchDown(s); return true;
        case EditorKey::Home: StretchUp(s); return true;
        case EditorKey::Count: break;
    }
    return false;
}

bool Acting(const HeldEditorKey& h) { return h.down && !h.quiet; }

bool CursorKey(EditorKey k) {
    return k == EditorKey::Up || k == EditorKey::Down || k == EditorKey::Left || k == EditorKey::Right ||
           k == EditorKey::H || k == EditorKey::B;
}

// One step of a Shift+cursor key: a box starts at the cell the cursor
// leaves, unless the cursor is already at the end of the box being drawn.
void SelectStep(EditorState& s, EditorKey k, bool sideways) {
    if (s.pointA.x == kUnsetPoint || s.pointB.x == kUnsetPoint || TargetCell(s) != s.pointB) SetPointA(s);
    Act(s, k, sideways);
    ClampCursor(s);
    s.pointB = TargetCell(s);
    Say(s, "Box from " + CellText(s.pointA) + " to " + CellText(s.pointB) + ".");
}

// The key's effect once, drawing the box when it was pressed with Shift.
bool KeyStep(EditorState& s, EditorKey k, const HeldEditorKey& h) {
    if (!h.selecting) return Act(s, k, h.sideways);
    SelectStep(s, k, h.sideways);
    return false;
}

void CommitUnlessEditing(EditorState& s, const EditorKeyMemory& memory) {
    if (!s.pending) return;
    for (std::size_t i = 0; i < kEditorKeyCount; ++i)
        if (SnapshotKey(static_cast<EditorKey>(i)) && Acting(memory.keys[i])) return;
    CommitAction(s);
}

}  // namespace

bool SnapshotKey(EditorKey k) {
    switch (k) {
        case EditorKey::Space: case EditorKey::Backspace: case EditorKey::Delete: case EditorKey::End:
        case EditorKey::Home: case EditorKey::D: case EditorKey::X: case EditorKey::S: case EditorKey::A:
        case EditorKey::E: case EditorKey::P:
            return true;
        default:
            return false;
    }
}

bool PaintKey(EditorKey k) {
    switch (k) {
        case EditorKey::Space: case EditorKey::Backspace: case EditorKey::Delete: case EditorKey::D:
        case EditorKey::X: case EditorKey::S: case EditorKey::P:
            return true;
        default:
            return false;
    }
}

bool PaintAlong(EditorState& s, EditorKeyMemory& memory) {
    if (TargetCell(s) == memory.painted) return false;
    bool changed = false, painting = false;
    for (std::size_t i = 0; i < kEditorKeyCount; ++i) {
        const auto k = static_cast<EditorKey>(i);
        if (!PaintKey(k) || !Acting(memory.keys[i])) continue;
        changed |= Act(s, k, false);
        painting = true;
    }
    // Read after the edit: a block built on a clicked face moves the cursor there.
    if (painting) memory.painted = TargetCell(s);
    return changed;
}

bool PressEditorKey(EditorState& s, EditorKeyMemory& memory, const EditorKeyPress& press, std::int64_t nowMs) {
    HeldEditorKey& h = memory[press.key];
    h = HeldEditorKey{};
    if (s.dialogOpen) return false;
    const bool turnKey = press.key == EditorKey::Left || press.key == EditorKey::Right;
    const bool selecting = press.shift && !press.ctrl && !press.alt && CursorKey(press.key);
    const bool sideways = turnKey && ((press.ctrl && !press.alt) || selecting);
    // A chord with Ctrl or Alt belongs to the menus.
    if ((press.ctrl || press.alt) && !sideways) return false;
    h.down = true;
    h.sideways = sideways;
    h.selecting = selecting;
    h.lastMs = nowMs;
    const int steps = KeyRepeatSteps(h.repeat, true, 1, 0, memory.timing);
    // A new editing key closes the action before it.
    if (SnapshotKey(press.key)) CommitAction(s);
    bool changed = false;
    for (int n = 0; n < steps; ++n) changed |= KeyStep(s, press.key, h);
    if (PaintKey(press.key)) memory.painted = TargetCell(s);
    changed |= PaintAlong(s, memory);
    return changed;
}

void ReleaseEditorKey(EditorState& s, EditorKeyMemory& memory, EditorKey key) {
    memory[key] = HeldEditorKey{};
    CommitUnlessEditing(s, memory);
}

void QuietHeldKeys(EditorKeyMemory& memory) {
    for (HeldEditorKey& h : memory.keys)
        if (h.down) {
            h.quiet = true;
            h.repeat = KeyRepeatState{};
        }
}

void ReleaseAllEditorKeys(EditorState& s, EditorKeyMemory& memory) {
    for (HeldEditorKey& h : memory.keys) h = HeldEditorKey{};
    CommitUnlessEditing(s, memory);
}

bool RepeatEditorKeys(EditorState& s, EditorKeyMemory& memory, std::int64_t nowMs) {
    if (s.dialogOpen) return false;
    bool changed = false;
    for (std::size_t i = 0; i < kEditorKeyCount; ++i) {
        HeldEditorKey& h = memory.keys[i];
        if (!Acting(h)) continue;
        const auto elapsed = static_cast<int>(std::clamp<std::int64_t>(nowMs - h.lastMs, 0, INT_MAX));
        h.lastMs = std::max(h.lastMs, nowMs);
        const int steps = KeyRepeatSteps(h.repeat, true, 0, elapsed, memory.timing);
        const auto k = static_cast<EditorKey>(i);
        // A held paint key acts again only on a new cell (PaintAlong).
        if (PaintKey(k)) continue;
        for (int n = 0; n < steps; ++n) {
            changed |= KeyStep(s, k, h);
            changed |= PaintAlong(s, memory);
        }
    }
    return changed;
}

bool EditorFrame(EditorState& s, EditorKeyMemory& memory, std::int64_t nowMs, int elapsedMs) {
    bool changed = RepeatEditorKeys(s, memory, nowMs);
    ClampCursor(s);
    changed |= PaintAlong(s, memory);
    FollowCursor(s, elapsedMs);
    return changed;
}

bool EditorAtRest(const EditorState& s, const EditorKeyMemory& memory) {
    for (std::size_t i = 0; i < kEditorKeyCount; ++i)
        if (Acting(memory.keys[i]) && !PaintKey(static_cast<EditorKey>(i))) return false;
    return CursorAtRest(s);
}

}  // namespace zq
