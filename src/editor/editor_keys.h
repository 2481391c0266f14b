// The editor's keyboard: once a frame the keys held and the presses since the
// last frame are turned into steps.  A press always acts once at once; a held
// key repeats in time (see key_repeat.h), never once per frame.  The window
// turns its toolkit's key events into an EditorKeyboard record before
// anything here sees them.
#pragma once

#include <array>
#include <cstddef>

#include "editor/editor_state.h"
#include "editor/key_repeat.h"

namespace zq {

enum class EditorKey {
    Up, Down, Left, Right,
    B, H, PageUp, PageDown, Plus, Minus,
    Space, Backspace, Delete, D, X, S, A, E, P, End, Home,
    Count
};
inline constexpr std::size_t kEditorKeyCount = static_cast<std::size_t>(EditorKey::Count);

struct EditorKeyboard {
    std::array<bool, kEditorKeyCount> down{};
    std::array<int, kEditorKeyCount> presses{};  // key-downs since the last frame (a tap may come and go between two)
    bool ctrl = false, alt = false;
    bool anyDown = false;  // any key at all, ours or not (after a prompt we wait for none)

    bool Down(EditorKey k) const { return down[static_cast<std::size_t>(k)]; }
    void Set(EditorKey k, bool on) { down[static_cast<std::size_t>(k)] = on; }
};

// Where the keyboard stood last frame, and each key's repeat.
struct EditorKeyMemory {
    EditorKeyboard previous;
    std::array<KeyRepeatState, kEditorKeyCount> repeat{};
    KeyRepeatTiming timing;
};

// True for the keys that edit the level: their going down starts a new undo
// step, and everything they do while held belongs to it.
bool SnapshotKey(EditorKey k);

// One frame of keyboard polling, `elapsedMs` after the last.  A key that is
// down now but was not last frame counts as pressed even without a press in
// `now.presses`.  Cursor, turn, tilt, zoom, light and stretch keys step once
// per press and then repeat; Space, Delete, Backspace, D, X, S and P act on
// the press and on every frame while held (to paint along a moving cursor).
// Nothing acts while a prompt is open or while the editor waits for the keys
// to be released after one.  Keys act only while neither Ctrl nor Alt is
// held, so that menu shortcuts never also edit, and a key held when one of
// them goes down stays quiet until pressed again; Ctrl with Left and Right
// moves the cursor sideways.  Returns true when the working level changed.
bool PollEditorKeys(EditorState& s, const EditorKeyboard& now, EditorKeyMemory& memory, int elapsedMs);

// The whole toolkit-free frame: keys, the clamp, then the smooth follow.
bool EditorFrame(EditorState& s, const EditorKeyboard& now, EditorKeyMemory& memory, int elapsedMs);

}  // namespace zq
