// The segment-information file: one line per data segment.
#pragma once

#include "SegmentParser.h"

#include <string>
#include <vector>

namespace zorvik {

// Writes "[B-0005] Hello" style lines (CR LF, Shift_JIS) to path, replacing
// the file; an ECI record is the line "[E-000026] UTF-8", the designator in
// six digits and its character set's name. Any file error ends it silently.
void WriteSegmentInfo(const std::vector<SegmentRecord>& segments, const std::string& path);

} // namespace zorvik
