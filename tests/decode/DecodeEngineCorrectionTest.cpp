// The decode driver on libqrencode symbols with whole codewords damaged:
// within the correctable limit of every block the text comes back and the
// error rate counts the corrected codewords; beyond it the run gives up
// rather than return a wrong text. Which modules make up which codeword is
// worked out here from the encoder's module roles and the placement order.
#include "DecodeEngine.h"

#include "EngineRun.h"
#include "QrFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace zorvik;

namespace {

using Cell = std::pair<int, int>;

// Encoding-region modules in placement order (ISO/IEC 18004, 7.7.3):
// two-column strips from the right edge, the first upwards, direction
// alternating; right module before left; the vertical timing column skipped.
std::vector<Cell> PlacementOrder(const test::Modules& roles) {
    const int n = int(roles.size());
    std::vector<Cell> order;
    bool upward = true;
    for (int right = n - 1; right > 0; right -= 2) {
        if (right == 6) right = 5;
        for (int i = 0; i < n; ++i) {
            const int r = upward ? n - 1 - i : i;
            for (int c : {right, right - 1})
                if (roles[r][c] == 'd' || roles[r][c] == 'e') order.push_back({r, c});
        }
        upward = !upward;
    }
    return order;
}

// Block structure of one version and level (ISO/IEC 18004, Table 9).
struct Layout {
    int version;
    int level;
    int blocks;
    int correctable; // per block
};

// A symbol with its codeword map: data codeword count D, error-correction
// count E, the cells of each interleaved codeword.
struct Damageable {
    Layout layout;
    std::string text;
    test::Modules modules;
    std::vector<Cell> order;
    int dataCount = 0, ecCount = 0;

    int Total() const { return dataCount + ecCount; }

    // Interleaved position of codeword j of block b (data first, then error
    // correction); the shorter blocks come first and the last data round
    // takes only the longer ones.
    int Position(int b, int j) const {
        const int n = layout.blocks, q = dataCount / n, longFrom = n - dataCount % n;
        const int blockData = q + (b >= longFrom ? 1 : 0);
        if (j < q) return j * n + b;
        if (j < blockData) return q * n + (b - longFrom);
        return dataCount + (j - blockData) * n + b;
    }
    int BlockSize(int b) const {
        const int n = layout.blocks, longFrom = n - dataCount % n;
        return dataCount / n + (b >= longFrom ? 1 : 0) + ecCount / n;
    }

    // Flips a random non-empty set of the eight modules of codeword k.
    void Damage(int k, std::mt19937& rng) {
        const int pattern = 1 + int(rng() % 255);
        for (int bit = 0; bit < 8; ++bit)
            if (pattern >> bit & 1) {
                const Cell cell = order[size_t(8 * k + bit)];
                char& m = modules[cell.first][cell.second];
                m = m == '1' ? '0' : '1';
            }
    }

    // Damages `count` distinct codewords of block b, chosen at random.
    void DamageBlock(int b, int count, std::mt19937& rng) {
        std::vector<int> js(size_t(BlockSize(b)));
        std::iota(js.begin(), js.end(), 0);
        std::shuffle(js.begin(), js.end(), rng);
        for (int i = 0; i < count; ++i) Damage(Position(b, js[size_t(i)]), rng);
    }
};

Damageable Make(const Layout& layout, std::mt19937& rng) {
    Damageable s{layout, "", {}, {}};
    const test::Modules roles = test::ModuleRoles(layout.version, layout.level);
    EXPECT_FALSE(roles.empty());
    s.order = PlacementOrder(roles);
    for (const std::string& row : roles) {
        s.dataCount += int(std::count(row.begin(), row.end(), 'd'));
        s.ecCount += int(std::count(row.begin(), row.end(), 'e'));
    }
    s.dataCount /= 8;
    s.ecCount /= 8; // drops the remainder bits, fewer than 8
    // The walk must meet every data module before any error-correction one.
    for (size_t i = 0; i < s.order.size(); ++i)
        EXPECT_EQ(roles[s.order[i].first][s.order[i].second],
                  i < size_t(8 * s.dataCount) ? 'd' : 'e')
            << "placement step " << i;
    EXPECT_EQ(s.ecCount % layout.blocks, 0);

    // A byte segment filling all but its header's codewords.
    for (int i = 0; i < s.dataCount - 3; ++i) s.text += char('a' + rng() % 26);
    s.modules = test::EncodeSegments({{2, s.text}}, layout.version, layout.level);
    EXPECT_FALSE(s.modules.empty());
    return s;
}

using test::Decode;
using test::Decoded;

std::string Name(const Layout& l) {
    return "version " + std::to_string(l.version) + " level " + "LMQH"[l.level];
}

// version  level  blocks  correctable per block
const Layout kLayouts[] = {
    {1, 0, 1, 2},    {1, 3, 1, 8},  {3, 0, 1, 7}, // misdecode-protection codewords
    {5, 2, 4, 9},    {7, 3, 5, 13},               // blocks of two lengths
    {40, 0, 25, 15},
};

TEST(DecodeEngineCorrection, OneCorrectedCodewordInVersion1) {
    std::mt19937 rng(1);
    Damageable s = Make(kLayouts[0], rng);
    s.Damage(5, rng);
    const Decoded d = Decode(s.modules);
    ASSERT_EQ(d.message, "");
    EXPECT_EQ(d.text, s.text);
    // 1 / 26 * 100 in double precision, kept as a float.
    EXPECT_FLOAT_EQ(d.result.ErrorRate, 3.8461538f);
}

TEST(DecodeEngineCorrection, ErrorsWithinEveryBlocksLimitAreCorrected) {
    std::mt19937 rng(18004);
    for (const Layout& layout : kLayouts) {
        for (int perBlock : {1, layout.correctable}) {
            SCOPED_TRACE(Name(layout) + ", " + std::to_string(perBlock) + " per block");
            Damageable s = Make(layout, rng);
            for (int b = 0; b < layout.blocks; ++b) s.DamageBlock(b, perBlock, rng);
            const Decoded d = Decode(s.modules);
            ASSERT_EQ(d.message, "");
            EXPECT_EQ(d.text, s.text);
            const int errors = perBlock * layout.blocks;
            EXPECT_FLOAT_EQ(d.result.ErrorRate, float(double(errors) / s.Total() * 100));
            const int bits = 4 + (layout.version < 10 ? 8 : 16) + 8 * int(s.text.size());
            EXPECT_EQ(d.result.DataWordCount, (bits + 7) / 8);
        }
    }
}

TEST(DecodeEngineCorrection, OneBlockOverItsLimitFailsTheSymbol) {
    std::mt19937 rng(7);
    for (const Layout& layout : kLayouts) {
        for (int bad : {0, layout.blocks - 1}) {
            SCOPED_TRACE(Name(layout) + ", block " + std::to_string(bad));
            Damageable s = Make(layout, rng);
            // The other blocks stay within their limit.
            for (int b = 0; b < layout.blocks; ++b)
                s.DamageBlock(b, b == bad ? layout.correctable + 1 : layout.correctable / 2, rng);
            const Decoded d = Decode(s.modules);
            EXPECT_EQ(d.message, kTooManyErrors);
            EXPECT_EQ(d.text, "");
        }
    }
}

TEST(DecodeEngineCorrection, ErrorsThatNoCodewordLiesNearAreAlwaysRejected) {
    // With d - 1 error-correction codewords per block, e errors with
    // e + correctable < d leave no codeword within reach: the block must be
    // refused, never miscorrected into another text.
    std::mt19937 rng(99);
    for (const Layout& layout : {kLayouts[0], kLayouts[1], kLayouts[2]}) {
        for (int trial = 0; trial < 20; ++trial) {
            Damageable s = Make(layout, rng);
            const int distance = s.ecCount + 1;
            const int errors = layout.correctable + 1 +
                               int(rng() % unsigned(distance - 2 * layout.correctable - 1));
            SCOPED_TRACE(Name(layout) + ", " + std::to_string(errors) + " errors");
            s.DamageBlock(0, errors, rng);
            const Decoded d = Decode(s.modules);
            EXPECT_EQ(d.message, kTooManyErrors);
            EXPECT_EQ(d.text, "");
        }
    }
}

TEST(DecodeEngineCorrection, FunctionModulesAndRemainderBitsAreNotRead) {
    std::mt19937 rng(3);
    // Version 2 has 7 remainder bits, version 7 version information blocks.
    for (const Layout& layout : {Layout{2, 1, 1, 8}, Layout{7, 0, 2, 10}}) {
        SCOPED_TRACE(Name(layout));
        Damageable s = Make(layout, rng);
        const test::Modules roles = test::ModuleRoles(layout.version, layout.level);
        const int n = int(roles.size());
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                if (roles[r][c] == '-') s.modules[r][c] = s.modules[r][c] == '1' ? '0' : '1';
        for (size_t i = size_t(8 * s.Total()); i < s.order.size(); ++i) {
            char& m = s.modules[s.order[i].first][s.order[i].second];
            m = m == '1' ? '0' : '1';
        }
        const Decoded d = Decode(s.modules);
        ASSERT_EQ(d.message, "");
        EXPECT_EQ(d.text, s.text);
        EXPECT_EQ(d.result.ErrorRate, 0.0f);
    }
}

} // namespace
