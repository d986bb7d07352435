#include "GaloisKernels.h"

#include "GaloisField.h"
#include "ProcessorVectors.h"

#include <array>

namespace zorvik {
namespace {

using detail::kFieldTables;

#if defined(ZORVIK_PROCESSOR_VECTORS)
// Up to 32 syndromes in two vectors: S = sum over j of c_j * P_(n-1-j), where
// P_e holds alpha^(k e) for k = 0..31. A vector times one element is two
// 16-entry table look-ups, one per nibble: c x = c (x & 15) + c (x & 240).
constexpr int kVectorSyndromes = 32;

struct SyndromeTables {
    alignas(16) uint8_t low[256][16];                  // c * x for x = 0..15
    alignas(16) uint8_t high[256][16];                 // c * (x << 4) for x = 0..15
    alignas(16) uint8_t powers[255][kVectorSyndromes]; // alpha^(k e mod 255)
    alignas(16) uint8_t rising[kVectorSyndromes][256]; // alpha^(j i mod 255), i = 0..255
};

constexpr SyndromeTables MakeSyndromeTables() {
    SyndromeTables t{};
    for (int c = 0; c < 256; ++c)
        for (int x = 0; x < 16; ++x) {
            t.low[c][x] = uint8_t(GfMultiply(c, x));
            t.high[c][x] = uint8_t(GfMultiply(c, x << 4));
        }
    for (int e = 0; e < 255; ++e)
        for (int k = 0; k < kVectorSyndromes; ++k)
            t.powers[e][k] = uint8_t(kFieldTables.PowerTable[size_t(k * e % 255)]);
    for (int j = 0; j < kVectorSyndromes; ++j)
        for (int i = 0; i < 256; ++i)
            t.rising[j][i] = uint8_t(kFieldTables.PowerTable[size_t(j * i % 255)]);
    return t;
}

constexpr SyndromeTables kSyndromeTables = MakeSyndromeTables();

// Sixteen elements, each times c.
__attribute__((target("ssse3"))) inline __m128i Times(size_t c, __m128i x) {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i low = _mm_load_si128(reinterpret_cast<const __m128i*>(kSyndromeTables.low[c]));
    const __m128i high = _mm_load_si128(reinterpret_cast<const __m128i*>(kSyndromeTables.high[c]));
    return _mm_xor_si128(_mm_shuffle_epi8(low, _mm_and_si128(x, nibble)),
                         _mm_shuffle_epi8(high, _mm_and_si128(_mm_srli_epi16(x, 4), nibble)));
}

__attribute__((target("ssse3"))) void SyndromesByVectors(const int16_t* codewords, int n, int count,
                                                         int16_t* syndromes) {
    __m128i sum[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
    for (int j = 0; j < n; ++j) {
        const uint8_t* powers = kSyndromeTables.powers[n - 1 - j];
        for (int half = 0; half < 2; ++half) {
            const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(powers + 16 * half));
            sum[half] = _mm_xor_si128(sum[half], Times(size_t(codewords[j]), p));
        }
    }
    alignas(16) uint8_t out[kVectorSyndromes];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), sum[0]);
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 16), sum[1]);
    for (int k = 0; k < count; ++k) syndromes[k] = out[k];
}

__attribute__((target("ssse3"))) void SixteenByVectors(const int16_t* sigma, int degree, int first,
                                                       uint8_t* values) {
    __m128i sum = _mm_set1_epi8(char(sigma[0]));
    for (int j = 1; j <= degree; ++j) {
        if (sigma[j] == 0) continue;
        const auto* powers = reinterpret_cast<const __m128i*>(kSyndromeTables.rising[j] + first);
        sum = _mm_xor_si128(sum, Times(size_t(sigma[j]), _mm_loadu_si128(powers)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values), sum);
}
#endif

} // namespace

void EvaluateSyndromes(const int16_t* codewords, int n, int count, int16_t* syndromes) {
#if defined(ZORVIK_PROCESSOR_VECTORS)
    if (HasByteShuffles() && count <= kVectorSyndromes)
        return SyndromesByVectors(codewords, n, count, syndromes);
#endif
    EvaluateSyndromesPlain(codewords, n, count, syndromes);
}

// Codeword j adds alpha^(log c_j + k (n-1-j)) to S_k: the exponent grows by
// n - 1 - j from one k to the next, each term is one table read, and unlike
// Horner's rule no syndrome waits on the one before.
void EvaluateSyndromesPlain(const int16_t* codewords, int n, int count, int16_t* syndromes) {
    std::array<uint8_t, 256> sum{};
    for (int j = 0; j < n; ++j) {
        if (codewords[j] == 0) continue;
        int exponent = kFieldTables.LogTable[size_t(codewords[j])];
        const int step = n - 1 - j; // n <= 255: below 255
        for (int k = 0; k < count; ++k) {
            sum[size_t(k)] ^= uint8_t(kFieldTables.PowerTable[size_t(exponent)]);
            exponent += step;
            if (exponent >= 255) exponent -= 255;
        }
    }
    for (int k = 0; k < count; ++k) syndromes[k] = sum[size_t(k)];
}

void EvaluateSixteen(const int16_t* sigma, int degree, int first, uint8_t* values) {
#if defined(ZORVIK_PROCESSOR_VECTORS)
    if (HasByteShuffles()) return SixteenByVectors(sigma, degree, first, values);
#endif
    EvaluateSixteenPlain(sigma, degree, first, values);
}

// Term j of sigma(alpha^i) is alpha^(log sigma_j + j i): its exponent grows
// by j from one i to the next, one table read each.
void EvaluateSixteenPlain(const int16_t* sigma, int degree, int first, uint8_t* values) {
    for (int i = 0; i < 16; ++i) values[i] = uint8_t(sigma[0]);
    for (int j = 1; j <= degree; ++j) {
        if (sigma[j] == 0) continue;
        int exponent = (kFieldTables.LogTable[size_t(sigma[j])] + j * first) % 255;
        for (int i = 0; i < 16; ++i) {
            values[i] ^= uint8_t(kFieldTables.PowerTable[size_t(exponent)]);
            exponent += j;
            if (exponent >= 255) exponent -= 255;
        }
    }
}

} // namespace zorvik
