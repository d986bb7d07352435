#include "CameraPictures.h"

#include <algorithm>
#include <cmath>

namespace zorvik::test {
namespace {

// The projective map of the unit square onto a quadrilateral, (0, 0) to
// corner 0, (1, 0) to 1, (1, 1) to 2, (0, 1) to 3:
//   x = (a u + b v + c) / w,  y = (d u + e v + f) / w,  w = g u + h v + 1.
struct SquareToQuad {
    double a, b, c, d, e, f, g, h;

    explicit SquareToQuad(const std::array<PicturePoint, 4>& q) {
        const double dx1 = q[1].x - q[2].x, dx2 = q[3].x - q[2].x;
        const double dy1 = q[1].y - q[2].y, dy2 = q[3].y - q[2].y;
        const double sx = q[0].x - q[1].x + q[2].x - q[3].x;
        const double sy = q[0].y - q[1].y + q[2].y - q[3].y;
        const double det = dx1 * dy2 - dx2 * dy1;
        g = (sx * dy2 - dx2 * sy) / det;
        h = (dx1 * sy - sx * dy1) / det;
        a = q[1].x - q[0].x + g * q[1].x, b = q[3].x - q[0].x + h * q[3].x, c = q[0].x;
        d = q[1].y - q[0].y + g * q[1].y, e = q[3].y - q[0].y + h * q[3].y, f = q[0].y;
    }

    // The point of the square that lands on (x, y), by the adjugate of the
    // 3 x 3 matrix; false for a point on or beyond the vanishing line, which
    // no point of the plane in front of the camera reaches.
    bool Back(double x, double y, double& u, double& v) const {
        const double U = (e - f * h) * x + (c * h - b) * y + (b * f - c * e);
        const double V = (f * g - d) * x + (a - c * g) * y + (c * d - a * f);
        const double W = (d * h - e * g) * x + (b * g - a * h) * y + (a * e - b * d);
        if (W == 0) return false;
        u = U / W, v = V / W;
        return g * u + h * v + 1 > 0;
    }
};

// Keys' cubic convolution kernel with a = -0.5.
double Cubic(double t) {
    t = std::abs(t);
    if (t < 1) return (1.5 * t - 2.5) * t * t + 1;
    if (t < 2) return ((-0.5 * t + 2.5) * t - 4) * t + 2;
    return 0;
}

// For each output index along one axis, the four source indices (edges
// repeated) and their weights.
struct Taps {
    std::vector<std::array<int, 4>> at;
    std::vector<std::array<double, 4>> weight;
};

Taps AxisTaps(int sourceLength, int length, double factor) {
    Taps taps;
    taps.at.resize(size_t(length));
    taps.weight.resize(size_t(length));
    for (int i = 0; i < length; ++i) {
        const double s = (i + 0.5) / factor - 0.5;
        const int base = int(std::floor(s)) - 1;
        double sum = 0;
        for (int k = 0; k < 4; ++k) {
            taps.at[size_t(i)][size_t(k)] = std::clamp(base + k, 0, sourceLength - 1);
            sum += taps.weight[size_t(i)][size_t(k)] = Cubic(s - (base + k));
        }
        for (double& w : taps.weight[size_t(i)]) w /= sum;
    }
    return taps;
}

} // namespace

Picture RenderPhotograph(const Modules& modules, const Photograph& photo) {
    const int n = int(modules.size());
    const SquareToQuad map(photo.corners);
    Picture p;
    p.width = photo.width, p.height = photo.height;
    p.grey.resize(size_t(p.width) * size_t(p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            int sum = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    double u, v;
                    int grey = photo.background;
                    if (map.Back(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4, u, v)) {
                        const double col = u * n, row = v * n;
                        const double q = photo.quietModules;
                        if (col >= -q && row >= -q && col < n + q && row < n + q) {
                            const bool dark = col >= 0 && row >= 0 && col < n && row < n &&
                                              modules[size_t(row)][size_t(col)] == '1';
                            grey = dark ? photo.dark : photo.light;
                        }
                    }
                    sum += grey;
                }
            p.at(y, x) = uint8_t((sum + 8) / 16);
        }
    return p;
}

Picture ScaleBicubic(const Picture& source, double factor) {
    Picture p;
    p.width = std::max(1, int(std::lround(source.width * factor)));
    p.height = std::max(1, int(std::lround(source.height * factor)));
    const Taps across = AxisTaps(source.width, p.width, factor);
    const Taps down = AxisTaps(source.height, p.height, factor);
    // Rows first, kept unrounded, then columns.
    std::vector<double> rows(size_t(source.height) * size_t(p.width));
    for (int r = 0; r < source.height; ++r)
        for (int x = 0; x < p.width; ++x) {
            double value = 0;
            for (size_t k = 0; k < 4; ++k)
                value +=
                    across.weight[size_t(x)][k] *
                    source.grey[size_t(r) * size_t(source.width) + size_t(across.at[size_t(x)][k])];
            rows[size_t(r) * size_t(p.width) + size_t(x)] = value;
        }
    p.grey.resize(size_t(p.width) * size_t(p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            double value = 0;
            for (size_t k = 0; k < 4; ++k)
                value += down.weight[size_t(y)][k] *
                         rows[size_t(down.at[size_t(y)][k]) * size_t(p.width) + size_t(x)];
            p.at(y, x) = uint8_t(std::clamp(std::lround(value), 0l, 255l));
        }
    return p;
}

} // namespace zorvik::test
