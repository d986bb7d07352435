#include "SegmentInfo.h"

#include "CommonModule.h"
#include "ShiftJis.h"
#include "TextEncoding.h"

namespace zorvik {

namespace {

// Line prefix by SegmentRecord::Mode.
constexpr const char* kModePrefixes[4] = {"[N-", "[A-", "[B-", "[K-"};

// CharCount with at least four digits.
std::string CountText(int count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return count < 0 ? "-" + digits : digits;
}

// "[E-", the designator in six digits as ECIs are written, "] " and the
// name of its character set (nothing for one without).
std::string EciLine(int32_t designator) {
    std::string digits = std::to_string(designator);
    if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
    const EciCharset* charset = FindEciCharset(designator);
    return "[E-" + digits + "] " + (charset ? charset->name : "") + "\r\n";
}

} // namespace

void WriteSegmentInfo(const std::vector<SegmentRecord>& segments, const std::string& path) {
    std::string content;
    for (const SegmentRecord& segment : segments) {
        if (segment.Mode == kEciMode) {
            content += EciLine(segment.Eci);
            continue;
        }
        if (segment.Mode == kFnc1FirstMode || segment.Mode == kFnc1SecondMode) {
            content +=
                segment.Mode == kFnc1FirstMode ? "[F-1]\r\n" : "[F-2] " + segment.Text + "\r\n";
            continue;
        }
        content += segment.Mode < 4             ? kModePrefixes[segment.Mode]
                   : segment.Mode == kHanziMode ? "[H-"
                                                : "[?-";
        content += CountText(segment.CharCount);
        content += "] ";
        content += segment.Text;
        content += "\r\n";
    }
    // The file is a by-product of the decode: failing to write it must not
    // disturb the decode, so the result is ignored.
    (void)WriteTextFile(path, Utf8ToShiftJis(content));
}

} // namespace zorvik
