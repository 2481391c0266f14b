// The editor's level commands (New, Load, Save) and the rules of its number
// prompts, kept apart from the window so they are tested without one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/file_io.h"

#include "core/resolver.h"
#include "editor/editor_state.h"
#include "world/level_file.h"

namespace zq {

inline constexpr const char* kNotANumber = "You must enter a number.";
inline constexpr const char* kNotAPositiveNumber = "You must enter a positive number.";
inline constexpr const char* kNotEnoughMemory = "Not enough memory.";

// One prompt answer.  Empty ends the command without change; a number is an
// optional "-" followed by digits (surrounding blanks ignored, values beyond
// the 32-bit range held at its ends); anything else gets the rejection message.
struct PromptNumber {
    enum Kind { Empty, Rejected, Number } kind = Empty;
    int value = 0;
};
PromptNumber ParsePromptNumber(const std::string& text);

// A dimension answer: 0 becomes 1.
int DimensionAnswer(int value);
// Why one axis of a new level cannot have this size ("" when it can).
std::string AxisSizeError(int size);
// Why a new level of these sizes cannot be made ("" when it can): the same
// limits the level loader holds files to.
std::string NewLevelSizeError(int sizeX, int sizeY, int sizeZ);
// Sentries: above 255 becomes 255, below 0 becomes 0.
int SentryCountAnswer(int value);
// A Goto coordinate: negative becomes 0, above the size becomes the size.
int GotoAnswer(int value, int size);
// Description and author are short strings of at most 255 bytes.
std::string ShortStringAnswer(const std::string& text);

// New: both Worlds get the new grid, the level its new-level state with a
// fresh random seed (drawn from s.seeds), the cursor
// the middle of the floor, and the snapshot the fresh level.  The file name is
// cleared so that Save cannot overwrite the level that was open before.
// Returns the message to show ("" on success); on failure nothing changed.
std::string NewLevel(EditorState& s, int sizeX, int sizeY, int sizeZ);

// Load: reads `path` into the working World (behaviours of the previous level
// are dropped) and the snapshot; the cursor goes to the start cell facing the
// start heading.  Throws LoadError with the loader's message and leaves the
// editor unchanged when the file cannot be used.
void LoadLevel(EditorState& s, const DataResolver& data, const std::string& path, const LevelLoadHooks& hooks);
// The same load in steps, so the reading can run off the window's thread: a
// fresh World sharing the loaded object table, which LoadLevelFile then
// fills (on any thread; nothing of the editor is touched), then taken in as
// the open level, read from `path`.
std::unique_ptr<World> FreshLevel(const EditorState& s);
void TakeLevel(EditorState& s, std::unique_ptr<World> level, const std::string& path);

// Why a level file that the loader refused cannot be used, in plain words:
// missing, unreadable, empty, or not a level (a short file or a bad header).
std::string LevelFileProblem(const std::string& path);

// Save: writes the working World to `path`; on success the file name becomes
// `path` and the level counts as saved.  A save that fails (a read-only
// file is refused, not replaced) leaves the file on disk and the editor as
// they were.
WriteResult SaveLevel(EditorState& s, const std::string& path);

// The same save in three steps, so the writing can run off the window's
// thread while the window stays live: a copy of the level as it stands, with
// the undo state it had; the writing, on any thread; and the result taken
// back.  An edit made while the copy was being written stays an unsaved change.
struct PendingSave {
    std::shared_ptr<const World> level;
    std::uint64_t state = 0;  // the undo history's state the copy was taken at
    std::string path;
};
PendingSave BeginSave(EditorState& s, const std::string& path);
WriteResult WriteSave(const PendingSave& save);
void FinishSave(EditorState& s, const PendingSave& save, const WriteResult& result);
// What a failed save tells the designer: the writer's code ("READ-ONLY",
// "DISK FULL", ...), its one-line reason, and that nothing on disk changed.
std::string SaveFailureText(const WriteResult& result);

// Number of sentries: stores the count, puts the added ones at the cursor
// facing the view, and every sentry in its start state.
void SetSentryCount(EditorState& s, int count);
void SetRandomSeed(EditorState& s, int seed);

// The window caption: "Zorvo Quib - Level Editor" until a file name was ever
// set, then "Level Editor" with " - " and the file name when there is one;
// a trailing "*" marks unsaved changes.
std::string EditorCaption(const EditorState& s, bool fileNameEverSet);

// The info panel texts.
std::string AxisLabel(char axis, int cell, int size);    // "X:12 / 100"
std::string LuminosityLabel(int light);                  // "Luminosity: 50%"

}  // namespace zq
