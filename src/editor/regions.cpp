#include "editor/regions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace zq {

namespace {

constexpr std::uint8_t kNeutralLight = 128;
constexpr int kMaxRegionSide = 256;  // the level loader's largest axis

void Changed(EditorState& s) {
    s.modified = true;
    s.pending = true;
}

CellPos RegionHigh(const Region& r, const CellPos& at) {
    return {at.x + r.sizeX - 1, at.y + r.sizeY - 1, at.z + r.sizeZ - 1};
}

// Empties the box: no object, light 128, stretch 0.
void ClearBox(World& w, const CellPos& lo, const CellPos& hi) {
    for (int z = lo.z; z <= hi.z; ++z)
        for (int y = lo.y; y <= hi.y; ++y)
            for (int x = lo.x; x <= hi.x; ++x) {
                SetCell(w, x, y, z, 0);
                SetLight(w, x, y, z, kNeutralLight);
                SetStretch(w, x, y, z, 0);
            }
}

void SelectBox(EditorState& s, const CellPos& lo, const CellPos& hi) {
    s.pointA = lo;
    s.pointB = hi;
}

// The parts of a collision box that a turn moves, in cell-local units
// (0..512 across the cell): Xmin, Xmax, Zmin, Zmax, then Ymin which no turn changes.
using Footprint = std::array<int, 5>;

Footprint FootprintOf(const ObjectDef& d) {
    return {d.bounds[kXmin], d.bounds[kXmax], d.bounds[kZmin], d.bounds[kZmax], d.bounds[kYmin]};
}

Footprint Turned(const Footprint& f, RegionTurn turn) {
    constexpr int kSide = 512;
    switch (turn) {
        // A point (x, z) of the cell goes to (z, 512 - x), as the cells do.
        case RegionTurn::Quarter: return {f[2], f[3], kSide - f[1], kSide - f[0], f[4]};
        case RegionTurn::MirrorX: return {kSide - f[1], kSide - f[0], f[2], f[3], f[4]};
        case RegionTurn::MirrorZ: return {f[0], f[1], kSide - f[3], kSide - f[2], f[4]};
    }
    return f;
}

int Distance(const Footprint& a, const Footprint& b) {
    int d = 0;
    for (std::size_t i = 0; i < a.size(); ++i) d += std::abs(a[i] - b[i]);
    return d;
}

// Two types are of one kind when they behave alike in the game: only their
// shape (and so their facing) differs.
bool SameKind(const ObjectDef& a, const ObjectDef& b) {
    return a.undefined == b.undefined && a.cube == b.cube && a.collision == b.collision && a.death == b.death &&
           a.canPush == b.canPush && a.ladder == b.ladder && a.lever == b.lever && a.leverDoor == b.leverDoor &&
           a.spring == b.spring && a.oneUp == b.oneUp && a.light == b.light && a.timer == b.timer &&
           a.lingot == b.lingot && a.door == b.door && a.blockKey == b.blockKey && a.blockSensor == b.blockSensor &&
           a.dig == b.dig && a.recover == b.recover && a.transparency == b.transparency;
}

// TurnedType for every object type at once; values past the table stay.
std::vector<Cell> TurnTable(const World& defs, RegionTurn turn) {
    std::vector<Cell> table(static_cast<std::size_t>(kObjectTypeCount));
    for (int t = 0; t < kObjectTypeCount; ++t) table[static_cast<std::size_t>(t)] = TurnedType(defs, static_cast<Cell>(t), turn);
    return table;
}

Cell TurnCell(const std::vector<Cell>& table, Cell c) { return IsObjectIndex(c) ? table[c] : c; }

// Moves cell (x, y, z) of `from` to (nx, ny, nz) of `to`, turning its object.
void CarryCell(const Region& from, int x, int y, int z, Region& to, int nx, int ny, int nz, const std::vector<Cell>& table) {
    const std::size_t i = from.Index(x, y, z), j = to.Index(nx, ny, nz);
    to.cells[j] = TurnCell(table, from.cells[i]);
    to.light[j] = from.light[i];
    to.stretch[j] = from.stretch[i];
}

Region Blank(int sx, int sy, int sz) {
    Region r;
    r.sizeX = sx;
    r.sizeY = sy;
    r.sizeZ = sz;
    const auto n = static_cast<std::size_t>(sx) * static_cast<std::size_t>(sy) * static_cast<std::size_t>(sz);
    r.cells.assign(n, 0);
    r.light.assign(n, kNeutralLight);
    r.stretch.assign(n, 0);
    return r;
}

bool PointsSet(const EditorState& s) { return s.pointA.x != kUnsetPoint && s.pointB.x != kUnsetPoint; }

bool Inside(const CellPos& c, const CellPos& lo, const CellPos& hi) {
    return c.x >= lo.x && c.y >= lo.y && c.z >= lo.z && c.x <= hi.x && c.y <= hi.y && c.z <= hi.z;
}

std::string SizeText(const Region& r) {
    return std::to_string(r.sizeX) + " x " + std::to_string(r.sizeY) + " x " + std::to_string(r.sizeZ);
}

}  // namespace

CellPos BoxLow(const CellPos& a, const CellPos& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}
CellPos BoxHigh(const CellPos& a, const CellPos& b) {
    return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}

Region CopyRegion(const World& w, const CellPos& a, const CellPos& b) {
    const CellPos lo = BoxLow(a, b), hi = BoxHigh(a, b);
    Region r = Blank(hi.x - lo.x + 1, hi.y - lo.y + 1, hi.z - lo.z + 1);
    for (int z = 0; z < r.sizeZ; ++z)
        for (int y = 0; y < r.sizeY; ++y)
            for (int x = 0; x < r.sizeX; ++x) {
                if (!w.InGrid(lo.x + x, lo.y + y, lo.z + z)) continue;
                const std::size_t i = r.Index(x, y, z);
                r.cells[i] = GetCell(w, lo.x + x, lo.y + y, lo.z + z);
                r.light[i] = GetLight(w, lo.x + x, lo.y + y, lo.z + z);
                r.stretch[i] = GetStretch(w, lo.x + x, lo.y + y, lo.z + z);
            }
    return r;
}

void PasteRegion(World& w, const Region& r, const CellPos& at) {
    for (int z = 0; z < r.sizeZ; ++z)
        for (int y = 0; y < r.sizeY; ++y)
            for (int x = 0; x < r.sizeX; ++x) {
                const std::size_t i = r.Index(x, y, z);
                SetCell(w, at.x + x, at.y + y, at.z + z, r.cells[i]);
                SetLight(w, at.x + x, at.y + y, at.z + z, r.light[i]);
                SetStretch(w, at.x + x, at.y + y, at.z + z, r.stretch[i]);
            }
}

Cell TurnedType(const World& defs, Cell type, RegionTurn turn) {
    if (type == 0 || !IsObjectIndex(type)) return type;
    const ObjectDef& own = defs.objectDefs[type];
    if (own.undefined) return type;
    const Footprint want = Turned(FootprintOf(own), turn);
    Cell best = type;
    int bestDistance = Distance(want, FootprintOf(own));
    for (int t = 1; t < kObjectTypeCount && bestDistance > 0; ++t) {
        const ObjectDef& d = defs.objectDefs[static_cast<std::size_t>(t)];
        if (t == type || !SameKind(own, d)) continue;
        const int distance = Distance(want, FootprintOf(d));
        if (distance < bestDistance) {
            best = static_cast<Cell>(t);
            bestDistance = distance;
        }
    }
    return best;
}

Region RotateRegion(const Region& r, const World& defs) {
    const std::vector<Cell> table = TurnTable(defs, RegionTurn::Quarter);
    Region out = Blank(r.sizeZ, r.sizeY, r.sizeX);
    for (int z = 0; z < r.sizeZ; ++z)
        for (int y = 0; y < r.sizeY; ++y)
            for (int x = 0; x < r.sizeX; ++x) CarryCell(r, x, y, z, out, z, y, r.sizeX - 1 - x, table);
    return out;
}

Region MirrorRegion(const Region& r, Axis axis, const World& defs) {
    const std::vector<Cell> table = TurnTable(defs, axis == Axis::Z ? RegionTurn::MirrorZ : RegionTurn::MirrorX);
    Region out = Blank(r.sizeX, r.sizeY, r.sizeZ);
    for (int z = 0; z < r.sizeZ; ++z)
        for (int y = 0; y < r.sizeY; ++y)
            for (int x = 0; x < r.sizeX; ++x) {
                const int nx = axis == Axis::X ? r.sizeX - 1 - x : x;
                const int nz = axis == Axis::Z ? r.sizeZ - 1 - z : z;
                CarryCell(r, x, y, z, out, nx, y, nz, table);
            }
    return out;
}

std::string RegionText(const Region& r) {
    std::string out = "zorvoquib-region 1 " + std::to_string(r.sizeX) + ' ' + std::to_string(r.sizeY) + ' ' +
                      std::to_string(r.sizeZ) + '\n';
    // Runs of equal cells are written once with their length ("12*0"):
    // most of a room is air or wall.
    auto token = [&](std::size_t i) {
        if (r.cells[i] == 0 && r.light[i] == kNeutralLight && r.stretch[i] == 0) return std::string("0");
        return std::to_string(r.cells[i]) + '.' + std::to_string(r.light[i]) + '.' + std::to_string(r.stretch[i]);
    };
    const std::size_t n = r.cells.size();
    std::size_t onLine = 0;
    for (std::size_t i = 0; i < n;) {
        const std::string t = token(i);
        std::size_t run = 1;
        while (i + run < n && r.cells[i + run] == r.cells[i] && r.light[i + run] == r.light[i] &&
               r.stretch[i + run] == r.stretch[i])
            ++run;
        if (onLine > 0) out += ' ';
        if (run > 1) out += std::to_string(run) + '*';
        out += t;
        if (++onLine == 16) {
            out += '\n';
            onLine = 0;
        }
        i += run;
    }
    if (onLine > 0) out += '\n';
    return out;
}

namespace {

// A decimal number in 0..limit, the whole of `text`.
bool ReadNumber(std::string_view text, std::int64_t limit, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && value >= 0 && value <= limit;
}

}  // namespace

std::optional<Region> ParseRegion(const std::string& text, std::string& why) {
    std::istringstream in(text);
    std::string magic, version;
    std::int64_t size[3] = {0, 0, 0};
    std::string sizeText[3];
    in >> magic >> version >> sizeText[0] >> sizeText[1] >> sizeText[2];
    if (magic != "zorvoquib-region") {
        why = "The clipboard holds no cells (copy a box with Ctrl+C first).";
        return std::nullopt;
    }
    if (version != "1") {
        why = "The clipboard's cells are of an unknown kind (version " + version + ").";
        return std::nullopt;
    }
    for (int a = 0; a < 3; ++a)
        if (!ReadNumber(sizeText[a], kMaxRegionSide, size[a]) || size[a] == 0) {
            why = "The clipboard's box has a bad size.";
            return std::nullopt;
        }
    Region r = Blank(static_cast<int>(size[0]), static_cast<int>(size[1]), static_cast<int>(size[2]));
    const std::size_t n = r.cells.size();
    std::size_t filled = 0;
    std::string token;
    while (in >> token) {
        std::int64_t run = 1;
        std::string_view cell = token;
        if (const auto star = cell.find('*'); star != std::string_view::npos) {
            if (!ReadNumber(cell.substr(0, star), static_cast<std::int64_t>(n), run) || run == 0) {
                why = "The clipboard's cells are damaged (\"" + token.substr(0, 40) + "\").";
                return std::nullopt;
            }
            cell = cell.substr(star + 1);
        }
        std::int64_t value = 0, light = kNeutralLight, stretch = 0;
        bool ok = true;
        if (cell == "0") {
            value = 0;
        } else {
            const auto dot1 = cell.find('.');
            const auto dot2 = dot1 == std::string_view::npos ? dot1 : cell.find('.', dot1 + 1);
            ok = dot2 != std::string_view::npos && ReadNumber(cell.substr(0, dot1), 65535, value) &&
                 ReadNumber(cell.substr(dot1 + 1, dot2 - dot1 - 1), 255, light) &&
                 ReadNumber(cell.substr(dot2 + 1), kMaxStretch, stretch);
        }
        if (!ok || static_cast<std::size_t>(run) > n - filled) {
            why = ok ? "The clipboard holds more cells than its box." : "The clipboard's cells are damaged (\"" + token.substr(0, 40) + "\").";
            return std::nullopt;
        }
        for (std::int64_t k = 0; k < run; ++k, ++filled) {
            r.cells[filled] = static_cast<Cell>(value);
            r.light[filled] = static_cast<std::uint8_t>(light);
            r.stretch[filled] = static_cast<std::uint8_t>(stretch);
        }
    }
    if (filled != n) {
        why = "The clipboard holds " + std::to_string(filled) + " of its box's " + std::to_string(n) + " cells.";
        return std::nullopt;
    }
    return r;
}

bool CopySelection(EditorState& s, Region& clipboard) {
    if (!NeedPoints(s)) return false;
    clipboard = CopyRegion(*s.working, s.pointA, s.pointB);
    Say(s, "Copied " + SizeText(clipboard) + " cells.");
    return true;
}

bool CutSelection(EditorState& s, Region& clipboard) {
    if (!NeedPoints(s)) return false;
    CommitAction(s);
    clipboard = CopyRegion(*s.working, s.pointA, s.pointB);
    ClearBox(*s.working, BoxLow(s.pointA, s.pointB), BoxHigh(s.pointA, s.pointB));
    Changed(s);
    Say(s, "Cut " + SizeText(clipboard) + " cells.");
    return true;
}

bool PasteClipboard(EditorState& s, const Region& clipboard) {
    if (clipboard.Empty()) {
        Say(s, "Nothing to paste: copy a box first (Ctrl+C).");
        return false;
    }
    CommitAction(s);
    const CellPos at = TargetCell(s);
    PasteRegion(*s.working, clipboard, at);
    SelectBox(s, at, RegionHigh(clipboard, at));
    Changed(s);
    Say(s, "Pasted " + SizeText(clipboard) + " cells at " + CellText(at) + ".");
    return true;
}

bool MoveSelection(EditorState& s) {
    if (!NeedPoints(s)) return false;
    CommitAction(s);
    const CellPos lo = BoxLow(s.pointA, s.pointB), hi = BoxHigh(s.pointA, s.pointB);
    const Region r = CopyRegion(*s.working, lo, hi);
    const CellPos at = TargetCell(s);
    ClearBox(*s.working, lo, hi);
    PasteRegion(*s.working, r, at);
    SelectBox(s, at, RegionHigh(r, at));
    Changed(s);
    Say(s, "Moved the box to " + CellText(at) + ".");
    return true;
}

bool RotateSelection(EditorState& s) {
    if (!NeedPoints(s)) return false;
    CommitAction(s);
    const CellPos lo = BoxLow(s.pointA, s.pointB), hi = BoxHigh(s.pointA, s.pointB);
    const Region r = RotateRegion(CopyRegion(*s.working, lo, hi), *s.working);
    ClearBox(*s.working, lo, hi);
    PasteRegion(*s.working, r, lo);
    SelectBox(s, lo, RegionHigh(r, lo));
    Changed(s);
    Say(s, "Turned the box a quarter (now " + SizeText(r) + ").");
    return true;
}

bool MirrorSelection(EditorState& s, Axis axis) {
    if (!NeedPoints(s)) return false;
    CommitAction(s);
    const CellPos lo = BoxLow(s.pointA, s.pointB), hi = BoxHigh(s.pointA, s.pointB);
    PasteRegion(*s.working, MirrorRegion(CopyRegion(*s.working, lo, hi), axis, *s.working), lo);
    Changed(s);
    Say(s, axis == Axis::Z ? "Mirrored the box front to back." : "Mirrored the box left to right.");
    return true;
}

bool DeleteSelection(EditorState& s) {
    if (!NeedPoints(s)) return false;
    CommitAction(s);
    World& w = *s.working;
    const CellPos lo = BoxLow(s.pointA, s.pointB), hi = BoxHigh(s.pointA, s.pointB);
    ClearBox(w, lo, hi);
    for (ClipMarker& m : w.clipMarkers)
        if (m.x >= 0 && Inside({m.x, m.y, m.z}, lo, hi)) m = ClipMarker{};
    for (EventMarker& m : w.eventMarkers)
        if (m.x >= 0 && Inside({m.x, m.y, m.z}, lo, hi)) {
            m.x = kFreeMarker;
            m.behaviour = 0;
        }
    Changed(s);
    Say(s, "Emptied the box.");
    return true;
}

std::int64_t FloodFill(EditorState& s, Cell value) {
    World& w = *s.working;
    const CellPos from = TargetCell(s);
    if (!w.InGrid(from.x, from.y, from.z)) return 0;
    CellPos lo{0, from.y, 0}, hi{w.sizeX - 1, from.y, w.sizeZ - 1};
    if (PointsSet(s) && Inside(from, BoxLow(s.pointA, s.pointB), BoxHigh(s.pointA, s.pointB))) {
        const CellPos boxLo = BoxLow(s.pointA, s.pointB), boxHi = BoxHigh(s.pointA, s.pointB);
        lo = {std::max(0, boxLo.x), from.y, std::max(0, boxLo.z)};
        hi = {std::min(w.sizeX - 1, boxHi.x), from.y, std::min(w.sizeZ - 1, boxHi.z)};
    }
    const Cell old = GetCell(w, from.x, from.y, from.z);
    if (old == value) {
        Say(s, "The cell already holds that object: nothing to fill.");
        return 0;
    }
    CommitAction(s);
    std::vector<CellPos> todo{from};
    SetCell(w, from.x, from.y, from.z, value);
    std::int64_t painted = 1;
    while (!todo.empty()) {
        const CellPos c = todo.back();
        todo.pop_back();
        const CellPos next[4] = {{c.x + 1, c.y, c.z}, {c.x - 1, c.y, c.z}, {c.x, c.y, c.z + 1}, {c.x, c.y, c.z - 1}};
        for (const CellPos& n : next) {
            if (!Inside(n, lo, hi) || GetCell(w, n.x, n.y, n.z) != old) continue;
            SetCell(w, n.x, n.y, n.z, value);
            ++painted;
            todo.push_back(n);
        }
    }
    Changed(s);
    Say(s, "Filled " + std::to_string(painted) + " cells.");
    return painted;
}

}  // namespace zq
