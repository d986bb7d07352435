// Reed-Solomon decoding of one QR Code block over GF(256).
#pragma once

#include <array>
#include <cstdint>

namespace zorvik {

// The codewords of one block: entries 0..n-1 hold data then error-correction
// codewords (each 0..255); the rest are unused.
using CodewordArray = std::array<int16_t, 256>;

// Corrects the block in place. n is the number of codewords (1..255), t the
// correctable errors of the block (1..15) and ecCount the number of its
// error-correction codewords (2t..n). Only 2t syndromes locate the errors.
// Returns 0 when those 2t syndromes are zero (block untouched), k (1..t)
// when k codewords were corrected and all ecCount syndromes of the corrected
// block are zero, or -1 when the block cannot be corrected, more than t
// corrections included (block left unchanged).
// Arguments outside these ranges, and codewords outside 0..255, give -1.
// Never throws.
int16_t CorrectBlock(CodewordArray& codewords, int16_t n, int16_t t, int16_t ecCount);

} // namespace zorvik
