// The object definitions file (the bank, "Standard.bnk"): object types, clip
// definitions, the hero and sentry assets and the fixed meshes that come with
// every load.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "assets/graphics.h"
#include "assets/sound_slots.h"
#include "core/resolver.h"
#include "world/world.h"

namespace zq {

inline constexpr int kBankHeroCount = 4;
inline constexpr int kHeroPoseCount = 11;  // stand, walk 1..4, fall, crouch, dead, ladder 1..2, shoot
inline constexpr std::int32_t kNoBoundOverride = 999;

// Sound slots the bank loads into: three per object type (step, loop,
// action), two per hero, two for the sentries, one per clip frame.
inline constexpr SoundRef kObjectSoundSlot = 0;                                      // + 3 * type + 0..2
inline constexpr SoundRef kHeroSoundSlot = kObjectSoundSlot + 3 * kObjectTypeCount;  // + 2 * hero + 0..1
inline constexpr SoundRef kSentrySoundSlot = kHeroSoundSlot + 2 * kBankHeroCount;    // seen, lost
inline constexpr SoundRef kClipSoundSlot = kSentrySoundSlot + 2;                     // + 2 * clip + frame
inline constexpr SoundRef kBankSoundSlotCount = kClipSoundSlot + 2 * kClipCount;

struct HeroAssets {
    MeshRef mesh;  // working mesh, first loaded as pose 0
    MeshRef shadowMesh;
    std::array<MeshRef, kHeroPoseCount> poseMesh{};
    SoundRef hurtSound = kNoSound;
    SoundRef deathSound = kNoSound;
};

// What a bank load produces besides the World's tables, and what it remembers
// to decide whether the next load has anything to do.  The shell hands the
// hero assets to the Actors.
struct BankAssets {
    std::array<HeroAssets, kBankHeroCount> heroes{};
    MeshRef sentryMesh;
    SoundRef sentrySeenSound = kNoSound;
    SoundRef sentryLostSound = kNoSound;

    MeshRef exitMesh;                          // "3do/editor/exit.3do", flat white faces
    std::array<MeshRef, 3> transitionMeshes{};  // Transi1..3, coordinates doubled
    MeshRef podiumMesh;
    MeshRef flagMesh;
    MeshRef quadMesh;      // 1000 x 100 quad
    MeshRef triangleMesh;  // small marker triangle

    std::string loadedName;   // upper-cased file name of the last load ("" before any)
    std::string loadedMode;   // upper-cased texture mode of the last load
    std::string textureBank;  // texture bank named by the last load
    bool textured = false;    // mode "HIGH": faces are drawn textured
};

struct BankLoadContext {
    const DataResolver& data;
    Graphics& graphics;
    BankAssets& assets;
    SoundSlots& sounds;
    std::int32_t now = 0;  // the millisecond clock, stamped into mesh objects
    // When set, every unusable file is recorded here and loading goes on;
    // otherwise the first one throws FatalError.
    AssetProblems* problems = nullptr;
    // Called at the end of an effective load: the renderer prepares its
    // textures and the shell restarts the frame clock.
    std::function<void()> afterLoad;
};

// Loads the bank file `fileName` at `textureMode` ("High" or "Low") into the
// World's object types and clips, the assets and the picture state.  Does
// nothing when both equal, ignoring case, those of the last effective load.
// A missing bank, mesh or picture throws FatalError with the game's message;
// the bank then counts as not loaded, so the next call tries again.
void LoadObjectDefinitions(World& world, BankLoadContext& context, const std::string& fileName,
                           const std::string& textureMode);

// Collision bounds of one mesh in cell-local units: the extent of its
// vertices and the top of each quarter of the cell, plus 256.  A missing mesh
// gives the starting values plus 256.
Bounds MeshBounds(const Mesh* mesh);

}  // namespace zq
