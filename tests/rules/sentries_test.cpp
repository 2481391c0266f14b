#include "rules/sentries.h"

#include <gtest/gtest.h>

#include <cmath>

#include "rules/hero.h"
#include "rules_fixture.h"
#include "world/level_file.h"

namespace zq {
namespace {

using namespace zq::test;

constexpr SoundRef kSeen = 21, kLost = 22;

SentryState& AddSentry(World& w, int cx, int cy, int cz, float actorHeading) {
    SentryState& s = w.sentries[static_cast<std::size_t>(w.sentryCount++)];
    s = SentryState{};
    s.x = static_cast<float>(cx * 512 + 256);
    s.y = static_cast<float>(cy * 512 + 256);
    s.z = static_cast<float>(cz * 512 + 256);
    s.heading = -actorHeading;  // sentries store the opposite sign
    return s;
}

int CountSounds(const RulesFixture& f, SoundRef s) {
    int n = 0;
    for (const SoundEvent& e : f.sounds) n += e.sound == s ? 1 : 0;
    return n;
}

TEST(SentrySight, ElevenCellsOfOpenSpaceButNotTwelve) {
    RulesFixture f(16, 4, 4);
    SentryState& s = AddSentry(f.world, 1, 1, 1, 8192);  // looking along +X
    ResetSentries(f.world, f.random, 0);
    EXPECT_TRUE(SentryCanSee(f.world, s, {12, 1, 1}));
    EXPECT_FALSE(SentryCanSee(f.world, s, {13, 1, 1}));
    EXPECT_TRUE(LineClear(f.world, {1, 1, 1}, {12, 2, 1}));
    EXPECT_FALSE(LineClear(f.world, {1, 1, 1}, {13, 1, 1}));
    EXPECT_TRUE(LineClear(f.world, {0, 0, 0}, {1, 1, 1}));  // neighbours always see each other
}

TEST(SentrySight, LaddersAndIngotsDoNotBlockWallsDo) {
    RulesFixture f(16, 4, 4);
    SentryState& s = AddSentry(f.world, 1, 1, 1, 8192);
    ResetSentries(f.world, f.random, 0);
    SetCell(f.world, 4, 1, 1, kLadder);
    SetCell(f.world, 6, 1, 1, kIngot);
    SetCell(f.world, 8, 1, 1, 999);  // a damaged cell value is no object
    EXPECT_TRUE(SentryCanSee(f.world, s, {10, 1, 1}));
    SetCell(f.world, 7, 1, 1, kWall);
    EXPECT_FALSE(SentryCanSee(f.world, s, {10, 1, 1}));
    EXPECT_TRUE(SentryCanSee(f.world, s, {6, 1, 1}));
}

TEST(SentrySight, NeverBehindItselfNorFarOutsideItsCone) {
    RulesFixture f(16, 4, 16);
    SentryState& s = AddSentry(f.world, 8, 1, 8, 8192);
    ResetSentries(f.world, f.random, 0);
    EXPECT_FALSE(SentryCanSee(f.world, s, {3, 1, 8}));
    EXPECT_FALSE(SentryCanSee(f.world, s, {8, 1, 12}));  // straight to its side
    EXPECT_TRUE(SentryCanSee(f.world, s, {12, 1, 10}));  // about 27 degrees off its nose
    s.heading = 0;  // now looking along +Z
    EXPECT_TRUE(SentryCanSee(f.world, s, {8, 1, 12}));
    EXPECT_FALSE(SentryCanSee(f.world, s, {8, 1, 3}));
}

struct SentryRun : RulesFixture {
    SentrySounds sentrySounds{kSeen, kLost};
    SentryRun() : RulesFixture(16, 4, 16) {}
    void Frame(int ms = 30) {
        Advance(ms);
        SentryThink(world, actors, sentrySounds, context);
        SentryMove(world, context);
    }
};

TEST(SentryThinking, ChasesASeenHeroAndKillsHim) {
    SentryRun f;
    SentryState& s = AddSentry(f.world, 2, 1, 2, 8192);
    ResetSentries(f.world, f.random, 0);
    s.mode = 1;
    Actor& hero = f.PlaceHero(9, 1, 2);
    f.Frame();
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.prey, 0);
    EXPECT_EQ(s.lost, 0);
    EXPECT_EQ(CountSounds(f, kSeen), 1);
    EXPECT_FLOAT_EQ(s.destX, hero.x);
    bool killed = false;
    for (int i = 0; i < 200 && !killed; ++i) {
        f.Frame();
        killed = HeroKilledTest(f.world, hero);
    }
    EXPECT_TRUE(killed);
    EXPECT_NEAR(s.y, hero.y, 200);
}

TEST(SentryThinking, LosesTheHeroAndStaysQuietWithinASecond) {
    SentryRun f;
    SentryState& s = AddSentry(f.world, 2, 1, 2, 8192);
    ResetSentries(f.world, f.random, f.context.time.now);  // no sentry sound for the first 3 s
    Actor& hero = f.PlaceHero(9, 1, 2);
    f.Frame();
    EXPECT_EQ(s.mode, 0);  // seen at once, but silently: the level has just begun
    hero.x = 15 * 512;      // out of sight
    hero.z = 15 * 512;
    f.Frame();
    EXPECT_NE(s.mode, 0);
    EXPECT_TRUE(f.sounds.empty());
    f.PlaceHero(9, 1, 2);
    s.x = 2 * 512 + 256;
    s.z = 2 * 512 + 256;
    s.heading = -8192;
    f.Frame(2000);
    EXPECT_EQ(s.mode, 0);
    EXPECT_TRUE(f.sounds.empty());  // 2.06 s after the start: still quiet
    hero.x = hero.z = 15 * 512;
    f.Frame(1000);
    EXPECT_NE(s.mode, 0);
    f.PlaceHero(9, 1, 2);
    s.heading = -8192;
    f.Frame(500);
    EXPECT_EQ(CountSounds(f, kSeen), 1);
    hero.x = hero.z = 15 * 512;
    f.Frame(200);
    EXPECT_NE(s.mode, 0);
    EXPECT_EQ(CountSounds(f, kLost), 0);  // within a second of the seen sound
}

TEST(SentryWandering, LooksAroundThenTravelsAndNeverFalls) {
    SentryRun f;
    SentryState& s = AddSentry(f.world, 2, 2, 2, 0);
    f.world.randomSeed = 1234;
    ResetSentries(f.world, f.random, 0);
    f.PlaceHero(15, 0, 15);  // too far to be seen
    f.Frame();
    EXPECT_EQ(s.mode, 2);  // lost at once, and already where it wanted to be
    const float y = s.y;
    float heading = s.targetHeading;
    int lookFrames = 0;
    while (s.mode == 2 && lookFrames < 2000) {
        f.Frame();
        EXPECT_FLOAT_EQ(s.y, y);  // hovering in place, turning
        if (s.mode == 2) {
            EXPECT_GT(s.targetHeading, heading);
        }
        heading = s.targetHeading;
        ++lookFrames;
    }
    EXPECT_LT(lookFrames, 2000);
    EXPECT_EQ(s.mode, 3);
    f.Frame();
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(static_cast<int>(s.destX) % 512, 0);
    EXPECT_LT(s.destX, 16 * 512);
    EXPECT_LT(s.destY, 4 * 512);
    // It travels for a while before looking around again.
    const float x0 = s.x, z0 = s.z;
    for (int i = 0; i < 10; ++i) f.Frame();
    EXPECT_EQ(s.mode, 1);
    EXPECT_GT(std::fabs(s.x - x0) + std::fabs(s.z - z0), 50);
}

TEST(SentryWandering, SameSeedAndDeltasGiveTheSameFlight) {
    auto run = [] {
        SentryRun f;
        for (int i = 0; i < 6; ++i) AddSentry(f.world, 2 + i, 1 + i % 2, 3 + i, 4096.0f * static_cast<float>(i));
        SetCell(f.world, 5, 1, 5, kWall);
        f.world.randomSeed = 99;
        ResetSentries(f.world, f.random, 0);
        f.actors.Local().x = f.actors.Local().z = 1;
        for (int i = 0; i < 600; ++i) f.Frame(15 + i % 4 * 10);
        std::vector<float> out;
        for (int i = 0; i < 6; ++i) {
            const SentryState& s = f.world.sentries[static_cast<std::size_t>(i)];
            out.insert(out.end(), {s.x, s.y, s.z, s.heading, s.destX, static_cast<float>(s.mode)});
        }
        out.push_back(static_cast<float>(f.random.seed));
        return out;
    };
    EXPECT_EQ(run(), run());
}

TEST(SentryMoving, DamagedPositionsAreBroughtIntoTheGrid) {
    SentryRun f;
    AddSentry(f.world, 2, 1, 2, 0).x = std::nanf("");
    AddSentry(f.world, 2, 1, 2, 0).y = 1e30f;
    AddSentry(f.world, 2, 1, 2, 0).z = -1e30f;
    ResetSentries(f.world, f.random, 0);
    for (int i = 0; i < 3; ++i) f.Frame();
    for (int i = 0; i < 3; ++i) {
        const SentryState& s = f.world.sentries[static_cast<std::size_t>(i)];
        EXPECT_TRUE(s.x >= 0 && s.x <= 16 * 512) << i;
        EXPECT_TRUE(s.y >= 256 && s.y <= 4 * 512) << i;
        EXPECT_TRUE(s.z >= 0 && s.z <= 16 * 512) << i;
    }
}

}  // namespace
}  // namespace zq
