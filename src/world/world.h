// The World: one loaded level — its grid of cells with their light and stretch
// planes, the object types cells refer to, clips, behaviours, markers,
// sentries, start and exit points — and the run-time tables of the mechanisms.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/mesh.h"

namespace zq {

inline constexpr int kCellSize = 512;          // world units per cell on each axis
inline constexpr int kObjectTypeCount = 257;   // object types 0..256; 0 is the empty cell
inline constexpr int kMaxMeshFrames = 32;      // animation frames of one mesh object
inline constexpr int kClipCount = 65;          // clip definitions 0..64
inline constexpr int kMaxSentries = 255;
inline constexpr int kMarkerCount = 256;       // event markers and clip markers, each
inline constexpr int kBehaviourCount = 256;
inline constexpr int kStepCount = 256;         // commands per behaviour
inline constexpr int kMaxHoles = 257;
inline constexpr int kMaxMovingBlocks = 257;
inline constexpr int kCellAnimationCount = 257;
inline constexpr int kMaxCellSweeps = 64;       // whole-grid sweeps of the mechanisms waiting at once
inline constexpr int kFreeMarker = -666;       // x of a free marker slot, stored in files as is
inline constexpr int kSpentMarker = -1000;     // x of a clip marker that played its single-shot clip

// Limits a level file must respect before we allocate anything for it.
inline constexpr int kMaxLevelAxis = 1024;
inline constexpr std::int64_t kMaxLevelCells = 64ll * 1024 * 1024;
// Start, exit and sentry positions a level file may hold, in cells from the
// origin: far outside any grid, yet kCellSize times it (plus a cell or two)
// still fits a signed 32-bit int.  Files past it are refused.
inline constexpr int kMaxCellCoordinate = 1 << 20;
// Where CellOf saturates: beyond anything a level holds or an actor can reach.
inline constexpr int kFarCell = 1 << 21;

using Cell = std::uint16_t;

// A sound slot of the audio layer; -1 is "no sound".
using SoundRef = std::int32_t;
inline constexpr SoundRef kNoSound = -1;

// Collision bounds in cell-local units 0..511: Xmin, Xmax, Ymin, Zmin, Zmax,
// then the top of each quarter of the cell (Ymax1..Ymax4).
enum BoundIndex { kXmin, kXmax, kYmin, kZmin, kZmax, kYmax1, kYmax2, kYmax3, kYmax4, kBoundCount };
using Bounds = std::array<std::int32_t, kBoundCount>;

// One object type of the bank file.  Index fields (LeverOpen, DoorOpen, ...)
// hold what the file says; users must check them with IsObjectIndex.
struct ObjectDef {
    bool undefined = true;  // no usable section: draws and collides as nothing
    std::string name;
    std::array<MeshRef, kMaxMeshFrames> meshes{};
    std::array<Bounds, kMaxMeshFrames + 1> frameBounds{};  // per frame (one spare entry, as overrides fill 0..count)
    MeshRef firstMeshCopy;   // working copy of frame 0 (morphing and animation draw into it)
    float animPosition = 0;  // current frame, run time
    float animSpeed = 0;     // frames per 90 ms: Speed * 90 * 0.0001
    std::int32_t animFrameCount = 0;

    bool cube = false;
    bool collision = true;
    bool death = false;
    bool canPush = false;
    bool animateCollision = false;
    bool morph = false;
    bool ladder = false;
    std::uint8_t transparency = 0;  // translucency percent class
    bool lever = false;
    std::int32_t leverAnim = 0, leverOpen = 0, leverDoor = 0;
    bool spring = false;
    bool oneUp = false;             // "1UP": extra life
    bool light = false;
    bool timer = false;
    std::int32_t timerDuration = 10000;  // ms added to the level timer
    bool lingot = false;            // gold ingot: cells of this type are counted
    std::int32_t lingotDoor = 0;
    std::int32_t cellCount = 0;     // cells currently holding this type (kept by SetCell)
    bool door = false;
    std::int32_t animDoor = 0, doorOpen = 0;
    bool blockKey = false;
    std::int32_t blockKeySensor = 0;
    bool blockSensor = false;
    std::int32_t blockSensorDoor = 0;
    bool dig = false;
    bool recover = false;
    std::int32_t digAnim = 0, recoverAnim = 0;
    Bounds bounds{};
    std::array<std::uint8_t, 6> faceColor{66, 66, 66, 66, 66, 66};  // faces A..F
    std::array<std::uint8_t, 6> faceTexture{};
    SoundRef loopSound = kNoSound;
    SoundRef actionSound = kNoSound;
    std::int32_t loopDuration = 999000;  // ms between loop-sound pulses
    std::int32_t loopVolume = 255;
    std::int32_t actionVolume = 255;
    SoundRef stepSound = kNoSound;
    bool meshReady = false;
    std::int32_t lastLoopTime = 0;       // ms clock of the last loop-sound pulse; a bank load sets it to the load time

    // Run-time animation state of the type (advanced by the mechanisms).
    MeshRef workingMesh;                 // the frame shown for every cell of the type
    Bounds currentBounds{};              // collision box of the current frame
    float previousAnimPosition = 0;      // cleared by a bank load
    bool loopPulse = true;               // the loop sound fires this frame
};

struct ClipMesh {
    std::int32_t indexA = -1;  // -1: mesh not used
    std::array<std::int32_t, 6> placeA{};
    std::int32_t indexB = -1;
    std::array<std::int32_t, 6> placeB{};
};

struct ClipFrame {
    std::array<std::int32_t, 6> cameraA{};
    std::array<std::int32_t, 6> cameraB{};
    std::int32_t duration = 0;  // ms
    std::string text;           // "|" breaks lines
    std::int32_t ambientPercentA = 100;
    std::int32_t ambientPercentB = 100;
    SoundRef sample = kNoSound;
    std::array<ClipMesh, 2> meshes{};
};

struct ClipDef {
    std::string music;
    std::string name;
    std::string video;
    std::int32_t nextClip = -1;
    bool musicLoop = false;
    bool playedSingle = true;
    bool cinemascope = true;
    bool hasFrames = false;
    std::array<MeshRef, 2> objects{};
    std::array<ClipFrame, 2> frames{};
};

enum class Command : std::int32_t {
    None = 0,
    WaitForPlayer = 1,
    MakeFall = 2,
    PutObject = 3,
    Goto = 4,
    Delay = 5,
    PlayClip = 6,
    MoveTo = 7,
    TransformTo = 8,
};

struct Step {
    std::int32_t command = 0;  // a Command value
    std::array<std::int32_t, 7> args{};  // arg1..arg7
};

struct Behaviour {
    std::string name;
    std::array<Step, kStepCount> steps{};
};

struct EventMarker {
    std::int32_t behaviour = 0;
    std::int32_t x = kFreeMarker, y = 0, z = 0;
    std::int32_t step = 0;       // run time: current command
    std::int32_t stepStart = 0;  // run time: ms when it began
    std::uint8_t moving = 0;     // run time flag
    std::array<std::uint8_t, 3> padding{};  // stored in the file; kept for byte-exact saves
    std::int64_t areaDone = 0;   // run time, not stored: cells of the current area step already visited
};

struct ClipMarker {
    std::int32_t x = kFreeMarker, y = 0, z = 0;
    std::int32_t clip = 0;
};

struct SentryState {
    float x = 0, y = 0, z = 0;  // world units
    float heading = 0;          // sentry headings use the opposite sign to actors
    float pitch = 0;
    float span = 0;
    float destX = 0, destY = 0, destZ = 0;
    float targetHeading = 0;
    float targetPitch = 0;
    std::int32_t cellX = 0, cellY = 0, cellZ = 0;
    std::int32_t width = 130;
    std::int32_t halfHeight = 140;
    std::int32_t mode = 0;  // 0 chase, 1 travel, 2 look around, 3 choose a destination
    std::int32_t speed = 40;
    std::int32_t lost = 1;
    std::int32_t soundTime = 0;
    std::int32_t prey = 0;
    bool stalled = false;
};

struct Hole {
    float x = 0, y = 0, z = 0;  // cell centre
    Cell value = 0;             // what the cell held before digging
    std::int32_t digTime = 0;   // ms
    std::int32_t refillDelay = 0;
};

struct MovingBlock {
    float x = 0, y = 0, z = 0;  // centre, world units
    float vx = 0, vy = 0, vz = 0;
    float fromX = 0, fromY = 0, fromZ = 0;
    float toX = 0, toY = 0, toZ = 0;
    Cell value = 0;
    std::uint8_t kind = 0;  // 0 sliding/falling, 1 travelling
    std::int32_t startTime = 0;
    std::int32_t duration = 0;
};

struct CellAnimation {
    float x = 0, y = 0, z = 0;  // centre
    Cell object = 0;            // animation object type
    Cell finalValue = 0;
    std::int32_t startTime = 0, startTime2 = 0;
    MeshRef mesh;
    float position = 0, previousPosition = 0;
    bool inUse = false;
};

// A mechanism's pass over every cell of one type (opening doors, switching
// levers, checking that every sensor plate carries its key).  Large grids are
// worked through over several frames; see SweepCells in rules/mechanisms.h.
struct CellSweep {
    enum Kind : std::uint8_t { kAnimate, kCheckSensors };
    Kind kind = kAnimate;
    Cell type = 0;               // the cells the sweep looks for
    std::int64_t finalValue = 0;  // kAnimate: what the cells become; kCheckSensors: the door type to open
    std::int64_t anim = 0;       // kAnimate: the animation object
    std::int64_t next = 0;       // index into `cells` (storage order) the sweep goes on from
    bool keyMissing = false;     // kCheckSensors: a plate without its key has been seen
};

struct World {
    std::array<ObjectDef, kObjectTypeCount> objectDefs{};

    std::int32_t sizeX = 0, sizeY = 0, sizeZ = 0;
    std::vector<Cell> cells;
    std::vector<std::uint8_t> lightMap;    // 128 neutral
    std::vector<std::uint8_t> stretchMap;  // 0..100, lowers cube corners
    // Run time, not stored: the number of cells of each object type in every
    // Z slab of the grid (index z * kObjectTypeCount + type), kept by SetCell,
    // so a sweep for doors or levers skips the slabs that hold none.  A Z slab
    // is one contiguous run of `cells`.  Values of kObjectTypeCount and above
    // are not counted.
    std::vector<std::int32_t> slabTypeCounts;

    std::uint8_t fogRed = 0, fogGreen = 0, fogBlue = 0;
    std::uint8_t outsideLevel = 0;
    std::uint8_t timerRunning = 0;
    std::int32_t timerLeft = 0;
    std::int32_t timerLastSecond = 0;

    std::array<SentryState, kMaxSentries> sentries{};
    std::int32_t sentryCount = 0;
    std::int32_t randomSeed = 0;

    std::array<Hole, kMaxHoles> holes{};
    std::int32_t lastHole = -1;
    std::array<MovingBlock, kMaxMovingBlocks> movingBlocks{};
    std::int32_t lastMovingBlock = -1;
    std::array<CellAnimation, kCellAnimationCount> cellAnimations{};
    std::array<CellSweep, kMaxCellSweeps> sweeps{};  // waiting sweeps, oldest first
    std::int32_t sweepCount = 0;
    std::int64_t sweepCellsLeft = 0;   // what is left of this frame's allowance
    std::int32_t sweepFrameTime = -1;  // the frame (clock ms) the allowance belongs to
    bool sweeping = false;             // a sweep is running: new ones only queue

    std::array<ClipDef, kClipCount> clips{};
    MeshRef skyMesh;
    std::array<Behaviour, kBehaviourCount> behaviours{};
    std::array<EventMarker, kMarkerCount> eventMarkers{};
    std::array<ClipMarker, kMarkerCount> clipMarkers{};

    std::int32_t startX = 0, startY = 0, startZ = 0;
    std::int32_t startHeading = 0;
    std::int32_t exitX = 0, exitY = 0, exitZ = 0;
    std::string bankName;  // the level's object definitions file name
    std::string description;
    std::string author;

    std::size_t CellCount() const { return cells.size(); }
    bool InGrid(int x, int y, int z) const {
        return x >= 0 && y >= 0 && z >= 0 && x < sizeX && y < sizeY && z < sizeZ;
    }
    std::size_t Index(int x, int y, int z) const {
        return static_cast<std::size_t>(x) +
               static_cast<std::size_t>(sizeX) * (static_cast<std::size_t>(y) + static_cast<std::size_t>(sizeY) * static_cast<std::size_t>(z));
    }
};

// True for an object index that names an entry of the object table.
inline bool IsObjectIndex(std::int64_t value) { return value >= 0 && value < kObjectTypeCount; }

// Cell access.  Reads outside the grid give 0, writes there are ignored.
Cell GetCell(const World& world, int x, int y, int z);
// Keeps cellCount of counted (Lingot) types exact.  Values above 256 are stored
// but never counted.
void SetCell(World& world, int x, int y, int z, Cell value);
std::uint8_t GetLight(const World& world, int x, int y, int z);
void SetLight(World& world, int x, int y, int z, std::uint8_t value);
std::uint8_t GetStretch(const World& world, int x, int y, int z);
void SetStretch(World& world, int x, int y, int z, std::uint8_t value);

// Sets the dimensions and replaces the three planes with zero-filled ones.
// Returns false (and leaves the World unchanged) when the dimensions are out
// of range or the memory cannot be had.
bool AllocateGrid(World& world, int sizeX, int sizeY, int sizeZ);

// Recounts cellCount of every counted type from the grid.
void CountLingots(World& world);
// Rebuilds slabTypeCounts from the grid, for code that filled `cells` by hand.
void IndexCells(World& world);
// Cells of `type` in the Z slab z (0 outside the grid or the counted types).
std::int32_t SlabTypeCount(const World& world, int z, std::int64_t type);

// The cell of a world position: position / 512 truncated toward zero.  A
// position past kFarCell cells (or NaN) gives a cell at +-kFarCell, far outside
// any grid, so the cast never overflows and kCellSize * cell still fits an int.
inline int CellOf(float position) {
    const float cell = position / kCellSize;
    if (!(cell > -kFarCell)) return -kFarCell;  // also NaN
    if (cell > kFarCell) return kFarCell;
    return static_cast<int>(cell);
}

}  // namespace zq
