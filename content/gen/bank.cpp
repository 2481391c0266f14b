// "Standard.bnk": the object types, the hero and sentry assets and the clips.
// Every value here refers to files the generator writes itself.
#include <sstream>
#include <string>
#include <vector>

#include "content.h"

namespace zq::gen {

namespace {

// One section as ordered key=value lines.
struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;

    Section& Set(const std::string& key, const std::string& value) {
        keys.emplace_back(key, value);
        return *this;
    }
    Section& Set(const std::string& key, int value) { return Set(key, std::to_string(value)); }
    Section& Flag(const std::string& key) { return Set(key, "TRUE"); }
};

std::string Mesh(const std::string& name) { return name + ".3DO"; }

// A textured cube with the same texture on its sides and its own top and bottom.
Section Cube(int type, const std::string& name, int sides, int top, int bottom, std::uint8_t colour) {
    Section s{"Object " + std::to_string(type), {}};
    s.Set("Cube", "TRUE").Set("Name", name);
    const char* faces = "ABCDEF";
    for (int f = 0; f < 6; ++f) {
        int texture = f == 4 ? top : (f == 5 ? bottom : sides);
        s.Set(std::string("Face") + faces[f] + "Texture", texture);
        s.Set(std::string("Face") + faces[f] + "Color", colour);
    }
    return s;
}

// A mesh object with frames base1..baseN (or the single mesh `base` when frames is 0).
Section MeshObject(int type, const std::string& name, const std::string& base, int frames) {
    Section s{"Object " + std::to_string(type), {}};
    s.Set("Cube", "FALSE").Set("Name", name);
    if (frames == 0) s.Set("Mesh1", Mesh(base));
    for (int f = 1; f <= frames; ++f) s.Set("Mesh" + std::to_string(f), Mesh(base + std::to_string(f)));
    return s;
}

std::string Sound(const std::string& name) { return "SOUND\\" + name + ".WAV"; }

// Overrides a mesh object's collision box with a column `half` units either
// side of the cell's centre and a full cell high, so the hero cannot step
// onto its low parts.
Section Column(Section s, int half) {
    return s.Set("Xmin", -half).Set("Xmax", half).Set("Zmin", -half).Set("Zmax", half).Set("Ymin", -256).Set("Ymax", 255);
}

std::vector<Section> Objects() {
    std::vector<Section> v;
    const std::string stoneStep = Sound("STEPSTON"), woodStep = Sound("STEPWOOD"), metalStep = Sound("STEPMETL"),
                      softStep = Sound("STEPSOFT");

    v.push_back(Cube(kObjStoneFloor, "Stone floor", kTexStoneWall, kTexStoneFloor, kTexStoneFloor, RampColour(kStone, 8)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjStoneWall, "Stone wall", kTexStoneWall, kTexStoneWall, kTexStoneWall, RampColour(kStone, 7)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjBrick, "Brick wall", kTexBrick, kTexStoneFloor, kTexBrick, RampColour(kBrick, 8)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjMetal, "Metal plate", kTexMetal, kTexMetal, kTexMetal, RampColour(kMetal, 8)).Set("StepSound", metalStep));
    v.push_back(Cube(kObjWood, "Wooden planks", kTexWood, kTexWood, kTexWood, RampColour(kWood, 8)).Set("StepSound", woodStep));
    v.push_back(Cube(kObjEarth, "Earth", kTexEarth, kTexEarth, kTexEarth, RampColour(kEarth, 8)).Set("StepSound", softStep));
    v.push_back(Cube(kObjGrass, "Grass", kTexGrassSide, kTexGrassTop, kTexEarth, RampColour(kGrass, 8)).Set("StepSound", softStep));
    v.push_back(Cube(kObjRock, "Rock", kTexRock, kTexRock, kTexRock, RampColour(kStone, 6)).Set("StepSound", stoneStep));

    // Diggable bricks crumble and grow back after ten seconds.
    v.push_back(Cube(kObjCrackedBrick, "Cracked brick (dig, refills)", kTexCrackedBrick, kTexCrackedBrick, kTexCrackedBrick, RampColour(kBrick, 6))
                    .Flag("Dig").Flag("Recover").Set("DigAnim", kObjBrickCrumble).Set("RecoverAnim", kObjBrickRefill).Set("StepSound", stoneStep));
    v.push_back(MeshObject(kObjBrickCrumble, "Brick crumbling (animation)", "BRKDIG", 4)
                    .Set("Collision", "FALSE").Set("Speed", 60).Set("ActionSound", Sound("DIG")).Set("ActionVolume", 254));
    v.push_back(MeshObject(kObjBrickRefill, "Brick refilling (animation)", "BRKFILL", 4)
                    .Set("Collision", "FALSE").Set("Speed", 40).Set("ActionSound", Sound("REFILL")).Set("ActionVolume", 254));
    // Soft soil is dug for good.
    v.push_back(Cube(kObjSoftEarth, "Soft soil (dig, stays open)", kTexSoftEarth, kTexSoftEarth, kTexSoftEarth, RampColour(kEarth, 6))
                    .Flag("Dig").Set("DigAnim", kObjEarthCrumble).Set("StepSound", softStep));
    v.push_back(MeshObject(kObjEarthCrumble, "Soil crumbling (animation)", "SOILDIG", 4)
                    .Set("Collision", "FALSE").Set("Speed", 60).Set("ActionSound", Sound("DIG")).Set("ActionVolume", 254));

    v.push_back(MeshObject(kObjLadderNorth, "Ladder (climb facing north)", "LADDERN", 0).Flag("Ladder").Set("Collision", "FALSE").Set("StepSound", woodStep));
    v.push_back(MeshObject(kObjLadderEast, "Ladder (climb facing east)", "LADDERE", 0).Flag("Ladder").Set("Collision", "FALSE").Set("StepSound", woodStep));

    v.push_back(Cube(kObjCrate, "Wooden crate (push)", kTexCrate, kTexCrate, kTexCrate, RampColour(kWood, 9))
                    .Flag("CanPush").Set("ActionSound", Sound("PUSH")).Set("ActionVolume", 254).Set("StepSound", woodStep));
    // Liquids are not solid: the hero sinks in and dies.
    v.push_back(Cube(kObjLava, "Lava (deadly)", kTexLava, kTexLava, kTexLava, RampColour(kLava, 10))
                    .Flag("Death").Set("Collision", "FALSE").Set("LoopSound", Sound("LAVA")).Set("LoopDuration", 2400).Set("LoopVolume", 200));
    v.push_back(Cube(kObjWater, "Deep water (deadly)", kTexWater, kTexWater, kTexWater, RampColour(kWater, 8))
                    .Flag("Death").Set("Collision", "FALSE").Set("Transparency", 25).Set("LoopSound", Sound("WATER")).Set("LoopDuration", 3000).Set("LoopVolume", 180));
    v.push_back(Cube(kObjGlowBlock, "Glowing block", kTexGlow, kTexGlow, kTexGlow, RampColour(kSky, 10)).Set("StepSound", metalStep));

    // Gold: all ingots taken open every ingot door.
    v.push_back(MeshObject(kObjIngot, "Gold ingot", "INGOT", 8)
                    .Flag("Lingot").Set("LingotDoor", kObjIngotDoor).Set("Collision", "FALSE").Set("Speed", 12)
                    .Set("ActionSound", Sound("INGOT")).Set("ActionVolume", 255).Set("Ymax", 200));
    v.push_back(Cube(kObjIngotDoor, "Ingot door", kTexIngotDoor, kTexGold, kTexGold, RampColour(kGold, 8))
                    .Flag("Door").Set("AnimDoor", kObjIngotDoorOpening).Set("DoorOpen", 0));
    v.push_back(MeshObject(kObjIngotDoorOpening, "Ingot door opening (animation)", "DOORGOPN", 4)
                    .Set("Speed", 25).Set("ActionSound", Sound("DOOR")).Set("ActionVolume", 255));

    // A lever collides as a tall column, so the hero stops in front of it
    // instead of stepping onto its base plate.  The pulled lever's column is
    // narrower: it appears while the hero stands at the lever, and must not
    // catch him.
    v.push_back(Column(MeshObject(kObjLever, "Lever", "LEVER", 0), 200)
                    .Flag("Lever").Set("LeverAnim", kObjLeverPulling).Set("LeverOpen", kObjLeverPulled).Set("LeverDoor", kObjLeverDoor));
    v.push_back(MeshObject(kObjLeverPulling, "Lever moving (animation)", "LEVERPL", 4).Set("Speed", 60).Set("ActionSound", Sound("LEVER")).Set("ActionVolume", 254));
    v.push_back(Column(MeshObject(kObjLeverPulled, "Lever (pulled)", "LEVERDN", 0), 150));
    v.push_back(Cube(kObjLeverDoor, "Lever door", kTexLeverDoor, kTexMetal, kTexMetal, RampColour(kMetal, 7))
                    .Flag("Door").Set("AnimDoor", kObjLeverDoorOpening).Set("DoorOpen", 0));
    v.push_back(MeshObject(kObjLeverDoorOpening, "Lever door opening (animation)", "DOORLOPN", 4).Set("Speed", 25).Set("ActionSound", Sound("DOOR")).Set("ActionVolume", 255));

    v.push_back(Cube(kObjKeyBlock, "Key block (push onto a sensor)", kTexKeyBlock, kTexKeyBlock, kTexKeyBlock, RampColour(kWater, 9))
                    .Flag("CanPush").Flag("BlockKey").Set("BlockKeySensor", kObjSensor).Set("ActionSound", Sound("PUSH")).Set("ActionVolume", 254).Set("StepSound", metalStep));
    v.push_back(Cube(kObjSensor, "Sensor plate", kTexStoneWall, kTexSensor, kTexStoneFloor, RampColour(kSky, 8))
                    .Flag("BlockSensor").Set("BlockSensorDoor", kObjSensorDoor).Set("ActionSound", Sound("SENSOR")).Set("ActionVolume", 255).Set("StepSound", metalStep));
    v.push_back(Cube(kObjSensorDoor, "Sensor door", kTexSensorDoor, kTexMetal, kTexMetal, RampColour(kSky, 6))
                    .Flag("Door").Set("AnimDoor", kObjSensorDoorOpening).Set("DoorOpen", 0));
    v.push_back(MeshObject(kObjSensorDoorOpening, "Sensor door opening (animation)", "DOORKOPN", 4).Set("Speed", 25).Set("ActionSound", Sound("DOOR")).Set("ActionVolume", 255));

    v.push_back(MeshObject(kObjSpring, "Spring", "SPRING", 2)
                    .Flag("Spring").Set("Collision", "FALSE").Flag("Morph").Set("Speed", 30).Set("ActionSound", Sound("SPRING")).Set("ActionVolume", 254));
    v.push_back(MeshObject(kObjTimer, "Timer bonus (45 s)", "TIMER", 8)
                    .Flag("Timer").Set("TimerDuration", 45000).Set("Collision", "FALSE").Set("Speed", 12).Set("ActionSound", Sound("PICKUP")).Set("Ymax", 200));
    v.push_back(MeshObject(kObjExtraLife, "Extra life", "LIFE", 8)
                    .Flag("1UP").Set("Collision", "FALSE").Set("Speed", 12).Set("ActionSound", Sound("LIFE")).Set("Ymax", 200));
    v.push_back(MeshObject(kObjLightSwitch, "Light switch", "LAMP", 0)
                    .Flag("Light").Set("Collision", "FALSE").Set("ActionSound", Sound("LIGHT")).Set("Ymax", 200));
    // Spikes reach high enough that a hero walking into the cell is caught.
    v.push_back(MeshObject(kObjSpikes, "Spikes (deadly)", "SPIKES", 0).Flag("Death").Set("Collision", "FALSE").Set("Ymax", 200));
    v.push_back(MeshObject(kObjCrystal, "Crystal cluster", "CRYSTAL", 4)
                    .Flag("Morph").Set("Speed", 8).Set("LoopSound", Sound("CRYSTAL")).Set("LoopDuration", 4000).Set("LoopVolume", 120));
    v.push_back(MeshObject(kObjPillar, "Marble pillar", "PILLAR", 0).Set("StepSound", stoneStep));
    v.push_back(MeshObject(kObjTorch, "Torch", "TORCH", 4)
                    .Flag("Morph").Set("Speed", 40).Set("Collision", "FALSE").Set("LoopSound", Sound("TORCH")).Set("LoopDuration", 1500).Set("LoopVolume", 110));
    v.push_back(Cube(kObjMetalCrate, "Steel crate (push)", kTexMetalCrate, kTexMetalCrate, kTexMetalCrate, RampColour(kMetal, 9))
                    .Flag("CanPush").Set("ActionSound", Sound("PUSH")).Set("ActionVolume", 254).Set("StepSound", metalStep));
    v.push_back(Cube(kObjDarkStone, "Dark stone", kTexDarkStone, kTexDarkStone, kTexDarkStone, RampColour(kStone, 4)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjMarble, "Marble", kTexMarble, kTexMarble, kTexMarble, RampColour(kStone, 12)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjLeaves, "Hedge", kTexLeaves, kTexLeaves, kTexLeaves, RampColour(kLeaf, 8)).Set("StepSound", softStep));
    // The deep halls of the second chapter.
    v.push_back(Cube(kObjSlate, "Slate paving", kTexBasalt, kTexSlate, kTexSlate, RampColour(kViolet, 5)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjBasalt, "Basalt", kTexBasalt, kTexSlate, kTexSlate, RampColour(kMetal, 4)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjMossBrick, "Mossy brick", kTexMossBrick, kTexStoneFloor, kTexMossBrick, RampColour(kBrick, 7)).Set("StepSound", stoneStep));
    // Seen from below a tiled floor is the dark stone it is laid on, not more tiles.
    v.push_back(Cube(kObjTiles, "Tiled floor", kTexSandstone, kTexTiles, kTexDarkStone, RampColour(kEarth, 9)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjCopper, "Copper plate", kTexCopper, kTexCopper, kTexCopper, RampColour(kWood, 10)).Set("StepSound", metalStep));
    v.push_back(Cube(kObjRuneStone, "Rune stone", kTexRunes, kTexDarkStone, kTexDarkStone, RampColour(kStone, 5)).Set("StepSound", stoneStep));
    // Decorations that stand in the way as a column, like the lever, so the
    // hero walks round them instead of climbing their low parts.
    v.push_back(Column(MeshObject(kObjBrazier, "Brazier", "BRAZIER", 4), 170)
                    .Flag("Morph").Set("Speed", 40).Set("LoopSound", Sound("TORCH")).Set("LoopDuration", 1500).Set("LoopVolume", 120));
    v.push_back(Column(MeshObject(kObjTree, "Tree", "TREE", 0), 120).Set("StepSound", woodStep));
    v.push_back(Cube(kObjPlaster, "Timber-framed plaster", kTexPlaster, kTexWood, kTexBeams, RampColour(kLemon, 10)).Set("StepSound", woodStep));
    v.push_back(Cube(kObjCobbles, "Cobbles", kTexStoneWall, kTexCobbles, kTexDarkStone, RampColour(kStone, 7)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjSandstone, "Sandstone", kTexSandstone, kTexTiles, kTexSandstone, RampColour(kLemon, 8)).Set("StepSound", stoneStep));
    v.push_back(Cube(kObjCeiling, "Beamed ceiling", kTexDarkStone, kTexDarkStone, kTexBeams, RampColour(kWood, 4)).Set("StepSound", stoneStep));
    // The same clock worth 25 s: the later clock levels give less time over their solution.
    v.push_back(MeshObject(kObjTimerShort, "Timer bonus (25 s)", "TIMER", 8)
                    .Flag("Timer").Set("TimerDuration", 25000).Set("Collision", "FALSE").Set("Speed", 12).Set("ActionSound", Sound("PICKUP")).Set("Ymax", 200));
    return v;
}

std::vector<Section> Clips() {
    std::vector<Section> v;
    auto music = [](int n, const std::string& name, const std::string& file, bool single) {
        Section s{"Clip " + std::to_string(n), {}};
        s.Set("Name", name).Set("Music", "MUSIC\\" + file).Set("MusicLoop", "TRUE").Set("PlayedSingle", single ? "TRUE" : "FALSE");
        return s;
    };
    // The intro video with the title tune; when it ends (or a button ends it)
    // its next clip plays the tune alone.  A clip naming itself would play
    // the video again.
    v.push_back(music(kClipTitle, "Intro", "TITLE.MOD", false)
                    .Set("Video", "VIDEO\\INTRO.Y4M").Set("NextClip", kClipTitleMusic));
    v.push_back(music(kClipCredits, "Credits theme", "CREDITS.MOD", false));
    // Started just before the credits music, which replaces it at once.
    v.push_back(Section{"Clip " + std::to_string(kClipCreditsIntro), {}}.Set("Name", "Credits opening").Set("PlayedSingle", "FALSE"));
    v.push_back(music(kClipExplore, "Exploring theme", "EXPLORE.MOD", true));
    v.push_back(music(kClipTense, "Tense theme", "TENSE.MOD", true));
    // Track 2 of the "CD": the open-sky tune rendered to CDAUDIO/TRACK02.WAV.
    v.push_back(Section{"Clip " + std::to_string(kClipOutside), {}}
                    .Set("Name", "Open sky theme (CD track)").Set("Music", "CDAUDIO_02").Set("MusicLoop", "TRUE")
                    .Set("PlayedSingle", "TRUE"));

    // Two-shot cinematics over the current level: camera (x, y, z, heading,
    // pitch, roll) from A to B, with text lines split at "|".
    Section machines{"Clip " + std::to_string(kClipMachines), {}};
    machines.Set("Name", "Machines wake up").Set("PlayedSingle", "TRUE").Set("Cinemascope", "TRUE")
        .Set("Frame_0_A", "(2816,2600,300),(0,-1500,0)").Set("Frame_0_B", "(2816,2600,3500),(0,-1500,0)")
        .Set("Frame_0_Duration", 3500).Set("Frame_0_Text", "SOMETHING STIRS|IN THE OLD WORKSHOP")
        .Set("Frame_0_A_AmbientLightPercent", 60).Set("Frame_0_B_AmbientLightPercent", 100)
        .Set("Frame_0_Sample", Sound("WHOOSH"))
        .Set("Frame_1_A", "(2816,3800,4800),(0,-2500,0)").Set("Frame_1_B", "(2816,4200,7800),(0,-2500,0)")
        .Set("Frame_1_Duration", 3000).Set("Frame_1_Text", "FLOORS FALL. LIFTS RISE.|WATCH YOUR STEP!");
    v.push_back(machines);

    Section vault{"Clip " + std::to_string(kClipVault), {}};
    vault.Set("Name", "The vault").Set("PlayedSingle", "TRUE").Set("Cinemascope", "TRUE")
        .Set("Object_0", Mesh("SENTRY")).Set("Object_1", Mesh("SENTRY"))
        .Set("Frame_0_A", "(4096,2300,1280),(0,-600,0)").Set("Frame_0_B", "(4096,2300,5500),(0,-600,0)")
        .Set("Frame_0_Duration", 4000).Set("Frame_0_Text", "THE VAULT OF ZORVO QUIB|ALL YOU LEARNED, AT ONCE")
        .Set("Frame_0_Mesh_0_Index_A", 0).Set("Frame_0_Mesh_0_A", "(4096,3200,8000),(0,0,0)")
        .Set("Frame_0_Mesh_0_Index_B", 1).Set("Frame_0_Mesh_0_B", "(4096,3500,8000),(16384,0,0)")
        .Set("Frame_0_Sample", Sound("SEEN"))
        .Set("Frame_1_A", "(4096,4200,9000),(0,-2400,0)").Set("Frame_1_B", "(4096,3600,11800),(0,-2400,0)")
        .Set("Frame_1_Duration", 2500).Set("Frame_1_Text", "GOOD LUCK!")
        .Set("Frame_1_A_AmbientLightPercent", 100).Set("Frame_1_B_AmbientLightPercent", 70);
    v.push_back(vault);

    v.push_back(music(kClipTitleMusic, "Title theme", "TITLE.MOD", false));

    v.push_back(music(kClipDeepHalls, "Deep halls theme", "DEEP.MOD", true));
    // Opens the second chapter: down the first hall towards the gallery, then
    // over the gallery towards the copper platform.
    Section chapter{"Clip " + std::to_string(kClipChapterTwo), {}};
    chapter.Set("Name", "The deep halls").Set("PlayedSingle", "TRUE").Set("Cinemascope", "TRUE")
        .Set("Frame_0_A", "(4608,1300,800),(0,-500,0)").Set("Frame_0_B", "(4608,1500,3200),(0,-700,0)")
        .Set("Frame_0_Duration", 3500).Set("Frame_0_Text", "CHAPTER TWO|THE DEEP HALLS")
        .Set("Frame_0_A_AmbientLightPercent", 50).Set("Frame_0_B_AmbientLightPercent", 100)
        .Set("Frame_0_Sample", Sound("WHOOSH"))
        .Set("Frame_1_A", "(1800,2900,4400),(3000,-1200,0)").Set("Frame_1_B", "(4400,3100,4800),(5000,-1400,0)")
        .Set("Frame_1_Duration", 3000).Set("Frame_1_Text", "THREE STOREYS DOWN|EVERY TRICK AT ONCE");
    v.push_back(chapter);
    return v;
}

}  // namespace

void MakeBank(Output& out) {
    Section general{"General", {}};
    general.Set("Texture", "TEXTURES.TEX");
    for (int n = 0; n < 4; ++n) general.Set("Hero_" + std::to_string(n), Mesh("HERO" + std::to_string(n)));
    const char* poses[][2] = {{"Hero_Walk1", "HEROWLK1"}, {"Hero_Walk2", "HEROWLK2"}, {"Hero_Walk3", "HEROWLK3"},
                              {"Hero_Walk4", "HEROWLK4"}, {"Hero_Fall", "HEROFALL"},  {"Hero_Crouch", "HEROCRCH"},
                              {"Hero_Dead", "HERODEAD"},  {"Hero_Ladder1", "HEROLAD1"}, {"Hero_Ladder2", "HEROLAD2"},
                              {"Hero_Shoot", "HEROSHOT"}};
    for (auto& p : poses) general.Set(p[0], Mesh(p[1]));
    general.Set("HurtSound", Sound("HURT")).Set("DeathSound", Sound("DEATH")).Set("Shadow", Mesh("SHADOW"));
    general.Set("Ennemy_Mesh", Mesh("SENTRY")).Set("Ennemy_SeenSound", Sound("SEEN")).Set("Ennemy_LostSound", Sound("LOST"));
    general.Set("Sky", Mesh("SKY"));

    std::ostringstream text;
    text << "; Object definitions of the default content (generated).\r\n";
    auto write = [&text](const Section& s) {
        text << "\r\n[" << s.name << "]\r\n";
        for (auto& [k, value] : s.keys) text << k << "=" << value << "\r\n";
    };
    write(general);
    for (const Section& s : Objects()) write(s);
    for (const Section& s : Clips()) write(s);
    out.WriteText("Standard.bnk", text.str());
}

}  // namespace zq::gen
