// Every version and level of a real encoder's symbols through format
// reading, unmasking, read-out and de-interleaving: any wrong entry in the
// format, alignment, capacity or block tables, or a wrong step in the
// placement walk, leaves some block with a non-zero syndrome.
#include "CodewordReadout.h"
#include "CommonModule.h"
#include "ErrorCorrection.h"
#include "FormatInfo.h"

#include "QrFixtures.h"
#include "TextbookField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace zorvik;

namespace {

// Characters of one mode that fit about dataCount codewords, less a random
// share so the symbols are not all full.
int Capacity(int mode, int version, int dataCount) {
    static const int countBits[4][3] = {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}, {8, 10, 12}};
    int bits = 8 * dataCount - 4 - countBits[mode][version < 10 ? 0 : version < 27 ? 1 : 2];
    switch (mode) {
    case 0:
        return bits * 3 / 10;
    case 1:
        return bits * 2 / 11;
    case 2:
        return bits / 8;
    default:
        return bits / 13;
    }
}

std::string RandomData(int mode, int length, std::mt19937& rng) {
    static const std::string alnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    std::string s;
    for (int i = 0; i < length; ++i) {
        switch (mode) {
        case 0:
            s += char('0' + rng() % 10);
            break;
        case 1:
            s += alnum[rng() % alnum.size()];
            break;
        case 2:
            s += char(rng() % 256);
            break;
        default: {
            // Shift_JIS kanji: lead 0x89..0x9E, trail 0x40..0xFC without 0x7F.
            int trail = 0x40 + int(rng() % 188);
            if (trail >= 0x7F) ++trail;
            s += char(0x89 + rng() % 22);
            s += char(trail);
        }
        }
    }
    return s;
}

const char* const kModeIndicator[4] = {"0001", "0010", "0100", "1000"};

} // namespace

TEST(SymbolTablesSweep, EveryVersionAndLevelReadsBackIntoCleanBlocks) {
    std::mt19937 rng(18004);
    std::set<int> masksSeen;
    for (int version = 1; version <= 40; ++version) {
        for (int level = 0; level < 4; ++level) {
            SCOPED_TRACE("version " + std::to_string(version) + " level " + std::to_string(level));
            const VersionCapacity cap = GetVersionCapacity(version);
            const int mode = (version + level) % 4;

            int length = Capacity(mode, version, cap.data[level]);
            length -= int(rng() % (length / 4 + 1)) + 1;
            test::Modules symbol;
            while (length > 0 && symbol.empty()) {
                symbol =
                    test::EncodeSegments({{mode, RandomData(mode, length, rng)}}, version, level);
                length = length * 9 / 10;
            }
            ASSERT_FALSE(symbol.empty());
            const int size = 4 * version + 17;
            ASSERT_EQ(int(symbol.size()), size);

            int16_t v, l, m;
            ReadFormatInfo(symbol, int16_t(size), int16_t(size), v, l, m);
            ASSERT_EQ(v, version);
            ASSERT_EQ(l, level);
            ASSERT_GE(m, 0);
            masksSeen.insert(m);

            std::string map = BuildFunctionMap(version);
            std::replace(map.begin(), map.end(), '1', '0');
            std::string bits;
            for (const auto& row : symbol) bits += row;
            bits = XorBitStrings(bits, BuildMaskString(m, map, size - 1));

            const int d = cap.data[level], e = cap.ec[level], n = cap.blocks[level];
            std::string codewordBits = ReadCodewordBits(version, bits, map, d + e);
            ASSERT_EQ(int(codewordBits.size()), 8 * (d + e));
            std::vector<BlockRecord> blocks = DeinterleaveBlocks(codewordBits, d, e, n);
            ASSERT_EQ(int(blocks.size()), n);
            ASSERT_EQ(e % n, 0);
            const int ecPerBlock = e / n;
            const int16_t t = GetCorrectableErrors(version, level);
            ASSERT_LE(2 * t, ecPerBlock);

            EXPECT_EQ(blocks[0].DataBits.substr(0, 4), kModeIndicator[mode]);
            int dataSeen = 0;
            for (int k = 0; k < n; ++k) {
                const BlockRecord& block = blocks[k];
                ASSERT_EQ(int(block.EcBits.size()), 8 * ecPerBlock);
                std::vector<int> words;
                for (const std::string* part : {&block.DataBits, &block.EcBits})
                    for (size_t p = 0; p < part->size(); p += 8)
                        words.push_back(BitsToInt(part->substr(p, 8)));
                dataSeen += int(block.DataBits.size() / 8);
                EXPECT_TRUE(test::TextbookIsCodeword(words, ecPerBlock)) << "block " << k;

                CodewordArray array{};
                std::copy(words.begin(), words.end(), array.begin());
                const CodewordArray before = array;
                EXPECT_EQ(CorrectBlock(array, int16_t(words.size()), t, int16_t(ecPerBlock)), 0)
                    << "block " << k;
                EXPECT_EQ(array, before);
            }
            EXPECT_EQ(dataSeen, d);
        }
    }
    // libqrencode picks the mask; the sweep should have met all eight.
    EXPECT_EQ(masksSeen.size(), 8u);
}
