#include "editor/editor_commands.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>

#include "core/errors.h"
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

std::string NewLevelSizeError(int sizeX, int sizeY, int sizeZ) {
    for (int v : {sizeX, sizeY, sizeZ})
        if (v < 1 || v > kMaxLevelAxis)
            return "Each dimension must be between 1 and " + std::to_string(kMaxLevelAxis) + " cells.";
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
    if (!AllocateGrid(*s.undo, sizeX, sizeY, sizeZ)) {
        TakeSnapshot(s);
        return kNotEnoughMemory;
    }
    if (!InitNewLevel(*s.working, sizeX, sizeY, sizeZ, s.working->randomSeed)) {
        TakeSnapshot(s);
        return kNotEnoughMemory;
    }
    // A new level has no script yet: its behaviour list starts empty.
    for (Behaviour& b : s.working->behaviours) b = Behaviour{};
    JumpCursor(s, {sizeX / 2, 1, sizeZ / 2});
    TakeSnapshot(s);
    s.fileName.clear();
    s.modified = false;
    return {};
}

void LoadLevel(EditorState& s, const DataResolver& data, const std::string& path, const LevelLoadHooks& hooks) {
    // Read into a fresh World that shares the loaded object table, so a file
    // that cannot be used leaves the open level untouched, and the previous
    // level's behaviours do not linger in the lists.
    auto fresh = std::make_unique<World>();
    fresh->objectDefs = s.working->objectDefs;
    fresh->clips = s.working->clips;
    fresh->skyMesh = s.working->skyMesh;
    LevelLoadContext context{data, s.random, 0, hooks};
    LoadLevelFile(*fresh, context, path, s.textured ? "High" : "Low");
    s.working = std::move(fresh);
    TakeSnapshot(s);
    s.fileName = path;
    s.modified = false;
    const World& w = *s.working;
    JumpCursor(s, {w.startX, w.startY, w.startZ});
    s.cursorHeading = s.shownHeading = static_cast<float>(w.startHeading);
    s.selectedSentry = 0;
}

bool SaveLevel(EditorState& s, const std::string& path) {
    if (!SaveLevelFile(*s.working, path)) return false;
    s.fileName = path;
    s.modified = false;
    return true;
}

void SetSentryCount(EditorState& s, int count) {
    World& w = *s.working;
    w.sentryCount = SentryCountAnswer(count);
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
