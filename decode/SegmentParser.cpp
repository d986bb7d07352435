#include "SegmentParser.h"

#include "CommonModule.h"
#include "ShiftJis.h"
#include "TextEncoding.h"

namespace zorvik {

const std::string_view AlnumTable = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

namespace {

struct CountWidthRow {
    int firstVersion;
    int lastVersion;
    std::array<int16_t, 4> widths;
};

// clang-format off
// ISO/IEC 18004, Table 3: number of bits in the character count indicator.
constexpr CountWidthRow kCountWidthTable[] = {
    // versions     numeric  alphanumeric  byte  kanji
    {  1,  9,    {    10,         9,          8,     8 } },
    { 10, 26,    {    12,        11,         16,    10 } },
    { 27, 40,    {    14,        13,         16,    12 } },
};
// clang-format on

constexpr std::string_view kStructuredAppend = "0011";
constexpr std::string_view kTerminator = "0000";
constexpr std::string_view kEci = "0111";
constexpr std::string_view kFnc1First = "0101";
constexpr std::string_view kFnc1Second = "1001";
constexpr std::string_view kHanzi = "1101";
constexpr std::string_view kGb2312Subset = "0001";

// Mode indicators in the order of SegmentRecord::Mode.
constexpr std::string_view kModeIndicators[4] = {"0001", "0010", "0100", "1000"};

// The value of bits read as exactly width bits: a character missing at the
// end counts as "0" (weights 2^(width - n), n from 1).
int WeighBits(std::string_view bits, int width) {
    int value = 0;
    for (int n = 0; n < width; ++n)
        value = value * 2 + (n < static_cast<int>(bits.size()) && bits[n] == '1' ? 1 : 0);
    return value;
}

// The common frame: count indicator, bit length by the mode's rule, and the
// data bits that follow (fewer when the data end first).
template <typename BitLengthRule>
SegmentRecord ReadFrame(uint8_t mode, std::string_view rest, int countWidth,
                        BitLengthRule bitLength) {
    if (countWidth < 0) throw StageFault("negative count width");
    SegmentRecord record;
    record.Mode = mode;
    // An indicator cut short by the end of the data is read at its own length.
    record.CharCount = ReadCountIndicator(Mid(rest, 1, countWidth));
    record.BitLength = CheckedInt16(bitLength(static_cast<long long>(record.CharCount)));
    record.DataBits = std::string(Mid(rest, countWidth + 1, record.BitLength));
    return record;
}

// The bytes of a byte segment, 8 bits to a byte.
std::string BytesOf(std::string_view bits) {
    std::string bytes;
    for (size_t pos = 0; pos < bits.size(); pos += 8)
        bytes += static_cast<char>(WeighBits(bits.substr(pos, 8), 8));
    return bytes;
}

SegmentRecord ReadByteFrame(std::string_view rest, int countWidth) {
    return ReadFrame(2, rest, countWidth, [](long long count) { return count * 8; });
}

// An ECI designator at the start of rest: 0xxxxxxx, 10xxxxxx + 1 byte or
// 110xxxxx + 2 bytes, the value in the bits after the form's prefix. A form
// longer than it needs is read all the same. bits is 0 for a first byte of
// 111xxxxx and for a designator the data cut short.
struct Designator {
    int32_t value = -1;
    int16_t bits = 0;
};

Designator ReadDesignator(std::string_view rest) {
    int prefix = 0;
    while (prefix < 3 && prefix < static_cast<int>(rest.size()) && rest[prefix] == '1') ++prefix;
    if (prefix == 3) return {};
    const int bits = 8 * (prefix + 1);
    if (static_cast<int>(rest.size()) < bits) return {};
    const std::string_view value = rest.substr(prefix + 1, bits - prefix - 1);
    return {WeighBits(value, static_cast<int>(value.size())), static_cast<int16_t>(bits)};
}

// Decimal text of value with at least digits digits.
std::string ZeroPadded(int value, int digits) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < digits)
        text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    return text;
}

// The text of an FNC1 application indicator, empty for a value without one.
std::string ApplicationIndicatorText(int value) {
    if (value < 100) return ZeroPadded(value, 2);
    const int letter = value - 100;
    if ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))
        return std::string(1, char(letter));
    return {};
}

// Alphanumeric text after an FNC1: "%" is the separator GS, "%%" a "%".
std::string WithSeparators(std::string_view text) {
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '%') {
            out += text[k];
        } else if (k + 1 < text.size() && text[k + 1] == '%') {
            out += '%';
            ++k;
        } else {
            out += '\x1D';
        }
    }
    return out;
}

} // namespace

std::array<int16_t, 4> CountWidths(int version) {
    for (const CountWidthRow& row : kCountWidthTable)
        if (version >= row.firstVersion && version <= row.lastVersion) return row.widths;
    throw StageFault("version without count widths");
}

int16_t ReadCountIndicator(std::string_view bits) {
    return BitsToInt(bits);
}

SegmentRecord DecodeNumeric(std::string_view rest, int countWidth) {
    SegmentRecord record = ReadFrame(0, rest, countWidth, [](long long count) {
        long long bits = count / 3 * 10;
        if (count % 3 == 1) bits += 4;
        if (count % 3 == 2) bits += 7;
        return bits;
    });
    const std::string_view bits = record.DataBits;
    int previousDigits = 0; // 0: no leading zeros
    for (size_t pos = 0; pos < bits.size(); pos += 10) {
        std::string_view group = bits.substr(pos, 10);
        int digits = group.size() == 10  ? 3
                     : group.size() == 7 ? 2
                     : group.size() == 4 ? 1
                                         : previousDigits; // data cut short
        int value = WeighBits(group, static_cast<int>(group.size()));
        record.Text += ZeroPadded(value, digits);
        previousDigits = digits;
    }
    return record;
}

SegmentRecord DecodeAlphanumeric(std::string_view rest, int countWidth) {
    SegmentRecord record = ReadFrame(
        1, rest, countWidth, [](long long count) { return count / 2 * 11 + count % 2 * 6; });
    const std::string_view bits = record.DataBits;
    auto append = [&record](int index) {
        if (index < static_cast<int>(AlnumTable.size())) record.Text += AlnumTable[index];
    };
    for (size_t pos = 0; pos < bits.size(); pos += 11) {
        std::string_view group = bits.substr(pos, 11);
        if (group.size() == 11) {
            int value = WeighBits(group, 11);
            append(value / 45);
            append(value % 45);
        } else {
            append(WeighBits(group, 6));
        }
    }
    return record;
}

SegmentRecord DecodeByte(std::string_view rest, int countWidth) {
    SegmentRecord record = ReadByteFrame(rest, countWidth);
    record.Text = ShiftJisToUtf8(BytesOf(record.DataBits));
    return record;
}

SegmentRecord DecodeKanji(std::string_view rest, int countWidth) {
    SegmentRecord record =
        ReadFrame(3, rest, countWidth, [](long long count) { return count * 13; });
    const std::string_view bits = record.DataBits;
    std::string bytes;
    for (size_t pos = 0; pos < bits.size(); pos += 13) {
        int value = WeighBits(bits.substr(pos, 13), 13);
        int high = value / 0xC0;
        int low = value % 0xC0;
        int code = (high * 256 + low + (high < 31 ? 0x8140 : 0xC140)) % 65536;
        bytes += static_cast<char>(code >> 8);
        bytes += static_cast<char>(code & 0xFF);
    }
    record.Text = ShiftJisToUtf8(bytes);
    return record;
}

SegmentRecord DecodeHanzi(std::string_view rest, int countWidth) {
    SegmentRecord record =
        ReadFrame(kHanziMode, rest, countWidth, [](long long count) { return count * 13; });
    const std::string_view bits = record.DataBits;
    std::string bytes;
    for (size_t pos = 0; pos < bits.size(); pos += 13) {
        const int value = WeighBits(bits.substr(pos, 13), 13);
        const int high = value / 0x60, low = value % 0x60;
        // Rows A1 to AA were shifted down by A1A1, rows B0 on by A6A1.
        const int code = high * 256 + low + (high < 0x0A ? 0xA1A1 : 0xA6A1);
        bytes += static_cast<char>(code >> 8);
        bytes += static_cast<char>(code & 0xFF);
    }
    // GB 18030 reads GB 2312 and also the rows GB 2312 leaves to users.
    record.Text = ConvertToUtf8(bytes, "GB18030");
    return record;
}

ParsedSegments ParseSegments(std::string_view dataBits, int version, TextReading reading) {
    ParsedSegments parsed;
    int16_t p = 1;
    if (Mid(dataBits, 1, 4) == kStructuredAppend) {
        // Position and total in bits 5 to 12; the parity byte after them is
        // not checked.
        parsed.SequenceByte = BitsToInt(Mid(dataBits, 5, 8));
        p = 21;
    }
    const std::array<int16_t, 4> widths = CountWidths(version);
    const bool modern = reading == TextReading::Modern;
    const EciCharset* charset = nullptr; // of the last ECI
    // Byte segments before the first ECI, read together once all are known.
    std::vector<size_t> withoutEci;
    std::vector<std::string> withoutEciBytes;
    bool afterFnc1 = false; // alphanumeric "%" is then a separator

    for (;;) {
        std::string_view indicator = Mid(dataBits, p, 4);
        if (indicator == kTerminator) break;
        parsed.segments.emplace_back();
        std::string_view rest = MidRest(dataBits, CheckedInt16(p + 4));

        if (modern && indicator == kEci) {
            const Designator designator = ReadDesignator(rest);
            if (designator.bits == 0) break;
            SegmentRecord& record = parsed.segments.back();
            record.Mode = kEciMode;
            record.Eci = designator.value;
            record.DataBits = std::string(rest.substr(0, static_cast<size_t>(designator.bits)));
            record.BitLength = designator.bits;
            charset = FindEciCharset(designator.value);
            if (charset == nullptr) {
                parsed.segments.emplace_back();
                break;
            }
            p = CheckedInt16(p + 4 + designator.bits);
            continue;
        }

        if (modern && (indicator == kFnc1First || indicator == kFnc1Second)) {
            const bool second = indicator == kFnc1Second;
            std::string text;
            if (second) {
                if (rest.size() < 8) break;
                text = ApplicationIndicatorText(WeighBits(rest, 8));
                if (text.empty()) break;
            }
            SegmentRecord& record = parsed.segments.back();
            record.Mode = second ? kFnc1SecondMode : kFnc1FirstMode;
            record.Text = std::move(text);
            record.BitLength = second ? 8 : 0;
            record.DataBits = std::string(rest.substr(0, size_t(record.BitLength)));
            afterFnc1 = true;
            p = CheckedInt16(p + 4 + record.BitLength);
            continue;
        }

        if (modern && indicator == kHanzi) {
            if (Mid(rest, 1, 4) != kGb2312Subset) break;
            SegmentRecord& record = parsed.segments.back();
            record = DecodeHanzi(rest.substr(4), widths[3]);
            parsed.TextByteCount = CheckedInt16(parsed.TextByteCount + 2 * record.CharCount);
            p = CheckedInt16(p + 8 + widths[3] + record.BitLength);
            continue;
        }

        int mode = 0;
        while (mode < 4 && indicator != kModeIndicators[mode]) ++mode;
        // ECI, FNC1 or Hanzi (read as documented), a late structured-append header or
        // a cut indicator: the empty record stays last and fails the run.
        if (mode == 4) break;

        SegmentRecord& record = parsed.segments.back();
        switch (mode) {
        case 0:
            record = DecodeNumeric(rest, widths[0]);
            break;
        case 1:
            record = DecodeAlphanumeric(rest, widths[1]);
            if (afterFnc1) record.Text = WithSeparators(record.Text);
            break;
        case 2:
            if (!modern) {
                record = DecodeByte(rest, widths[2]);
            } else {
                record = ReadByteFrame(rest, widths[2]);
                std::string bytes = BytesOf(record.DataBits);
                if (charset != nullptr) {
                    record.Text = ConvertToUtf8(bytes, charset->iconvName);
                } else {
                    withoutEci.push_back(parsed.segments.size() - 1);
                    withoutEciBytes.push_back(std::move(bytes));
                }
            }
            break;
        default:
            record = DecodeKanji(rest, widths[3]);
            break;
        }
        const int bytesPerChar = mode == 3 ? 2 : 1;
        parsed.TextByteCount = CheckedInt16(parsed.TextByteCount + bytesPerChar * record.CharCount);
        p = CheckedInt16(p + 4 + widths[mode] + record.BitLength);
    }
    parsed.stopPosition = p;

    if (!withoutEci.empty()) {
        const char* symbolCharset = ChooseCharsetWithoutEci(withoutEciBytes);
        for (size_t k = 0; k < withoutEci.size(); ++k)
            parsed.segments[withoutEci[k]].Text = ConvertToUtf8(withoutEciBytes[k], symbolCharset);
    }
    return parsed;
}

} // namespace zorvik
