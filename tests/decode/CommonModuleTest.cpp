#include "CommonModule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace zorvik;

TEST(HexToBits, PadsCutsAndExpandsDigits) {
    EXPECT_EQ(HexToBits("A5", 8), "10100101");
    EXPECT_EQ(HexToBits("5", 8), "00000101");   // short value: leading zeros
    EXPECT_EQ(HexToBits("1FF", 8), "11111111"); // long value: lowest bits kept
    EXPECT_EQ(HexToBits("", 4), "0000");
    EXPECT_EQ(HexToBits(ToHex(0xC3), 8), "11000011");
}

TEST(BitsToInt, ReadsUnsignedValuesAndFaultsAbove32767) {
    EXPECT_EQ(BitsToInt(""), 0);
    EXPECT_EQ(BitsToInt("00010010"), 18);
    EXPECT_EQ(BitsToInt("0111111111111111"), 32767);
    EXPECT_THROW(BitsToInt("1000000000000000"), StageFault);
}

TEST(Numbers, RoundHalfEvenIsTheLibrarysNearestInteger) {
    // Halves, their neighbours, both signs, values near and past 2^52, and
    // the specials: the same value and the same sign as nearbyint.
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0, -0.0, 0.3, -0.3, 0.5, -0.5, 1.5, -1.5, 2.5, -2.5};
    values.insert(values.end(), {0.49999999999999994, -0.49999999999999994, 32767.5, -32768.5});
    values.insert(values.end(), {4503599627370495.5, -4503599627370495.5, 4503599627370496.0});
    values.insert(values.end(), {9007199254740993.0, 1e300, -1e300, 5e-324, kInfinity, -kInfinity});
    for (int i = -4000; i <= 4000; ++i) values.push_back(i / 8.0 + (i % 3) * 1e-9);
    for (double v : values) {
        const double r = RoundHalfEven(v);
        EXPECT_EQ(r, std::nearbyint(v)) << v;
        EXPECT_EQ(std::signbit(r), std::signbit(std::nearbyint(v))) << v;
    }
    EXPECT_TRUE(std::isnan(RoundHalfEven(std::numeric_limits<double>::quiet_NaN())));
}

TEST(Numbers, RoundHalfToEvenAndCheckTheSixteenBitRange) {
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(2.5000001), 3);
    EXPECT_EQ(TruncToInt16(-1.9), -1);
    EXPECT_EQ(TruncToInt16(1.9), 1);
    EXPECT_THROW(RoundToInt16(32767.5), StageFault);
    EXPECT_THROW(CheckedInt16(-32769), StageFault);
    EXPECT_EQ(CheckedInt16(-32768), -32768);
}

TEST(TextOperations, ReadBeyondTheEndShortAndFaultBeforeTheStart) {
    EXPECT_EQ(Mid("0110", 3, 5), "10");
    EXPECT_EQ(Mid("0110", 5, 2), "");
    EXPECT_EQ(MidRest("0110", 2), "110");
    EXPECT_THROW(Mid("0110", 0, 1), StageFault);
    EXPECT_THROW(CharAt("01", 3), StageFault);
    EXPECT_EQ(CharAt("01", 2), '1');
}
