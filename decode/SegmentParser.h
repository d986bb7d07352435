// Data-segment parsing: the corrected data bit stream into segments of
// numeric, alphanumeric, byte and kanji text, with structured append and,
// beyond code page 932, ECI.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// SegmentRecord::Mode of an ECI record, the value of its indicator 0111.
inline constexpr uint8_t kEciMode = 7;

struct SegmentRecord {
    uint8_t Mode = 0;      // 0 numeric, 1 alphanumeric, 2 byte, 3 kanji, kEciMode
    std::string Text;      // decoded characters, UTF-8; empty for an ECI
    int16_t CharCount = 0; // value of the character count indicator; 0 for an ECI
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
    Modern,
};

struct ParsedSegments {
    std::vector<SegmentRecord> segments; // ends with an empty record on a bad indicator
    int stopPosition = 1;                // 1-based bit position where parsing stopped
    int16_t SequenceByte = -1;           // structured-append byte, -1 without header
    int16_t TextByteCount = 0;           // character counts, a kanji counting 2
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

// Parses the data bit string (with "0000" appended by the caller) of a
// symbol of the given version, reading text as reading says. A mode
// indicator other than the four data modes and the terminator (also a
// leading "0011" anywhere but at bit 1, or fewer than 4 bits left; in the
// modern reading an ECI is none of these) ends the list with an empty
// record. Throws StageFault on a 16-bit overflow of a position or of
// TextByteCount.
ParsedSegments ParseSegments(std::string_view dataBits, int version,
                             TextReading reading = TextReading::Documented);

} // namespace zorvik
