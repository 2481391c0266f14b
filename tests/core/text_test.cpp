#include "core/random.h"
#include "core/scramble.h"
#include "core/text.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(ParseNumber, AcceptsOnlyWellFormedThirtyTwoBitIntegers) {
    EXPECT_EQ(ParseNumber("0"), 0);
    EXPECT_EQ(ParseNumber("-17"), -17);
    EXPECT_EQ(ParseNumber("2147483647"), 2147483647);
    EXPECT_EQ(ParseNumber("-2147483648"), INT32_MIN);
    // Pass the digit check but are not integers.
    for (const char* bad : {"", "-", "1-2", "--1", "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
    // Fail the digit check.
    for (const char* bad : {" 1", "1 ", "+1", "x", "1.5"}) EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
}

TEST(SixValues, FillsPiecesThatAreNumbersAndClearsTheRest) {
    std::array<std::int32_t, 6> v{9, 9, 9, 9, 9, 9};
    ParseSixValues("(1,-2,3),(4,5,-6)", v);
    EXPECT_EQ(v, (std::array<std::int32_t, 6>{1, -2, 3, 4, 5, -6}));

    v = {9, 9, 9, 9, 9, 9};
    ParseSixValues("(1,x,3),(4,,6)", v);  // non-numbers and empty pieces stay 0
    EXPECT_EQ(v, (std::array<std::int32_t, 6>{1, 0, 3, 4, 0, 6}));

    v = {9, 9, 9, 9, 9, 9};
    ParseSixValues("(1,2,3)", v);  // missing "),(" leaves the later values 0
    EXPECT_EQ(v, (std::array<std::int32_t, 6>{1, 2, 0, 0, 0, 0}));

    v = {9, 9, 9, 9, 9, 9};
    ParseSixValues("", v);  // empty text changes nothing
    EXPECT_EQ(v, (std::array<std::int32_t, 6>{9, 9, 9, 9, 9, 9}));
}

TEST(Scramble, XorsWithPositionAndIsItsOwnInverse) {
    EXPECT_EQ(Scramble("abc"), std::string("\x60\x60\x60"));
    EXPECT_EQ(Scramble(Scramble("abc")), "abc");
    // Positions past 255 wrap to their low 8 bits: byte 256 is XORed with 0.
    std::string long_text(300, 'x');
    std::string s = Scramble(long_text);
    EXPECT_EQ(s[255], 'x');
    EXPECT_EQ(s[256], static_cast<char>('x' ^ 1));
    EXPECT_EQ(Scramble(s), long_text);
}

TEST(Random, FollowsTheLinearSequenceAndHighBitsOfTheProduct) {
    Random r{0};
    EXPECT_EQ(r.Next(100), 0u);  // seed 1: (1 * 100) >> 32
    EXPECT_EQ(r.seed, 1u);
    EXPECT_EQ(r.Next(1u << 31), 134775814u >> 1);  // seed 134775814
    Random a{12345}, b{12345};
    for (int i = 0; i < 100; ++i) {
        std::uint32_t x = a.Next(32767);
        EXPECT_LT(x, 32767u);
        EXPECT_EQ(x, b.Next(32767));
    }
    Random one{77};
    EXPECT_EQ(one.Next(1), 0u);
    EXPECT_NE(one.seed, 77u);
}

TEST(Latin1, BecomesUtf8) { EXPECT_EQ(Latin1ToUtf8("caf\xe9"), "caf\xc3\xa9"); }

}  // namespace
}  // namespace zq
