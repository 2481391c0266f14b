#include "editor/editor_keys.h"

#include "editor/editing.h"

namespace zq {

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

bool PollEditorKeys(EditorState& s, const EditorKeyboard& now, EditorKeyboard& previous) {
    if (s.dialogOpen) {
        previous = now;
        return false;
    }
    if (s.waitForKeysUp) {
        if (now.anyDown) {
            previous = now;
            return false;
        }
        s.waitForKeysUp = false;
    }
    bool changed = false;
    const bool plain = !now.ctrl && !now.alt;
    if (plain) {
        for (std::size_t i = 0; i < kEditorKeyCount; ++i) {
            const auto k = static_cast<EditorKey>(i);
            if (SnapshotKey(k) && now.down[i] && !previous.down[i]) TakeSnapshot(s);
        }
    }
    auto held = [&](EditorKey k) { return now.Down(k); };

    // Ctrl with Left and Right moves sideways; every other key needs no modifier.
    if (plain || (now.ctrl && !now.alt)) {
        if (held(EditorKey::Right)) MoveCursor(s, now.ctrl ? CursorMove::Right : CursorMove::TurnRight);
        if (held(EditorKey::Left)) MoveCursor(s, now.ctrl ? CursorMove::Left : CursorMove::TurnLeft);
    }
    if (plain) {
        if (held(EditorKey::Up)) MoveCursor(s, CursorMove::Forward);
        if (held(EditorKey::Down)) MoveCursor(s, CursorMove::Back);
        if (held(EditorKey::B)) MoveCursor(s, CursorMove::Down);
        if (held(EditorKey::H)) MoveCursor(s, CursorMove::Up);
        if (held(EditorKey::PageUp)) MoveCursor(s, CursorMove::LookUp);
        if (held(EditorKey::PageDown)) MoveCursor(s, CursorMove::LookDown);
        if (held(EditorKey::Plus)) MoveCursor(s, CursorMove::ZoomIn);
        if (held(EditorKey::Minus)) MoveCursor(s, CursorMove::ZoomOut);
        auto act = [&](EditorKey k, void (*op)(EditorState&)) {
            if (held(k)) {
                op(s);
                changed = true;
            }
        };
        act(EditorKey::Space, PutBlock);
        if (held(EditorKey::Backspace) || held(EditorKey::Delete)) {
            DeleteCell(s);
            changed = true;
        }
        act(EditorKey::D, PlaceStart);
        act(EditorKey::X, PlaceExit);
        act(EditorKey::S, PlaceClipMarker);
        act(EditorKey::P, PlaceEventMarker);
        act(EditorKey::A, Darken);
        act(EditorKey::E, Brighten);
        act(EditorKey::End, StretchDown);
        act(EditorKey::Home, StretchUp);
    }
    previous = now;
    return changed;
}

bool EditorFrame(EditorState& s, const EditorKeyboard& now, EditorKeyboard& previous, int elapsedMs) {
    const bool changed = PollEditorKeys(s, now, previous);
    ClampCursor(s);
    FollowCursor(s, elapsedMs);
    return changed;
}

}  // namespace zq
