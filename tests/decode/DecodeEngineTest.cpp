// The decode driver on symbols made by libqrencode: every version and level,
// mixed segments, structured append, the failure messages, and the
// segment-information file. The expected statistics are worked out here from
// the segments themselves, not from the decoder's tables.
#include "DecodeEngine.h"

#include "CodewordReadout.h"
#include "EngineRun.h"
#include "FormatInfo.h"
#include "QrFixtures.h"
#include "SegmentParser.h"
#include "TempFolder.h"

#include <ZXing/ReadBarcode.h>
#include <ZXing/TextUtfEncoding.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <bitset>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace zorvik;

namespace {

using test::Decode;
using test::Decoded;

int CountWidth(int mode, int version) {
    // ISO/IEC 18004, Table 3: number of bits in the character count indicator.
    static const int widths[3][4] = {
        // numeric  alphanumeric  byte  kanji
        {10, 9, 8, 8},    // versions 1 to 9
        {12, 11, 16, 10}, // versions 10 to 26
        {14, 13, 16, 12}, // versions 27 to 40
    };
    return widths[version < 10 ? 0 : version < 27 ? 1 : 2][mode];
}

// Mode indicator, count indicator and data bits of one segment.
int SegmentBits(const test::Segment& s, int version) {
    const int n = int(s.data.size());
    int data = 0;
    switch (s.mode) {
    case 0:
        data = n / 3 * 10 + (n % 3 == 1 ? 4 : n % 3 == 2 ? 7 : 0);
        break;
    case 1:
        data = n / 2 * 11 + n % 2 * 6;
        break;
    case 2:
        data = 8 * n;
        break;
    default:
        data = n / 2 * 13; // two Shift_JIS bytes per character
    }
    return 4 + CountWidth(s.mode, version) + data;
}

// Codewords up to the terminator: whatever follows the last segment (a full
// or shortened terminator, or nothing at all) starts where parsing stops.
int DataWords(const std::vector<test::Segment>& segments, int version, int headerBits = 0) {
    int bits = headerBits;
    for (const test::Segment& s : segments) bits += SegmentBits(s, version);
    return (bits + 7) / 8;
}

// Both counts are bytes of input: digits and letters one each, Shift_JIS
// characters two, a kanji character counting 2.
int TextBytes(const std::vector<test::Segment>& segments) {
    int n = 0;
    for (const test::Segment& s : segments) n += int(s.data.size());
    return n;
}

struct Glyph {
    const char* sjis;
    const char* utf8;
};

// Double-byte characters inside the kanji-mode ranges 8140-9FFC and E040-EBBF,
// including both range ends' neighbourhoods and an NEC special character.
const Glyph kKanji[] = {
    {"\x93\xFA", "日"}, {"\x96\x7B", "本"}, {"\x8C\xEA", "語"}, {"\x8A\xBF", "漢"},
    {"\x8E\x9A", "字"}, {"\x93\x5F", "点"}, {"\xE4\xAA", "茗"}, {"\x82\xA0", "あ"},
    {"\x83\x41", "ア"}, {"\x87\x40", "①"},  {"\xEA\xA4", "熙"}, {"\x88\x9F", "亜"},
    {"\x9F\xFC", "滌"}, {"\xE0\x40", "漾"}, {"\x88\xFC", "蔭"}, {"\x81\x40", "　"},
    {"\x81\x5B", "ー"},
};

// Byte-mode extras: single-byte characters (backslash and tilde stay ASCII
// in code page 932) and the IBM extension 髙, which kanji mode cannot hold.
const Glyph kByteOnly[] = {
    {"\xB1", "ｱ"}, {"A", "A"}, {"\\", "\\"}, {"~", "~"}, {"\xFB\xFC", "髙"},
};

struct Content {
    test::Segment segment;
    std::string text; // expected UTF-8
};

// Kind 0 numeric, 1 alphanumeric, 2 ASCII bytes, 3 Shift_JIS bytes, 4 kanji.
Content RandomContent(int kind, int units, std::mt19937& rng) {
    static const std::string alnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    static const int modes[5] = {0, 1, 2, 2, 3};
    Content c{{modes[kind], ""}, ""};
    constexpr size_t kanjiCount = std::size(kKanji), byteOnlyCount = std::size(kByteOnly);
    for (int i = 0; i < units; ++i) {
        std::string sjis, utf8;
        switch (kind) {
        case 0:
            sjis = utf8 = std::string(1, char('0' + rng() % 10));
            break;
        case 1:
            sjis = utf8 = std::string(1, alnum[rng() % alnum.size()]);
            break;
        case 2:
            sjis = utf8 = std::string(1, char(0x20 + rng() % 95));
            break;
        default: {
            size_t k = rng() % (kanjiCount + (kind == 3 ? byteOnlyCount : 0));
            const Glyph& g = k < kanjiCount ? kKanji[k] : kByteOnly[k - kanjiCount];
            sjis = g.sjis;
            utf8 = g.utf8;
        }
        }
        c.segment.data += sjis;
        c.text += utf8;
    }
    return c;
}

TEST(DecodeEngineSweep, EveryVersionAndLevelDecodesToTheEncodedText) {
    std::mt19937 rng(4111);
    // Rough share of the modules that carry data, per level; a guess that is
    // too large just costs another, shorter try.
    const double share[4] = {0.78, 0.62, 0.45, 0.35};
    const double bitsPerUnit[5] = {10.0 / 3, 5.5, 8, 15, 13};
    for (int version = 1; version <= 40; ++version) {
        for (int level = 0; level < 4; ++level) {
            const int kind = (4 * version + level) % 5;
            SCOPED_TRACE("version " + std::to_string(version) + " level " + std::to_string(level) +
                         " kind " + std::to_string(kind));
            const int size = 4 * version + 17;
            const double bits = (size * size - 200) * share[level];
            int units = int(bits / bitsPerUnit[kind] * (0.6 + 0.45 * (rng() % 1000) / 1000.0));
            Content content;
            test::Modules symbol;
            for (; units > 0 && symbol.empty(); units = units * 9 / 10) {
                content = RandomContent(kind, units, rng);
                symbol = test::EncodeSegments({content.segment}, version, level);
            }
            ASSERT_EQ(int(symbol.size()), size);

            const Decoded d = Decode(symbol);
            ASSERT_EQ(d.message, "");
            EXPECT_EQ(d.text, content.text);
            EXPECT_EQ(d.result.SymbolVersion, version);
            EXPECT_EQ(d.result.EcLevel, level);
            EXPECT_GE(d.result.MaskPattern, 0);
            EXPECT_LE(d.result.MaskPattern, 7);
            EXPECT_EQ(d.result.ErrorRate, 0.0f);
            EXPECT_EQ(d.result.SequenceByte, -1);
            EXPECT_EQ(d.result.TextByteCount, TextBytes({content.segment}));
            EXPECT_EQ(d.result.DataWordCount, DataWords({content.segment}, version));
        }
    }
}

struct MixedCase {
    const char* name;
    std::vector<test::Segment> segments;
    int version;
    int level;
    std::string text;
};

TEST(DecodeEngineSegments, MixedModesExtensionsAndCapacityEdges) {
    const MixedCase cases[] = {
        {"all four modes",
         {{0, "0123"}, {1, "AC-42"}, {2, "Hi!"}, {3, "\x8A\xBF\x8E\x9A"}},
         1,
         0,
         "0123AC-42Hi!漢字"},
        {"code page 932 extensions in byte and kanji mode",
         {{2, "\x87\x40\xFB\xFC"}, {3, "\x87\x40"}},
         1,
         1,
         "①髙①"},
        {"16-bit byte count from version 10",
         {{2, "\xFB\xFC"
              "abc"},
          {0, "42"}},
         10,
         3,
         "髙abc42"},
        {"alternating short segments keep their order",
         {{0, "1"}, {1, "A"}, {0, "22"}, {1, "BC"}, {0, "333"}, {2, "d"}},
         2,
         0,
         "1A22BC333d"},
        // 28 + 44 bits fill the 9 data codewords exactly: no terminator at all.
        {"data fill the symbol exactly", {{2, "ab"}, {0, "123456789"}}, 1, 3, "ab123456789"},
        // 151 of 152 bits: a one-bit terminator.
        {"shortened terminator",
         {{0, "12345678901234567890123456789012345678901"}},
         1,
         0,
         "12345678901234567890123456789012345678901"},
        // 148 of 152 bits: the terminator ends exactly at the last codeword.
        {"terminator fills the last four bits",
         {{2, "0123456789abcdefg"}},
         1,
         0,
         "0123456789abcdefg"},
    };
    for (const MixedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Modules symbol = test::EncodeSegments(c.segments, c.version, c.level);
        ASSERT_FALSE(symbol.empty());
        const Decoded d = Decode(symbol);
        ASSERT_EQ(d.message, "");
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.result.TextByteCount, TextBytes(c.segments));
        EXPECT_EQ(d.result.DataWordCount, DataWords(c.segments, c.version));
    }
}

TEST(DecodeEngineSegments, StructuredAppendGivesSequenceBytesAndSlices) {
    const std::string text = "Structured append spreads one message over several symbols; "
                             "each of them holds its own slice. 0123456789";
    const std::vector<test::AppendSymbol> parts = test::EncodeStructured(text, 1, 0);
    ASSERT_GE(parts.size(), 2u);
    std::string joined;
    for (size_t k = 0; k < parts.size(); ++k) {
        SCOPED_TRACE("symbol " + std::to_string(k));
        const Decoded d = Decode(parts[k].modules);
        ASSERT_EQ(d.message, "");
        EXPECT_EQ(d.result.SequenceByte, parts[k].sequenceByte);
        ASSERT_FALSE(d.text.empty());
        EXPECT_EQ(d.text, text.substr(joined.size(), d.text.size()));
        EXPECT_EQ(d.result.TextByteCount, int(d.text.size()));
        // The 20-bit header (indicator, sequence byte, parity) comes first.
        EXPECT_EQ(d.result.DataWordCount, DataWords({{2, d.text}}, 1, 20));
        joined += d.text;
    }
    EXPECT_EQ(joined, text);
}

// The format code as placed in the symbol: level bits (L 01, M 00, Q 11,
// H 10) and mask, the BCH(15,5) remainder, XOR 101010000010010.
int FormatCode(int level, int mask) {
    static const int levelBits[4] = {1, 0, 3, 2};
    const int data = levelBits[level] << 3 | mask;
    int rem = data << 10;
    for (int i = 14; i >= 10; --i)
        if (rem >> i & 1) rem ^= 0x537 << (i - 10);
    return (data << 10 | rem) ^ 0x5412;
}

// A 15-bit word at least 4 bits away from every format code.
int GarbageFormatWord() {
    for (int w = 0;; ++w) {
        bool far = true;
        for (int l = 0; l < 32 && far; ++l)
            far = std::popcount(unsigned(w ^ FormatCode(l / 8, l % 8))) >= 4;
        if (far) return w;
    }
}

// Writes the word (bit 14 first) into one copy of the format information.
void WriteFormatCopy(test::Modules& m, int copy, int word) {
    const int n = int(m.size());
    std::vector<std::pair<int, int>> cells;
    if (copy == 1) {
        for (int c : {0, 1, 2, 3, 4, 5, 7, 8}) cells.push_back({8, c});
        for (int r : {7, 5, 4, 3, 2, 1, 0}) cells.push_back({r, 8});
    } else {
        for (int k = 1; k <= 7; ++k) cells.push_back({n - k, 8});
        for (int c = n - 8; c < n; ++c) cells.push_back({8, c});
    }
    for (int i = 0; i < 15; ++i)
        m[cells[i].first][cells[i].second] = (word >> (14 - i) & 1) ? '1' : '0';
}

test::Modules Cropped(const test::Modules& m, int n) {
    test::Modules out;
    for (int r = 0; r < n; ++r) out.push_back(m[r].substr(0, size_t(n)));
    return out;
}

TEST(DecodeEngineFailures, FormatInformation) {
    const test::Modules symbol = test::EncodeSegments({{1, "FORMAT"}}, 1, 2);
    ASSERT_FALSE(symbol.empty());
    const int garbage = GarbageFormatWord();

    test::Modules both = symbol;
    WriteFormatCopy(both, 1, garbage);
    WriteFormatCopy(both, 2, garbage);
    Decoded d = Decode(both);
    EXPECT_EQ(d.message, kFormatUnreadable);
    EXPECT_EQ(d.result.SymbolVersion, -1);
    EXPECT_EQ(d.result.EcLevel, -1);
    EXPECT_EQ(d.result.MaskPattern, -1);

    for (int copy : {1, 2}) {
        test::Modules one = symbol;
        WriteFormatCopy(one, copy, garbage);
        d = Decode(one);
        EXPECT_EQ(d.message, "") << "copy " << copy << " garbage";
        EXPECT_EQ(d.text, "FORMAT");
        EXPECT_EQ(d.result.EcLevel, 2);
    }
}

TEST(DecodeEngineFailures, ModuleCountsWithoutAVersion) {
    const test::Modules symbol = test::EncodeSegments({{1, "SIZE"}}, 1, 2);
    ASSERT_FALSE(symbol.empty());

    // Copy 1 of the format lies within 9 x 9, so 13 modules read a level and
    // a negative version.
    Decoded d = Decode(Cropped(symbol, 13));
    EXPECT_EQ(d.message, kVersionUnreadable);
    EXPECT_EQ(d.result.SymbolVersion, -1);
    EXPECT_EQ(d.result.EcLevel, 2);

    for (int n = 14; n <= 20; ++n) {
        d = Decode(Cropped(symbol, n));
        EXPECT_EQ(d.message, kDecodeApology) << n << " modules";
        EXPECT_EQ(d.result.SymbolVersion, 0) << n << " modules";
        EXPECT_EQ(d.text, "");
    }
}

TEST(DecodeEngineFailures, MalformedMatricesEndInTheApology) {
    const test::Modules symbol = test::EncodeSegments({{1, "SIZE"}}, 1, 2);
    ASSERT_FALSE(symbol.empty());
    DecodeEngine engine;
    DecodeResult result;
    SymbolBox box;

    box.ModulesAcross = box.ModulesDown = 0;
    EXPECT_EQ(engine.DecodeSymbol({}, box, result), kDecodeApology) << "empty";
    box.ModulesAcross = box.ModulesDown = 8;
    EXPECT_EQ(engine.DecodeSymbol(Cropped(symbol, 8), box, result), kDecodeApology) << "8 x 8";
    box.ModulesAcross = box.ModulesDown = 25;
    EXPECT_EQ(engine.DecodeSymbol(symbol, box, result), kDecodeApology) << "box larger";
    test::Modules shortRow = symbol;
    shortRow[15].resize(10);
    box.ModulesAcross = box.ModulesDown = 21;
    EXPECT_EQ(engine.DecodeSymbol(shortRow, box, result), kDecodeApology) << "short row";
}

// The documented attempts and text reading alone.
DecodeOptions Exact(const std::string& infoFileName = "") {
    DecodeOptions options{"", !infoFileName.empty(), infoFileName};
    options.exact = true;
    return options;
}

TEST(DecodeEngineFailures, EciAndFnc1HaveNoTextInformationWhenExact) {
    const std::vector<test::Segment> own = {{2, "own"}};
    struct Case {
        const char* name;
        test::Modules symbol;
        std::string partial;
    };
    const Case cases[] = {
        {"ECI first", test::EncodeSegmentsWithEci(own, 0, 26, 1, 1), ""},
        {"ECI after a byte segment", test::EncodeSegmentsWithEci(own, 1, 26, 1, 1), "own"},
        {"FNC1 second position", test::EncodeSegmentsFnc1Second(own, 37, 1, 1), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.symbol.empty());
        DecodeEngine exact(Exact());
        const Decoded d = Decode(exact, c.symbol);
        EXPECT_EQ(d.message, kNoTextInformation);
        EXPECT_EQ(d.text, c.partial);
    }
}

TEST(DecodeEngineFailures, AnyCharacterButOneIsALightModule) {
    // Light modules written as other characters read as light: the text
    // and the error rate are those of the plain symbol, with one block and
    // with several of two lengths.
    for (int version : {2, 5}) {
        const test::Modules plain = test::EncodeSegments({{2, "light modules"}}, version, 2);
        ASSERT_FALSE(plain.empty());
        test::Modules odd = plain;
        int k = 0;
        for (std::string& row : odd)
            for (char& module : row)
                if (module == '0') module = "0x \xff"[k++ % 4];
        DecodeEngine engine;
        const Decoded expected = Decode(engine, plain), got = Decode(engine, odd);
        EXPECT_EQ(got.message, "") << "version " << version;
        EXPECT_EQ(got.text, expected.text) << "version " << version;
        EXPECT_EQ(got.text, "light modules");
    }
}

TEST(DecodeEngineFailures, AFailedCallNeverShowsTheEarlierText) {
    const test::Modules first = test::EncodeSegments({{1, "FIRST"}}, 1, 1);
    test::Modules garbled = first;
    WriteFormatCopy(garbled, 1, GarbageFormatWord());
    WriteFormatCopy(garbled, 2, GarbageFormatWord());
    const test::Modules eciAfter = test::EncodeSegmentsWithEci({{2, "own"}}, 1, 26, 1, 1);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(eciAfter.empty());

    DecodeEngine engine(Exact());
    struct Step {
        const test::Modules* symbol;
        const char* message;
        std::string text;
    };
    const Step steps[] = {
        {&first, "", "FIRST"}, {&garbled, kFormatUnreadable, ""},
        {&first, "", "FIRST"}, {&eciAfter, kNoTextInformation, "own"},
        {&first, "", "FIRST"},
    };
    const test::Modules cropped = Cropped(first, 20);
    for (const Step& s : steps) {
        const Decoded d = Decode(engine, *s.symbol);
        EXPECT_EQ(d.message, s.message);
        EXPECT_EQ(d.text, s.text);
        // And an apology straight after it leaves nothing behind either.
        EXPECT_EQ(Decode(engine, cropped).text, "");
    }
}

TEST(DecodeEngineSegmentInfo, WrittenWhenAskedEvenForARejectedSymbol) {
    const test::TempFolder folder("engine");
    const std::string path = (folder / "segments.txt").string();
    const test::Modules symbol =
        test::EncodeSegments({{0, "123"}, {2, "Hello"}, {3, "\x8A\xBF\x8E\x9A"}}, 2, 1);
    const test::Modules eci = test::EncodeSegmentsWithEci({{2, "own"}}, 0, 26, 1, 1);
    ASSERT_FALSE(symbol.empty());
    ASSERT_FALSE(eci.empty());

    DecodeEngine quiet(DecodeOptions{"", false, path});
    EXPECT_EQ(Decode(quiet, symbol).message, "");
    EXPECT_FALSE(std::ifstream(path).good()) << "written without being asked";

    DecodeEngine engine(DecodeOptions{"", true, path});
    EXPECT_EQ(Decode(engine, symbol).message, "");
    EXPECT_EQ(test::ReadFileBytes(path),
              "[N-0003] 123\r\n[B-0005] Hello\r\n[K-0002] \x8A\xBF\x8E\x9A\r\n");

    // Read as documented, the ECI indicator leaves an empty record, and its
    // line, before the run is rejected.
    DecodeEngine exact(Exact(path));
    EXPECT_EQ(Decode(exact, eci).message, kNoTextInformation);
    EXPECT_EQ(test::ReadFileBytes(path), "[N-0000] \r\n");
    EXPECT_EQ(Decode(exact, symbol).message, "");
    EXPECT_EQ(test::ReadFileBytes(path),
              "[N-0003] 123\r\n[B-0005] Hello\r\n[K-0002] \x8A\xBF\x8E\x9A\r\n");
    // Read as modern text, it has a line of its own.
    const Decoded d = Decode(engine, eci);
    EXPECT_EQ(d.message, "");
    EXPECT_EQ(d.text, "own");
    EXPECT_EQ(test::ReadFileBytes(path), "[E-000026] UTF-8\r\n[B-0003] own\r\n");
    EXPECT_EQ(Decode(engine, test::EncodeSegmentsFnc1Second({{2, "own"}}, 37, 1, 1)).text, "37own");
    EXPECT_EQ(test::ReadFileBytes(path), "[F-2] 37\r\n[B-0003] own\r\n");
}

} // namespace

namespace {

// Version 1-M (one block of 16 data and 10 error-correction codewords) of
// the data bits given, terminator and pad codewords added here, placed over
// a libqrencode symbol's function patterns with its mask: symbols that
// encoder cannot write.
test::Modules SymbolFromBits(std::string bits) {
    test::Modules symbol = test::EncodeSegments({{2, "x"}}, 1, 1);
    DecodeResult format;
    ReadFormatInfo(symbol, 21, 21, format.SymbolVersion, format.EcLevel, format.MaskPattern);
    bits += "0000";
    bits.resize(std::min<size_t>((bits.size() + 7) / 8 * 8, 128), '0');
    for (int k = 0; bits.size() < 128; ++k) bits += k % 2 ? "00010001" : "11101100";
    std::vector<int> words(16);
    for (size_t i = 0; i < 128; ++i) words[i / 8] = words[i / 8] << 1 | (bits[i] - '0');
    // Remainder of the data times x^10 by the code's generator polynomial.
    auto mul = [](int a, int b) {
        int p = 0;
        for (; b; b >>= 1, a = a << 1 ^ (a & 0x80 ? 0x11D : 0)) p ^= b & 1 ? a : 0;
        return p & 0xFF;
    };
    std::vector<int> gen{1};
    for (int i = 0, root = 1; i < 10; ++i, root = mul(root, 2)) {
        std::vector<int> next(gen.size() + 1, 0);
        for (size_t j = 0; j < gen.size(); ++j) {
            next[j] ^= gen[j];
            next[j + 1] ^= mul(gen[j], root);
        }
        gen = next;
    }
    std::vector<int> ec(10, 0);
    for (int w : words) {
        const int factor = w ^ ec[0];
        ec.erase(ec.begin());
        ec.push_back(0);
        for (int j = 0; j < 10; ++j) ec[size_t(j)] ^= mul(gen[size_t(j + 1)], factor);
    }
    for (int e : ec) bits += std::bitset<8>(unsigned(e)).to_string();
    std::string map = BuildFunctionMap(1), functions = map;
    std::replace(functions.begin(), functions.end(), '1', '0');
    const std::string mask = BuildMaskString(format.MaskPattern, functions, 20);
    int row = 20, column = 20, toggle = 1, direction = -1;
    for (char bit : bits) {
        NextDataModule(map, 20, row, column, toggle, direction);
        const size_t at = size_t(row * 21 + column);
        symbol[size_t(row)][size_t(column)] = bit == mask[at] ? '0' : '1';
    }
    return symbol;
}

std::string ZxingText(const test::Modules& symbol) {
    const test::Picture picture = test::Render(symbol, 4, 4);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    const ZXing::Result r =
        ZXing::ReadBarcode(ZXing::ImageView(picture.grey.data(), picture.width, picture.height,
                                            ZXing::ImageFormat::Lum),
                           hints);
    return r.isValid() ? ZXing::TextUtfEncoding::ToUtf8(r.text()) : "(unread)";
}

std::string B(unsigned value, int width) {
    return std::bitset<32>(value).to_string().substr(size_t(32 - width));
}

} // namespace

// The modern reading gives what zxing-cpp gives for FNC1 and Hanzi symbols,
// and the documented reading still ends there without text.
TEST(DecodeEngineSegments, Fnc1AndHanziReadAsZxingDoes) {
    auto alnum = [](const std::string& text) {
        std::string bits = "0010" + B(unsigned(text.size()), 9);
        auto at = [&](size_t k) { return unsigned(AlnumTable.find(text[k])); };
        for (size_t k = 0; k + 1 < text.size(); k += 2) bits += B(at(k) * 45 + at(k + 1), 11);
        if (text.size() % 2) bits += B(at(text.size() - 1), 6);
        return bits;
    };
    const std::string hi = "0100" + B(2, 8) + B('h', 8) + B('i', 8);
    // GB 2312 B0A1, A1A1, A3C1 and F7FE: both row offsets, both ends.
    const std::string hanzi = "1101" + B(1, 4) + B(4, 8) + B(0x0A * 0x60, 13) + B(0, 13) +
                              B(2 * 0x60 + 0x20, 13) + B(0x51 * 0x60 + 0x5D, 13);
    struct Case {
        const char* name;
        test::Modules symbol;
        std::string text;
    };
    const Case cases[] = {
        {"FNC1 second, libqrencode", test::EncodeSegmentsFnc1Second({{2, "own"}}, 37, 1, 1),
         "37own"},
        {"FNC1 second, one digit", SymbolFromBits("1001" + B(5, 8) + hi), "05hi"},
        {"FNC1 second, a letter", SymbolFromBits("1001" + B(165, 8) + hi), "Ahi"},
        {"FNC1 second, separators", SymbolFromBits("1001" + B(200, 8) + alnum("A%B")), "dA\035B"},
        {"FNC1 first", SymbolFromBits("0101" + alnum("01%10") + hi),
         "01\x1D"
         "10hi"},
        {"FNC1 first after a segment", SymbolFromBits(hi + "0101" + alnum("A%")), "hiA\x1D"},
        {"Hanzi", SymbolFromBits(hanzi + hi), "\xE5\x95\x8A\xE3\x80\x80\xEF\xBC\xA1\xE9\xBD\x84hi"},
        {"FNC1 second, no indicator text", SymbolFromBits("1001" + B(191, 8) + hi), ""},
        {"Hanzi, subset 2", SymbolFromBits("1101" + B(2, 4) + B(1, 8) + B(0, 13)), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.symbol.empty());
        const Decoded d = Decode(c.symbol);
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.message, c.text.empty() ? kNoTextInformation : "");
        EXPECT_EQ(ZxingText(c.symbol), c.text.empty() ? "(unread)" : c.text);
        DecodeEngine exact(Exact());
        EXPECT_EQ(Decode(exact, c.symbol).message, kNoTextInformation);
    }
}
