#include "editor/level_problems.h"

#include <array>
#include <cstdint>

#include "editor/editing.h"

namespace zq {

std::vector<std::string> LevelProblems(const World& w) {
    std::vector<std::string> problems;
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

    // How many cells of each type the grid holds, in one pass.
    std::array<std::int64_t, kObjectTypeCount> count{};
    for (Cell c : w.cells)
        if (IsObjectIndex(c)) ++count[c];
    std::array<bool, kObjectTypeCount> doorHasIngots{};
    std::int64_t ingots = 0;
    for (int t = 0; t < kObjectTypeCount; ++t) {
        const ObjectDef& def = w.objectDefs[static_cast<std::size_t>(t)];
        if (!def.lingot) continue;
        ingots += count[static_cast<std::size_t>(t)];
        if (count[static_cast<std::size_t>(t)] > 0 && def.lingotDoor > 0 && IsObjectIndex(def.lingotDoor))
            doorHasIngots[static_cast<std::size_t>(def.lingotDoor)] = true;
    }
    if (ingots == 0) problems.push_back("The level has no gold ingots.");
    // A door that ingots open, placed in the level, with none of its ingots left to take.
    for (int t = 0; t < kObjectTypeCount; ++t) {
        const ObjectDef& def = w.objectDefs[static_cast<std::size_t>(t)];
        if (!def.lingot || def.lingotDoor <= 0 || !IsObjectIndex(def.lingotDoor)) continue;
        const auto door = static_cast<std::size_t>(def.lingotDoor);
        if (count[door] > 0 && !doorHasIngots[door]) {
            const std::string& name = w.objectDefs[door].name;
            problems.push_back("The ingot door" + (name.empty() ? std::string() : " \"" + name + "\"") +
                               " has no ingots to open it.");
            doorHasIngots[door] = true;  // said once per door type
        }
    }
    // A door that only levers open, placed in the level, with none of its levers.
    std::array<bool, kObjectTypeCount> openedOtherwise{}, leverPlaced{}, leverDoor{};
    for (int t = 0; t < kObjectTypeCount; ++t) {
        const ObjectDef& def = w.objectDefs[static_cast<std::size_t>(t)];
        const bool placed = count[static_cast<std::size_t>(t)] > 0;
        if (def.lingot && IsObjectIndex(def.lingotDoor)) openedOtherwise[static_cast<std::size_t>(def.lingotDoor)] = true;
        if (def.blockSensor && IsObjectIndex(def.blockSensorDoor))
            openedOtherwise[static_cast<std::size_t>(def.blockSensorDoor)] = true;
        if (def.lever && def.leverDoor > 0 && IsObjectIndex(def.leverDoor)) {
            leverDoor[static_cast<std::size_t>(def.leverDoor)] = true;
            if (placed) leverPlaced[static_cast<std::size_t>(def.leverDoor)] = true;
        }
    }
    for (std::size_t door = 1; door < static_cast<std::size_t>(kObjectTypeCount); ++door) {
        if (!leverDoor[door] || leverPlaced[door] || openedOtherwise[door] || count[door] == 0) continue;
        const std::string& name = w.objectDefs[door].name;
        problems.push_back("The lever door" + (name.empty() ? std::string() : " \"" + name + "\"") +
                           " has no lever to open it.");
    }
    return problems;
}

}  // namespace zq
