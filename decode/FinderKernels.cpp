#include "FinderKernels.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zorvik {
namespace {

// The prefilter in the arithmetic of Wide. Written so that the compiler
// runs it on whole vectors: one flag per group, no branch.
template <typename Wide>
void MarkGroups(const int16_t* __restrict dark, const int16_t* __restrict light, int n,
                uint8_t* __restrict maybe) {
    constexpr int kScale = 2 * kFinderTotal;
    for (int k = 0; k < n; ++k) {
        const Wide runs[5] = {Wide(dark[k]), Wide(light[k]), Wide(dark[k + 1]), Wide(light[k + 1]),
                              Wide(dark[k + 2])};
        const Wide t = Wide(runs[0] + runs[1] + runs[2] + runs[3] + runs[4]);
        bool ok = t >= kFinderTotal;
        for (size_t i = 0; i < 5; ++i) {
            const int w = kFinderModules[i];
            const Wide r = Wide(kScale * runs[i]);
            ok &=
                (r >= Wide((2 * w - 1) * t - kScale)) & (r <= Wide((2 * w + 1) * t + kFinderTotal));
        }
        maybe[k] = ok;
    }
}

// Lines up to this long (2340) take the prefilter in 16-bit arithmetic,
// twice as many groups to a vector: 2 kFinderTotal times a run, and every
// bound of a total of at most this, stay within 32767.
constexpr int kShortLine = INT16_MAX / (2 * kFinderTotal);

// The middle-run test on starts of type Start in the arithmetic of Wide, for
// the compiler to run on whole vectors; ascending 16-bit starts differ by
// at most 32767.
template <typename Wide, typename Start>
void MarkMiddles(const Start* __restrict starts, int n, uint8_t* __restrict maybe) {
    for (int k = 0; k < n; ++k) {
        const Start* s = starts + k;
        const Wide r0 = Wide(s[1] - s[0]), r1 = Wide(s[2] - s[1]), r2 = Wide(s[3] - s[2]),
                   r3 = Wide(s[4] - s[3]), r4 = Wide(s[5] - s[4]);
        maybe[k] = (r2 > r0) & (r2 > r1) & (r2 > r3) & (r2 > r4);
    }
}

// MarkMiddles, and the window's whole width within least .. most.
template <typename Wide, typename Start>
void MarkMiddlesWithin(const Start* __restrict starts, int n, Wide least, Wide most,
                       uint8_t* __restrict maybe) {
    for (int k = 0; k < n; ++k) {
        const Start* s = starts + k;
        const Wide r0 = Wide(s[1] - s[0]), r1 = Wide(s[2] - s[1]), r2 = Wide(s[3] - s[2]),
                   r3 = Wide(s[4] - s[3]), r4 = Wide(s[5] - s[4]), total = Wide(s[5] - s[0]);
        maybe[k] =
            (r2 > r0) & (r2 > r1) & (r2 > r3) & (r2 > r4) & (total >= least) & (total <= most);
    }
}

// A width limit as a 16-bit one: no 16-bit window is wider than 32767.
int16_t Limit16(int width) {
    return int16_t(std::clamp(width, 0, int(INT16_MAX)));
}

} // namespace

void MarkLongestMiddles(const int16_t* starts, int n, uint8_t* maybe) {
    MarkMiddles<int16_t>(starts, n, maybe);
}

void MarkLongestMiddles(const int* starts, int n, uint8_t* maybe) {
    MarkMiddles<int>(starts, n, maybe);
}

void MarkLongestMiddlesPlain(const int16_t* starts, int n, uint8_t* maybe) {
    MarkMiddles<int>(starts, n, maybe);
}

void MarkLongestMiddlesWithin(const int16_t* starts, int n, int least, int most, uint8_t* maybe) {
    if (least > INT16_MAX) { // wider than any 16-bit window
        std::fill_n(maybe, std::max(n, 0), uint8_t(0));
        return;
    }
    MarkMiddlesWithin<int16_t>(starts, n, Limit16(least), Limit16(most), maybe);
}

void MarkLongestMiddlesWithin(const int* starts, int n, int least, int most, uint8_t* maybe) {
    MarkMiddlesWithin<int>(starts, n, least, most, maybe);
}

void MarkLongestMiddlesWithinPlain(const int16_t* starts, int n, int least, int most,
                                   uint8_t* maybe) {
    MarkMiddlesWithin<int>(starts, n, least, most, maybe);
}

void MarkFinderGroups(const int16_t* dark, const int16_t* light, int n, int lineLength,
                      uint8_t* maybe) {
    if (lineLength <= kShortLine) return MarkGroups<int16_t>(dark, light, n, maybe);
    MarkGroups<int>(dark, light, n, maybe);
}

void MarkFinderGroupsPlain(const int16_t* dark, const int16_t* light, int n, int, uint8_t* maybe) {
    MarkGroups<int>(dark, light, n, maybe);
}

int NextFlagged(const uint8_t* flags, int from, int n) {
    // Eight flags at a time: few are set, and a branch per flag would
    // mispredict at each one that is.
    for (int k = from; k < n; k += 8) {
        uint64_t eight;
        std::memcpy(&eight, flags + k, 8);
        if (eight != 0) {
            const int first = std::endian::native == std::endian::little
                                  ? std::countr_zero(eight) / 8
                                  : std::countl_zero(eight) / 8;
            return std::min(n, k + first);
        }
    }
    return n;
}

int NextFlaggedPlain(const uint8_t* flags, int from, int n) {
    while (from < n && flags[from] == 0) ++from;
    return from;
}

} // namespace zorvik
