// Small worlds built in code for the rule tests: a fixed set of object types,
// an empty grid, a virtual clock and recorded sounds, clips and sends.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "rules/actor.h"
#include "rules/hero.h"
#include "rules/mechanisms.h"
#include "rules/rules_context.h"
#include "world/world.h"

namespace zq::test {

enum TestType : Cell {
    kFloor = 1,
    kWall = 2,
    kStep = 3,      // a half-height mesh block, top 256
    kLadder = 4,    // thin on Z (0..60)
    kIngot = 5,     // opens kDoor when the last one goes
    kDoor = 6,
    kDoorAnim = 7,
    kDirt = 8,      // diggable, grows back
    kAnim = 9,      // two-frame animation, no collision
    kCrate = 10,
    kKey = 11,      // key block for kSensor
    kSensor = 12,   // opens kDoor when every sensor carries a key
    kSpring = 13,
    kTimer = 14,
    kLever = 15,
    kLeverOpen = 16,
    kDeath = 17,
    kRock = 18,     // diggable, never grows back
    kSlope = 19,    // a cube for stretch tests
    kLastType = 19,
};

inline constexpr SoundRef kActionSound = 7;

struct SoundEvent {
    SoundRef sound;
    std::int32_t x, y, z, volume;
};
struct SendRecord {
    std::int32_t code, x, y, z, value;
};

inline void Cube(ObjectDef& d) {
    d.undefined = false;
    d.cube = true;
    d.bounds = {0, 511, 0, 0, 511, 511, 511, 511, 511};
}

inline void Box(ObjectDef& d, Bounds b, bool collision) {
    d.undefined = false;
    d.cube = false;
    d.collision = collision;
    d.bounds = b;
}

struct RulesFixture {
    World world;
    Random random;
    RulesContext context{random};
    Actors actors;
    std::vector<SoundEvent> sounds;
    std::vector<int> clips;
    std::vector<SendRecord> sends;

    explicit RulesFixture(int sx = 8, int sy = 6, int sz = 8) {
        AllocateGrid(world, sx, sy, sz);
        auto def = [&](Cell t) -> ObjectDef& { return world.objectDefs[t]; };
        Cube(def(kFloor));
        Cube(def(kWall));
        Box(def(kStep), {0, 511, 0, 0, 511, 256, 256, 256, 256}, true);
        Box(def(kLadder), {0, 511, 0, 0, 60, 511, 511, 511, 511}, false);
        def(kLadder).ladder = true;
        Box(def(kIngot), {100, 400, 0, 100, 400, 200, 200, 200, 200}, false);
        def(kIngot).lingot = true;
        def(kIngot).lingotDoor = kDoor;
        Cube(def(kDoor));
        def(kDoor).door = true;
        def(kDoor).animDoor = kDoorAnim;
        def(kDoor).doorOpen = 0;
        Box(def(kDoorAnim), {0, 511, 0, 0, 511, 511, 511, 511, 511}, false);
        def(kDoorAnim).animFrameCount = 2;
        def(kDoorAnim).animSpeed = 0.5f;
        Cube(def(kDirt));
        def(kDirt).dig = true;
        def(kDirt).recover = true;
        def(kDirt).digAnim = kAnim;
        def(kDirt).recoverAnim = kAnim;
        Box(def(kAnim), {0, 511, 0, 0, 511, 511, 511, 511, 511}, false);
        def(kAnim).animFrameCount = 2;
        def(kAnim).animSpeed = 0.5f;
        Cube(def(kCrate));
        def(kCrate).canPush = true;
        def(kCrate).actionSound = kActionSound;
        Cube(def(kKey));
        def(kKey).canPush = true;
        def(kKey).blockKey = true;
        def(kKey).blockKeySensor = kSensor;
        Cube(def(kSensor));
        def(kSensor).blockSensor = true;
        def(kSensor).blockSensorDoor = kDoor;
        def(kSensor).actionSound = kActionSound;
        Box(def(kSpring), {0, 511, 0, 0, 511, 50, 50, 50, 50}, false);
        def(kSpring).spring = true;
        Box(def(kTimer), {100, 400, 0, 100, 400, 200, 200, 200, 200}, false);
        def(kTimer).timer = true;
        def(kTimer).timerDuration = 10000;
        Cube(def(kLever));
        def(kLever).lever = true;
        def(kLever).leverAnim = kAnim;
        def(kLever).leverOpen = kLeverOpen;
        def(kLever).leverDoor = kDoor;
        Cube(def(kLeverOpen));
        Box(def(kDeath), {0, 511, 0, 0, 511, 100, 100, 100, 100}, false);
        def(kDeath).death = true;
        Cube(def(kRock));
        def(kRock).dig = true;
        def(kRock).digAnim = kAnim;
        Cube(def(kSlope));

        context.time = {10000, 30};
        context.playSound = [this](SoundRef s, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t v) {
            sounds.push_back({s, x, y, z, v});
        };
        context.startClip = [this](std::int32_t c) { clips.push_back(c); };
        context.sendEvent = [this](std::int32_t code, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t v) {
            sends.push_back({code, x, y, z, v});
        };
    }
    RulesFixture(const RulesFixture&) = delete;
    RulesFixture& operator=(const RulesFixture&) = delete;

    void Floor(int layer = 0, Cell type = kFloor) {
        for (int x = 0; x < world.sizeX; ++x)
            for (int z = 0; z < world.sizeZ; ++z) SetCell(world, x, layer, z, type);
    }
    void Advance(std::int32_t ms) {
        context.time.now += ms;
        context.time.frameDelta = ms;
    }
    // One play frame of a single-player game, in the play frame's order.
    void PlayFrame(const HeroKeys& keys = {}, std::int32_t ms = 30) {
        Advance(ms);
        Actor& hero = actors.Local();
        if (hero.stunMs < 1)
            HeroControl(world, actors, hero, keys, context);
        else
            hero.stunMs = std::max(0, hero.stunMs - ms);
        LevelTimerStep(world, hero, context);
        GravityAndLadders(world, hero, context);
        ActorPhysics(world, hero, context);
        UpdateActionTarget(world, hero);
        MechanismsStep(world, actors, context);
        if (!hero.dead && HeroKilledTest(world, hero)) KillHero(hero, context);
    }
    void Steps(int frames, std::int32_t ms = 30) {
        for (int i = 0; i < frames; ++i) {
            Advance(ms);
            MechanismsStep(world, actors, context);
        }
    }
    // Places the local hero standing in cell (cx, cy, cz), his bottom 1 above a full floor below.
    Actor& PlaceHero(int cx, int cy, int cz, float heading = 0) {
        Actor& a = actors.Local();
        a.x = static_cast<float>(512 * cx + 256);
        a.y = static_cast<float>(512 * cy + 1 + a.height / 2);
        a.z = static_cast<float>(512 * cz + 256);
        a.heading = heading;
        return a;
    }
};

}  // namespace zq::test
