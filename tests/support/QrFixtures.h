// Test fixtures made by independent means: symbols from libqrencode and
// Windows bitmap files written byte by byte here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik::test {

// N texts of N characters, '1' dark, as the encoder placed the modules.
using Modules = std::vector<std::string>;

// One segment of encoder input: mode 0 numeric, 1 alphanumeric, 2 byte,
// 3 kanji (Shift_JIS bytes), and the raw data.
struct Segment {
    int mode;
    std::string data;
};

// Encodes the segments at exactly this version (1..40) and level (0 L, 1 M,
// 2 Q, 3 H). Returns an empty matrix when they do not fit.
Modules EncodeSegments(const std::vector<Segment>& segments, int version, int level);

// Like EncodeSegments, with an ECI designator (0..999999) in front of the
// segment of index eciAt (segments.size() puts it after the last one).
Modules EncodeSegmentsWithEci(const std::vector<Segment>& segments, size_t eciAt, unsigned eci,
                              int version, int level);

// Like EncodeSegments, with the FNC1 second-position mode indicator and the
// application identifier appId in front. (This libqrencode refuses to encode
// the first-position form.)
Modules EncodeSegmentsFnc1Second(const std::vector<Segment>& segments, unsigned char appId,
                                 int version, int level);

// The encoder's role of every module of a symbol of this version and level:
// 'd' data codeword bit, 'e' error-correction codeword or remainder bit, 'f'
// format information, '-' any other function module (finder, separator,
// timing, alignment, version information, the dark module).
Modules ModuleRoles(int version, int level);

// One byte segment of text at the smallest version >= minVersion that fits.
Modules EncodeText(const std::string& text, int level, int minVersion = 1);

// Structured append: the symbols of text split over several symbols of the
// given version, with their sequence bytes (position << 4 | total - 1).
struct AppendSymbol {
    Modules modules;
    int sequenceByte;
};
std::vector<AppendSymbol> EncodeStructured(const std::string& text, int version, int level);

// A grey picture: quiet zone of quietModules, modules of modulePx pixels
// (may be fractional: module edges fall at rounded positions), dark 0, light
// 255, on a background of background grey.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> grey; // row-major, top row first
    uint8_t& at(int r, int c) { return grey[size_t(r) * size_t(width) + size_t(c)]; }
};
Picture Render(const Modules& modules, double modulePx, int quietModules, uint8_t background = 255);

// A side x side picture of full-height stripes unit pixels wide, dark and
// light as 1:1:3:1:1 and one light unit more, over and over: every row
// crosses finder proportions all along.
Picture FinderStripes(int unit, int side);

// A 24-bit bottom-up Windows bitmap file of the picture, written by hand.
std::vector<uint8_t> ToBmp24(const Picture& picture);

// Little-endian helpers for hand-written bitmap headers.
void PutLe16(std::vector<uint8_t>& bytes, size_t at, unsigned value);
void PutLe32(std::vector<uint8_t>& bytes, size_t at, unsigned value);

// A bitmap file header and 40-byte info header for width x height at
// bitCount, pixel data at offset; the caller fills colour table and rows.
std::vector<uint8_t> BmpHeader(int width, int height, int bitCount, unsigned offset,
                               size_t fileSize);

} // namespace zorvik::test
