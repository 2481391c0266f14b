// zqtool's mesh, picture and bank verbs on hand-made files.
#include <algorithm>
#include <cstdio>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "assets/mesh.h"
#include "assets/pcx.h"
#include "test_util.h"

namespace zq {
namespace {

struct ToolRun : test::ToolRun {
    nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

ToolRun Tool(const std::string& args, const test::TempDir& dir) { return {test::RunTool(args, dir)}; }

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

Mesh Pyramid() {
    MeshRef m;
    CreateMesh(m, 3, 2);
    m->x = {-100, 100, 100, 0};
    m->y = {0, 10, 20, 300};
    m->z = {-100, -100, 100, 0};
    m->faces[0] = {0, 1, 2, 1, 0, 0, 0, 0};
    m->faces[1] = {1, 2, 3, 1, 1, 0, 3, 0};
    m->faces[2] = {3, 64, 64, 1, 0, 0, 2, 0};  // a sprite 64 x 64
    return *m;
}

Picture Tiny(int w, int h) {
    Picture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i) p.pixels.push_back(static_cast<std::uint8_t>(i * 50));
    for (int i = 0; i < 256; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.palette.red[k] = static_cast<std::uint8_t>(i);
        p.palette.green[k] = 1;
        p.palette.blue[k] = static_cast<std::uint8_t>(255 - i);
    }
    return p;
}

TEST(AssetVerbs, MeshInfo) {
    test::TempDir dir;
    Bytes bytes = SerializeMesh(Pyramid());
    dir.Write("p.3do", bytes);
    ToolRun run = Tool("mesh-info p.3do", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto info = run.Json();
    EXPECT_EQ(info["vertices"], 4);
    EXPECT_EQ(info["faces"], 3);
    EXPECT_EQ(info["kinds"], nlohmann::json({{"0", 1}, {"2", 1}, {"3", 1}}));
    // x and z -100..100 (mid 0): (-100,0,-100) quarter 1, (100,10,-100) quarter 2,
    // (100,20,100) and (0,300,0) quarter 3; quarter 4 keeps -512.
    EXPECT_EQ(info["bounds"], nlohmann::json({{"Xmin", 156}, {"Xmax", 356}, {"Ymin", 256}, {"Zmin", 156}, {"Zmax", 356},
                                              {"Ymax1", 256}, {"Ymax2", 266}, {"Ymax3", 556}, {"Ymax4", -256}}));

    bytes[kMeshHeaderSize + 12 * 4 + 16 + 2] = 9;  // face 1's b: vertex 9 of 4
    dir.Write("bad.3do", bytes);
    run = Tool("mesh-info bad.3do", dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err), 1);
    EXPECT_NE(run.err.find("bad.3do"), std::string::npos);
    dir.Write("short.3do", Bytes(bytes.begin(), bytes.begin() + 30));
    run = Tool("mesh-info short.3do", dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err), 1);
}

TEST(AssetVerbs, PcxInfo) {
    test::TempDir dir;
    dir.Write("t.pcx", EncodePcx(Tiny(4, 2)));
    ToolRun run = Tool("pcx-info t.pcx --interface", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto info = run.Json();
    EXPECT_EQ(info["width"], 4);
    EXPECT_EQ(info["height"], 2);
    EXPECT_EQ(info["pixels"], nlohmann::json({{0, 50, 100, 150}, {200, 250, 44, 94}}));
    ASSERT_EQ(info["palette"].size(), 256u);
    EXPECT_EQ(info["palette"][3], nlohmann::json({3, 1, 252}));

    dir.Write("odd.pcx", EncodePcx(Tiny(5, 1)));
    EXPECT_EQ(Tool("pcx-info odd.pcx", dir).exitCode, 0);
    run = Tool("pcx-info odd.pcx --interface", dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("G3D: The image odd.pcx must have an odd width"), std::string::npos);

    dir.Write("big.pcx", EncodePcx(Tiny(100, 41)));
    info = Tool("pcx-info big.pcx", dir).Json();
    EXPECT_FALSE(info.contains("pixels"));
    dir.Write("cut.pcx", std::string(200, '\x01'));
    run = Tool("pcx-info cut.pcx", dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err), 1);
}

// A small but complete data folder; `bank` is the text of "Standard.bnk".
void WriteData(const test::TempDir& dir, const std::string& bank) {
    Picture tex = Tiny(128, 128);
    dir.Write("TEX.TXT", "#IMAGES\n1=A.PCX\n2=A.PCX\n#TEXTURES\n3=1-2\n");
    dir.Write("A.PCX", EncodePcx(tex));
    for (const char* name : {"TQUIB", "TITLE", "OPTION", "SELECT", "BARRE", "RADAR", "RADARP1", "RADARP2", "RADARP3", "MOSAIC"})
        dir.Write(std::string("INTERF/") + name + ".PCX", EncodePcx(Tiny(2, 2)));
    dir.Write("INTERF/SMALFONT.PCX", EncodePcx(Tiny(40, 80)));
    dir.Write("INTERF/BIGFONT.PCX", EncodePcx(Tiny(90, 160)));
    Bytes mesh = SerializeMesh(Pyramid());
    dir.Write("3DO/editor/exit.3do", mesh);
    for (const char* name : {"Transi1", "Transi2", "Transi3", "podium", "flag", "hero", "box"})
        dir.Write(std::string("3DO/GAME/") + name + ".3do", mesh);
    dir.Write("hurt.wav", std::string("RIFF"));
    dir.Write("Standard.bnk", bank);
}

const char* const kHeroKeys =
    "[General]\nTexture=TEX.TXT\nHero_0=hero.3do\nHero_1=hero.3do\nHero_2=hero.3do\nHero_3=hero.3do\n"
    "Hero_Walk1=hero.3do\nHero_Walk2=hero.3do\nHero_Walk3=hero.3do\nHero_Walk4=hero.3do\nHero_Fall=hero.3do\n"
    "Hero_Crouch=hero.3do\nHero_Dead=hero.3do\nHero_Ladder1=hero.3do\nHero_Ladder2=hero.3do\nHero_Shoot=hero.3do\n"
    "Shadow=hero.3do\nEnnemy_Mesh=hero.3do\nHurtSound=hurt.wav\n";

TEST(AssetVerbs, BankInfoAndCheck) {
    test::TempDir dir;
    WriteData(dir, std::string(kHeroKeys) +
                       "[Object 1]\nCube=TRUE\nName=Gold\nLingot=TRUE\nLingotDoor=3\nFaceCColor=9\n"
                       "[Object 3]\nCube=FALSE\nMesh1=box.3do\nMesh2=box.3do\nDoor=TRUE\nSpeed=50\nZmax=0\n"
                       "[Clip 2]\nName=Outro\nFrame_0_A=(1,2,3),(4,5,6)\nFrame_0_Duration=10\n");
    ToolRun run = Tool("bank-info --data " + dir.Path().string() + " standard.bnk", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Without --data, the bank is read with the files of its own folder, wherever zqtool runs.
    test::TempDir elsewhere;
    ToolRun beside = Tool("bank-info " + (dir / "Standard.bnk").string(), elsewhere);
    ASSERT_EQ(beside.exitCode, 0) << beside.err;
    EXPECT_EQ(beside.out, run.out);
    auto info = run.Json();
    EXPECT_EQ(info["texture"], "TEX.TXT");
    ASSERT_EQ(info["objects"].size(), 2u);
    auto gold = info["objects"][0];
    EXPECT_EQ(gold["index"], 1);
    EXPECT_EQ(gold["Name"], "Gold");
    EXPECT_EQ(gold["Lingot"], true);
    EXPECT_EQ(gold["LingotDoor"], 3);
    EXPECT_EQ(gold["Collision"], true);
    EXPECT_EQ(gold["FaceCColor"], 9);
    EXPECT_EQ(gold["bounds"]["Xmax"], 511);
    EXPECT_EQ(gold["animFrameCount"], 0);  // cube types show their animation fields too
    EXPECT_EQ(gold["animSpeed"], 0);
    auto door = info["objects"][1];
    EXPECT_EQ(door["AnimDoor"], 3);
    EXPECT_EQ(door["animFrameCount"], 2);
    EXPECT_NEAR(door["animSpeed"].get<double>(), 0.45, 1e-6);
    EXPECT_EQ(door["bounds"]["Zmax"], 256);
    EXPECT_EQ(door["bounds"]["Ymax3"], 556);
    ASSERT_EQ(info["clips"].size(), 1u);
    EXPECT_EQ(info["clips"][0]["index"], 2);
    EXPECT_EQ(info["clips"][0]["Name"], "Outro");
    EXPECT_EQ(info["clips"][0]["hasFrames"], true);
    EXPECT_EQ(info["clips"][0]["frames"][0]["A"], nlohmann::json({1, 2, 3, 4, 5, 6}));

    run = Tool("bank-check --data " + dir.Path().string(), dir);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.Json()["ok"], true);

    // Break several things at once: every one is listed.
    std::filesystem::remove(dir / "3DO/GAME/box.3do");
    std::filesystem::remove(dir / "INTERF/RADAR.PCX");
    std::filesystem::remove(dir / "hurt.wav");
    dir.Write("A.PCX", std::string(100, 'x'));
    run = Tool("bank-check --data " + dir.Path().string(), dir);
    EXPECT_EQ(run.exitCode, 1);
    auto check = run.Json();
    EXPECT_EQ(check["ok"], false);
    std::set<std::string> files;
    for (const auto& p : check["problems"]) files.insert(p["file"].get<std::string>());
    EXPECT_EQ(files, (std::set<std::string>{"A.PCX", "INTERF/RADAR.PCX", "3DO/GAME/box.3do", "hurt.wav"}));

    run = Tool("bank-info --data " + dir.Path().string() + " Standard.bnk", dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err), 1);

    test::TempDir empty;
    run = Tool("bank-check --data " + empty.Path().string(), empty);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Json()["problems"][0]["error"], "G3D: The file Standard.bnk is missing");
}

}  // namespace
}  // namespace zq
