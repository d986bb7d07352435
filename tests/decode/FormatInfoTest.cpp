#include "FormatInfo.h"

#include "QrFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace zorvik;

namespace {

// Format code by its textbook definition: level bits (L 01, M 00, Q 11,
// H 10) and mask bits, BCH(15,5) with generator 10100110111, XOR 0x5412.
std::string TextbookFormat(int level, int mask) {
    static const int levelBits[] = {1, 0, 3, 2};
    int data = levelBits[level] << 3 | mask;
    int rem = data << 10;
    for (int i = 14; i >= 10; --i)
        if (rem >> i & 1) rem ^= 0x537 << (i - 10);
    int code = (data << 10 | rem) ^ 0x5412;
    std::string bits;
    for (int i = 14; i >= 0; --i) bits += (code >> i & 1) ? '1' : '0';
    return bits;
}

int Distance(const std::string& a, const std::string& b) {
    int d = 0;
    for (size_t i = 0; i < a.size(); ++i) d += a[i] != b[i];
    return d;
}

using Positions = std::vector<std::pair<int, int>>;

// Module positions of the two copies, most significant bit first (the
// layout of the format information in ISO/IEC 18004, figure 25).
Positions Copy1Positions() {
    return {{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
            {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8}};
}

Positions Copy2Positions(int across, int down) {
    Positions p;
    for (int k = 1; k <= 7; ++k) p.push_back({down - k, 8});
    for (int c = across - 8; c < across; ++c) p.push_back({8, c});
    return p;
}

void Write(test::Modules& m, const Positions& at, const std::string& code) {
    for (size_t i = 0; i < at.size(); ++i) m[at[i].first][at[i].second] = code[i];
}

std::string Read(const test::Modules& m, const Positions& at) {
    std::string s;
    for (auto [r, c] : at) s += m[r][c];
    return s;
}

// code with the given positions (0-based bit indexes) flipped.
std::string Flip(std::string code, std::initializer_list<int> bits) {
    for (int i : bits) code[i] = code[i] == '1' ? '0' : '1';
    return code;
}

struct Read3 {
    int16_t version, level, mask;
};

Read3 ReadMatrix(const test::Modules& m, int across, int down) {
    Read3 r{};
    ReadFormatInfo(m, int16_t(across), int16_t(down), r.version, r.level, r.mask);
    return r;
}

} // namespace

TEST(FormatInfoTable, EqualsTheBchCodesAndEntriesLieAtLeastSevenApart) {
    for (int l = 0; l < 32; ++l) {
        EXPECT_EQ(FormatInfoTable[l], TextbookFormat(l / 8, l % 8)) << "index " << l;
        EXPECT_EQ(MatchFormatExact(FormatInfoTable[l]), l);
        for (int k = 0; k < l; ++k)
            EXPECT_GE(Distance(std::string(FormatInfoTable[l]), std::string(FormatInfoTable[k])),
                      7);
    }
    EXPECT_EQ(MatchFormatExact("000000000000000"), -1);
}

class ReadFormatInfoDamage : public ::testing::Test {
  protected:
    void SetUp() override {
        symbol = test::EncodeSegments({{2, "damage"}}, 2, 2); // version 2, level Q
        ASSERT_EQ(symbol.size(), 25u);
        n = int(symbol.size());
        clean = Read(symbol, Copy1Positions());
        // The encoder's own placement agrees with the positions used here.
        ASSERT_EQ(clean, Read(symbol, Copy2Positions(n, n)));
        truth = MatchFormatExact(clean);
        ASSERT_GE(truth, 16);
        ASSERT_LT(truth, 24);
    }
    Read3 ReadWith(const std::string& copy1, const std::string& copy2) {
        test::Modules m = symbol;
        Write(m, Copy2Positions(n, n), copy2);
        Write(m, Copy1Positions(), copy1);
        return ReadMatrix(m, n, n);
    }
    test::Modules symbol;
    int n = 0;
    std::string clean;
    int truth = -1;
};

TEST_F(ReadFormatInfoDamage, CleanCopyOneWinsOverDamagedCopyTwo) {
    // Copy 2 turned into another valid code: copy 1's exact match comes first.
    const std::string other(FormatInfoTable[(truth + 9) % 32]);
    Read3 r = ReadWith(clean, other);
    EXPECT_EQ(r.level, 2);
    EXPECT_EQ(r.level * 8 + r.mask, truth);
    EXPECT_EQ(r.version, 2);
}

TEST_F(ReadFormatInfoDamage, CopyTwoExactBeatsCopyOneNear) {
    Read3 r = ReadWith(Flip(clean, {4}), clean);
    EXPECT_EQ(r.level * 8 + r.mask, truth);
}

TEST_F(ReadFormatInfoDamage, CopyOneNearIsTriedBeforeCopyTwoNear) {
    // Copy 2: five wrong bits chosen to bring it within 3 of another entry,
    // so taking copy 2's nearest match first would give the wrong code.
    int decoy = -1;
    std::vector<int> diff;
    for (int l = 0; l < 32 && decoy < 0; ++l) {
        std::string e(FormatInfoTable[l]);
        if (l == truth || Distance(e, clean) > 8) continue;
        decoy = l;
        for (int i = 0; i < 15; ++i)
            if (e[i] != clean[i]) diff.push_back(i);
    }
    ASSERT_GE(decoy, 0);
    std::string copy2 = Flip(clean, {diff[0], diff[1], diff[2], diff[3], diff[4]});
    ASSERT_EQ(MatchFormatNearest(copy2), decoy);

    Read3 r = ReadWith(Flip(clean, {0, 6, 12}), copy2);
    EXPECT_EQ(r.level * 8 + r.mask, truth);
}

TEST_F(ReadFormatInfoDamage, EqualCopiesWithOneWrongBitMatchNearest) {
    std::string bad = Flip(clean, {9});
    Read3 r = ReadWith(bad, bad);
    EXPECT_EQ(r.level * 8 + r.mask, truth);
}

TEST_F(ReadFormatInfoDamage, BothCopiesFarFromEveryEntryGiveMinusOne) {
    // Texts at distance 4 or more from every entry, by exhaustive search.
    std::vector<std::string> far;
    for (int v = 0; v < 1 << 15 && far.size() < 2; ++v) {
        std::string t;
        for (int i = 14; i >= 0; --i) t += (v >> i & 1) ? '1' : '0';
        int best = 15;
        for (auto e : FormatInfoTable) best = std::min(best, Distance(t, std::string(e)));
        if (best >= 4) far.push_back(t);
    }
    ASSERT_EQ(far.size(), 2u);
    for (const auto& [c1, c2] : {std::pair{far[0], far[1]}, std::pair{far[0], far[0]}}) {
        Read3 r = ReadWith(c1, c2);
        EXPECT_EQ(r.version, -1);
        EXPECT_EQ(r.level, -1);
        EXPECT_EQ(r.mask, -1);
    }
}

TEST(ReadFormatInfo, VersionComesFromTheColumnCountAlone) {
    // Format M/0 in copy 1 of a blank matrix of the given width.
    struct Case {
        int across;
        int16_t version;
    };
    for (Case c :
         {Case{21, 1}, {22, 1}, {24, 1}, {25, 2}, {45, 7}, {177, 40}, {20, 0}, {14, 0}, {13, -1}}) {
        test::Modules m(21, std::string(c.across, '0'));
        Write(m, Copy1Positions(), "101010000010010");
        Read3 r = ReadMatrix(m, c.across, 21);
        EXPECT_EQ(r.version, c.version) << c.across << " columns";
        EXPECT_EQ(r.level, 1);
        EXPECT_EQ(r.mask, 0);
    }
}

TEST(ReadFormatInfo, AMatrixTooSmallForThePositionsIsAStageFault) {
    int16_t v, l, k;
    EXPECT_THROW(ReadFormatInfo(test::Modules(8, std::string(21, '0')), 21, 21, v, l, k),
                 StageFault);
    EXPECT_THROW(ReadFormatInfo(test::Modules(21, std::string(8, '0')), 21, 21, v, l, k),
                 StageFault);
    // Counts larger than the matrix, and a module count too small for copy 2.
    EXPECT_THROW(ReadFormatInfo(test::Modules(21, std::string(21, '0')), 25, 25, v, l, k),
                 StageFault);
    EXPECT_THROW(ReadFormatInfo(test::Modules(21, std::string(21, '0')), 21, 5, v, l, k),
                 StageFault);
    EXPECT_THROW(ReadFormatInfo(test::Modules(21, std::string(21, '0')), 7, 21, v, l, k),
                 StageFault);
}
