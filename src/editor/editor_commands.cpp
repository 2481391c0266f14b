#include "editor/editor_commands.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "core/errors.h"
#include "core/file_io.h"
#include "editor/editing.h"

namespace zq {

PromptNumber ParsePromptNumber(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    if (first == last) return {};
    std::size_t i = first;
    const bool negative = text[i] == '-';
    if (negative) ++i;
    if (i == last) return {PromptNumber::Rejected, 0};  // a lone "-"
    std::int64_t value = 0;
    for (; i < last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return {PromptNumber::Rejected, 0};
        value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{INT_MAX} + 1);
    }
    if (negative) value = -value;
    return {PromptNumber::Number, static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX))};
}

int DimensionAnswer(int value) { return value == 0 ? 1 : value; }

std::string AxisSizeError(int size) {
    if (size < 1 || size > kMaxLevelAxis)
        return "Each dimension must be between 1 and " + std::to_string(kMaxLevelAxis) + " cells.";
    return {};
}

std::string NewLevelSizeError(int sizeX, int sizeY, int sizeZ) {
    for (int v : {sizeX, sizeY, sizeZ})
        if (std::string why = AxisSizeError(v); !why.empty()) return why;
    if (std::int64_t{sizeX} * sizeY * sizeZ > kMaxLevelCells)
        return "A level may hold at most " + std::to_string(kMaxLevelCells) + " cells.";
    return {};
}

int SentryCountAnswer(int value) { return std::clamp(value, 0, kMaxSentries); }

int GotoAnswer(int value, int size) { return std::clamp(value, 0, std::max(size, 0)); }

std::string ShortStringAnswer(const std::string& text) { return text.substr(0, std::min<std::size_t>(text.size(), 255)); }

std::string NewLevel(EditorState& s, int sizeX, int sizeY, int sizeZ) {
    if (std::string why = NewLevelSizeError(sizeX, sizeY, sizeZ); !why.empty()) return why;
    // The snapshot World is only a copy, so it is grown first: if the working
    // World then cannot be had, the snapshot is simply taken again.
    if (!AllocateGrid(*s.baseline, sizeX, sizeY, sizeZ)) {
        ResetHistory(s);
        return kNotEnoughMemory;
    }
    // A new level gets a seed of its own rather than the last level's.
    const int seed = static_cast<int>(s.seeds.Next(32768));
    if (!InitNewLevel(*s.working, sizeX, sizeY, sizeZ, seed)) {
        ResetHistory(s);
        return kNotEnoughMemory;
    }
    // A new level has no script yet: its behaviour list starts empty.
    for (Behaviour& b : s.working->behaviours) b = Behaviour{};
    JumpCursor(s, {sizeX / 2, 1, sizeZ / 2});
    ResetHistory(s);
    s.fileName.clear();
    MarkSaved(s);
    return {};
}

std::unique_ptr<World> FreshLevel(const EditorState& s) {
    // A fresh World that shares the loaded object table, so a file that
    // cannot be used leaves the open level untouched, and the previous
    // level's behaviours do not linger in the lists.
    auto fresh = std::make_unique<World>();
    fresh->objectDefs = s.working->objectDefs;
    fresh->clips = s.working->clips;
    fresh->skyMesh = s.working->skyMesh;
    return fresh;
}

void TakeLevel(EditorState& s, std::unique_ptr<World> level, const std::string& path) {
    s.working = std::move(level);
    ResetHistory(s);
    s.fileName = path;
    MarkSaved(s);
    const World& w = *s.working;
    JumpCursor(s, {w.startX, w.startY, w.startZ});
    s.cursorHeading = s.shownHeading = static_cast<float>(w.startHeading);
    s.selectedSentry = 0;
}

void LoadLevel(EditorState& s, const DataResolver& data, const std::string& path, const LevelLoadHooks& hooks) {
    auto fresh = FreshLevel(s);
    LevelLoadContext context{data, s.random, 0, hooks};
    LoadLevelFile(*fresh, context, path, s.textured ? "High" : "Low");
    TakeLevel(s, std::move(fresh), path);
}

std::string LevelFileProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(path, ec)) return "the file does not exist.";
    if (fs::is_directory(path, ec)) return "it is a folder, not a file.";
    const auto head = ReadRegularFilePrefix(path, kLevelHeaderSize).bytes;
    if (!head) return "the file cannot be read (check its permissions).";
    if (head->empty()) return "the file is empty.";
    const auto size = fs::file_size(path, ec);
    return "the file is not a level the game can read: it is shorter than its header says, or its header is "
           "damaged (" + std::to_string(ec ? head->size() : size) + " bytes).";
}

WriteResult SaveLevel(EditorState& s, const std::string& path) {
    WriteResult written = SaveLevelFile(*s.working, path);
    if (!written) return written;
    s.fileName = path;
    MarkSaved(s);
    return written;
}

PendingSave BeginSave(EditorState& s, const std::string& path) {
    CommitAction(s);
    return {std::make_shared<const World>(*s.working), s.history.State(), path};
}

WriteResult WriteSave(const PendingSave& save) { return SaveLevelFile(*save.level, save.path); }

void FinishSave(EditorState& s, const PendingSave& save, const WriteResult& result) {
    if (!result) return;
    s.fileName = save.path;
    CommitAction(s);
    s.savedState = save.state;
    s.modified = s.history.State() != save.state;
}

std::string SaveFailureText(const WriteResult& result) {
    const std::string code = result.code.empty() ? "CANNOT WRITE" : result.code;
    return "Not saved (" + code + "): " + result.reason + ". The file on disk was left as it was.";
}

void SetSentryCount(EditorState& s, int count) {
    World& w = *s.working;
    const int before = std::clamp(w.sentryCount, 0, kMaxSentries);
    w.sentryCount = SentryCountAnswer(count);
    // New sentries start at the cursor, facing the view, where the designer
    // can see them, rather than at the world's origin inside the floor.
    const CursorPos at = CellCentre(TargetCell(s));
    for (int k = before; k < w.sentryCount; ++k) {
        SentryState& sentry = w.sentries[static_cast<std::size_t>(k)];
        sentry = SentryState{};
        sentry.x = at.x;
        sentry.y = at.y;
        sentry.z = at.z;
        const int heading = static_cast<int>(s.cursorHeading) % 32768;
        sentry.heading = static_cast<float>(-(heading < 0 ? heading + 32768 : heading));
    }
    ResetSentries(w, s.random, 0);
    if (s.selectedSentry > w.sentryCount) s.selectedSentry = 0;
    s.modified = true;
}

void SetRandomSeed(EditorState& s, int seed) {
    s.working->randomSeed = seed;
    ResetSentries(*s.working, s.random, 0);
    s.modified = true;
}

std::string EditorCaption(const EditorState& s, bool fileNameEverSet) {
    std::string caption = !fileNameEverSet ? "Zorvo Quib - Level Editor"
                          : s.fileName.empty() ? "Level Editor"
                                               : "Level Editor - " + s.fileName;
    if (s.modified) caption += "*";
    return caption;
}

std::string AxisLabel(char axis, int cell, int size) {
    return std::string(1, axis) + ":" + std::to_string(cell) + " / " + std::to_string(size);
}

std::string LuminosityLabel(int light) { return "Luminosity: " + std::to_string(light * 100 / 256) + "%"; }

}  // namespace zq
