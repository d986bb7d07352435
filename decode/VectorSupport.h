// Byte shuffles (SSSE3) where the build can have them: code that uses them
// is compiled for them alone and chosen when the processor has them, so the
// program still runs on any x86-64.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
#define ZORVIK_BYTE_SHUFFLES 1
#include <immintrin.h>

namespace zorvik {

// Whether this processor has SSSE3; asked once.
inline bool HasByteShuffles() {
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    return shuffles;
}

} // namespace zorvik
#endif
