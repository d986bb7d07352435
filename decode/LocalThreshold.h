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

// A binarised picture a row at a time, each row as a BitPlane holds it, for
// a reader that goes down it once (the finder search): made on the way, a
// plane needs no memory for the whole of it, nor a pass to write and read it.
class PlaneRows {
  public:
    PlaneRows(int width, int height) : width(width), height(height) {}
    virtual ~PlaneRows() = default;
    const int width, height;
    // Row y (0 <= y < height, not checked): in room, which holds width
    // bytes, or in memory of the source's own that lasts as long as it does.
    // Quickest with the rows in order.
    virtual const uint8_t* Row(int y, uint8_t* room) = 0;
};

// A plane's own rows.
class RowsOfPlane final : public PlaneRows {
  public:
    explicit RowsOfPlane(const BitPlane& plane);
    const uint8_t* Row(int y, uint8_t* room) override;

  private:
    const BitPlane& plane_;
};

// The whole picture against the threshold that best separates its
// histogram into two classes (largest between-class variance): pixels at or
// below it are dark; a single-valued picture is dark throughout. histogram
// is GreyHistogram(grey), worked out once for both binarisations (the
// plane's functions work it out when not given). The rows hold on to grey,
// which must outlive them.
class GlobalRows final : public PlaneRows {
  public:
    GlobalRows(const GreyImage& grey, const std::array<uint64_t, 256>& histogram);
    GlobalRows(GreyImage&&, const std::array<uint64_t, 256>&) = delete;
    const uint8_t* Row(int y, uint8_t* room) override;

  private:
    const GreyImage& grey_;
    const uint8_t threshold_;
};
BitPlane BinariseGlobal(const GreyImage& grey);
BitPlane BinariseGlobal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram);

// Each block of pixels against the midpoint of the darkest and lightest
// grey in the 5 x 5 blocks around it; where that neighbourhood is flat (no
// edge worth the name) the global threshold decides. The block side grows
// with the picture so that the neighbourhood spans a finder pattern of a
// symbol that fills a good part of it. Linear in the number of pixels. The
// rows hold on to grey, which must outlive them; the blocks' darkest and
// lightest greys are found at once, a band of blocks' thresholds when a row
// of it is first asked for.
class LocalRows final : public PlaneRows {
  public:
    LocalRows(const GreyImage& grey, const std::array<uint64_t, 256>& histogram);
    LocalRows(GreyImage&&, const std::array<uint64_t, 256>&) = delete;
    const uint8_t* Row(int y, uint8_t* room) override;

  private:
    void Thresholds(int band);

    const GreyImage& grey_;
    int global_ = 0, flat_ = 0, block_ = 1, bw_ = 0, bh_ = 0;
    std::vector<uint8_t> lo_, hi_;       // each block's darkest and lightest grey
    std::vector<uint8_t> rowThresholds_; // of band_, per column
    int band_ = -1;
};
BitPlane BinariseLocal(const GreyImage& grey);
BitPlane BinariseLocal(const GreyImage& grey, const std::array<uint64_t, 256>& histogram);

// The picture at half size, each pixel the mean of a 2 x 2 block (a last odd
// row or column is dropped). Pixel (x, y) covers [2x, 2x + 2) x [2y, 2y + 2)
// of the original, so coordinates scale by exactly 2.
GreyImage HalveImage(const GreyImage& grey);

} // namespace zorvik
