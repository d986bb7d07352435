#include "CountKernels.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik {
namespace {

#if defined(__SSE2__)
inline __m128i Load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
inline void Store(void* p, __m128i v) {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Bytes 0 to k - 1 all ones, the rest zero (0 <= k <= 16).
inline __m128i FirstBytes(int k) {
    return _mm_cmpgt_epi8(_mm_set1_epi8(char(k)),
                          _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}
#endif

} // namespace

uint64_t SumByteDifferences(const uint8_t* below, const uint8_t* above, int n) {
#if defined(__SSE2__)
    // Sixteen columns at a time, their differences added up in two 64-bit
    // lanes; the last few as sixteen with the bytes past n cleared.
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    auto columns = [&](int p) { return _mm_sub_epi8(Load(below + p), Load(above + p)); };
    int p = 0;
    for (; p + 16 <= n; p += 16) sums = _mm_add_epi64(sums, _mm_sad_epu8(columns(p), zero));
    if (p < n)
        sums =
            _mm_add_epi64(sums, _mm_sad_epu8(_mm_and_si128(columns(p), FirstBytes(n - p)), zero));
    alignas(16) uint64_t halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), sums);
    return halves[0] + halves[1];
#else
    return SumByteDifferencesPlain(below, above, n);
#endif
}

uint64_t SumByteDifferencesPlain(const uint8_t* below, const uint8_t* above, int n) {
    uint64_t sum = 0;
    for (int p = 0; p < n; ++p) sum += uint8_t(below[p] - above[p]);
    return sum;
}

int CountDifferent(const char* a, const char* b, int n) {
    int x = 0, different = 0;
#if defined(__SSE2__)
    // Equal pairs counted sixteen at a time in byte lanes, summed before a
    // lane could pass 255.
    const __m128i zero = _mm_setzero_si128();
    while (x + 16 <= n) {
        __m128i equal = zero;
        const int end = std::min(n - 15, x + 255 * 16);
        for (; x < end; x += 16)
            equal = _mm_sub_epi8(equal, _mm_cmpeq_epi8(Load(a + x), Load(b + x)));
        const __m128i sums = _mm_sad_epu8(equal, zero);
        different -= _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    }
    different += x;
#endif
    return different + CountDifferentPlain(a + x, b + x, n - x);
}

int CountDifferentPlain(const char* a, const char* b, int n) {
    int different = 0;
    for (int x = 0; x < n; ++x) different += a[x] != b[x];
    return different;
}

template <typename Count>
void AddRunningDark(const char* row, int n, const Count* above, Count* here) {
#if defined(__SSE2__)
    here[0] = 0;
    // Sixteen at a time: the '1's' running count within the sixteen by
    // shifted sums, then widened and added to the row above. The count so
    // far along the row rides in every lane of carry, so that one step
    // waits for the last only by an addition.
    const __m128i zero = _mm_setzero_si128();
    __m128i carry = zero;
    int j = 0;
    for (; j + 16 <= n; j += 16) {
        __m128i counts =
            _mm_and_si128(_mm_cmpeq_epi8(Load(row + j), _mm_set1_epi8('1')), _mm_set1_epi8(1));
        counts = _mm_add_epi8(counts, _mm_slli_si128(counts, 1));
        counts = _mm_add_epi8(counts, _mm_slli_si128(counts, 2));
        counts = _mm_add_epi8(counts, _mm_slli_si128(counts, 4));
        counts = _mm_add_epi8(counts, _mm_slli_si128(counts, 8));
        const __m128i halves[2] = {_mm_unpacklo_epi8(counts, zero),
                                   _mm_unpackhi_epi8(counts, zero)};
        if constexpr (sizeof(Count) == 2) {
            for (int q = 0; q < 2; ++q)
                Store(here + j + 1 + 8 * q,
                      _mm_add_epi16(_mm_add_epi16(halves[q], carry), Load(above + j + 1 + 8 * q)));
            // The sixteen's total, lane 7 of the upper half, in every lane.
            const __m128i total = _mm_shufflehi_epi16(halves[1], 0xFF);
            carry = _mm_add_epi16(carry, _mm_unpackhi_epi64(total, total));
        } else {
            __m128i quarter;
            for (int q = 0; q < 4; ++q) {
                quarter = q % 2 == 0 ? _mm_unpacklo_epi16(halves[q / 2], zero)
                                     : _mm_unpackhi_epi16(halves[q / 2], zero);
                Store(here + j + 1 + 4 * q,
                      _mm_add_epi32(_mm_add_epi32(quarter, carry), Load(above + j + 1 + 4 * q)));
            }
            carry = _mm_add_epi32(carry, _mm_shuffle_epi32(quarter, 0xFF));
        }
    }
    // The rest one by one, from the count so far.
    Count run = Count(_mm_cvtsi128_si32(carry));
    for (; j < n; ++j) {
        run = Count(run + (row[j] == '1'));
        here[j + 1] = Count(above[j + 1] + run);
    }
#else
    AddRunningDarkPlain(row, n, above, here);
#endif
}

template <typename Count>
void AddRunningDarkPlain(const char* row, int n, const Count* above, Count* here) {
    here[0] = 0;
    Count run = 0;
    for (int j = 0; j < n; ++j) {
        run = Count(run + (row[j] == '1'));
        here[j + 1] = Count(above[j + 1] + run);
    }
}

template void AddRunningDark(const char*, int, const uint16_t*, uint16_t*);
template void AddRunningDark(const char*, int, const uint32_t*, uint32_t*);
template void AddRunningDarkPlain(const char*, int, const uint16_t*, uint16_t*);
template void AddRunningDarkPlain(const char*, int, const uint32_t*, uint32_t*);

} // namespace zorvik
