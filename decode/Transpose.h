// Turning 16 x 16 blocks of bytes about their diagonal: pixel columns are
// read as rows, since reading a picture down its columns would miss the
// cache on every pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvik {

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

} // namespace zorvik
