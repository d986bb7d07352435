#include "ErrorCorrection.h"
#include "TextbookField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace zorvik;

namespace {

// A textbook systematic Reed-Solomon encoder over the QR field, independent
// of the decoder's tables: shift-and-reduce multiplication, generator
// g(x) = (x - a^0)(x - a^1)...(x - a^(ec-1)). Polynomials here are lists of
// coefficients, highest power first, like the codewords of a block.
using Coefficients = std::vector<int>;

int Mul(int a, int b) {
    return test::TextbookMultiply(a, b);
}
int Alpha(int power) {
    return test::TextbookAlpha(power);
}

Coefficients Generator(int ecCount) {
    Coefficients g{1};
    for (int i = 0; i < ecCount; ++i) {
        Coefficients next(g.size() + 1, 0);
        for (size_t j = 0; j < g.size(); ++j) {
            next[j] ^= g[j];                    // * x
            next[j + 1] ^= Mul(g[j], Alpha(i)); // * a^i
        }
        g = next;
    }
    return g;
}

// Remainder of m(x) * x^ecCount divided by g(x): ecCount coefficients.
Coefficients Remainder(const Coefficients& message, int ecCount) {
    const Coefficients g = Generator(ecCount);
    Coefficients work(message);
    work.resize(message.size() + ecCount, 0);
    for (size_t i = 0; i < message.size(); ++i) {
        const int factor = work[i];
        if (factor == 0) continue;
        for (size_t j = 0; j < g.size(); ++j) work[i + j] ^= Mul(g[j], factor);
    }
    return Coefficients(work.end() - ecCount, work.end());
}

struct BlockShape {
    const char* name;
    int n;
    int ecCount;
    int t;
};

// Blocks of real symbols: data + error correction codewords, correctable errors;
// and the longest block, with more checks than syndromes are worked out
// together for, so that both ways of working them out meet in one block.
const BlockShape kShapes[] = {
    {"1-L", 26, 7, 2},    {"1-M", 26, 10, 4},   {"1-H", 26, 17, 8},    {"3-L", 70, 15, 7},
    {"5-Q a", 33, 18, 9}, {"5-Q b", 34, 18, 9}, {"40-L", 151, 30, 15}, {"255/64", 255, 64, 15},
};

CodewordArray Encode(const BlockShape& shape, std::mt19937& random) {
    Coefficients data(shape.n - shape.ecCount);
    for (int& d : data) d = static_cast<int>(random() % 256);
    const Coefficients ec = Remainder(data, shape.ecCount);
    CodewordArray block{};
    std::copy(data.begin(), data.end(), block.begin());
    std::copy(ec.begin(), ec.end(), block.begin() + data.size());
    return block;
}

// Every syndrome r(a^k), k < ecCount, is zero.
bool IsCodeword(const CodewordArray& block, int n, int ecCount) {
    return test::TextbookIsCodeword(std::vector<int>(block.begin(), block.begin() + n), ecCount);
}

// Adds `count` errors of non-zero value at distinct random indexes.
std::vector<int> Damage(CodewordArray& block, int n, int count, std::mt19937& random) {
    std::vector<int> indexes(n);
    for (int i = 0; i < n; ++i) indexes[i] = i;
    std::shuffle(indexes.begin(), indexes.end(), random);
    indexes.resize(count);
    for (int index : indexes) block[index] ^= static_cast<int16_t>(1 + random() % 255);
    return indexes;
}

int16_t Correct(CodewordArray& block, const BlockShape& shape) {
    return CorrectBlock(block, static_cast<int16_t>(shape.n), static_cast<int16_t>(shape.t),
                        static_cast<int16_t>(shape.ecCount));
}

const BlockShape kVersion1L = kShapes[0];

} // namespace

TEST(CorrectBlock, TheTestEncoderMakesCodewords) {
    // Check the fixture itself: the well-known generator for 7 EC codewords.
    EXPECT_EQ(Generator(7), (Coefficients{1, 127, 122, 154, 164, 11, 68, 117}));
    std::mt19937 random(1);
    for (const BlockShape& shape : kShapes)
        EXPECT_TRUE(IsCodeword(Encode(shape, random), shape.n, shape.ecCount));
}

TEST(CorrectBlock, CleanBlocksReturnZeroUntouched) {
    std::mt19937 random(2);
    for (const BlockShape& shape : kShapes) {
        CodewordArray block = Encode(shape, random);
        const CodewordArray original = block;
        EXPECT_EQ(Correct(block, shape), 0) << shape.name;
        EXPECT_EQ(block, original) << shape.name;
    }
}

TEST(CorrectBlock, UpToTRandomErrorsAreCorrectedAndCounted) {
    std::mt19937 random(3);
    for (const BlockShape& shape : kShapes) {
        for (int errors = 1; errors <= shape.t; ++errors) {
            for (int trial = 0; trial < 40; ++trial) {
                CodewordArray block = Encode(shape, random);
                const CodewordArray original = block;
                Damage(block, shape.n, errors, random);
                ASSERT_EQ(Correct(block, shape), errors) << shape.name << " errors " << errors;
                ASSERT_EQ(block, original) << shape.name << " errors " << errors;
            }
        }
    }
}

TEST(CorrectBlock, OneErrorAtEveryIndexAndTwoInVersion1L) {
    std::mt19937 random(4);
    const CodewordArray original = Encode(kVersion1L, random);
    for (int index = 0; index < kVersion1L.n; ++index) {
        CodewordArray block = original;
        block[index] ^= 0x5A;
        EXPECT_EQ(Correct(block, kVersion1L), 1) << index;
        EXPECT_EQ(block, original) << index;
    }
    // 4 syndromes only, for a block with 7 EC codewords: one data and one EC error.
    CodewordArray block = original;
    block[3] ^= 0xFF;
    block[24] ^= 0x01;
    EXPECT_EQ(Correct(block, kVersion1L), 2);
    EXPECT_EQ(block, original);
}

TEST(CorrectBlock, ALocatorRootOutsideTheBlockGivesMinusOneUnchanged) {
    // Shortened code: a 26-codeword block is a 255-codeword one with leading
    // zeros. Adding R = 0x37 * x^200 mod g(x) to the EC codewords gives the
    // block exactly the syndromes of one error at position 200.
    std::mt19937 random(5);
    for (const BlockShape& shape : {kShapes[0], kShapes[2]}) {
        Coefficients single(201 - shape.ecCount, 0); // x^(200 - ecCount), times x^ecCount
        single[0] = 0x37;
        const Coefficients r = Remainder(single, shape.ecCount);
        CodewordArray block = Encode(shape, random);
        for (int j = 0; j < shape.ecCount; ++j) block[shape.n - shape.ecCount + j] ^= r[j];
        const CodewordArray damaged = block;
        EXPECT_EQ(Correct(block, shape), -1) << shape.name;
        EXPECT_EQ(block, damaged) << shape.name;
    }
}

TEST(CorrectBlock, BeyondTErrorsOnlyTrueCodewordsAreReported) {
    std::mt19937 random(6);
    for (const BlockShape& shape : kShapes) {
        int rejected = 0;
        int trials = 0;
        for (int errors = shape.t + 1; errors <= std::min(shape.n, 3 * shape.t + 2); ++errors) {
            for (int trial = 0; trial < 30; ++trial, ++trials) {
                CodewordArray block = Encode(shape, random);
                Damage(block, shape.n, errors, random);
                const CodewordArray damaged = block;
                const int16_t result = Correct(block, shape);
                if (result < 0) {
                    ASSERT_EQ(result, -1);
                    ASSERT_EQ(block, damaged) << shape.name;
                    ++rejected;
                    continue;
                }
                // Zero is possible only where the 2t syndromes used cannot see
                // the damage; a count is a (wrong) codeword within t changes.
                if (result == 0) {
                    ASSERT_EQ(block, damaged);
                    continue;
                }
                ASSERT_TRUE(IsCodeword(block, shape.n, shape.ecCount)) << shape.name;
                ASSERT_LE(result, shape.t) << shape.name;
                int changed = 0;
                for (int j = 0; j < shape.n; ++j) changed += block[j] != damaged[j];
                ASSERT_LE(changed, result);
            }
        }
        EXPECT_GT(rejected * 10, trials * 9) << shape.name;
    }
}

TEST(CorrectBlock, AMiscorrectionIntoANonCodewordIsRejected) {
    // Version 1-L locates errors with 4 of its 7 syndromes. Damage a codeword
    // by a multiple of (x - a^0)..(x - a^3), invisible to those 4, plus one
    // error: the 4 syndromes show just that one error, so correcting it alone
    // leaves the multiple in place, which a^4..a^6 still see.
    const Coefficients g4 = Generator(4);
    std::mt19937 random(7);
    CodewordArray clean = Encode(kVersion1L, random);
    CodewordArray block = clean;
    for (size_t j = 0; j < g4.size(); ++j) block[10 + j] ^= g4[j]; // x^11 * g4(x)

    // The documented rule: all 2t syndromes zero means no error found.
    CodewordArray invisible = block;
    EXPECT_EQ(Correct(invisible, kVersion1L), 0);
    EXPECT_EQ(invisible, block);

    block[2] ^= 0x80;
    const CodewordArray damaged = block;

    // Judged by the 4 syndromes alone (as a block with 4 EC codewords), one
    // codeword changes: exactly the miscorrection a 4-syndrome check accepts.
    CodewordArray fourOnly = block;
    EXPECT_EQ(CorrectBlock(fourOnly, 26, 2, 4), 1);
    EXPECT_EQ(fourOnly[2], clean[2]);
    EXPECT_FALSE(IsCodeword(fourOnly, 26, 7));

    // With all 7 syndromes checked after correction, the block is refused.
    EXPECT_EQ(Correct(block, kVersion1L), -1);
    EXPECT_EQ(block, damaged);
}

TEST(CorrectBlock, MoreThanTCorrectionsAreRefusedEvenWhenTheyMakeACodeword) {
    // Found by fuzzing: with as many error-correction codewords as syndromes
    // (t = 2, 4 of each) three changes zero every syndrome, which no further
    // syndrome can refute. Three is more than the block can correct.
    CodewordArray block{};
    block[0] = 2, block[1] = 6, block[2] = 4;
    const CodewordArray received = block;
    EXPECT_EQ(CorrectBlock(block, 149, 2, 4), -1);
    EXPECT_EQ(block, received);
}

TEST(CorrectBlock, ArgumentsOutsideTheirRangesGiveMinusOne) {
    std::mt19937 random(8);
    const CodewordArray original = Encode(kVersion1L, random);
    struct Case {
        int n, t, ecCount;
    };
    for (const Case& c : {Case{0, 2, 7}, Case{256, 2, 7}, Case{-3, 2, 7}, Case{26, 0, 7},
                          Case{26, 16, 40}, Case{26, 4, 7}, Case{26, 2, 27}, Case{1, 1, 2}}) {
        CodewordArray block = original;
        EXPECT_EQ(CorrectBlock(block, static_cast<int16_t>(c.n), static_cast<int16_t>(c.t),
                               static_cast<int16_t>(c.ecCount)),
                  -1)
            << c.n << " " << c.t << " " << c.ecCount;
        EXPECT_EQ(block, original);
    }
    for (int16_t bad : {int16_t{256}, int16_t{-1}}) {
        CodewordArray block = original;
        block[5] = bad;
        const CodewordArray damaged = block;
        EXPECT_EQ(Correct(block, kVersion1L), -1);
        EXPECT_EQ(block, damaged);
    }
}
