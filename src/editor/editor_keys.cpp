#include "editor/editor_keys.h"

#include <algorithm>

#include "editor/editing.h"

namespace zq {

namespace {

bool PaintKey(EditorKey k) {
    switch (k) {
        case EditorKey::Space: case EditorKey::Backspace: case EditorKey::Delete: case EditorKey::D:
        case EditorKey::X: case EditorKey::S: case EditorKey::P:
            return true;
        default:
            return false;
    }
}

// The key's effect, once.
bool Act(EditorState& s, EditorKey k, bool ctrl) {
    switch (k) {
        case EditorKey::Up: MoveCursor(s, CursorMove::Forward); return false;
        case EditorKey::Down: MoveCursor(s, CursorMove::Back); return false;
        case EditorKey::Right: MoveCursor(s, ctrl ? CursorMove::Right : CursorMove::TurnRight); return false;
        case EditorKey::Left: MoveCursor(s, ctrl ? CursorMove::Left : CursorMove::TurnLeft); return false;
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

bool PollEditorKeys(EditorState& s, const EditorKeyboard& now, EditorKeyMemory& memory, int elapsedMs) {
    auto quiet = [&] {
        for (KeyRepeatState& r : memory.repeat) r = KeyRepeatState{};
        memory.previous = now;
        return false;
    };
    if (s.dialogOpen) return quiet();
    if (s.waitForKeysUp) {
        if (now.anyDown) return quiet();
        s.waitForKeysUp = false;
    }
    const bool plain = !now.ctrl && !now.alt;
    bool changed = false, editHeld = false, commitDone = false;
    for (std::size_t i = 0; i < kEditorKeyCount; ++i) {
        const auto k = static_cast<EditorKey>(i);
        const bool sideways = (k == EditorKey::Left || k == EditorKey::Right) && now.ctrl && !now.alt;
        const int presses = std::max(now.presses[i], now.down[i] && !memory.previous.down[i] ? 1 : 0);
        if (!plain && !sideways) {
            // Held under a modifier (a menu shortcut or mnemonic): quiet
            // until pressed again without one.
            memory.repeat[i] = KeyRepeatState{};
            continue;
        }
        int steps = KeyRepeatSteps(memory.repeat[i], now.down[i], presses, elapsedMs, memory.timing);
        if (PaintKey(k) && memory.repeat[i].held) steps = std::max(steps, 1);  // paints on every frame while held
        if (SnapshotKey(k)) {
            if (presses > 0 && !commitDone) {
                // A new editing key closes the action before it.
                CommitAction(s);
                commitDone = true;
            }
            if (memory.repeat[i].held) editHeld = true;
            // A paint key acts once however many times it was tapped in one frame.
            if (PaintKey(k)) steps = std::min(steps, 1);
        }
        for (int n = 0; n < steps; ++n) changed |= Act(s, k, sideways);
    }
    // Once no editing key is held, what they did is one finished action.
    if (!editHeld && s.pending) CommitAction(s);
    memory.previous = now;
    return changed;
}

bool EditorFrame(EditorState& s, const EditorKeyboard& now, EditorKeyMemory& memory, int elapsedMs) {
    const bool changed = PollEditorKeys(s, now, memory, elapsedMs);
    ClampCursor(s);
    FollowCursor(s, elapsedMs);
    return changed;
}

}  // namespace zq
