#include "SampleKernels.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik {
namespace {

constexpr double kReach = 0.2;

double MappedGreyPlain(GreyView grey, const std::array<double, 9>& m, double u, double v) {
    const double w = m[6] * u + m[7] * v + m[8];
    return GreyBetween(grey, (m[0] * u + m[1] * v + m[2]) / w, (m[3] * u + m[4] * v + m[5]) / w);
}

#if defined(__SSE2__)
// A point's x and y as the two lanes of one vector: each lane takes the
// plain code's operations in its order, so every bit is the same, with half
// the divisions and the clamps, conversions and blends done in pairs.
class PairedMap {
  public:
    PairedMap(GreyView grey, const std::array<double, 9>& m)
        : grey_(grey), ux_(_mm_setr_pd(m[0], m[3])), vx_(_mm_setr_pd(m[1], m[4])),
          cx_(_mm_setr_pd(m[2], m[5])), m6_(m[6]), m7_(m[7]), m8_(m[8]),
          last_(_mm_setr_pd(double(grey.width - 1), double(grey.height - 1))),
          lastInts_(_mm_setr_epi32(grey.width - 1, grey.height - 1, 0, 0)) {}

    double GreyAt(double u, double v) const {
        const double w = m6_ * u + m7_ * v + m8_;
        const __m128d mapped = _mm_div_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(ux_, _mm_set1_pd(u)), _mm_mul_pd(vx_, _mm_set1_pd(v))),
                       cx_),
            _mm_set1_pd(w));
        // As GreyBetween: maxpd gives its second operand, 0, where the
        // first is a NaN; then minpd(last, .) takes last where it is less.
        const __m128d p =
            _mm_min_pd(last_, _mm_max_pd(_mm_sub_pd(mapped, _mm_set1_pd(0.5)), _mm_setzero_pd()));
        const __m128i truncated = _mm_cvttpd_epi32(p);
        // min(int(p), last), then the pixel after it, held to last too.
        const __m128i lessLast = _mm_cmplt_epi32(truncated, lastInts_);
        const __m128i at0 =
            _mm_or_si128(_mm_and_si128(lessLast, truncated), _mm_andnot_si128(lessLast, lastInts_));
        const __m128i after = _mm_add_epi32(at0, _mm_set1_epi32(1));
        const __m128i afterLess = _mm_cmplt_epi32(after, lastInts_);
        const __m128i at1 =
            _mm_or_si128(_mm_and_si128(afterLess, after), _mm_andnot_si128(afterLess, lastInts_));
        const __m128d f = _mm_sub_pd(p, _mm_cvtepi32_pd(at0)); // fx, fy
        const int x0 = _mm_cvtsi128_si32(at0), y0 = _mm_cvtsi128_si32(_mm_srli_si128(at0, 4));
        const int x1 = _mm_cvtsi128_si32(at1), y1 = _mm_cvtsi128_si32(_mm_srli_si128(at1, 4));
        const uint8_t* row0 = grey_.pixels + size_t(y0) * size_t(grey_.width);
        const uint8_t* row1 = grey_.pixels + size_t(y1) * size_t(grey_.width);
        // top and bottom in the two lanes.
        const __m128d near = _mm_cvtepi32_pd(_mm_setr_epi32(row0[x0], row1[x0], 0, 0));
        const __m128d far = _mm_cvtepi32_pd(_mm_setr_epi32(row0[x1], row1[x1], 0, 0));
        const __m128d fx = _mm_unpacklo_pd(f, f);
        const __m128d blend =
            _mm_add_pd(_mm_mul_pd(near, _mm_sub_pd(_mm_set1_pd(1.0), fx)), _mm_mul_pd(far, fx));
        const double fy = _mm_cvtsd_f64(_mm_unpackhi_pd(f, f));
        return _mm_cvtsd_f64(blend) * (1 - fy) + _mm_cvtsd_f64(_mm_unpackhi_pd(blend, blend)) * fy;
    }

  private:
    const GreyView grey_;
    const __m128d ux_, vx_, cx_;
    const double m6_, m7_, m8_;
    const __m128d last_;
    const __m128i lastInts_;
};
#endif

} // namespace

double Footprint(GreyView grey, const std::array<double, 9>& m, double u, double v) {
#if defined(__SSE2__)
    const PairedMap map(grey, m);
    double s = 2 * map.GreyAt(u, v);
    s += map.GreyAt(u - kReach, v) + map.GreyAt(u + kReach, v);
    s += map.GreyAt(u, v - kReach) + map.GreyAt(u, v + kReach);
    return s / 6;
#else
    return FootprintPlain(grey, m, u, v);
#endif
}

double FootprintPlain(GreyView grey, const std::array<double, 9>& m, double u, double v) {
    double s = 2 * MappedGreyPlain(grey, m, u, v);
    s += MappedGreyPlain(grey, m, u - kReach, v) + MappedGreyPlain(grey, m, u + kReach, v);
    s += MappedGreyPlain(grey, m, u, v - kReach) + MappedGreyPlain(grey, m, u, v + kReach);
    return s / 6;
}

} // namespace zorvik
