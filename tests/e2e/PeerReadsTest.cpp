// Pictures of four kinds that the peer decoders read, made here from
// libqrencode symbols, held as a ratchet: per kind, how many the default
// decode of the whole picture as a selection reads (as zorvik-cli FILE) and
// how many the every-symbol search reads (as zorvik-cli --all FILE), next to
// what zxing-cpp reads of the same grey pixels as a black box. The floors
// may only rise; the goal is zxing-cpp's count, and a kind short of it is
// reported, not failed, until the reading catches up. No picture may ever
// give a wrong text.
#include "CameraPictures.h"
#include "DecodeRun.h"
#include "LoosePictures.h"
#include "QrFixtures.h"

#define ZX_USE_UTF8 // text() as UTF-8
#include <ZXing/ReadBarcode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numbers>

using namespace zorvik;

namespace {

struct Fixture {
    std::string name, text;
    test::Picture picture;
};

using Maker = std::vector<Fixture> (*)();

test::Modules Encode(const std::string& text, int level, int version) {
    test::Modules m = test::EncodeText(text, level, version);
    EXPECT_EQ(m.size(), size_t(17 + 4 * version)) << text << ": longer than its version holds";
    return m;
}

template <typename... Args> std::string Name(const char* format, Args... args) {
    char name[64];
    std::snprintf(name, sizeof name, format, args...);
    return name;
}

// A text of length characters, so that a symbol is mostly data.
std::string Filler(const char* start, size_t length) {
    std::string text = start;
    for (int i = 0; text.size() < length; ++i) text += " item " + std::to_string(i * 37 % 1000);
    return text.substr(0, length);
}

// The first format copy around the top-left finder, as (row, column) in
// reading order; the second copy stays as the encoder made it.
constexpr int kFirstCopy[15][2] = {{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
                                   {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8}};

// Four to six flipped modules: more than a copy corrects, so the first copy
// alone gives no code or a wrong one.
std::vector<Fixture> FirstFormatCopyDamaged() {
    struct Case {
        const char* text;
        int level, version;
        std::vector<int> flips; // into kFirstCopy
        double modulePx;
    };
    const Case cases[] = {
        {"https://example.jp/format/a", 0, 2, {0, 3, 7, 11}, 4},
        {"FORMAT COPY 2 ONLY", 1, 3, {1, 2, 5, 9, 13}, 4},
        {"形式情報の一つ目が汚れている", 2, 5, {0, 4, 6, 8, 10, 14}, 3},
        {"0123456789012345678901234567890", 3, 7, {2, 6, 9, 12, 14}, 3},
        {"second copy", 0, 1, {5, 6, 7, 8}, 5},
        {"six of fifteen", 1, 10, {1, 3, 5, 7, 9, 11}, 3},
    };
    std::vector<Fixture> fixtures;
    for (const Case& c : cases) {
        test::Modules m = Encode(c.text, c.level, c.version);
        for (int i : c.flips) {
            char& module = m[size_t(kFirstCopy[i][0])][size_t(kFirstCopy[i][1])];
            module = module == '1' ? '0' : '1';
        }
        fixtures.push_back({Name("v%d, %zu flipped", c.version, c.flips.size()), c.text,
                            test::Render(m, c.modulePx, 4)});
    }
    return fixtures;
}

test::Picture FromGrey(const GreyPicture& g) {
    test::Picture p;
    p.width = g.width, p.height = g.height;
    p.grey = g.pixels;
    return p;
}

// One symbol at 2 pixels a module on a 4K desktop, upright, anywhere.
std::vector<Fixture> SmallOnA4kScreen() {
    struct Case {
        const char* text;
        int level, version;
        double x, y; // of the centre, as shares of the screen
    };
    const Case cases[] = {
        {"SMALL 2PX", 2, 1, 0.15, 0.20},
        {"https://example.jp/2px/desktop", 1, 3, 0.50, 0.50},
        {"小さなシンボル", 0, 4, 0.85, 0.80},
        {"2PX VERSION SIX ON A 4K SCREEN", 3, 6, 0.35, 0.72},
        {"https://example.jp/2px/ten", 0, 10, 0.70, 0.30},
    };
    const GreyPicture desktop = DesktopPicture(3840, 2160, 3840 + 2160);
    std::vector<Fixture> fixtures;
    for (const Case& c : cases) {
        GreyPicture screen = desktop;
        DrawSymbol(screen, Encode(c.text, c.level, c.version),
                   {3840 * c.x, 2160 * c.y, 2, 0, false});
        fixtures.push_back({Name("v%d", c.version), c.text, FromGrey(screen)});
    }
    return fixtures;
}

// A printed symbol photographed at an angle: the far side 0.55 to 0.6 of
// the near one, the whole turned, little or no paper around it.
std::vector<Fixture> SteepKeystone() {
    struct Case {
        const char* text;
        int level, version;
        double nearPx;  // a module along the near side
        double far;     // far side / near side
        double depth;   // from the near side to the far one / near side
        double degrees; // 0: the top is far; 90: the right
        double quiet;   // paper, in modules
        uint8_t background;
    };
    const Case cases[] = {
        {"KEYSTONE TOP FAR", 1, 2, 8, 0.6, 0.85, 0, 0, 200},
        {"近い", 2, 1, 5, 0.55, 1, 20, 0, 110},
        {"https://example.jp/keystone", 1, 3, 5, 0.6, 1, 200, 1, 110},
        {"LEFT FAR, NO MARGIN", 0, 4, 6, 0.6, 1, 270, 1, 110},
        {"https://example.jp/keystone/six", 1, 6, 6, 0.6, 0.85, 90, 1, 200},
        {"RIGHT FAR", 1, 2, 8, 0.6, 0.7, 90, 1, 200},
    };
    std::vector<Fixture> fixtures;
    for (const Case& c : cases) {
        const test::Modules m = Encode(c.text, c.level, c.version);
        const double nearSide = c.nearPx * double(m.size()), depth = c.depth * nearSide;
        // The quadrilateral with its far side on top, about its centre, then
        // turned clockwise.
        const std::array<test::PicturePoint, 4> upright = {{{-c.far * nearSide / 2, -depth / 2},
                                                            {c.far * nearSide / 2, -depth / 2},
                                                            {nearSide / 2, depth / 2},
                                                            {-nearSide / 2, depth / 2}}};
        const double turn = c.degrees * std::numbers::pi / 180;
        const int side = int(nearSide * 1.4);
        test::Photograph photo;
        photo.width = photo.height = side;
        for (size_t k = 0; k < 4; ++k)
            photo.corners[k] = {
                side / 2.0 + upright[k].x * std::cos(turn) - upright[k].y * std::sin(turn),
                side / 2.0 + upright[k].x * std::sin(turn) + upright[k].y * std::cos(turn)};
        photo.quietModules = c.quiet, photo.background = c.background;
        fixtures.push_back({Name("v%d turned %g", c.version, c.degrees), c.text,
                            test::RenderPhotograph(m, photo)});
    }
    return fixtures;
}

// Drawn at one pixel a module and scaled up bicubically to near 3.6.
std::vector<Fixture> BicubicNear3_6() {
    struct Case {
        size_t length;
        int level, version;
        double factor;
    };
    const Case cases[] = {
        {300, 0, 17, 3.6}, {250, 1, 18, 3.55}, {180, 2, 18, 3.62},
        {150, 3, 19, 3.7}, {400, 0, 18, 3.65},
    };
    std::vector<Fixture> fixtures;
    for (const Case& c : cases) {
        const std::string text = Filler("bicubic ", c.length);
        fixtures.push_back(
            {Name("v%d x %g", c.version, c.factor), text,
             test::ScaleBicubic(test::Render(Encode(text, c.level, c.version), 1, 4), c.factor)});
    }
    return fixtures;
}

bool ZxingReads(const test::Picture& p, const std::string& text) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    for (const ZXing::Result& r : ZXing::ReadBarcodes(
             ZXing::ImageView(p.grey.data(), p.width, p.height, ZXing::ImageFormat::Lum), hints))
        if (r.isValid() && r.text() == text) return true;
    return false;
}

struct Reads {
    int selection = 0, whole = 0, zxing = 0, total = 0;
};

// Each picture as the command line gets it, a bitmap file: a fresh run as
// for zorvik-cli FILE, and the search of zorvik-cli --all FILE.
Reads Read(const char* kind, const std::vector<Fixture>& fixtures) {
    Reads reads;
    for (const Fixture& f : fixtures) {
        const std::vector<uint8_t> bitmap = test::ToBmp24(f.picture);
        RecognitionStages stages;
        const DecodeOutcome outcome = RunDecode(bitmap, stages);
        const bool selection = outcome.kind == DecodeOutcome::Kind::Decoded;
        if (selection) {
            EXPECT_EQ(outcome.text, f.text) << kind << " " << f.name << ": wrong text";
        }
        bool whole = false;
        for (const FoundSymbol& s : ScanPicture(bitmap).symbols) {
            EXPECT_EQ(s.text, f.text) << kind << " " << f.name << ": wrong text from --all";
            whole = whole || s.text == f.text;
        }
        const bool zxing = ZxingReads(f.picture, f.text);
        reads.selection += selection && outcome.text == f.text;
        reads.whole += whole;
        reads.zxing += zxing;
        ++reads.total;
        if (zxing && !(selection && whole))
            std::cout << "  " << kind << " " << f.name << ": zxing-cpp reads it, ZORVIK"
                      << (selection ? "" : " not as a selection (" + outcome.message + ")")
                      << (whole ? "" : " not with --all") << "\n";
    }
    return reads;
}

struct Ratchet {
    const char* kind;
    Maker make;
    int selection, whole; // ZORVIK's floors: raise them when more are read
};

// When the floors were set zxing-cpp read 6, 5, 5 and 5 of these. GAP marks
// a kind that ZORVIK reads less of; it is printed, not failed.
const Ratchet kRatchet[] = {
    {"first format copy damaged", FirstFormatCopyDamaged, 6, 6},
    {"2 px a module on a 4K screen", SmallOnA4kScreen, 5, 5},
    // Not read: version 1 without paper on a mid-grey ground, where both
    // binarisations merge the finders' outer rings with the ground.
    {"steep keystone", SteepKeystone, 5, 5},
    {"bicubic near 3.6 px, v17-19", BicubicNear3_6, 5, 5},
};

} // namespace

TEST(PeerReads, EachKindReadsAtLeastItsFloorAndTheGoalIsWhatZxingReads) {
    for (const Ratchet& r : kRatchet) {
        const Reads reads = Read(r.kind, r.make());
        std::cout << r.kind << ": selection " << reads.selection << ", --all " << reads.whole
                  << ", zxing-cpp " << reads.zxing << " of " << reads.total << "\n";
        // Made pictures go through floating point that another compiler or
        // libm may round otherwise: a gain is told, not failed.
        EXPECT_GE(reads.selection, r.selection) << r.kind << ": fewer read as a selection";
        EXPECT_GE(reads.whole, r.whole) << r.kind << ": fewer read by --all";
        if (reads.selection > r.selection || reads.whole > r.whole)
            std::cout << "  more read than the floor: raise it if the gain is understood\n";
        if (std::min(reads.selection, reads.whole) < reads.zxing)
            std::cout << "  GAP: " << r.kind << " reads fewer than zxing-cpp\n";
    }
}
