// GF(256) of QR Code (x^8 + x^4 + x^3 + x^2 + 1) written the textbook way,
// by shift and reduce, so that tests do not lean on the decoder's tables.
#pragma once

#include <vector>

namespace zorvik::test {

int TextbookMultiply(int a, int b);

// alpha^power, alpha = 2.
int TextbookAlpha(int power);

// Whether the polynomial of the codewords (first codeword the highest power)
// vanishes at alpha^0 .. alpha^(ecCount - 1), the roots of the QR generator.
bool TextbookIsCodeword(const std::vector<int>& codewords, int ecCount);

} // namespace zorvik::test
