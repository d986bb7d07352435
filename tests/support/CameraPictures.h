// Symbols as a camera or a scaler shows them, for tests that need harder
// pictures than Render gives: drawn through a perspective, or scaled with a
// bicubic filter. Plain arithmetic, so that the same arguments always give
// the same pixels.
#pragma once

#include "QrFixtures.h"

#include <array>

namespace zorvik::test {

struct PicturePoint {
    double x = 0, y = 0;
};

// A printed symbol photographed at an angle.
struct Photograph {
    int width = 0, height = 0;
    // Where the module grid's outer corners land in the picture, in pixels
    // ((0, 0) the top-left edge of the first pixel): top-left, top-right,
    // bottom-right, bottom-left as the symbol reads. Any convex quadrilateral.
    std::array<PicturePoint, 4> corners;
    double quietModules = 1; // of paper around the modules, >= 0
    uint8_t background = 120, dark = 30, light = 225;
};

// The modules ('1' dark) drawn through the perspective that takes the grid's
// corners to the photograph's. Each pixel is the mean of 4 x 4 samples, so
// edges fall between dark and light as a lens's would; beyond the paper the
// background shows.
Picture RenderPhotograph(const Modules& modules, const Photograph& photo);

// The picture scaled by factor (> 0) with the cubic convolution kernel of
// a = -0.5, each output pixel centre mapped back to the source and the
// edges repeated; the result is round(side * factor) on each side, values
// clamped to 0..255. The kernel is not widened when shrinking.
Picture ScaleBicubic(const Picture& source, double factor);

} // namespace zorvik::test
