// Arithmetic in GF(256) with the QR Code polynomial x^8 + x^4 + x^3 + x^2 + 1
// (0x11D), primitive element 2, and the few polynomial operations the
// Reed-Solomon decoder needs.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zorvik {

// PowerTable[i] = 2^i for i = 0..254 and PowerTable[255] = 1;
// LogTable[x] = i with 2^i = x for x = 1..255 and LogTable[0] = 0.
struct FieldTables {
    std::array<int16_t, 256> PowerTable;
    std::array<int16_t, 256> LogTable;
};

// The constant tables (built once, read only).
const FieldTables& BuildFieldTables();

// Product of two elements 0..255 (the range is not checked).
int16_t GfMultiply(int a, int b);

// Multiplicative inverse of an element 0..255 (not checked); GfInverse(0)
// is 1, so a zero divisor never fails.
int16_t GfInverse(int a);

// A polynomial over GF(256), index = power of x. Every polynomial of one
// block correction has the same working length W; a product has 2W.
using Polynomial = std::vector<int16_t>;

// Sets every coefficient to 0.
void PolyClear(Polynomial& p);
// Copies the coefficients both have in common (all W of them for equal lengths).
void PolyCopy(Polynomial& dest, const Polynomial& src);
// Multiplies by x within the working length: the top coefficient is dropped.
void PolyShift(Polynomial& p);
// dest = p * q; dest is resized to p.size() + q.size() coefficients, 2W for
// two factors of W coefficients.
void PolyMultiply(Polynomial& dest, const Polynomial& p, const Polynomial& q);

} // namespace zorvik
