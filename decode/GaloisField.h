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

// Product of two elements 0..255.
int16_t GfMultiply(int a, int b);

// Multiplicative inverse; GfInverse(0) is 1 (never fails).
int16_t GfInverse(int a);

// A polynomial over GF(256), index = power of x. Every polynomial of one
// block correction has the same working length W; a product has 2W.
using Polynomial = std::vector<int16_t>;

void PolyClear(Polynomial& p);
void PolyCopy(Polynomial& dest, const Polynomial& src);
// Multiplies by x within the working length: the top coefficient is dropped.
void PolyShift(Polynomial& p);
// dest (2W coefficients) = p * q (W coefficients each).
void PolyMultiply(Polynomial& dest, const Polynomial& p, const Polynomial& q);

}  // namespace zorvik
