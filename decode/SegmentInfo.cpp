#include "SegmentInfo.h"

#include "CommonModule.h"
#include "ShiftJis.h"

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

} // namespace

void WriteSegmentInfo(const std::vector<SegmentRecord>& segments, const std::string& path) {
    std::string content;
    for (const SegmentRecord& segment : segments) {
        content += segment.Mode < 4 ? kModePrefixes[segment.Mode] : "[?-";
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
