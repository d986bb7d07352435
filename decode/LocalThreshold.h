// Binarisation for the second search: one threshold for the whole picture,
// and one per block from its neighbourhood, for pictures whose lighting or
// background varies. Either polarity is read from the same plane.
#pragma once

#include "ChangeBitmap.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zorvik {

// One byte per pixel, row-major, top row first: 1 where the grey value is at
// or below the pixel's threshold (dark on a light background), else 0. A
// light-on-dark symbol is the same plane read with 0 as its dark value.
struct BitPlane {
    int width = 0;
    int height = 0;
    std::vector<uint8_t, PictureAllocator<uint8_t>> bits;

    uint8_t at(int x, int y) const { return bits[size_t(y) * size_t(width) + size_t(x)]; }
};

// The whole picture against the threshold that best separates its
// histogram into two classes (largest between-class variance): pixels at or
// below it are dark; a single-valued picture is dark throughout. histogram,
// when given, is GreyHistogram(grey), worked out once for both
// binarisations.
BitPlane BinariseGlobal(const GreyImage& grey);
BitPlane BinariseGlobal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram);

// Each block of pixels against the midpoint of the darkest and lightest
// grey in the 5 x 5 blocks around it; where that neighbourhood is flat (no
// edge worth the name) the global threshold decides. The block side grows
// with the picture so that the neighbourhood spans a finder pattern of a
// symbol that fills a good part of it. Linear in the number of pixels.
BitPlane BinariseLocal(const GreyImage& grey);
BitPlane BinariseLocal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram);

// The picture at half size, each pixel the mean of a 2 x 2 block (a last odd
// row or column is dropped). Pixel (x, y) covers [2x, 2x + 2) x [2y, 2y + 2)
// of the original, so coordinates scale by exactly 2.
GreyImage HalveImage(const GreyImage& grey);

} // namespace zorvik
