// Every routine of the decode/ kernels against its plain twin, on random
// bytes and on edge inputs, with lengths around the vector widths and
// random bytes past the end that must not count; and the finder search's
// prefilter against the exact check it stands in front of.
#include "CountKernels.h"
#include "FinderKernels.h"
#include "FinderSearch.h"
#include "GaloisKernels.h"
#include "GreyKernels.h"
#include "PixelLineKernels.h"
#include "SampleKernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

using namespace zorvik;

namespace {

using Bytes = std::vector<uint8_t>;

// Two lines of n bytes, each followed by random slack (which a kernel may
// read but must not count).
struct Lines {
    Bytes a, b;
    int n;
    const char* TextA() const { return reinterpret_cast<const char*>(a.data()); }
    const char* TextB() const { return reinterpret_cast<const char*>(b.data()); }
};

constexpr size_t kSlack = 32;

// The ways a line is filled: random bytes, '0' and '1' in runs of 1 to 9,
// all zero, all 255, alternating '0' and '1', one '1' among '0's.
enum Fill { kRandom, kRuns, kZero, kOnes, kAlternate, kSingle, kFills };

Bytes Line(Fill fill, int n, std::mt19937& random) {
    Bytes line(size_t(n) + kSlack);
    uint8_t text = '0';
    const size_t single = random() % size_t(n + 1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (i % (1 + random() % 9) == 0) text ^= 1;
        const uint8_t values[] = {uint8_t(random()),           text, 0, 255, uint8_t('0' + i % 2),
                                  uint8_t('0' + (i == single))};
        line[i] = i < size_t(n) ? values[fill] : uint8_t(random());
    }
    return line;
}

using Check = std::function<void(const Lines&)>;

// Each twin's outputs from the same inputs, required equal.
const std::vector<std::pair<const char*, Check>> kPairs = {
    {"FindChanges",
     [](const Lines& in) {
         // In a buffer of exactly the room asked for, with a guard behind.
         auto changes = [&](auto find, auto position) {
             std::vector<decltype(position)> out(size_t(std::max(in.n - 1, 0) + kChangeSlack) + 1,
                                                 -7);
             const auto end = find(in.a.data(), in.n, out.data());
             EXPECT_EQ(out.back(), -7) << "written past the room asked for";
             return std::vector<int>(out.data(), end);
         };
         const std::vector<int> plain = changes(FindChangesPlain<int>, 0);
         EXPECT_EQ(changes(FindChanges<int>, 0), plain);
         EXPECT_EQ(changes(FindChanges<int16_t>, int16_t(0)), plain);
         EXPECT_EQ(changes(FindChangesPlain<int16_t>, int16_t(0)), plain);
     }},
    {"FindDifferences",
     [](const Lines& in) {
         for (const Bytes* b : {&in.b, &in.a}) {
             auto differences = [&](auto find, auto position) {
                 std::vector<decltype(position)> out(size_t(in.n) + kChangeSlack + 1, -7);
                 const auto end = find(in.a.data(), b->data(), in.n, out.data());
                 EXPECT_EQ(out.back(), -7) << "written past the room asked for";
                 return std::vector<int>(out.data(), end);
             };
             const std::vector<int> plain = differences(FindDifferencesPlain<int>, 0);
             EXPECT_EQ(differences(FindDifferences<int>, 0), plain);
             EXPECT_EQ(differences(FindDifferences<int16_t>, int16_t(0)), plain);
         }
     }},
    {"Transpose16",
     [](const Lines& in) {
         if (in.n < 256) return;
         const uint8_t* rows[16];
         for (size_t i = 0; i < 16; ++i) rows[i] = in.a.data() + 16 * i;
         Bytes fast(20 * 16, 0), plain(20 * 16, 0);
         Transpose16(rows, fast.data(), 20);
         Transpose16Plain(rows, plain.data(), 20);
         EXPECT_EQ(fast, plain);
     }},
    {"ColourGreys",
     [](const Lines& in) {
         for (int bytes : {3, 4}) {
             const int width = in.n / bytes;
             const Bytes pixels(in.a.begin(), in.a.begin() + width * bytes); // nothing to read past
             Bytes fast(pixels.size() / size_t(bytes)), plain(fast);
             ColourGreys(pixels.data(), bytes, width, fast.data());
             ColourGreysPlain(pixels.data(), bytes, width, plain.data());
             EXPECT_EQ(fast, plain) << bytes << " bytes a pixel";
         }
     }},
    {"CountGreys",
     [](const Lines& in) {
         // The line whole, and as rows of a picture with every other one counted.
         const size_t n = size_t(in.n), width = n / 4;
         std::vector<uint64_t> fast(256, 3), plain(fast);
         CountGreys(in.a.data(), n, 1, n, fast.data());
         CountGreysPlain(in.a.data(), n, 1, n, plain.data());
         CountGreys(in.a.data(), width, 2, 2 * width, fast.data());
         CountGreysPlain(in.a.data(), width, 2, 2 * width, plain.data());
         EXPECT_EQ(fast, plain);
     }},
    {"AnyGreyIn, BinariseRow",
     [](const Lines& in) {
         const int ranges[][2] = {{0, 0},    {'0', 0}, {'1', 0}, {'0', 1},
                                  {100, 50}, {255, 0}, {0, 255}};
         for (auto [from, range] : ranges) {
             SCOPED_TRACE(testing::Message() << "from " << from << ", range " << range);
             EXPECT_EQ(AnyGreyIn(in.a.data(), size_t(in.n), uint8_t(from), uint8_t(range)),
                       AnyGreyInPlain(in.a.data(), size_t(in.n), uint8_t(from), uint8_t(range)));
             std::string fast(size_t(in.n), '?'), plain(size_t(in.n), '?');
             auto both = [&](const char* above) {
                 const bool a = BinariseRow(in.a.data(), in.n, uint8_t(from), uint8_t(range), above,
                                            fast.data());
                 EXPECT_EQ(a, BinariseRowPlain(in.a.data(), in.n, uint8_t(from), uint8_t(range),
                                               above, plain.data()));
                 EXPECT_EQ(fast, plain);
             };
             both(nullptr);
             both(in.TextB());
             std::string above = plain; // equal, then different at the last character
             both(above.data());
             if (in.n > 0) above.back() ^= 1, both(above.data());
         }
     }},
    {"AddLeastAndSum",
     [](const Lines& in) {
         for (uint8_t start : {uint8_t(255), uint8_t(7)}) {
             uint8_t fastLeast = start, plainLeast = start;
             uint64_t fastSum = 5, plainSum = 5;
             AddLeastAndSum(in.a.data(), in.n, fastLeast, fastSum);
             AddLeastAndSumPlain(in.a.data(), in.n, plainLeast, plainSum);
             EXPECT_EQ(fastLeast, plainLeast);
             EXPECT_EQ(fastSum, plainSum);
         }
     }},
    {"HalveRows",
     [](const Lines& in) {
         Bytes fast(size_t(in.n / 2)), plain(size_t(in.n / 2));
         HalveRows(in.a.data(), in.b.data(), in.n / 2, fast.data());
         HalveRowsPlain(in.a.data(), in.b.data(), in.n / 2, plain.data());
         EXPECT_EQ(fast, plain);
     }},
    {"SumByteDifferences, CountDifferent",
     [](const Lines& in) {
         EXPECT_EQ(SumByteDifferences(in.a.data(), in.b.data(), in.n),
                   SumByteDifferencesPlain(in.a.data(), in.b.data(), in.n));
         EXPECT_EQ(CountDifferent(in.TextA(), in.TextB(), in.n),
                   CountDifferentPlain(in.TextA(), in.TextB(), in.n));
     }},
    {"AddRunningDark",
     [](const Lines& in) {
         auto both = [&](auto count) {
             using Count = decltype(count);
             std::vector<Count> above(in.b.begin(), in.b.begin() + in.n + 1);
             for (Count& c : above) c = Count(c * 40503u); // spread over the whole width
             std::vector<Count> fast(above.size(), 1), plain(above.size(), 2);
             AddRunningDark(in.TextA(), in.n, above.data(), fast.data());
             AddRunningDarkPlain(in.TextA(), in.n, above.data(), plain.data());
             EXPECT_EQ(fast, plain) << sizeof(Count) << "-byte counts";
         };
         both(uint16_t(0));
         both(uint32_t(0));
     }},
    {"MarkFinderGroups",
     [](const Lines& in) {
         // Runs of up to a fifth of the line, so that no group is longer:
         // both arithmetics, up to their largest values.
         for (int lineLength : {2340, 32767}) {
             std::vector<int16_t> dark(size_t(in.n) + 2), light(size_t(in.n) + 1);
             for (size_t k = 0; k < dark.size(); ++k)
                 dark[k] = int16_t(in.a[k] * (lineLength / 5) / 255);
             for (size_t k = 0; k < light.size(); ++k)
                 light[k] = int16_t(in.b[k] * (lineLength / 5) / 255);
             Bytes fast(size_t(in.n)), plain(size_t(in.n));
             MarkFinderGroups(dark.data(), light.data(), in.n, lineLength, fast.data());
             MarkFinderGroupsPlain(dark.data(), light.data(), in.n, lineLength, plain.data());
             EXPECT_EQ(fast, plain) << "lines of " << lineLength;
         }
     }},
    {"MarkLongestMiddles, MarkLongestMiddlesWithin",
     [](const Lines& in) {
         // Ascending starts from runs of 0 to 127, or long ones up to the
         // 16-bit end; widths at the edges of both and beyond 16 bits.
         for (int scale : {1, 250}) {
             std::vector<int16_t> starts(size_t(in.n) + 5);
             for (size_t k = 1; k < starts.size(); ++k)
                 starts[k] =
                     int16_t(std::min(32767, starts[k - 1] + in.a[k % in.a.size()] % 128 * scale));
             Bytes fast(size_t(in.n)), plain(size_t(in.n));
             MarkLongestMiddles(starts.data(), in.n, fast.data());
             MarkLongestMiddlesPlain(starts.data(), in.n, plain.data());
             EXPECT_EQ(fast, plain) << "runs up to " << 127 * scale;
             for (const auto& [least, most] : {std::pair{12, 28}, std::pair{0, 32767},
                                               std::pair{300, 1 << 30}, std::pair{-5, 7}}) {
                 MarkLongestMiddlesWithin(starts.data(), in.n, least, most, fast.data());
                 MarkLongestMiddlesWithinPlain(starts.data(), in.n, least, most, plain.data());
                 EXPECT_EQ(fast, plain)
                     << "runs up to " << 127 * scale << ", widths " << least << " to " << most;
             }
         }
         // A window as wide as a 16-bit line may be, and limits at and beyond it.
         const int16_t widest[] = {0, 1, 2, 32765, 32766, 32767};
         for (int least : {32767, 32768}) {
             uint8_t fast = 2, plain = 3;
             MarkLongestMiddlesWithin(widest, 1, least, 1 << 30, &fast);
             MarkLongestMiddlesWithinPlain(widest, 1, least, 1 << 30, &plain);
             EXPECT_EQ(fast, plain) << "the widest window, widths from " << least;
         }
     }},
    {"NextFlagged",
     [](const Lines& in) {
         Bytes flags = in.a; // the slack past n random
         for (int k = 0; k < in.n; ++k) flags[size_t(k)] = in.a[size_t(k)] % 128 == '1' % 128;
         for (int fast = 0, plain = 0; fast < in.n || plain < in.n; ++fast, ++plain) {
             fast = NextFlagged(flags.data(), fast, in.n);
             plain = NextFlaggedPlain(flags.data(), plain, in.n);
             ASSERT_EQ(fast, plain);
         }
     }},
    {"EvaluateSyndromes, EvaluateSixteen",
     [](const Lines& in) {
         const int n = std::min(in.n, 255);
         std::vector<int16_t> codewords(in.a.begin(), in.a.begin() + n);
         for (size_t count : {0, 1, 16, 30, 32, 33, 255}) {
             std::vector<int16_t> fast(count), plain(count);
             EvaluateSyndromes(codewords.data(), n, int(count), fast.data());
             EvaluateSyndromesPlain(codewords.data(), n, int(count), plain.data());
             EXPECT_EQ(fast, plain) << count << " syndromes";
         }
         for (int degree : {0, 1, 15, 31}) {
             if (degree >= n) break;
             for (int first : {0, 16, 240}) {
                 uint8_t fast[16], plain[16];
                 EvaluateSixteen(codewords.data(), degree, first, fast);
                 EvaluateSixteenPlain(codewords.data(), degree, first, plain);
                 EXPECT_EQ(Bytes(fast, fast + 16), Bytes(plain, plain + 16))
                     << "degree " << degree << " from " << first;
             }
         }
     }},
    {"Footprint",
     [](const Lines& in) {
         // The line as a picture of some width, under maps from the other
         // line's bytes: turned, scaled, in perspective; module centres on
         // it and off it, where the border pixels answer; and a map that
         // sends every point to 0 / 0.
         if (in.n == 0) return;
         const int width = 1 + in.n % 37, height = std::max(1, in.n / width);
         const GreyView grey{in.a.data(), width, height};
         auto at = [&](size_t k) { return (in.b[k % size_t(in.n)] - 127.5) / 64; };
         for (size_t k = 0; k < 7; ++k) {
             const std::array<double, 9> m =
                 k == 6 ? std::array<double, 9>{}
                        : std::array<double, 9>{2 + at(k),
                                                at(k + 1),
                                                width * at(k + 2),
                                                at(k + 3),
                                                2 + at(k + 4),
                                                height * at(k + 5),
                                                k % 2 ? at(k + 6) / 200 : 0,
                                                k % 3 ? at(k + 7) / 200 : 0,
                                                1};
             for (double u = -3.25; u < 25; u += 1.75)
                 for (double v = -2.5; v < 25; v += 2.25) {
                     const double fast = Footprint(grey, m, u, v);
                     const double plain = FootprintPlain(grey, m, u, v);
                     ASSERT_EQ(std::memcmp(&fast, &plain, sizeof fast), 0)
                         << fast << " against " << plain << " at " << u << ", " << v;
                 }
         }
     }},
};

} // namespace

TEST(Kernels, EachGivesWhatItsPlainTwinGives) {
    std::mt19937 random(29);
    for (int n : {0, 1, 2, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 64, 65, 255, 256, 257, 1000, 4103})
        for (int fill = 0; fill < kFills; ++fill)
            for (const auto& [name, check] : kPairs) {
                SCOPED_TRACE(testing::Message() << name << ", length " << n << ", fill " << fill);
                check({Line(Fill(fill), n, random), Line(Fill(random() % kFills), n, random), n});
            }
}

// The prefilter may let through groups the exact check refuses, never the
// reverse: every group of runs from 0 to kMax, and random groups near the
// proportion up to the longest lines.
TEST(FinderPrefilter, PassesEveryGroupTheExactCheckAccepts) {
    long long passed = 0, groups = 0;
    auto check = [&](const std::array<int16_t, 5>& r, int lineLength) {
        const int16_t dark[3] = {r[0], r[2], r[4]}, light[2] = {r[1], r[3]};
        uint8_t fast = 0, plain = 0;
        MarkFinderGroups(dark, light, 1, lineLength, &fast);
        MarkFinderGroupsPlain(dark, light, 1, lineLength, &plain);
        ++groups, passed += fast;
        if (CheckFinderRuns(r) >= kFinderTotal && !(fast && plain))
            ADD_FAILURE() << r[0] << " " << r[1] << " " << r[2] << " " << r[3] << " " << r[4];
    };
    constexpr int16_t kMax = 24;
    std::array<int16_t, 5> r;
    for (r[0] = 0; r[0] <= kMax; ++r[0])
        for (r[1] = 0; r[1] <= kMax; ++r[1])
            for (r[2] = 0; r[2] <= kMax; ++r[2])
                for (r[3] = 0; r[3] <= kMax; ++r[3])
                    for (r[4] = 0; r[4] <= kMax; ++r[4]) check(r, 5 * kMax);
    EXPECT_LT(passed, groups / 50) << "the prefilter turns nearly all groups away";

    std::mt19937 random(3);
    for (int i = 0; i < 200000; ++i) {
        const int lineLength = i % 2 ? 2340 : 32767;
        const int module = 1 + int(random() % unsigned(lineLength / (2 * kFinderTotal)));
        for (size_t k = 0; k < 5; ++k)
            r[k] = int16_t(std::max(0, kFinderModules[k] * module - module +
                                           int(random() % unsigned(2 * module + 1))));
        check(r, lineLength);
    }
}
