#include "GreyKernels.h"

#include "ProcessorVectors.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik {
namespace {

template <int kBytes> void ColourGreysOf(const uint8_t* row, int width, uint8_t* out) {
    for (int c = 0; c < width; ++c)
        out[c] = uint8_t((row[kBytes * c] + row[kBytes * c + 1] + row[kBytes * c + 2]) / 3);
}

#if defined(__SSE2__)
inline __m128i Load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
inline void Store(void* p, __m128i v) {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// 0xFF for each of the sixteen greys from p that lies in (from, range).
inline __m128i GreysIn(const uint8_t* p, __m128i from, __m128i range) {
    const __m128i d = _mm_sub_epi8(Load(p), from);
    return _mm_cmpeq_epi8(_mm_min_epu8(d, range), d);
}

// Bytes 0 to k - 1 all ones, the rest zero (0 <= k <= 16).
inline __m128i FirstBytes(int k) {
    return _mm_cmpgt_epi8(_mm_set1_epi8(char(k)),
                          _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}
#endif

#if defined(ZORVIK_PROCESSOR_VECTORS)
// The shuffle that spreads four pixels of kBytes (3 or 4) bytes each to a
// 32-bit lane apiece, blue, green and red in bytes 0-2 and byte 3 zero.
inline __m128i Spread(int kBytes) {
    return kBytes == 3 ? _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)
                       : _mm_setr_epi8(0, 1, 2, -1, 4, 5, 6, -1, 8, 9, 10, -1, 12, 13, 14, -1);
}

// Four pixels' blue, green and red as bytes 0-2 of four 32-bit lanes (byte
// 3 zero) become their sums: bytes added in pairs, then the pairs.
__attribute__((target("ssse3"))) inline __m128i PixelSums(__m128i bgr0) {
    return _mm_madd_epi16(_mm_maddubs_epi16(bgr0, _mm_set1_epi8(1)), _mm_set1_epi16(1));
}

// Sixteen sums of at most 765 as their thirds, truncated: x / 3 is
// (x * 0xAAAB) >> 17 for every x below 2^16.
__attribute__((target("ssse3"))) inline __m128i Thirds(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i third = _mm_set1_epi16(int16_t(0xAAAB));
    const __m128i low = _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(a, b), third), 1);
    const __m128i high = _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(c, d), third), 1);
    return _mm_packus_epi16(low, high);
}

// Each load of 16 bytes takes four pixels, spread to a lane each; the loop
// stops where the last load of sixteen pixels would pass the row's end.
template <int kBytes>
__attribute__((target("ssse3"))) void ColourGreysShuffled(const uint8_t* row, int width,
                                                          uint8_t* out) {
    const __m128i spread = Spread(kBytes);
    int c = 0;
    for (; kBytes * c + 12 * kBytes + 16 <= kBytes * width; c += 16) {
        const uint8_t* p = row + kBytes * c;
        __m128i sums[4];
        for (int k = 0; k < 4; ++k)
            sums[k] = PixelSums(_mm_shuffle_epi8(Load(p + 4 * kBytes * k), spread));
        Store(out + c, Thirds(sums[0], sums[1], sums[2], sums[3]));
    }
    ColourGreysOf<kBytes>(row + kBytes * c, width - c, out + c);
}

// As ColourGreysShuffled, 32 pixels a step: each 128-bit lane takes four
// pixels of every eight, so the greys come out in lanes of four pixels,
// put in order by one 32-bit permutation. Returns the pixels done; the loop
// stops where a load would pass the row's end.
template <int kBytes>
__attribute__((target("avx2"))) int ColourGreysWide(const uint8_t* row, int width, uint8_t* out) {
    const __m256i spread = _mm256_broadcastsi128_si256(Spread(kBytes));
    const __m256i ones8 = _mm256_set1_epi8(1), ones16 = _mm256_set1_epi16(1);
    const __m256i third = _mm256_set1_epi16(int16_t(0xAAAB));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int c = 0;
    for (; kBytes * c + 28 * kBytes + 16 <= kBytes * width; c += 32) {
        const uint8_t* p = row + kBytes * c;
        __m256i sums[4];
        for (int k = 0; k < 4; ++k) {
            const uint8_t* eight = p + 8 * kBytes * k;
            const __m256i bgr = _mm256_inserti128_si256(_mm256_castsi128_si256(Load(eight)),
                                                        Load(eight + 4 * kBytes), 1);
            sums[k] = _mm256_madd_epi16(
                _mm256_maddubs_epi16(_mm256_shuffle_epi8(bgr, spread), ones8), ones16);
        }
        const __m256i low =
            _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_packs_epi32(sums[0], sums[1]), third), 1);
        const __m256i high =
            _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_packs_epi32(sums[2], sums[3]), third), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + c),
                            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order));
    }
    return c;
}
#endif

} // namespace

void ColourGreys(const uint8_t* pixels, int bytesPerPixel, int width, uint8_t* out) {
#if defined(ZORVIK_PROCESSOR_VECTORS)
    if (HasByteShuffles()) {
        const int done = !HasWideVectors()    ? 0
                         : bytesPerPixel == 3 ? ColourGreysWide<3>(pixels, width, out)
                                              : ColourGreysWide<4>(pixels, width, out);
        pixels += bytesPerPixel * done, width -= done, out += done;
        return bytesPerPixel == 3 ? ColourGreysShuffled<3>(pixels, width, out)
                                  : ColourGreysShuffled<4>(pixels, width, out);
    }
#endif
    ColourGreysPlain(pixels, bytesPerPixel, width, out);
}

void ColourGreysPlain(const uint8_t* pixels, int bytesPerPixel, int width, uint8_t* out) {
    // A constant stride, so that the compiler can vectorise it.
    if (bytesPerPixel == 3) return ColourGreysOf<3>(pixels, width, out);
    ColourGreysOf<4>(pixels, width, out);
}

void CountGreys(const uint8_t* p, size_t width, size_t rows, size_t stride, uint64_t* counts) {
    // Four partial counts, so that a grey's increment need not wait for the
    // one before; and sixteen pixels of one grey, a picture's flat areas, in
    // one step. Flushed before a 32-bit count could overflow, and once at
    // the end rather than after each row.
    std::array<std::array<uint32_t, 256>, 4> parts{};
    constexpr size_t kFlushEvery = size_t(1) << 30;
    size_t pending = 0;
    auto flush = [&] {
        for (auto& part : parts)
            for (size_t g = 0; g < 256; ++g) counts[g] += std::exchange(part[g], 0);
        pending = 0;
    };
    for (size_t r = 0; r < rows; ++r) {
        const uint8_t* row = p + r * stride;
        for (size_t done = 0; done < width;) {
            const size_t end = std::min(width, done + (kFlushEvery - pending));
            pending += end - done;
            size_t i = done;
            unsigned flat = 0;
            for (; i + 16 <= end; i += 16) {
                uint64_t a, b;
                std::memcpy(&a, row + i, 8);
                std::memcpy(&b, row + i + 8, 8);
                const uint64_t first = (a & 0xFF) * 0x0101010101010101u;
                if (((a ^ first) | (b ^ first)) == 0) {
                    parts[flat++ & 3][a & 0xFF] += 16;
                    continue;
                }
                for (size_t k = 0; k < 16; k += 4) {
                    ++parts[0][row[i + k]];
                    ++parts[1][row[i + k + 1]];
                    ++parts[2][row[i + k + 2]];
                    ++parts[3][row[i + k + 3]];
                }
            }
            for (; i < end; ++i) ++parts[0][row[i]];
            if (pending == kFlushEvery) flush();
            done = end;
        }
    }
    flush();
}

void CountGreysPlain(const uint8_t* p, size_t width, size_t rows, size_t stride, uint64_t* counts) {
    for (size_t r = 0; r < rows; ++r)
        for (size_t i = 0; i < width; ++i) ++counts[p[r * stride + i]];
}

bool AnyGreyIn(const uint8_t* p, size_t n, uint8_t from, uint8_t range) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i vFrom = _mm_set1_epi8(char(from)), vRange = _mm_set1_epi8(char(range));
    while (i + 16 <= n) {
        // A block at a time, so that a picture with such greys is soon done.
        const size_t end = std::min(n - n % 16, i + 4096);
        __m128i any = _mm_setzero_si128();
        for (; i < end; i += 16) any = _mm_or_si128(any, GreysIn(p + i, vFrom, vRange));
        if (_mm_movemask_epi8(any) != 0) return true;
    }
#endif
    return AnyGreyInPlain(p + i, n - i, from, range);
}

bool AnyGreyInPlain(const uint8_t* p, size_t n, uint8_t from, uint8_t range) {
    for (size_t i = 0; i < n; ++i)
        if (uint8_t(p[i] - from) <= range) return true;
    return false;
}

void AddLeastAndSum(const uint8_t* row, int n, uint8_t& least, uint64_t& sum) {
#if defined(__SSE2__)
    if (n >= 16) {
        // The sum against zero in two 64-bit lanes. The last few as the top
        // of the sixteen that end the row, those already counted made white
        // for the least and zero for the sum.
        const __m128i zero = _mm_setzero_si128();
        __m128i low = _mm_set1_epi8(char(least)), sums = zero;
        int c = 0;
        for (; c + 16 <= n; c += 16) {
            const __m128i g = Load(row + c);
            low = _mm_min_epu8(low, g);
            sums = _mm_add_epi64(sums, _mm_sad_epu8(g, zero));
        }
        if (c < n) {
            const __m128i g = Load(row + n - 16);
            const __m128i counted = FirstBytes(c - (n - 16));
            low = _mm_min_epu8(low, _mm_or_si128(g, counted));
            sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_andnot_si128(counted, g), zero));
        }
        // The least folded in halves down to one lane.
        low = _mm_min_epu8(low, _mm_srli_si128(low, 8));
        low = _mm_min_epu8(low, _mm_srli_si128(low, 4));
        low = _mm_min_epu8(low, _mm_srli_si128(low, 2));
        low = _mm_min_epu8(low, _mm_srli_si128(low, 1));
        least = uint8_t(_mm_cvtsi128_si32(low));
        alignas(16) uint64_t halves[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(halves), sums);
        sum += halves[0] + halves[1];
        return;
    }
#endif
    AddLeastAndSumPlain(row, n, least, sum);
}

void AddLeastAndSumPlain(const uint8_t* row, int n, uint8_t& least, uint64_t& sum) {
    // In locals: least could otherwise be one of the row's bytes.
    uint8_t low = least;
    uint64_t total = 0;
    for (int c = 0; c < n; ++c) {
        low = std::min(low, row[c]);
        total += row[c];
    }
    least = low;
    sum += total;
}

#if defined(ZORVIK_PROCESSOR_VECTORS)
namespace {
// As BinariseRow's vector loop, 32 at a time (n >= 32).
__attribute__((target("avx2"))) inline void BinariseThirtyTwo(const uint8_t* in, __m256i from,
                                                              __m256i range, const char* above,
                                                              char* out, __m256i& difference) {
    const __m256i d =
        _mm256_sub_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), from);
    const __m256i text =
        _mm256_sub_epi8(_mm256_set1_epi8('0'), _mm256_cmpeq_epi8(_mm256_min_epu8(d, range), d));
    if (above)
        difference = _mm256_or_si256(
            difference,
            _mm256_xor_si256(text, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(above))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), text);
}

__attribute__((target("avx2"))) bool BinariseRowWide(const uint8_t* in, int n, uint8_t from,
                                                     uint8_t range, const char* above, char* out) {
    const __m256i vFrom = _mm256_set1_epi8(char(from)), vRange = _mm256_set1_epi8(char(range));
    __m256i difference = _mm256_setzero_si256();
    int c = 0;
    for (; c + 32 <= n; c += 32)
        BinariseThirtyTwo(in + c, vFrom, vRange, above ? above + c : nullptr, out + c, difference);
    if (c < n)
        BinariseThirtyTwo(in + n - 32, vFrom, vRange, above ? above + n - 32 : nullptr,
                          out + n - 32, difference);
    return !_mm256_testz_si256(difference, difference);
}
} // namespace
#endif

bool BinariseRow(const uint8_t* in, int n, uint8_t from, uint8_t range, const char* above,
                 char* out) {
#if defined(ZORVIK_PROCESSOR_VECTORS)
    if (n >= 32 && HasWideVectors()) return BinariseRowWide(in, n, from, range, above, out);
#endif
#if defined(__SSE2__)
    if (n >= 16) {
        // Sixteen at a time: '0' minus 0xFF is '1'. The last few as the end
        // of sixteen, some written twice alike.
        const __m128i vFrom = _mm_set1_epi8(char(from)), vRange = _mm_set1_epi8(char(range));
        const __m128i zeroChar = _mm_set1_epi8('0');
        __m128i difference = _mm_setzero_si128();
        auto sixteen = [&](int at) {
            const __m128i text = _mm_sub_epi8(zeroChar, GreysIn(in + at, vFrom, vRange));
            if (above) difference = _mm_or_si128(difference, _mm_xor_si128(text, Load(above + at)));
            Store(out + at, text);
        };
        int c = 0;
        for (; c + 16 <= n; c += 16) sixteen(c);
        if (c < n) sixteen(n - 16);
        return _mm_movemask_epi8(_mm_cmpeq_epi8(difference, _mm_setzero_si128())) != 0xFFFF;
    }
#endif
    return BinariseRowPlain(in, n, from, range, above, out);
}

bool BinariseRowPlain(const uint8_t* in, int n, uint8_t from, uint8_t range, const char* above,
                      char* out) {
    bool differs = false;
    for (int c = 0; c < n; ++c) {
        out[c] = char('0' + (uint8_t(in[c] - from) <= range));
        differs |= above && out[c] != above[c];
    }
    return differs;
}

void HalveRows(const uint8_t* a, const uint8_t* b, int n, uint8_t* out) {
    int x = 0;
#if defined(__SSE2__)
    // Sixteen at a time: the even and odd pixels of both rows as 16-bit sums.
    const __m128i low = _mm_set1_epi16(0xFF), two = _mm_set1_epi16(2);
    for (; x + 16 <= n; x += 16) {
        __m128i sums[2];
        for (int k = 0; k < 2; ++k) {
            const __m128i up = Load(a + 2 * x + 16 * k);
            const __m128i down = Load(b + 2 * x + 16 * k);
            const __m128i sum =
                _mm_add_epi16(_mm_add_epi16(_mm_and_si128(up, low), _mm_srli_epi16(up, 8)),
                              _mm_add_epi16(_mm_and_si128(down, low), _mm_srli_epi16(down, 8)));
            sums[k] = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
        }
        Store(out + x, _mm_packus_epi16(sums[0], sums[1]));
    }
#endif
    HalveRowsPlain(a + 2 * x, b + 2 * x, n - x, out + x);
}

void HalveRowsPlain(const uint8_t* a, const uint8_t* b, int n, uint8_t* out) {
    for (int x = 0; x < n; ++x)
        out[x] = uint8_t((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) / 4);
}

} // namespace zorvik
