// Loops over rows of grey pixels, one byte each: colours to greys, how many
// there are of each grey, a row's darkest grey and sum, whether any grey
// lies in a range, a row binarised, two rows halved. Each routine has a
// plain twin, the simple loop whose results it must give; the tests hold
// the two to that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvik {

// out[c] = (blue + green + red) / 3, truncated, for the width pixels of
// bytesPerPixel bytes each (3 or 4, not checked), blue, green and red
// first. Reads no byte past the last pixel's.
void ColourGreys(const uint8_t* pixels, int bytesPerPixel, int width, uint8_t* out);
void ColourGreysPlain(const uint8_t* pixels, int bytesPerPixel, int width, uint8_t* out);

// Adds to counts[g] how many greys are g in rows rows of width greys from
// p, each stride bytes after the one before. The counts must not overflow
// (not checked).
void CountGreys(const uint8_t* p, size_t width, size_t rows, size_t stride, uint64_t* counts);
void CountGreysPlain(const uint8_t* p, size_t width, size_t rows, size_t stride, uint64_t* counts);

// Below, a grey g lies in (from, range) when from <= g <= from + range, a
// sum of at most 255 (not checked): g - from, wrapped, is at most range
// exactly there.

// Whether any of the n greys from p lies in (from, range).
bool AnyGreyIn(const uint8_t* p, size_t n, uint8_t from, uint8_t range);
bool AnyGreyInPlain(const uint8_t* p, size_t n, uint8_t from, uint8_t range);

// Lowers least to the darkest of the n greys of row and adds their sum to sum.
void AddLeastAndSum(const uint8_t* row, int n, uint8_t& least, uint64_t& sum);
void AddLeastAndSumPlain(const uint8_t* row, int n, uint8_t& least, uint64_t& sum);

// out[c] = '1' where in[c] lies in (from, range), else '0', for c < n;
// returns whether out then differs from the n characters of above (false
// when above is null). out overlaps neither in nor above.
bool BinariseRow(const uint8_t* in, int n, uint8_t from, uint8_t range, const char* above,
                 char* out);
bool BinariseRowPlain(const uint8_t* in, int n, uint8_t from, uint8_t range, const char* above,
                      char* out);

// out[x] = (a[2x] + a[2x + 1] + b[2x] + b[2x + 1] + 2) / 4 for x < n: the
// mean of 2 x 2 pixels, rounded half up. out overlaps neither a nor b.
void HalveRows(const uint8_t* a, const uint8_t* b, int n, uint8_t* out);
void HalveRowsPlain(const uint8_t* a, const uint8_t* b, int n, uint8_t* out);

} // namespace zorvik
