// Growing or shrinking a level: each axis at either end, the cells kept where
// they stand relative to one another, and the start, exit, markers and
// sentries carried along with them.
#pragma once

#include <array>
#include <string>

#include "editor/editor_state.h"

namespace zq {

// Cells added (positive) or taken away (negative) at the low and the high
// end of X, Y and Z.
struct LevelResize {
    std::array<int, 3> low{}, high{};
};

// Why the level cannot be resized so ("" when it can): a size out of the
// loader's range, or a filled cell, the start, the exit, a marker or a
// sentry that would fall outside the new grid.
std::string ResizeProblem(const World& w, const LevelResize& r);
// Resizes the working level (one undo step); false, with the status line
// saying why, when ResizeProblem refuses it or the memory cannot be had.
bool ResizeLevel(EditorState& s, const LevelResize& r);

}  // namespace zq
