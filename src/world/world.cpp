#include "world/world.h"

#include <new>

namespace zq {

Cell GetCell(const World& world, int x, int y, int z) {
    return world.InGrid(x, y, z) ? world.cells[world.Index(x, y, z)] : Cell{0};
}

void SetCell(World& world, int x, int y, int z, Cell value) {
    if (!world.InGrid(x, y, z)) return;
    Cell& cell = world.cells[world.Index(x, y, z)];
    if (IsObjectIndex(cell) && world.objectDefs[cell].lingot) --world.objectDefs[cell].cellCount;
    if (IsObjectIndex(value) && world.objectDefs[value].lingot) ++world.objectDefs[value].cellCount;
    if (world.slabTypeCounts.size() == static_cast<std::size_t>(world.sizeZ) * kObjectTypeCount) {
        std::int32_t* slab = &world.slabTypeCounts[static_cast<std::size_t>(z) * kObjectTypeCount];
        if (IsObjectIndex(cell)) --slab[cell];
        if (IsObjectIndex(value)) ++slab[value];
    }
    cell = value;
}

std::uint8_t GetLight(const World& world, int x, int y, int z) {
    return world.InGrid(x, y, z) ? world.lightMap[world.Index(x, y, z)] : std::uint8_t{0};
}

void SetLight(World& world, int x, int y, int z, std::uint8_t value) {
    if (world.InGrid(x, y, z)) world.lightMap[world.Index(x, y, z)] = value;
}

std::uint8_t GetStretch(const World& world, int x, int y, int z) {
    return world.InGrid(x, y, z) ? world.stretchMap[world.Index(x, y, z)] : std::uint8_t{0};
}

void SetStretch(World& world, int x, int y, int z, std::uint8_t value) {
    if (world.InGrid(x, y, z)) world.stretchMap[world.Index(x, y, z)] = value;
}

bool AllocateGrid(World& world, int sizeX, int sizeY, int sizeZ) {
    if (sizeX < 1 || sizeY < 1 || sizeZ < 1 || sizeX > kMaxLevelAxis || sizeY > kMaxLevelAxis || sizeZ > kMaxLevelAxis)
        return false;
    std::int64_t count = static_cast<std::int64_t>(sizeX) * sizeY * sizeZ;
    if (count > kMaxLevelCells) return false;
    try {
        std::vector<Cell> cells(static_cast<std::size_t>(count), 0);
        std::vector<std::uint8_t> light(static_cast<std::size_t>(count), 0);
        std::vector<std::uint8_t> stretch(static_cast<std::size_t>(count), 0);
        std::vector<std::int32_t> slabs(static_cast<std::size_t>(sizeZ) * kObjectTypeCount, 0);
        for (int z = 0; z < sizeZ; ++z) slabs[static_cast<std::size_t>(z) * kObjectTypeCount] = sizeX * sizeY;
        world.slabTypeCounts.swap(slabs);
        world.cells.swap(cells);
        world.lightMap.swap(light);
        world.stretchMap.swap(stretch);
    } catch (const std::bad_alloc&) {
        return false;
    }
    world.sizeX = sizeX;
    world.sizeY = sizeY;
    world.sizeZ = sizeZ;
    return true;
}

void CountLingots(World& world) {
    for (int t = 0; t < kObjectTypeCount; ++t) {
        ObjectDef& def = world.objectDefs[static_cast<std::size_t>(t)];
        if (!def.lingot) continue;
        std::int32_t count = 0;
        for (Cell c : world.cells)
            if (c == t) ++count;
        def.cellCount = count;
    }
}

void IndexCells(World& world) {
    world.slabTypeCounts.assign(static_cast<std::size_t>(world.sizeZ) * kObjectTypeCount, 0);
    const std::size_t plane = static_cast<std::size_t>(world.sizeX) * static_cast<std::size_t>(world.sizeY);
    if (world.cells.size() != plane * static_cast<std::size_t>(world.sizeZ)) return;
    // Grid order: X varies fastest, Z slowest, so each Z slab is one run.
    const Cell* cell = world.cells.data();
    for (int z = 0; z < world.sizeZ; ++z) {
        std::int32_t* slab = &world.slabTypeCounts[static_cast<std::size_t>(z) * kObjectTypeCount];
        for (const Cell* end = cell + plane; cell != end; ++cell)
            if (IsObjectIndex(*cell)) ++slab[*cell];
    }
}

std::int32_t SlabTypeCount(const World& world, int z, std::int64_t type) {
    if (z < 0 || z >= world.sizeZ || !IsObjectIndex(type)) return 0;
    const std::size_t i = static_cast<std::size_t>(z) * kObjectTypeCount + static_cast<std::size_t>(type);
    return i < world.slabTypeCounts.size() ? world.slabTypeCounts[i] : 0;
}

}  // namespace zq
