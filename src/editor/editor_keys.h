// The editor's keyboard, handled as events: a key acts once, at once, when
// its press arrives, with the Ctrl and Alt that the press itself carried, on
// the cell the cursor is heading to.  A held key repeats in time (see
// key_repeat.h), never once per frame, and a held paint key (Space, Delete,
// D, X, S, P) acts once more on each cell the cursor then enters.  Nothing
// here depends on when frames fall: a busy machine that draws a frame every
// quarter second edits exactly what an idle one does.  The window turns its
// toolkit's key events into these calls before anything else sees them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

// One key going down, with the modifiers of that very event.
struct EditorKeyPress {
    EditorKey key = EditorKey::Up;
    bool ctrl = false, alt = false;
    bool shift = false;
};

// A key the editor saw go down and not yet come up.
struct HeldEditorKey {
    bool down = false;
    bool quiet = false;     // Ctrl or Alt went down while held: it acts no more until pressed again
    bool sideways = false;  // Left or Right pressed with Ctrl or Shift: it moves (and repeats) sideways
    bool selecting = false; // a cursor key pressed with Shift: point B follows the cursor
    std::int64_t lastMs = 0;  // when its repeat was last brought up to date
    KeyRepeatState repeat;
};

struct EditorKeyMemory {
    std::array<HeldEditorKey, kEditorKeyCount> keys{};
    KeyRepeatTiming timing;
    CellPos painted;  // the cell the held paint keys last acted on

    const HeldEditorKey& operator[](EditorKey k) const { return keys[static_cast<std::size_t>(k)]; }
    HeldEditorKey& operator[](EditorKey k) { return keys[static_cast<std::size_t>(k)]; }
};

// True for the keys that edit the level: their going down starts a new undo
// step, and everything they do while held belongs to it.
bool SnapshotKey(EditorKey k);
// The keys that act again on each cell the cursor enters while they are held.
bool PaintKey(EditorKey k);

// A key went down at `nowMs` (any steady millisecond clock, the same one the
// frames use).  It acts once now, on the target cell.  Under Ctrl or Alt a
// key does nothing (menu shortcuts and mnemonics must never also edit),
// except Ctrl with Left and Right, which move the cursor sideways.  With
// Shift the cursor keys (arrows, H, B) draw a box: point A stays where the
// first one started and point B follows the cursor, Left and Right stepping
// sideways.  Nothing
// acts while a prompt is open.  Returns true when the working level changed.
bool PressEditorKey(EditorState& s, EditorKeyMemory& memory, const EditorKeyPress& press, std::int64_t nowMs);
// The key came up.  Once no editing key is held, what they did is one
// finished undo step.
void ReleaseEditorKey(EditorState& s, EditorKeyMemory& memory, EditorKey key);
// Ctrl or Alt went down: every key held now stays quiet until pressed again.
void QuietHeldKeys(EditorKeyMemory& memory);
// The keyboard went elsewhere (focus lost, a menu or a prompt opened): every
// key counts as released.
void ReleaseAllEditorKeys(EditorState& s, EditorKeyMemory& memory);

// While a paint key is held, the target cell, if the cursor moved to a new
// one, gets that key's edit once.  The keys call it after every step; the
// window calls it after moving the cursor by other means (a mouse pan).
bool PaintAlong(EditorState& s, EditorKeyMemory& memory);

// The repeats of the held keys that fell due by `nowMs`.
bool RepeatEditorKeys(EditorState& s, EditorKeyMemory& memory, std::int64_t nowMs);

// The whole toolkit-free frame, `elapsedMs` after the last: the repeats due
// by `nowMs`, the clamp, then the smooth follow.  Returns true when the
// working level changed.
bool EditorFrame(EditorState& s, EditorKeyMemory& memory, std::int64_t nowMs, int elapsedMs);

// Nothing left to animate: no key repeating, the view on its targets.  The
// window stops drawing frames until the next event.
bool EditorAtRest(const EditorState& s, const EditorKeyMemory& memory);

}  // namespace zq
