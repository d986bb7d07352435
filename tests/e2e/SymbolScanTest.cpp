// The every-symbol search of a whole picture, on screens made at test time
// from libqrencode symbols and the benchmark's desktop pictures, with
// zxing-cpp as a black-box reference for what must at least be found.
#include "SymbolScan.h"
#include "LoosePictures.h"
#include "QrFixtures.h"

#define ZX_USE_UTF8 // text() as UTF-8
#include <ZXing/ReadBarcode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace zorvik;

namespace {

GreyImage ToGrey(const GreyPicture& p) {
    GreyImage grey(p.width, p.height);
    std::copy(p.pixels.begin(), p.pixels.end(), grey.pixels.begin());
    return grey;
}

std::vector<std::string> Zxing(const GreyPicture& p) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    std::vector<std::string> texts;
    for (const ZXing::Result& r : ZXing::ReadBarcodes(
             ZXing::ImageView(p.pixels.data(), p.width, p.height, ZXing::ImageFormat::Lum), hints))
        if (r.isValid()) texts.push_back(r.text());
    return texts;
}

// Where DrawSymbol puts a symbol's top-left module corner.
PlanePoint TopLeftCorner(const SymbolPlacement& at, int modules) {
    const double half = modules * at.modulePx / 2, turn = at.degrees * M_PI / 180;
    const double c = std::cos(turn), s = std::sin(turn);
    return {at.centreX - half * c + half * s, at.centreY - half * s - half * c};
}

double Distance(PlanePoint a, PlanePoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Signed area: positive when the corners run clockwise on screen.
double Turn(const std::array<PlanePoint, 4>& q) {
    double area = 0;
    for (size_t i = 0; i < 4; ++i) area += q[i].x * q[(i + 1) % 4].y - q[(i + 1) % 4].x * q[i].y;
    return area / 2;
}

void ExpectOrdered(const std::vector<FoundSymbol>& found, const std::string& name) {
    for (size_t i = 1; i < found.size(); ++i) {
        const PlanePoint a = found[i - 1].corners[0], b = found[i].corners[0];
        const double ay = std::round(a.y), by = std::round(b.y);
        EXPECT_TRUE(ay < by || (ay == by && a.x <= b.x)) << name << " result " << i;
    }
}

} // namespace

TEST(FindAllSymbols, ScreensGiveEverySymbolOnceWhereItWasDrawnAndAtLeastWhatZxingReads) {
    const std::vector<std::string> texts = {"https://example.jp/screen/one",
                                            "二つ目のシンボル: light on dark?", "THIRD 2PX"};
    const std::vector<test::Modules> symbols = {test::EncodeText(texts[0], 1, 3),
                                                test::EncodeText(texts[1], 1, 4),
                                                test::EncodeText(texts[2], 1, 2)};
    for (const ScreenPicture& screen : MakeScreenPictures(symbols)) {
        const std::vector<FoundSymbol> found = FindAllSymbols(ToGrey(screen.picture));
        ASSERT_EQ(found.size(), screen.symbols.size()) << screen.name;
        const std::vector<FoundSymbol> oneThread = FindAllSymbols(ToGrey(screen.picture), 1);
        ASSERT_EQ(oneThread.size(), found.size()) << screen.name << ": the same on one thread";
        for (size_t i = 0; i < found.size(); ++i)
            EXPECT_TRUE(oneThread[i].text == found[i].text &&
                        oneThread[i].matrix == found[i].matrix)
                << screen.name << ": the same on one thread";
        ExpectOrdered(found, screen.name);
        for (size_t i = 0; i < screen.symbols.size(); ++i) {
            const int k = screen.symbols[i];
            const int n = int(symbols[size_t(k)].size());
            const PlanePoint expected = TopLeftCorner(screen.placements[i], n);
            const auto match = std::find_if(found.begin(), found.end(), [&](const FoundSymbol& f) {
                return Distance(f.corners[0], expected) < 1.5 * screen.placements[i].modulePx;
            });
            ASSERT_NE(match, found.end()) << screen.name << " symbol " << k;
            EXPECT_EQ(match->text, texts[size_t(k)]) << screen.name;
            EXPECT_GT(Turn(match->corners), 0) << screen.name << ": upright symbols run clockwise";
            EXPECT_NEAR(Distance(match->corners[0], match->corners[1]),
                        n * screen.placements[i].modulePx, 2.0)
                << screen.name;
        }
        std::multiset<std::string> ours, theirs;
        for (const FoundSymbol& f : found) ours.insert(f.text);
        for (const std::string& t : Zxing(screen.picture)) theirs.insert(t);
        EXPECT_TRUE(std::includes(ours.begin(), ours.end(), theirs.begin(), theirs.end()))
            << screen.name << ": zxing-cpp reads " << theirs.size() << ", we " << ours.size();
    }
}

TEST(FindAllSymbols, NeighboursMirrorImagesAndStructuredAppendMembersAreEachTheirOwn) {
    // Four members of one text side by side, quiet zones touching, the
    // second mirrored: four results, left to right, each with its own
    // sequence byte, the mirrored one running anticlockwise.
    const std::vector<test::AppendSymbol> members =
        test::EncodeStructured(std::string(60, 'A') + std::string(60, 'B'), 2, 1);
    ASSERT_GE(members.size(), 2u);
    const double module = 5;
    const int n = int(members[0].modules.size());
    GreyPicture page = PlainPicture(int((n + 8) * module * double(members.size())) + 40, 300, 250);
    for (size_t i = 0; i < members.size(); ++i) {
        test::Modules m = members[i].modules;
        if (i == 1)
            for (int r = 0; r < n; ++r)
                for (int c = r + 1; c < n; ++c)
                    std::swap(m[size_t(r)][size_t(c)], m[size_t(c)][size_t(r)]);
        DrawSymbol(page, m, {20 + (n + 8) * module * (double(i) + 0.5), 150, module, 0, false});
    }
    const std::vector<FoundSymbol> found = FindAllSymbols(ToGrey(page));
    ASSERT_EQ(found.size(), members.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].result.SequenceByte, members[i].sequenceByte) << i;
        EXPECT_EQ(Turn(found[i].corners) < 0, i == 1) << i;
    }
}

TEST(FindAllSymbols, PicturesWithoutASymbolOrTooSmallGiveNone) {
    EXPECT_TRUE(FindAllSymbols(ToGrey(DesktopPicture(1200, 900, 3))).empty());
    EXPECT_TRUE(FindAllSymbols(ToGrey(PlainPicture(20, 400))).empty());
    GreyImage inconsistent(100, 100);
    inconsistent.pixels.resize(10);
    EXPECT_TRUE(FindAllSymbols(inconsistent).empty());
}
