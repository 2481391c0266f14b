// Mechanisms: pick-ups, levers, doors, holes that refill, pushed, falling and
// travelling blocks, cell animations, the animation of the object types and
// the level countdown.  Every change of a cell goes through SetCell.
#pragma once

#include <cstdint>

#include "rules/actor.h"
#include "rules/rules_context.h"
#include "world/world.h"

namespace zq {

inline constexpr std::int32_t kHeroDigRefillMs = 10000;
inline constexpr float kSpringThrow = 435.2f;
inline constexpr float kPushSpeed = 95.0f;
inline constexpr std::int32_t kMaxLives = 99;

// Box of a moving block for MoveBox: step, height, width.
inline constexpr std::int32_t kBlockStep = 51, kBlockHeight = 509, kBlockWidth = 171;

// The pick-ups of the cell holding the hero's centre: ingots, timers, springs,
// extra lives, light switches.
void HeroPickups(World& world, Actor& hero, RulesContext& context);

// Opening doors, switching levers and checking sensor plates each sweep the
// whole grid for one object type in the grid's storage order: Z slowest,
// then Y, then X fastest (the order decides which cells get the free
// animation slots; reading the cells as they lie in memory keeps a frame's
// cost the same for every shape of grid).  The sweeps of one frame visit at
// most this many cells between them; Z slabs without the type cost one each.
// A sweep that does not finish in its frame goes on from where it stopped at
// the start of the next frames' MechanismsStep, and later sweeps wait behind
// it, so their order is kept.  Half of what a script's area
// commands may use (kAreaCellsPerFrame), so both at their worst in one frame
// stay well inside a frame's time.  Every level of the campaign opens its
// doors within the frame that asks; opening the doors that fill a whole
// 1024 x 64 x 1024 grid takes 128 frames.  At most kMaxCellSweeps wait at
// once; a request past that, or one the same as a waiting sweep not yet
// begun, is dropped.
inline constexpr std::int64_t kSweepCellsPerFrame = std::int64_t{1} << 19;

// Every cell of door type `doorType` starts its opening animation.
void OpenDoors(World& world, std::int64_t doorType, RulesContext& context);
// A timer bonus (here or from another player): the clock runs and gains `ms`,
// saturating at 0 and INT32_MAX so two huge bonuses never wrap it.
void AddTimerBonus(World& world, std::int32_t ms);
// Switches every lever of the type in cell (x, y, z) and opens its door.
void PullLever(World& world, int x, int y, int z, RulesContext& context);
// Digs the cell out; it grows back after `refillMs` when its type recovers.
void DigHole(World& world, int x, int y, int z, std::int32_t refillMs, RulesContext& context);
// Starts a pushable block sliding along the larger axis of `heading`.
void PushBlock(World& world, int x, int y, int z, float heading, RulesContext& context);

// Shows the cell as `animObject` until its frames have played, then sets it
// to `finalValue`.  With no free slot the cell takes its final value at once.
void StartCellAnimation(World& world, int x, int y, int z, std::int64_t finalValue, std::int64_t animObject,
                        RulesContext& context);
// Lifts the cell's block out of the grid with a velocity per tick.
void StartFallingBlock(World& world, int x, int y, int z, float vz, float vy, float vx, RulesContext& context);
// Lifts the cell's block out of the grid and carries it to the cell (x+dx,
// y+dy, z+dz) in `durationMs`.
void StartTravellingBlock(World& world, int x, int y, int z, std::int32_t durationMs, int dz, int dy, int dx,
                          RulesContext& context);

// One frame of the World's machinery: object animations, moving blocks, holes,
// cell animations, then the behaviours.
void MechanismsStep(World& world, Actors& actors, RulesContext& context);

// The loop-sound pulses of this frame, heard from a camera at (x, y, z): the
// cell animations within kHearCells of its cell, every moving block, and the
// cells of the 25-cell cube around it (the cube the drawing shows; hidden
// cells are heard too).  Runs after MechanismsStep has set the pulses.
inline constexpr int kHearCells = 12;
void PulseLoopSounds(const World& world, float x, float y, float z, RulesContext& context);

// The level countdown; kills the hero when it runs out.
void LevelTimerStep(World& world, Actor& hero, RulesContext& context);

// Rebuilds the meshes the animations show (each type's working mesh, each
// busy animation slot's mesh) from their frame positions, after those were
// put back from a saved state.  Advances nothing.
void RebuildAnimationMeshes(World& world);

// The parts of MechanismsStep, for callers that need them alone.
void StepObjectAnimations(World& world, RulesContext& context);
void StepMovingBlocks(World& world, RulesContext& context);
void StepHoles(World& world, RulesContext& context);
void StepCellAnimations(World& world, RulesContext& context);

}  // namespace zq
