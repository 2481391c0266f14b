// Boxes of cells as a designer moves them about: the box from point A to
// point B copied, cut, pasted (also into another level, through a text form
// the system clipboard carries), moved, turned a quarter about Y, mirrored,
// deleted; and the flood fill of a connected patch.  Each editing command is
// one undo step.  Regions carry the cells' objects, light and stretch; the
// start, exit, markers and sentries stay where they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/editing.h"
#include "editor/editor_state.h"

namespace zq {

// The largest region the clipboard takes: a whole 256 x 64 x 256 level.
inline constexpr std::int64_t kMaxRegionCells = std::int64_t{256} * 64 * 256;

// A box of cells lifted out of a level, x fastest, then y, then z.
struct Region {
    int sizeX = 0, sizeY = 0, sizeZ = 0;
    std::vector<Cell> cells;
    std::vector<std::uint8_t> light, stretch;

    bool Empty() const { return cells.empty(); }
    std::size_t Index(int x, int y, int z) const {
        return static_cast<std::size_t>(x) +
               static_cast<std::size_t>(sizeX) * (static_cast<std::size_t>(y) + static_cast<std::size_t>(sizeY) * static_cast<std::size_t>(z));
    }
    bool operator==(const Region&) const = default;
};

// The lowest and highest corner of the box from a to b.
CellPos BoxLow(const CellPos& a, const CellPos& b);
CellPos BoxHigh(const CellPos& a, const CellPos& b);

// The cells of the box from a to b (cells outside the grid read as empty, light 128).
Region CopyRegion(const World& w, const CellPos& a, const CellPos& b);
// Writes the region with its lowest corner at `at`; what falls outside the grid is dropped.
void PasteRegion(World& w, const Region& r, const CellPos& at);

// A quarter turn about Y: +Z becomes +X and +X becomes -Z, so the size on X
// and Z swap.  Objects that face a way (a ladder climbed from one side, a
// lever) become the type of the same kind that faces the turned way, when the
// bank has one; see TurnedType.
Region RotateRegion(const Region& r, const World& defs);
// Mirrored on X (left and right swap) or on Z (front and back swap).
Region MirrorRegion(const Region& r, Axis axis, const World& defs);

// How an object type looks after the region turns or mirrors: the type of
// the same kind (ladder, lever, door ... flags alike) whose collision box is
// nearest to this one's turned or mirrored box, or the type itself when it
// is at least as near (anything symmetric stays as it is).
enum class RegionTurn { Quarter, MirrorX, MirrorZ };
Cell TurnedType(const World& defs, Cell type, RegionTurn turn);

// The clipboard's text: a first line "zorvoquib-region 1 SX SY SZ", then one
// line per row of cells along X, each cell "object.light.stretch" in decimal
// ("0" alone for an empty cell at light 128 and stretch 0).
std::string RegionText(const Region& r);
// Reads that text back; nullopt with `why` set when it is not a region.
std::optional<Region> ParseRegion(const std::string& text, std::string& why);

// The commands.  Copy and Cut need points A and B; Cut empties the box (light
// 128, stretch 0).  Paste puts the clipboard's lowest corner at the cursor cell
// and makes the pasted box the new A-B box, so it can be turned at once.
// Move carries the box's cells so its lowest corner lands on the cursor cell,
// emptying the cells it left.  Rotate and Mirror turn the box in place about
// its lowest corner (Rotate swaps the box's X and Z sizes; cells it no longer
// covers are emptied).  DeleteRegion empties the box and frees its markers.
// FloodFill paints `value` over every cell connected to the cursor cell
// (sharing a face, within the cursor's layer, and within the A-B box when
// the cursor is inside it) that holds what the cursor cell holds; it
// returns how many cells it painted.
bool CopySelection(EditorState& s, Region& clipboard);
bool CutSelection(EditorState& s, Region& clipboard);
bool PasteClipboard(EditorState& s, const Region& clipboard);
bool MoveSelection(EditorState& s);
bool RotateSelection(EditorState& s);
bool MirrorSelection(EditorState& s, Axis axis);
bool DeleteSelection(EditorState& s);
std::int64_t FloodFill(EditorState& s, Cell value);

}  // namespace zq
