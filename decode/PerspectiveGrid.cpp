#include "PerspectiveGrid.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

namespace zorvik {
namespace {

using Matrix3 = std::array<double, 9>;

Matrix3 Multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[size_t(3 * i + j)] += a[size_t(3 * i + k)] * b[size_t(3 * k + j)];
    return r;
}

// The adjugate serves as the inverse: a projective map ignores the scale.
Matrix3 Adjugate(const Matrix3& m) {
    return {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
            m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
            m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
}

// The unit square's corners (0,0), (1,0), (1,1), (0,1) onto q[0..3]. The
// square's corner sums must map to the quad's after division, which leaves
// two linear equations for the projective terms g and h.
std::optional<Matrix3> SquareToQuad(const std::array<PlanePoint, 4>& q) {
    const double sx = q[0].x - q[1].x + q[2].x - q[3].x;
    const double sy = q[0].y - q[1].y + q[2].y - q[3].y;
    const double dx1 = q[1].x - q[2].x, dx2 = q[3].x - q[2].x;
    const double dy1 = q[1].y - q[2].y, dy2 = q[3].y - q[2].y;
    const double den = dx1 * dy2 - dx2 * dy1;
    if (std::abs(den) < 1e-12) return std::nullopt;
    const double g = (sx * dy2 - dx2 * sy) / den;
    const double h = (dx1 * sy - sx * dy1) / den;
    Matrix3 m = {q[1].x - q[0].x + g * q[1].x,
                 q[3].x - q[0].x + h * q[3].x,
                 q[0].x,
                 q[1].y - q[0].y + g * q[1].y,
                 q[3].y - q[0].y + h * q[3].y,
                 q[0].y,
                 g,
                 h,
                 1};
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (std::abs(det) < 1e-12) return std::nullopt;
    return m;
}

// std::lround for a sample of -2^31 .. 2^31 (half away from zero), without
// the library call: s minus its integer part is exact.
int RoundSample(double s) {
    const int whole = int(s);
    if (s - whole >= 0.5) return whole + 1;
    if (s - whole <= -0.5) return whole - 1;
    return whole;
}

int OtsuOfSamples(const std::vector<double>& samples) {
    std::array<double, 256> histogram{};
    for (double s : samples) histogram[size_t(std::clamp(RoundSample(s), 0, 255))] += 1;
    double total = 0, sum = 0;
    for (int g = 0; g < 256; ++g) total += histogram[size_t(g)], sum += g * histogram[size_t(g)];
    double below = 0, belowSum = 0, best = -1;
    int threshold = 127;
    for (int t = 0; t < 255; ++t) {
        // A grey no sample has leaves the split as at t - 1, whose value
        // does not beat itself: the divisions are spared.
        if (histogram[size_t(t)] == 0) continue;
        below += histogram[size_t(t)];
        belowSum += t * histogram[size_t(t)];
        const double above = total - below;
        if (below == 0 || above == 0) continue;
        const double diff = belowSum / below - (sum - belowSum) / above;
        if (below * above * diff * diff > best) {
            best = below * above * diff * diff;
            threshold = t;
        }
    }
    return threshold;
}

} // namespace

std::optional<Perspective> Perspective::FromQuads(const std::array<PlanePoint, 4>& from,
                                                  const std::array<PlanePoint, 4>& to) {
    const std::optional<Matrix3> a = SquareToQuad(from), b = SquareToQuad(to);
    if (!a || !b) return std::nullopt;
    const Matrix3 m = Multiply(*b, Adjugate(*a));
    if (std::abs(m[8]) < 1e-15) return std::nullopt;
    Perspective p;
    for (size_t i = 0; i < 9; ++i) p.m_[i] = m[i] / m[8];
    return p;
}

namespace {

// The diagonal point at k, each finder centre weighted by the depth its
// module size implies: an affine combination of source points maps to the
// combination of their images weighted by their depths.
// Nothing where the weights nearly cancel: a top-left finder some 2.8 times
// smaller than the others puts the corner at infinity, and one over twice
// as small many legs away.
std::optional<PlanePoint> SizeWeightedPoint(const FinderTriple& t, double k) {
    const double a0 = std::pow(t.topLeft.moduleSize, -2.0 / 3) * (1 - 2 * k);
    const double a1 = std::pow(t.topRight.moduleSize, -2.0 / 3) * k;
    const double a2 = std::pow(t.bottomLeft.moduleSize, -2.0 / 3) * k;
    const double sum = a0 + a1 + a2;
    if (!(sum > 0.1 * (std::abs(a0) + std::abs(a1) + std::abs(a2)))) return std::nullopt;
    return PlanePoint{
        (a0 * t.topLeft.centre.x + a1 * t.topRight.centre.x + a2 * t.bottomLeft.centre.x) / sum,
        (a0 * t.topLeft.centre.y + a1 * t.topRight.centre.y + a2 * t.bottomLeft.centre.y) / sum};
}

} // namespace

std::optional<Perspective> GridFromFinders(const FinderTriple& t, int modules,
                                           const std::optional<PlanePoint>& alignment,
                                           CornerGuess guess) {
    const double near = 3.5, far = modules - 3.5;
    PlanePoint fourth, fourthModule;
    if (alignment) {
        fourth = *alignment;
        fourthModule = {modules - 6.5, modules - 6.5};
    } else if (guess == CornerGuess::SizeWeighted) {
        const std::optional<PlanePoint> corner = SizeWeightedPoint(t, 1);
        if (!corner) return std::nullopt;
        fourth = *corner;
        fourthModule = {far, far};
    } else {
        fourth = {t.topRight.centre.x + t.bottomLeft.centre.x - t.topLeft.centre.x,
                  t.topRight.centre.y + t.bottomLeft.centre.y - t.topLeft.centre.y};
        fourthModule = {far, far};
    }
    return Perspective::FromQuads(
        {PlanePoint{near, near}, {far, near}, fourthModule, {near, far}},
        {t.topLeft.centre, t.topRight.centre, fourth, t.bottomLeft.centre});
}

std::optional<Perspective> RefineFourthCorner(const GreyImage& grey, const FinderTriple& t,
                                              int modules) {
    const double span = modules - 7;
    const PlanePoint ex = {(t.topRight.centre.x - t.topLeft.centre.x) / span,
                           (t.topRight.centre.y - t.topLeft.centre.y) / span};
    const PlanePoint ey = {(t.bottomLeft.centre.x - t.topLeft.centre.x) / span,
                           (t.bottomLeft.centre.y - t.topLeft.centre.y) / span};
    const PlanePoint start = {t.topRight.centre.x + t.bottomLeft.centre.x - t.topLeft.centre.x,
                              t.topRight.centre.y + t.bottomLeft.centre.y - t.topLeft.centre.y};
    const double near = 3.5, far = modules - 3.5;
    const std::array<PlanePoint, 4> from = {
        PlanePoint{near, near}, {far, near}, {far, far}, {near, far}};
    auto corner = [&](double du, double dv) {
        return PlanePoint{start.x + du * ex.x + dv * ey.x, start.y + du * ex.y + dv * ey.y};
    };
    // Every other module in each direction is plenty to judge the register
    // and keeps the search cheap on large symbols.
    const int stride = modules > 57 ? 2 : 1;
    auto spread = [&](double du, double dv) {
        const std::optional<Perspective> map = Perspective::FromQuads(
            from, {t.topLeft.centre, t.topRight.centre, corner(du, dv), t.bottomLeft.centre});
        if (!map) return -1.0;
        double sum = 0, squares = 0, count = 0;
        for (int r = 0; r < modules; r += stride)
            for (int c = 0; c < modules; c += stride) {
                const double g = GreyAt(grey, map->Map({c + 0.5, r + 0.5}));
                sum += g, squares += g * g, count += 1;
            }
        return squares / count - (sum / count) * (sum / count);
    };
    double best = spread(0, 0), bestU = 0, bestV = 0;
    for (double step : {1.0, 0.5, 0.25, 0.125}) {
        const double reach = step == 1.0 ? 3 : step;
        const double centreU = bestU, centreV = bestV;
        for (double du = -reach; du <= reach + 1e-9; du += step)
            for (double dv = -reach; dv <= reach + 1e-9; dv += step)
                if (const double s = spread(centreU + du, centreV + dv); s > best)
                    best = s, bestU = centreU + du, bestV = centreV + dv;
    }
    return Perspective::FromQuads(
        from, {t.topLeft.centre, t.topRight.centre, corner(bestU, bestV), t.bottomLeft.centre});
}

std::optional<PlanePoint> FindAlignment(const GreyImage& grey, const FinderTriple& t, int modules,
                                        bool lightOnDark, CornerGuess guess) {
    if (modules < 25) return std::nullopt;
    const double span = modules - 7;
    const PlanePoint ex = {(t.topRight.centre.x - t.topLeft.centre.x) / span,
                           (t.topRight.centre.y - t.topLeft.centre.y) / span};
    const PlanePoint ey = {(t.bottomLeft.centre.x - t.topLeft.centre.x) / span,
                           (t.bottomLeft.centre.y - t.topLeft.centre.y) / span};
    // The pattern's centre is 3 modules nearer the top-left than the
    // parallelogram's fourth finder position would be.
    const double along = modules - 10;
    const std::optional<PlanePoint> guessed =
        guess == CornerGuess::SizeWeighted ? SizeWeightedPoint(t, along / span)
                                           : PlanePoint{t.topLeft.centre.x + along * (ex.x + ey.x),
                                                        t.topLeft.centre.y + along * (ex.y + ey.y)};
    if (!guessed) return std::nullopt;
    const PlanePoint predicted = *guessed;
    const double sign = lightOnDark ? -1 : 1;
    auto at = [&](double u, double v) {
        return GreyAt(grey, {predicted.x + u * ex.x + v * ey.x, predicted.y + u * ex.y + v * ey.y});
    };
    // The pattern's 5 x 5 module centres: the ring at distance 1 is light,
    // the centre and the outer ring dark. A slight pull towards the
    // prediction settles ties in plain areas.
    auto score = [&](auto&& sample, double du, double dv) {
        double light = 0, dark = 0;
        for (int i = -2; i <= 2; ++i)
            for (int j = -2; j <= 2; ++j)
                (std::max(std::abs(i), std::abs(j)) == 1 ? light : dark) += sample(i, j);
        return sign * (light / 8 - dark / 17) - 1.5 * std::sqrt(du * du + dv * dv);
    };
    // Coarse: offsets in quarter modules. Whole-module steps between the
    // pattern's centres land on the same quarter-module lattice, so each
    // lattice point is sampled once rather than once per offset near it.
    const double reach = std::clamp(3 + modules / 12.0, 4.0, 14.0);
    const int offsets = int(std::floor(8 * reach + 1e-9)) + 1; // per axis
    const int side = offsets + 16;                             // lattice points per axis
    auto lattice = [&](int k) { return -reach - 2 + 0.25 * k; };
    std::vector<double> samples(size_t(side) * size_t(side));
    for (int k = 0; k < side; ++k)
        for (int l = 0; l < side; ++l)
            samples[size_t(k) * size_t(side) + size_t(l)] = at(lattice(k), lattice(l));
    // The pattern's sums for every offset from running sums along the
    // lattice, a module (four points) apart: over three and five centres
    // across, then down.
    auto at2 = [&](const std::vector<double>& v, int k, int l) {
        return v[size_t(k) * size_t(side) + size_t(l)];
    };
    std::vector<double> across3(samples.size()), across5(samples.size());
    for (int k = 0; k < side; ++k)
        for (int l = 0; l < offsets; ++l) {
            const double inner =
                at2(samples, k, l + 4) + at2(samples, k, l + 8) + at2(samples, k, l + 12);
            across3[size_t(k) * size_t(side) + size_t(l)] = inner;
            across5[size_t(k) * size_t(side) + size_t(l)] =
                inner + at2(samples, k, l) + at2(samples, k, l + 16);
        }
    double best = -1e9, bestU = 0, bestV = 0;
    for (int k = 0; k < offsets; ++k)
        for (int l = 0; l < offsets; ++l) {
            const double inner =
                at2(across3, k + 4, l) + at2(across3, k + 8, l) + at2(across3, k + 12, l);
            const double all = at2(across5, k, l) + at2(across5, k + 4, l) +
                               at2(across5, k + 8, l) + at2(across5, k + 12, l) +
                               at2(across5, k + 16, l);
            const double centre = at2(samples, k + 8, l + 8);
            const double light = inner - centre, dark = all - inner + centre;
            const double du = lattice(k + 8), dv = lattice(l + 8);
            const double s = sign * (light / 8 - dark / 17) - 1.5 * std::sqrt(du * du + dv * dv);
            if (s > best) best = s, bestU = du, bestV = dv;
        }
    // Fine: sixteenths of a module around the best.
    const double coarseU = bestU, coarseV = bestV;
    for (double du = -0.25; du <= 0.25; du += 0.0625)
        for (double dv = -0.25; dv <= 0.25; dv += 0.0625) {
            const double u = coarseU + du, v = coarseV + dv;
            const double s = score([&](int i, int j) { return at(u + i, v + j); }, u, v);
            if (s > best) best = s, bestU = u, bestV = v;
        }
    if (best < 12) return std::nullopt;
    return PlanePoint{predicted.x + bestU * ex.x + bestV * ey.x,
                      predicted.y + bestU * ex.y + bestV * ey.y};
}

namespace {

// The footprint of the module whose centre is (u, v).
double Footprint(const GreyImage& grey, const Perspective& map, double u, double v) {
    return zorvik::Footprint(GreyView{grey.pixels.data(), grey.width, grey.height},
                             map.Coefficients(), u, v);
}

} // namespace

std::vector<double> SampleFootprints(const GreyImage& grey, const Perspective& map, int modules) {
    const size_t n = size_t(modules);
    std::vector<double> samples(n * n);
    for (size_t r = 0; r < n; ++r)
        for (size_t c = 0; c < n; ++c)
            samples[r * n + c] = Footprint(grey, map, double(c) + 0.5, double(r) + 0.5);
    return samples;
}

ModuleMatrix SampleCorners(const GreyImage& grey, const Perspective& map, int modules,
                           bool lightOnDark) {
    const int n = modules, reach = std::min(11, n);
    std::vector<std::array<int, 2>> cells; // row, column
    for (int r = 0; r < reach; ++r)
        for (int c = 0; c < reach; ++c) {
            cells.push_back({r, c});
            if (c < n - reach) cells.push_back({r, n - 1 - c});
            if (r < n - reach) cells.push_back({n - 1 - r, c});
        }
    std::vector<double> samples;
    for (const auto& [r, c] : cells) samples.push_back(Footprint(grey, map, c + 0.5, r + 0.5));
    const double threshold = OtsuOfSamples(samples);
    ModuleMatrix matrix(size_t(n), std::string(size_t(n), '0'));
    for (size_t i = 0; i < cells.size(); ++i) {
        const bool dark = lightOnDark ? samples[i] > threshold : samples[i] <= threshold;
        matrix[size_t(cells[i][0])][size_t(cells[i][1])] = dark ? '1' : '0';
    }
    return matrix;
}

double FinderAgreementAt(const GreyImage& grey, const Perspective& map, int modules,
                         bool lightOnDark) {
    // Module (r, c) of a finder is dark on its outer ring and its 3 x 3 centre.
    auto dark = [](int r, int c) {
        const int ring = std::max(std::abs(r - 3), std::abs(c - 3));
        return ring != 2;
    };
    const int far = modules - 7;
    const std::array<std::array<int, 2>, 3> corners = {{{0, 0}, {0, far}, {far, 0}}};
    std::array<double, 3 * 49> samples;
    double darkSum = 0, lightSum = 0;
    size_t k = 0;
    for (const auto& [top, left] : corners)
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 7; ++c, ++k) {
                samples[k] = Footprint(grey, map, left + c + 0.5, top + r + 0.5);
                (dark(r, c) ? darkSum : lightSum) += samples[k];
            }
    // 33 dark and 16 light modules a finder.
    const double threshold = (darkSum / (3 * 33) + lightSum / (3 * 16)) / 2;
    int agree = 0;
    k = 0;
    for (size_t f = 0; f < corners.size(); ++f)
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 7; ++c, ++k) {
                const bool seenDark =
                    lightOnDark ? samples[k] > threshold : samples[k] <= threshold;
                agree += seenDark == dark(r, c);
            }
    return agree / double(samples.size());
}

double TimingAgreementAt(const GreyImage& grey, const Perspective& map, int modules,
                         bool lightOnDark) {
    if (modules < 21) return 0;
    std::vector<double> row, column; // modules 8 .. n - 9 of row 6 and of column 6
    for (int k = 8; k <= modules - 9; ++k) {
        row.push_back(Footprint(grey, map, k + 0.5, 6.5));
        column.push_back(Footprint(grey, map, 6.5, k + 0.5));
    }
    int agree = 0;
    for (const std::vector<double>* line : {&row, &column}) {
        const auto [lo, hi] = std::minmax_element(line->begin(), line->end());
        const double threshold = (*lo + *hi) / 2;
        for (size_t i = 0; i < line->size(); ++i) {
            const bool dark = lightOnDark ? (*line)[i] > threshold : (*line)[i] <= threshold;
            agree += dark == (i % 2 == 0); // module 8 is dark
        }
    }
    return double(agree) / double(row.size() + column.size());
}

namespace {

// The lowest and highest sample within four modules of each module (the
// window clipped at the grid's edge), separably: along rows, then columns.
void LocalExtremes(const std::vector<double>& samples, size_t n, std::vector<double>& lowest,
                   std::vector<double>& highest) {
    std::vector<double> rowLow(n * n), rowHigh(n * n);
    for (size_t r = 0; r < n; ++r)
        for (size_t c = 0; c < n; ++c) {
            double lo = 255, hi = 0;
            for (size_t x = c >= 4 ? c - 4 : 0; x <= std::min(n - 1, c + 4); ++x) {
                lo = std::min(lo, samples[r * n + x]);
                hi = std::max(hi, samples[r * n + x]);
            }
            rowLow[r * n + c] = lo, rowHigh[r * n + c] = hi;
        }
    lowest.assign(n * n, 255);
    highest.assign(n * n, 0);
    for (size_t r = 0; r < n; ++r)
        for (size_t y = r >= 4 ? r - 4 : 0; y <= std::min(n - 1, r + 4); ++y)
            for (size_t c = 0; c < n; ++c) {
                lowest[r * n + c] = std::min(lowest[r * n + c], rowLow[y * n + c]);
                highest[r * n + c] = std::max(highest[r * n + c], rowHigh[y * n + c]);
            }
}

} // namespace

FootprintLevels MeasureFootprints(const std::vector<double>& samples) {
    const auto [lowest, highest] = std::minmax_element(samples.begin(), samples.end());
    return {double(OtsuOfSamples(samples)), samples.empty() ? 0.0 : *highest - *lowest};
}

ModuleMatrix ThresholdFootprints(const std::vector<double>& samples, int modules,
                                 const FootprintLevels& levels, ModuleThreshold rule,
                                 bool lightOnDark) {
    const size_t n = size_t(modules);
    const double global = levels.global, spread = levels.spread;
    std::vector<double> lowest, highest;
    if (rule == ModuleThreshold::Local) LocalExtremes(samples, n, lowest, highest);
    ModuleMatrix matrix(n, std::string(n, '0'));
    for (size_t r = 0; r < n; ++r)
        for (size_t c = 0; c < n; ++c) {
            double threshold = global;
            if (rule == ModuleThreshold::Local) {
                const double lo = lowest[r * n + c], hi = highest[r * n + c];
                if (hi - lo >= spread / 2) threshold = (lo + hi) / 2;
            }
            const double s = samples[r * n + c];
            matrix[r][c] = (lightOnDark ? s > threshold : s <= threshold) ? '1' : '0';
        }
    return matrix;
}

double TimingAgreement(const ModuleMatrix& matrix) {
    const int n = int(matrix.size());
    if (n < 21) return 0;
    int agree = 0, total = 0;
    for (int k = 8; k <= n - 9; ++k) {
        const char want = k % 2 == 0 ? '1' : '0';
        agree += matrix[6][size_t(k)] == want;
        agree += matrix[size_t(k)][6] == want;
        total += 2;
    }
    return double(agree) / total;
}

unsigned VersionCode(int version) {
    // Remainder of version * x^12 divided by the generator
    // x^12 + x^11 + x^10 + x^9 + x^8 + x^5 + x^2 + 1.
    constexpr unsigned kGenerator = 0x1F25;
    unsigned remainder = unsigned(version) << 12;
    for (int bit = 17; bit >= 12; --bit)
        if (remainder & (1u << bit)) remainder ^= kGenerator << (bit - 12);
    return (unsigned(version) << 12) | remainder;
}

int ReadVersionBlocks(const ModuleMatrix& matrix) {
    const int n = int(matrix.size());
    if (n < 45) return 0;
    // Bit i (least significant first) sits at row n - 11 + i % 3, column
    // i / 3 in the bottom-left block, and transposed in the top-right one.
    unsigned bottomLeft = 0, topRight = 0;
    for (int i = 0; i < 18; ++i) {
        if (matrix[size_t(n - 11 + i % 3)][size_t(i / 3)] == '1') bottomLeft |= 1u << i;
        if (matrix[size_t(i / 3)][size_t(n - 11 + i % 3)] == '1') topRight |= 1u << i;
    }
    int bestVersion = 0, bestDistance = 4;
    for (int v = 7; v <= 40; ++v)
        for (unsigned read : {topRight, bottomLeft}) {
            const int d = std::popcount(read ^ VersionCode(v));
            if (d < bestDistance) bestDistance = d, bestVersion = v;
        }
    return bestVersion;
}

ModuleMatrix Transpose(const ModuleMatrix& matrix) {
    ModuleMatrix t = matrix;
    for (size_t r = 0; r < matrix.size(); ++r)
        for (size_t c = 0; c < matrix.size(); ++c) t[c][r] = matrix[r][c];
    return t;
}

} // namespace zorvik
