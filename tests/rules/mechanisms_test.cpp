#include "rules/mechanisms.h"

#include <gtest/gtest.h>

#include <limits>

#include "rules/hero.h"
#include "rules_fixture.h"

namespace zq {
namespace {

using namespace zq::test;

int LiveAnimations(const World& w) {
    int n = 0;
    for (const CellAnimation& a : w.cellAnimations) n += a.inUse ? 1 : 0;
    return n;
}

TEST(Pickups, LastIngotOpensEveryCellOfItsDoor) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 1, 1, 1, kIngot);
    SetCell(f.world, 5, 1, 5, kIngot);
    SetCell(f.world, 7, 1, 0, kDoor);
    SetCell(f.world, 7, 2, 0, kDoor);
    SetCell(f.world, 0, 1, 7, kDoor);
    f.context.networkGame = true;
    Actor& hero = f.PlaceHero(1, 1, 1);
    HeroPickups(f.world, hero, f.context);
    EXPECT_EQ(GetCell(f.world, 1, 1, 1), 0);
    EXPECT_EQ(f.world.objectDefs[kIngot].cellCount, 1);
    EXPECT_EQ(GetCell(f.world, 7, 1, 0), kDoor);  // one ingot left: nothing opens
    ASSERT_EQ(f.sends.size(), 1u);
    EXPECT_EQ(f.sends[0].code, kNetIngot);
    EXPECT_EQ(f.sends[0].value, kIngot);

    f.PlaceHero(5, 1, 5);
    HeroPickups(f.world, hero, f.context);
    EXPECT_EQ(LiveAnimations(f.world), 3);
    EXPECT_EQ(GetCell(f.world, 7, 1, 0), 0);
    EXPECT_EQ(GetCell(f.world, 0, 1, 7), 0);
    // The highest free slot is taken first, in storage order: Z, then Y, then X fastest.
    EXPECT_FLOAT_EQ(f.world.cellAnimations[256].x, 7 * 512 + 256);
    EXPECT_FLOAT_EQ(f.world.cellAnimations[255].y, 2 * 512 + 256);
    f.Steps(20);
    EXPECT_EQ(LiveAnimations(f.world), 0);
    EXPECT_EQ(GetCell(f.world, 7, 2, 0), 0);  // the open value of this door is empty
}

TEST(Pickups, SpringTimerLifeAndLight) {
    RulesFixture f;
    SetCell(f.world, 2, 1, 2, kSpring);
    Actor& hero = f.PlaceHero(2, 1, 2);
    for (int i = 0; i < 3; ++i) {
        hero.fallSpeed = 0;
        HeroPickups(f.world, hero, f.context);
        EXPECT_FLOAT_EQ(hero.fallSpeed, kSpringThrow);  // every frame he is in it
    }
    EXPECT_EQ(GetCell(f.world, 2, 1, 2), kSpring);

    f.world.objectDefs[kTimer].oneUp = true;
    f.world.objectDefs[kTimer].light = true;
    SetCell(f.world, 3, 1, 2, kTimer);
    f.PlaceHero(3, 1, 2);
    f.world.timerLeft = 3000;
    hero.lives = 99;
    HeroPickups(f.world, hero, f.context);
    EXPECT_EQ(f.world.timerLeft, 13000);
    EXPECT_EQ(f.world.timerRunning, 1);
    EXPECT_EQ(hero.lives, 99);  // never above 99
    EXPECT_FLOAT_EQ(hero.lightTarget, kLightDim);
    EXPECT_EQ(GetCell(f.world, 3, 1, 2), 0);

    // Two huge bonuses saturate the clock instead of wrapping it negative.
    f.world.objectDefs[kTimer].timerDuration = 2000000000;
    for (int i = 0; i < 2; ++i) {
        SetCell(f.world, 3, 1, 2, kTimer);
        HeroPickups(f.world, hero, f.context);
    }
    EXPECT_EQ(f.world.timerLeft, std::numeric_limits<std::int32_t>::max());
}

TEST(LevelTimer, CountsDownAndKillsAtZero) {
    RulesFixture f;
    Actor& hero = f.actors.Local();
    f.world.timerRunning = 1;
    f.world.timerLeft = 100;
    f.context.time.frameDelta = 60;
    LevelTimerStep(f.world, hero, f.context);
    EXPECT_EQ(f.world.timerLeft, 40);
    f.context.menuOpen = true;
    LevelTimerStep(f.world, hero, f.context);
    EXPECT_EQ(f.world.timerLeft, 40);
    f.context.menuOpen = false;
    LevelTimerStep(f.world, hero, f.context);
    EXPECT_EQ(f.world.timerLeft, 0);
    EXPECT_EQ(f.world.timerRunning, 0);
    EXPECT_TRUE(hero.dead);
}

TEST(Holes, DigRefillAndTheRulesAroundThem) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 2, 0, 2, kDirt);
    SetCell(f.world, 3, 0, 2, kDirt);
    SetCell(f.world, 3, 1, 2, kWall);
    SetCell(f.world, 4, 0, 2, kRock);
    DigHole(f.world, 3, 0, 2, 1000, f.context);  // a block on top: nothing
    EXPECT_EQ(GetCell(f.world, 3, 0, 2), kDirt);
    DigHole(f.world, 1, 0, 2, 1000, f.context);  // not diggable
    EXPECT_EQ(GetCell(f.world, 1, 0, 2), kFloor);
    DigHole(f.world, 4, 0, 2, 1000, f.context);  // diggable, never grows back
    EXPECT_EQ(GetCell(f.world, 4, 0, 2), 0);
    EXPECT_EQ(f.world.lastHole, -1);

    DigHole(f.world, 2, 0, 2, 1000, f.context);
    EXPECT_EQ(f.world.lastHole, 0);
    EXPECT_EQ(GetCell(f.world, 2, 0, 2), 0);
    // The hero drops into the hole and is inside it when it refills.
    Actor& hero = f.PlaceHero(2, 0, 2);
    hero.y = 256;
    f.Steps(30, 30);
    EXPECT_EQ(GetCell(f.world, 2, 0, 2), 0);
    f.Steps(10, 30);
    EXPECT_EQ(f.world.lastHole, -1);
    f.Steps(5, 30);
    EXPECT_EQ(GetCell(f.world, 2, 0, 2), kDirt);
    EXPECT_EQ(f.world.lastMovingBlock, -1);
    EXPECT_TRUE(HeroKilledTest(f.world, hero));
    f.Steps(200, 30);
    EXPECT_EQ(GetCell(f.world, 4, 0, 2), 0);  // the permanent hole stays open
}

TEST(Holes, AFilledHoleIsForgotten) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 2, 0, 2, kDirt);
    DigHole(f.world, 2, 0, 2, 500, f.context);
    f.Steps(10);
    SetCell(f.world, 2, 0, 2, kCrate);
    f.Steps(30);
    EXPECT_EQ(f.world.lastHole, -1);
    EXPECT_EQ(GetCell(f.world, 2, 0, 2), kCrate);
    EXPECT_EQ(LiveAnimations(f.world), 0);
}

TEST(PushedBlocks, SlideSlowAndSettleInTheCellOfTheirCentre) {
    RulesFixture f(12, 4, 6);
    f.Floor();
    SetCell(f.world, 3, 1, 2, kCrate);
    PushBlock(f.world, 3, 1, 2, 8192, f.context);
    EXPECT_EQ(GetCell(f.world, 3, 1, 2), 0);
    ASSERT_EQ(f.world.lastMovingBlock, 0);
    ASSERT_EQ(f.sounds.size(), 1u);
    EXPECT_EQ(f.sounds[0].sound, kActionSound);
    float lastX = f.world.movingBlocks[0].x;
    int frames = 0;
    while (f.world.lastMovingBlock >= 0 && frames < 500) {
        f.Steps(1);
        if (f.world.lastMovingBlock >= 0) {
            EXPECT_GE(f.world.movingBlocks[0].x, lastX);
            lastX = f.world.movingBlocks[0].x;
        }
        ++frames;
    }
    ASSERT_EQ(f.world.lastMovingBlock, -1);
    int found = -1;
    for (int x = 0; x < 12; ++x)
        if (GetCell(f.world, x, 1, 2) == kCrate) found = x;
    EXPECT_EQ(found, CellOf(lastX));
    EXPECT_GT(found, 3);
}

TEST(PushedBlocks, StackedBlocksStayAndWallsStopSliding) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 3, 1, 2, kCrate);
    SetCell(f.world, 3, 2, 2, kCrate);
    PushBlock(f.world, 3, 1, 2, 0, f.context);
    EXPECT_EQ(f.world.lastMovingBlock, -1);
    PushBlock(f.world, 3, 2, 2, 0, f.context);  // the top one can go
    EXPECT_EQ(f.world.lastMovingBlock, 0);

    RulesFixture g;
    g.Floor();
    SetCell(g.world, 3, 1, 2, kCrate);
    SetCell(g.world, 3, 1, 4, kWall);
    PushBlock(g.world, 3, 1, 2, 0, g.context);  // towards +Z, into the wall two cells on
    g.Steps(200);
    EXPECT_EQ(g.world.lastMovingBlock, -1);
    EXPECT_EQ(GetCell(g.world, 3, 1, 3), kCrate);
    EXPECT_EQ(GetCell(g.world, 3, 1, 4), kWall);
}

TEST(KeyBlocks, DoorOpensWhenTheSecondKeySettles) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 2, 0, 2, kSensor);
    SetCell(f.world, 5, 0, 2, kSensor);
    SetCell(f.world, 7, 1, 7, kDoor);
    SetCell(f.world, 2, 3, 2, kKey);
    SetCell(f.world, 5, 4, 2, kKey);
    StartFallingBlock(f.world, 2, 3, 2, 0, -20, 0, f.context);
    StartFallingBlock(f.world, 5, 4, 2, 0, -20, 0, f.context);
    bool firstSettled = false;
    for (int i = 0; i < 300 && f.world.lastMovingBlock >= 0; ++i) {
        f.Steps(1);
        if (!firstSettled && GetCell(f.world, 2, 1, 2) == kKey) {
            firstSettled = true;
            EXPECT_EQ(f.world.lastMovingBlock, 0);
            EXPECT_EQ(GetCell(f.world, 7, 1, 7), kDoor);
        }
    }
    EXPECT_TRUE(firstSettled);
    EXPECT_EQ(GetCell(f.world, 5, 1, 2), kKey);
    EXPECT_EQ(GetCell(f.world, 7, 1, 7), 0);
    EXPECT_EQ(LiveAnimations(f.world) + (GetCell(f.world, 7, 1, 7) == 0 ? 0 : 1), 1);
}

TEST(Levers, AllLeversOfATypeSwitchAndOpenTheirDoor) {
    RulesFixture f;
    SetCell(f.world, 1, 1, 1, kLever);
    SetCell(f.world, 6, 1, 6, kLever);
    SetCell(f.world, 4, 1, 4, kDoor);
    PullLever(f.world, 4, 1, 4, f.context);  // not a lever
    EXPECT_EQ(LiveAnimations(f.world), 0);
    PullLever(f.world, 1, 1, 1, f.context);
    EXPECT_EQ(LiveAnimations(f.world), 3);
    f.Steps(20);
    EXPECT_EQ(GetCell(f.world, 1, 1, 1), kLeverOpen);
    EXPECT_EQ(GetCell(f.world, 6, 1, 6), kLeverOpen);
    EXPECT_EQ(GetCell(f.world, 4, 1, 4), 0);
}

// The slab counts the sweeps rely on must follow every way the rules change a
// cell: digging and refilling, pushing, falling, animations ending.
TEST(CellSweeps, SlabCountsStayExactWhileBlocksMoveAndHolesRefill) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 2, 0, 2, kDirt);
    SetCell(f.world, 3, 0, 5, kRock);
    SetCell(f.world, 4, 1, 4, kCrate);
    SetCell(f.world, 6, 4, 1, kKey);
    SetCell(f.world, 1, 1, 6, kDoor);
    DigHole(f.world, 2, 0, 2, 300, f.context);
    DigHole(f.world, 3, 0, 5, 300, f.context);
    PushBlock(f.world, 4, 1, 4, 1.5708f, f.context);
    StartFallingBlock(f.world, 6, 4, 1, 0, -20, 0, f.context);
    OpenDoors(f.world, kDoor, f.context);
    for (int i = 0; i < 60; ++i) {
        f.Steps(1);
        World fresh;
        fresh.sizeX = f.world.sizeX;
        fresh.sizeY = f.world.sizeY;
        fresh.sizeZ = f.world.sizeZ;
        fresh.cells = f.world.cells;
        IndexCells(fresh);
        ASSERT_EQ(f.world.slabTypeCounts, fresh.slabTypeCounts) << "frame " << i;
    }
    EXPECT_EQ(GetCell(f.world, 2, 0, 2), kDirt);  // refilled
    EXPECT_EQ(GetCell(f.world, 6, 1, 1), kKey);   // landed
    EXPECT_EQ(GetCell(f.world, 4, 1, 4), 0);      // slid away
}

// On a large grid a door sweep costs one cell per slab without doors, plus
// the cells of the slab up to its last door.
TEST(CellSweeps, EmptySlabsAreSkipped) {
    RulesFixture f(32, 32, 1024);
    SetCell(f.world, 3, 1, 1000, kDoor);
    OpenDoors(f.world, kDoor, f.context);
    EXPECT_EQ(f.world.sweepCount, 0);
    EXPECT_EQ(LiveAnimations(f.world), 1);
    const std::int64_t visited = kSweepCellsPerFrame - f.world.sweepCellsLeft;
    EXPECT_EQ(visited, 1024 + 32 + 4);
}

// Doors filling most of a grid open over several frames, never visiting more
// than the allowance in one; a lever pulled meanwhile waits its turn, and the
// same door sweep asked for again is not queued twice.
TEST(CellSweeps, HugeSweepsSpreadOverFramesInOrder) {
    RulesFixture f(512, 4, 1024);
    for (int x = 0; x < 512; ++x)
        for (int z = 0; z < 1024; ++z) {
            SetCell(f.world, x, 1, z, kDoor);
            SetCell(f.world, x, 3, z, kDoor);
        }
    SetCell(f.world, 511, 2, 1023, kLever);
    OpenDoors(f.world, kDoor, f.context);
    EXPECT_EQ(f.world.sweepCellsLeft, 0);
    ASSERT_EQ(f.world.sweepCount, 1);
    EXPECT_EQ(GetCell(f.world, 0, 1, 0), 0);
    EXPECT_EQ(GetCell(f.world, 511, 3, 1023), kDoor);
    PullLever(f.world, 511, 2, 1023, f.context);
    EXPECT_EQ(f.world.sweepCount, 3);  // the doors, the lever, the doors again
    OpenDoors(f.world, kDoor, f.context);
    EXPECT_EQ(f.world.sweepCount, 3);
    EXPECT_EQ(GetCell(f.world, 511, 2, 1023), kLever);
    int frames = 0;
    while (f.world.sweepCount > 0 && frames < 10) {
        f.Steps(1);
        ++frames;
        EXPECT_GE(f.world.sweepCellsLeft, 0);
    }
    // 1024 slabs of 2049 cells (the slab itself, then up to its last door):
    // one allowance in the frame that asked, the rest (and the lever, and
    // the doors again, all in slabs now empty) in the frames after.
    const std::int64_t doorCells = 1024 * 2049;
    EXPECT_EQ(frames, (doorCells - 1) / kSweepCellsPerFrame);
    f.Steps(20);
    EXPECT_EQ(LiveAnimations(f.world), 0);
    EXPECT_EQ(GetCell(f.world, 511, 2, 1023), kLeverOpen);
    for (int z = 0; z < 1024; z += 93) {
        EXPECT_EQ(GetCell(f.world, 300, 1, z), 0);
        EXPECT_EQ(GetCell(f.world, 511, 3, z), 0);
    }
    EXPECT_EQ(SlabTypeCount(f.world, 500, kDoor), 0);
}

TEST(TravellingBlocks, ArriveOnTimeAndZeroDurationsSettleAtOnce) {
    RulesFixture f;
    SetCell(f.world, 1, 1, 1, kCrate);
    StartTravellingBlock(f.world, 1, 1, 1, 300, 0, 2, 1, f.context);
    f.Steps(5, 30);
    EXPECT_EQ(f.world.lastMovingBlock, 0);
    EXPECT_GT(f.world.movingBlocks[0].vy, 0);
    f.Steps(6, 30);
    EXPECT_EQ(f.world.lastMovingBlock, -1);
    EXPECT_EQ(GetCell(f.world, 2, 3, 1), kCrate);

    for (std::int32_t duration : {0, -50}) {
        SetCell(f.world, 5, 1, 5, kCrate);
        StartTravellingBlock(f.world, 5, 1, 5, duration, 1, 0, 0, f.context);
        f.Steps(1);
        EXPECT_EQ(f.world.lastMovingBlock, -1);
        EXPECT_EQ(GetCell(f.world, 5, 1, 6), kCrate);
        SetCell(f.world, 5, 1, 6, 0);
    }
    // Empty cells do not move; a destination far outside the grid is harmless.
    StartTravellingBlock(f.world, 3, 3, 3, 100, 0, 0, 0, f.context);
    EXPECT_EQ(f.world.lastMovingBlock, -1);
    SetCell(f.world, 3, 3, 3, kCrate);
    StartTravellingBlock(f.world, 3, 3, 3, 100, 2000000000, -2000000000, 2000000000, f.context);
    f.Steps(10);
    EXPECT_EQ(f.world.lastMovingBlock, -1);
}

TEST(MovingBlockTable, FullTablesIgnoreNewStarts) {
    RulesFixture f(20, 20, 20);
    for (int i = 0; i < kMaxMovingBlocks + 3; ++i) {
        SetCell(f.world, i % 20, 10 + i / 200, (i / 20) % 10, kCrate);
        StartFallingBlock(f.world, i % 20, 10 + i / 200, (i / 20) % 10, 0, 0, 0, f.context);
    }
    EXPECT_EQ(f.world.lastMovingBlock, kMaxMovingBlocks - 1);
    EXPECT_EQ(GetCell(f.world, (kMaxMovingBlocks + 2) % 20, 11, ((kMaxMovingBlocks + 2) / 20) % 10), kCrate);
}

TEST(CellAnimations, WithNoFreeSlotTheFinalValueComesAtOnce) {
    RulesFixture f;
    for (CellAnimation& a : f.world.cellAnimations) a.inUse = true;
    SetCell(f.world, 1, 1, 1, kDoor);
    OpenDoors(f.world, kDoor, f.context);
    EXPECT_EQ(GetCell(f.world, 1, 1, 1), 0);
    for (CellAnimation& a : f.world.cellAnimations) a.inUse = false;
    // Bad indices from the bank are no object: no crash, the door just opens.
    f.world.objectDefs[kDoor].animDoor = 9000;
    f.world.objectDefs[kDoor].doorOpen = -4;
    SetCell(f.world, 1, 1, 1, kDoor);
    OpenDoors(f.world, kDoor, f.context);
    EXPECT_EQ(GetCell(f.world, 1, 1, 1), 0);
    OpenDoors(f.world, 70000, f.context);
    OpenDoors(f.world, -1, f.context);
    f.world.objectDefs[kIngot].lingotDoor = 300;
    SetCell(f.world, 2, 1, 2, kIngot);
    HeroPickups(f.world, f.PlaceHero(2, 1, 2), f.context);
    EXPECT_EQ(GetCell(f.world, 2, 1, 2), 0);
}

TEST(ObjectAnimations, PositionAlwaysNamesARealFrame) {
    RulesFixture f;
    ObjectDef& d = f.world.objectDefs[kAnim];
    auto frame = [](std::int32_t v) {
        auto m = std::make_shared<Mesh>();
        m->x = {v};
        m->y = {v};
        m->z = {v};
        return m;
    };
    d.meshes[0] = frame(0);
    d.meshes[1] = frame(100);
    d.frameBounds[0] = {0, 100, 0, 0, 100, 100, 100, 100, 100};
    d.frameBounds[1] = {0, 300, 0, 0, 300, 300, 300, 300, 300};
    d.morph = true;
    d.animateCollision = true;
    for (float speed : {0.5f, 1e9f, -3.7f, -1e12f}) {
        d.animSpeed = speed;
        for (int i = 0; i < 7; ++i) {
            f.Steps(1, 37);
            ASSERT_GE(d.animPosition, 0);
            ASSERT_LT(d.animPosition, 2);
            ASSERT_TRUE(d.workingMesh);
        }
    }
    d.animSpeed = 0.25f;
    d.animPosition = 0;
    d.previousAnimPosition = 0;
    f.Steps(1, 90);
    EXPECT_FLOAT_EQ(d.animPosition, 0.25f);
    EXPECT_EQ(d.workingMesh->x[0], 0);
    EXPECT_EQ(d.bounds[kXmax], 100);
    f.Steps(4, 90);  // position 1.25: blends from frame 0 into frame 1
    EXPECT_EQ(d.workingMesh->x[0], 25);
    EXPECT_EQ(d.bounds[kXmax], 150);
    EXPECT_EQ(d.meshes[0]->x[0], 0);  // the frames themselves are never written
}

TEST(ObjectAnimations, LoopPulsesAndGameTicks) {
    RulesFixture f;
    ObjectDef& d = f.world.objectDefs[kAnim];
    d.loopSound = 5;
    d.loopDuration = 1000;
    d.lastLoopTime = f.context.time.now;
    int ticks = 0, pulses = 0;
    f.context.gameTick = [&] { ++ticks; };
    for (int i = 0; i < 100; ++i) {
        f.Steps(1, 25);
        pulses += d.loopPulse ? 1 : 0;
    }
    EXPECT_EQ(ticks, 2500 / 90);
    EXPECT_EQ(pulses, 2);
}

// A pulse is heard from the cells around the camera, hidden ones too, once
// per cell; cells beyond the drawn cube and frames without a pulse are quiet.
TEST(ObjectAnimations, LoopPulsesAreHeardAroundTheCamera) {
    RulesFixture f;
    ObjectDef& d = f.world.objectDefs[kAnim];
    d.loopSound = 42;
    d.loopVolume = 200;
    d.loopPulse = true;
    SetCell(f.world, 2, 1, 2, kAnim);
    SetCell(f.world, 1, 1, 1, kWall);  // a wall between changes nothing: sounds are not drawn
    PulseLoopSounds(f.world, 256, 256, 256, f.context);
    ASSERT_EQ(f.sounds.size(), 1u);
    EXPECT_EQ(f.sounds[0].sound, 42);
    EXPECT_EQ(f.sounds[0].volume, 200);
    EXPECT_EQ(f.sounds[0].x, 2 * 512 + 256);
    EXPECT_EQ(f.sounds[0].z, 2 * 512 + 256);
    f.sounds.clear();
    PulseLoopSounds(f.world, 256 + 15 * 512, 256, 256, f.context);  // 13 cells away
    EXPECT_TRUE(f.sounds.empty());
    d.loopPulse = false;
    PulseLoopSounds(f.world, 256, 256, 256, f.context);
    EXPECT_TRUE(f.sounds.empty());
}

}  // namespace
}  // namespace zq
