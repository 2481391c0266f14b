#include "editor/level_problems.h"

#include <array>
#include <cstdint>

#include "editor/editing.h"

namespace zq {

namespace {

// How many cells of each object type the grid holds, counted in one pass.
using TypeCounts = std::array<std::int64_t, kObjectTypeCount>;

TypeCounts CountTypes(const World& w) {
    TypeCounts count{};
    for (Cell c : w.cells)
        if (IsObjectIndex(c)) ++count[c];
    return count;
}

const ObjectDef& Def(const World& w, std::size_t t) { return w.objectDefs[t]; }

// " \"Name\"" for a named type, nothing for an unnamed one.
std::string QuotedName(const World& w, std::size_t t) {
    const std::string& name = Def(w, t).name;
    return name.empty() ? std::string() : " \"" + name + "\"";
}

// The start and the exit: inside the grid, in empty cells, and apart.
void CheckPoints(const World& w, std::vector<std::string>& problems) {
    const bool startInside = w.InGrid(w.startX, w.startY, w.startZ);
    if (!startInside)
        problems.push_back("No start point: the start " + CellText(w.startX, w.startY, w.startZ) + " lies outside the grid.");
    else if (GetCell(w, w.startX, w.startY, w.startZ) != 0)
        problems.push_back("The start point " + CellText(w.startX, w.startY, w.startZ) + " is inside a filled cell.");
    const bool exitInside = w.InGrid(w.exitX, w.exitY, w.exitZ);
    if (!exitInside)
        problems.push_back("No exit point: the exit " + CellText(w.exitX, w.exitY, w.exitZ) + " lies outside the grid.");
    else if (GetCell(w, w.exitX, w.exitY, w.exitZ) != 0)
        problems.push_back("The exit point " + CellText(w.exitX, w.exitY, w.exitZ) + " is inside a filled cell.");
    if (startInside && exitInside && w.startX == w.exitX && w.startY == w.exitY && w.startZ == w.exitZ)
        problems.push_back("The start and the exit are the same cell " + CellText(w.startX, w.startY, w.startZ) +
                           ": the level ends as it begins.");
}

// Gold ingots: the level has some, and every ingot door placed has ingots that open it.
void CheckIngots(const World& w, const TypeCounts& count, std::vector<std::string>& problems) {
    std::array<bool, kObjectTypeCount> doorHasIngots{};
    std::int64_t ingots = 0;
    for (std::size_t t = 0; t < count.size(); ++t) {
        const ObjectDef& def = Def(w, t);
        if (!def.lingot) continue;
        ingots += count[t];
        if (count[t] > 0 && def.lingotDoor > 0 && IsObjectIndex(def.lingotDoor))
            doorHasIngots[static_cast<std::size_t>(def.lingotDoor)] = true;
    }
    if (ingots == 0) problems.push_back("The level has no gold ingots.");
    for (std::size_t t = 0; t < count.size(); ++t) {
        const ObjectDef& def = Def(w, t);
        if (!def.lingot || def.lingotDoor <= 0 || !IsObjectIndex(def.lingotDoor)) continue;
        const auto door = static_cast<std::size_t>(def.lingotDoor);
        if (count[door] > 0 && !doorHasIngots[door]) {
            problems.push_back("The ingot door" + QuotedName(w, door) + " has no ingots to open it.");
            doorHasIngots[door] = true;  // said once per door type
        }
    }
}

// A door that only levers open, placed in the level, with none of its levers.
void CheckLeverDoors(const World& w, const TypeCounts& count, std::vector<std::string>& problems) {
    std::array<bool, kObjectTypeCount> openedOtherwise{}, leverPlaced{}, leverDoor{};
    for (std::size_t t = 0; t < count.size(); ++t) {
        const ObjectDef& def = Def(w, t);
        if (def.lingot && IsObjectIndex(def.lingotDoor)) openedOtherwise[static_cast<std::size_t>(def.lingotDoor)] = true;
        if (def.blockSensor && IsObjectIndex(def.blockSensorDoor))
            openedOtherwise[static_cast<std::size_t>(def.blockSensorDoor)] = true;
        if (def.lever && def.leverDoor > 0 && IsObjectIndex(def.leverDoor)) {
            leverDoor[static_cast<std::size_t>(def.leverDoor)] = true;
            if (count[t] > 0) leverPlaced[static_cast<std::size_t>(def.leverDoor)] = true;
        }
    }
    for (std::size_t door = 1; door < count.size(); ++door) {
        if (!leverDoor[door] || leverPlaced[door] || openedOtherwise[door] || count[door] == 0) continue;
        problems.push_back("The lever door" + QuotedName(w, door) + " has no lever to open it.");
    }
}

}  // namespace

std::vector<std::string> LevelProblems(const World& w) {
    std::vector<std::string> problems;
    CheckPoints(w, problems);
    const TypeCounts count = CountTypes(w);
    CheckIngots(w, count, problems);
    CheckLeverDoors(w, count, problems);
    return problems;
}

}  // namespace zq
