// The four Actors: the run-time state of each player's hero (position, motion,
// pose, camera, lives), with the resets of a level load and a new game and the
// pose blending that builds the mesh the renderer draws.
#pragma once

#include <array>
#include <cstdint>

#include "rules/rules_context.h"
#include "world/world.h"

namespace zq {

inline constexpr int kActorCount = 4;
inline constexpr std::int32_t kStartLives = 3;  // a new game, in every mode
inline constexpr int kPoseCount = 11;

// Animation states, each with its pose mesh.
enum PoseState : std::int32_t {
    kPoseStand = 0,
    kPoseWalk1 = 1,  // 1..4 cycle while walking
    kPoseWalk4 = 4,
    kPoseFall = 5,
    kPoseCrouch = 6,
    kPoseDead = 7,
    kPoseLadder1 = 8,
    kPoseLadder2 = 9,
    kPoseShoot = 10,
};

// Command flags of one player, set by input or by the network.
struct Commands {
    bool forward = false, back = false, left = false, right = false;
    bool jump = false, look = false, action = false, menu = false;

    bool Any() const { return forward || back || left || right || jump || look || action || menu; }
};

inline constexpr float kLightNormal = 6144.0f;
inline constexpr float kLightDim = 1800.0f;

struct Actor {
    MeshRef mesh;        // working mesh, rebuilt each frame from two pose meshes
    MeshRef shadowMesh;
    std::array<MeshRef, kPoseCount> poseMesh{};
    float x = 0, y = 0, z = 0;  // box centre, world units
    float heading = 0;          // heading units
    float pitch = 0, roll = 0;
    float lookBack = 0;         // 16384 while looking behind
    float velX = 0, velY = 0, velZ = 0;  // walking (and climbing, velY) per tick
    float turnRate = 0;
    float pitchTarget = 0;      // -8000..8000
    float rollTarget = 0;       // -500, 0 or 500
    std::int32_t levelIndex = 0;
    std::int32_t lives = kStartLives;  // below 0: out of the game
    std::int32_t blendFrom = 0;
    std::int32_t animState = 0; // a PoseState
    std::int32_t blendTime = 0; // ms
    std::int32_t blendStart = 0;
    std::int32_t lastState = 0;
    float walkPhase = 0;        // 0..1, paces walk and climb frames
    std::int32_t width = 260;
    std::int32_t height = 480;
    std::int32_t stepHeight = 256;
    Commands commands;
    Commands prevCommands;
    float fallSpeed = 0;        // vertical speed from gravity, springs, jumps; up is positive
    bool onGround = false;
    std::int32_t stunMs = 0;    // commands are ignored while above 0
    float cameraX = 0, cameraY = 0, cameraZ = 0;
    float cameraHeading = 0, cameraPitch = 0, cameraRoll = 0;
    float cameraDistance = 0;   // 0 (first person), 512, 1024 or 1536
    float savedCameraDistance = 0;
    float lightRange = kLightNormal;
    float lightTarget = kLightNormal;
    bool dead = false;
    std::int32_t walkAccel = 50;
    std::int32_t turnSpeed = 900;
    SoundRef hurtSound = kNoSound;
    SoundRef deathSound = kNoSound;
    std::int32_t targetX = 0, targetY = 0, targetZ = 0;  // cell the action command works on
    bool onLadder = false;
    float ladderExitX = 0, ladderExitZ = 0;  // push when climbing off the top
    std::int32_t ladderHeading = 0;
    std::int32_t networkId = 0;
    std::int32_t pingStart = 0;
    bool pingAnswered = false;
};

struct Actors {
    std::array<Actor, kActorCount> actor{};
    std::int32_t lastPlayer = 0;   // number of players - 1
    std::int32_t localPlayer = 0;  // the Actor this program steers

    Actor& Local() { return actor[static_cast<std::size_t>(localPlayer & 3)]; }
    const Actor& Local() const { return actor[static_cast<std::size_t>(localPlayer & 3)]; }
    // Index of the last Actor in play, kept inside the table.
    int Last() const { return lastPlayer < 0 ? -1 : (lastPlayer > kActorCount - 1 ? kActorCount - 1 : lastPlayer); }
};

// Puts every Actor on the World's start point with the values of a fresh level.
void ResetActorsForLevel(Actors& actors, const World& world);
// A network player after a death: back on the World's start point, standing,
// with the normal light; the level itself goes on.
void PutOnStartPoint(Actor& actor, const World& world);
// A new game: three lives and the first-person view for everyone.
void ResetActorsForGame(Actors& actors);

// Blends the pose meshes of `blendFrom` and `animState` into `mesh` by the
// time since the blend began.
void BlendActorPoses(Actor& actor, const FrameTime& time, bool blendMesh = true);

}  // namespace zq
