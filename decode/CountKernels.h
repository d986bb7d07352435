// Counts over binary pictures held as text rows ('1' dark), and over the
// tables of running counts made from them: a strip's dark pixels from two
// rows of column counts, the changes between two rows, and a row of a
// summed-area table. Each routine has a plain twin, the simple loop whose
// results it must give; the tests hold the two to that.
#pragma once

#include <cstdint>

namespace zorvik {

// The sum over p < n of (below[p] - above[p]) modulo 256: the dark pixels
// of a strip of fewer than 256 rows, from two rows of column counts kept
// modulo 256. Reads whole sixteens: both rows must be readable up to n
// rounded up to a multiple of 16 (what lies past n is not counted).
uint64_t SumByteDifferences(const uint8_t* below, const uint8_t* above, int n);
uint64_t SumByteDifferencesPlain(const uint8_t* below, const uint8_t* above, int n);

// How many of the n characters of a and b differ.
int CountDifferent(const char* a, const char* b, int n);
int CountDifferentPlain(const char* a, const char* b, int n);

// A row of a summed-area table of the '1's, modulo 2^16 or 2^32 as Count
// is uint16_t or uint32_t: here[0] = 0 and here[j + 1] = above[j + 1] + the
// '1's among row[0..j], for j < n. here overlaps neither row nor above.
template <typename Count>
void AddRunningDark(const char* row, int n, const Count* above, Count* here);
template <typename Count>
void AddRunningDarkPlain(const char* row, int n, const Count* above, Count* here);

} // namespace zorvik
