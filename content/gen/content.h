// The numbers that tie the generated files together: texture slots, object
// types and clips.  The bank file, the meshes and the level compiler all use
// these names, so a renumbering happens in one place.
#pragma once

#include <string>

#include "gen.h"

namespace zq::gen {

// Texture slots (also the image numbers of their first picture).
enum TextureSlot : int {
    kTexStoneFloor = 1,
    kTexStoneWall,
    kTexBrick,
    kTexMetal,
    kTexWood,
    kTexEarth,
    kTexGrassTop,
    kTexGrassSide,
    kTexRock,
    kTexCrackedBrick,
    kTexSoftEarth,
    kTexCrate,
    kTexKeyBlock,
    kTexSensor,
    kTexIngotDoor,
    kTexLeverDoor,
    kTexSensorDoor,
    kTexGold,
    kTexLeverPlate,
    kTexSpring,
    kTexLadder,
    kTexMetalCrate,
    kTexMarble,
    kTexDarkStone,
    kTexSpikes,
    kTexTimer,
    kTexHeart,
    kTexLamp,
    kTexSky,
    kTexLeaves,
    kTexSlate,
    kTexBasalt,
    kTexMossBrick,
    kTexTiles,
    kTexCopper,
    kTexRunes,
    kTexPlaster,    // timber-framed plaster wall
    kTexCobbles,    // cobbled floor
    kTexSandstone,  // sandstone blocks
    kTexBeams,      // beamed ceiling, seen from below
    kTexWater,   // animated slot
    kTexLava,    // animated slot
    kTexGlow,    // animated slot
    kTexSlotCount = kTexGlow
};
inline constexpr int kAnimFrames = 6;  // pictures per animated slot

// Writes the texture pictures and the texture bank file "TEXTURES.TEX".
void MakeTextures(Output& out, const Palette& palette);
// The 128 x 128 picture of a still texture slot (blank for any other number).
Image TextureImage(int slot);

// Object types of the bank file.
enum ObjectType : int {
    kObjStoneFloor = 1,
    kObjStoneWall = 2,
    kObjBrick = 3,
    kObjMetal = 4,
    kObjWood = 5,
    kObjEarth = 6,
    kObjGrass = 7,
    kObjRock = 8,
    kObjCrackedBrick = 9,   // dug, refills
    kObjBrickCrumble = 10,  // digging animation
    kObjBrickRefill = 11,   // refilling animation
    kObjSoftEarth = 12,     // dug, never refills
    kObjEarthCrumble = 13,
    kObjLadderNorth = 14,   // climbed facing +Z, wall behind it at z + 1
    kObjLadderEast = 15,    // climbed facing +X, wall behind it at x + 1
    kObjCrate = 16,
    kObjLava = 17,
    kObjWater = 18,
    kObjGlowBlock = 19,
    kObjIngot = 20,         // the status bar counts this type
    kObjIngotDoor = 21,
    kObjIngotDoorOpening = 22,
    kObjLever = 23,
    kObjLeverPulling = 24,
    kObjLeverPulled = 25,
    kObjLeverDoor = 26,
    kObjLeverDoorOpening = 27,
    kObjKeyBlock = 28,
    kObjSensor = 29,
    kObjSensorDoor = 30,
    kObjSensorDoorOpening = 31,
    kObjSpring = 32,
    kObjTimer = 33,
    kObjExtraLife = 34,
    kObjLightSwitch = 35,
    kObjSpikes = 36,
    kObjCrystal = 37,       // morphing decoration
    kObjPillar = 38,
    kObjTorch = 39,
    kObjMetalCrate = 40,
    kObjDarkStone = 41,
    kObjMarble = 42,
    kObjLeaves = 43,
    kObjSlate = 44,         // the deep halls' paving
    kObjBasalt = 45,
    kObjMossBrick = 46,
    kObjTiles = 47,
    kObjCopper = 48,
    kObjRuneStone = 49,     // carved frieze, decoration
    kObjBrazier = 50,       // burning bowl on a plinth, lights the cells around it
    kObjTree = 51,
    kObjPlaster = 52,       // chapter one's other wall and floor sets
    kObjCobbles = 53,
    kObjSandstone = 54,
    kObjCeiling = 55,       // dark stone with beams underneath, for roofs over rooms
    kObjTimerShort = 56,    // a clock worth less, for the late levels' tighter clocks
    kObjectTypeTotal = 56
};

// Clips of the bank file.
enum ClipNumber : int {
    kClipTitle = 0,
    kClipCredits = 1,
    kClipCreditsIntro = 2,
    kClipExplore = 3,
    kClipTense = 4,
    kClipOutside = 5,    // a CD-audio track
    kClipMachines = 6,   // two-shot cinematic over the script level
    kClipVault = 7,      // two-shot cinematic opening the finale
    kClipTitleMusic = 8, // the title tune after the intro video (clip 0)
    kClipDeepHalls = 9,  // the second chapter's theme
    kClipChapterTwo = 10, // two-shot cinematic opening the second chapter
    kClipTotal = 11
};

// Writes every mesh under "3DO/GAME/" and "3DO/EDITOR/".
void MakeMeshes(Output& out);
// Writes "Standard.bnk".
void MakeBank(Output& out);
// Writes the interface pictures and fonts under "INTERF/".
void MakeInterface(Output& out, const Palette& palette);
// The title logo, "ZORVO QUIB" in gold (296 x 40, index 0 see-through).
Image LogoImage();
// Writes the sound effects (RIFF WAVE) and the music modules.
void MakeSounds(Output& out);
void MakeMusic(Output& out);
// Writes the intro video "VIDEO/INTRO.Y4M" (six seconds of YUV4MPEG2).
void MakeIntroVideo(Output& out, const Palette& palette);
// Writes "CDAUDIO/TRACK02.WAV", a tune rendered to PCM for the CD-audio music.
void MakeCdTracks(Output& out);
// One level of the campaign as the credits and the hints know it.
struct LevelEntry {
    std::string stem;         // file name without extension, upper case ("01_FIRST_STEPS")
    std::string description;  // the level's intro text
};
// Writes "game.dat" with a line for every level of `levels`; throws when a
// line cannot be stored.
void MakeCredits(Output& out, const std::vector<LevelEntry>& levels);
// Writes "LEVEL/HINTS.INI", the start-of-level hints; throws when a hint
// names a level that is not in `levels`.
void MakeHints(Output& out, const std::vector<LevelEntry>& levels);
// The scrambled form of one credit line; throws when a scrambled byte would
// be a CR or LF.
std::string ScrambleCreditLine(const std::string& line);
// The desktop icon's name (the file name without ".png" under hicolor/SIZE/apps/).
inline constexpr const char* kIconName = "org.zorvoquib.game";
inline constexpr const char* kEditorIconName = "org.zorvoquib.editor";  // the same tile with a trowel
// Writes the window icon "INTERF/ICON.PCX" and, when `iconDir` is given, the
// desktop icon as PNG at the usual sizes under iconDir/hicolor/.
void MakeIcons(Output& out, const Palette& palette, const std::filesystem::path& iconDir);
// Compiles every level source of `levelDir` into "LEVEL/", in play order.
std::vector<LevelEntry> MakeLevels(Output& out, const std::filesystem::path& levelDir);

}  // namespace zq::gen
