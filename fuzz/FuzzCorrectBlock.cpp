#include "ErrorCorrection.h"
#include "FuzzSupport.h"

namespace zorvik::fuzz {

int FuzzCorrectBlock(FuzzInput data) {
    if (data.size() < 3) return 0;
    const int16_t n = data[0], t = data[1], ecCount = data[2];
    CodewordArray block{};
    for (size_t i = 3; i < data.size() && i - 3 < block.size(); ++i) block[i - 3] = data[i];
    const CodewordArray before = block;
    const int16_t k = CorrectBlock(block, n, t, ecCount);
    const bool valid = n >= 1 && n <= 255 && t >= 1 && t <= 15 && ecCount >= 2 * t && ecCount <= n;
    Require(k >= -1, "result -1 or more");
    if (!valid) Require(k == -1, "arguments outside their ranges give -1");
    if (k <= 0) {
        Require(block == before, "an untouched or uncorrectable block stays as it was");
        return 0;
    }
    int changed = 0;
    for (int i = 0; i < 256; ++i) {
        Require(block[size_t(i)] >= 0 && block[size_t(i)] <= 255, "codewords stay bytes");
        if (block[size_t(i)] != before[size_t(i)]) {
            Require(i < n, "only the block's own codewords change");
            ++changed;
        }
    }
    Require(changed == k && k <= t, "k codewords corrected, at most t");
    return 0;
}

} // namespace zorvik::fuzz
