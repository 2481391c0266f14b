#include "editor/level_resize.h"

#include <algorithm>
#include <cstdint>

#include "editor/editing.h"
#include "editor/editor_commands.h"

namespace zq {

namespace {

struct Shifted {
    std::array<int, 3> size{}, offset{};
};

Shifted NewShape(const World& w, const LevelResize& r) {
    const int old[3] = {w.sizeX, w.sizeY, w.sizeZ};
    Shifted s;
    for (std::size_t a = 0; a < 3; ++a) {
        s.size[a] = old[a] + r.low[a] + r.high[a];
        s.offset[a] = r.low[a];
    }
    return s;
}

bool InShape(const Shifted& s, int x, int y, int z) {
    x += s.offset[0];
    y += s.offset[1];
    z += s.offset[2];
    return x >= 0 && y >= 0 && z >= 0 && x < s.size[0] && y < s.size[1] && z < s.size[2];
}

// A point that was inside the old grid and would not be inside the new one.
bool FallsOut(const World& w, const Shifted& s, int x, int y, int z) { return w.InGrid(x, y, z) && !InShape(s, x, y, z); }

}  // namespace

std::string ResizeProblem(const World& w, const LevelResize& r) {
    const Shifted s = NewShape(w, r);
    if (std::string why = NewLevelSizeError(s.size[0], s.size[1], s.size[2]); !why.empty()) return why;
    for (int z = 0; z < w.sizeZ; ++z)
        for (int y = 0; y < w.sizeY; ++y)
            for (int x = 0; x < w.sizeX; ++x)
                if (!InShape(s, x, y, z) && w.cells[w.Index(x, y, z)] != 0)
                    return "The filled cell " + CellText(x, y, z) + " would fall outside the level.";
    if (FallsOut(w, s, w.startX, w.startY, w.startZ))
        return "The start point " + CellText(w.startX, w.startY, w.startZ) + " would fall outside the level.";
    if (FallsOut(w, s, w.exitX, w.exitY, w.exitZ))
        return "The exit point " + CellText(w.exitX, w.exitY, w.exitZ) + " would fall outside the level.";
    for (const ClipMarker& m : w.clipMarkers)
        if (m.x >= 0 && FallsOut(w, s, m.x, m.y, m.z)) return "The clip marker at " + CellText(m.x, m.y, m.z) + " would fall outside the level.";
    for (const EventMarker& m : w.eventMarkers)
        if (m.x >= 0 && FallsOut(w, s, m.x, m.y, m.z)) return "The event marker at " + CellText(m.x, m.y, m.z) + " would fall outside the level.";
    for (int i = 0; i < std::min(w.sentryCount, kMaxSentries); ++i) {
        const SentryState& e = w.sentries[static_cast<std::size_t>(i)];
        if (FallsOut(w, s, e.cellX, e.cellY, e.cellZ))
            return "Sentry " + std::to_string(i + 1) + " at " + CellText(e.cellX, e.cellY, e.cellZ) + " would fall outside the level.";
    }
    return {};
}

bool ResizeLevel(EditorState& s, const LevelResize& r) {
    World& w = *s.working;
    if (std::string why = ResizeProblem(w, r); !why.empty()) {
        Say(s, "The level was not resized: " + why);
        return false;
    }
    CommitAction(s);
    const Shifted shape = NewShape(w, r);
    World fresh;
    if (!AllocateGrid(fresh, shape.size[0], shape.size[1], shape.size[2])) {
        Say(s, kNotEnoughMemory);
        return false;
    }
    std::fill(fresh.lightMap.begin(), fresh.lightMap.end(), std::uint8_t{128});
    const int dx = shape.offset[0], dy = shape.offset[1], dz = shape.offset[2];
    for (int z = 0; z < w.sizeZ; ++z)
        for (int y = 0; y < w.sizeY; ++y)
            for (int x = 0; x < w.sizeX; ++x) {
                if (!InShape(shape, x, y, z)) continue;
                const std::size_t from = w.Index(x, y, z), to = fresh.Index(x + dx, y + dy, z + dz);
                fresh.cells[to] = w.cells[from];
                fresh.lightMap[to] = w.lightMap[from];
                fresh.stretchMap[to] = w.stretchMap[from];
            }
    w.sizeX = fresh.sizeX;
    w.sizeY = fresh.sizeY;
    w.sizeZ = fresh.sizeZ;
    w.cells.swap(fresh.cells);
    w.lightMap.swap(fresh.lightMap);
    w.stretchMap.swap(fresh.stretchMap);
    IndexCells(w);
    CountLingots(w);

    // Everything placed moves with the cells; what lay outside stays unset.
    auto carry = [&](std::int32_t& x, std::int32_t& y, std::int32_t& z) {
        x += dx;
        y += dy;
        z += dz;
    };
    carry(w.startX, w.startY, w.startZ);
    carry(w.exitX, w.exitY, w.exitZ);
    for (ClipMarker& m : w.clipMarkers)
        if (m.x >= 0) carry(m.x, m.y, m.z);
    for (EventMarker& m : w.eventMarkers)
        if (m.x >= 0) carry(m.x, m.y, m.z);
    for (int i = 0; i < std::min(w.sentryCount, kMaxSentries); ++i) {
        SentryState& e = w.sentries[static_cast<std::size_t>(i)];
        carry(e.cellX, e.cellY, e.cellZ);
        e.x += static_cast<float>(dx * kCellSize);
        e.y += static_cast<float>(dy * kCellSize);
        e.z += static_cast<float>(dz * kCellSize);
        e.destX += static_cast<float>(dx * kCellSize);
        e.destY += static_cast<float>(dy * kCellSize);
        e.destZ += static_cast<float>(dz * kCellSize);
    }
    for (CellPos* p : {&s.pointA, &s.pointB})
        if (p->x != kUnsetPoint) *p = {p->x + dx, p->y + dy, p->z + dz};
    const CellPos c = TargetCell(s);
    JumpCursor(s, {c.x + dx, c.y + dy, c.z + dz});
    s.modified = true;
    s.pending = true;
    Say(s, "The level is now " + std::to_string(w.sizeX) + " x " + std::to_string(w.sizeY) + " x " + std::to_string(w.sizeZ) + " cells.");
    return true;
}

}  // namespace zq
