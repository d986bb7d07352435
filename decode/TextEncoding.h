// Character sets of byte segments beyond code page 932: the ECI designators
// this decoder reads, and the one rule for byte segments no ECI governs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

struct EciCharset {
    const char* name;      // the IANA name, as the segment-information file shows it
    const char* iconvName; // what the bytes are converted from
};

// The character set of an ECI designator (0 to 999999), or nullptr for one
// this decoder does not read.
const EciCharset* FindEciCharset(int32_t designator);

// The iconv name by which the byte segments of one symbol that no ECI
// governs are read, each segment still converted on its own. One symbol,
// one character set:
// 1. "UTF-8" when every segment is well-formed UTF-8 and one of them holds a
//    character of two or more bytes;
// 2. otherwise "CP932" when every segment reads as code page 932 without a
//    bad byte and without a user-defined character (lead bytes F0 to F9);
// 3. otherwise "ISO-8859-1" when every byte is printable in ISO-8859-1
//    (20 to 7E, A0 to FF, tab, line feed, carriage return);
// 4. otherwise "CP932", bad bytes and all.
const char* ChooseCharsetWithoutEci(const std::vector<std::string>& segmentBytes);

} // namespace zorvik
