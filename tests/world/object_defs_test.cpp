// The bank file: object types with their defaults and overrides, clips, the
// hero and sentry assets, the fixed meshes, the load cache and its failures.
#include "world/object_defs.h"

#include <map>

#include <gtest/gtest.h>

#include "assets/mesh.h"
#include "assets/pcx.h"
#include "core/errors.h"
#include "test_util.h"

namespace zq {
namespace {

class RecordingSounds : public SoundSlots {
public:
    void LoadSound(std::int32_t slot, const std::string& fileName) override { loaded[slot] = fileName; }
    std::map<std::int32_t, std::string> loaded;
};

// A mesh with one face over the given vertices.
Mesh MakeMesh(std::vector<std::array<std::int32_t, 3>> points) {
    MeshRef m;
    CreateMesh(m, static_cast<std::uint16_t>(points.size() - 1), 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        m->x[i] = points[i][0];
        m->y[i] = points[i][1];
        m->z[i] = points[i][2];
    }
    m->faces[0] = {0, 0, 0, 5, 0, 0, kFaceTextured, 0};
    return *m;
}

Picture Solid(int w, int h, std::uint8_t value) {
    Picture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(static_cast<std::size_t>(w * h), value);
    for (int i = 0; i < 256; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.palette.red[k] = p.palette.green[k] = static_cast<std::uint8_t>(i);
        p.palette.blue[k] = static_cast<std::uint8_t>(i / 2);
    }
    p.palette.blue[200] = 255;  // entry 200 alone is white
    p.palette.red[200] = p.palette.green[200] = 255;
    return p;
}

const char* const kGeneral =
    "[General]\n"
    "Texture=TEX.TXT\n"
    "Hero_0=hero.3do\nHero_1=hero.3do\nHero_2=hero.3do\nHero_3=hero.3do\n"
    "Hero_Walk1=hero.3do\nHero_Walk2=hero.3do\nHero_Walk3=hero.3do\nHero_Walk4=hero.3do\n"
    "Hero_Fall=hero.3do\nHero_Crouch=hero.3do\nHero_Dead=hero.3do\nHero_Ladder1=hero.3do\n"
    "Hero_Ladder2=hero.3do\nHero_Shoot=tall.3do\n"
    "HurtSound=snd\\hurt.wav\nDeathSound=snd\\death.wav\nShadow=hero.3do\n"
    "Ennemy_Mesh=tall.3do\nEnnemy_SeenSound=seen.wav\n";

// A data folder with everything a bank names besides its own meshes.
struct BankFolder {
    test::TempDir dir;
    DataResolver data{dir.Path()};
    std::unique_ptr<Graphics> graphics = MakeGraphics(PixelFormat::kRgba);
    BankAssets assets;
    RecordingSounds sounds;
    BankLoadContext context{data, *graphics, assets, sounds, 1234, nullptr, {}};
    std::unique_ptr<World> world = std::make_unique<World>();
    int afterLoads = 0;

    BankFolder() {
        context.afterLoad = [this] { ++afterLoads; };
        dir.Write("TEX.TXT", "#IMAGES\n1=T/A.PCX\n2=T/A.PCX\n#TEXTURES\n1=1-2\n");
        dir.Write("T/A.PCX", EncodePcx(Solid(128, 128, 3)));
        for (const char* name : {"TQUIB", "TITLE", "OPTION", "SELECT", "BARRE", "RADAR", "RADARP1", "RADARP2", "RADARP3", "MOSAIC"})
            dir.Write(std::string("INTERF/") + name + ".PCX", EncodePcx(Solid(2, 2, 1)));
        dir.Write("INTERF/SMALFONT.PCX", EncodePcx(Solid(40, 80, 1)));
        dir.Write("INTERF/BIGFONT.PCX", EncodePcx(Solid(90, 160, 1)));
        Mesh square = MakeMesh({{-100, 0, -100}, {100, 0, -100}, {100, 50, 100}, {-100, 0, 100}});
        square.faces[0].kind = 0;
        dir.Write("3do/editor/exit.3do", SerializeMesh(square));
        for (const char* name : {"Transi1.3do", "Transi2.3do", "Transi3.3do", "podium.3do", "flag.3do", "hero.3do"})
            dir.Write(std::string("3do/Game/") + name, SerializeMesh(square));
        dir.Write("3do/Game/tall.3do", SerializeMesh(MakeMesh({{0, 0, 0}, {10, 300, 0}})));
    }
    void Bank(const std::string& objects, const std::string& name = "Standard.bnk") {
        dir.Write(name, std::string(kGeneral) + objects);
    }
    void Load(const std::string& name = "Standard.bnk", const std::string& mode = "High") {
        LoadObjectDefinitions(*world, context, name, mode);
    }
    const ObjectDef& Def(int i) const { return world->objectDefs[static_cast<std::size_t>(i)]; }
};

TEST(ObjectDefs, CubeTypesFlagsAndDefaults) {
    BankFolder f;
    f.Bank("[Object 1]\nCube=TRUE\nName=Brick\nFaceBColor=7\nFaceFTexture=300\nLingot=true\nLingotDoor=9\n"
           "[Object 2]\nCube=true\nLingot=1\nDoor=TRUE\nCollision=no\nStepSound=steps\\Walk.wav\nTimer=TRUE\n"
           "LeverAnim=5\n"
           "[Object 3]\nName=No cube key\n"
           "[Object 4]\nCube=\n"
           "[Object 256]\nCube=TRUE\nDoor=TRUE\nDoorOpen=12\nTransparency=50\n");
    f.Load();
    const ObjectDef& brick = f.Def(1);
    EXPECT_FALSE(brick.undefined);
    EXPECT_TRUE(brick.cube);
    EXPECT_EQ(brick.name, "Brick");
    EXPECT_EQ(brick.bounds, (Bounds{0, 511, 0, 0, 511, 511, 511, 511, 511}));
    EXPECT_EQ(brick.faceColor, (std::array<std::uint8_t, 6>{66, 7, 66, 66, 66, 66}));
    EXPECT_EQ(brick.faceTexture[5], 300 & 255);
    EXPECT_TRUE(brick.lingot);  // case is ignored
    EXPECT_EQ(brick.lingotDoor, 9);
    EXPECT_TRUE(brick.collision);
    EXPECT_EQ(brick.loopDuration, 999000);
    EXPECT_EQ(brick.loopVolume, 255);
    EXPECT_EQ(brick.actionVolume, 255);
    EXPECT_EQ(brick.stepSound, kNoSound);

    const ObjectDef& door = f.Def(2);
    EXPECT_TRUE(door.cube);
    EXPECT_FALSE(door.lingot);  // "1" is not TRUE
    EXPECT_FALSE(door.collision);
    EXPECT_EQ(door.animDoor, 2);  // a door without AnimDoor/DoorOpen refers to itself
    EXPECT_EQ(door.doorOpen, 2);
    EXPECT_EQ(door.timerDuration, 10000);
    EXPECT_EQ(door.leverAnim, 0);  // read only for levers
    EXPECT_EQ(door.stepSound, kObjectSoundSlot + 3 * 2);
    EXPECT_EQ(f.sounds.loaded[door.stepSound], "STEPS\\WALK.WAV");  // object sounds are upper-cased

    EXPECT_TRUE(f.Def(3).undefined);
    EXPECT_TRUE(f.Def(4).undefined);
    EXPECT_TRUE(f.Def(0).undefined);
    EXPECT_EQ(f.Def(256).animDoor, 256);
    EXPECT_EQ(f.Def(256).doorOpen, 12);
    EXPECT_EQ(f.Def(256).transparency, 50);
    EXPECT_TRUE(f.assets.textured);
    EXPECT_EQ(f.afterLoads, 1);
}

TEST(ObjectDefs, MeshTypesFramesBoundsAndOverrides) {
    BankFolder f;
    f.dir.Write("3do/Game/m2.3do", SerializeMesh(MakeMesh({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}})));
    f.Bank("[Object 5]\nCube=FALSE\nMesh1=tall.3do\nMesh2=m2.3do\nMesh3=tall.3do\nMesh5=tall.3do\n"
           "Xmin=-56\nXmax=999\nYmax=10\nYmax2=20\nSpeed=100\n"
           "[Object 6]\nCube=maybe\n");
    f.Load();
    const ObjectDef& d = f.Def(5);
    EXPECT_FALSE(d.cube);
    EXPECT_EQ(d.animFrameCount, 3);  // Mesh4 is missing, so Mesh5 is never read
    EXPECT_TRUE(d.meshes[2]);
    EXPECT_FALSE(d.meshes[3]);
    EXPECT_FALSE(d.meshes[4]);
    // tall.3do spans x 0..10, y 0..300, z 0: midX 5 and midZ 0, so (0,0,0)
    // tops quarter 4 and (10,300,0) quarter 3.
    Bounds frame0 = MeshBounds(d.meshes[0].get());
    EXPECT_EQ(frame0, (Bounds{256, 266, 256, 256, 256, -256, -256, 556, 256}));
    Bounds want{200, 266, 256, 256, 256, 266, 276, 266, 266};
    EXPECT_EQ(d.bounds, want);
    for (int frame = 0; frame <= 3; ++frame) EXPECT_EQ(d.frameBounds[static_cast<std::size_t>(frame)][kXmin], 200) << frame;
    EXPECT_EQ(d.frameBounds[1][kXmax], MeshBounds(d.meshes[1].get())[kXmax]);  // 999 changes nothing
    EXPECT_EQ(d.frameBounds[1][kYmax2], 276);
    EXPECT_FLOAT_EQ(d.animSpeed, 0.9f);
    ASSERT_TRUE(d.firstMeshCopy);
    EXPECT_NE(d.firstMeshCopy.get(), d.meshes[0].get());
    EXPECT_EQ(d.firstMeshCopy->y, d.meshes[0]->y);
    EXPECT_TRUE(d.meshReady);
    EXPECT_EQ(d.lastLoopTime, 1234);

    // Any Cube text but TRUE is a mesh object; with no Mesh1 it has no frames.
    EXPECT_FALSE(f.Def(6).cube);
    EXPECT_EQ(f.Def(6).animFrameCount, 0);
    EXPECT_EQ(f.Def(6).bounds, MeshBounds(nullptr));
    EXPECT_EQ(MeshBounds(nullptr), (Bounds{768, 256, 768, 768, 256, -256, -256, -256, -256}));
}

TEST(ObjectDefs, MeshBoundsQuarters) {
    // x spans -100..100 and z -100..100: mid 0.  One vertex per quarter.
    Mesh m = MakeMesh({{-100, 1, -100}, {100, 2, -100}, {100, 3, 100}, {-100, 4, 100}, {0, -20, 0}});
    Bounds b = MeshBounds(&m);
    EXPECT_EQ(b, (Bounds{156, 356, 236, 156, 356, 257, 258, 259, 260}));
}

TEST(ObjectDefs, HeroSentryAndFixedMeshes) {
    BankFolder f;
    f.Bank("");
    f.Load();
    const HeroAssets& hero = f.assets.heroes[3];
    ASSERT_TRUE(hero.mesh);
    ASSERT_TRUE(hero.poseMesh[0]);
    EXPECT_NE(hero.mesh.get(), hero.poseMesh[0].get());
    EXPECT_EQ(hero.poseMesh[10]->VertexCount(), 2u);  // Hero_Shoot
    EXPECT_TRUE(hero.shadowMesh);
    EXPECT_EQ(hero.hurtSound, kHeroSoundSlot + 6);
    EXPECT_EQ(f.sounds.loaded[hero.hurtSound], "snd\\hurt.wav");  // kept as written
    EXPECT_TRUE(f.assets.sentryMesh);
    EXPECT_EQ(f.assets.sentrySeenSound, kSentrySoundSlot);
    EXPECT_EQ(f.assets.sentryLostSound, kNoSound);
    EXPECT_FALSE(f.world->skyMesh);

    for (const MeshFace& face : f.assets.exitMesh->faces) {
        EXPECT_EQ(face.kind, kFaceFlat);
        EXPECT_EQ(face.material, 200);  // the flat palette's white
    }
    EXPECT_EQ(f.assets.transitionMeshes[1]->x[0], -200);
    EXPECT_EQ(f.assets.transitionMeshes[1]->y[2], 100);
    EXPECT_EQ(f.assets.quadMesh->x, (std::vector<std::int32_t>{0, 1000, 1000, 0}));
    EXPECT_EQ(f.assets.quadMesh->faces[1].a, 2);
    EXPECT_EQ(f.assets.triangleMesh->y, (std::vector<std::int32_t>{-5, 5, 5}));
    EXPECT_EQ(f.assets.triangleMesh->faces[0].twoSided, 1);
    EXPECT_EQ(f.assets.triangleMesh->faces[0].corner, 1);
    EXPECT_EQ(f.graphics->lastSlot, 1);
    EXPECT_EQ(f.graphics->imageSlots[2].width, 2);

    // A sky appears only when named, and stays when a later bank names none.
    f.Bank("", "Sky.bnk");
    f.dir.Write("Sky.bnk", std::string(kGeneral) + "Sky=tall.3do\n");
    f.Load("Sky.bnk");
    ASSERT_TRUE(f.world->skyMesh);
    f.Load("Standard.bnk");
    EXPECT_TRUE(f.world->skyMesh);
}

TEST(ObjectDefs, Clips) {
    BankFolder f;
    f.world->clips[7].name = "kept";
    f.world->clips[4].objects[1] = std::make_shared<Mesh>();
    f.Bank("[Clip 4]\nName=Intro\nMusic=M.XM\nNextClip=5\nMusicLoop=TRUE\nPlayedSingle=no\nObject_0=tall.3do\n"
           "Frame_0_A=(1,2,3),(4,5,6)\nFrame_0_B=(7,8,9),(10,11,12)\nFrame_0_Duration=500\nFrame_0_Text=Hi|there\n"
           "Frame_0_Sample=s.wav\nFrame_0_Mesh_0_Index_A=1\nFrame_0_Mesh_0_A=(1,1,1),(2,2,2)\nFrame_0_Mesh_1_Index_B=4\n"
           "Frame_1_B=(9,9,9),(9,9,9)\nFrame_1_Duration=700\n"
           "[Clip 7]\n"
           "[Clip 64]\nName=Last\n");
    f.Load();
    const ClipDef& c = f.world->clips[4];
    EXPECT_EQ(c.name, "Intro");
    EXPECT_EQ(c.music, "M.XM");
    EXPECT_EQ(c.nextClip, 5);
    EXPECT_TRUE(c.musicLoop);
    EXPECT_FALSE(c.playedSingle);
    EXPECT_TRUE(c.cinemascope);
    EXPECT_TRUE(c.objects[0]);
    EXPECT_FALSE(c.objects[1]);  // no Object_1 key: slot cleared
    EXPECT_TRUE(c.hasFrames);
    const ClipFrame& f0 = c.frames[0];
    EXPECT_EQ(f0.cameraA, (std::array<std::int32_t, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(f0.cameraB[5], 12);
    EXPECT_EQ(f0.duration, 500);
    EXPECT_EQ(f0.text, "Hi|there");
    EXPECT_EQ(f0.ambientPercentA, 100);
    EXPECT_EQ(f0.sample, kClipSoundSlot + 8);
    EXPECT_EQ(f0.meshes[0].indexA, 1);
    EXPECT_EQ(f0.meshes[0].placeA[3], 2);
    EXPECT_EQ(f0.meshes[0].indexB, -1);
    EXPECT_EQ(f0.meshes[1].indexA, -1);
    EXPECT_EQ(f0.meshes[1].indexB, -1);  // not read without indexA
    // Frame 1 has no A key, so nothing of it is read.
    EXPECT_EQ(c.frames[1].duration, 0);
    EXPECT_EQ(c.frames[1].cameraB[0], 0);
    EXPECT_EQ(f.world->clips[7].name, "kept");  // an empty section leaves the clip alone
    EXPECT_EQ(f.world->clips[64].name, "Last");
    EXPECT_FALSE(f.world->clips[64].hasFrames);
}

// An empty value of a key whose presence matters reads as a missing key:
// nothing goes looking for the mesh folder itself.
TEST(ObjectDefs, EmptyValuesReadAsMissingKeys) {
    BankFolder f;
    f.dir.Write("Sky.bnk", std::string(kGeneral) + "Sky=tall.3do\n");
    f.Load("Sky.bnk");
    ASSERT_TRUE(f.world->skyMesh);
    f.dir.Write("Empty.bnk", std::string(kGeneral) + "Sky=\n" +
                                 "[Object 5]\nCube=FALSE\nMesh1=tall.3do\nMesh2=\nMesh3=tall.3do\n"
                                 "[Clip 3]\nName=C\nObject_0=\nFrame_0_A=\nFrame_0_Duration=500\n");
    ASSERT_NO_THROW(f.Load("Empty.bnk"));
    EXPECT_TRUE(f.world->skyMesh);  // an empty Sky keeps the sky, as no Sky key does
    EXPECT_EQ(f.Def(5).animFrameCount, 1);
    EXPECT_FALSE(f.world->clips[3].objects[0]);
    EXPECT_FALSE(f.world->clips[3].hasFrames);
}

// A bank load restarts each mesh type's loop-sound clock and forgets the
// frame it was blending from.
TEST(ObjectDefs, ReloadRestartsLoopClockAndPreviousFrame) {
    BankFolder f;
    f.Bank("[Object 5]\nCube=FALSE\nMesh1=tall.3do\nMesh2=tall.3do\nLoopSound=a.wav\nLoopDuration=100\n");
    f.Load();
    ObjectDef& d = f.world->objectDefs[5];
    d.previousAnimPosition = 1.5f;
    d.lastLoopTime = 99;
    f.context.now = 5000;
    f.Load("Standard.bnk", "Low");
    EXPECT_EQ(d.lastLoopTime, 5000);
    EXPECT_EQ(d.previousAnimPosition, 0);
}

TEST(ObjectDefs, SameNameAndModeLoadOnce) {
    BankFolder f;
    f.Bank("[Object 1]\nCube=TRUE\n");
    f.Load("STANDARD.BNK", "high");
    f.Bank("[Object 2]\nCube=TRUE\n");
    f.Load("Standard.bnk", "High");  // nothing to do
    EXPECT_FALSE(f.Def(1).undefined);
    EXPECT_TRUE(f.Def(2).undefined);
    EXPECT_EQ(f.afterLoads, 1);
    f.Load("Standard.bnk", "Low");  // another mode loads again
    EXPECT_TRUE(f.Def(1).undefined);
    EXPECT_FALSE(f.Def(2).undefined);
    EXPECT_FALSE(f.assets.textured);
    EXPECT_EQ(f.afterLoads, 2);
}

TEST(ObjectDefs, MissingFilesAreReportedAndRetried) {
    BankFolder f;
    try {
        f.Load("Nothing.bnk");
        FAIL();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The file Nothing.bnk is missing");
    }
    f.Bank("[Object 1]\nCube=FALSE\nMesh1=gone.3do\n");
    try {
        f.Load();
        FAIL();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The file 3DO/GAME/gone.3do is missing");
    }
    f.dir.Write("3do/Game/gone.3do", SerializeMesh(MakeMesh({{1, 2, 3}})));
    f.Load();  // the failed load did not count
    EXPECT_EQ(f.Def(1).animFrameCount, 1);

    // Collecting problems reports every missing file of a load at once.
    BankFolder g;
    g.dir.Write("TEX.TXT", "#IMAGES\n1=T/A.PCX\n2=T/NONE.PCX\n");
    g.Bank("Sky=nosky.3do\n[Object 1]\nCube=FALSE\nMesh1=gone.3do\nMesh2=tall.3do\n");
    std::filesystem::remove(g.dir / "INTERF/TITLE.PCX");
    AssetProblems problems;
    g.context.problems = &problems;
    g.Load();
    std::vector<std::string> files;
    for (const auto& p : problems) files.push_back(p.file);
    EXPECT_EQ(files, (std::vector<std::string>{"T/NONE.PCX", "INTERF/TITLE.PCX", "3DO/GAME/nosky.3do", "3DO/GAME/gone.3do"}));
    EXPECT_EQ(g.Def(1).animFrameCount, 2);
}

}  // namespace
}  // namespace zq
