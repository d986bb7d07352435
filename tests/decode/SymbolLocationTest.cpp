// Finder search and grid sampling on pictures of real symbols (libqrencode,
// rendered here) and on their documented small cases.
#include "FinderSearch.h"
#include "ModuleSampling.h"
#include "QrFixtures.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

using namespace zorvik;
namespace fs = std::filesystem;

namespace {

GreyImage ToGrey(const test::Picture& p) {
    GreyImage g(p.width, p.height);
    g.pixels.assign(p.grey.begin(), p.grey.end());
    return g;
}

// Dark and light blocks of 3 x 3 pixels everywhere outside the quiet zone.
void Clutter(test::Picture& p, int quietStart, int quietEnd, unsigned seed) {
    std::mt19937 rng(seed);
    for (int by = 0; by < p.height; by += 3)
        for (int bx = 0; bx < p.width; bx += 3) {
            uint8_t v = rng() % 2 ? 0 : 200;
            for (int y = by; y < std::min(by + 3, p.height); ++y)
                for (int x = bx; x < std::min(bx + 3, p.width); ++x)
                    if (y < quietStart || y >= quietEnd || x < quietStart || x >= quietEnd)
                        p.at(y, x) = v;
        }
}

// Renders the symbol with a margin of clutter around its quiet zone.
test::Picture Scene(const test::Modules& m, double px, int quiet, int margin, bool busy) {
    test::Picture inner = test::Render(m, px, quiet);
    test::Picture p;
    p.width = p.height = inner.width + 2 * margin;
    p.grey.assign(size_t(p.width) * size_t(p.height), 255);
    for (int y = 0; y < inner.height; ++y)
        for (int x = 0; x < inner.width; ++x) p.at(y + margin, x + margin) = inner.at(y, x);
    if (busy) Clutter(p, margin, margin + inner.width, 7);
    return p;
}

struct LocationCase {
    const char* name;
    int version;
    double modulePx;
    int quiet;
    int margin;
    bool busy;
};

} // namespace

class LocatesRealSymbols : public ::testing::TestWithParam<LocationCase> {};

TEST_P(LocatesRealSymbols, BoxIsWhatTheRenderingSaysAndSamplingGivesTheEncodersModules) {
    const LocationCase& c = GetParam();
    test::Modules m = test::EncodeText("v" + std::to_string(c.version), 1, c.version);
    ASSERT_EQ(int(m.size()), 17 + 4 * c.version);
    const int n = int(m.size());
    test::Picture picture = Scene(m, c.modulePx, c.quiet, c.margin, c.busy);

    auto edge = [&](int k) { return c.margin + int(std::lround(k * c.modulePx)); };
    BinaryImage binary;
    SymbolBox box;
    ASSERT_EQ(FindFinderPatterns(ToGrey(picture), binary, box, 0.85f, {}), "");
    EXPECT_EQ(box.Left, edge(c.quiet) + 1);
    EXPECT_EQ(box.Top, edge(c.quiet));
    EXPECT_EQ(box.BoxWidth, edge(c.quiet + n) - edge(c.quiet));
    EXPECT_EQ(box.BoxHeight, edge(c.quiet + n) - edge(c.quiet));
    int finders = edge(c.quiet + 7) - edge(c.quiet) + edge(c.quiet + n) - edge(c.quiet + n - 7);
    EXPECT_EQ(box.FinderWidthSum, finders);
    EXPECT_EQ(box.FinderHeightSum, finders);

    // The first sampling variant whose module count fits reproduces the symbol.
    const std::pair<int, int> variants[] = {{0, 0},  {1, 0}, {0, 4}, {0, -4}, {1, 4},
                                            {1, -4}, {2, 0}, {2, 4}, {2, -4}};
    bool sampled = false;
    for (auto [mode, correction] : variants) {
        ModuleMatrix matrix;
        SymbolBox b = box;
        ASSERT_EQ(SampleModules(binary, b, matrix, mode, correction, {}), "");
        if (b.ModulesAcross != n) continue;
        EXPECT_EQ(b.ModulesDown, n);
        EXPECT_EQ(matrix, m) << "mode " << mode << " correction " << correction;
        sampled = true;
        break;
    }
    EXPECT_TRUE(sampled);
}

INSTANTIATE_TEST_SUITE_P(
    Renderings, LocatesRealSymbols,
    ::testing::Values(LocationCase{"v1_4px_quiet4", 1, 4, 4, 0, false},
                      LocationCase{"v2_3px_quiet2", 2, 3, 2, 0, false},
                      LocationCase{"v3_fractional_3_4px", 3, 3.4, 4, 0, false},
                      LocationCase{"v5_fractional_4_6px_quiet2", 5, 4.6, 2, 0, false},
                      LocationCase{"v4_5px_busy_background", 4, 5, 2, 30, true},
                      LocationCase{"v7_3_5px_busy_background", 7, 3.5, 4, 25, true},
                      // Lines of over 2340 pixels take the run filter's wide arithmetic.
                      LocationCase{"v40_13px_lines_of_2405_pixels", 40, 13, 4, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindFinderPatterns, AStripExactlyFivePercentDarkStillCountsAsLight) {
    // Two pixels per module, quiet zone of two: the left strip of the
    // top-left finder is 4 x 10 pixels. Two dark pixels in the quiet zone lie
    // in the strip of every row through the finder's centre: 2 of 40 is 0.05.
    test::Modules m = test::EncodeText("v1", 1, 1);
    test::Picture p = test::Render(m, 2, 2);
    p.at(10, 2) = p.at(11, 2) = 0;
    BinaryImage binary;
    SymbolBox box;
    ASSERT_EQ(FindFinderPatterns(ToGrey(p), binary, box, 0.85f, {}), "");
    EXPECT_EQ(box.Left, 5);
    EXPECT_EQ(box.BoxWidth, 42);
    // A third dark pixel makes the strip dark in those rows: no left edge.
    p.at(12, 2) = 0;
    EXPECT_EQ(FindFinderPatterns(ToGrey(p), binary, box, 0.85f, {}), kNotRecognised);
}

TEST(FindFinderPatterns, StripsBelowABandOfRunGroupsKeepTheFivePercentRule) {
    // The picture of the five-percent case below a band of 200 rows, each
    // crossed by two finder-like run groups with light to their left. The
    // strips are counted from per-column totals from the top, which hold
    // the band's dark pixels: the symbol's strips must take them out again
    // and give the answers above.
    test::Modules m = test::EncodeText("v1", 1, 1);
    test::Picture symbol = test::Render(m, 2, 2);
    symbol.at(10, 2) = symbol.at(11, 2) = 0;
    constexpr int kBand = 200;
    auto withBand = [&](test::Picture below) {
        test::Picture p;
        p.width = below.width;
        p.height = kBand + below.height;
        p.grey.assign(size_t(p.width) * size_t(p.height), 255);
        // Runs of 2, 2, 6, 2, 2 pixels from x = 4 and from x = 22.
        for (int y = 0; y < kBand; ++y)
            for (int start : {4, 22})
                for (auto [from, length] : {std::pair{0, 2}, {4, 6}, {12, 2}})
                    for (int x = start + from; x < start + from + length; ++x) p.at(y, x) = 0;
        for (int y = 0; y < below.height; ++y)
            for (int x = 0; x < below.width; ++x) p.at(kBand + y, x) = below.at(y, x);
        return ToGrey(p);
    };
    BinaryImage binary;
    SymbolBox box;
    ASSERT_EQ(FindFinderPatterns(withBand(symbol), binary, box, 0.85f, {}), "");
    EXPECT_EQ(box.Left, 5);
    EXPECT_EQ(box.BoxWidth, 42);
    EXPECT_EQ(box.Top, kBand + 4);
    symbol.at(12, 2) = 0;
    EXPECT_EQ(FindFinderPatterns(withBand(symbol), binary, box, 0.85f, {}), kNotRecognised);
}

TEST(FindFinderPatterns, StripsTallerThan255RowsAreCountedInFull) {
    // Modules of 53 pixels make the left strip of a finder 106 x 265
    // pixels. With the quiet zone left of the symbol dark but for the module
    // next to it, the top-left finder's left strips are half dark and it has
    // no left edge; counts kept modulo 256 would read 9 dark pixels in each
    // dark column and call them light.
    test::Modules m = test::EncodeText("v1", 1, 1);
    test::Picture p = test::Render(m, 53, 4);
    BinaryImage binary;
    SymbolBox box;
    ASSERT_EQ(FindFinderPatterns(ToGrey(p), binary, box, 0.85f, {}), "");
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < 3 * 53; ++x) p.at(y, x) = 0;
    EXPECT_EQ(FindFinderPatterns(ToGrey(p), binary, box, 0.85f, {}), kNotRecognised);
}

TEST(FindFinderPatterns, AllDarkPictureFindsNothingAndHugeModulesAreAFault) {
    GreyImage dark(60, 60); // every pixel 0: min = mean = T = 0, all dark
    BinaryImage binary;
    SymbolBox box;
    EXPECT_EQ(FindFinderPatterns(dark, binary, box, 0.85f, {}), kNotRecognised);

    // A module of 60 pixels makes a strip of 120 x 300 pixels, beyond 32767.
    test::Modules m = test::EncodeText("big", 0, 1);
    GreyImage big = ToGrey(test::Render(m, 60, 2));
    EXPECT_EQ(FindFinderPatterns(big, binary, box, 0.85f, {}), kNotRecognisedFault);
}

TEST(FindFinderPatterns, AnyRunGroupReachingTheEndOfALineOf32767PixelsIsAFault) {
    // One black run in white rows: the white reference makes white dark, so
    // a row holds two dark runs that are no finder's; the second reaches the
    // row's end, one past the last 16-bit position in the longest row.
    for (int width : {32766, 32767}) {
        GreyImage grey(width, 2);
        std::fill(grey.pixels.begin(), grey.pixels.end(), uint8_t(255));
        for (int x = 100; x < 105; ++x) grey.at(0, x) = 0;
        BinaryImage binary;
        SymbolBox box;
        EXPECT_EQ(FindFinderPatterns(grey, binary, box, 0.85f, {}),
                  width == 32767 ? kNotRecognisedFault : kNotRecognised)
            << width;
    }
}

// Full-height stripes in the proportion 1:1:3:1:1 with a one-unit gap: every
// dark run of every row starts a run group that fits, and each is rejected
// because neither side strip is light. A rejected group costs a fixed number
// of steps however large its strips are, so the search ends quickly.
TEST(FindFinderPatterns, FinderLikeStripesAreRejectedEverywhere) {
    constexpr int kSide = 1600;
    const GreyImage stripes = ToGrey(test::FinderStripes(5, kSide));
    BinaryImage binary;
    SymbolBox box;
    EXPECT_EQ(FindFinderPatterns(stripes, binary, box, 0.85f, {}), kNotRecognised);
    ASSERT_EQ(binary.size(), size_t(kSide));
    EXPECT_EQ(binary[7].substr(0, 40), "1111100000111111111111111000001111100000");
}

TEST(CheckFinderRuns, AcceptsFinderProportionsWithinHalfAModule) {
    using Runs = std::array<int16_t, 5>;
    EXPECT_EQ(CheckFinderRuns(Runs{1, 1, 3, 1, 1}), 7);
    EXPECT_EQ(CheckFinderRuns(Runs{2, 2, 6, 2, 2}), 14);
    EXPECT_EQ(CheckFinderRuns(Runs{3, 3, 9, 3, 3}), 21);
    EXPECT_EQ(CheckFinderRuns(Runs{2, 1, 4, 0, 0}), 7); // cut short at the row's end
    EXPECT_EQ(CheckFinderRuns(Runs{1, 1, 1, 1, 1}), 5); // the caller rejects t < 7
    // t = 21: side runs 1..5, middle 7..11.
    EXPECT_EQ(CheckFinderRuns(Runs{5, 1, 11, 2, 2}), 21);
    EXPECT_EQ(CheckFinderRuns(Runs{6, 1, 10, 2, 2}), 0);
    EXPECT_EQ(CheckFinderRuns(Runs{3, 3, 6, 4, 5}), 0);
    // t = 35: side runs 2..8, middle 12..18.
    EXPECT_EQ(CheckFinderRuns(Runs{8, 2, 12, 8, 5}), 35);
    EXPECT_EQ(CheckFinderRuns(Runs{5, 5, 19, 5, 1}), 0);
}

TEST(DarkFraction, ClipsAtTheBordersAndCountsMissingPixelsAsLight) {
    BinaryImage image = {"1100", "1111", "0000"};
    EXPECT_DOUBLE_EQ(DarkFraction(image, 3, 1, 0, 2, 2), 1.0);
    // x = -1 with w = 4: two columns lie left of the picture, w becomes 2.
    EXPECT_DOUBLE_EQ(DarkFraction(image, 3, -1, 0, 4, 2), 4.0 / 4);
    EXPECT_DOUBLE_EQ(DarkFraction(image, 3, 0, 0, 1, 2), 0.0);     // clipped to width 0
    EXPECT_DOUBLE_EQ(DarkFraction(image, 3, 3, 1, 2, 4), 2.0 / 8); // rows beyond the last
    EXPECT_DOUBLE_EQ(DarkFraction(image, 3, 4, 0, 3, 1), 0.0 / 3); // past the row's end
    // One dark pixel in a 4 x 5 strip is exactly 0.05, which counts as light.
    BinaryImage strip(5, "0000");
    strip.Row(2)[1] = '1';
    EXPECT_LE(DarkFraction(strip, 5, 1, 0, 4, 5), 0.05);
    EXPECT_THROW(DarkFraction(strip, 5, 1, 0, 200, 200), StageFault);
}

namespace {

// Samples a blank picture with a box made to give the module count estimate n0.
SymbolBox SampleBlank(int n0, int correction, int mode = 0, const std::string& debug = "") {
    BinaryImage blank(size_t(n0) + 2, std::string(size_t(n0) + 2, '0'));
    SymbolBox box;
    box.Left = 1, box.Top = 0, box.BoxWidth = int16_t(n0), box.BoxHeight = int16_t(n0);
    box.FinderWidthSum = 14; // one pixel per module
    ModuleMatrix matrix;
    EXPECT_EQ(SampleModules(blank, box, matrix, mode, correction, DecodeOptions{debug, false, ""}),
              "");
    EXPECT_EQ(int(matrix.size()), box.ModulesAcross);
    return box;
}

using test::ReadFileBytes;

} // namespace

TEST(SampleModules, ModuleCountSnapsToSymbolSizesWithinTheirBounds) {
    const std::tuple<int, int, int> cases[] = {
        {22, 0, 21}, {23, 0, 21},   {24, 0, 21},   {28, 0, 25}, {19, 0, 21},  {20, 0, 21},
        {16, 0, 21}, {180, 0, 177}, {180, 4, 177}, {25, 4, 29}, {25, -4, 21}, {45, -4, 41}};
    for (auto [n0, correction, n] : cases)
        EXPECT_EQ(SampleBlank(n0, correction).ModulesAcross, n)
            << "estimate " << n0 << " correction " << correction;
}

TEST(SampleModules, ModuleSizeEstimateIsSinglePrecision) {
    // 28 / (16 / 14) + 0.5 stays below 25 in single precision: N0 = 24 -> 21.
    // (In double it reaches 25.)
    BinaryImage blank(30, std::string(30, '0'));
    SymbolBox box;
    box.Left = 1, box.BoxWidth = 28, box.BoxHeight = 28, box.FinderWidthSum = 16;
    ModuleMatrix matrix;
    ASSERT_EQ(SampleModules(blank, box, matrix, 0, 0, {}), "");
    EXPECT_EQ(box.ModulesAcross, 21);
}

TEST(SampleModules, EqualSizesAddUpToTheBoxAndEdgeDumpsAreWritten) {
    test::TempFolder dir("sample");
    // BoxWidth 100 with a module estimate of 21: mode 1 dumps the sizes first.
    BinaryImage blank(101, std::string(101, '0'));
    SymbolBox box;
    box.Left = 1, box.BoxWidth = 100, box.BoxHeight = 100, box.FinderWidthSum = 67;
    ModuleMatrix matrix;
    ASSERT_EQ(
        SampleModules(blank, box, matrix, 1, 0, DecodeOptions{dir.path().string(), false, ""}), "");
    EXPECT_EQ(box.ModulesAcross, 21);
    std::string adjust = ReadFileBytes(dir / "Adjust.txt");
    std::string sizes = "5\t5\t4\t5\t5\t5\t4\t5\t5\t5\t4\t5\t5\t5\t4\t5\t5\t5\t4\t5\t5\t\r\n";
    EXPECT_EQ(adjust.substr(0, sizes.size()), sizes);
    EXPECT_EQ(adjust.substr(adjust.size() - sizes.size()), sizes); // no edges: unchanged
    EXPECT_EQ(std::count(adjust.begin(), adjust.end(), '\n'), 3);
    std::string expectedMatrix;
    for (int r = 0; r < 21; ++r) expectedMatrix += std::string(21, '0') + "\r\n";
    EXPECT_EQ(ReadFileBytes(dir / "bitmap3.txt"), expectedMatrix);
}

TEST(SampleModules, MajorityVoteCountsHalfAsDarkAndEmptyCellsAsLight) {
    // 42 x 42 pixels for 21 modules: 2 x 2 cells.
    BinaryImage image(42, std::string(42, '0'));
    image.Row(0)[0] = image.Row(0)[1] = '1'; // cell (0, 0): 2 of 4 dark
    image.Row(0)[2] = '1';                   // cell (0, 1): 1 of 4 dark
    SymbolBox box;
    box.Left = 1, box.BoxWidth = 42, box.BoxHeight = 42, box.FinderWidthSum = 28;
    ModuleMatrix matrix;
    ASSERT_EQ(SampleModules(image, box, matrix, 0, 0, {}), "");
    EXPECT_EQ(matrix[0].substr(0, 2), "10");

    // A box reaching below the picture: the rows that exist are sampled, the rest light.
    BinaryImage shortImage(3, std::string(42, '1'));
    ASSERT_EQ(SampleModules(shortImage, box, matrix, 0, 0, {}), "");
    EXPECT_EQ(matrix[1], std::string(21, '1')); // rows 2 and 3: row 2 exists, all dark
    EXPECT_EQ(matrix[2], std::string(21, '0'));
}

TEST(SampleModules, ABoxWiderThanThePictureStillGivesAMatrixInEveryMode) {
    // Positions beyond the end of a row hold nothing: no edge, no pixel.
    BinaryImage narrow(60, std::string(20, '0'));
    for (size_t y = 0; y < narrow.size(); ++y) narrow.Row(y)[5] = '1';
    for (int mode : {0, 1, 2}) {
        SymbolBox box;
        box.Left = 1, box.BoxWidth = 50, box.BoxHeight = 50, box.FinderWidthSum = 28;
        ModuleMatrix matrix;
        EXPECT_EQ(SampleModules(narrow, box, matrix, mode, 0, {}), "") << "mode " << mode;
        EXPECT_EQ(box.ModulesAcross, 25);
    }
}

TEST(AdjustModuleSizes, WorkedExampleInBothModes) {
    std::vector<int16_t> edges(21, 0);
    edges[5] = 9;  // first window: D 1..7
    edges[10] = 9; // second window: D 7..13
    std::vector<int16_t> mode1 = {5, 5, 5, 5}, mode2 = {5, 5, 5, 5};
    AdjustModuleSizes(mode1, edges, 4, 20, 1, "");
    AdjustModuleSizes(mode2, edges, 4, 20, 2, "");
    EXPECT_EQ(mode1, (std::vector<int16_t>{6, 4, 5, 5}));
    EXPECT_EQ(mode2, (std::vector<int16_t>{6, 5, 4, 5}));
}

TEST(AdjustModuleSizes, WindowReachesLowOffToHighOffPixelsAfterTheModuleStart) {
    // (pixels per module, edge position, new first size or 0 when outside the window)
    const std::tuple<int, int, int> cases[] = {
        {10, 3, 0}, {10, 4, 5}, {10, 14, 15}, {10, 15, 0}, // lowOff 5, highOff 15
        {5, 1, 2},  {5, 7, 8},  {5, 8, 0},                 // lowOff 2, highOff 8
        {2, 1, 2},  {2, 2, 3},  {2, 3, 0},                 // lowOff 1, highOff 3
        {1, 1, 2},  {1, 2, 0},                             // lowOff 1, highOff 2
    };
    for (auto [p, at, expected] : cases) {
        std::vector<int16_t> sizes(4, int16_t(p));
        std::vector<int16_t> edges(size_t(4 * p) + 1, 0);
        edges[size_t(at)] = 3;
        AdjustModuleSizes(sizes, edges, 4, 4 * p, 2, "");
        EXPECT_EQ(sizes[0], expected == 0 ? p : expected) << "p " << p << " edge " << at;
    }
}

namespace {

bool SameSearchFields(const SymbolBox& a, const SymbolBox& b) {
    return a.Left == b.Left && a.BoxWidth == b.BoxWidth && a.FinderWidthSum == b.FinderWidthSum &&
           a.Top == b.Top && a.BoxHeight == b.BoxHeight && a.FinderHeightSum == b.FinderHeightSum;
}

} // namespace

TEST(FindFinderPatterns, AMemoGivesEveryFactorTheSearchsOwnOutcomeAndScansLess) {
    const test::Modules m = test::EncodeText("memo", 1, 3);
    // Black and white only: most thresholds binarise alike.
    test::Picture sharp = Scene(m, 4, 4, 20, false);
    test::Picture empty = sharp; // black and white, no symbol
    for (int y = 0; y < empty.height; ++y)
        for (int x = 0; x < empty.width; ++x) empty.at(y, x) = (x / 9 + y / 5) % 3 ? 255 : 0;
    // A band of every grey: each factor binarises differently.
    test::Picture graded = Scene(m, 4, 4, 20, true);
    for (int y = 0; y < graded.height; ++y)
        for (int x = 0; x < 12; ++x) graded.at(y, x) = uint8_t(40 + (y * 7 + x) % 160);

    const float factors[] = {0.85f, 0.95f, 0.8f, 0.9f, 1.0f, 0.75f};
    for (const test::Picture* picture : {&sharp, &empty, &graded}) {
        const GreyImage grey = ToGrey(*picture);
        FinderSearchMemo memo;
        for (float factor : factors) {
            BinaryImage alone, remembered;
            SymbolBox aloneBox, rememberedBox;
            const std::string message = FindFinderPatterns(grey, alone, aloneBox, factor, {});
            EXPECT_EQ(message.empty(), picture != &empty) << factor; // both paths are met
            EXPECT_EQ(FindFinderPatterns(grey, remembered, rememberedBox, factor, {}, &memo),
                      message)
                << factor;
            if (message.empty()) {
                EXPECT_TRUE(SameSearchFields(aloneBox, rememberedBox)) << factor;
                EXPECT_EQ(remembered, alone) << factor;
            }
        }
        EXPECT_EQ(memo.found.size() == 6u, picture == &graded) << memo.found.size();
        EXPECT_LE(memo.found.size(), picture == &graded ? 6u : 2u);
    }
}

TEST(SampleModules, CountsReadInPlaceEqualTheTextReadingsOnRandomPictures) {
    // The same picture with equal rows (read in place) and with one short
    // row below the box (read as texts), with some characters that are
    // neither '0' nor '1': the edge dumps and the matrices must agree.
    // Modules of 3 and of 2 pixels: cells of odd and of even area, where
    // exactly half dark is dark.
    std::mt19937 rng(5);
    for (auto [width, finderWidths] : {std::pair{40, 42}, {57, 42}, {300, 42}, {300, 28}}) {
        const int height = width + 3;
        BinaryImage even(size_t(height), std::string(size_t(width), '0'));
        for (size_t y = 0; y < even.size(); ++y)
            for (char& ch : even.Row(y)) ch = rng() % 23 == 0 ? '2' : char('0' + rng() % 2);
        BinaryImage uneven = even;
        uneven.push_back("1");
        for (int mode : {1, 2}) {
            std::string dumps[2];
            ModuleMatrix matrices[2];
            for (int k = 0; k < 2; ++k) {
                test::TempFolder dir("inplace");
                SymbolBox box;
                box.Left = 2, box.Top = 1, box.BoxWidth = int16_t(width - 2);
                box.BoxHeight = int16_t(height - 2), box.FinderWidthSum = int16_t(finderWidths);
                ASSERT_EQ(SampleModules(k == 0 ? even : uneven, box, matrices[k], mode, 0,
                                        DecodeOptions{dir.path().string(), false, ""}),
                          "");
                dumps[k] = ReadFileBytes(dir / "Adjust.txt");
            }
            EXPECT_EQ(dumps[0], dumps[1]) << "width " << width << ", mode " << mode;
            EXPECT_EQ(matrices[0], matrices[1]) << "width " << width << ", mode " << mode;
        }
    }
}

TEST(SampleModules, CellsOf65536PixelsAreCountedInFull) {
    // 21 modules of 256 x 256 pixels, all dark: a count kept to 16 bits
    // would wrap to 0 and call every module light.
    const int side = 21 * 256;
    BinaryImage dark(size_t(side), std::string(size_t(side), '1'));
    SymbolBox box;
    box.Left = 1, box.BoxWidth = int16_t(side), box.BoxHeight = int16_t(side);
    box.FinderWidthSum = 14 * 256;
    ModuleMatrix matrix;
    ASSERT_EQ(SampleModules(dark, box, matrix, 0, 0, {}), "");
    ASSERT_EQ(box.ModulesAcross, 21);
    EXPECT_EQ(matrix, ModuleMatrix(21, std::string(21, '1')));
}
