// The nearest-colour search (plain and grid) and the tables built with it.
#include "assets/colour_tables.h"

#include <random>

#include <gtest/gtest.h>

#include "asset_test_util.h"

namespace zq {
namespace {

// Palettes that stress the grid: random, many duplicates, a grey ramp, one
// colour everywhere, and a few colours at the corners of the cube.
std::vector<Palette> TestPalettes() {
    std::vector<Palette> palettes;
    std::mt19937 random(12345);
    Palette p;
    for (int i = 0; i < kPaletteSize; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.red[k] = static_cast<std::uint8_t>(random());
        p.green[k] = static_cast<std::uint8_t>(random());
        p.blue[k] = static_cast<std::uint8_t>(random());
    }
    palettes.push_back(p);
    for (int i = 0; i < kPaletteSize; ++i) {  // only 16 distinct colours, each repeated
        auto k = static_cast<std::size_t>(i), from = static_cast<std::size_t>(i % 16);
        p.red[k] = p.red[from];
        p.green[k] = p.green[from];
        p.blue[k] = p.blue[from];
    }
    palettes.push_back(p);
    for (int i = 0; i < kPaletteSize; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.red[k] = p.green[k] = p.blue[k] = static_cast<std::uint8_t>(i);
    }
    palettes.push_back(p);
    palettes.push_back(Palette{});  // all black
    for (int i = 0; i < kPaletteSize; ++i) {
        auto k = static_cast<std::size_t>(i);
        p.red[k] = (i & 1) ? 255 : 0;
        p.green[k] = (i & 2) ? 255 : 0;
        p.blue[k] = (i & 4) ? 255 : 0;
    }
    palettes.push_back(p);
    palettes.push_back(test::RampPalette(4));
    return palettes;
}

TEST(NearestColour, LaterIndexWinsTiesWithinTheRange) {
    Palette p;
    p.red[3] = 10;
    p.red[7] = 30;  // both 10 away from 20
    EXPECT_EQ(NearestColour(p, 20, 0, 0, 1, 254), 7);
    EXPECT_EQ(NearestColour(p, 20, 0, 0, 1, 6), 3);
    EXPECT_EQ(NearestColour(p, 0, 0, 0, 1, 254), 254);  // every other entry is black
    EXPECT_EQ(NearestColour(p, 0, 0, 0, 0, 2), 2);
    p.red[255] = 200;
    EXPECT_EQ(NearestColour(p, 200, 0, 0, 1, 254), 7);  // 255 is outside the range
    EXPECT_EQ(NearestColour(p, 200, 0, 0, 0, 255), 255);
}

TEST(NearestColour, GridSearchAgreesWithThePlainSearchEverywhere) {
    for (const Palette& palette : TestPalettes()) {
        for (auto [first, last] : {std::pair{1, 254}, std::pair{0, 255}, std::pair{40, 41}}) {
            ColourSearch search(palette, first, last);
            int mismatches = 0;
            // Every colour whose components are multiples of 11, plus each
            // entry's neighbours and the cell borders (multiples of 32 and one below).
            auto check = [&](int r, int g, int b) {
                if (search.Find(r, g, b) != NearestColour(palette, r, g, b, first, last)) ++mismatches;
            };
            for (int r = 0; r < 256; r += 11)
                for (int g = 0; g < 256; g += 11)
                    for (int b = 0; b < 256; b += 11) check(r, g, b);
            for (int r = 31; r < 256; r += 64)
                for (int g = 32; g < 256; g += 64)
                    for (int b = 0; b < 256; b += 1) check(r, g, b);
            for (std::size_t i = 0; i < 256; ++i)
                for (int d = -2; d <= 2; ++d)
                    check(std::clamp(palette.red[i] + d, 0, 255), palette.green[i], std::clamp(palette.blue[i] - d, 0, 255));
            check(-5, 300, 12);  // outside the cube: plain search
            EXPECT_EQ(mismatches, 0) << first << ".." << last;
        }
    }
}

TEST(ShadeTable, FastTablesEqualThePlainDefinition) {
    std::vector<Palette> palettes = TestPalettes();
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{5}}) {
        const Palette& p = palettes[n];
        auto tables = std::make_unique<ColourTables>();
        const int fog[3] = {30, 200, 77};
        BuildShadeTable(*tables, p, fog[0], fog[1], fog[2]);
        for (int level = 0; level < kShadeLevels; ++level) {
            auto L = static_cast<std::size_t>(level);
            ASSERT_EQ(tables->shade[L][0], 0);
            for (std::size_t c = 1; c < 256; ++c) {
                std::uint8_t want = NearestColour(p, fog[0] + level * (p.red[c] - fog[0]) / 256,
                                                  fog[1] + level * (p.green[c] - fog[1]) / 256,
                                                  fog[2] + level * (p.blue[c] - fog[2]) / 256, 1, 254);
                ASSERT_EQ(tables->shade[L][c], want) << "palette " << n << " level " << level << " colour " << c;
            }
        }
        EXPECT_EQ(tables->shadeBackup, tables->shade);
    }
}

TEST(BlendTables, FastTablesEqualThePlainDefinition) {
    for (std::size_t n : {std::size_t{1}}) {
        const Palette p = TestPalettes()[n];
        auto tables = std::make_unique<ColourTables>();
        BuildBlendTables(*tables, p);
        for (int k = 0; k < kBlendLevels; ++k) {
            for (std::size_t s = 0; s < 256; ++s) {
                for (std::size_t d = 0; d < 256; ++d) {
                    auto mix = [&](int a, int b) {
                        return static_cast<int>(std::nearbyint(static_cast<float>(a) + static_cast<float>(b - a) * static_cast<float>(k) / 4.0f));
                    };
                    std::uint8_t want = NearestColour(p, mix(p.red[s], p.red[d]), mix(p.green[s], p.green[d]), mix(p.blue[s], p.blue[d]), 0, 254);
                    ASSERT_EQ(tables->blend[static_cast<std::size_t>(k)][s][d], want) << k << " " << s << " " << d;
                }
            }
        }
    }
}

TEST(FogColour, RebuildsOnlyWhenColourOrPaletteChanges) {
    auto tables = std::make_unique<ColourTables>();
    Palette p = test::RampPalette();
    EXPECT_TRUE(SetFogColour(*tables, p, 10, 20, 30));
    EXPECT_EQ(tables->shade[0][5], NearestColour(p, 10, 20, 30, 1, 254));  // level 0 is the fog
    EXPECT_FLOAT_EQ(tables->fogColour[1], 20.0f / 256.0f);
    EXPECT_EQ(tables->fogIndex[100], NearestColour(p, 10, 20, 30, 0, 255));

    tables->shade[3][3] = 99;  // a stereo-mode change, say
    EXPECT_FALSE(SetFogColour(*tables, p, 10, 20, 30));
    EXPECT_EQ(tables->shade[3][3], 99);
    EXPECT_TRUE(SetFogColour(*tables, p, 10, 20, 31));
    p.red[9] ^= 1;
    EXPECT_TRUE(SetFogColour(*tables, p, 10, 20, 31));
    EXPECT_FALSE(SetFogColour(*tables, p, 10, 20, 31));
}

}  // namespace
}  // namespace zq
