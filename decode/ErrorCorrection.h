// Reed-Solomon decoding of one QR Code block over GF(256).
#pragma once

#include <array>
#include <cstdint>

namespace zorvik {

// The codewords of one block: entries 0..n-1 hold data then error-correction
// codewords (each 0..255); the rest are unused.
using CodewordArray = std::array<int16_t, 256>;

// Corrects the block in place. n is the number of codewords (1..255) and t
// the correctable errors of the block (1..15). Returns 0 when every syndrome
// is zero (block untouched), k > 0 when k codewords were corrected and the
// corrected block is a true codeword, or -1 when the block cannot be
// corrected (block left unchanged). Never throws.
int16_t CorrectBlock(CodewordArray& codewords, int16_t n, int16_t t);

}  // namespace zorvik
