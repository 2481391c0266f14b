// PCX decoding (runs, short and damaged files, the even-width rule) and the
// interface image slots.
#include "assets/pcx.h"

#include <gtest/gtest.h>

#include "asset_test_util.h"
#include "assets/image_slots.h"
#include "core/errors.h"
#include "test_util.h"

namespace zq {
namespace {

// A file with the given sides, run-length bytes and a palette whose entry i is (i, 255 - i, i / 2).
Bytes RawPcx(int width, int height, const Bytes& data, bool marker = true) {
    // Sized once and filled in place: growing a vector whose size is known at
    // compile time makes GCC 12 warn about the move (-Warray-bounds) in
    // optimised builds.
    Bytes bytes(kPcxHeaderSize + data.size() + (marker ? 1 : 0) + 3 * 256, 0);
    bytes[0] = 10;
    bytes[8] = static_cast<std::uint8_t>((width - 1) & 255);
    bytes[9] = static_cast<std::uint8_t>((width - 1) >> 8);
    bytes[10] = static_cast<std::uint8_t>((height - 1) & 255);
    bytes[11] = static_cast<std::uint8_t>((height - 1) >> 8);
    std::size_t at = kPcxHeaderSize;
    for (std::uint8_t b : data) bytes[at++] = b;
    if (marker) bytes[at++] = 12;
    for (int i = 0; i < 256; ++i) {
        bytes[at++] = static_cast<std::uint8_t>(i);
        bytes[at++] = static_cast<std::uint8_t>(255 - i);
        bytes[at++] = static_cast<std::uint8_t>(i / 2);
    }
    return bytes;
}

std::string ErrorOf(const Bytes& bytes, bool interfaceImage) {
    try {
        DecodePcx(bytes, "P.PCX", interfaceImage);
    } catch (const FatalError& e) {
        return e.what();
    }
    return "";
}

TEST(Pcx, RunsCrossRowEndsAndStopAtThePictureEnd) {
    // 3 x 2: a run of five 7s fills row 0 and two pixels of row 1.
    Picture p = DecodePcx(RawPcx(3, 2, {192 + 5, 7, 9}), "P.PCX", false);
    EXPECT_EQ(p.width, 3);
    EXPECT_EQ(p.height, 2);
    EXPECT_EQ(p.pixels, (std::vector<std::uint8_t>{7, 7, 7, 7, 7, 9}));
    EXPECT_EQ(p.palette.red[200], 200);
    EXPECT_EQ(p.palette.green[200], 55);
    EXPECT_EQ(p.palette.blue[200], 100);

    // A run of 63 into a 2 x 2 picture is cut at its 4 pixels; a zero-length
    // run writes nothing.
    p = DecodePcx(RawPcx(2, 2, {192, 5, 255, 4, 1}), "P.PCX", false);
    EXPECT_EQ(p.pixels, (std::vector<std::uint8_t>{4, 4, 4, 4}));

    // Data that ends early (even inside a run) leaves the rest 0 and never
    // reads the palette as pixels.
    p = DecodePcx(RawPcx(4, 2, {3, 192 + 2, 8, 200}, false), "P.PCX", false);
    EXPECT_EQ(p.pixels, (std::vector<std::uint8_t>{3, 8, 8, 0, 0, 0, 0, 0}));
}

TEST(Pcx, EncodeDecodeRoundTrip) {
    Picture pic = test::SolidPicture(7, 5, 0, test::RampPalette(3));
    for (std::size_t i = 0; i < pic.pixels.size(); ++i) pic.pixels[i] = static_cast<std::uint8_t>(i < 20 ? 250 : i * 9);
    Picture back = DecodePcx(EncodePcx(pic), "P.PCX", false);
    EXPECT_EQ(back.width, 7);
    EXPECT_EQ(back.height, 5);
    EXPECT_EQ(back.pixels, pic.pixels);
    EXPECT_EQ(back.palette, pic.palette);
    Picture big = test::SolidPicture(128, 128, 193, test::RampPalette());
    EXPECT_EQ(DecodePcx(EncodePcx(big), "P.PCX", false).pixels, big.pixels);
}

TEST(Pcx, RefusesDamagedFilesAndEvenInterfaceWidths) {
    Bytes good = RawPcx(4, 4, {192 + 16, 1});
    EXPECT_EQ(ErrorOf(good, false), "");
    EXPECT_NE(ErrorOf(Bytes(good.begin(), good.begin() + 12), false).find("P.PCX"), std::string::npos);
    std::string shortError = ErrorOf(Bytes(good.begin(), good.begin() + 500), false);
    EXPECT_NE(shortError.find("P.PCX"), std::string::npos);
    EXPECT_NE(shortError.find("768"), std::string::npos);
    EXPECT_NE(ErrorOf(RawPcx(5000, 2, {}), false).find("too large"), std::string::npos);

    // Stored maximum x 319 (320 wide) is fine for an interface picture, 320 is not.
    EXPECT_EQ(ErrorOf(RawPcx(320, 1, {}), true), "");
    EXPECT_EQ(ErrorOf(RawPcx(321, 1, {}), true), "G3D: The image P.PCX must have an odd width");
    EXPECT_EQ(ErrorOf(RawPcx(321, 1, {}), false), "");  // bank pictures have no such rule

    test::TempDir dir;
    try {
        LoadPcx(DataResolver(dir.Path()), "INTERF/NONE.PCX");
        FAIL();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "G3D: The file INTERF/NONE.PCX is missing");
    }
}

TEST(ImageSlots, RgbaSlotsArePaddedToPowersOfTwo) {
    EXPECT_EQ(PaddedSide(1), 2);
    EXPECT_EQ(PaddedSide(2), 2);
    EXPECT_EQ(PaddedSide(3), 4);
    EXPECT_EQ(PaddedSide(128), 128);
    EXPECT_EQ(PaddedSide(129), 256);

    auto g = MakeGraphics(PixelFormat::kRgba);
    Picture pic = test::SolidPicture(100, 60, 5, test::RampPalette());
    pic.pixels[0] = 0;
    StoreImageSlot(*g, 7, pic);
    const ImageSlot& s = g->imageSlots[7];
    EXPECT_EQ(s.texWidth, 128);
    EXPECT_EQ(s.texHeight, 64);
    EXPECT_FLOAT_EQ(s.uExtent, 0.78125f);
    EXPECT_FLOAT_EQ(s.vExtent, 0.9375f);
    ASSERT_EQ(s.rgba.size(), 128u * 64u * 4u);
    EXPECT_EQ(s.rgba[3], 0);  // index 0 is transparent
    EXPECT_EQ(s.rgba[4], pic.palette.red[5]);
    EXPECT_EQ(s.rgba[7], 255);
    EXPECT_EQ(s.rgba[99 * 4 + 3], 255);
    EXPECT_EQ(s.rgba[100 * 4 + 3], 0);  // padding

    // Cutting clips to the picture: only the 10 x 4 corner that exists is kept.
    CutImageSlot(*g, 7, 90, 56, 50, 50, 8);
    EXPECT_EQ(g->imageSlots[8].width, 10);
    EXPECT_EQ(g->imageSlots[8].height, 4);
    EXPECT_EQ(g->imageSlots[8].texWidth, 16);
    EXPECT_EQ(g->imageSlots[8].rgba[3], 255);
}

TEST(ImageSlots, IndexedSlotsAreRemappedAndCutsAreClipped) {
    auto g = MakeGraphics(PixelFormat::kIndexed);
    g->mainPalette = test::RampPalette(1);
    Palette own = test::RampPalette(2);
    own.red[255] = g->mainPalette.red[255];  // the exact colour of main entry 255 ...
    own.green[255] = g->mainPalette.green[255];
    own.blue[255] = g->mainPalette.blue[255];
    Picture pic = test::SolidPicture(6, 4, 255, own);
    pic.pixels[0] = 0;
    for (int i = 0; i < 6; ++i) pic.pixels[static_cast<std::size_t>(6 + i)] = static_cast<std::uint8_t>(i + 1);
    StoreImageSlot(*g, 3, pic);
    const ImageSlot& s = g->imageSlots[3];
    ASSERT_EQ(s.pixels.size(), 24u);
    EXPECT_EQ(s.pixels[0], 0);
    EXPECT_NE(s.pixels[1], 255);  // ... is never mapped onto 255
    for (std::uint8_t p : std::vector<std::uint8_t>(s.pixels.begin() + 1, s.pixels.end())) EXPECT_NE(p, 0);

    CutImageSlot(*g, 3, -2, 1, 4, 1, 4);  // starts left of the picture
    ASSERT_EQ(g->imageSlots[4].width, 2);
    EXPECT_EQ(g->imageSlots[4].pixels, (std::vector<std::uint8_t>{s.pixels[6], s.pixels[7]}));
    CutImageSlot(*g, 3, 6, 0, 5, 5, 5);  // wholly outside: nothing
    EXPECT_TRUE(g->imageSlots[5].Empty());
    CutImageSlot(*g, 9, 0, 0, 5, 5, 5);  // empty source: nothing
    EXPECT_TRUE(g->imageSlots[5].Empty());
    CutImageSlot(*g, 3, 0, 0, 2, 2, kImageSlotCount);  // bad slot numbers are ignored
    CutImageSlot(*g, -1, 0, 0, 2, 2, 5);
    CutImageSlot(*g, 3, 0x7FFFFFF0, 0x7FFFFFF0, 0x7FFFFFF0, 5, 5);
    EXPECT_TRUE(g->imageSlots[5].Empty());

    ClearImageSlots(*g);
    EXPECT_TRUE(g->imageSlots[3].Empty());
    EXPECT_TRUE(g->imageSlots[3].pixels.empty());
}

TEST(ImageSlots, InterfaceImagesAndFontGlyphs) {
    test::TempDir dir;
    Palette pal = test::RampPalette();
    for (const char* name : {"TQUIB", "TITLE", "OPTION", "SELECT", "BARRE", "RADAR", "RADARP1", "RADARP2", "RADARP3"})
        dir.Write(std::string("INTERF/") + name + ".pcx", EncodePcx(test::SolidPicture(4, 2, 1, pal)));
    // A small font 40 pixels wide: glyphs step by 4 while x + 4 < 40 - 3.
    Picture font = test::SolidPicture(40, 80, 2, pal);
    dir.Write("INTERF/SMALFONT.PCX", EncodePcx(font));
    dir.Write("INTERF/BIGFONT.PCX", EncodePcx(test::SolidPicture(90, 160, 3, pal)));
    auto g = MakeGraphics(PixelFormat::kIndexed);
    g->mainPalette = pal;
    AssetProblems problems;
    LoadInterfaceImages(*g, DataResolver(dir.Path()), &problems);
    ASSERT_EQ(problems.size(), 1u);  // MOSAIC is missing
    EXPECT_EQ(problems[0].error, "G3D: The file INTERF/MOSAIC.PCX is missing");
    EXPECT_EQ(g->imageSlots[9].width, 4);
    EXPECT_EQ(g->imageSlots[50].width, 3);
    EXPECT_EQ(g->imageSlots[50].height, 7);
    EXPECT_EQ(g->imageSlots[149].width, 3);
    EXPECT_EQ(g->imageSlots[150].width, 8);
    EXPECT_EQ(g->imageSlots[150].height, 15);
    EXPECT_THROW(LoadInterfaceImages(*g, DataResolver(dir.Path())), FatalError);
}

}  // namespace
}  // namespace zq
