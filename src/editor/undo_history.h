// The editor's undo and redo.  Each user action is kept as the cells it
// changed (before and after) and, only when they changed, the level's other
// settings: a long history of small edits costs little even on the largest
// levels.  Changes are found by comparing the working level with a baseline
// copy, the level as it stood after the last recorded action, so every
// operation is undoable without having to announce what it touches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "world/world.h"

namespace zq {

inline constexpr std::size_t kUndoByteCap = std::size_t{256} << 20;  // the whole history, both ways
inline constexpr std::size_t kUndoActionLimit = 1000;               // actions kept at most

// The level apart from its grid: everything the editor's commands change.
struct LevelHead {
    std::uint8_t fogRed = 0, fogGreen = 0, fogBlue = 0, outsideLevel = 0;
    std::int32_t sentryCount = 0, randomSeed = 0;
    std::array<SentryState, kMaxSentries> sentries{};
    std::array<EventMarker, kMarkerCount> eventMarkers{};
    std::array<ClipMarker, kMarkerCount> clipMarkers{};
    std::int32_t startX = 0, startY = 0, startZ = 0, startHeading = 0;
    std::int32_t exitX = 0, exitY = 0, exitZ = 0;
    std::string description, author;
};
LevelHead HeadOf(const World& w);
void ApplyHead(World& w, const LevelHead& head);
bool SameHead(const LevelHead& a, const LevelHead& b);

struct CellChange {
    std::uint32_t index = 0;  // World::Index of the cell
    Cell before = 0, after = 0;
    std::uint8_t lightBefore = 0, lightAfter = 0;
    std::uint8_t stretchBefore = 0, stretchAfter = 0;
};

// A whole grid, kept when an action changed the level's size.
struct LevelGrid {
    std::int32_t sizeX = 0, sizeY = 0, sizeZ = 0;
    std::vector<Cell> cells;
    std::vector<std::uint8_t> lightMap, stretchMap;
};

struct UndoAction {
    std::uint64_t state = 0;  // the level's state after the action (see UndoHistory::State)
    std::string name;         // the command or key that made it ("Fill box", "Put object"), for the history list
    std::vector<CellChange> cells;
    std::unique_ptr<LevelHead> headBefore, headAfter;  // both or neither
    std::unique_ptr<LevelGrid> gridBefore, gridAfter;  // both or neither: a resize
    std::size_t Bytes() const;
};

class UndoHistory {
public:
    enum class Recorded { Nothing, Action, TooLarge };

    // Forgets every action; `baseline` becomes a copy of the working level
    // (it keeps its own object table, clips and sky).
    void Reset(const World& working, World& baseline);
    // Records what changed since the baseline as one action; a level of
    // another size (a resize) is kept as both whole grids.  An action
    // larger than the cap is not kept: the whole history is dropped instead
    // (TooLarge), and the change stays applied.  A new action drops the redo list.
    // `name` names the action in the history list.
    Recorded Commit(const World& working, World& baseline, std::string name = {});
    // Both take back or bring back the newest action; false when there is none.
    // The working level must have no uncommitted change.
    bool Undo(World& working, World& baseline);
    bool Redo(World& working, World& baseline);

    // A number for the level as the history now stands: the same after
    // undoing back to a state as it was there, new after every other change
    // (a new action, a reset, a history dropped as too large).  The editor
    // compares it with the state it last saved.
    std::uint64_t State() const { return undo_.empty() ? base_ : undo_.back().state; }

    // Oldest first; the redo list's newest (the next to redo) is its back.
    const std::deque<UndoAction>& UndoList() const { return undo_; }
    const std::deque<UndoAction>& RedoList() const { return redo_; }
    std::size_t UndoCount() const { return undo_.size(); }
    std::size_t RedoCount() const { return redo_.size(); }
    std::size_t Bytes() const { return bytes_; }
    void SetCap(std::size_t bytes) { cap_ = bytes; }

private:
    void Push(std::deque<UndoAction>& list, UndoAction action);
    // A new action: numbered, the redo list dropped, the oldest ones let go past the caps.
    void Keep(UndoAction action);
    Recorded CommitResize(const World& working, World& baseline, std::string name);
    void Clear();

    std::deque<UndoAction> undo_, redo_;
    std::uint64_t base_ = 0;      // the state before the oldest action kept
    std::uint64_t lastState_ = 0;  // the last state number given out
    std::size_t bytes_ = 0;
    std::size_t cap_ = kUndoByteCap;
};

}  // namespace zq
