#include "PixelLineKernels.h"

#include "ProcessorVectors.h"

#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik {
namespace {

#if defined(__SSE2__)
// Where the set bits of each byte value lie, lowest first, and how many
// there are: a change mask turns into positions without a branch per bit.
struct BitPositions {
    uint8_t at[256][8];
    uint8_t count[256];
};
constexpr BitPositions kBitPositions = [] {
    BitPositions table{};
    for (int v = 0; v < 256; ++v) {
        int n = 0;
        for (int b = 0; b < 8; ++b)
            if (v >> b & 1) table.at[v][n++] = uint8_t(b);
        table.count[v] = uint8_t(n);
    }
    return table;
}();

// Stores at + bit for each set bit of the byte mask, lowest first, as eight
// positions whatever the count; returns out behind the ones that count.
template <typename Position> inline Position* EightPositions(unsigned mask, int at, Position* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bits = _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kBitPositions.at[mask])), zero);
    if constexpr (std::is_same_v<Position, int16_t>) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_add_epi16(bits, _mm_set1_epi16(int16_t(at))));
    } else {
        const __m128i from = _mm_set1_epi32(at);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_add_epi32(_mm_unpacklo_epi16(bits, zero), from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                         _mm_add_epi32(_mm_unpackhi_epi16(bits, zero), from));
    }
    return out + kBitPositions.count[mask];
}

#if defined(ZORVIK_PROCESSOR_VECTORS)
// As Differences below over the first whole 32s of the line, where most
// masks are empty; returns how many bytes it covered.
template <typename Position>
__attribute__((target("avx2"))) int WideDifferences(const uint8_t* a, const uint8_t* b, int length,
                                                    int base, Position*& out) {
    int i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const unsigned mask = ~unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, y)));
        if (mask == 0) continue;
        for (int k = 0; k < 4; ++k)
            out = EightPositions(mask >> (8 * k) & 0xFFu, base + i + 8 * k, out);
    }
    return i;
}
#endif

// base + i for every i below length where a[i] != b[i], length >= 16.
// Sixteen bytes at a time, and each half of the difference mask to eight
// positions at once: how many a stretch of pixels holds is unpredictable, so
// a loop per difference would mispredict its exit every time.
template <typename Position>
Position* Differences(const uint8_t* a, const uint8_t* b, int length, int base, Position* out) {
    auto differencesAt = [&](int from) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + from));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + from));
        return ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) & 0xFFFFu;
    };
    int i = 0;
#if defined(ZORVIK_PROCESSOR_VECTORS)
    if (HasWideVectors()) i = WideDifferences(a, b, length, base, out);
#endif
    for (; i + 16 <= length; i += 16) {
        const unsigned mask = differencesAt(i);
        if (mask == 0) continue; // most of a picture's lines hardly change
        out = EightPositions(mask & 0xFFu, base + i, out);
        out = EightPositions(mask >> 8, base + i + 8, out);
    }
    // The last few as the top of the sixteen that end the line.
    if (i < length) {
        const unsigned mask = differencesAt(length - 16) >> (i - (length - 16));
        out = EightPositions(mask & 0xFFu, base + i, out);
        out = EightPositions(mask >> 8, base + i + 8, out);
    }
    return out;
}
#endif

} // namespace

template <typename Position> Position* FindChanges(const uint8_t* line, int length, Position* out) {
#if defined(__SSE2__)
    if (length < 17) return FindChangesPlain(line, length, out);
    return Differences(line + 1, line, length - 1, 1, out);
#else
    return FindChangesPlain(line, length, out);
#endif
}

template <typename Position>
Position* FindChangesPlain(const uint8_t* line, int length, Position* out) {
    for (int p = 1; p < length; ++p)
        if (line[p] != line[p - 1]) *out++ = Position(p);
    return out;
}

template <typename Position>
Position* FindDifferences(const uint8_t* a, const uint8_t* b, int length, Position* out) {
#if defined(__SSE2__)
    if (length < 16) return FindDifferencesPlain(a, b, length, out);
    return Differences(a, b, length, 0, out);
#else
    return FindDifferencesPlain(a, b, length, out);
#endif
}

template <typename Position>
Position* FindDifferencesPlain(const uint8_t* a, const uint8_t* b, int length, Position* out) {
    for (int i = 0; i < length; ++i)
        if (a[i] != b[i]) *out++ = Position(i);
    return out;
}

template int16_t* FindChanges(const uint8_t*, int, int16_t*);
template int* FindChanges(const uint8_t*, int, int*);
template int16_t* FindChangesPlain(const uint8_t*, int, int16_t*);
template int* FindChangesPlain(const uint8_t*, int, int*);
template int16_t* FindDifferences(const uint8_t*, const uint8_t*, int, int16_t*);
template int* FindDifferences(const uint8_t*, const uint8_t*, int, int*);
template int16_t* FindDifferencesPlain(const uint8_t*, const uint8_t*, int, int16_t*);
template int* FindDifferencesPlain(const uint8_t*, const uint8_t*, int, int*);

void Transpose16(const uint8_t* const* rows, uint8_t* to, size_t toStride) {
#if defined(__SSE2__)
    // Four rounds of interleaving row i with row i + 8.
    __m128i lines[16], next[16];
    for (size_t i = 0; i < 16; ++i)
        lines[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[i]));
    for (int round = 0; round < 4; ++round) {
        for (size_t i = 0; i < 8; ++i) {
            next[2 * i] = _mm_unpacklo_epi8(lines[i], lines[i + 8]);
            next[2 * i + 1] = _mm_unpackhi_epi8(lines[i], lines[i + 8]);
        }
        for (size_t i = 0; i < 16; ++i) lines[i] = next[i];
    }
    for (size_t i = 0; i < 16; ++i)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i * toStride), lines[i]);
#else
    Transpose16Plain(rows, to, toStride);
#endif
}

void Transpose16Plain(const uint8_t* const* rows, uint8_t* to, size_t toStride) {
    for (size_t i = 0; i < 16; ++i)
        for (size_t j = 0; j < 16; ++j) to[j * toStride + i] = rows[i][j];
}

} // namespace zorvik
