#include "CodewordReadout.h"

#include "CommonModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace zorvik;

namespace {

char At(const std::string& square, int size, int r, int c) {
    return square[size_t(r) * size + c];
}

// Remainder bits per version, ISO/IEC 18004 Table 1.
int RemainderBits(int version) {
    if (version == 1 || version >= 35) return 0;
    if (version <= 6) return 7;
    if (version <= 13) return 0;
    if (version <= 20) return 3;
    if (version <= 27) return 4;
    return 3;
}

// 5 x 5 alignment pattern centred at (r, c): dark centre and outer ring.
bool AlignmentAt(const std::string& map, int size, int r, int c) {
    for (int dr = -2; dr <= 2; ++dr)
        for (int dc = -2; dc <= 2; ++dc) {
            int ring = std::max(std::abs(dr), std::abs(dc));
            char want = ring == 1 ? '0' : '1';
            if (At(map, size, r + dr, c + dc) != want) return false;
        }
    return true;
}

// A codeword bit string whose k-th codeword is the number k (mod 256).
std::string NumberedCodewords(int count) {
    std::string bits;
    for (int k = 0; k < count; ++k)
        for (int i = 7; i >= 0; --i) bits += (k & 0xFF) >> i & 1 ? '1' : '0';
    return bits;
}

std::vector<int> Codewords(const std::string& bits) {
    std::vector<int> out;
    for (size_t p = 0; p < bits.size(); p += 8) out.push_back(BitsToInt(bits.substr(p, 8)));
    return out;
}

} // namespace

TEST(BuildFunctionMap, LeavesExactlyTheEncodingRegionForEveryVersion) {
    for (int v = 1; v <= 40; ++v) {
        std::string map = BuildFunctionMap(v);
        int size = 4 * v + 17;
        ASSERT_EQ(map.size(), size_t(size * size));
        long long data = std::count(map.begin(), map.end(), '-');
        EXPECT_EQ(data, 8LL * GetVersionCapacity(v).total + RemainderBits(v)) << "version " << v;
        EXPECT_EQ(At(map, size, size - 8, 8), '1') << "dark module, version " << v;
    }
    EXPECT_THROW(BuildFunctionMap(0), StageFault);
    EXPECT_THROW(BuildFunctionMap(41), StageFault);
}

TEST(BuildFunctionMap, PlacesAlignmentPatternsOffTheFinders) {
    std::string v1 = BuildFunctionMap(1);
    EXPECT_EQ(std::count(v1.begin(), v1.end(), '-'), 208);

    std::string v2 = BuildFunctionMap(2);
    EXPECT_EQ(std::count(v2.begin(), v2.end(), '-'), 359);
    EXPECT_TRUE(AlignmentAt(v2, 25, 18, 18));

    // Version 7: the nine pairings of 6, 22, 38 less the three on finders,
    // including those on the timing row and column.
    std::string v7 = BuildFunctionMap(7);
    for (auto [r, c] : {std::pair{6, 22}, {22, 6}, {22, 22}, {22, 38}, {38, 22}, {38, 38}})
        EXPECT_TRUE(AlignmentAt(v7, 45, r, c)) << r << "," << c;
    // Both version information areas (3 x 6) are function modules.
    for (int i = 0; i < 6; ++i)
        for (int j = 34; j <= 36; ++j) {
            EXPECT_NE(At(v7, 45, i, j), '-');
            EXPECT_NE(At(v7, 45, j, i), '-');
        }
}

TEST(BuildMaskString, InvertsOnlyDataModulesWhereTheConditionHolds) {
    std::string open(21 * 21, '-');
    // Mask 4 at (3, 4): 3 div 2 + 4 div 3 = 2, even.
    EXPECT_EQ(At(BuildMaskString(4, open, 20), 21, 3, 4), '1');
    EXPECT_EQ(At(BuildMaskString(4, open, 20), 21, 4, 4), '0'); // 2 + 1, odd
    EXPECT_EQ(At(BuildMaskString(0, open, 20), 21, 20, 20), '1');

    // On a real map no function module is ever inverted.
    std::string map = BuildFunctionMap(2);
    std::replace(map.begin(), map.end(), '1', '0');
    for (int mask = 0; mask < 8; ++mask) {
        std::string m = BuildMaskString(mask, map, 24);
        ASSERT_EQ(m.size(), map.size());
        for (size_t i = 0; i < m.size(); ++i) {
            if (map[i] != '-') {
                ASSERT_EQ(m[i], '0') << "mask " << mask << " at " << i;
            }
        }
    }
    EXPECT_THROW(BuildMaskString(8, map, 24), StageFault);
    EXPECT_THROW(BuildMaskString(0, map, 25), StageFault);
}

TEST(XorBitStrings, XorsPositionwiseToTheLengthOfTheFirst) {
    EXPECT_EQ(XorBitStrings("0011001111", "0101010101"), "0110011010");
    EXPECT_EQ(XorBitStrings("011", "11111111111"), "100");
    EXPECT_EQ(XorBitStrings("", "1"), "");
    // A shorter b: within the last chunk its characters meet the chunk's end.
    EXPECT_EQ(XorBitStrings("0000000000", "111111111"), "1111111101");
    EXPECT_EQ(XorBitStrings("00000000000", "1"), "00000001000");
}

TEST(ReadCodewordBits, WalksFromTheBottomRightCornerUpwards) {
    std::string map = BuildFunctionMap(1);
    std::replace(map.begin(), map.end(), '1', '0');
    int row = 20, column = 20, toggle = 1, direction = -1;
    std::vector<std::pair<int, int>> visited;
    for (int k = 0; k < 4; ++k) {
        NextDataModule(map, 20, row, column, toggle, direction);
        visited.push_back({row, column});
    }
    EXPECT_EQ(visited, (std::vector<std::pair<int, int>>{{20, 20}, {20, 19}, {19, 20}, {19, 19}}));

    // A symbol whose only dark module is (19, 20) reads as 0010 0000 ...
    std::string bits(21 * 21, '0');
    bits[19 * 21 + 20] = '1';
    std::string fresh = BuildFunctionMap(1);
    std::replace(fresh.begin(), fresh.end(), '1', '0');
    std::string cw = ReadCodewordBits(1, bits, fresh, 26);
    ASSERT_EQ(cw.size(), 208u);
    EXPECT_EQ(cw.find('1'), 2u);
    EXPECT_EQ(std::count(fresh.begin(), fresh.end(), '-'), 0);
}

TEST(ReadCodewordBits, LeavesRemainderBitsAndFaultsBeyondTheSymbol) {
    std::string map = BuildFunctionMap(2);
    std::replace(map.begin(), map.end(), '1', '0');
    std::string bits(25 * 25, '1');
    EXPECT_EQ(ReadCodewordBits(2, bits, map, 44).size(), 352u);
    EXPECT_EQ(std::count(map.begin(), map.end(), '-'), 7);

    std::string v1 = BuildFunctionMap(1);
    std::replace(v1.begin(), v1.end(), '1', '0');
    EXPECT_THROW(ReadCodewordBits(1, std::string(441, '0'), v1, 27), StageFault);
    EXPECT_THROW(ReadCodewordBits(1, std::string(400, '0'), v1, 26), StageFault);
}

TEST(DeinterleaveBlocks, ShorterBlocksComeFirstAndTakeNoLastPass) {
    // Version 5-Q: 62 data, 72 error-correction codewords in 4 blocks;
    // q = 15, s = 2.
    auto blocks = DeinterleaveBlocks(NumberedCodewords(134), 62, 72, 4);
    ASSERT_EQ(blocks.size(), 4u);
    const std::vector<int> dataSizes{15, 15, 16, 16};
    for (int b = 0; b < 4; ++b) {
        std::vector<int> data = Codewords(blocks[b].DataBits);
        std::vector<int> ec = Codewords(blocks[b].EcBits);
        ASSERT_EQ(int(data.size()), dataSizes[b]) << "block " << b;
        ASSERT_EQ(ec.size(), 18u);
        for (int i = 0; i < 15; ++i) EXPECT_EQ(data[i], 4 * i + b);
        for (int i = 0; i < 18; ++i) EXPECT_EQ(ec[i], 62 + 4 * i + b);
    }
    EXPECT_EQ(Codewords(blocks[2].DataBits).back(), 60);
    EXPECT_EQ(Codewords(blocks[3].DataBits).back(), 61); // the 62nd data codeword

    // Version 1-H: one block, 9 + 17.
    auto single = DeinterleaveBlocks(NumberedCodewords(26), 9, 17, 1);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].DataBits, NumberedCodewords(9));
    EXPECT_EQ(Codewords(single[0].EcBits).front(), 9);
    EXPECT_EQ(single[0].EcBits.size(), 17u * 8);

    EXPECT_THROW(DeinterleaveBlocks(NumberedCodewords(26), 9, 17, 0), StageFault);
}

// The capacity rows themselves are checked against the encoder by the sweep.
TEST(CapacityTables, CorrectHalfTheBlockCodewordsBeyondVersionThree) {
    // Misdecode protection in versions 1 to 3; half the per-block
    // error-correction codewords everywhere else.
    const int small[3][4] = {{2, 4, 6, 8}, {4, 8, 11, 14}, {7, 13, 9, 11}};
    for (int v = 1; v <= 40; ++v) {
        VersionCapacity c = GetVersionCapacity(v);
        for (int l = 0; l < 4; ++l) {
            ASSERT_EQ(c.ec[l] % c.blocks[l], 0) << "version " << v << " level " << l;
            int expected = v <= 3 ? small[v - 1][l] : c.ec[l] / c.blocks[l] / 2;
            EXPECT_EQ(GetCorrectableErrors(v, l), expected) << "version " << v << " level " << l;
        }
    }
    EXPECT_THROW(GetVersionCapacity(0), StageFault);
    EXPECT_THROW(GetVersionCapacity(41), StageFault);
    EXPECT_THROW(GetCorrectableErrors(41, 0), StageFault);
    EXPECT_THROW(GetCorrectableErrors(1, 4), StageFault);
}
