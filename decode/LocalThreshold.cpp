#include "LocalThreshold.h"

#include "GreyKernels.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zorvik {
namespace {

int OtsuThreshold(const std::array<uint64_t, 256>& histogram) {
    double total = 0, sum = 0;
    for (int g = 0; g < 256; ++g) {
        total += double(histogram[size_t(g)]);
        sum += double(g) * double(histogram[size_t(g)]);
    }
    if (total == 0) return 0;
    double below = 0, belowSum = 0, best = -1;
    int threshold = 0;
    for (int t = 0; t < 255; ++t) {
        below += double(histogram[size_t(t)]);
        belowSum += double(t) * double(histogram[size_t(t)]);
        const double above = total - below;
        if (below == 0 || above == 0) continue;
        const double diff = belowSum / below - (sum - belowSum) / above;
        const double variance = below * above * diff * diff;
        if (variance > best) {
            best = variance;
            threshold = t;
        }
    }
    if (best < 0) { // a single grey value
        for (int g = 0; g < 256; ++g)
            if (histogram[size_t(g)] != 0) return g;
    }
    return threshold;
}

// Grey value below which the given share of the pixels lie.
int Percentile(const std::array<uint64_t, 256>& histogram, uint64_t count, double share) {
    const auto limit = uint64_t(double(count) * share);
    uint64_t seen = 0;
    for (int g = 0; g < 256; ++g) {
        seen += histogram[size_t(g)];
        if (seen > limit) return g;
    }
    return 255;
}

} // namespace

BitPlane BinariseGlobal(const GreyImage& grey) {
    return BinariseGlobal(grey, GreyHistogram(grey));
}

BitPlane BinariseGlobal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram) {
    BitPlane plane{grey.width, grey.height, {}};
    plane.bits.resize(grey.pixels.size());
    // A byte, as the greys are (the threshold is one of them): compared as
    // ints, each sixteen pixels would be widened to four vectors and back.
    const uint8_t threshold = uint8_t(OtsuThreshold(histogram));
    // Through plain pointers: a byte store could otherwise change the
    // vectors' own bounds, and the loop would not be vectorised.
    const uint8_t* __restrict in = grey.pixels.data();
    uint8_t* __restrict out = plane.bits.data();
    const size_t n = grey.pixels.size();
    for (size_t i = 0; i < n; ++i) out[i] = in[i] <= threshold;
    return plane;
}

GreyImage HalveImage(const GreyImage& grey) {
    GreyImage half(grey.width / 2, grey.height / 2, GreyImage::Unset{});
    for (int y = 0; y < half.height; ++y) {
        const uint8_t* a = &grey.pixels[size_t(2 * y) * size_t(grey.width)];
        HalveRows(a, a + grey.width, half.width, &half.pixels[size_t(y) * size_t(half.width)]);
    }
    return half;
}

BitPlane BinariseLocal(const GreyImage& grey) {
    return BinariseLocal(grey, GreyHistogram(grey));
}

BitPlane BinariseLocal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram) {
    const int w = grey.width, h = grey.height;
    BitPlane plane{w, h, {}};
    plane.bits.resize(grey.pixels.size());
    if (w <= 0 || h <= 0) return plane;
    const int global = OtsuThreshold(histogram);
    // A neighbourhood counts as flat below a quarter of the picture's own
    // spread, so that faint but real edges of a low-contrast picture still
    // set their own threshold.
    const int spread = Percentile(histogram, grey.pixels.size(), 0.95) -
                       Percentile(histogram, grey.pixels.size(), 0.05);
    const int flat = std::max(8, spread / 4);

    const int block = std::clamp(int(std::lround(std::min(w, h) / 40.0)), 4, 64);
    const int bw = (w + block - 1) / block, bh = (h + block - 1) / block;
    std::vector<uint8_t> lo(size_t(bw) * size_t(bh)), hi(size_t(bw) * size_t(bh));
    // Each band of block rows column by column first, then each block's
    // columns: long loops over plain bytes, which the compiler vectorises.
    std::vector<uint8_t> columnLo(size_t(w), 255), columnHi(size_t(w), 0);
    for (int by = 0; by < bh; ++by) {
        uint8_t* __restrict cl = columnLo.data();
        uint8_t* __restrict ch = columnHi.data();
        std::fill(cl, cl + w, uint8_t(255));
        std::fill(ch, ch + w, uint8_t(0));
        for (int y = by * block; y < std::min(h, (by + 1) * block); ++y) {
            const uint8_t* __restrict row = &grey.pixels[size_t(y) * size_t(w)];
            for (int x = 0; x < w; ++x) {
                cl[x] = std::min(cl[x], row[x]);
                ch[x] = std::max(ch[x], row[x]);
            }
        }
        for (int bx = 0; bx < bw; ++bx) {
            const int from = bx * block, to = std::min(w, from + block);
            lo[size_t(by) * size_t(bw) + size_t(bx)] = *std::min_element(cl + from, cl + to);
            hi[size_t(by) * size_t(bw) + size_t(bx)] = *std::max_element(ch + from, ch + to);
        }
    }
    // Each band's thresholds spread over its columns, so that every row is
    // one loop against them.
    std::vector<uint8_t> rowThresholds(size_t(w), 0);
    for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
            int mn = 255, mx = 0;
            for (int y = std::max(0, by - 2); y <= std::min(bh - 1, by + 2); ++y)
                for (int x = std::max(0, bx - 2); x <= std::min(bw - 1, bx + 2); ++x) {
                    mn = std::min<int>(mn, lo[size_t(y) * size_t(bw) + size_t(x)]);
                    mx = std::max<int>(mx, hi[size_t(y) * size_t(bw) + size_t(x)]);
                }
            const int t = mx - mn < flat ? global : (mn + mx) / 2;
            std::fill(rowThresholds.begin() + bx * block,
                      rowThresholds.begin() + std::min(w, (bx + 1) * block), uint8_t(t));
        }
        const uint8_t* __restrict t = rowThresholds.data();
        for (int y = by * block; y < std::min(h, (by + 1) * block); ++y) {
            const uint8_t* __restrict row = &grey.pixels[size_t(y) * size_t(w)];
            uint8_t* __restrict out = &plane.bits[size_t(y) * size_t(w)];
            for (int x = 0; x < w; ++x) out[x] = row[x] <= t[x];
        }
    }
    return plane;
}

} // namespace zorvik
