// Pick-ups, doors, levers, holes, moving blocks, cell and object animations,
// and the level countdown.
#include "rules/mechanisms.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "rules/behaviours.h"
#include "rules/hero.h"
#include "rules/move_box.h"
#include "rules/rules_math.h"

namespace zq {
namespace {

constexpr std::int32_t kSoundUpdateMs = 66;
constexpr std::int32_t kGameTickMs = 90;
// A block that moves less than this per 90 ms comes to rest.  Scaled with the
// frame, or at 30 frames a second a block dropped at speed 20 would stop in
// mid-air on its first frame.
constexpr float kSettleDistance = 8.0f;
constexpr float kBlockGravity = 28.0f;

float CellCentre(int i) { return static_cast<float>(kCellSize * i + kCellSize / 2); }

void PlayObjectSound(RulesContext& context, const ObjectDef* def, float x, float y, float z) {
    if (def) PlaySoundAt(context, def->actionSound, RoundToInt(x), RoundToInt(y), RoundToInt(z), def->actionVolume);
}

bool IsFrameOf(const ObjectDef& def, const MeshRef& mesh) {
    for (const MeshRef& frame : def.meshes)
        if (frame && frame == mesh) return true;
    return false;
}

// Makes `work` a mesh of its own, so blending never writes into a frame shared
// by the object type.  Allocates only the first time a slot or type blends.
void OwnMesh(MeshRef& work, const ObjectDef& def, const Mesh& like) {
    if (!work || IsFrameOf(def, work)) work = std::make_shared<Mesh>(like);
}

const Mesh* Frame(const ObjectDef& def, int frame) {
    if (frame < 0 || frame >= std::min(def.animFrameCount, kMaxMeshFrames)) return nullptr;
    return def.meshes[static_cast<std::size_t>(frame)].get();
}

// A type shown between its frames a and b (`factor` of the way): its working
// mesh and, where its collision follows the animation, its bounds.
void ShowObjectFrames(ObjectDef& def, int a, int b, float factor, bool blend) {
    if (def.morph) {
        const Mesh* from = Frame(def, a);
        const Mesh* to = Frame(def, b);
        if (from && to && blend) {
            OwnMesh(def.firstMeshCopy, def, *from);
            BlendMeshes(def.meshes[static_cast<std::size_t>(a)], def.meshes[static_cast<std::size_t>(b)], def.firstMeshCopy,
                        factor);
            def.workingMesh = def.firstMeshCopy;
        }
        if (def.animateCollision) {
            const Bounds& fa = def.frameBounds[static_cast<std::size_t>(a)];
            const Bounds& fb = def.frameBounds[static_cast<std::size_t>(b)];
            for (int i = 0; i < kBoundCount; ++i)
                def.bounds[static_cast<std::size_t>(i)] =
                    fa[static_cast<std::size_t>(i)] +
                    TruncToInt((fb[static_cast<std::size_t>(i)] - fa[static_cast<std::size_t>(i)]) * factor);
        }
    } else {
        def.workingMesh = def.meshes[static_cast<std::size_t>(b)];
        if (def.animateCollision) def.bounds = def.frameBounds[static_cast<std::size_t>(b)];
    }
}

// An animation slot shown between its type's frames a and b; false when
// either is no frame of the type.
bool ShowSlotFrames(CellAnimation& slot, const ObjectDef& anim, int a, int b, bool blend) {
    const Mesh* from = Frame(anim, a);
    const Mesh* to = Frame(anim, b);
    if (!from || !to) return false;
    if (!blend) return true;
    OwnMesh(slot.mesh, anim, *from);
    BlendMeshes(anim.meshes[static_cast<std::size_t>(a)], anim.meshes[static_cast<std::size_t>(b)], slot.mesh,
                slot.position - std::trunc(slot.position));
    return true;
}

void RemoveMovingBlock(World& world, int n) {
    for (int i = n; i < world.lastMovingBlock; ++i)
        world.movingBlocks[static_cast<std::size_t>(i)] = world.movingBlocks[static_cast<std::size_t>(i + 1)];
    --world.lastMovingBlock;
}

void RemoveHole(World& world, int n) {
    for (int i = n; i < world.lastHole; ++i) world.holes[static_cast<std::size_t>(i)] = world.holes[static_cast<std::size_t>(i + 1)];
    --world.lastHole;
}

// One sweep as far as the frame's allowance goes, in the grid's storage
// order: Z slabs that hold none of the type cost one cell each; within a slab
// the cells are visited X fastest, then Y, as they lie in memory, and a slab
// entered from its start is left once all its cells of the type have been
// seen.  True when the sweep has reached the end of the grid.
bool AdvanceSweep(World& world, CellSweep& s, RulesContext& context) {
    const std::int64_t plane = std::int64_t{world.sizeX} * world.sizeY;
    const std::int64_t total = plane * world.sizeZ;
    std::int64_t& left = world.sweepCellsLeft;
    // Each cell that animates takes one free slot; once none is left the
    // cells take their final value at once, as StartCellAnimation would do
    // after looking through every slot for each of them.
    int freeSlots = 0;
    if (s.kind == CellSweep::kAnimate && IsObjectIndex(s.anim))
        for (const CellAnimation& a : world.cellAnimations) freeSlots += a.inUse ? 0 : 1;
    const Cell final = IsObjectIndex(s.finalValue) ? static_cast<Cell>(s.finalValue) : Cell{0};
    const Cell* cells = world.cells.data();
    while (s.next < total && left > 0) {
        const int z = static_cast<int>(s.next / plane);
        const std::int64_t slabStart = z * plane;
        std::int64_t within = s.next - slabStart;
        const bool fromStart = within == 0;
        std::int32_t need = SlabTypeCount(world, z, s.type);
        --left;
        if (need <= 0) {
            s.next = slabStart + plane;
            continue;
        }
        while (within < plane && left > 0) {
            // Runs of other cells cost their length; they are read in order.
            const std::int64_t run = std::min(plane - within, left);
            const Cell* from = cells + slabStart + within;
            const Cell* hit = std::find(from, from + run, s.type);
            within += hit - from;
            left -= hit - from;
            if (hit == from + run) break;
            const int x = static_cast<int>(within % world.sizeX), y = static_cast<int>(within / world.sizeX);
            ++within;
            --left;
            if (s.kind == CellSweep::kCheckSensors) {
                const ObjectDef* key = DefinedObject(world, GetCell(world, x, y + 1, z));
                if (!key || !key->blockKey || key->blockKeySensor != s.type) {
                    s.keyMissing = true;
                    s.next = total;
                    return true;
                }
            } else if (freeSlots > 0) {
                StartCellAnimation(world, x, y, z, s.finalValue, s.anim, context);
                --freeSlots;
            } else {
                SetCell(world, x, y, z, final);
            }
            if (fromStart && --need == 0) within = plane;  // the rest of the slab holds none
        }
        s.next = slabStart + within;
    }
    return s.next >= total;
}

// Works through the waiting sweeps, oldest first, within the frame's
// allowance.  A sensor check that finds every plate keyed queues its door.
void RunSweeps(World& world, RulesContext& context) {
    if (world.sweeping) return;  // the running loop picks up what was queued
    if (world.sweepFrameTime != context.time.now) {
        world.sweepFrameTime = context.time.now;
        world.sweepCellsLeft = kSweepCellsPerFrame;
    }
    world.sweeping = true;
    world.sweepCount = std::clamp(world.sweepCount, 0, kMaxCellSweeps);
    while (world.sweepCount > 0 && AdvanceSweep(world, world.sweeps[0], context)) {
        const CellSweep done = world.sweeps[0];
        std::copy(world.sweeps.begin() + 1, world.sweeps.begin() + world.sweepCount, world.sweeps.begin());
        --world.sweepCount;
        if (done.kind == CellSweep::kCheckSensors && !done.keyMissing) OpenDoors(world, done.finalValue, context);
    }
    world.sweeping = false;
}

void QueueSweep(World& world, const CellSweep& sweep, RulesContext& context) {
    for (int i = 0; i < world.sweepCount; ++i) {
        const CellSweep& w = world.sweeps[static_cast<std::size_t>(i)];
        // The same sweep waiting and not yet begun will see every cell this one would.
        if (w.next == 0 && w.kind == sweep.kind && w.type == sweep.type && w.finalValue == sweep.finalValue &&
            w.anim == sweep.anim)
            return;
    }
    if (world.sweepCount >= kMaxCellSweeps) return;
    world.sweeps[static_cast<std::size_t>(world.sweepCount++)] = sweep;
    RunSweeps(world, context);
}

void SettleBlock(World& world, const MovingBlock& block, RulesContext& context) {
    int cx = CellOf(block.x), cy = CellOf(block.y), cz = CellOf(block.z);
    SetCell(world, cx, cy, cz, block.value);
    const ObjectDef* def = DefinedObject(world, block.value);
    if (!def || !def->blockKey || !IsObjectIndex(def->blockKeySensor)) return;
    const Cell sensor = static_cast<Cell>(def->blockKeySensor);
    if (GetCell(world, cx, cy - 1, cz) != sensor) return;
    const ObjectDef* sensorDef = DefinedObject(world, sensor);
    PlayObjectSound(context, sensorDef, block.x, block.y, block.z);
    if (!sensorDef) return;
    CellSweep check;
    check.kind = CellSweep::kCheckSensors;
    check.type = sensor;
    check.finalValue = sensorDef->blockSensorDoor;
    QueueSweep(world, check, context);
}

bool StartBlock(World& world, int x, int y, int z, RulesContext& context, MovingBlock& out) {
    if (world.lastMovingBlock >= kMaxMovingBlocks - 1 || !world.InGrid(x, y, z)) return false;
    Cell value = GetCell(world, x, y, z);
    const ObjectDef* def = DefinedObject(world, value);
    if (!def) return false;
    out = MovingBlock{};
    out.x = CellCentre(x);
    out.y = CellCentre(y);
    out.z = CellCentre(z);
    out.value = value;
    out.startTime = context.time.now;
    PlayObjectSound(context, def, out.x, out.y, out.z);
    SetCell(world, x, y, z, 0);  // the block has left the grid
    return true;
}

}  // namespace

void AddTimerBonus(World& world, std::int32_t ms) {
    world.timerRunning = 1;
    world.timerLeft = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{world.timerLeft} + ms, 0, std::numeric_limits<std::int32_t>::max()));
}

void HeroPickups(World& world, Actor& hero, RulesContext& context) {
    const int cx = CellOf(hero.x), cy = CellOf(hero.y), cz = CellOf(hero.z);
    const Cell value = GetCell(world, cx, cy, cz);
    const ObjectDef* def = DefinedObject(world, value);
    if (!def) return;
    const int sx = RoundToInt(hero.x), sy = RoundToInt(hero.y), sz = RoundToInt(hero.z);
    auto sound = [&] { PlaySoundAt(context, def->actionSound, sx, sy, sz, def->actionVolume); };
    if (def->lingot) {
        SendEvent(context, kNetIngot, cx, cy, cz, value);
        sound();
        SetCell(world, cx, cy, cz, 0);
        if (def->cellCount < 1) OpenDoors(world, def->lingotDoor, context);
    }
    if (def->timer) {
        SendEvent(context, kNetTimer, cx, cy, cz, value);
        sound();
        SetCell(world, cx, cy, cz, 0);
        AddTimerBonus(world, def->timerDuration);
    }
    if (def->spring) {
        sound();
        hero.fallSpeed = kSpringThrow;  // the spring stays: he is thrown again every frame he is in it
    }
    if (def->oneUp) {
        SendEvent(context, kNetOneUp, cx, cy, cz, value);
        sound();
        SetCell(world, cx, cy, cz, 0);
        if (hero.lives < kMaxLives) ++hero.lives;
    }
    if (def->light) {
        SendEvent(context, kNetLight, cx, cy, cz, value);
        sound();
        SetCell(world, cx, cy, cz, 0);
        hero.lightTarget = hero.lightTarget != kLightNormal ? kLightNormal : kLightDim;
    }
}

void OpenDoors(World& world, std::int64_t doorType, RulesContext& context) {
    const ObjectDef* def = DefinedObject(world, doorType);
    if (!def || !def->door) return;
    CellSweep sweep;
    sweep.type = static_cast<Cell>(doorType);
    sweep.finalValue = def->doorOpen;
    sweep.anim = def->animDoor;
    QueueSweep(world, sweep, context);
}

void PullLever(World& world, int x, int y, int z, RulesContext& context) {
    const Cell lever = GetCell(world, x, y, z);
    const ObjectDef* def = DefinedObject(world, lever);
    if (!def || !def->lever) return;
    CellSweep sweep;
    sweep.type = lever;
    sweep.finalValue = def->leverOpen;
    sweep.anim = def->leverAnim;
    const std::int32_t door = def->leverDoor;
    QueueSweep(world, sweep, context);
    OpenDoors(world, door, context);
}

void StartCellAnimation(World& world, int x, int y, int z, std::int64_t finalValue, std::int64_t animObject,
                        RulesContext& context) {
    if (!world.InGrid(x, y, z)) return;
    const Cell final = IsObjectIndex(finalValue) ? static_cast<Cell>(finalValue) : Cell{0};
    CellAnimation* slot = nullptr;
    for (int i = kCellAnimationCount - 1; i >= 0 && IsObjectIndex(animObject); --i)
        if (!world.cellAnimations[static_cast<std::size_t>(i)].inUse) {
            slot = &world.cellAnimations[static_cast<std::size_t>(i)];
            break;
        }
    if (!slot) {
        SetCell(world, x, y, z, final);
        return;
    }
    const ObjectDef& anim = world.objectDefs[static_cast<std::size_t>(animObject)];
    const ObjectDef& previous = world.objectDefs[slot->object < kObjectTypeCount ? slot->object : 0];
    slot->inUse = true;
    slot->x = CellCentre(x);
    slot->y = CellCentre(y);
    slot->z = CellCentre(z);
    slot->object = static_cast<Cell>(animObject);
    slot->finalValue = final;
    slot->startTime = slot->startTime2 = context.time.now;
    if (const Mesh* first = Frame(anim, 0); first && slot->mesh && !IsFrameOf(previous, slot->mesh))
        *slot->mesh = *first;  // reuse the slot's own buffer
    else
        slot->mesh = anim.meshes[0];
    slot->position = anim.animFrameCount >= 1 ? 1.0f : 0.0f;
    slot->previousPosition = 0;
    if (!anim.undefined) PlayObjectSound(context, &anim, slot->x, slot->y, slot->z);
    SetCell(world, x, y, z, 0);  // nothing collides with the cell while it animates
}

void DigHole(World& world, int x, int y, int z, std::int32_t refillMs, RulesContext& context) {
    const Cell value = GetCell(world, x, y, z);
    const ObjectDef* def = DefinedObject(world, value);
    if (!def || !def->dig || !IsEmptyCell(world, x, y + 1, z) || world.lastHole >= kMaxHoles - 1) return;
    const bool recover = def->recover;
    const std::int32_t anim = def->digAnim;
    if (recover) {
        Hole& hole = world.holes[static_cast<std::size_t>(++world.lastHole)];
        hole.x = CellCentre(x);
        hole.y = CellCentre(y);
        hole.z = CellCentre(z);
        hole.value = value;
        hole.digTime = context.time.now;
        hole.refillDelay = refillMs;
    }
    // Without "Recover" the hole is permanent and never enters the table.
    StartCellAnimation(world, x, y, z, 0, anim, context);
}

void PushBlock(World& world, int x, int y, int z, float heading, RulesContext& context) {
    const ObjectDef* def = DefinedObject(world, GetCell(world, x, y, z));
    if (!def || !def->canPush) return;
    const ObjectDef* above = DefinedObject(world, GetCell(world, x, y + 1, z));
    if (above && above->canPush) return;  // a stacked block cannot be pushed
    auto [s, c] = HeroSinCos(heading);
    double a = s * 512, b = c * 512;
    float vx = 0, vz = 0;
    if (std::fabs(a) > std::fabs(b))
        vx = a > 0 ? kPushSpeed : -kPushSpeed;
    else
        vz = b > 0 ? kPushSpeed : -kPushSpeed;
    StartFallingBlock(world, x, y, z, vz, 0, vx, context);
}

void StartFallingBlock(World& world, int x, int y, int z, float vz, float vy, float vx, RulesContext& context) {
    MovingBlock block;
    if (!StartBlock(world, x, y, z, context, block)) return;
    block.kind = 0;
    block.vx = vx;
    block.vy = vy;
    block.vz = vz;
    world.movingBlocks[static_cast<std::size_t>(++world.lastMovingBlock)] = block;
}

void StartTravellingBlock(World& world, int x, int y, int z, std::int32_t durationMs, int dz, int dy, int dx,
                          RulesContext& context) {
    MovingBlock block;
    if (!StartBlock(world, x, y, z, context, block)) return;
    block.kind = 1;
    block.fromX = block.x;
    block.fromY = block.y;
    block.fromZ = block.z;
    // Script offsets can be anything; a destination far outside the grid is as good as one just outside.
    auto dest = [](int base, int d) { return CellCentre(base + std::clamp(d, -4 * kMaxLevelAxis, 4 * kMaxLevelAxis)); };
    block.toX = dest(x, dx);
    block.toY = dest(y, dy);
    block.toZ = dest(z, dz);
    block.duration = durationMs;
    world.movingBlocks[static_cast<std::size_t>(++world.lastMovingBlock)] = block;
}

void StepObjectAnimations(World& world, RulesContext& context) {
    const std::int32_t now = context.time.now;
    for (ObjectDef& def : world.objectDefs) {
        if (def.undefined) continue;
        def.loopPulse = false;
        if (def.loopSound != kNoSound && def.loopDuration < now - def.lastLoopTime) {
            def.lastLoopTime = now;
            def.loopPulse = true;
        }
        const int count = std::min(def.animFrameCount, kMaxMeshFrames);
        if (count <= 0) continue;
        const float old = def.animPosition;
        float pos = old + FrameScale(context.time, def.animSpeed);
        // Any speed, however large or negative, keeps the position on a real frame.
        pos = std::fmod(pos, static_cast<float>(count));
        if (pos < 0) pos += static_cast<float>(count);
        if (!(pos >= 0 && pos < static_cast<float>(count))) pos = 0;
        if (std::trunc(pos) != std::trunc(old)) def.previousAnimPosition = old;
        def.animPosition = pos;

        const int b = std::clamp(static_cast<int>(pos), 0, count - 1);
        const int a = std::clamp(static_cast<int>(def.previousAnimPosition), 0, count - 1);
        ShowObjectFrames(def, a, b, pos - static_cast<float>(b), context.blendMeshes);
    }
}

void StepMovingBlocks(World& world, RulesContext& context) {
    const FrameTime& t = context.time;
    int n = 0;
    while (n <= std::min(world.lastMovingBlock, kMaxMovingBlocks - 1)) {
        MovingBlock& b = world.movingBlocks[static_cast<std::size_t>(n)];
        bool settle = false;
        if (b.kind == 0) {
            const float ox = b.x, oy = b.y, oz = b.z;
            const float sx = FrameScale(t, b.vx), sy = FrameScale(t, b.vy), sz = FrameScale(t, b.vz);
            MoveBox(world, b.x, b.y, b.z, kBlockStep, kBlockHeight, kBlockWidth, sz, sy, sx);
            // An axis whose move was cut short loses its speed.
            if (std::trunc(b.x) != std::trunc(ox + sx)) b.vx = 0;
            if (std::trunc(b.y) != std::trunc(oy + sy)) b.vy = 0;
            if (std::trunc(b.z) != std::trunc(oz + sz)) b.vz = 0;
            if (std::fabs(b.x - ox) + std::fabs(b.y - oy) + std::fabs(b.z - oz) < FrameScale(t, kSettleDistance)) settle = true;
            b.vx -= FrameScale(t, b.vx / 7);
            b.vy -= FrameScale(t, kBlockGravity);
            b.vz -= FrameScale(t, b.vz / 7);
        } else {
            // A travel of no time arrives at once; a late frame never carries it past its end.
            float f = b.duration > 0 ? static_cast<float>(t.now - b.startTime) / static_cast<float>(b.duration) : 1.0f;
            f = std::clamp(f, 0.0f, 1.0f);
            const float nx = b.fromX + (b.toX - b.fromX) * f, ny = b.fromY + (b.toY - b.fromY) * f,
                        nz = b.fromZ + (b.toZ - b.fromZ) * f;
            b.vx = nx - b.x;
            b.vy = ny - b.y;
            b.vz = nz - b.z;
            b.x = nx;
            b.y = ny;
            b.z = nz;
            settle = f >= 1.0f;
        }
        if (settle) {
            const MovingBlock done = b;
            RemoveMovingBlock(world, n);  // the next block moves into this place
            SettleBlock(world, done, context);
            continue;
        }
        ++n;
    }
}

void StepHoles(World& world, RulesContext& context) {
    int n = 0;
    while (n <= std::min(world.lastHole, kMaxHoles - 1)) {
        const Hole hole = world.holes[static_cast<std::size_t>(n)];
        if (!(hole.refillDelay < context.time.now - hole.digTime)) {
            ++n;
            continue;
        }
        RemoveHole(world, n);
        const int x = CellOf(hole.x), y = CellOf(hole.y), z = CellOf(hole.z);
        // A cell that something else has filled meanwhile keeps what it has.
        if (!IsEmptyCell(world, x, y, z)) continue;
        const ObjectDef* def = DefinedObject(world, hole.value);
        StartCellAnimation(world, x, y, z, hole.value, def ? def->recoverAnim : -1, context);
    }
}

void StepCellAnimations(World& world, RulesContext& context) {
    for (CellAnimation& slot : world.cellAnimations) {
        if (!slot.inUse) continue;
        const ObjectDef& anim = world.objectDefs[slot.object < kObjectTypeCount ? slot.object : 0];
        const int count = anim.undefined ? 0 : std::min(anim.animFrameCount, kMaxMeshFrames);
        const float old = slot.position;
        slot.position += FrameScale(context.time, anim.animSpeed);
        if (std::trunc(slot.position) != std::trunc(old)) slot.previousPosition = old;
        // A stalled or backwards animation still ends rather than showing for ever.
        if (!(slot.position > old) && count > 0 && anim.animSpeed <= 0) slot.position = static_cast<float>(count);
        if (static_cast<float>(count) > slot.position) {
            ShowSlotFrames(slot, anim, static_cast<int>(slot.previousPosition), static_cast<int>(slot.position),
                           context.blendMeshes);
            continue;
        }
        slot.inUse = false;
        SetCell(world, CellOf(slot.x), CellOf(slot.y), CellOf(slot.z), slot.finalValue);
    }
}

void RebuildAnimationMeshes(World& world) {
    // A frame number from a position, or -1 (no frame) for anything outside the frames.
    auto frameOf = [](float position) { return position >= 0 && position < kMaxMeshFrames ? static_cast<int>(position) : -1; };
    for (ObjectDef& def : world.objectDefs) {
        const int count = def.undefined ? 0 : std::min(def.animFrameCount, kMaxMeshFrames);
        if (count <= 0) continue;
        const int b = std::max(0, frameOf(def.animPosition)) % count;
        const int a = std::max(0, frameOf(def.previousAnimPosition)) % count;
        ShowObjectFrames(def, a, b, std::clamp(def.animPosition - static_cast<float>(b), 0.0f, 1.0f), true);
    }
    for (CellAnimation& slot : world.cellAnimations) {
        if (!slot.inUse) continue;
        const ObjectDef& anim = world.objectDefs[slot.object < kObjectTypeCount ? slot.object : 0];
        if (!ShowSlotFrames(slot, anim, frameOf(slot.previousPosition), frameOf(slot.position), true))
            slot.mesh = anim.undefined ? nullptr : anim.meshes[0];
    }
}

void MechanismsStep(World& world, Actors& actors, RulesContext& context) {
    const FrameTime& t = context.time;
    if (t.now - context.lastSoundUpdate > kSoundUpdateMs) {
        context.lastSoundUpdate = t.now;
        if (context.updateSounds) context.updateSounds();
    }
    // The texture animation runs on game ticks, not frames.
    context.tickRemainderMs += std::clamp(t.frameDelta, 0, kMaxFrameDelta);
    while (context.tickRemainderMs >= kGameTickMs) {
        context.tickRemainderMs -= kGameTickMs;
        if (context.gameTick) context.gameTick();
    }
    world.lastMovingBlock = std::clamp(world.lastMovingBlock, -1, kMaxMovingBlocks - 1);
    world.lastHole = std::clamp(world.lastHole, -1, kMaxHoles - 1);
    RunSweeps(world, context);  // what earlier frames could not finish goes on first
    StepObjectAnimations(world, context);
    StepMovingBlocks(world, context);
    StepHoles(world, context);
    StepCellAnimations(world, context);
    RunBehaviours(world, actors, context);
}

void PulseLoopSounds(const World& world, float x, float y, float z, RulesContext& context) {
    // Most frames pulse nothing: one look at the types saves the walk, and
    // without a sound sink (a search that nobody hears) not even that.
    if (!context.playSound) return;
    bool any = false;
    for (const ObjectDef& def : world.objectDefs) any = any || (!def.undefined && def.loopPulse && def.loopSound != kNoSound);
    if (!any) return;
    auto pulsing = [&world](std::int64_t value) -> const ObjectDef* {
        if (value == 0) return nullptr;
        const ObjectDef* def = DefinedObject(world, value);
        return def && def->loopPulse && def->loopSound != kNoSound ? def : nullptr;
    };
    auto play = [&context](const ObjectDef& def, float px, float py, float pz) {
        PlaySoundAt(context, def.loopSound, RoundToInt(px), RoundToInt(py), RoundToInt(pz), def.loopVolume);
    };
    const std::array<int, 3> camera{CellOf(x), CellOf(y), CellOf(z)};
    for (const CellAnimation& anim : world.cellAnimations) {
        if (!anim.inUse || !anim.mesh) continue;
        const std::array<float, 3> pos{anim.x, anim.y, anim.z};
        bool far = false;
        for (std::size_t a = 0; a < 3; ++a) far = far || std::fabs(pos[a] / kCellSize - camera[a]) >= kHearCells;
        if (far) continue;
        if (const ObjectDef* def = pulsing(anim.object)) play(*def, anim.x, anim.y, anim.z);
    }
    const int lastBlock = std::min(world.lastMovingBlock, kMaxMovingBlocks - 1);
    for (int i = 0; i <= lastBlock; ++i) {
        const MovingBlock& block = world.movingBlocks[static_cast<std::size_t>(i)];
        if (const ObjectDef* def = pulsing(block.value)) play(*def, block.x, block.y, block.z);
    }
    const std::array<int, 3> size{world.sizeX, world.sizeY, world.sizeZ};
    std::array<int, 3> from{}, to{};
    for (std::size_t a = 0; a < 3; ++a) {
        from[a] = std::max(0, camera[a] - kHearCells);
        to[a] = std::min(size[a] - 1, camera[a] + kHearCells);
    }
    for (int cx = from[0]; cx <= to[0]; ++cx)
        for (int cy = from[1]; cy <= to[1]; ++cy)
            for (int cz = from[2]; cz <= to[2]; ++cz)
                if (const ObjectDef* def = pulsing(GetCell(world, cx, cy, cz)))
                    play(*def, CellCentre(cx), CellCentre(cy), CellCentre(cz));
}

void LevelTimerStep(World& world, Actor& hero, RulesContext& context) {
    if (!world.timerRunning || context.menuOpen) return;
    world.timerLeft -= context.time.frameDelta;
    if (world.timerLeft < 0) {
        world.timerLeft = 0;
        world.timerRunning = 0;
        KillHero(hero, context);
    }
}

}  // namespace zq
