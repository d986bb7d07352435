// The second search on libqrencode symbols rendered here and then turned,
// mirrored, inverted, warped or placed in large pictures by a small
// resampler of this file; and its geometric parts on known figures.
#include "SecondSearch.h"
#include "FinderLocator.h"
#include "LocalThreshold.h"
#include "PerspectiveGrid.h"
#include "QrFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <thread>

using namespace zorvik;

namespace {

GreyImage ToGrey(const test::Picture& p) {
    GreyImage g(p.width, p.height);
    g.pixels.assign(p.grey.begin(), p.grey.end());
    return g;
}

// Bilinear sample of the picture at (x, y) in pixel coordinates (pixel
// centres at +0.5), background outside.
double Sample(const test::Picture& p, double x, double y, uint8_t background) {
    x -= 0.5, y -= 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    auto at = [&](int c, int r) -> double {
        if (c < 0 || r < 0 || c >= p.width || r >= p.height) return background;
        return p.grey[size_t(r) * size_t(p.width) + size_t(c)];
    };
    return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
           (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
}

// A width x height picture whose pixel (x, y) shows the source at
// source(x, y).
using InverseMap = std::function<std::pair<double, double>(double, double)>;
test::Picture Warp(const test::Picture& src, int width, int height, const InverseMap& source,
                   uint8_t background = 255) {
    test::Picture out;
    out.width = width, out.height = height;
    out.grey.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto [sx, sy] = source(x + 0.5, y + 0.5);
            out.at(y, x) = uint8_t(std::lround(Sample(src, sx, sy, background)));
        }
    return out;
}

// Turned by degrees (clockwise on screen) about its centre, on a canvas
// large enough for any angle.
test::Picture Rotate(const test::Picture& src, double degrees) {
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    const int side = int(std::ceil(std::hypot(src.width, src.height))) + 4;
    const double mid = side / 2.0, sx = src.width / 2.0, sy = src.height / 2.0;
    return Warp(src, side, side, [=](double x, double y) {
        const double dx = x - mid, dy = y - mid;
        return std::pair{sx + c * dx + s * dy, sy - s * dx + c * dy};
    });
}

test::Picture Mirror(const test::Picture& src) {
    return Warp(src, src.width, src.height, [&](double x, double y) {
        return std::pair{src.width - x, y};
    });
}

test::Picture Invert(test::Picture p) {
    for (uint8_t& g : p.grey) g = uint8_t(255 - g);
    return p;
}

// The top edge shrunk by keystone (a share of the width), the bottom kept.
test::Picture Keystone(const test::Picture& src, double keystone) {
    const double w = src.width, h = src.height;
    return Warp(src, src.width, src.height, [=](double x, double y) {
        const double scale = 1 - keystone * (1 - y / h);
        return std::pair{w / 2 + (x - w / 2) / scale, y};
    });
}

// The symbol pasted onto the picture at (left, top), where it fits.
void Paste(test::Picture& onto, const test::Picture& symbol, int left, int top) {
    for (int y = 0; y < symbol.height; ++y)
        for (int x = 0; x < symbol.width; ++x)
            onto.at(top + y, left + x) = symbol.grey[size_t(y) * size_t(symbol.width) + size_t(x)];
}

// The symbol pasted at (left, top) of a width x height picture.
test::Picture Place(const test::Picture& symbol, int width, int height, int left, int top,
                    uint8_t background = 255) {
    test::Picture p;
    p.width = width, p.height = height;
    p.grey.assign(size_t(width) * size_t(height), background);
    Paste(p, symbol, left, top);
    return p;
}

// A desktop-like picture: windows of flat grey with dark text-like bars,
// icons of dark squares, and edges everywhere.
test::Picture Desktop(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    test::Picture p;
    p.width = width, p.height = height;
    p.grey.assign(size_t(width) * size_t(height), 90);
    auto fill = [&](int x0, int y0, int w, int h, uint8_t g) {
        for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) p.at(y, x) = g;
    };
    for (int window = 0; window < 12; ++window) {
        const int x0 = int(rng() % unsigned(width)), y0 = int(rng() % unsigned(height));
        const int w = 200 + int(rng() % 600), h = 150 + int(rng() % 500);
        fill(x0, y0, w, h, uint8_t(200 + rng() % 56));
        fill(x0, y0, w, 24, uint8_t(40 + rng() % 80)); // title bar
        for (int line = 40; line + 10 < h; line += 18)
            for (int x = x0 + 10; x < x0 + w - 20; x += 8 + int(rng() % 30))
                fill(x, y0 + line, 3 + int(rng() % 12), 9, uint8_t(rng() % 60));
    }
    for (int icon = 0; icon < 40; ++icon) {
        const int x0 = int(rng() % unsigned(width)), y0 = int(rng() % unsigned(height));
        fill(x0, y0, 32, 32, uint8_t(rng() % 100));
        fill(x0 + 8, y0 + 8, 16, 16, uint8_t(150 + rng() % 100));
    }
    return p;
}

struct Outcome {
    std::string message;
    std::string text;
    DecodeResult result;
};

Outcome Search(const test::Picture& p, int threads = 1) {
    DecodeEngine engine;
    Outcome o;
    o.message = SecondSearch(ToGrey(p), engine, o.result, threads);
    o.text = engine.GetDecodedText();
    return o;
}

const std::string kText = "second search: wherever and however it lies";

FinderCandidate At(double x, double y) {
    return {{x, y}, 4, 10};
}

} // namespace

// Each quarter turn of the three finders, and their mirror images, comes
// out with the top-left finder at the right angle and the other two in
// reading order of the symbol as the grid will be sampled.
TEST(FinderOrder, QuarterTurnsAndMirror) {
    // Upright: top-left (0,0), top-right (100,0), bottom-left (0,100).
    struct Case {
        PlanePoint tl, tr, bl;
    };
    const Case turns[] = {{{0, 0}, {100, 0}, {0, 100}},
                          {{100, 0}, {100, 100}, {0, 0}},   // 90 degrees clockwise
                          {{100, 100}, {0, 100}, {100, 0}}, // 180
                          {{0, 100}, {0, 0}, {100, 100}}};  // 270
    for (const Case& c : turns) {
        const FinderCandidate tl = At(c.tl.x, c.tl.y), tr = At(c.tr.x, c.tr.y),
                              bl = At(c.bl.x, c.bl.y);
        for (const auto& [a, b, d] :
             {std::tuple{tl, tr, bl}, {bl, tl, tr}, {tr, bl, tl}, {tr, tl, bl}}) {
            const FinderTriple t = OrderFinders(a, b, d);
            EXPECT_DOUBLE_EQ(t.topLeft.centre.x, c.tl.x);
            EXPECT_DOUBLE_EQ(t.topLeft.centre.y, c.tl.y);
            EXPECT_DOUBLE_EQ(t.topRight.centre.x, c.tr.x);
            EXPECT_DOUBLE_EQ(t.topRight.centre.y, c.tr.y);
            EXPECT_DOUBLE_EQ(t.bottomLeft.centre.x, c.bl.x);
        }
    }
    // Mirrored left to right: top-left at (100,0), top-right at (0,0). The
    // order is the transposed symbol's: what was top-right comes out as
    // bottom-left.
    const FinderTriple m = OrderFinders(At(100, 0), At(0, 0), At(100, 100));
    EXPECT_DOUBLE_EQ(m.topLeft.centre.x, 100);
    EXPECT_DOUBLE_EQ(m.topRight.centre.x, 100);
    EXPECT_DOUBLE_EQ(m.topRight.centre.y, 100);
    EXPECT_DOUBLE_EQ(m.bottomLeft.centre.x, 0);
}

TEST(FinderOrder, TriplesPreferSquareSymbolsAndEstimateTheSize) {
    // A version 3 symbol (29 modules) at 4 px per module turned by 30
    // degrees: finder centres 22 modules = 88 px apart. Two stray finders.
    const double a = std::numbers::pi / 6, c = std::cos(a), s = std::sin(a);
    auto point = [&](double u, double v) {
        FinderCandidate f = At(200 + 88 * (u * c - v * s), 200 + 88 * (u * s + v * c));
        f.moduleSize = 4 / std::max(c, s); // as measured along rows
        return f;
    };
    const std::vector<FinderCandidate> found = {point(1, 0), At(50, 60), point(0, 0), At(320, 40),
                                                point(0, 1)};
    const std::vector<FinderTriple> triples = ChooseTriples(found, 3);
    ASSERT_FALSE(triples.empty());
    EXPECT_NEAR(triples[0].topLeft.centre.x, 200, 1e-9);
    EXPECT_NEAR(TripleModuleSize(triples[0]), 4, 1e-9);
    EXPECT_EQ(EstimateModuleCount(triples[0]), 29);
}

TEST(PerspectiveMap, MapsCornersAndKeepsLinesStraight) {
    const std::array<PlanePoint, 4> from = {
        PlanePoint{3.5, 3.5}, {21.5, 3.5}, {18.5, 18.5}, {3.5, 21.5}};
    const std::array<PlanePoint, 4> to = {PlanePoint{10, 20}, {200, 35}, {170, 190}, {5, 230}};
    const std::optional<Perspective> map = Perspective::FromQuads(from, to);
    ASSERT_TRUE(map);
    for (size_t i = 0; i < 4; ++i) {
        const PlanePoint p = map->Map(from[i]);
        EXPECT_NEAR(p.x, to[i].x, 1e-9);
        EXPECT_NEAR(p.y, to[i].y, 1e-9);
    }
    // Points on a line stay on a line (the defining property).
    const PlanePoint a = map->Map({3.5, 10}), b = map->Map({12, 10}), c = map->Map({21.5, 10});
    EXPECT_NEAR((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0, 1e-6);
    // Three corners on a line: no map.
    EXPECT_FALSE(Perspective::FromQuads(from, {PlanePoint{0, 0}, {1, 1}, {2, 2}, {0, 5}}));
}

TEST(PerspectiveMap, ParallelogramIsAffine) {
    FinderTriple t{At(10, 10), At(110, 10), At(10, 110)};
    const std::optional<Perspective> map = GridFromFinders(t, 25, std::nullopt);
    ASSERT_TRUE(map);
    // 100 px over 18 modules between finder centres.
    const PlanePoint corner = map->Map({0, 0}), far = map->Map({25, 25});
    EXPECT_NEAR(corner.x, 10 - 3.5 * 100 / 18, 1e-9);
    EXPECT_NEAR(far.y, 10 + 21.5 * 100 / 18, 1e-9);
}

// Through the grid of its own finders a symbol shows its finder patterns
// whole, in either polarity; a grid moved off them shows noise.
TEST(PerspectiveMap, FinderAgreementTellsFindersFromData) {
    const test::Modules m = test::EncodeText("FINDERS", 1, 3);
    ASSERT_EQ(m.size(), 29u);
    const test::Picture picture = test::Render(m, 4, 4);
    test::Picture inverted = picture;
    for (uint8_t& g : inverted.grey) g = uint8_t(255 - g);
    // Finder centres 3.5 modules in from the symbol's corners, 16 px quiet zone.
    const double near = 16 + 3.5 * 4, far = 16 + (29 - 3.5) * 4;
    const FinderTriple onFinders{At(near, near), At(far, near), At(near, far)};
    const FinderTriple offFinders{At(near + 40, near + 36), At(far + 40, near + 36),
                                  At(near + 40, far + 36)};
    const std::optional<Perspective> on = GridFromFinders(onFinders, 29, std::nullopt);
    const std::optional<Perspective> off = GridFromFinders(offFinders, 29, std::nullopt);
    ASSERT_TRUE(on && off);
    EXPECT_GE(FinderAgreementAt(ToGrey(picture), *on, 29, false), 0.95);
    EXPECT_GE(FinderAgreementAt(ToGrey(inverted), *on, 29, true), 0.95);
    EXPECT_LT(FinderAgreementAt(ToGrey(picture), *off, 29, false), 0.8);
    EXPECT_LT(FinderAgreementAt(ToGrey(picture), *on, 29, true), 0.5) << "the other polarity";
}

// The version blocks read back as the encoder placed them, and tolerate
// three wrong bits.
TEST(VersionBlocks, ReadFromEncodedSymbols) {
    EXPECT_EQ(VersionCode(7), 0x07C94u);
    EXPECT_EQ(VersionCode(40), 0x28C69u);
    for (int version : {7, 21, 40}) {
        test::Modules m = test::EncodeText(kText, 1, version);
        ASSERT_EQ(int(m.size()), 17 + 4 * version);
        EXPECT_EQ(ReadVersionBlocks(m), version);
        EXPECT_EQ(ReadVersionBlocks(Transpose(m)), version);
        const int n = int(m.size());
        for (int i : {0, 7, 16}) { // break three bits of the bottom-left block
            char& bit = m[size_t(n - 11 + i % 3)][size_t(i / 3)];
            bit = bit == '1' ? '0' : '1';
        }
        for (int i : {1, 8, 17}) { // and of the top-right one
            char& bit = m[size_t(i / 3)][size_t(n - 11 + i % 3)];
            bit = bit == '1' ? '0' : '1';
        }
        EXPECT_EQ(ReadVersionBlocks(m), version);
    }
    EXPECT_EQ(ReadVersionBlocks(test::EncodeText(kText, 1, 6)), 0); // too small to carry them
}

TEST(LocalThresholdTest, FollowsUnevenLightingWhereOneThresholdCannot) {
    // Dark squares on a background fading from white to grey, the dark
    // squares of the grey side lighter than the white side's background
    // would need.
    test::Picture p;
    p.width = 400, p.height = 100;
    p.grey.resize(40000);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x) {
            const double light = 255 - 0.4 * x, dark = light - 90;
            p.at(y, x) = uint8_t((x / 10 + y / 10) % 2 ? dark : light);
        }
    const GreyImage grey = ToGrey(p);
    const BitPlane local = BinariseLocal(grey);
    const BitPlane global = BinariseGlobal(grey);
    int localWrong = 0, globalWrong = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x) {
            const bool dark = (x / 10 + y / 10) % 2;
            localWrong += local.at(x, y) != dark;
            globalWrong += global.at(x, y) != dark;
        }
    EXPECT_EQ(localWrong, 0);
    EXPECT_GT(globalWrong, 4000);
}

// Lines longer than 16-bit positions hold take the 32-bit runs: a symbol at
// the far end of a picture 33000 pixels wide gives the finders it gives
// alone, moved. A search called off before it starts gives nothing.
TEST(FinderLocation, WideLinesAndACalledOffSearch) {
    const test::Picture symbol = test::Render(test::EncodeText(kText, 1, 2), 3, 4);
    const int left = 33000 - symbol.width - 10;
    const BitPlane alone = BinariseGlobal(ToGrey(symbol));
    const BitPlane wide = BinariseGlobal(ToGrey(Place(symbol, 33000, symbol.height, left, 0)));
    const auto expected = LocateFinders(alone), found = LocateFinders(wide);
    ASSERT_GE(expected[0].size(), 3u);
    ASSERT_EQ(found[0].size(), expected[0].size());
    for (size_t i = 0; i < found[0].size(); ++i) {
        EXPECT_DOUBLE_EQ(found[0][i].centre.x, expected[0][i].centre.x + left);
        EXPECT_DOUBLE_EQ(found[0][i].centre.y, expected[0][i].centre.y);
        EXPECT_EQ(found[0][i].hits, expected[0][i].hits);
    }
    const std::atomic<bool> go = false, stop = true;
    EXPECT_EQ(LocateFinders(alone, {}, &go)[0].size(), expected[0].size());
    EXPECT_TRUE(LocateFinders(alone, {}, &stop)[0].empty());
}

// The finder search reads rows made on the way as it reads a whole plane,
// and a row asked for out of order is the plane's row all the same.
TEST(FinderLocation, RowsMadeOnTheWayGiveTheWholePlanesFinders) {
    const test::Picture symbol = test::Render(test::EncodeText(kText, 1, 2), 3, 4);
    const GreyImage grey = ToGrey(Place(symbol, 300, 260, 40, 30));
    const std::array<uint64_t, 256> histogram = GreyHistogram(grey);
    auto same = [](const auto& a, const auto& b) {
        for (size_t p = 0; p < 2; ++p) {
            ASSERT_EQ(a[p].size(), b[p].size());
            for (size_t i = 0; i < a[p].size(); ++i) {
                EXPECT_EQ(a[p][i].centre.x, b[p][i].centre.x);
                EXPECT_EQ(a[p][i].centre.y, b[p][i].centre.y);
                EXPECT_EQ(a[p][i].moduleSize, b[p][i].moduleSize);
                EXPECT_EQ(a[p][i].hits, b[p][i].hits);
            }
        }
    };
    const BitPlane local = BinariseLocal(grey, histogram);
    const auto expected = LocateFinders(local);
    ASSERT_GE(expected[0].size(), 3u);
    same(LocateFinders(LocalRows(grey, histogram)), expected);
    same(LocateFinders(GlobalRows(grey, histogram)), LocateFinders(BinariseGlobal(grey)));
    LocalRows rows(grey, histogram);
    std::vector<uint8_t> room(size_t(grey.width));
    for (int y = grey.height - 1; y >= 0; y -= 7)
        EXPECT_TRUE(std::equal(local.bits.begin() + y * grey.width,
                               local.bits.begin() + (y + 1) * grey.width, rows.Row(y, room.data())))
            << "row " << y;
}

// A lone finder, its modules of any width and height, dark on light or
// light on dark, and touching the picture's edge or not, is found once, at
// its centre, by rows and columns alike: the cross-checks that confirm each
// scan's hits look the crossing line up in either direction.
TEST(FinderLocation, ALoneFinderOfAnyModuleShapeIsFoundByRowsAndColumns) {
    struct Case {
        const char* name;
        int moduleWidth, moduleHeight, margin;
        bool lightOnDark;
    } const cases[] = {
        {"square modules of 2 pixels", 2, 2, 6, false},
        {"modules twice as tall as wide", 3, 6, 6, false},
        {"modules twice as wide as tall", 6, 3, 6, false},
        {"light on dark, 4 by 5 pixels", 4, 5, 6, true},
        {"at the top-left corner, light margin none", 3, 3, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = 7 * c.moduleWidth + 2 * c.margin + 9,
                  h = 7 * c.moduleHeight + 2 * c.margin + 5;
        BitPlane plane{w, h, {}};
        plane.bits.assign(size_t(w) * size_t(h), c.lightOnDark ? 1 : 0);
        for (int y = 0; y < 7 * c.moduleHeight; ++y)
            for (int x = 0; x < 7 * c.moduleWidth; ++x) {
                const int ring =
                    std::max(std::abs(x / c.moduleWidth - 3), std::abs(y / c.moduleHeight - 3));
                plane.bits[size_t(y + c.margin) * size_t(w) + size_t(x + c.margin)] =
                    uint8_t((ring != 2) != c.lightOnDark);
            }
        const auto found = LocateFinders(plane);
        const std::vector<FinderCandidate>& pool = found[c.lightOnDark ? 1 : 0];
        ASSERT_EQ(pool.size(), 1u);
        EXPECT_DOUBLE_EQ(pool[0].centre.x, c.margin + 3.5 * c.moduleWidth);
        EXPECT_DOUBLE_EQ(pool[0].centre.y, c.margin + 3.5 * c.moduleHeight);
        // Every row and column through the centre square hits, and every
        // hit is confirmed across, to the first and last line.
        EXPECT_EQ(pool[0].hits, 3 * (c.moduleWidth + c.moduleHeight));
    }
}

TEST(LocalThresholdTest, HalvingRoundsEachBlocksMeanAndDropsAnOddEdge) {
    std::mt19937 rng(5);
    for (int width : {2, 31, 32, 33, 67}) {
        GreyImage grey(width, 5);
        for (uint8_t& g : grey.pixels) g = uint8_t(rng());
        const GreyImage half = HalveImage(grey);
        ASSERT_EQ(half.width, width / 2);
        ASSERT_EQ(half.height, 2);
        for (int y = 0; y < half.height; ++y)
            for (int x = 0; x < half.width; ++x) {
                const int sum = grey.at(2 * y, 2 * x) + grey.at(2 * y, 2 * x + 1) +
                                grey.at(2 * y + 1, 2 * x) + grey.at(2 * y + 1, 2 * x + 1);
                ASSERT_EQ(half.at(y, x), (sum + 2) / 4) << width << " " << x << "," << y;
            }
    }
}

struct SceneCase {
    const char* name;
    int version;
    std::function<test::Picture(const test::Picture&)> change;
    double modulePx = 4;
};

class SecondSearchScene : public ::testing::TestWithParam<SceneCase> {};

TEST_P(SecondSearchScene, DecodesTheSymbol) {
    const SceneCase& c = GetParam();
    const test::Modules m = test::EncodeText(kText, 1, c.version);
    const test::Picture picture = c.change(test::Render(m, c.modulePx, 4));
    const Outcome o = Search(picture);
    EXPECT_EQ(o.message, "");
    EXPECT_EQ(o.text, kText);
    EXPECT_EQ(o.result.SymbolVersion, int(m.size() - 17) / 4);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Turned, SecondSearchScene, ::testing::Values(
    SceneCase{"Upright", 2, [](const test::Picture& p) { return p; }},
    SceneCase{"Quarter", 3, [](const test::Picture& p) { return Rotate(p, 90); }},
    SceneCase{"Half", 7, [](const test::Picture& p) { return Rotate(p, 180); }},
    SceneCase{"ThreeQuarters", 1, [](const test::Picture& p) { return Rotate(p, 270); }},
    SceneCase{"Slightly", 5, [](const test::Picture& p) { return Rotate(p, 2.5); }},
    SceneCase{"Seventeen", 4, [](const test::Picture& p) { return Rotate(p, 17); }},
    SceneCase{"FortyFive", 10, [](const test::Picture& p) { return Rotate(p, 45); }, 5},
    SceneCase{"Large", 25, [](const test::Picture& p) { return Rotate(p, 200); }, 5}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Changed, SecondSearchScene, ::testing::Values(
    SceneCase{"Mirrored", 3, [](const test::Picture& p) { return Mirror(p); }},
    SceneCase{"MirroredAndTurned", 8, [](const test::Picture& p) { return Rotate(Mirror(p), 120); }},
    SceneCase{"LightOnDark", 4, [](const test::Picture& p) { return Invert(p); }},
    SceneCase{"LightOnDarkTurned", 2, [](const test::Picture& p) { return Invert(Rotate(p, 33)); }},
    SceneCase{"KeystoneVersion1", 1, [](const test::Picture& p) { return Keystone(p, 0.12); }, 6},
    SceneCase{"Keystone", 6, [](const test::Picture& p) { return Keystone(Rotate(p, 10), 0.1); }},
    SceneCase{"SmallModules", 3, [](const test::Picture& p) { return p; }, 1.6},
    SceneCase{"SmallModulesTurned", 2, [](const test::Picture& p) { return Rotate(p, 30); }, 2.2}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A 180-px symbol somewhere in a large picture: plain white, and among
// windows, text and icons.
TEST(SecondSearchLarge, SymbolInLargeWhitePicture) {
    const test::Modules m = test::EncodeText(kText, 1, 4); // 33 modules
    const test::Picture symbol = test::Render(m, 180.0 / 33, 2);
    const Outcome o = Search(Place(symbol, 2000, 2000, 1420, 305));
    EXPECT_EQ(o.message, "");
    EXPECT_EQ(o.text, kText);
}

TEST(SecondSearchLarge, SymbolOnBusyDesktop) {
    const test::Modules m = test::EncodeText(kText, 1, 4);
    test::Picture picture = Desktop(2000, 1600, 3);
    const test::Picture symbol = Rotate(test::Render(m, 180.0 / 33, 4), 8);
    Paste(picture, symbol, 300, 900);
    const Outcome o = Search(picture);
    EXPECT_EQ(o.message, "");
    EXPECT_EQ(o.text, kText);
}

// Full-height stripes in finder proportions: every row crossing fits, and
// the cross-check down the column meets a centre run as long as the picture.
// It gives up once the run is longer than any fitting side runs allow, so
// the search stays linear in the pixels and finds nothing.
TEST(SecondSearchLarge, FinderLikeStripesGiveNoCandidates) {
    const GreyImage stripes = ToGrey(test::FinderStripes(4, 1500));
    const auto found = LocateFinders(BinariseGlobal(stripes));
    EXPECT_TRUE(found[0].empty());
    EXPECT_TRUE(found[1].empty());
    DecodeEngine engine;
    DecodeResult result;
    EXPECT_EQ(SecondSearch(stripes, engine, result), kSecondSearchFailed);
}

// Pictures above 2048 pixels, searched at half size and then at full size
// for small modules: a second thread finds the later planes' finders
// meanwhile, and what it finds is read in the same order.
TEST(SecondSearchLarge, TwoThreadsReadWhatOneReads) {
    const test::Modules m = test::EncodeText(kText, 1, 4);
    test::Picture small = Desktop(2600, 1500, 5), large = Desktop(2600, 1500, 6);
    Paste(small, test::Render(m, 2, 4), 1700, 900); // modules that halving blurs
    Paste(large, Rotate(test::Render(m, 5, 4), 12), 400, 300);
    test::Picture empty = Desktop(2600, 1500, 7);
    for (const auto& [p, text] :
         {std::pair{&small, kText}, {&large, kText}, {&empty, std::string()}}) {
        const Outcome one = Search(*p, 1), two = Search(*p, 2);
        EXPECT_EQ(one.text, text);
        EXPECT_EQ(two.message, one.message);
        EXPECT_EQ(two.text, one.text);
        EXPECT_EQ(two.result.SymbolVersion, one.result.SymbolVersion);
        EXPECT_EQ(two.result.ErrorRate, one.result.ErrorRate);
    }
}

// Called off before it starts, the search finds nothing, on one thread or
// two: the look-ahead pass too, whether it runs on its own thread or when
// it is taken. Called off while it runs, it ends with what it found so far.
TEST(SecondSearchLarge, ACalledOffSearchEndsWithWhatItFoundSoFar) {
    const test::Modules m = test::EncodeText(kText, 1, 4);
    test::Picture picture = Desktop(2600, 1500, 5);
    Paste(picture, test::Render(m, 2, 4), 1700, 900); // found by the look-ahead pass alone
    const GreyImage grey = ToGrey(picture);
    for (int threads : {1, 2}) {
        std::atomic<bool> stop = true;
        DecodeEngine engine;
        DecodeResult result;
        EXPECT_EQ(SecondSearch(grey, engine, result, threads, &stop), kSecondSearchFailed)
            << threads << " threads";
        EXPECT_EQ(result.SymbolVersion, -1);

        stop = false;
        std::thread caller([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            stop = true;
        });
        const std::string message = SecondSearch(grey, engine, result, threads, &stop);
        caller.join();
        if (message.empty())
            EXPECT_EQ(engine.GetDecodedText(), kText);
        else
            EXPECT_EQ(message, kSecondSearchFailed);
    }
}

// Work ahead gives its result once, on a thread of its own or when taken;
// called off by the caller while it is taken, it gives nothing, and its
// destructor calls it off and waits for it (a test that would hang).
TEST(WorkAheadTest, GivesItsResultOrIsCalledOff) {
    for (bool thread : {false, true}) {
        WorkAhead<int> ahead([](const std::atomic<bool>*) { return 42; }, thread);
        EXPECT_EQ(ahead.Take(), 42) << (thread ? "on a thread" : "when taken");
    }
    auto untilStopped = [](const std::atomic<bool>* stop) {
        while (stop && !stop->load()) std::this_thread::yield();
        return stop ? 1 : 0;
    };
    std::atomic<bool> callOff = true;
    {
        WorkAhead<int> ahead(untilStopped, true);
        EXPECT_EQ(ahead.TakeUnless(&callOff), std::nullopt);
    }
    WorkAhead<int> here(untilStopped, false); // the caller's flag stops it
    EXPECT_EQ(here.TakeUnless(&callOff), std::optional<int>(1));
}

// Without a symbol the search fails and leaves a fresh result.
TEST(SecondSearchLarge, NoSymbolFailsAndLeavesAFreshResult) {
    const GreyImage grey = ToGrey(Desktop(1600, 1200, 11));
    DecodeEngine engine;
    DecodeResult result;
    result.SymbolVersion = 5;
    EXPECT_EQ(SecondSearch(grey, engine, result), kSecondSearchFailed);
    EXPECT_EQ(result.SymbolVersion, -1);

    EXPECT_EQ(SecondSearch(GreyImage(5, 5), engine, result), kSecondSearchFailed);
    EXPECT_EQ(SecondSearch(GreyImage(), engine, result), kSecondSearchFailed);
}
