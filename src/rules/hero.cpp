// The hero's control step, gravity and ladders, physics, action target and death.
#include "rules/hero.h"

#include <algorithm>
#include <cmath>

#include "rules/mechanisms.h"
#include "rules/move_box.h"
#include "rules/rules_math.h"

namespace zq {
namespace {

constexpr float kPitchLimit = 8000.0f;
constexpr float kLookPitch = 6000.0f;
constexpr float kCameraStep = 512.0f;
constexpr float kCameraFar = 1536.0f;
constexpr std::int32_t kStepVolume = 254;

const ObjectDef* ObjectAtCell(const World& world, int x, int y, int z) {
    return DefinedObject(world, GetCell(world, x, y, z));
}

bool IsLadderCell(const World& world, int x, int y, int z) {
    const ObjectDef* def = ObjectAtCell(world, x, y, z);
    return def && def->ladder;
}

void PlayStepSound(const World& world, const Actor& hero, RulesContext& context) {
    const ObjectDef* below = ObjectAtCell(world, CellOf(hero.x), CellOf(hero.y) - 1, CellOf(hero.z));
    if (below)
        PlaySoundAt(context, below->stepSound, RoundToInt(hero.x), RoundToInt(hero.y), RoundToInt(hero.z), kStepVolume);
}

// One rung of climbing: the two ladder poses alternate with a step sound.
void ClimbFrame(const World& world, Actor& hero, RulesContext& context) {
    hero.walkPhase += FrameScale(context.time, 0.4f);
    if (hero.walkPhase > 1) {
        hero.walkPhase = 0;
        hero.animState = hero.animState == kPoseLadder1 ? kPoseLadder2 : kPoseLadder1;
        hero.blendTime = 200;
        PlayStepSound(world, hero, context);
    }
}

void Walk(const World& world, Actor& hero, float sign, RulesContext& context) {
    hero.velX += sign * FrameScale(context.time, static_cast<float>(HeroSinCos(hero.heading).first * hero.walkAccel));
    hero.velZ += sign * FrameScale(context.time, static_cast<float>(HeroSinCos(hero.heading).second * hero.walkAccel));
    hero.walkPhase += FrameScale(context.time, 0.8f);
    if (hero.walkPhase > 1 && hero.onGround) {
        hero.walkPhase = 0;
        hero.animState = hero.animState + 1 > kPoseWalk4 ? kPoseWalk1 : hero.animState + 1;
        hero.blendTime = 200;
        if (hero.animState == 1 || hero.animState == 3) PlayStepSound(world, hero, context);
    }
    if (hero.onGround && !hero.commands.jump) hero.onGround = false;  // physics sets it again on landing
}

void AttachToLadder(const World& world, Actor& hero, const HeroKeys& keys) {
    int hx = CellOf(hero.x), hz = CellOf(hero.z);
    const ObjectDef* def = ObjectAtCell(world, hx, CellOf(hero.y), hz);
    if (!def || !def->ladder) return;
    const float x0 = static_cast<float>(def->bounds[kXmin]), x1 = static_cast<float>(def->bounds[kXmax]);
    const float z0 = static_cast<float>(def->bounds[kZmin]), z1 = static_cast<float>(def->bounds[kZmax]);
    const float cx = static_cast<float>(kCellSize * hx), cz = static_cast<float>(kCellSize * hz);
    const float half = static_cast<float>(hero.width) / 2.0f;
    double a = HeroSinCos(hero.heading).first * 512, b = HeroSinCos(hero.heading).second * 512;
    float heading;
    if (std::fabs(b) >= std::fabs(a) && z1 - z0 < x1 - x0) {
        if (b > 0) {
            if (hero.z > cz + z0 - half) return;
            hero.z = cz + z0 - half;
            hero.ladderExitZ = half;
            heading = 0;
        } else {
            if (hero.z < cz + z1 + half) return;
            hero.z = cz + z1 + half;
            hero.ladderExitZ = -half;
            heading = 16384;
        }
        hero.x = cx + x0 + (x1 - x0) / 2;
        hero.ladderExitX = 0;
    } else {
        if (a > 0) {
            if (hero.x > cx + x0 - half) return;
            hero.x = cx + x0 - half;
            hero.ladderExitX = half;
            heading = 8192;
        } else {
            if (hero.x < cx + x1 + half) return;
            hero.x = cx + x1 + half;
            hero.ladderExitX = -half;
            heading = 24576;
        }
        hero.z = cz + z0 + (z1 - z0) / 2;
        hero.ladderExitZ = 0;
    }
    if (keys.mouseMode == 0) hero.heading = heading;
    hero.ladderHeading = TruncToInt(hero.heading);
    hero.velX = hero.velZ = 0;
    hero.onLadder = true;
}

void Action(World& world, Actor& hero, RulesContext& context) {
    const int tx = hero.targetX, ty = hero.targetY, tz = hero.targetZ;
    const ObjectDef* def = ObjectAtCell(world, tx, ty, tz);
    if (!def) return;
    const bool dig = def->dig, push = def->canPush, lever = def->lever;  // the cell may change below
    if (dig) {
        DigHole(world, tx, ty, tz, kHeroDigRefillMs, context);
        SendEvent(context, kNetDig, tx, ty, tz, kHeroDigRefillMs);
        hero.animState = kPoseShoot;
        hero.stunMs = 500;
        hero.blendTime = 250;
    }
    if (push && std::fabs(hero.y - static_cast<float>(kCellSize * ty)) < static_cast<float>(hero.height)) {
        double dx = kCellSize * tx - hero.x + 256.0, dz = kCellSize * tz - hero.z + 256.0;
        double d = std::sqrt(dx * dx + dz * dz);
        auto [s, c] = HeroSinCos(hero.heading);
        double side = d == 0 ? 0 : c * dz / d - s * dx / d;
        if (std::fabs(side) > 0.6) {
            PushBlock(world, tx, ty, tz, hero.heading, context);
            SendEvent(context, kNetPush, tx, ty, tz, TruncToInt(hero.heading));
            hero.animState = kPoseShoot;
            hero.blendTime = 100;
            hero.stunMs = 700;
            hero.velX = hero.velZ = 0;
        }
    }
    if (lever) {
        PullLever(world, tx, ty, tz, context);
        SendEvent(context, kNetLever, tx, ty, tz, 0);
        hero.animState = kPoseShoot;
        hero.blendTime = 100;
        hero.stunMs = 300;
    }
}

}  // namespace

bool HeroControl(World& world, Actors& actors, Actor& hero, const HeroKeys& keys, RulesContext& context) {
    (void)actors;
    HeroPickups(world, hero, context);
    const Commands& cmd = hero.commands;

    if (!cmd.Any() && !hero.onLadder) {
        hero.animState = kPoseStand;
        hero.blendTime = 200;
    }
    if (!hero.onGround && !hero.onLadder && std::fabs(hero.fallSpeed) > 30) {
        hero.animState = kPoseFall;
        hero.blendTime = 100;
    }
    if (context.menuOpen) return false;  // the commands drive the menu instead

    if (keys.mouseMode == 0) hero.pitchTarget = std::fabs(hero.fallSpeed) <= 256.0f / 3.0f ? 0 : hero.fallSpeed * 40;
    hero.pitchTarget = std::clamp(hero.pitchTarget, -kPitchLimit, kPitchLimit);
    hero.pitch = std::clamp(hero.pitch, -kPitchLimit, kPitchLimit);
    hero.rollTarget = 0;
    if (keys.pitchUp) hero.pitchTarget = -kLookPitch;
    if (keys.pitchDown) hero.pitchTarget = kLookPitch;

    hero.lookBack = keys.lookBehind ? 16384.0f : 0.0f;

    if (keys.zoomIn && hero.cameraDistance >= kCameraStep) {
        hero.cameraDistance -= kCameraStep;
        if (context.playInterfaceSound) context.playInterfaceSound(context.clickSound);
    }
    if (keys.zoomOut && hero.cameraDistance < kCameraFar) {
        hero.cameraDistance += kCameraStep;
        if (context.playInterfaceSound) context.playInterfaceSound(context.clickSound);
    }

    if (cmd.jump) {
        if (hero.onLadder) {
            hero.onLadder = false;
            hero.fallSpeed = kJumpSpeed;
            return false;
        }
        if (std::fabs(hero.fallSpeed) < 51.2f && hero.onGround) {
            hero.fallSpeed = kJumpSpeed;
            hero.onGround = false;
        }
    }

    if (keys.mouseMode != 0) {
        hero.heading -= 15 * keys.mouseDX;
        float dy = (keys.mouseMode == 1 ? 8.0f : -8.0f) * keys.mouseDY;
        hero.pitch += dy;
        hero.pitchTarget += dy;
    }

    if (cmd.look) {
        if (cmd.forward) hero.pitchTarget = -kLookPitch;
        if (cmd.back) hero.pitchTarget = kLookPitch;
    } else {
        if (cmd.forward) {
            if (hero.onLadder) {
                hero.velY = 3 * FrameScale(context.time, static_cast<float>(hero.walkAccel));
                if (keys.mouseMode == 0) hero.pitchTarget = kLookPitch;
                ClimbFrame(world, hero, context);
                return false;
            }
            Walk(world, hero, 1.0f, context);
        }
        if (cmd.back) {
            if (hero.onLadder) {
                hero.velY = -3 * FrameScale(context.time, static_cast<float>(hero.walkAccel));
                if (keys.mouseMode == 0) hero.pitchTarget = -kLookPitch;
                // Climbing down past the foot of the ladder lets go.
                if (!IsLadderCell(world, CellOf(hero.x), CellOf(hero.y - static_cast<float>(hero.height)), CellOf(hero.z)))
                    hero.onLadder = false;
                ClimbFrame(world, hero, context);
                return false;
            }
            Walk(world, hero, -1.0f, context);
        }
    }

    // Right first, so left wins when both are held.
    if (cmd.right) {
        hero.turnRate = FrameScale(context.time, static_cast<float>(hero.turnSpeed));
        hero.rollTarget = 500;
    }
    if (cmd.left) {
        hero.turnRate = -FrameScale(context.time, static_cast<float>(hero.turnSpeed));
        hero.rollTarget = -500;
    }

    if (cmd.action) Action(world, hero, context);
    if (cmd.forward && !hero.onLadder) AttachToLadder(world, hero, keys);
    return cmd.menu;
}

void GravityAndLadders(World& world, Actor& hero, RulesContext& context) {
    if (context.menuOpen) return;
    hero.fallSpeed -= FrameScale(context.time, kGravity);
    if (!hero.onLadder) return;
    hero.fallSpeed = 0;
    if (!IsLadderCell(world, CellOf(hero.x), CellOf(hero.y), CellOf(hero.z))) {
        // Climbed off the top: a small hop onto the landing.
        hero.onLadder = false;
        hero.fallSpeed = kLadderHop;
        hero.z += hero.ladderExitZ;
        hero.x += hero.ladderExitX;
    }
}

namespace {
// v loses half of itself per tick, never overshooting zero.
float Decay(float v, const FrameTime& time) {
    float d = FrameScale(time, v * 0.5f);
    if (std::fabs(d) > std::fabs(v)) d = std::copysign(std::fabs(v), d);
    return v - d;
}
}  // namespace

void ActorPhysics(World& world, Actor& a, RulesContext& context) {
    const FrameTime& t = context.time;
    a.heading += a.turnRate;
    a.turnRate = Decay(a.turnRate, t);
    a.pitch += FrameScale(t, (a.pitchTarget - a.pitch) * 0.2f);
    a.roll += FrameScale(t, (a.rollTarget - a.roll) * 0.2f);

    bool contact = MoveBox(world, a.x, a.y, a.z, a.stepHeight, a.height, a.width, FrameScale(t, a.velZ),
                           FrameScale(t, a.velY + a.fallSpeed), FrameScale(t, a.velX));

    a.velX = Decay(a.velX, t);
    a.velY = Decay(a.velY, t);
    a.velZ = Decay(a.velZ, t);

    if (contact && std::fabs(a.fallSpeed) > 1) {
        if (a.fallSpeed < 0) a.onGround = true;
        if (a.fallSpeed < kHardLanding) {
            a.stunMs = std::abs(RoundToInt(a.fallSpeed));
            PlaySoundAt(context, a.hurtSound, RoundToInt(a.x), RoundToInt(a.y), RoundToInt(a.z), 254);
            a.animState = kPoseCrouch;
            a.blendTime = 300;
        }
        a.fallSpeed = 0;
    }
}

void UpdateActionTarget(const World& world, Actor& hero) {
    auto [s, c] = HeroSinCos(hero.heading);
    double r = 512 - hero.width * 0.5;
    int tx = TruncToInt((hero.x + s * r) / 512), tz = TruncToInt((hero.z + c * r) / 512);
    int ty = TruncToInt((hero.y - 512.0) / 512);
    if (tx == CellOf(hero.x) && tz == CellOf(hero.z)) {
        r = 768 - hero.width * 0.5;
        tx = TruncToInt((hero.x + s * r) / 512);
        tz = TruncToInt((hero.z + c * r) / 512);
    }
    const ObjectDef* above = ObjectAtCell(world, tx, ty + 1, tz);
    if (above && !above->dig) ty += 1;
    hero.targetX = tx;
    hero.targetY = ty;
    hero.targetZ = tz;
}

bool HeroKilledTest(World& world, const Actor& hero) {
    if (hero.lives < 0) return false;
    const int count = std::clamp(world.sentryCount, 0, kMaxSentries);
    for (int i = 0; i < count; ++i) {
        const SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        int dx = TruncToInt(std::fabs(hero.x - s.x)), dy = TruncToInt(std::fabs(hero.y - s.y)),
            dz = TruncToInt(std::fabs(hero.z - s.z));
        double reach = (hero.width + s.width) * 0.5;
        if ((hero.height + s.halfHeight) * 0.5 > dy && reach > dx && reach > dz) return true;
    }

    const ObjectDef* here = ObjectAtCell(world, CellOf(hero.x), CellOf(hero.y), CellOf(hero.z));
    if (here && (here->death || here->dig) && PointInBox(world, hero.x, hero.y, hero.z)) return true;

    const float hw = static_cast<float>(hero.width) * 0.5f, hh = static_cast<float>(hero.height) * 0.5f;
    const int last = std::min(world.lastMovingBlock, kMaxMovingBlocks - 1);
    for (int n = 0; n <= last; ++n) {
        const MovingBlock& b = world.movingBlocks[static_cast<std::size_t>(n)];
        const ObjectDef* def = DefinedObject(world, b.value);
        if (!def || !def->death) continue;
        for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j)
                for (int k = -1; k <= 1; ++k)
                    if (InsideBlockBox(def->bounds, hero.x + i * hw + 256 - b.x, hero.y + j * hh + 256 - b.y,
                                       hero.z + k * hw + 256 - b.z))
                        return true;
    }
    return false;
}

void KillHero(Actor& hero, RulesContext& context) {
    if (hero.dead) return;
    PlaySoundAt(context, hero.deathSound, RoundToInt(hero.x), RoundToInt(hero.y), RoundToInt(hero.z), 254);
    hero.stunMs = 2000;
    hero.lightTarget = 0;
    hero.dead = true;
    hero.savedCameraDistance = hero.cameraDistance;
    hero.cameraDistance = 512;
    hero.walkPhase = 0;
    hero.animState = kPoseDead;
    hero.blendTime = 700;
    if (hero.lives <= 0 && !context.networkGame) {
        context.gameOver = true;
        hero.cameraDistance = hero.savedCameraDistance;
    }
}

}  // namespace zq
