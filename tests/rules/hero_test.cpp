#include "rules/hero.h"

#include <gtest/gtest.h>

#include "rules_fixture.h"

namespace zq {
namespace {

using namespace zq::test;

TEST(FrameTimeTest, LongFramesCountAsOneSecond) {
    FrameTime t{0, 5000};
    EXPECT_FLOAT_EQ(FrameScale(t, 90), 1000);
    ClampFrameDelta(t);
    EXPECT_EQ(t.frameDelta, 1000);
    t.frameDelta = -20;
    ClampFrameDelta(t);
    EXPECT_EQ(t.frameDelta, 0);
}

TEST(ActorReset, LevelLoadPutsEveryoneOnTheStart) {
    RulesFixture f;
    f.world.startX = 2;
    f.world.startY = 1;
    f.world.startZ = 3;
    f.world.startHeading = 8192;
    f.actors.actor[2].dead = true;
    f.actors.actor[2].lives = 1;
    f.actors.actor[2].onLadder = true;
    ResetActorsForLevel(f.actors, f.world);
    for (const Actor& a : f.actors.actor) {
        EXPECT_FLOAT_EQ(a.x, 1280);
        EXPECT_FLOAT_EQ(a.y, 512 + 480 - 256);
        EXPECT_FLOAT_EQ(a.z, 1792);
        EXPECT_FLOAT_EQ(a.heading, 8192);
        EXPECT_FALSE(a.dead);
        EXPECT_FALSE(a.onLadder);
        EXPECT_FLOAT_EQ(a.cameraY, a.y);
    }
    EXPECT_EQ(f.actors.actor[2].lives, 1);  // lives belong to the game, not the level
    ResetActorsForGame(f.actors);
    EXPECT_EQ(f.actors.actor[2].lives, 3);
}

TEST(HeroGround, StandsStillFrameAfterFrameAndJumpsOnlyFromTheGround) {
    RulesFixture f;
    f.Floor();
    f.world.startX = 3;
    f.world.startY = 1;
    f.world.startZ = 3;
    ResetActorsForLevel(f.actors, f.world);
    Actor& hero = f.actors.Local();
    for (int i = 0; i < 10; ++i) f.PlayFrame();
    for (int i = 0; i < 30; ++i) {
        f.PlayFrame({}, 20 + i % 3 * 20);
        ASSERT_TRUE(hero.onGround);
        ASSERT_FLOAT_EQ(hero.fallSpeed, 0);
        ASSERT_FLOAT_EQ(hero.y - 240, 513);
    }
    hero.commands.jump = true;
    f.PlayFrame();
    EXPECT_FALSE(hero.onGround);
    EXPECT_GT(hero.y - 240, 513);
    const float afterJump = hero.fallSpeed;
    EXPECT_LT(afterJump, kJumpSpeed);
    f.PlayFrame();  // still held in the air: no second jump
    EXPECT_LT(hero.fallSpeed, afterJump);
    hero.commands.jump = false;
    for (int i = 0; i < 60; ++i) f.PlayFrame();
    EXPECT_TRUE(hero.onGround);
    EXPECT_FLOAT_EQ(hero.y - 240, 513);
}

TEST(HeroGround, HardLandingsStunAboveTwoHundred) {
    for (float speed : {-250.0f, -200.0f}) {
        RulesFixture f;
        f.Floor();
        Actor& hero = f.PlaceHero(3, 1, 3);
        hero.hurtSound = 3;
        hero.y += 5;
        hero.fallSpeed = speed;
        ActorPhysics(f.world, hero, f.context);
        EXPECT_FLOAT_EQ(hero.fallSpeed, 0);
        EXPECT_TRUE(hero.onGround);
        if (speed < -200) {
            EXPECT_EQ(hero.stunMs, 250);
            EXPECT_EQ(hero.animState, kPoseCrouch);
            ASSERT_EQ(f.sounds.size(), 1u);
            EXPECT_EQ(f.sounds[0].sound, 3);
        } else {
            EXPECT_EQ(hero.stunMs, 0);
            EXPECT_TRUE(f.sounds.empty());
        }
    }
}

TEST(HeroControlTest, WalksTurnsAndLeftWinsOverRight) {
    RulesFixture f;
    f.Floor();
    Actor& hero = f.PlaceHero(2, 1, 2, 8192);  // facing +X
    hero.onGround = true;
    hero.commands.forward = true;
    for (int i = 0; i < 20; ++i) f.PlayFrame();
    EXPECT_GT(hero.x, 2 * 512 + 256 + 300);
    EXPECT_NEAR(hero.z, 2 * 512 + 256, 1);
    EXPECT_GE(hero.animState, kPoseWalk1);
    EXPECT_LE(hero.animState, kPoseWalk4);

    hero.commands = {};
    hero.commands.left = hero.commands.right = true;
    f.PlayFrame();
    EXPECT_LT(hero.rollTarget, 0);
    EXPECT_LT(hero.heading, 8192);

    hero.commands = {};
    for (int i = 0; i < 5; ++i) f.PlayFrame();
    EXPECT_EQ(hero.animState, kPoseStand);
}

TEST(HeroLadder, AttachesFromTheThinSideClimbsAndHopsOffTheTop) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 3, 1, 3, kLadder);  // the ladder plate lies along z 0..60 of the cell
    SetCell(f.world, 3, 2, 3, kLadder);
    // From the wide side nothing happens.
    Actor& hero = f.PlaceHero(3, 1, 3, 8192);
    hero.commands.forward = true;
    HeroControl(f.world, f.actors, hero, {}, f.context);
    EXPECT_FALSE(hero.onLadder);

    hero = Actor{};
    f.PlaceHero(3, 1, 3, 16000);  // nearly facing -Z, from the open side
    hero.z = 3 * 512 + 400;
    hero.onGround = true;
    hero.commands.forward = true;
    HeroControl(f.world, f.actors, hero, {}, f.context);
    ASSERT_TRUE(hero.onLadder);
    EXPECT_FLOAT_EQ(hero.z, 3 * 512 + 60 + 130);
    EXPECT_FLOAT_EQ(hero.x, 3 * 512 + 255.5f);
    EXPECT_FLOAT_EQ(hero.heading, 16384);
    EXPECT_EQ(hero.ladderHeading, 16384);

    const float startY = hero.y;
    bool hopped = false;
    for (int i = 0; i < 200 && !hopped; ++i) {
        const float z = hero.z;
        f.PlayFrame();
        if (!hero.onLadder) {
            hopped = true;
            EXPECT_FLOAT_EQ(hero.z, z - 130);
            EXPECT_GT(hero.y, startY + 512);
        }
    }
    EXPECT_TRUE(hopped);
}

TEST(HeroLadder, JumpingLetsGo) {
    RulesFixture f;
    SetCell(f.world, 3, 1, 3, kLadder);
    Actor& hero = f.PlaceHero(3, 1, 3);
    hero.onLadder = true;
    hero.commands.jump = true;
    HeroControl(f.world, f.actors, hero, {}, f.context);
    EXPECT_FALSE(hero.onLadder);
    EXPECT_FLOAT_EQ(hero.fallSpeed, kJumpSpeed);
}

TEST(HeroAction, TargetsTheCellInFrontAndDigsIt) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 4, 0, 3, kDirt);
    Actor& hero = f.PlaceHero(3, 1, 3, 8192);
    UpdateActionTarget(f.world, hero);
    EXPECT_EQ(hero.targetX, 4);
    EXPECT_EQ(hero.targetY, 0);
    EXPECT_EQ(hero.targetZ, 3);
    hero.commands.action = true;
    f.context.networkGame = true;
    HeroControl(f.world, f.actors, hero, {}, f.context);
    EXPECT_EQ(GetCell(f.world, 4, 0, 3), 0);
    EXPECT_EQ(hero.stunMs, 500);
    EXPECT_EQ(hero.animState, kPoseShoot);
    EXPECT_EQ(f.world.lastHole, 0);
    ASSERT_EQ(f.sends.size(), 1u);
    EXPECT_EQ(f.sends[0].code, kNetDig);

    // A solid block in front at his own height becomes the target instead.
    SetCell(f.world, 4, 1, 3, kWall);
    UpdateActionTarget(f.world, hero);
    EXPECT_EQ(hero.targetY, 1);
    // Standing close to the cell's far edge, the target moves one cell further.
    hero.x = 3 * 512 + 20;
    UpdateActionTarget(f.world, hero);
    EXPECT_EQ(hero.targetX, 4);
}

TEST(HeroAction, PushesACrateItFacesAndPullsLevers) {
    RulesFixture f;
    f.Floor();
    SetCell(f.world, 4, 1, 3, kCrate);
    Actor& hero = f.PlaceHero(3, 1, 3, 8192);
    UpdateActionTarget(f.world, hero);
    hero.commands.action = true;
    hero.velX = 30;
    HeroControl(f.world, f.actors, hero, {}, f.context);
    EXPECT_EQ(f.world.lastMovingBlock, 0);
    EXPECT_FLOAT_EQ(f.world.movingBlocks[0].vx, kPushSpeed);
    EXPECT_EQ(hero.stunMs, 700);
    EXPECT_FLOAT_EQ(hero.velX, 0);

    RulesFixture g;
    g.Floor();
    SetCell(g.world, 4, 1, 3, kLever);
    Actor& h2 = g.PlaceHero(3, 1, 3, 8192);
    UpdateActionTarget(g.world, h2);
    h2.commands.action = true;
    HeroControl(g.world, g.actors, h2, {}, g.context);
    EXPECT_EQ(h2.stunMs, 300);
    EXPECT_EQ(GetCell(g.world, 4, 1, 3), 0);  // animating towards its open value
}

TEST(HeroDeath, KillHeroOnceAndGameOverOnTheLastLife) {
    RulesFixture f;
    Actor& hero = f.actors.Local();
    hero.lives = 1;
    hero.cameraDistance = 1024;
    KillHero(hero, f.context);
    EXPECT_TRUE(hero.dead);
    EXPECT_EQ(hero.stunMs, 2000);
    EXPECT_FLOAT_EQ(hero.cameraDistance, 512);
    EXPECT_FLOAT_EQ(hero.savedCameraDistance, 1024);
    EXPECT_FALSE(f.context.gameOver);
    hero.stunMs = 5;
    KillHero(hero, f.context);  // already dead: nothing
    EXPECT_EQ(hero.stunMs, 5);

    hero = Actor{};
    hero.lives = 0;
    KillHero(hero, f.context);
    EXPECT_TRUE(f.context.gameOver);
    EXPECT_FLOAT_EQ(hero.cameraDistance, 0);

    RulesFixture net;
    net.context.networkGame = true;
    net.actors.Local().lives = 0;
    KillHero(net.actors.Local(), net.context);
    EXPECT_FALSE(net.context.gameOver);
}

TEST(HeroDeath, SentriesAndDeadlyThingsKill) {
    RulesFixture f;
    Actor& hero = f.PlaceHero(3, 1, 3);
    EXPECT_FALSE(HeroKilledTest(f.world, hero));
    f.world.sentryCount = 1;
    SentryState& s = f.world.sentries[0];
    s.x = hero.x + 194;
    s.y = hero.y + 309;
    s.z = hero.z;
    EXPECT_TRUE(HeroKilledTest(f.world, hero));
    s.x = hero.x + 195;
    EXPECT_FALSE(HeroKilledTest(f.world, hero));
    f.world.sentryCount = 0;

    SetCell(f.world, 3, 1, 3, kDeath);
    hero.y = 512 + 50;
    EXPECT_TRUE(HeroKilledTest(f.world, hero));
    hero.y = 512 + 300;  // above the deadly box: safe
    EXPECT_FALSE(HeroKilledTest(f.world, hero));
    SetCell(f.world, 3, 1, 3, 0);

    MovingBlock& b = f.world.movingBlocks[0];
    b = MovingBlock{};
    b.x = hero.x + 300;
    b.y = hero.y;
    b.z = hero.z;
    b.value = kDeath;
    f.world.lastMovingBlock = 0;
    EXPECT_TRUE(HeroKilledTest(f.world, hero));
    b.value = 4000;  // a damaged value is no object
    EXPECT_FALSE(HeroKilledTest(f.world, hero));

    hero.lives = -1;
    b.value = kDeath;
    EXPECT_FALSE(HeroKilledTest(f.world, hero));
}

TEST(HeroPoses, BlendsFromTheLastStateOverTheBlendTime) {
    Actor a;
    auto pose = [](std::int32_t x) {
        auto m = std::make_shared<Mesh>();
        m->x = {x, 2 * x};
        m->y = {0, 10};
        m->z = {0, 0};
        return m;
    };
    a.poseMesh[kPoseStand] = pose(0);
    a.poseMesh[kPoseFall] = pose(100);
    FrameTime t{1000, 30};
    BlendActorPoses(a, t);
    ASSERT_TRUE(a.mesh);
    EXPECT_EQ(a.mesh->x[1], 0);
    a.animState = kPoseFall;
    a.blendTime = 100;
    BlendActorPoses(a, t);
    t.now = 1050;
    BlendActorPoses(a, t);
    EXPECT_EQ(a.mesh->x[0], 50);
    EXPECT_EQ(a.mesh->x[1], 100);
    t.now = 1100;
    BlendActorPoses(a, t);
    EXPECT_EQ(a.mesh->x[1], 200);
    EXPECT_EQ(a.blendFrom, kPoseFall);
    // Out of lives shows the dead pose; a missing pose mesh leaves the mesh as it is.
    a.lives = -1;
    BlendActorPoses(a, t);
    EXPECT_EQ(a.animState, kPoseDead);
    EXPECT_EQ(a.mesh->x[1], 200);
}

}  // namespace
}  // namespace zq
