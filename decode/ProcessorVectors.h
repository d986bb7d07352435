// Which vector instructions beyond SSE2 the processor running the program
// has. A kernel's routines for byte shuffles (SSSE3) or 256-bit vectors
// (AVX2) are compiled for those alone, by target attributes, and chosen at
// run time by these answers, so the program still runs on any x86-64.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
#define ZORVIK_PROCESSOR_VECTORS 1
#include <immintrin.h>

namespace zorvik {

inline bool HasByteShuffles() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

inline bool HasWideVectors() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

} // namespace zorvik
#endif
