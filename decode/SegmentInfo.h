// The segment-information file: one line per data segment.
#pragma once

#include "SegmentParser.h"

#include <string>
#include <vector>

namespace zorvik {

// Writes "[B-0005] Hello" style lines (CR LF, Shift_JIS) to path, replacing
// the file; an ECI record is the line "[E-000026] UTF-8", the designator in
// six digits and its character set's name; an FNC1 is "[F-1]" in first
// position and "[F-2] 37" in second, with its application indicator; a
// Hanzi segment is "[H-0002] ..." like kanji's. Any file error ends it
// silently.
void WriteSegmentInfo(const std::vector<SegmentRecord>& segments, const std::string& path);

} // namespace zorvik
