// Data-segment parsing: the corrected data bit stream into segments of
// numeric, alphanumeric, byte and kanji text, with structured append and,
// beyond code page 932, ECI, FNC1 and Hanzi.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// SegmentRecord::Mode of the records only the modern reading knows, each
// the value of its mode indicator: ECI 0111, FNC1 in first position 0101,
// FNC1 in second position 1001, Hanzi 1101.
inline constexpr uint8_t kEciMode = 7;
inline constexpr uint8_t kFnc1FirstMode = 5;
inline constexpr uint8_t kFnc1SecondMode = 9;
inline constexpr uint8_t kHanziMode = 13;

// True for the ECI and FNC1 records: they carry no characters of their own
// and no character count (an FNC1 in second position carries the text of
// its application indicator).
inline bool IsMarkerMode(uint8_t mode) {
    return mode == kEciMode || mode == kFnc1FirstMode || mode == kFnc1SecondMode;
}

struct SegmentRecord {
    uint8_t Mode = 0;      // 0 numeric, 1 alphanumeric, 2 byte, 3 kanji, or a k...Mode above
    std::string Text;      // decoded characters, UTF-8; empty for an ECI
    int16_t CharCount = 0; // value of the character count indicator; 0 for a marker
    std::string DataBits;  // data bits after the count indicator (may be short)
    int16_t BitLength = 0; // data bits the segment occupies, from CharCount
    int32_t Eci = -1;      // the designator of an ECI record, else -1
};

// How segment data become text.
enum class TextReading {
    // Byte and kanji segments from code page 932, each on its own; an ECI
    // indicator ends the list like any unknown indicator.
    Documented,
    // An ECI record (designator in 8, 16 or 24 bits, DataBits and BitLength
    // those bits) sets the character set of the byte segments after it; the
    // byte segments before the first ECI are read by ChooseCharsetWithoutEci
    // (TextEncoding.h). A designator without a character set, or one cut
    // short, ends the list like an unknown indicator, after the ECI record
    // when its value could be read. Kanji segments stay code page 932.
    // FNC1 in either position is read: after it, in alphanumeric segments,
    // "%" stands for the separator GS (1D) and "%%" for "%"; the second
    // position's application indicator (8 bits) is its record's text, 00 to
    // 99 as two digits, 165 to 190 and 197 to 222 as the letter 100 below
    // (another value ends the list like an unknown indicator). A Hanzi
    // segment (subset indicator 0001 for GB 2312, then a count as wide as
    // kanji's, 13 bits a character) is read from GB 2312; another subset
    // ends the list like an unknown indicator.
    Modern,
};

struct ParsedSegments {
    std::vector<SegmentRecord> segments; // ends with an empty record on a bad indicator
    int stopPosition = 1;                // 1-based bit position where parsing stopped
    int16_t SequenceByte = -1;           // structured-append byte, -1 without header
    int16_t TextByteCount = 0;           // character counts, a kanji or hanzi counting 2
};

// Width of the count indicator for numeric, alphanumeric, byte, kanji.
// A version outside 1..40 throws StageFault.
std::array<int16_t, 4> CountWidths(int version);

// "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:"
extern const std::string_view AlnumTable;

// Unsigned value of the bits; above 32767 throws StageFault.
int16_t ReadCountIndicator(std::string_view bits);

// rest starts just after the mode indicator; countWidth is the indicator's
// width. Bits missing at the end of rest count as "0" (a numeric group cut
// short is read at its own length). A BitLength above 32767 throws
// StageFault. Byte and kanji text is converted from code page 932, each
// segment on its own.
SegmentRecord DecodeNumeric(std::string_view rest, int countWidth);
SegmentRecord DecodeAlphanumeric(std::string_view rest, int countWidth);
SegmentRecord DecodeByte(std::string_view rest, int countWidth);
SegmentRecord DecodeKanji(std::string_view rest, int countWidth);
// rest starts after the subset indicator.
SegmentRecord DecodeHanzi(std::string_view rest, int countWidth);

// Parses the data bit string (with "0000" appended by the caller) of a
// symbol of the given version, reading text as reading says. A mode
// indicator other than the four data modes and the terminator (also a
// leading "0011" anywhere but at bit 1, or fewer than 4 bits left; in the
// modern reading an ECI, FNC1 or Hanzi indicator is none of these) ends the list with an empty
// record. Throws StageFault on a 16-bit overflow of a position or of
// TextByteCount.
ParsedSegments ParseSegments(std::string_view dataBits, int version,
                             TextReading reading = TextReading::Documented);

} // namespace zorvik
