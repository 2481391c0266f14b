// Cost of the game rules per frame in a busy level: every mechanism table full,
// every sentry slot used; and in the second chapter's finale as it is played.
// Data folder of the finale: $ZQ_DATA, else "data" beside the program.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "rules/actor.h"
#include "rules/behaviours.h"
#include "rules/hero.h"
#include "rules/mechanisms.h"
#include "rules/move_box.h"
#include "rules/rules_context.h"
#include "rules/sentries.h"
#include "world/level_file.h"
#include "world/world.h"
#include "bench_scene.h"

namespace zq {
namespace {

std::filesystem::path g_dataDir;

constexpr Cell kFloor = 1, kWall = 2, kCrate = 3, kAnim = 4;

MeshRef FrameMesh(std::int32_t shift) {
    auto m = std::make_shared<Mesh>();
    for (int i = 0; i < 40; ++i) {
        m->x.push_back(i * 10 + shift);
        m->y.push_back(i * 5);
        m->z.push_back(-i * 3);
    }
    return m;
}

// A 40 x 12 x 40 level with a floor, scattered pillars, 255 sentries, 257
// moving blocks (half falling, half travelling) and 257 cell animations.
struct BusyLevel {
    World world;
    Random random;
    RulesContext context{random};
    Actors actors;
    SentrySounds sounds;

    // The state a frame changes, restored before each measured frame.
    std::vector<Cell> cells;
    std::array<MovingBlock, kMaxMovingBlocks> blocks{};
    std::int32_t lastBlock = -1;
    std::array<CellAnimation, kCellAnimationCount> animations{};
    std::array<SentryState, kMaxSentries> sentries{};
    std::uint32_t seed = 0;

    BusyLevel() {
        AllocateGrid(world, 40, 12, 40);
        for (Cell t : {kFloor, kWall, kCrate}) {
            ObjectDef& d = world.objectDefs[t];
            d.undefined = false;
            d.cube = true;
            d.bounds = {0, 511, 0, 0, 511, 511, 511, 511, 511};
        }
        ObjectDef& anim = world.objectDefs[kAnim];
        anim.undefined = false;
        anim.collision = false;
        anim.bounds = {0, 511, 0, 0, 511, 511, 511, 511, 511};
        anim.animFrameCount = 8;
        anim.animSpeed = 0.001f;  // slow enough that no animation ends during the run
        for (int i = 0; i < 8; ++i) anim.meshes[static_cast<std::size_t>(i)] = FrameMesh(i * 7);

        for (int x = 0; x < 40; ++x)
            for (int z = 0; z < 40; ++z) SetCell(world, x, 0, z, kFloor);
        for (int i = 0; i < 120; ++i) {
            int x = static_cast<int>(random.Next(40)), z = static_cast<int>(random.Next(40));
            for (int y = 1; y < 4; ++y) SetCell(world, x, y, z, kWall);
        }
        context.time = {100000, 30};

        // Moving blocks: crates started from the upper layers.
        for (int i = 0; i < kMaxMovingBlocks; ++i) {
            int x = i % 40, y = 5 + (i / 40) % 6, z = (i * 7) % 40;
            SetCell(world, x, y, z, kCrate);
            if (i % 2 == 0)
                StartFallingBlock(world, x, y, z, 10, -20, 10, context);
            else
                StartTravellingBlock(world, x, y, z, 1000000, 1, 0, 1, context);
        }
        // Cell animations fill every slot.
        for (int i = 0; i < kCellAnimationCount; ++i) {
            int x = (i * 3) % 40, z = (i * 11) % 40;
            SetCell(world, x, 4, z, kWall);
            StartCellAnimation(world, x, 4, z, kWall, kAnim, context);
        }
        world.sentryCount = kMaxSentries;
        for (int i = 0; i < kMaxSentries; ++i) {
            SentryState& s = world.sentries[static_cast<std::size_t>(i)];
            s.x = static_cast<float>((i % 40) * 512 + 256);
            s.y = static_cast<float>((4 + i % 6) * 512 + 256);
            s.z = static_cast<float>(((i * 13) % 40) * 512 + 256);
            s.heading = static_cast<float>(i * 1000);
        }
        world.randomSeed = 77;
        ResetSentries(world, random, 0);
        ResetActorsForLevel(actors, world);
        actors.Local().x = 20 * 512 + 256;
        actors.Local().y = 512 + 241;
        actors.Local().z = 20 * 512 + 256;

        cells = world.cells;
        blocks = world.movingBlocks;
        lastBlock = world.lastMovingBlock;
        animations = world.cellAnimations;
        sentries = world.sentries;
        seed = random.seed;
    }

    void Restore() {
        std::copy(cells.begin(), cells.end(), world.cells.begin());
        world.movingBlocks = blocks;
        world.lastMovingBlock = lastBlock;
        world.cellAnimations = animations;
        world.sentries = sentries;
        random.seed = seed;
        context.time = {100000, 30};
        IndexCells(world);  // the cells were copied back by hand
    }

    void Frame() {
        context.time.now += 30;
        MechanismsStep(world, actors, context);
        SentryThink(world, actors, sounds, context);
        SentryMove(world, context);
    }
};

void BM_RulesFrame(benchmark::State& state) {
    BusyLevel level;
    for (auto _ : state) {
        state.PauseTiming();
        level.Restore();
        state.ResumeTiming();
        level.Frame();
        benchmark::DoNotOptimize(level.world.movingBlocks[0].y);
    }
    state.counters["movingBlocks"] = static_cast<double>(level.world.lastMovingBlock + 1);
}
BENCHMARK(BM_RulesFrame)->Unit(benchmark::kMicrosecond);

// A run of frames without restoring: blocks land and settle, sentries wander.
void BM_RulesHundredFrames(benchmark::State& state) {
    BusyLevel level;
    for (auto _ : state) {
        state.PauseTiming();
        level.Restore();
        state.ResumeTiming();
        for (int i = 0; i < 100; ++i) level.Frame();
    }
}
BENCHMARK(BM_RulesHundredFrames)->Unit(benchmark::kMillisecond);

void BM_MoveBoxHero(benchmark::State& state) {
    BusyLevel level;
    level.world.lastMovingBlock = -1;
    float x = 10 * 512 + 256, y = 512 + 241, z = 10 * 512 + 256;
    float dir = 40;
    for (auto _ : state) {
        MoveBox(level.world, x, y, z, 256, 480, 260, dir, -3, dir);
        if (x > 30 * 512 || x < 5 * 512) dir = -dir;
        benchmark::DoNotOptimize(x);
    }
}
BENCHMARK(BM_MoveBoxHero);

// The finale with its bank, its watcher and its timber walk script, the hero
// walking from the start with a quarter turn every 100 frames, so he climbs,
// falls, wanders the walls and meets the watcher.  One measured frame is the
// play frame's rule steps: control, gravity, physics, action target, the
// death test, mechanisms with behaviours, the watcher, the countdown.
struct ChapterTwoPlay {
    bench::Scene scene{g_dataDir, bench::kChapterTwoLevel, PixelFormat::kIndexed};
    Random random;
    RulesContext context{random};
    Actors actors;
    SentrySounds sounds;
    HeroKeys keys;
    int frame = 0;

    ChapterTwoPlay() {
        ResetActorsForGame(actors);
        ResetActorsForLevel(actors, *scene.world);
        context.time = {100000, 30};
    }

    void Frame() {
        World& world = *scene.world;
        Actor& hero = actors.Local();
        context.time.now += 30;
        hero.commands = {};
        hero.commands.forward = true;
        hero.commands.right = frame % 100 < 17 && frame >= 100;
        if (hero.stunMs < 1) HeroControl(world, actors, hero, keys, context);
        hero.stunMs = std::max(0, hero.stunMs - context.time.frameDelta);
        GravityAndLadders(world, hero, context);
        ActorPhysics(world, hero, context);
        UpdateActionTarget(world, hero);
        benchmark::DoNotOptimize(HeroKilledTest(world, hero));
        MechanismsStep(world, actors, context);
        SentryThink(world, actors, sounds, context);
        SentryMove(world, context);
        LevelTimerStep(world, hero, context);
        // Back to the start now and then, so the walk stays in the level's busy part.
        if (++frame % 2000 == 0) PutOnStartPoint(hero, world);
    }
};

void BM_RulesFrameChapter2(benchmark::State& state) {
    ChapterTwoPlay play;
    for (auto _ : state) {
        play.Frame();
        benchmark::DoNotOptimize(play.actors.Local().x);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(play.frame), benchmark::Counter::kIsRate);
    state.SetLabel(play.scene.level);
}
BENCHMARK(BM_RulesFrameChapter2)->Unit(benchmark::kMicrosecond);

// The worst a script can ask of one frame: the largest grid (1024 x 64 x
// 1024) and all 256 event markers sweeping all of it, PUTOBJECT and MAKEFALL
// in turn.  The area commands' per-frame ceiling (kAreaCellsPerFrame) is what
// this measures; each iteration is one frame further into the sweeps.
void BM_RulesFrameLargestGridScripts(benchmark::State& state) {
    const int sx = static_cast<int>(state.range(0)), sy = static_cast<int>(state.range(1)),
              sz = static_cast<int>(state.range(2));
    auto world = std::make_unique<World>();
    AllocateGrid(*world, sx, sy, sz);
    for (Cell t : {kFloor, kWall}) {
        ObjectDef& d = world->objectDefs[t];
        d.undefined = false;
        d.cube = true;
        d.bounds = {0, 511, 0, 0, 511, 511, 511, 511, 511};
    }
    Behaviour& sweep = world->behaviours[0];
    sweep.name = "sweep";
    sweep.steps[0].command = static_cast<std::int32_t>(Command::PutObject);
    sweep.steps[0].args = {0, 1, 0, sx - 1, sy - 1, sz - 1, kWall};
    sweep.steps[1].command = static_cast<std::int32_t>(Command::MakeFall);
    sweep.steps[1].args = {0, 1, 0, sx - 1, sy - 1, sz - 1, 0};
    sweep.steps[2].command = static_cast<std::int32_t>(Command::Goto);
    for (EventMarker& m : world->eventMarkers) {
        m = EventMarker{};
        m.x = m.y = m.z = 0;
    }
    Random random;
    RulesContext context{random};
    Actors actors;
    ResetActorsForLevel(actors, *world);
    context.time = {100000, 30};
    std::int64_t cells = 0;
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        context.time.now += 30;
        MechanismsStep(*world, actors, context);
        cells += world->objectDefs[kWall].cellCount;
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        worst = std::max(worst, took.count());
    }
    benchmark::DoNotOptimize(cells);
    state.counters["cellsPerFrame"] = static_cast<double>(kAreaCellsPerFrame);
    state.counters["worstFrameMs"] = worst;
}
// The three tallest shapes a level may take (64 M cells each).
void LargestShapes(benchmark::internal::Benchmark* b) {
    b->Args({kMaxLevelAxis, 64, kMaxLevelAxis})->Args({kMaxLevelAxis, kMaxLevelAxis, 64})->Args({64, kMaxLevelAxis, kMaxLevelAxis});
}
BENCHMARK(BM_RulesFrameLargestGridScripts)->Apply(LargestShapes)->Unit(benchmark::kMillisecond)->Iterations(100);

// The worst the mechanisms can ask of a frame: the largest grid with a
// sensor plate under every cell of the floor, a key on each, and doors in
// every cell above them (62 million), doors that open into themselves, so
// every opening sweeps them all again.  A key is dropped onto its plate
// whenever the sweeps have run dry, and a lever for the same doors is pulled
// every frame.  The sweeps' per-frame ceiling (kSweepCellsPerFrame) is what
// this measures; worstFrameMs is the slowest single frame of the run.
void BM_RulesFrameLargestGridMechanisms(benchmark::State& state) {
    constexpr Cell kSensor = 5, kKey = 6, kDoor = 7, kLever = 8;
    const int sx = static_cast<int>(state.range(0)), sy = static_cast<int>(state.range(1)),
              sz = static_cast<int>(state.range(2));
    auto world = std::make_unique<World>();
    AllocateGrid(*world, sx, sy, sz);
    for (Cell t : {kFloor, kSensor, kKey, kDoor, kLever}) {
        ObjectDef& d = world->objectDefs[t];
        d.undefined = false;
        d.cube = true;
        d.bounds = {0, 511, 0, 0, 511, 511, 511, 511, 511};
    }
    world->objectDefs[kSensor].blockSensor = true;
    world->objectDefs[kSensor].blockSensorDoor = kDoor;
    world->objectDefs[kKey].blockKey = true;
    world->objectDefs[kKey].blockKeySensor = kSensor;
    world->objectDefs[kDoor].door = true;
    world->objectDefs[kDoor].doorOpen = kDoor;
    world->objectDefs[kDoor].animDoor = kAnim;
    world->objectDefs[kLever].lever = true;
    world->objectDefs[kLever].leverOpen = kLever;
    world->objectDefs[kLever].leverAnim = kAnim;
    world->objectDefs[kLever].leverDoor = kDoor;
    ObjectDef& anim = world->objectDefs[kAnim];
    anim.undefined = false;
    anim.animFrameCount = 2;
    anim.animSpeed = 0.5f;
    for (int z = 0; z < sz; ++z)
        for (int y = 2; y < sy; ++y)
            for (int x = 0; x < sx; ++x) SetCell(*world, x, y, z, kDoor);
    for (int z = 0; z < sz; ++z)
        for (int x = 0; x < sx; ++x) {
            SetCell(*world, x, 0, z, kSensor);
            SetCell(*world, x, 1, z, kKey);
        }
    SetCell(*world, sx - 1, sy - 1, sz - 1, kLever);
    Random random;
    RulesContext context{random};
    Actors actors;
    ResetActorsForLevel(actors, *world);
    context.time = {100000, 30};
    double worst = 0;
    std::int64_t drops = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        context.time.now += 30;
        MechanismsStep(*world, actors, context);
        if (world->sweepCount == 0 && world->lastMovingBlock < 0) {
            // The key lifts off its plate and falls back: the check and the doors follow when it lands.
            StartFallingBlock(*world, 512, 1, 512, 0, -20, 0, context);
            ++drops;
        }
        PullLever(*world, sx - 1, sy - 1, sz - 1, context);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        worst = std::max(worst, took.count());
    }
    state.counters["worstFrameMs"] = worst;
    state.counters["keyDrops"] = static_cast<double>(drops);
    state.counters["cellsPerFrame"] = static_cast<double>(kSweepCellsPerFrame);
}
BENCHMARK(BM_RulesFrameLargestGridMechanisms)->Apply(LargestShapes)->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace
}  // namespace zq

int main(int argc, char** argv) {
    zq::g_dataDir = zq::bench::DataDir(argv[0]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
