// The editing operations: cells, light, stretch, start and exit, markers,
// sentries, planes, boxes, lines, light over a box, undo and redo.
// Every write goes through SetCell / SetLight / SetStretch, so anything that
// reaches outside the grid changes only the cells inside it.
#pragma once

#include <string>
#include <vector>

#include "editor/editor_state.h"

namespace zq {

inline constexpr int kLightStep = 2;
inline constexpr int kStretchStep = 5;
inline constexpr int kMaxStretch = 100;

// Forgets the undo history: the open level is where it starts (after New and Load).
void ResetHistory(EditorState& s);
// Closes the current action: what changed since the last one becomes one
// undo step.  Called when an editing key goes down and after each command,
// so a held key's edits are one step and a command that changed nothing
// leaves the history alone.
void CommitAction(EditorState& s);
// Names the action being recorded for the history list ("Fill box", "Put
// object"); the name stays until an action is recorded with it.
void NameStep(EditorState& s, std::string name);
// The level as it stands matches its file (after Load, New and Save) ...
void MarkSaved(EditorState& s);
// ... or does not, whatever is undone (work recovered after a stop).
void MarkUnsaved(EditorState& s);
// Take back / bring back one action; false (with a status line) when there
// is none.  Arriving back at the saved state makes the level unmodified.
bool Undo(EditorState& s);
bool Redo(EditorState& s);

void PutBlock(EditorState& s);
// Empties the cell, sets its light back to 128 and frees every clip and event
// marker on it.
void DeleteCell(EditorState& s);
void Darken(EditorState& s);
void Brighten(EditorState& s);
void StretchDown(EditorState& s);  // stretch + 5, at most 100
void StretchUp(EditorState& s);    // stretch - 5, at least 0
void PlaceStart(EditorState& s);
void PlaceExit(EditorState& s);
// A free slot (the highest) gets the target cell; nothing happens when a
// marker of that kind already lies there or every slot is taken.
void PlaceClipMarker(EditorState& s);
void PlaceEventMarker(EditorState& s);
// Sentry k (1..sentryCount) to the target cell's centre, facing the view.
void PlaceSentry(EditorState& s, int k);
void SetPointA(EditorState& s);
void SetPointB(EditorState& s);

// The box commands need both points: false, with the status line saying
// which one is missing, while either is unset.
bool NeedPoints(EditorState& s);

enum class Axis { X, Y, Z };
// Every cell whose coordinate on `axis` equals the cursor cell's.
void FillPlane(EditorState& s, Axis axis, Cell value);
// The box, its shell and the line from A to B; nothing while A or B is
// unset but the status line asking for it.
void FillBox(EditorState& s, Cell value);
void FillHollowBox(EditorState& s, Cell value);
void FillLine(EditorState& s, Cell value);
// The light of every cell of the box from A to B moves by `factor`, held in 0..255.
void LightBox(EditorState& s, int factor);

// The cells a line from a to b sets, in order (empty when a == b).
std::vector<CellPos> LineCells(const CellPos& a, const CellPos& b);
// "(x, y, z)", as the status bar and the problem list name a cell.
std::string CellText(int x, int y, int z);
std::string CellText(const CellPos& c);

// Index of the marker on a cell, or -1.
int ClipMarkerAt(const World& w, const CellPos& c);
int EventMarkerAt(const World& w, const CellPos& c);
// The clip or behaviour of the marker on the target cell; false (and nothing
// changed) when no marker of that kind lies there.
bool SetMarkerClip(EditorState& s, int clip);
bool SetMarkerBehaviour(EditorState& s, int behaviour);

// Names for the lists: every non-empty name with its index, in index order.
struct NamedEntry {
    int index = 0;
    std::string name;
};
std::vector<NamedEntry> ObjectNames(const World& w);
std::vector<NamedEntry> ClipNames(const World& w);
std::vector<NamedEntry> BehaviourNames(const World& w);
// The highest index whose name equals `name`, or -1.
int HighestNamed(const std::vector<NamedEntry>& entries, const std::string& name);

}  // namespace zq
