#include "GaloisField.h"

#include <algorithm>
#include <cstddef>

namespace zorvik {

int16_t GfInverse(int a) {
    return detail::kFieldTables.PowerTable[size_t(255 - detail::kFieldTables.LogTable[size_t(a)])];
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

} // namespace zorvik
