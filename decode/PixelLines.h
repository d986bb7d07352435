// Fast readings of lines of pixels, one byte each: where a line changes,
// 16 x 16 blocks turned about their diagonal so that pixel columns are read
// as rows (reading a picture down its columns would miss the cache on every
// pixel), and sixteen dark pixels at a time added to 16-bit counts.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik {

// Where the set bits of each byte value lie, lowest first, and how many
// there are: a change mask turns into positions without a branch per bit.
struct BitPositions {
    uint8_t at[256][8];
    uint8_t count[256];
};
inline constexpr BitPositions kBitPositions = [] {
    BitPositions table{};
    for (int v = 0; v < 256; ++v) {
        int n = 0;
        for (int b = 0; b < 8; ++b)
            if (v >> b & 1) table.at[v][n++] = uint8_t(b);
        table.count[v] = uint8_t(n);
    }
    return table;
}();

// Slack FindChanges may write past what it returns.
inline constexpr int kChangeSlack = 8;

// Writes to out, in order, every position p from 1 to length - 1 where
// line[p] differs from line[p - 1] (at most length - 1 of them), and returns
// one past the last written. out must have room for length - 1 +
// kChangeSlack positions: past the returned end it may leave scratch.
// Position is int, or int16_t for lines of at most 32767 pixels.
template <typename Position>
inline Position* FindChanges(const uint8_t* line, int length, Position* out) {
    static_assert(std::is_same_v<Position, int> || std::is_same_v<Position, int16_t>);
    int p = 1;
#if defined(__SSE2__)
    // Sixteen bytes at a time against their left neighbours, and each half
    // of the change mask to eight positions at once: how many changes a
    // stretch of pixels holds is unpredictable, so a loop per change would
    // mispredict its exit every time.
    const __m128i zero = _mm_setzero_si128();
    auto eight = [&](unsigned mask, int base) {
        const __m128i at = _mm_unpacklo_epi8(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kBitPositions.at[mask])), zero);
        if constexpr (std::is_same_v<Position, int16_t>) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_add_epi16(at, _mm_set1_epi16(int16_t(base))));
        } else {
            const __m128i from = _mm_set1_epi32(base);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_add_epi32(_mm_unpacklo_epi16(at, zero), from));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                             _mm_add_epi32(_mm_unpackhi_epi16(at, zero), from));
        }
        out += kBitPositions.count[mask];
    };
    auto changesAt = [&](int from) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from));
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from - 1));
        return ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(here, left))) & 0xFFFFu;
    };
    for (; p + 16 <= length; p += 16) {
        const unsigned changes = changesAt(p);
        eight(changes & 0xFFu, p);
        eight(changes >> 8, p + 8);
    }
    // The last few as the top of the sixteen that end the line.
    if (p < length && length >= 17) {
        const unsigned changes = changesAt(length - 16) >> (p - (length - 16));
        eight(changes & 0xFFu, p);
        eight(changes >> 8, p + 8);
        return out;
    }
#endif
    for (; p < length; ++p)
        if (line[p] != line[p - 1]) *out++ = Position(p);
    return out;
}

// Byte j of rows[i] goes to to[j * toStride + i], for i, j from 0 to 15.
inline void Transpose16(const uint8_t* const* rows, uint8_t* to, size_t toStride) {
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
    for (size_t i = 0; i < 16; ++i)
        for (size_t j = 0; j < 16; ++j) to[j * toStride + i] = rows[i][j];
#endif
}

#if defined(__SSE2__)
// Bytes 0 to k - 1 all ones, the rest zero (0 <= k <= 16): what keeps the
// first k of sixteen, or, inverted, the last 16 - k. A line's last few
// pixels are read as the end of the sixteen that end it, this masking off
// the ones read before or past its end.
inline __m128i FirstBytes(int k) {
    alignas(16) static constexpr uint8_t kOnesThenZeros[32] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0};
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kOnesThenZeros + 16 - k));
}

// 1 for each of the sixteen characters from p that is '1', else 0.
inline __m128i DarkOnes(const char* p) {
    return _mm_and_si128(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('1')),
        _mm_set1_epi8(1));
}

// to[i] = from[i] + byte i of bytes, for i from 0 to 15, in 16-bit counts
// (from and to may be the same).
inline void AddBytes16(const uint16_t* from, __m128i bytes, uint16_t* to) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm_add_epi16(low, _mm_unpacklo_epi8(bytes, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8),
                     _mm_add_epi16(high, _mm_unpackhi_epi8(bytes, zero)));
}
#endif

} // namespace zorvik
