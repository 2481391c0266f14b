#include "editor/undo_history.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zq {

namespace {

// Cells compared a block at a time: most blocks of a large level are equal,
// and one memcmp per plane says so far faster than a loop over every cell.
constexpr std::size_t kDiffBlock = 4096;

template <typename T, std::size_t N>
bool SameBytes(const std::array<T, N>& a, const std::array<T, N>& b) {
    return std::memcmp(a.data(), b.data(), sizeof(T) * N) == 0;
}

LevelGrid GridOf(const World& w) {
    return {w.sizeX, w.sizeY, w.sizeZ, w.cells, w.lightMap, w.stretchMap};
}

void TakeGrid(World& w, const LevelGrid& g) {
    w.sizeX = g.sizeX;
    w.sizeY = g.sizeY;
    w.sizeZ = g.sizeZ;
    w.cells = g.cells;
    w.lightMap = g.lightMap;
    w.stretchMap = g.stretchMap;
    IndexCells(w);
    CountLingots(w);
}

std::size_t GridBytes(const LevelGrid& g) { return g.cells.capacity() * sizeof(Cell) + g.lightMap.capacity() + g.stretchMap.capacity(); }

// Writes one side of a change into the working level through SetCell, which
// keeps the ingot counts, and into the baseline directly.
void Apply(World& working, World& baseline, const UndoAction& action, bool after) {
    if (action.gridBefore) {
        const LevelGrid& grid = after ? *action.gridAfter : *action.gridBefore;
        TakeGrid(working, grid);
        TakeGrid(baseline, grid);
    }
    const std::size_t sx = static_cast<std::size_t>(working.sizeX), sy = static_cast<std::size_t>(working.sizeY);
    for (const CellChange& c : action.cells) {
        if (c.index >= working.cells.size() || c.index >= baseline.cells.size()) continue;
        const Cell value = after ? c.after : c.before;
        const std::uint8_t light = after ? c.lightAfter : c.lightBefore;
        const std::uint8_t stretch = after ? c.stretchAfter : c.stretchBefore;
        const int x = static_cast<int>(c.index % sx);
        const int y = static_cast<int>(c.index / sx % sy);
        const int z = static_cast<int>(c.index / (sx * sy));
        SetCell(working, x, y, z, value);
        working.lightMap[c.index] = light;
        working.stretchMap[c.index] = stretch;
        baseline.cells[c.index] = value;
        baseline.lightMap[c.index] = light;
        baseline.stretchMap[c.index] = stretch;
    }
    if (action.headBefore) {
        const LevelHead& head = after ? *action.headAfter : *action.headBefore;
        ApplyHead(working, head);
        ApplyHead(baseline, head);
    }
}

}  // namespace

LevelHead HeadOf(const World& w) {
    LevelHead h;
    h.fogRed = w.fogRed;
    h.fogGreen = w.fogGreen;
    h.fogBlue = w.fogBlue;
    h.outsideLevel = w.outsideLevel;
    h.sentryCount = w.sentryCount;
    h.randomSeed = w.randomSeed;
    h.sentries = w.sentries;
    h.eventMarkers = w.eventMarkers;
    h.clipMarkers = w.clipMarkers;
    h.startX = w.startX;
    h.startY = w.startY;
    h.startZ = w.startZ;
    h.startHeading = w.startHeading;
    h.exitX = w.exitX;
    h.exitY = w.exitY;
    h.exitZ = w.exitZ;
    h.description = w.description;
    h.author = w.author;
    return h;
}

void ApplyHead(World& w, const LevelHead& h) {
    w.fogRed = h.fogRed;
    w.fogGreen = h.fogGreen;
    w.fogBlue = h.fogBlue;
    w.outsideLevel = h.outsideLevel;
    w.sentryCount = h.sentryCount;
    w.randomSeed = h.randomSeed;
    w.sentries = h.sentries;
    w.eventMarkers = h.eventMarkers;
    w.clipMarkers = h.clipMarkers;
    w.startX = h.startX;
    w.startY = h.startY;
    w.startZ = h.startZ;
    w.startHeading = h.startHeading;
    w.exitX = h.exitX;
    w.exitY = h.exitY;
    w.exitZ = h.exitZ;
    w.description = h.description;
    w.author = h.author;
}

bool SameHead(const LevelHead& a, const LevelHead& b) {
    return a.fogRed == b.fogRed && a.fogGreen == b.fogGreen && a.fogBlue == b.fogBlue &&
           a.outsideLevel == b.outsideLevel && a.sentryCount == b.sentryCount && a.randomSeed == b.randomSeed &&
           SameBytes(a.sentries, b.sentries) && SameBytes(a.eventMarkers, b.eventMarkers) &&
           SameBytes(a.clipMarkers, b.clipMarkers) && a.startX == b.startX && a.startY == b.startY &&
           a.startZ == b.startZ && a.startHeading == b.startHeading && a.exitX == b.exitX && a.exitY == b.exitY &&
           a.exitZ == b.exitZ && a.description == b.description && a.author == b.author;
}

std::size_t UndoAction::Bytes() const {
    std::size_t n = sizeof(UndoAction) + cells.capacity() * sizeof(CellChange) + name.capacity();
    if (gridBefore) n += GridBytes(*gridBefore) + GridBytes(*gridAfter);
    if (headBefore) n += 2 * sizeof(LevelHead) + headBefore->description.size() + headBefore->author.size() +
                         headAfter->description.size() + headAfter->author.size();
    return n;
}

void UndoHistory::Clear() {
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    base_ = ++lastState_;
}

void UndoHistory::Reset(const World& working, World& baseline) {
    Clear();
    // The baseline keeps its own object table, clips and sky: those belong
    // to the loaded bank, and copying them for every reset would cost more
    // than the level.
    auto defs = std::move(baseline.objectDefs);
    auto clips = std::move(baseline.clips);
    MeshRef sky = std::move(baseline.skyMesh);
    baseline = working;
    baseline.objectDefs = std::move(defs);
    baseline.clips = std::move(clips);
    baseline.skyMesh = std::move(sky);
}

void UndoHistory::Push(std::deque<UndoAction>& list, UndoAction action) {
    bytes_ += action.Bytes();
    list.push_back(std::move(action));
    // The oldest actions go first when the history grows too large.
    while ((bytes_ > cap_ || undo_.size() > kUndoActionLimit) && !undo_.empty()) {
        bytes_ -= std::min(bytes_, undo_.front().Bytes());
        base_ = undo_.front().state;
        undo_.pop_front();
    }
}

UndoHistory::Recorded UndoHistory::Commit(const World& working, World& baseline, std::string name) {
    if (working.sizeX != baseline.sizeX || working.sizeY != baseline.sizeY || working.sizeZ != baseline.sizeZ ||
        working.cells.size() != baseline.cells.size()) {
        return CommitResize(working, baseline, std::move(name));
    }
    UndoAction action;
    bool tooLarge = false;
    const std::size_t n = working.cells.size();
    for (std::size_t start = 0; start < n; start += kDiffBlock) {
        const std::size_t len = std::min(kDiffBlock, n - start);
        if (std::memcmp(&working.cells[start], &baseline.cells[start], len * sizeof(Cell)) == 0 &&
            std::memcmp(&working.lightMap[start], &baseline.lightMap[start], len) == 0 &&
            std::memcmp(&working.stretchMap[start], &baseline.stretchMap[start], len) == 0)
            continue;
        for (std::size_t i = start; i < start + len; ++i) {
            Cell& cell = baseline.cells[i];
            std::uint8_t& light = baseline.lightMap[i];
            std::uint8_t& stretch = baseline.stretchMap[i];
            if (cell == working.cells[i] && light == working.lightMap[i] && stretch == working.stretchMap[i]) continue;
            if (!tooLarge) {
                action.cells.push_back({static_cast<std::uint32_t>(i), cell, working.cells[i], light,
                                        working.lightMap[i], stretch, working.stretchMap[i]});
                if (action.cells.size() * sizeof(CellChange) > cap_) {
                    tooLarge = true;
                    action.cells = {};
                }
            }
            cell = working.cells[i];
            light = working.lightMap[i];
            stretch = working.stretchMap[i];
        }
    }
    LevelHead before = HeadOf(baseline), after = HeadOf(working);
    const bool headChanged = !SameHead(before, after);
    if (headChanged) ApplyHead(baseline, after);
    if (tooLarge) {
        Clear();
        return Recorded::TooLarge;
    }
    if (action.cells.empty() && !headChanged) return Recorded::Nothing;
    if (headChanged) {
        action.headBefore = std::make_unique<LevelHead>(std::move(before));
        action.headAfter = std::make_unique<LevelHead>(std::move(after));
    }
    action.cells.shrink_to_fit();
    action.name = std::move(name);
    Keep(std::move(action));
    return Recorded::Action;
}

void UndoHistory::Keep(UndoAction action) {
    action.state = ++lastState_;
    redo_.clear();
    bytes_ = 0;
    for (const UndoAction& a : undo_) bytes_ += a.Bytes();
    Push(undo_, std::move(action));
}

UndoHistory::Recorded UndoHistory::CommitResize(const World& working, World& baseline, std::string name) {
    UndoAction action;
    action.name = std::move(name);
    action.gridBefore = std::make_unique<LevelGrid>(GridOf(baseline));
    action.gridAfter = std::make_unique<LevelGrid>(GridOf(working));
    LevelHead before = HeadOf(baseline), after = HeadOf(working);
    TakeGrid(baseline, *action.gridAfter);
    ApplyHead(baseline, after);
    if (action.Bytes() > cap_) {
        Clear();
        return Recorded::TooLarge;
    }
    action.headBefore = std::make_unique<LevelHead>(std::move(before));
    action.headAfter = std::make_unique<LevelHead>(std::move(after));
    Keep(std::move(action));
    return Recorded::Action;
}

bool UndoHistory::Undo(World& working, World& baseline) {
    if (undo_.empty()) return false;
    UndoAction action = std::move(undo_.back());
    undo_.pop_back();
    bytes_ -= std::min(bytes_, action.Bytes());
    Apply(working, baseline, action, false);
    Push(redo_, std::move(action));
    return true;
}

bool UndoHistory::Redo(World& working, World& baseline) {
    if (redo_.empty()) return false;
    UndoAction action = std::move(redo_.back());
    redo_.pop_back();
    bytes_ -= std::min(bytes_, action.Bytes());
    Apply(working, baseline, action, true);
    Push(undo_, std::move(action));
    return true;
}

}  // namespace zq
