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

// Grey value below which the given share of the counted pixels lie.
int Percentile(const std::array<uint64_t, 256>& histogram, double share) {
    uint64_t count = 0;
    for (uint64_t c : histogram) count += c;
    const auto limit = uint64_t(double(count) * share);
    uint64_t seen = 0;
    for (int g = 0; g < 256; ++g) {
        seen += histogram[size_t(g)];
        if (seen > limit) return g;
    }
    return 255;
}

// A whole plane of the rows.
BitPlane WholePlane(PlaneRows&& rows) {
    BitPlane plane{rows.width, rows.height, {}};
    plane.bits.resize(size_t(rows.width) * size_t(rows.height));
    for (int y = 0; y < rows.height; ++y) {
        uint8_t* out = plane.bits.data() + size_t(y) * size_t(rows.width);
        const uint8_t* row = rows.Row(y, out);
        if (row != out) std::copy_n(row, rows.width, out);
    }
    return plane;
}

} // namespace

RowsOfPlane::RowsOfPlane(const BitPlane& plane)
    : PlaneRows(plane.width, plane.height), plane_(plane) {}

const uint8_t* RowsOfPlane::Row(int y, uint8_t*) {
    return plane_.bits.data() + size_t(y) * size_t(width);
}

GlobalRows::GlobalRows(const GreyImage& grey, const std::array<uint64_t, 256>& histogram)
    // A byte, as the greys are (the threshold is one of them): compared as
    // ints, each sixteen pixels would be widened to four vectors and back.
    : PlaneRows(grey.width, grey.height), grey_(grey),
      threshold_(uint8_t(OtsuThreshold(histogram))) {}

const uint8_t* GlobalRows::Row(int y, uint8_t* room) {
    // Through plain pointers and a local bound: a byte store could
    // otherwise change the vectors' own bounds or the width, and the loop
    // would not be vectorised.
    const uint8_t* __restrict in = grey_.pixels.data() + size_t(y) * size_t(width);
    uint8_t* __restrict out = room;
    const uint8_t threshold = threshold_;
    const int n = width;
    for (int x = 0; x < n; ++x) out[x] = in[x] <= threshold;
    return room;
}

BitPlane BinariseGlobal(const GreyImage& grey) {
    return BinariseGlobal(grey, GreyHistogram(grey));
}

BitPlane BinariseGlobal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram) {
    return WholePlane(GlobalRows(grey, histogram));
}

GreyImage HalveImage(const GreyImage& grey) {
    GreyImage half(grey.width / 2, grey.height / 2, GreyImage::Unset{});
    for (int y = 0; y < half.height; ++y) {
        const uint8_t* a = &grey.pixels[size_t(2 * y) * size_t(grey.width)];
        HalveRows(a, a + grey.width, half.width, &half.pixels[size_t(y) * size_t(half.width)]);
    }
    return half;
}

LocalRows::LocalRows(const GreyImage& grey, const std::array<uint64_t, 256>& histogram)
    : PlaneRows(grey.width, grey.height), grey_(grey) {
    const int w = width, h = height;
    if (w <= 0 || h <= 0) return;
    global_ = OtsuThreshold(histogram);
    // A neighbourhood counts as flat below a quarter of the picture's own
    // spread, so that faint but real edges of a low-contrast picture still
    // set their own threshold.
    const int spread = Percentile(histogram, 0.95) - Percentile(histogram, 0.05);
    flat_ = std::max(8, spread / 4);

    block_ = std::clamp(int(std::lround(std::min(w, h) / 40.0)), 4, 64);
    bw_ = (w + block_ - 1) / block_, bh_ = (h + block_ - 1) / block_;
    lo_.resize(size_t(bw_) * size_t(bh_));
    hi_.resize(size_t(bw_) * size_t(bh_));
    // Each band of block rows column by column first, then each block's
    // columns: long loops over plain bytes, which the compiler vectorises.
    std::vector<uint8_t> columnLo(size_t(w), 255), columnHi(size_t(w), 0);
    for (int by = 0; by < bh_; ++by) {
        uint8_t* __restrict cl = columnLo.data();
        uint8_t* __restrict ch = columnHi.data();
        std::fill(cl, cl + w, uint8_t(255));
        std::fill(ch, ch + w, uint8_t(0));
        for (int y = by * block_; y < std::min(h, (by + 1) * block_); ++y) {
            const uint8_t* __restrict row = &grey.pixels[size_t(y) * size_t(w)];
            for (int x = 0; x < w; ++x) {
                cl[x] = std::min(cl[x], row[x]);
                ch[x] = std::max(ch[x], row[x]);
            }
        }
        for (int bx = 0; bx < bw_; ++bx) {
            const int from = bx * block_, to = std::min(w, from + block_);
            lo_[size_t(by) * size_t(bw_) + size_t(bx)] = *std::min_element(cl + from, cl + to);
            hi_[size_t(by) * size_t(bw_) + size_t(bx)] = *std::max_element(ch + from, ch + to);
        }
    }
    rowThresholds_.assign(size_t(w), 0);
}

// The band's thresholds spread over its columns, so that every row is one
// loop against them.
void LocalRows::Thresholds(int band) {
    for (int bx = 0; bx < bw_; ++bx) {
        int mn = 255, mx = 0;
        for (int y = std::max(0, band - 2); y <= std::min(bh_ - 1, band + 2); ++y)
            for (int x = std::max(0, bx - 2); x <= std::min(bw_ - 1, bx + 2); ++x) {
                mn = std::min<int>(mn, lo_[size_t(y) * size_t(bw_) + size_t(x)]);
                mx = std::max<int>(mx, hi_[size_t(y) * size_t(bw_) + size_t(x)]);
            }
        const int t = mx - mn < flat_ ? global_ : (mn + mx) / 2;
        std::fill(rowThresholds_.begin() + bx * block_,
                  rowThresholds_.begin() + std::min(width, (bx + 1) * block_), uint8_t(t));
    }
    band_ = band;
}

const uint8_t* LocalRows::Row(int y, uint8_t* room) {
    if (y / block_ != band_) Thresholds(y / block_);
    const uint8_t* __restrict t = rowThresholds_.data();
    const uint8_t* __restrict row = grey_.pixels.data() + size_t(y) * size_t(width);
    uint8_t* __restrict out = room;
    const int n = width;
    for (int x = 0; x < n; ++x) out[x] = row[x] <= t[x];
    return room;
}

BitPlane BinariseLocal(const GreyImage& grey) {
    return BinariseLocal(grey, GreyHistogram(grey));
}

BitPlane BinariseLocal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram) {
    return WholePlane(LocalRows(grey, histogram));
}

} // namespace zorvik
