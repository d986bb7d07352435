// Symbol text beyond code page 932: the ECI character sets, the rule for
// byte segments without ECI, and both readings end to end on libqrencode
// symbols.
#include "TextEncoding.h"

#include "DecodeEngine.h"
#include "EngineRun.h"
#include "QrFixtures.h"
#include "ShiftJis.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorvik {
namespace {

TEST(TextEncoding, EveryEciCharsetOpensInIconv) {
    // A name iconv does not know would quietly read ASCII alone.
    int known = 0;
    for (int32_t designator = 0; designator < 1000; ++designator) {
        const EciCharset* charset = FindEciCharset(designator);
        if (charset == nullptr) continue;
        ++known;
        EXPECT_EQ(ConvertToUtf8Strictly("", charset->iconvName), "") << designator;
    }
    EXPECT_EQ(known, 29); // 0 to 30 but the unassigned 14 and 19
}

// Byte segments of a symbol without ECI and the character set they are read in.
struct CharsetCase {
    const char* name;
    std::vector<std::string> segments;
    const char* charset;
};

TEST(TextEncoding, Utf8ExceptionAndItsShiftJisCounterCases) {
    const CharsetCase cases[] = {
        {"UTF-8 with a two-byte character", {"caf\xC3\xA9"}, "UTF-8"},
        {"UTF-8 with a four-byte character", {"\xF0\x9F\x99\x82"}, "UTF-8"},
        {"UTF-8 in one segment, ASCII in the other", {"abc", "\xE6\x97\xA5"}, "UTF-8"},
        {"ASCII alone", {"Hello"}, "CP932"},
        {"no byte segment text", {""}, "CP932"},
        {"kanji: lead 93 is a UTF-8 continuation byte", {"\x93\xFA\x96\x7B\x8C\xEA"}, "CP932"},
        {"half-width katakana ｱｲｳ: continuation bytes", {"\xB1\xB2\xB3"}, "CP932"},
        {"half-width ﾃ: a UTF-8 lead with nothing after it", {"\xC3"}, "CP932"},
        {"ﾃｽﾄ: the third byte leads a sequence the data cut", {"\xC3\xBD\xC4"}, "CP932"},
        {"漾: an E0 lead before an ASCII byte", {"\xE0\x40"}, "CP932"},
        {"髙: FB is no UTF-8 byte", {"\xFB\xFC"}, "CP932"},
        {"ﾃｩ beside ｱ: one symbol, one character set", {"\xC3\xA9", "\xB1"}, "CP932"},
        {"overlong UTF-8 form of '/'", {"\xC0\xAF"}, "CP932"},
        // The price of the exception: two half-width katakana that are also
        // one UTF-8 character (ﾃｽ is ý).
        {"ﾃｽ", {"\xC3\xBD"}, "UTF-8"},
    };
    for (const CharsetCase& c : cases)
        EXPECT_STREQ(ChooseCharsetWithoutEci(c.segments), c.charset) << c.name;
}

TEST(TextEncoding, Latin1OnlyWhereCodePage932HasNoText) {
    const CharsetCase cases[] = {
        {"señor: F1 6F is a user-defined code", {"se\xF1or"}, "ISO-8859-1"},
        {"Grüße: FC DF has no character",
         {"Gr\xFC\xDF"
          "e"},
         "ISO-8859-1"},
        {"café: a lead byte at the end", {"caf\xE9"}, "ISO-8859-1"},
        {"À bientôt: C0 is katakana, F4 74 user-defined", {"\xC0 bient\xF4t"}, "ISO-8859-1"},
        {"line breaks and tabs are text", {"\xE9t\xE9\r\n\t\xE0"}, "ISO-8859-1"},
        {"ÄÖ alone are half-width katakana", {"\xC4\xD6"}, "CP932"},
        {"C1 controls are no text", {"\x80\xE9"}, "CP932"},
        {"C0 controls are no text", {std::string("\x01\xE9", 2)}, "CP932"},
    };
    for (const CharsetCase& c : cases)
        EXPECT_STREQ(ChooseCharsetWithoutEci(c.segments), c.charset) << c.name;
}

DecodeOptions WithSegmentFile(const std::string& path, bool exact) {
    DecodeOptions options{"", true, path};
    options.exact = exact;
    return options;
}

TEST(TextEncodingEndToEnd, EciSymbolsFromLibqrencode) {
    const test::TempFolder folder("eci");
    const std::string path = (folder / "segments.txt").string();
    struct Case {
        const char* name;
        std::vector<test::Segment> segments;
        size_t eciAt;
        unsigned eci;
        std::string text;
        std::string lines; // of the segment file, in Shift_JIS
    };
    const Case cases[] = {
        {"UTF-8",
         {{2, "Gr\xC3\xBC\xC3\x9F"
              "e"}},
         0,
         26,
         "Grüße",
         "[E-000026] UTF-8\r\n[B-0007] Gr??e\r\n"},
        {"ISO-8859-1",
         {{2, "Gr\xFC\xDF"
              "e"}},
         0,
         3,
         "Grüße",
         "[E-000003] ISO-8859-1\r\n[B-0005] Gr??e\r\n"},
        {"UTF-16BE",
         {{2, std::string("\x65\xE5\x67\x2C", 4)}},
         0,
         25,
         "日本",
         "[E-000025] UTF-16BE\r\n[B-0004] \x93\xFA\x96\x7B\r\n"},
        {"Shift_JIS",
         {{2, "\x93\xFA\xB1"}},
         0,
         20,
         "日ｱ",
         "[E-000020] Shift_JIS\r\n[B-0003] \x93\xFA\xB1\r\n"},
        {"after a Latin-1 segment without ECI, before a number",
         {{2, "\xFC"}, {2, "\xC3\xBC"}, {0, "42"}},
         1,
         26,
         "üü42",
         "[B-0001] ?\r\n[E-000026] UTF-8\r\n[B-0002] ?\r\n[N-0002] 42\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Modules symbol = test::EncodeSegmentsWithEci(c.segments, c.eciAt, c.eci, 2, 1);
        ASSERT_FALSE(symbol.empty());
        DecodeEngine engine(WithSegmentFile(path, false));
        const test::Decoded d = test::Decode(engine, symbol);
        EXPECT_EQ(d.message, "");
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(test::ReadFileBytes(path), c.lines);

        // Read as documented, the same symbol stops at its ECI.
        DecodeEngine exact(WithSegmentFile(path, true));
        EXPECT_EQ(test::Decode(exact, symbol).message, kNoTextInformation);
    }
}

TEST(TextEncodingEndToEnd, UnknownEciFailsAsDocumented) {
    const test::TempFolder folder("eci");
    const std::string path = (folder / "segments.txt").string();
    const test::Modules symbol = test::EncodeSegmentsWithEci({{2, "data"}}, 0, 899, 1, 1);
    // Two-byte designators: this libqrencode writes three-byte ones wrongly
    // (123456 comes out as the one-byte 13 and two stray bytes).
    const test::Modules late = test::EncodeSegmentsWithEci({{2, "data"}}, 1, 16383, 1, 1);
    ASSERT_FALSE(symbol.empty());
    ASSERT_FALSE(late.empty());
    DecodeEngine engine(WithSegmentFile(path, false));
    test::Decoded d = test::Decode(engine, symbol);
    EXPECT_EQ(d.message, kNoTextInformation);
    EXPECT_EQ(d.text, "");
    EXPECT_EQ(test::ReadFileBytes(path), "[E-000899] \r\n[N-0000] \r\n");

    d = test::Decode(engine, late);
    EXPECT_EQ(d.message, kNoTextInformation);
    EXPECT_EQ(d.text, "data");
    EXPECT_EQ(test::ReadFileBytes(path), "[B-0004] data\r\n[E-016383] \r\n[N-0000] \r\n");
}

TEST(TextEncodingEndToEnd, ByteSegmentsWithoutEciByBothReadings) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string modern;
        std::string documented;
    };
    const Case cases[] = {
        {"UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC", "日本", "譌･譛ｬ"},
        {"Shift_JIS", "\x93\xFA\x96\x7B", "日本", "日本"},
        {"ISO-8859-1", "se\xF1or", "señor", "se\xEE\x83\xABr"},
        {"ASCII", "plain", "plain", "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Modules symbol = test::EncodeSegments({{2, c.bytes}}, 1, 1);
        ASSERT_FALSE(symbol.empty());
        EXPECT_EQ(test::Decode(symbol).text, c.modern);
        DecodeOptions exact;
        exact.exact = true;
        DecodeEngine engine(exact);
        EXPECT_EQ(test::Decode(engine, symbol).text, c.documented);
    }
}

} // namespace
} // namespace zorvik
