// Arithmetic in GF(256) with the QR Code polynomial x^8 + x^4 + x^3 + x^2 + 1
// (0x11D), primitive element 2, and the few polynomial operations the
// Reed-Solomon decoder needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvik {

// PowerTable[i] = 2^i for i = 0..254 and PowerTable[255] = 1;
// LogTable[x] = i with 2^i = x for x = 1..255 and LogTable[0] = 0.
struct FieldTables {
    std::array<int16_t, 256> PowerTable;
    std::array<int16_t, 256> LogTable;
};

namespace detail {

// x^8 + x^4 + x^3 + x^2 + 1, the QR Code field polynomial.
inline constexpr int kFieldPolynomial = 0x11D;

constexpr FieldTables MakeFieldTables() {
    FieldTables tables{};
    int value = 1;
    for (int i = 0; i < 255; ++i) {
        tables.PowerTable[size_t(i)] = static_cast<int16_t>(value);
        tables.LogTable[size_t(value)] = static_cast<int16_t>(i);
        value <<= 1;
        if (value & 0x100) value ^= kFieldPolynomial;
    }
    // alpha^255 = alpha^0: lets GfInverse(1) read index 255 - 0.
    tables.PowerTable[255] = 1;
    tables.LogTable[0] = 0;
    return tables;
}

inline constexpr FieldTables kFieldTables = MakeFieldTables();
static_assert(kFieldTables.PowerTable[8] == 29, "reduction by 0x11D");
static_assert(kFieldTables.LogTable[3] == 25 && kFieldTables.LogTable[7] == 198,
              "log table of the QR field");

// 2^i for i = 0..509: the sum of two logarithms needs no reduction mod 255.
inline constexpr std::array<int16_t, 510> kDoublePowers = [] {
    std::array<int16_t, 510> powers{};
    for (size_t i = 0; i < powers.size(); ++i) powers[i] = kFieldTables.PowerTable[i % 255];
    return powers;
}();

} // namespace detail

// The constant tables (built once, read only).
inline const FieldTables& BuildFieldTables() {
    return detail::kFieldTables;
}

// Product of two elements 0..255 (the range is not checked). Inline: the
// error search calls it for every term; constexpr: the vector tables of
// products are built from it when the program is compiled.
constexpr int16_t GfMultiply(int a, int b) {
    if (a == 0 || b == 0) return 0;
    return detail::kDoublePowers[size_t(detail::kFieldTables.LogTable[size_t(a)] +
                                        detail::kFieldTables.LogTable[size_t(b)])];
}

// Multiplicative inverse of an element 0..255 (not checked); GfInverse(0)
// is 1, so a zero divisor never fails.
int16_t GfInverse(int a);

// A polynomial over GF(256), index = power of x. Every polynomial of one
// block correction has the same working length W.
using Polynomial = std::vector<int16_t>;

// Sets every coefficient to 0.
void PolyClear(Polynomial& p);
// Copies the coefficients both have in common (all W of them for equal lengths).
void PolyCopy(Polynomial& dest, const Polynomial& src);
// Multiplies by x within the working length: the top coefficient is dropped.
void PolyShift(Polynomial& p);

} // namespace zorvik
