#include "GaloisField.h"

#include <algorithm>
#include <cstddef>

namespace zorvik {

namespace {

// x^8 + x^4 + x^3 + x^2 + 1, the QR Code field polynomial.
constexpr int kFieldPolynomial = 0x11D;

constexpr FieldTables MakeFieldTables() {
    FieldTables tables{};
    int value = 1;
    for (int i = 0; i < 255; ++i) {
        tables.PowerTable[i] = static_cast<int16_t>(value);
        tables.LogTable[value] = static_cast<int16_t>(i);
        value <<= 1;
        if (value & 0x100) value ^= kFieldPolynomial;
    }
    // alpha^255 = alpha^0: lets GfInverse(1) read index 255 - 0.
    tables.PowerTable[255] = 1;
    tables.LogTable[0] = 0;
    return tables;
}

constexpr FieldTables kFieldTables = MakeFieldTables();

static_assert(kFieldTables.PowerTable[8] == 29, "reduction by 0x11D");
static_assert(kFieldTables.LogTable[3] == 25 && kFieldTables.LogTable[7] == 198,
              "log table of the QR field");

} // namespace

const FieldTables& BuildFieldTables() {
    return kFieldTables;
}

int16_t GfMultiply(int a, int b) {
    if (a == 0 || b == 0) return 0;
    return kFieldTables.PowerTable[(kFieldTables.LogTable[a] + kFieldTables.LogTable[b]) % 255];
}

int16_t GfInverse(int a) {
    return kFieldTables.PowerTable[255 - kFieldTables.LogTable[a]];
}

void PolyClear(Polynomial& p) {
    std::fill(p.begin(), p.end(), int16_t{0});
}

void PolyCopy(Polynomial& dest, const Polynomial& src) {
    const std::size_t count = std::min(dest.size(), src.size());
    std::copy_n(src.begin(), count, dest.begin());
}

void PolyShift(Polynomial& p) {
    if (p.empty()) return;
    for (std::size_t i = p.size() - 1; i >= 1; --i) p[i] = p[i - 1];
    p[0] = 0;
}

void PolyMultiply(Polynomial& dest, const Polynomial& p, const Polynomial& q) {
    // p.size() + q.size() places: 2W for the equal working lengths of a block.
    dest.assign(p.size() + q.size(), 0);
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == 0) continue;
        for (std::size_t j = 0; j < q.size(); ++j) {
            dest[i + j] = static_cast<int16_t>(dest[i + j] ^ GfMultiply(p[i], q[j]));
        }
    }
}

} // namespace zorvik
