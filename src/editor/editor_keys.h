// The editor's keyboard: keys are tested by their current state once a frame,
// so a held key acts on every frame.  The window turns its toolkit's key
// events into an EditorKeyboard record before anything here sees them.
#pragma once

#include <array>
#include <cstddef>

#include "editor/editor_state.h"

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
    bool ctrl = false, alt = false;
    bool anyDown = false;  // any key at all, ours or not (after a prompt we wait for none)

    bool Down(EditorKey k) const { return down[static_cast<std::size_t>(k)]; }
    void Set(EditorKey k, bool on) { down[static_cast<std::size_t>(k)] = on; }
};

// True for the keys whose going down takes an undo snapshot.
bool SnapshotKey(EditorKey k);

// One frame of keyboard polling.  `previous` is last frame's state (for the
// key-down snapshots) and is updated.  Nothing acts while a prompt is open or
// while the editor waits for the keys to be released after one.  Keys act
// only while neither Ctrl nor Alt is held, so that menu shortcuts never also
// edit; Ctrl with Left and Right moves the cursor sideways.  Returns true when
// the working level changed.
bool PollEditorKeys(EditorState& s, const EditorKeyboard& now, EditorKeyboard& previous);

// The whole toolkit-free frame: keys, the clamp, then the smooth follow.
bool EditorFrame(EditorState& s, const EditorKeyboard& now, EditorKeyboard& previous, int elapsedMs);

}  // namespace zq
