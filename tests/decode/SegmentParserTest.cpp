#include "SegmentParser.h"
#include "CommonModule.h"
#include "TextEncoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorvik {
namespace {

// value as exactly width binary digits, most significant first.
std::string Bits(unsigned value, int width) {
    std::string bits;
    for (int b = width - 1; b >= 0; --b) bits += (value >> b) & 1 ? '1' : '0';
    return bits;
}

// The caller appends "0000" to the data codewords before parsing.
ParsedSegments Parse(const std::string& data, int version = 1) {
    return ParseSegments(data + "0000", version);
}

TEST(SegmentParser, CountWidthsFollowVersionRanges) {
    using W = std::array<int16_t, 4>;
    EXPECT_EQ(CountWidths(1), (W{10, 9, 8, 8}));
    EXPECT_EQ(CountWidths(9), (W{10, 9, 8, 8}));
    EXPECT_EQ(CountWidths(10), (W{12, 11, 16, 10}));
    EXPECT_EQ(CountWidths(26), (W{12, 11, 16, 10}));
    EXPECT_EQ(CountWidths(27), (W{14, 13, 16, 12}));
    EXPECT_EQ(CountWidths(40), (W{14, 13, 16, 12}));
    EXPECT_THROW(CountWidths(0), StageFault);
    EXPECT_THROW(CountWidths(41), StageFault);
}

TEST(SegmentParser, NumericTextbookExample) {
    // 012 345 67 in 10-, 10- and 7-bit groups after a 10-bit count of 8.
    const std::string data = "0001" + Bits(8, 10) + "0000001100" + "0101011001" + "1000011";
    ParsedSegments parsed = Parse(data);
    ASSERT_EQ(parsed.segments.size(), 1u);
    const SegmentRecord& s = parsed.segments[0];
    EXPECT_EQ(s.Mode, 0);
    EXPECT_EQ(s.CharCount, 8);
    EXPECT_EQ(s.BitLength, 27);
    EXPECT_EQ(s.Text, "01234567");
    EXPECT_EQ(parsed.TextByteCount, 8);
    EXPECT_EQ(parsed.SequenceByte, -1);
    EXPECT_EQ(parsed.stopPosition, 1 + 4 + 10 + 27);
}

TEST(SegmentParser, NumericGroupsKeepLeadingZerosByLength) {
    struct Case {
        std::string rest;
        const char* text;
    };
    const Case cases[] = {
        {Bits(1, 10) + Bits(7, 4), "7"},                     // 4-bit group: one digit
        {Bits(2, 10) + Bits(5, 7), "05"},                    // 7-bit group: two digits
        {Bits(3, 10) + Bits(1000, 10), "1000"},              // above 999: all digits
        {Bits(9, 10) + Bits(12, 10) + Bits(3, 2), "012003"}, // cut short: digits of the one before
        {Bits(3, 10) + "101", "5"},                          // first group cut short: no padding
    };
    for (const Case& c : cases) {
        SegmentRecord s = DecodeNumeric(c.rest, 10);
        EXPECT_EQ(s.Text, c.text) << c.rest;
    }
}

TEST(SegmentParser, AlphanumericPairsAndSingle) {
    const std::string data =
        "0010" + Bits(5, 9) + Bits(10 * 45 + 12, 11) + Bits(41 * 45 + 4, 11) + Bits(2, 6);
    ParsedSegments parsed = Parse(data);
    ASSERT_EQ(parsed.segments.size(), 1u);
    EXPECT_EQ(parsed.segments[0].Mode, 1);
    EXPECT_EQ(parsed.segments[0].Text, "AC-42");
    EXPECT_EQ(parsed.segments[0].BitLength, 28);
    EXPECT_EQ(parsed.TextByteCount, 5);
}

TEST(SegmentParser, AlphanumericIndexesOutsideTableYieldNothing) {
    // 2047 = 45 * 45 + 22: the first index is past the table.
    EXPECT_EQ(DecodeAlphanumeric(Bits(2, 9) + Bits(2047, 11), 9).Text, "M");
    EXPECT_EQ(DecodeAlphanumeric(Bits(1, 9) + Bits(63, 6), 9).Text, "");
    // A group cut to three bits is weighed as six: 101000 = 40 is '+'.
    EXPECT_EQ(DecodeAlphanumeric(Bits(1, 9) + "101", 9).Text, "+");
}

TEST(SegmentParser, StructuredAppendHeaderSkipsParity) {
    const std::string data =
        "0011" + Bits(0x12, 8) + Bits(0xA5, 8) + "0001" + Bits(1, 10) + Bits(7, 4);
    ParsedSegments parsed = Parse(data);
    EXPECT_EQ(parsed.SequenceByte, 18);
    ASSERT_EQ(parsed.segments.size(), 1u);
    EXPECT_EQ(parsed.segments[0].Text, "7");
    EXPECT_EQ(parsed.stopPosition, 21 + 4 + 10 + 4);
}

TEST(SegmentParser, KanjiCompactionUndone) {
    // Two kanji: 3487 -> 935F, 6826 -> E4AA in code page 932.
    const std::string data = "1000" + Bits(2, 8) + Bits(3487, 13) + Bits(6826, 13);
    ParsedSegments parsed = Parse(data);
    ASSERT_EQ(parsed.segments.size(), 1u);
    EXPECT_EQ(parsed.segments[0].Mode, 3);
    EXPECT_EQ(parsed.segments[0].Text, "点茗");
    EXPECT_EQ(parsed.segments[0].BitLength, 26);
    EXPECT_EQ(parsed.TextByteCount, 4);
}

TEST(SegmentParser, ByteSegmentsConvertFromShiftJis) {
    // 日本語 in Shift_JIS, then an ASCII segment of its own.
    std::string data = "0100" + Bits(6, 8);
    for (unsigned b : {0x93u, 0xFAu, 0x96u, 0x7Bu, 0x8Cu, 0xEAu}) data += Bits(b, 8);
    data += "0100" + Bits(2, 8) + Bits('H', 8) + Bits('i', 8);
    ParsedSegments parsed = Parse(data);
    ASSERT_EQ(parsed.segments.size(), 2u);
    EXPECT_EQ(parsed.segments[0].Text, "日本語");
    EXPECT_EQ(parsed.segments[1].Text, "Hi");
    EXPECT_EQ(parsed.TextByteCount, 8);
}

TEST(SegmentParser, Version10ByteCountHasSixteenBits) {
    const std::string data = "0100" + Bits(2, 16) + Bits('O', 8) + Bits('K', 8);
    ParsedSegments parsed = Parse(data, 10);
    ASSERT_EQ(parsed.segments.size(), 1u);
    EXPECT_EQ(parsed.segments[0].CharCount, 2);
    EXPECT_EQ(parsed.segments[0].Text, "OK");
    EXPECT_EQ(parsed.stopPosition, 1 + 4 + 16 + 16);
}

TEST(SegmentParser, TwoZeroBitsBeforeEndStillTerminate) {
    // ABC takes 30 bits; the last codeword ends with two zero bits.
    const std::string data = "0010" + Bits(3, 9) + Bits(10 * 45 + 11, 11) + Bits(12, 6) + "00";
    ASSERT_EQ(data.size(), 32u);
    ParsedSegments parsed = Parse(data);
    ASSERT_EQ(parsed.segments.size(), 1u);
    EXPECT_EQ(parsed.segments[0].Text, "ABC");
    EXPECT_EQ(parsed.stopPosition, 31);
}

TEST(SegmentParser, UnsupportedIndicatorsLeaveEmptyLastRecord) {
    const std::string numeric7 = "0001" + Bits(1, 10) + Bits(7, 4);
    struct Case {
        const char* name;
        std::string data;
        size_t records;
    };
    const Case cases[] = {
        {"ECI", "0111" + Bits(26, 8) + numeric7, 1},
        {"FNC1 first", "0101" + numeric7, 1},
        {"FNC1 second", "1001" + Bits(0x41, 8) + numeric7, 1},
        {"Hanzi", "1101" + Bits(1, 4) + Bits(1, 8) + Bits(0, 13), 1},
        {"late structured append", numeric7 + "0011" + Bits(0x12, 8) + Bits(0, 8), 2},
        {"ECI after a segment", numeric7 + "0111" + Bits(26, 8), 2},
    };
    for (const Case& c : cases) {
        ParsedSegments parsed = Parse(c.data);
        ASSERT_EQ(parsed.segments.size(), c.records) << c.name;
        const SegmentRecord& last = parsed.segments.back();
        EXPECT_EQ(last.CharCount, 0) << c.name;
        EXPECT_EQ(last.Mode, 0) << c.name;
        EXPECT_TRUE(last.Text.empty()) << c.name;
        EXPECT_TRUE(last.DataBits.empty()) << c.name;
    }
    // The late header is not mistaken for a sequence byte.
    EXPECT_EQ(Parse(numeric7 + "0011" + Bits(0x12, 8)).SequenceByte, -1);
}

// Modern reading of the data bits (with the appended "0000").
ParsedSegments ParseModern(const std::string& data, int version = 1) {
    return ParseSegments(data + "0000", version, TextReading::Modern);
}

std::string ByteSegment(const std::string& bytes) {
    std::string bits = "0100" + Bits(unsigned(bytes.size()), 8);
    for (char b : bytes) bits += Bits(static_cast<unsigned char>(b), 8);
    return bits;
}

TEST(SegmentParser, EciDesignatorsOfEachLength) {
    struct Case {
        const char* name;
        std::string designator;
        int32_t value;
    };
    const Case cases[] = {
        {"one byte, least", "0" + Bits(0, 7), 0},
        {"one byte, most", "0" + Bits(127, 7), 127},
        {"two bytes, least needing them", "10" + Bits(128, 14), 128},
        {"two bytes, most", "10" + Bits(16383, 14), 16383},
        {"three bytes, least needing them", "110" + Bits(16384, 21), 16384},
        {"three bytes, most", "110" + Bits(999999, 21), 999999},
        {"UTF-8 in a longer form than it needs", "10" + Bits(26, 14), 26},
        {"UTF-8 in three bytes", "110" + Bits(26, 21), 26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string data = "0111" + c.designator + ByteSegment("\xC3\xA9");
        const ParsedSegments parsed = ParseModern(data);
        ASSERT_GE(parsed.segments.size(), 2u);
        const SegmentRecord& eci = parsed.segments[0];
        EXPECT_EQ(eci.Mode, kEciMode);
        EXPECT_EQ(eci.Eci, c.value);
        EXPECT_EQ(eci.DataBits, c.designator);
        EXPECT_EQ(eci.BitLength, int(c.designator.size()));
        EXPECT_EQ(eci.CharCount, 0);
        EXPECT_EQ(eci.Text, "");
        if (FindEciCharset(c.value) == nullptr) {
            // Unknown: the ECI line, then the empty record that fails the run.
            ASSERT_EQ(parsed.segments.size(), 2u);
            EXPECT_EQ(parsed.segments[1].CharCount, 0);
            EXPECT_EQ(parsed.segments[1].Mode, 0);
            EXPECT_EQ(parsed.stopPosition, 1);
        } else {
            ASSERT_EQ(parsed.segments.size(), 2u);
            EXPECT_EQ(parsed.segments[1].Text, c.value == 26 ? "é" : "\u251C\u2310");
            EXPECT_EQ(parsed.stopPosition, int(data.size()) + 1);
            EXPECT_EQ(parsed.TextByteCount, 2);
        }
    }
}

TEST(SegmentParser, MalformedEciDesignatorsEndWithTheEmptyRecord) {
    const std::string numeric7 = "0001" + Bits(1, 10) + Bits(7, 4);
    const std::string cases[] = {
        "0111" + Bits(0xE0, 8) + Bits(0, 16),    // 111xxxxx announces no form
        "0111" + std::string("10") + Bits(1, 6), // two-byte form, one byte left
    };
    for (const std::string& data : cases) {
        // No "0000" appended: the data end where the designator does.
        const ParsedSegments parsed = ParseSegments(numeric7 + data, 1, TextReading::Modern);
        ASSERT_EQ(parsed.segments.size(), 2u) << data;
        EXPECT_EQ(parsed.segments[0].Text, "7");
        EXPECT_EQ(parsed.segments[1].Mode, 0);
        EXPECT_EQ(parsed.segments[1].CharCount, 0);
        EXPECT_EQ(parsed.segments[1].Eci, -1);
    }
}

TEST(SegmentParser, EciAppliesToTheByteSegmentsAfterIt) {
    // Latin-1, then UTF-8, then Shift_JIS and UTF-16BE; numeric, alphanumeric
    // and kanji segments in between are not affected.
    const std::string data = "0111" + Bits(3, 8) + ByteSegment("caf\xE9") +   //
                             "0001" + Bits(2, 10) + Bits(42, 7) +             //
                             "0111" + Bits(26, 8) + ByteSegment("\xC3\xBC") + //
                             "0010" + Bits(1, 9) + Bits(10, 6) +              //
                             "1000" + Bits(1, 8) + Bits(3487, 13) +           //
                             "0111" + Bits(20, 8) + ByteSegment("\x93\xFA\xB1") + "0111" +
                             Bits(25, 8) + ByteSegment(std::string("\x00\x41\x30\x42\xD8\x3D", 6));
    const ParsedSegments parsed = ParseModern(data);
    std::string text;
    std::vector<int> modes;
    for (const SegmentRecord& s : parsed.segments) {
        text += s.Text;
        modes.push_back(s.Mode);
    }
    EXPECT_EQ(modes, (std::vector<int>{7, 2, 0, 7, 2, 1, 3, 7, 2, 7, 2}));
    // The UTF-16 text ends in a lone high surrogate.
    EXPECT_EQ(text, "café42üA点日ｱAあ\uFFFD");
    EXPECT_EQ(parsed.TextByteCount, 4 + 2 + 2 + 1 + 2 + 3 + 6);
    EXPECT_EQ(parsed.stopPosition, int(data.size()) + 1);
}

TEST(SegmentParser, DocumentedReadingKeepsEciAsAFailure) {
    // The modern reading of these bits is "é"; read as documented they stop
    // at the ECI, and a byte segment of UTF-8 is code page 932.
    const std::string eci = "0111" + Bits(26, 8) + ByteSegment("\xC3\xA9");
    const ParsedSegments documented = Parse(eci);
    ASSERT_EQ(documented.segments.size(), 1u);
    EXPECT_EQ(documented.segments[0].CharCount, 0);
    EXPECT_EQ(documented.segments[0].Eci, -1);
    EXPECT_EQ(Parse(ByteSegment("\xC3\xA9")).segments[0].Text, "ﾃｩ");
    EXPECT_EQ(ParseModern(ByteSegment("\xC3\xA9")).segments[0].Text, "é");
}

TEST(SegmentParser, ByteSegmentsWithoutEciShareOneCharacterSet) {
    struct Case {
        const char* name;
        std::vector<std::string> segments;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        // UTF-8 in one segment, half-width katakana no UTF-8 can hold in the
        // other: the whole symbol is code page 932.
        {"one symbol, one character set", {"\xC3\xA9", "\xB1"}, {"ﾃｩ", "ｱ"}},
        {"Latin-1 beside code page 932 text", {"caf\xE9", "\xC4"}, {"café", "Ä"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string data;
        // Each byte segment is followed by a kanji, which takes no part in the choice.
        for (const std::string& s : c.segments)
            data += ByteSegment(s) + "1000" + Bits(1, 8) + Bits(3487, 13);
        const ParsedSegments parsed = ParseModern(data);
        ASSERT_EQ(parsed.segments.size(), 2 * c.segments.size());
        for (size_t k = 0; k < c.texts.size(); ++k)
            EXPECT_EQ(parsed.segments[2 * k].Text, c.texts[k]);
    }
}

TEST(SegmentParser, ModernReadingOfFnc1AndHanzi) {
    const std::string alnum = "0010" + Bits(5, 9) + Bits(10 * 45 + 38, 11) +
                              Bits(38 * 45 + 38, 11) + Bits(11, 6); // "A%%%B"
    struct Case {
        const char* name;
        std::string data;
        int version;
        std::string text; // of all records together
        bool failed;      // ends with the empty record
        int textBytes;
    };
    const Case cases[] = {
        {"no FNC1: % stays", alnum, 1, "A%%%B", false, 5},
        {"FNC1 first: separator and escaped %", "0101" + alnum, 1, "A%\035B", false, 5},
        {"FNC1 second, two digits", "1001" + Bits(7, 8) + alnum, 1, "07A%\035B", false, 5},
        {"FNC1 second, letters", "1001" + Bits(197, 8) + "1001" + Bits(222, 8), 1, "az", false, 0},
        {"FNC1 second, no letter", "1001" + Bits(191, 8), 1, "", true, 0},
        {"FNC1 second cut short", "1001" + Bits(1, 3), 1, "", true, 0},
        {"Hanzi, rows A1 to AA",
         "1101" + Bits(1, 4) + Bits(2, 8) + Bits(0, 13) + Bits(8 * 0x60 + 3, 13), 1, "\u3000\u2500",
         false, 4},
        {"Hanzi, rows B0 on, count of ten bits",
         "1101" + Bits(1, 4) + Bits(1, 10) + Bits(0x0A * 0x60, 13), 10, "\u554A", false, 2},
        {"Hanzi, another subset", "1101" + Bits(2, 4) + Bits(1, 8) + Bits(0, 13), 1, "", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedSegments parsed =
            ParseSegments(c.data + "0000", c.version, TextReading::Modern);
        std::string text;
        for (const SegmentRecord& s : parsed.segments) text += s.Text;
        EXPECT_EQ(text, c.text);
        ASSERT_FALSE(parsed.segments.empty());
        const SegmentRecord& last = parsed.segments.back();
        EXPECT_EQ(last.Mode == 0 && last.CharCount == 0, c.failed);
        EXPECT_EQ(parsed.TextByteCount, c.textBytes);
        if (!c.failed) {
            EXPECT_EQ(parsed.stopPosition, int(c.data.size()) + 1);
        }
    }
}

TEST(SegmentParser, ShortIndicatorAtEndFails) {
    // Called without the appended zeros: two bits remain where an indicator belongs.
    ParsedSegments parsed = ParseSegments("0001" + Bits(1, 10) + Bits(7, 4) + "00", 1);
    ASSERT_EQ(parsed.segments.size(), 2u);
    EXPECT_EQ(parsed.segments[1].CharCount, 0);
    EXPECT_EQ(parsed.stopPosition, 19);
}

TEST(SegmentParser, CountBeyondDataTakesAppendedZerosThenFails) {
    // Ten bytes announced, two present.
    const std::string data = "0100" + Bits(10, 8) + Bits('A', 8) + Bits('B', 8);
    ParsedSegments parsed = Parse(data);
    ASSERT_EQ(parsed.segments.size(), 2u);
    const SegmentRecord& s = parsed.segments[0];
    EXPECT_EQ(s.CharCount, 10);
    EXPECT_EQ(s.BitLength, 80);
    EXPECT_EQ(s.DataBits, Bits('A', 8) + Bits('B', 8) + "0000");
    EXPECT_EQ(s.Text, std::string("AB\0", 3));
    EXPECT_EQ(parsed.TextByteCount, 10);
    EXPECT_EQ(parsed.segments[1].CharCount, 0);
    EXPECT_EQ(parsed.stopPosition, 1 + 4 + 8 + 80);
}

TEST(SegmentParser, CountIndicatorCutShortIsReadAtItsOwnLength) {
    // Nine bits left for a ten-bit numeric count: "100000000" is 256, not 512.
    const SegmentRecord s = DecodeNumeric("100000000", 10);
    EXPECT_EQ(s.CharCount, 256);
    EXPECT_EQ(s.DataBits, "");
}

TEST(SegmentParser, SixteenBitOverflowsAreFaults) {
    // A byte count of 32768 does not fit.
    EXPECT_THROW(Parse("0100" + Bits(32768, 16), 10), StageFault);
    // 16383 digits need more than 32767 bits.
    EXPECT_THROW(Parse("0001" + Bits(16383, 14), 27), StageFault);
    // 4095 bytes fit, but the position after them does not.
    EXPECT_THROW(Parse("0100" + Bits(4095, 16), 10), StageFault);
}

} // namespace
} // namespace zorvik
