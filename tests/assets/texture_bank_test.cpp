// Texture bank files, texture slot animation and the blend-table cache.
#include "assets/texture_bank.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "asset_test_util.h"
#include "assets/pcx.h"
#include "core/errors.h"
#include "test_util.h"

namespace zq {
namespace {

struct BankFolder {
    test::TempDir dir;
    DataResolver data{dir.Path()};
    Palette main = test::RampPalette(1);
    Palette flat = test::RampPalette(2);

    BankFolder() {
        dir.Write("TEX/MAIN.PCX", EncodePcx(Gradient(main)));
        dir.Write("TEX/flat.pcx", EncodePcx(test::SolidPicture(128, 128, 9, flat)));
        dir.Write("TEX/SMALL.PCX", EncodePcx(test::SolidPicture(64, 128, 9, flat)));
    }
    static Picture Gradient(const Palette& palette) {
        Picture p = test::SolidPicture(128, 128, 0, palette);
        for (std::size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = static_cast<std::uint8_t>(i % 256);
        return p;
    }
    std::string Error(PixelFormat format, const std::string& bank) {
        dir.Write("B.TXT", bank);
        auto g = MakeGraphics(format);
        try {
            LoadTextureBank(*g, data, "B.TXT");
        } catch (const FatalError& e) {
            return e.what();
        }
        return "";
    }
};

TEST(TextureBank, ImagesPalettesAndSlots) {
    BankFolder f;
    f.dir.Write("B.TXT",
                "header text\r\n"
                "  # images \r\n"
                "1=TEX/MAIN.PCX\r\n"
                " 2 =\ttex / flat.pcx\r\n"
                "\r\n"
                "7=Tex/Flat.pcx\n"
                "#TEXTURES\n"
                "3=1-2\n"
                "12 = 7 - 7\n");
    auto g = MakeGraphics(PixelFormat::kIndexed);
    LoadTextureBank(*g, f.data, "B.TXT");
    EXPECT_EQ(g->mainPalette, f.main);
    EXPECT_EQ(g->flatPalette, f.flat);
    ASSERT_TRUE(g->bankImages[1]);
    ASSERT_EQ(g->bankImages[1]->size(), kBankImageBytes);
    EXPECT_EQ((*g->bankImages[1])[300], 300 % 256);  // the first image keeps its indices
    std::uint8_t nine = NearestColour(f.main, f.flat.red[9], f.flat.green[9], f.flat.blue[9], 1, 254);
    EXPECT_EQ((*g->bankImages[2])[0], nine);  // later images are remapped
    EXPECT_EQ((*g->bankImages[7])[5], nine);
    EXPECT_FALSE(g->bankImages[3]);
    EXPECT_EQ(g->tables->flatRemap[0], 0);
    EXPECT_EQ(g->tables->flatRemap[9], nine);
    EXPECT_EQ(g->lastSlot, 12);
    EXPECT_EQ(SlotImage(*g, 3), 1);
    EXPECT_EQ(SlotImage(*g, 12), 7);
    EXPECT_EQ(SlotImage(*g, 40000), 0);

    // RGBA keeps every image's own colours.
    auto gl = MakeGraphics(PixelFormat::kRgba);
    LoadTextureBank(*gl, f.data, "B.TXT");
    ASSERT_TRUE(gl->bankImages[2]);
    ASSERT_EQ(gl->bankImages[2]->size(), kBankImageBytes * 4);
    EXPECT_EQ((*gl->bankImages[2])[0], f.flat.red[9]);
    EXPECT_EQ((*gl->bankImages[2])[3], 255);
    EXPECT_EQ((*gl->bankImages[1])[3], 0);  // index 0 is transparent

    // Reloading another bank replaces the slots; the software build frees every
    // image first, the GL build keeps the images the new bank does not list.
    f.dir.Write("B.TXT", "#IMAGES\n#TEXTURES\n40=-7\n");
    LoadTextureBank(*g, f.data, "B.TXT");
    LoadTextureBank(*gl, f.data, "B.TXT");
    EXPECT_FALSE(g->bankImages[1]);
    ASSERT_TRUE(gl->bankImages[2]);
    EXPECT_EQ(gl->bankImages[2]->size(), kBankImageBytes * 4);
    EXPECT_EQ(g->lastSlot, 40);
    EXPECT_EQ(SlotImage(*g, 12), 0);
    EXPECT_EQ(g->textureSlots[40].first, 0);  // the empty first number counts as 0
    EXPECT_EQ(g->textureSlots[40].last, 7);
}

TEST(TextureBank, TexturesRightAfterImagesDefinesNothing) {
    BankFolder f;
    f.dir.Write("B.TXT", "#IMAGES\n#TEXTURES\n");
    auto g = MakeGraphics(PixelFormat::kRgba);
    LoadTextureBank(*g, f.data, "B.TXT");
    EXPECT_EQ(g->lastSlot, 0);
    for (const auto& image : g->bankImages) ASSERT_FALSE(image);
}

TEST(TextureBank, RefusesBadLinesNamingTheBankAndLine) {
    BankFolder f;
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "#IMAGES\n1=TEX/NONE.PCX\n"), "G3D: The file TEX/NONE.PCX is missing");
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "#IMAGES\n\n40000=TEX/MAIN.PCX\n"),
              "G3D: The texture bank B.TXT, line 3: image number outside 0..32767");
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "#IMAGES\n-1=TEX/MAIN.PCX\n"),
              "G3D: The texture bank B.TXT, line 2: image number outside 0..32767");
    EXPECT_EQ(f.Error(PixelFormat::kIndexed, "#IMAGES\n1=TEX/SMALL.PCX\n"),
              "G3D: The texture bank B.TXT, line 2: the image TEX/SMALL.PCX is 64 x 128, not 128 x 128");
    EXPECT_NE(f.Error(PixelFormat::kRgba, "#IMAGES\nTEX/MAIN.PCX\n").find("line 2"), std::string::npos);
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "#IMAGES\n#TEXTURES\n32768=1-2\n"),
              "G3D: The texture bank B.TXT, line 3: slot number outside 0..32767");
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "#IMAGES\n#TEXTURES\n5=1-99999\n"),
              "G3D: The texture bank B.TXT, line 3: image number outside 0..32767");
    EXPECT_NE(f.Error(PixelFormat::kRgba, "#IMAGES\n#TEXTURES\n5=12\n").find("slot=first-last"), std::string::npos);
    // A number that does not parse counts as 0.
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "#IMAGES\nX=TEX/MAIN.PCX\n#TEXTURES\nA=B-C\n"), "");
    EXPECT_EQ(f.Error(PixelFormat::kRgba, "nothing here"), "");
    try {
        auto g = MakeGraphics(PixelFormat::kRgba);
        LoadTextureBank(*g, f.data, "NONE.TXT");
        FAIL();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The file NONE.TXT is missing");
    }
}

TEST(TextureBank, ProblemListCollectsEveryFailure) {
    BankFolder f;
    f.dir.Write("B.TXT", "#IMAGES\n1=TEX/MAIN.PCX\n2=TEX/GONE.PCX\n3=TEX/SMALL.PCX\n4=TEX/FLAT.PCX\n#TEXTURES\n1=1-4\n9=x\n");
    auto g = MakeGraphics(PixelFormat::kRgba);
    AssetProblems problems;
    LoadTextureBank(*g, f.data, "B.TXT", &problems);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].file, "TEX/GONE.PCX");
    EXPECT_EQ(problems[1].file, "TEX/SMALL.PCX");
    EXPECT_EQ(problems[2].file, "B.TXT");
    EXPECT_TRUE(g->bankImages[4]);
    EXPECT_EQ(g->flatPalette, Palette{});  // the second image line failed
    EXPECT_EQ(g->lastSlot, 1);
}

TEST(TextureBank, LinesNamingOnePictureShareItAndTheBankHasACeiling) {
    BankFolder f;
    std::string bank = "#IMAGES\n1=TEX/MAIN.PCX\n";
    for (int i = 2; i < kImageNumberCount; ++i) bank += std::to_string(i) + "=TEX/FLAT.PCX\n";
    f.dir.Write("B.TXT", bank);
    auto gl = MakeGraphics(PixelFormat::kRgba);
    LoadTextureBank(*gl, f.data, "B.TXT");
    ASSERT_TRUE(gl->bankImages[kImageNumberCount - 1]);
    EXPECT_EQ(gl->bankImages[2], gl->bankImages[kImageNumberCount - 1]);  // one decoded copy
    EXPECT_EQ(gl->flatPalette, f.flat);

    // Distinct pictures past the ceiling refuse the bank, which changes nothing.
    f.dir.Write("TEX/OTHER.PCX", EncodePcx(test::SolidPicture(128, 128, 3, f.flat)));
    f.dir.Write("B.TXT", "#IMAGES\n1=TEX/FLAT.PCX\n2=TEX/MAIN.PCX\n3=TEX/MAIN.PCX\n4=TEX/OTHER.PCX\n#TEXTURES\n1=1-2\n");
    const BankImage before = gl->bankImages[2];
    gl->bankPictureLimit = 2 * 4 * kBankImageBytes;
    try {
        LoadTextureBank(*gl, f.data, "B.TXT");
        ADD_FAILURE() << "loaded past the ceiling";
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The texture bank B.TXT, line 5: its pictures need more than 128 KiB");
    }
    EXPECT_EQ(gl->bankImages[2], before);
    EXPECT_EQ(gl->bankImages[4], before);  // still the flat picture of the first bank
    EXPECT_EQ(gl->lastSlot, 0);
    EXPECT_EQ(gl->mainPalette, f.main);
}

TEST(TextureSlots, AnimateForwardsBackwardsAndStill) {
    auto g = MakeGraphics(PixelFormat::kRgba);
    g->textureSlots[0] = {10, 12, 10};
    g->textureSlots[1] = {12, 10, 12};
    g->textureSlots[2] = {7, 7, 7};
    g->textureSlots[3] = {1, 2, 1};  // beyond lastSlot: never stepped
    g->lastSlot = 2;
    std::vector<std::int32_t> forwards, backwards, still;
    for (int i = 0; i < 5; ++i) {
        forwards.push_back(SlotImage(*g, 0));
        backwards.push_back(SlotImage(*g, 1));
        still.push_back(SlotImage(*g, 2));
        StepTextureAnimation(*g);
    }
    EXPECT_EQ(forwards, (std::vector<std::int32_t>{10, 11, 12, 10, 11}));
    EXPECT_EQ(backwards, (std::vector<std::int32_t>{12, 11, 10, 12, 11}));
    EXPECT_EQ(still, (std::vector<std::int32_t>{7, 7, 7, 7, 7}));
    EXPECT_EQ(SlotImage(*g, 3), 1);
}

TEST(TextureBank, BlendCacheIsWrittenReusedAndRebuiltWhenShort) {
    BankFolder f;
    EXPECT_EQ(BlendCacheName("Tex.bnk"), "Tex.POT");
    EXPECT_EQ(BlendCacheName("ab"), "ab.POT");
    f.dir.Write("TEX.TXT", "#IMAGES\n1=TEX/MAIN.PCX\n");
    auto g = MakeGraphics(PixelFormat::kIndexed);
    LoadTextureBank(*g, f.data, "TEX.TXT");
    auto cache = f.dir / "TEX.POT";
    ASSERT_EQ(test::ReadText(cache).size(), kBlendTablesSize);
    auto built = g->tables->blend;
    EXPECT_EQ(built[2][5][9], built[2][9][5]);

    // A full cache is used as it is, even when the palette no longer matches it.
    f.dir.Write("TEX.POT", std::string(kBlendTablesSize + 10, '\x07'));
    auto g2 = MakeGraphics(PixelFormat::kIndexed);
    LoadTextureBank(*g2, f.data, "TEX.TXT");
    EXPECT_EQ(g2->tables->blend[3][200][100], 7);

    // A short one is rebuilt and rewritten.
    f.dir.Write("TEX.POT", std::string(300, '\x07'));
    LoadTextureBank(*g2, f.data, "TEX.TXT");
    EXPECT_EQ(g2->tables->blend, built);
    EXPECT_EQ(test::ReadText(cache).size(), kBlendTablesSize);

    // A cache that cannot be written beside the bank goes to the player's cache folder.
    test::TempDir userCache;
    const char* savedXdg = std::getenv("XDG_CACHE_HOME");
    const std::string saved = savedXdg ? savedXdg : "";
    setenv("XDG_CACHE_HOME", userCache.Path().c_str(), 1);
    std::filesystem::remove(cache);
    std::filesystem::create_directories(cache);  // a folder where the file should be
    auto g3 = MakeGraphics(PixelFormat::kIndexed);
    EXPECT_FALSE(ProvideBlendTables(*g3->tables, g->mainPalette, f.data, "TEX.TXT"));
    auto userFile = UserBlendCachePath(f.data, "TEX.POT");
    ASSERT_TRUE(userFile);
    EXPECT_EQ(userFile->parent_path().parent_path(), userCache / "zorvoquib");
    EXPECT_EQ(test::ReadText(*userFile).size(), kBlendTablesSize);
    EXPECT_TRUE(ProvideBlendTables(*g3->tables, g->mainPalette, f.data, "TEX.TXT"));  // and is read back there
    // A cache name that leaves the data folder is never written.
    EXPECT_FALSE(ProvideBlendTables(*g3->tables, g->mainPalette, f.data, "../escape.TXT"));
    EXPECT_FALSE(std::filesystem::exists(f.dir / "../escape.POT"));
    if (savedXdg) setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CACHE_HOME");
    std::filesystem::remove(cache);

    // The OpenGL build needs no tables and writes no cache.
    std::filesystem::remove(cache);
    auto gl = MakeGraphics(PixelFormat::kRgba);
    LoadTextureBank(*gl, f.data, "TEX.TXT");
    EXPECT_FALSE(std::filesystem::exists(cache));
}

}  // namespace
}  // namespace zq
