// Greys sampled between pixel centres under a projective map: the grid
// readers' innermost step. Each routine has a plain twin, the scalar code
// whose every bit it must give; the tests hold the two to that.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace zorvik {

// The greys a map samples: width x height pixels, row-major, both sides at
// least 1 (not checked).
struct GreyView {
    const uint8_t* pixels;
    int width, height;
};

// The grey at (x, y) in pixel coordinates, interpolated between the four
// nearest pixel centres; points outside take the nearest border pixel, and
// a point that is not a number (a map's 0 / 0) the first pixel. Inline:
// grids sample it hundreds of thousands of times.
inline double GreyBetween(GreyView grey, double px, double py) {
    // max(0, .) first, which turns a NaN into 0, then min(last, .).
    const double x = std::min(std::max(0.0, px - 0.5), double(grey.width - 1));
    const double y = std::min(std::max(0.0, py - 0.5), double(grey.height - 1));
    const int x0 = std::min(int(x), grey.width - 1), y0 = std::min(int(y), grey.height - 1);
    const int x1 = std::min(x0 + 1, grey.width - 1), y1 = std::min(y0 + 1, grey.height - 1);
    const double fx = x - x0, fy = y - y0;
    const uint8_t* row0 = grey.pixels + size_t(y0) * size_t(grey.width);
    const uint8_t* row1 = grey.pixels + size_t(y1) * size_t(grey.width);
    const double top = row0[x0] * (1 - fx) + row0[x1] * fx;
    const double bottom = row1[x0] * (1 - fx) + row1[x1] * fx;
    return top * (1 - fy) + bottom * fy;
}

// A module's centre-weighted footprint: the grey at map(u, v) twice and at
// the maps of four points a fifth of a module away along u and v once each,
// over 6, every grey as GreyBetween gives it. m is the map's
// row-major 3 x 3 matrix: x' = (m0 x + m1 y + m2) / w, y' = (m3 x + m4 y +
// m5) / w, w = m6 x + m7 y + m8. Noise averages out, yet blur pulls in
// little of the neighbours.
double Footprint(GreyView grey, const std::array<double, 9>& m, double u, double v);
double FootprintPlain(GreyView grey, const std::array<double, 9>& m, double u, double v);

} // namespace zorvik
