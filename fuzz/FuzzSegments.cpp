#include "CommonModule.h"
#include "FuzzSupport.h"
#include "SegmentParser.h"

namespace zorvik::fuzz {

int FuzzSegments(FuzzInput data) {
    if (data.size() < 2) return 0;
    const int version = 1 + data[0] % 40;
    const TextReading reading = data[1] & 1 ? TextReading::Modern : TextReading::Documented;
    const std::string bits = BytesToBits(data, 2) + "0000";
    try {
        ParsedSegments parsed = ParseSegments(bits, version, reading);
        Require(parsed.stopPosition >= 1, "stop position 1-based");
        Require(parsed.SequenceByte >= -1 && parsed.SequenceByte <= 255, "sequence byte");
        for (const SegmentRecord& segment : parsed.segments) {
            Require(segment.Mode <= 3 || segment.Mode == kHanziMode ||
                        segment.Mode == kFnc1SecondMode || segment.Text.empty(),
                    "only data segments and application indicators hold text");
            Require(segment.Mode <= 3 || reading == TextReading::Modern,
                    "markers and Hanzi only in the modern reading");
            if (segment.Mode == kEciMode)
                Require(reading == TextReading::Modern && segment.Eci >= 0,
                        "ECI records only in the modern reading, with their designator");
        }
    } catch (const StageFault&) {
        // The documented answer to a 16-bit overflow.
    }
    return 0;
}

} // namespace zorvik::fuzz
