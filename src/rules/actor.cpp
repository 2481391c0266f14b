// Actor resets and pose blending.
#include "rules/actor.h"

#include <algorithm>

#include "rules/rules_math.h"


namespace zq {

void ResetActorsForLevel(Actors& actors, const World& world) {
    for (Actor& a : actors.actor) {
        a.fallSpeed = 0;
        a.width = 260;
        a.height = 480;
        a.stepHeight = 256;
        a.lightRange = kLightNormal;
        a.lightTarget = kLightNormal;
        a.walkAccel = 50;
        a.turnSpeed = 900;
        a.dead = false;
        a.blendFrom = 0;
        a.animState = 0;
        a.blendTime = 0;
        a.blendStart = 0;
        a.lastState = 0;
        a.walkPhase = 0;
        a.onLadder = false;
        a.onGround = false;
        a.x = static_cast<float>(kCellSize * world.startX + kCellSize / 2);
        a.y = static_cast<float>(kCellSize * world.startY + a.height - kCellSize / 2);
        a.z = static_cast<float>(kCellSize * world.startZ + kCellSize / 2);
        a.heading = static_cast<float>(world.startHeading);
        a.pitch = a.roll = a.lookBack = 0;
        a.velX = a.velY = a.velZ = 0;
        a.turnRate = a.pitchTarget = a.rollTarget = 0;
        a.stunMs = 0;
        a.cameraX = a.x;
        a.cameraY = a.y;
        a.cameraZ = a.z;
    }
}

void PutOnStartPoint(Actor& a, const World& world) {
    a.x = static_cast<float>(kCellSize * world.startX + kCellSize / 2);
    a.y = static_cast<float>(kCellSize * world.startY + a.height - kCellSize / 2);
    a.z = static_cast<float>(kCellSize * world.startZ + kCellSize / 2);
    a.heading = static_cast<float>(world.startHeading);
    a.pitch = a.roll = 0;
    a.lightRange = a.lightTarget = kLightNormal;
    // Without this he would stay in the dead pose, which the sentries ignore.
    a.velX = a.velY = a.velZ = 0;
    a.fallSpeed = 0;
    a.onLadder = false;
    a.animState = kPoseStand;
    a.blendTime = 250;
}

void ResetActorsForGame(Actors& actors) {
    for (Actor& a : actors.actor) {
        a.cameraDistance = 0;
        a.lives = kStartLives;
    }
}

void BlendActorPoses(Actor& actor, const FrameTime& time, bool blendMesh) {
    if (actor.lives < 0) actor.animState = kPoseDead;
    if (actor.animState != actor.lastState) {
        actor.blendStart = time.now;
        actor.blendFrom = actor.lastState;
    }
    actor.lastState = actor.animState;
    float factor = actor.blendTime > 0
                       ? static_cast<float>(time.now - actor.blendStart) / static_cast<float>(actor.blendTime)
                       : 1.0f;
    factor = std::clamp(factor, 0.0f, 1.0f);
    auto pose = [&](std::int32_t state) -> const MeshRef* {
        if (state < 0 || state >= kPoseCount) return nullptr;
        const MeshRef& m = actor.poseMesh[static_cast<std::size_t>(state)];
        return m ? &m : nullptr;
    };
    const MeshRef* from = pose(actor.blendFrom);
    const MeshRef* to = pose(actor.animState);
    if (from && to && blendMesh) {
        // The working mesh is the Actor's own; never blend into a pose shared with others.
        if (actor.mesh && (actor.mesh == *from || actor.mesh == *to)) actor.mesh.reset();
        BlendMeshes(*from, *to, actor.mesh, factor);
    }
    if (factor >= 1.0f) {
        actor.blendFrom = actor.animState;
        actor.blendStart = time.now;
    }
}

}  // namespace zq
