// Converters fed with bitmap files written by ImageMagick (an independent
// writer) and by hand; binarisation on its documented worked examples.
#include "ChangeBitmap.h"
#include "QrFixtures.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace zorvik;
namespace fs = std::filesystem;

namespace {

struct Rgb {
    int r, g, b;
};

using Pixels = std::vector<std::vector<Rgb>>; // rows top first

// Writes the picture as PPM and lets ImageMagick turn it into a bitmap file.
std::vector<uint8_t> MagickBmp(const Pixels& pixels, const std::string& options) {
    test::TempFolder dir("bmp");
    fs::path ppm = dir / "in.ppm", bmp = dir / "out.bmp";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << pixels[0].size() << " " << pixels.size() << "\n255\n";
        for (const auto& row : pixels)
            for (const Rgb& p : row) out << char(p.r) << char(p.g) << char(p.b);
    }
    std::string cmd = "/usr/bin/convert " + ppm.string() + " " + options + " BMP3:" + bmp.string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string bytes = test::ReadFileBytes(bmp);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

GreyImage Convert(const std::vector<uint8_t>& file, int expectedBits) {
    BitmapHeader h;
    EXPECT_EQ(ReadBitmapHeader(file, h), HeaderCheck::Fits);
    EXPECT_EQ(h.bitCount, expectedBits);
    GreyImage grey(h.width, h.height);
    EXPECT_TRUE(ConvertBitmap(file, h, grey));
    return grey;
}

void ExpectGreys(const GreyImage& grey, const Pixels& pixels) {
    ASSERT_EQ(grey.height, int(pixels.size()));
    ASSERT_EQ(grey.width, int(pixels[0].size()));
    for (int r = 0; r < grey.height; ++r)
        for (int c = 0; c < grey.width; ++c) {
            const Rgb& p = pixels[size_t(r)][size_t(c)];
            EXPECT_EQ(grey.at(r, c), (p.r + p.g + p.b) / 3) << "row " << r << " column " << c;
        }
}

// A picture whose rows all differ, so a flipped row order shows.
Pixels Picture(int width, int height, const std::vector<Rgb>& palette, unsigned seed) {
    std::mt19937 rng(seed);
    Pixels p(static_cast<size_t>(height), std::vector<Rgb>(static_cast<size_t>(width)));
    for (auto& row : p)
        for (auto& px : row) px = palette[rng() % palette.size()];
    p[0][0] = palette[0];
    p[size_t(height) - 1][0] = palette[1];
    return p;
}

const std::vector<Rgb> kBlackWhite = {{0, 0, 0}, {255, 255, 255}};
const std::vector<Rgb> kFewColours = {{0, 0, 0},       {255, 255, 255}, {30, 20, 10},
                                      {254, 200, 100}, {90, 10, 200},   {17, 17, 17}};

std::vector<Rgb> ManyColours() {
    std::vector<Rgb> colours;
    for (int i = 0; i < 40; ++i) colours.push_back({i * 6, 255 - i * 5, (i * 37) % 256});
    return colours;
}

// Many colours, and sums of the three from 0 to 765 on either side of where
// a third truncates to the next grey.
std::vector<Rgb> TrueColours() {
    std::vector<Rgb> colours = ManyColours();
    for (int sum : {0, 1, 2, 3, 254, 255, 256, 383, 384, 385, 762, 763, 764, 765})
        colours.push_back(
            {std::min(sum, 255), std::clamp(sum - 255, 0, 255), std::clamp(sum - 510, 0, 255)});
    return colours;
}

} // namespace

TEST(ConvertBitmap, OneBitRowsPaddedToFourBytesWidthNine) {
    auto pixels = Picture(9, 5, kBlackWhite, 1);
    auto file = MagickBmp(pixels, "-type Bilevel");
    EXPECT_EQ(BitmapStride(1, 9), 4);
    ExpectGreys(Convert(file, 1), pixels);
}

TEST(ConvertBitmap, FourBitHighNibbleIsTheLeftPixel) {
    for (int width : {1, 5, 8}) {
        auto pixels = Picture(width, 4, kFewColours, unsigned(width));
        ExpectGreys(Convert(MagickBmp(pixels, "-type Palette -compress None"), 4), pixels);
    }
}

TEST(ConvertBitmap, EightBitColourTableGreys) {
    // Every one of the 40 colours appears, so the writer needs an 8-bit table.
    auto colours = ManyColours();
    Pixels pixels(6, std::vector<Rgb>(7));
    for (size_t i = 0; i < 42; ++i) pixels[i / 7][i % 7] = colours[(i * 11) % colours.size()];
    ExpectGreys(Convert(MagickBmp(pixels, "-type Palette -compress None"), 8), pixels);
}

// Widths below, at and past the sixteen pixels a row is converted at once,
// with a few left over.
TEST(ConvertBitmap, TwentyFourBitWidthsOneAndFourPadAndDoNotPad) {
    EXPECT_EQ(BitmapStride(24, 1), 4);
    EXPECT_EQ(BitmapStride(24, 4), 12);
    for (int width : {1, 4, 7, 17, 18, 37}) {
        auto pixels = Picture(width, 3, TrueColours(), unsigned(width));
        ExpectGreys(Convert(MagickBmp(pixels, "-type TrueColor"), 24), pixels);
    }
}

TEST(ConvertBitmap, RepeatedRowsAmongOthersKeepTheirOwnGreys) {
    // Rows repeated once, twice and not at all, in both pixel sizes: a
    // repeated row takes the grey of the row stored before it.
    const Pixels varied = Picture(19, 4, TrueColours(), 3);
    const Pixels pixels = {varied[0], varied[0], varied[1], varied[2],
                           varied[2], varied[2], varied[3], varied[0]};
    ExpectGreys(Convert(MagickBmp(pixels, "-type TrueColor"), 24), pixels);
    ExpectGreys(Convert(MagickBmp(pixels, "-alpha on -define bmp3:alpha=true"), 32), pixels);
}

TEST(ConvertBitmap, ThirtyTwoBitIgnoresTheFourthByte) {
    for (int width : {3, 16, 35}) {
        auto pixels = Picture(width, 4, TrueColours(), unsigned(9 + width));
        ExpectGreys(Convert(MagickBmp(pixels, "-alpha on -define bmp3:alpha=true"), 32), pixels);
    }
}

TEST(ConvertBitmap, SixteenBitWidensFiveBitComponentsAndIgnoresBitFifteen) {
    // Width 3: six bytes a row, padded to eight. Stored row 0 is the bottom row.
    const unsigned words[2][3] = {{0x7FFF, 0x8000, 0x0421}, {0x0000, 0x7C00, 0x03E0 | 0x8000}};
    auto file = test::BmpHeader(3, 2, 16, 54, 54 + 16);
    for (int s = 0; s < 2; ++s)
        for (int c = 0; c < 3; ++c)
            test::PutLe16(file, 54 + size_t(s) * 8 + size_t(c) * 2, words[s][c]);
    GreyImage grey = Convert(file, 16);
    EXPECT_EQ(grey.at(1, 0), 255); // 0x7FFF
    EXPECT_EQ(grey.at(1, 1), 0);   // 0x8000: bit 15 alone
    EXPECT_EQ(grey.at(1, 2), 9);   // each component 1 widens to 9
    EXPECT_EQ(grey.at(0, 0), 0);
    EXPECT_EQ(grey.at(0, 1), 85); // red 31 alone: 255 / 3
    EXPECT_EQ(grey.at(0, 2), 85); // green 31, bit 15 set
}

TEST(ConvertBitmap, ALargePictureInTwoHalvesIsTheSameAsInOne) {
    // Every bit count, an odd height, and runs of repeated stored rows that
    // go across the middle, where the later half's first row must be its
    // own rather than a copy of a row of the other half. Converted on two
    // threads, and on one with the later half first, into a picture whose
    // every grey is wrong.
    const std::pair<int, BitmapConverter*> converters[] = {
        {1, ConvertBitmap1},   {4, ConvertBitmap4},   {8, ConvertBitmap8},
        {16, ConvertBitmap16}, {24, ConvertBitmap24}, {32, ConvertBitmap32}};
    std::mt19937 random(7);
    for (const auto& [bits, convert] : converters) {
        const int width = 1029, height = 2041, stride = BitmapStride(bits, width);
        const int offset = 54 + (bits <= 8 ? 4 << bits : 0);
        auto file =
            test::BmpHeader(width, height, bits, offset, offset + size_t(stride) * size_t(height));
        for (size_t i = 54; i < file.size(); ++i) file[i] = uint8_t(random());
        for (int s = 1; s < height; ++s)
            if (s % 7 < 3 || std::abs(s - height / 2) < 3)
                std::copy_n(&file[offset + size_t(s - 1) * size_t(stride)], stride,
                            &file[offset + size_t(s) * size_t(stride)]);
        BitmapHeader h;
        ASSERT_EQ(ReadBitmapHeader(file, h), HeaderCheck::Fits) << bits << " bits";
        GreyImage one(width, height), two(width, height, GreyImage::Unset{});
        ASSERT_TRUE(ConvertBitmap(file, h, one, 1));
        ASSERT_TRUE(ConvertBitmap(file, h, two, 2));
        EXPECT_TRUE(one.pixels == two.pixels) << bits << " bits";
        GreyImage reversed = one;
        for (uint8_t& g : reversed.pixels) g = uint8_t(255 - g);
        convert(file, width, height, offset, reversed, {height / 2, height});
        convert(file, width, height, offset, reversed, {0, height / 2});
        EXPECT_TRUE(one.pixels == reversed.pixels) << bits << " bits, the later half first";
    }
}

TEST(ConvertBitmap, ColourTableGreyTruncates) {
    // Blue 10, green 20, red 30 gives 20; blue 255, green 255, red 254 gives 254.
    auto file = test::BmpHeader(2, 1, 8, 54 + 1024, 54 + 1024 + 4);
    file[54] = 10, file[55] = 20, file[56] = 30;
    file[58] = 255, file[59] = 255, file[60] = 254;
    file[54 + 1024] = 0, file[54 + 1025] = 1;
    GreyImage grey = Convert(file, 8);
    EXPECT_EQ(grey.at(0, 0), 20);
    EXPECT_EQ(grey.at(0, 1), 254);
}

namespace {

// A picture whose reference rectangle (row 0) holds the greys of `reference`
// and whose row 1 holds the probes.
GreyImage Probe(const std::vector<int>& reference, const std::vector<int>& probes) {
    GreyImage g(int(std::max(reference.size(), probes.size())), 2);
    for (size_t i = 0; i < reference.size(); ++i) g.at(0, int(i)) = uint8_t(reference[i]);
    for (size_t i = 0; i < probes.size(); ++i) g.at(1, int(i)) = uint8_t(probes[i]);
    return g;
}

std::string Binarised(const GreyImage& g, int refWidth, ThresholdRule rule, float factor) {
    return std::string(BinariseImage(g, {0, 0, 0, refWidth - 1}, rule, factor, "")[1]);
}

} // namespace

TEST(BinariseImage, WorkedThresholdsOfBothRules) {
    // min 40, mean 140: initial 1.35 * 100 + 40 = 175, refined 0.85 * 100 + 40 = 125.
    GreyImage g = Probe({40, 240}, {175, 176, 125, 126, 39});
    EXPECT_EQ(Binarised(g, 2, ThresholdRule::Initial, 0.85f), "10110");
    EXPECT_EQ(Binarised(g, 2, ThresholdRule::Refined, 0.85f), "00100");
}

TEST(BinariseImage, EachRuleKeepsItsOwnPrecision) {
    // Refined, single precision: 0.85f * 10 is 8.5 exactly as a float, which
    // rounds to 8 (in double it is a hair above 8.5, which would give 9).
    EXPECT_EQ(Binarised(Probe({0, 20}, {8, 9}), 2, ThresholdRule::Refined, 0.85f), "10");
    // Initial, double precision of the float factor: 1.35000002 * 10 + 1 is
    // just above 14.5 and gives 15 (the decimal 0.85 would give 14).
    EXPECT_EQ(Binarised(Probe({1, 21}, {15, 16}), 2, ThresholdRule::Initial, 0.85f), "10");
}

TEST(BinariseImage, ExactHalfThresholdRoundsToEven) {
    // min 0, mean 2, factor 0.75: initial T = 1.25 * 2 = 2.5, which becomes 2.
    GreyImage g = Probe({0, 4}, {2, 3});
    EXPECT_EQ(Binarised(g, 2, ThresholdRule::Initial, 0.75f), "10");
}

TEST(BinariseImage, DarkerThanTheReferenceIsLightAndUniformIsDark) {
    GreyImage g = Probe({100, 120}, {99, 100, 0});
    EXPECT_EQ(Binarised(g, 2, ThresholdRule::Initial, 0.85f), "010");

    GreyImage uniform(3, 3);
    std::fill(uniform.pixels.begin(), uniform.pixels.end(), 128);
    for (auto rule : {ThresholdRule::Initial, ThresholdRule::Refined})
        EXPECT_EQ(BinariseImage(uniform, {1, 1, 1, 1}, rule, 1.0f, ""), BinaryImage(3, "111"));
}

TEST(BinariseImage, DebugDumpHoldsOneLinePerRowWithCrLf) {
    test::TempFolder dir("dump");
    GreyImage g = Probe({0, 255}, {0, 255});
    BinariseImage(g, {0, 1, 0, 1}, ThresholdRule::Refined, 0.5f, dir.path().string());
    EXPECT_EQ(test::ReadFileBytes(dir / "bitmap1.txt"), "10\r\n10\r\n");
}

TEST(BinariseImage, TellsWhichRowsEqualTheRowAbove) {
    // Rows of greys that differ but binarise alike count as equal; a
    // difference in a row's last pixel, past its whole sixteens, counts. A
    // large picture binarised in two halves on two threads, rows equal
    // across the middle among them, is the same as in one.
    std::mt19937 rng(9);
    for (const auto& [width, height] : {std::pair{5, 40}, {16, 40}, {40, 40}, {1029, 2041}}) {
        GreyImage grey(width, height);
        for (int r = 0; r < grey.height; ++r)
            for (int c = 0; c < width; ++c)
                grey.at(r, c) = uint8_t(r % 3 == 0 ? 100 + rng() % 100 : (c * 7 + r / 3) % 3 * 120);
        grey.at(37, width - 1) = grey.at(36, width - 1) < 128 ? 255 : 0;
        for (int r = height / 2 - 2; r <= height / 2 + 2 && height > 40; ++r)
            std::copy_n(&grey.at(height / 2 - 3, 0), width, &grey.at(r, 0));
        for (float factor : {0.85f, -5.0f}) { // the second calls no pixel dark
            BinaryImage image, halves;
            std::vector<uint8_t> same, halvesSame;
            BinariseInto(grey, {0, 39, 0, width - 1}, ThresholdRule::Initial, factor, "", image,
                         &same);
            ASSERT_EQ(same.size(), image.size());
            EXPECT_EQ(same[0], 0);
            for (size_t r = 1; r < image.size(); ++r)
                EXPECT_EQ(same[r] != 0, image[r] == image[r - 1])
                    << "width " << width << ", row " << r << ", factor " << factor;
            BinariseInto(grey, {0, 39, 0, width - 1}, ThresholdRule::Initial, factor, "", halves,
                         &halvesSame, 2);
            EXPECT_TRUE(halves == image) << "width " << width << ", factor " << factor;
            EXPECT_EQ(halvesSame, same) << "width " << width << ", factor " << factor;
        }
    }
}

// The searches' histogram counts every row up to 511 rows, then every
// second to fourth row; a picture whose pixels do not match its size, none.
TEST(GreyStatistics, HistogramCountsTheSampledRowsOfAWellFormedPicture) {
    const struct {
        int width, height;
        size_t pixels, counted;
    } rows[] = {{7, 3, 21, 21},        {7, 511, 3577, 3577},  {7, 512, 3584, 1792},
                {7, 1023, 7161, 2387}, {3, 2048, 6144, 1536}, {5, -3, 0, 0},
                {4, 2, 7, 0}};
    for (const auto& row : rows) {
        GreyImage grey;
        grey.width = row.width, grey.height = row.height;
        grey.pixels.assign(row.pixels, 9);
        const auto histogram = GreyHistogram(grey);
        EXPECT_EQ(histogram[9], row.counted) << row.width << " x " << row.height;
    }
}

TEST(GreyStatistics, ReferenceLevelsAndGreyRangesAgreeWithACountOfEveryPixel) {
    // Widths around the sixteen-pixel steps, and a picture longer than one
    // early-exit block of the range search.
    std::mt19937 rng(3);
    for (int width : {1, 15, 16, 17, 31, 47, 5000}) {
        GreyImage grey(width, 3);
        for (uint8_t& g : grey.pixels) g = uint8_t(40 + rng() % 5 * 30); // 40, 70, .., 160
        grey.at(2, width - 1) = 250;
        // The darkest pixel among a row's last few, read with the ones before them.
        if (width > 16) grey.at(1, width - 2) = 10;
        const PixelRect all{0, 2, 0, width - 1}, inner{1, 2, width / 3, width - 1};
        for (const PixelRect& rect : {all, inner}) {
            int least = 255;
            long long sum = 0, count = 0;
            for (int r = rect.firstRow; r <= rect.lastRow; ++r)
                for (int c = rect.firstCol; c <= rect.lastCol; ++c)
                    least = std::min<int>(least, grey.at(r, c)), sum += grey.at(r, c), ++count;
            const ReferenceLevels levels = MeasureReference(grey, rect);
            EXPECT_EQ(levels.min, least) << width;
            EXPECT_EQ(levels.mean, int(sum / count)) << width;
        }
        const auto histogram = GreyHistogram(grey);
        // (above, atMost]: below, at and between the greys, and reversed.
        const std::pair<int, int> ranges[] = {{-1, 39},   {-1, 40},   {40, 69},  {69, 70},
                                              {160, 249}, {160, 255}, {200, 100}};
        for (auto [above, atMost] : ranges) {
            bool some = false;
            for (int g = 0; g < 256; ++g) some |= g > above && g <= atMost && histogram[size_t(g)];
            EXPECT_EQ(AnyGreyBetween(grey, above, atMost), some)
                << width << " (" << above << ", " << atMost << "]";
        }
    }
}
