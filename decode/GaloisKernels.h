// The sums over GF(256) that a block correction takes most of its time in:
// the syndromes, and the error locator's values in the search for its
// roots. Each routine has a plain twin, the simple loop whose results it
// must give; the tests hold the two to that.
#pragma once

#include <cstdint>

namespace zorvik {

// syndromes[k] = r(alpha^k) for k < count (0..255), where the n codewords
// (1..255 of them, each 0..255) are r's coefficients, codeword j that of
// x^(n - 1 - j). Nothing is checked.
void EvaluateSyndromes(const int16_t* codewords, int n, int count, int16_t* syndromes);
void EvaluateSyndromesPlain(const int16_t* codewords, int n, int count, int16_t* syndromes);

// values[i] = sigma(alpha^(first + i)) for i from 0 to 15, where sigma[0..
// degree] (degree 0..31, coefficients 0..255) are sigma's coefficients,
// lowest first, and first is 0..240. Nothing is checked.
void EvaluateSixteen(const int16_t* sigma, int degree, int first, uint8_t* values);
void EvaluateSixteenPlain(const int16_t* sigma, int degree, int first, uint8_t* values);

} // namespace zorvik
