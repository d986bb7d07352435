// Helpers shared by every decoding stage: bit strings, the 16-bit number
// model, and the text operations whose out-of-range use is a stage fault.
#pragma once

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zorvik {

// A text of '0' and '1', most significant bit first; '1' is a set bit or a
// dark pixel or module.
using BitString = std::string;

// A run-time fault inside a stage: a 16-bit overflow, an index outside an
// array or text. Each stage catches it at its boundary and returns its own
// catch-all message instead.
struct StageFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Options that reach into the decoder from outside. Empty debugFolder means
// no debug dumps; otherwise it names an existing folder.
struct DecodeOptions {
    std::string debugFolder;
    bool segmentInfo = false; // write the segment-information file
    std::string infoFileName; // its path (UTF-8)
    // The documented attempts and text reading alone, byte for byte: no
    // second search, no ECI, byte segments always code page 932.
    bool exact = false;
    // Threads the decode of one picture may use, for its conversion and the
    // second search: 1 where the caller keeps the cores busy already. The
    // outcome is the same with any number while memory lasts.
    int searchThreads = 2;
};

// Throws StageFault(what); out of line so that the checks below, inline
// because they guard every step of the hot loops, stay small.
[[noreturn]] void ThrowStageFault(const char* what);

// v as a 16-bit signed integer; throws StageFault outside -32768..32767.
inline int16_t CheckedInt16(long long v) {
    if (v < INT16_MIN || v > INT16_MAX) ThrowStageFault("16-bit overflow");
    return static_cast<int16_t>(v);
}

// Nearest integer, exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline double RoundHalfEven(double v) {
    // What nearbyint gives in the default round-to-nearest-even mode, without
    // its library call (which saves and restores the floating-point state):
    // adding 2^52 leaves no bits below the point, and the addition rounds
    // half to even. Beyond 2^52 every double is whole; the sign of a zero
    // result is v's, as nearbyint's.
    constexpr double kTwo52 = 4503599627370496.0;
    if (!(std::abs(v) < kTwo52)) return v;
    const double shift = std::copysign(kTwo52, v);
    return std::copysign((v + shift) - shift, v);
}

// RoundHalfEven(v) as a checked 16-bit integer.
inline int16_t RoundToInt16(double v) {
    double r = RoundHalfEven(v);
    if (!(r >= INT16_MIN && r <= INT16_MAX)) ThrowStageFault("16-bit overflow");
    return static_cast<int16_t>(r);
}

// v truncated toward zero as a checked 16-bit integer.
inline int16_t TruncToInt16(double v) {
    double r = std::trunc(v);
    if (!(r >= INT16_MIN && r <= INT16_MAX)) ThrowStageFault("16-bit overflow");
    return static_cast<int16_t>(r);
}

// Exactly width characters: the 4-bit patterns of the upper-case hex digits
// of hex, padded with leading zeros or cut to the lowest width bits.
// Characters other than 0-9 and A-F are not checked (they read as 0000).
BitString HexToBits(std::string_view hex, int width);

// Upper-case hexadecimal text of a non-negative value, no leading zeros
// ("0" for 0).
std::string ToHex(unsigned value);

// The unsigned value of a bit string; empty gives 0. A value above 32767
// throws StageFault.
int16_t BitsToInt(std::string_view bits);

// Up to len characters of s from the 1-based position pos: fewer, or none,
// where s ends. pos < 1 or len < 0 throws StageFault.
inline std::string_view Mid(std::string_view s, long long pos, long long len) {
    if (pos < 1 || len < 0) ThrowStageFault("invalid text position");
    if (pos > static_cast<long long>(s.size())) return {};
    return s.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len));
}

// s from the 1-based position pos to its end (empty beyond it).
std::string_view MidRest(std::string_view s, long long pos);

// The character at 1-based position pos; throws StageFault outside s.
inline char CharAt(std::string_view s, long long pos) {
    if (pos < 1 || pos > static_cast<long long>(s.size()))
        ThrowStageFault("text position outside the text");
    return s[static_cast<size_t>(pos - 1)];
}

// Number of '1' characters in s.
inline long long CountOnes(std::string_view s) {
    long long n = 0;
    for (char ch : s) n += ch == '1';
    return n;
}

// Writes content (lines already ended by CR LF) to path, created or replaced. Returns
// false on any file error; the caller decides whether that matters.
bool WriteTextFile(const std::string& path, const std::string& content);

} // namespace zorvik
