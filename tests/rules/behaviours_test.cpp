#include "rules/behaviours.h"

#include <gtest/gtest.h>

#include <memory>

#include "rules_fixture.h"

namespace zq {
namespace {

using namespace zq::test;

Step MakeStep(Command c, std::array<std::int32_t, 7> args = {}) {
    Step s;
    s.command = static_cast<std::int32_t>(c);
    s.args = args;
    return s;
}

struct ScriptRun : RulesFixture {
    ScriptRun() : RulesFixture(10, 8, 10) {}
    EventMarker& Marker(int slot, int behaviour, int x, int y, int z) {
        EventMarker& m = world.eventMarkers[static_cast<std::size_t>(slot)];
        m = EventMarker{};
        m.behaviour = behaviour;
        m.x = x;
        m.y = y;
        m.z = z;
        m.stepStart = context.time.now;
        return m;
    }
    Step& At(int behaviour, int step) {
        return world.behaviours[static_cast<std::size_t>(behaviour)].steps[static_cast<std::size_t>(step)];
    }
    void Frame(int ms = 30) {
        Advance(ms);
        MechanismsStep(world, actors, context);
    }
};

TEST(BehaviourWaits, WaitForPlayerCoversTheAreaFromTheMarkerUp) {
    ScriptRun f;
    f.At(0, 0) = MakeStep(Command::WaitForPlayer, {0, 0, 0, 2, 1, 2, 0});
    f.At(0, 1) = MakeStep(Command::Goto, {1});
    EventMarker& m = f.Marker(0, 0, 3, 1, 3);
    struct Case {
        int x, y, z;
        bool inside;
    };
    for (Case c : {Case{2, 1, 3, false}, Case{3, 0, 3, false}, Case{6, 1, 3, false}, Case{3, 3, 3, false},
                   Case{5, 2, 5, true}, Case{3, 1, 3, true}, Case{4, 2, 6, false}}) {
        m.step = 0;
        f.PlaceHero(c.x, c.y, c.z);
        f.actors.Local().y = static_cast<float>(c.y * 512 + 256);
        f.Frame();
        EXPECT_EQ(m.step, c.inside ? 1 : 0) << c.x << "," << c.y << "," << c.z;
    }
}

TEST(BehaviourWaits, DelayZeroAdvancesAtOnceAndGotoSelfHolds) {
    ScriptRun f;
    f.At(1, 0) = MakeStep(Command::Delay, {0});
    f.At(1, 1) = MakeStep(Command::Delay, {100});
    f.At(1, 2) = MakeStep(Command::Goto, {2});
    EventMarker& m = f.Marker(3, 1, 0, 0, 0);
    f.Frame();
    EXPECT_EQ(m.step, 1);
    EXPECT_EQ(m.stepStart, f.context.time.now);
    f.Frame(60);
    EXPECT_EQ(m.step, 1);
    f.Frame(40);
    EXPECT_EQ(m.step, 2);
    const std::int32_t since = m.stepStart;
    for (int i = 0; i < 5; ++i) f.Frame();
    EXPECT_EQ(m.step, 2);
    EXPECT_EQ(m.stepStart, since);
}

TEST(BehaviourAreas, MakeFallLiftsOnlyFilledCells) {
    ScriptRun f;
    SetCell(f.world, 4, 3, 4, kCrate);
    SetCell(f.world, 5, 3, 5, kWall);
    f.At(2, 0) = MakeStep(Command::MakeFall, {1, 2, 1, -1, 2, -1});  // box from (5,3,5) back to (3,3,3)
    f.At(2, 1) = MakeStep(Command::Goto, {1});
    f.Marker(0, 2, 4, 1, 4);
    f.Frame();
    ASSERT_EQ(f.world.lastMovingBlock, 1);
    // X outermost, walking from the first corner towards the second.
    EXPECT_EQ(f.world.movingBlocks[0].value, kWall);
    EXPECT_EQ(f.world.movingBlocks[1].value, kCrate);
    EXPECT_FLOAT_EQ(f.world.movingBlocks[1].vy, -20);  // started after this frame's block step
    EXPECT_EQ(GetCell(f.world, 4, 3, 4), 0);
}

TEST(BehaviourAreas, PutObjectAndTransformToWriteCells) {
    ScriptRun f;
    f.At(3, 0) = MakeStep(Command::PutObject, {0, 0, 0, 1, 0, 1, 0x10000 + kIngot});
    f.At(3, 1) = MakeStep(Command::TransformTo, {kWall});
    f.At(3, 2) = MakeStep(Command::Goto, {2});
    f.Marker(0, 3, 2, 2, 2);
    f.Frame();
    EXPECT_EQ(GetCell(f.world, 3, 2, 3), kIngot);  // the low 16 bits name the type
    EXPECT_EQ(f.world.objectDefs[kIngot].cellCount, 4);
    f.Frame();
    EXPECT_EQ(GetCell(f.world, 2, 2, 2), kWall);
    EXPECT_EQ(f.world.objectDefs[kIngot].cellCount, 3);
}

TEST(BehaviourAreas, HugeAreasAreClampedToTheGrid) {
    ScriptRun f;
    f.Floor(0);
    f.At(4, 0) = MakeStep(Command::PutObject, {-2000000000, -5, -2000000000, 2000000000, 0, 2000000000, kWall});
    f.At(4, 1) = MakeStep(Command::MakeFall, {2000000000, 0, 0, -2000000000, 2, 9});
    f.At(4, 2) = MakeStep(Command::PutObject, {50, 0, 0, 60, 0, 0, kWall});  // wholly outside
    f.Marker(0, 4, 5, 1, 5);
    f.Frame();
    for (int x = 0; x < 10; ++x)
        for (int z = 0; z < 10; ++z) ASSERT_EQ(GetCell(f.world, x, 1, z), kWall);
    f.Frame();
    EXPECT_EQ(f.world.lastMovingBlock, 5 * 10 - 1);  // x 0..9 at layer 1, z 5..9
    f.Frame();
}

// The area commands share kAreaCellsPerFrame cells a frame: a box beyond it
// goes on in the next frames, in the same order, and its marker advances only
// when it is done; markers after it wait their turn.  (Ingots, because the
// World counts them.)
TEST(BehaviourAreas, ABoxBeyondTheFramesCeilingGoesOnInTheNextFrames) {
    auto f = std::make_unique<RulesFixture>(256, 32, 256);  // 2 Mi cells: two frames' worth
    f->world.behaviours[0].steps[0] = MakeStep(Command::PutObject, {0, 0, 0, 255, 31, 255, kIngot});
    f->world.behaviours[0].steps[1] = MakeStep(Command::TransformTo, {kFloor});
    f->world.behaviours[1].steps[0] = MakeStep(Command::PutObject, {0, 0, 0, 0, 0, 0, kCrate});
    for (int slot : {0, 1}) {
        EventMarker& m = f->world.eventMarkers[static_cast<std::size_t>(slot)];
        m = EventMarker{};
        m.behaviour = slot;
        m.x = m.y = 0;
        m.z = slot;
    }
    const EventMarker& first = f->world.eventMarkers[0];
    const EventMarker& second = f->world.eventMarkers[1];
    EXPECT_EQ(RunBehaviours(f->world, f->actors, f->context), kAreaCellsPerFrame);
    EXPECT_EQ(first.step, 0);
    EXPECT_EQ(second.step, 0);  // nothing left of this frame for it
    // Half the box: z 0..127 filled, z 128 not yet.
    EXPECT_EQ(GetCell(f->world, 255, 31, 127), kIngot);
    EXPECT_EQ(GetCell(f->world, 0, 0, 128), 0);
    EXPECT_EQ(f->world.objectDefs[kIngot].cellCount, kAreaCellsPerFrame);

    EXPECT_EQ(RunBehaviours(f->world, f->actors, f->context), kAreaCellsPerFrame);
    EXPECT_EQ(first.step, 1);
    EXPECT_EQ(first.areaDone, 0);
    EXPECT_EQ(f->world.objectDefs[kIngot].cellCount, 2 * kAreaCellsPerFrame);

    EXPECT_EQ(RunBehaviours(f->world, f->actors, f->context), 1);  // the second marker's one cell
    EXPECT_EQ(first.step, 2);
    EXPECT_EQ(GetCell(f->world, 0, 0, 0), kFloor);
    EXPECT_EQ(GetCell(f->world, 0, 0, 1), kCrate);
    EXPECT_EQ(second.step, 1);
}

// The largest grid with all 256 markers filling all of it: every frame stays
// at the ceiling, and the sweep carries on where the last frame stopped.
TEST(BehaviourAreas, TheLargestGridFullOfSweepingMarkersStaysUnderTheCeiling) {
    auto f = std::make_unique<RulesFixture>(kMaxLevelAxis, 64, kMaxLevelAxis);
    f->world.behaviours[0].steps[0] =
        MakeStep(Command::PutObject, {0, 1, 0, kMaxLevelAxis - 1, 63, kMaxLevelAxis - 1, kIngot});
    for (EventMarker& m : f->world.eventMarkers) {
        m = EventMarker{};
        m.x = m.y = m.z = 0;
    }
    for (int frame = 1; frame <= 3; ++frame)
        ASSERT_EQ(RunBehaviours(f->world, f->actors, f->context), kAreaCellsPerFrame) << frame;
    EXPECT_EQ(f->world.eventMarkers[0].areaDone, 3 * kAreaCellsPerFrame);
    EXPECT_EQ(f->world.eventMarkers[1].areaDone, 0);
    // Z outermost, then Y from 1, then X: cell number 3 Mi - 1 is (1023, 48, 48).
    EXPECT_EQ(GetCell(f->world, kMaxLevelAxis - 1, 48, 48), kIngot);
    EXPECT_EQ(GetCell(f->world, 0, 49, 48), 0);
    EXPECT_EQ(f->world.objectDefs[kIngot].cellCount, 3 * kAreaCellsPerFrame);
}

TEST(BehaviourMoves, MoveToCarriesTheBlockAndTheMarkerFollows) {
    ScriptRun f;
    SetCell(f.world, 4, 1, 4, kCrate);
    f.At(5, 0) = MakeStep(Command::MoveTo, {0, 2, 0, 1000});
    f.At(5, 1) = MakeStep(Command::TransformTo, {kWall});
    f.At(5, 2) = MakeStep(Command::Goto, {2});
    EventMarker& m = f.Marker(0, 5, 4, 1, 4);
    const std::int32_t start = f.context.time.now + 10;
    f.Frame(10);
    EXPECT_EQ(m.moving, 1);
    EXPECT_EQ(GetCell(f.world, 4, 1, 4), 0);
    while (f.context.time.now < start + 1040) f.Frame(10);
    EXPECT_EQ(GetCell(f.world, 4, 3, 4), kCrate);
    EXPECT_EQ(m.y, 1);
    while (f.context.time.now < start + 1060) f.Frame(10);
    EXPECT_EQ(m.y, 3);
    EXPECT_EQ(m.moving, 0);
    f.Frame(10);
    EXPECT_EQ(GetCell(f.world, 4, 3, 4), kWall);  // the next step works on the new cell
}

TEST(BehaviourMoves, MoveToWhoseTimeIsUpMovesTheMarkerInItsStartingFrame) {
    ScriptRun f;
    SetCell(f.world, 4, 1, 4, kCrate);
    f.At(5, 0) = MakeStep(Command::MoveTo, {1, 0, 0, 0});
    EventMarker& m = f.Marker(0, 5, 4, 1, 4);
    m.stepStart = f.context.time.now - 200;  // the step began long ago (a loaded level, say)
    f.Frame(10);
    EXPECT_EQ(m.x, 5);
    EXPECT_EQ(m.moving, 0);
    EXPECT_EQ(m.step, 1);
}

TEST(BehaviourGuards, BadMarkersAndClipsDoNothing) {
    ScriptRun f;
    f.At(0, 0) = MakeStep(Command::PlayClip, {99});
    f.At(0, 1) = MakeStep(Command::PlayClip, {-1});
    f.At(0, 2) = MakeStep(Command::PlayClip, {7});
    f.At(0, 3) = static_cast<Step>(MakeStep(Command::None));
    f.At(0, 3).command = 42;
    f.Marker(0, 0, 1, 1, 1);
    for (int i = 0; i < 5; ++i) f.Frame();
    EXPECT_EQ(f.clips, std::vector<int>{7});
    EXPECT_EQ(f.world.eventMarkers[0].step, 3);  // an unknown command holds

    f.At(6, 0) = MakeStep(Command::TransformTo, {kWall});
    f.Marker(1, 300, 1, 1, 1);
    f.Marker(2, -2, 2, 1, 1);
    f.Marker(3, 6, 3, 1, 1).step = -5;
    f.Marker(4, 6, 4, 1, 1).step = 256;
    f.Marker(5, 6, 11, 1, 1);
    f.Frame();
    for (int x = 1; x <= 4; ++x) EXPECT_EQ(GetCell(f.world, x, 1, 1), 0) << x;
}

TEST(ClipMarkers, SingleShotClipsFireOnceOthersOnReentry) {
    ScriptRun f;
    f.world.clips[3].playedSingle = true;
    f.world.clips[4].playedSingle = false;
    f.world.clipMarkers[0] = {2, 1, 2, 3};
    f.world.clipMarkers[1] = {5, 1, 5, 4};
    f.world.clipMarkers[2] = {7, 1, 7, 65};
    Actor& hero = f.PlaceHero(2, 1, 2);
    CheckClipMarkers(f.world, hero, f.context);
    CheckClipMarkers(f.world, hero, f.context);
    EXPECT_EQ(f.clips, std::vector<int>{3});
    EXPECT_EQ(f.world.clipMarkers[0].x, kSpentMarker);

    f.PlaceHero(5, 1, 5);
    f.context.currentClip = 4;
    CheckClipMarkers(f.world, hero, f.context);  // already playing
    f.context.currentClip = 3;
    CheckClipMarkers(f.world, hero, f.context);
    CheckClipMarkers(f.world, hero, f.context);
    EXPECT_EQ(f.clips, (std::vector<int>{3, 4, 4}));
    EXPECT_EQ(f.world.clipMarkers[1].x, 5);

    f.PlaceHero(7, 1, 7);
    CheckClipMarkers(f.world, hero, f.context);  // clip 65 does not exist
    EXPECT_EQ(f.clips.size(), 3u);
}

}  // namespace
}  // namespace zq
