#include "ErrorCorrection.h"

#include "GaloisField.h"
#include "VectorSupport.h"

#include <algorithm>
#include <array>

namespace zorvik {

namespace {

// S_k = r(alpha^k) for k = 0..count - 1 (count 0..255), all at once.
// Codeword j is the coefficient of x^(n-1-j), so it adds
// alpha^(log c_j + k (n-1-j)) to S_k: the exponent grows by n - 1 - j from
// one k to the next, each term is one table read, and unlike Horner's rule
// no syndrome waits on the one before.
void EvaluateSyndromesByTerms(const CodewordArray& codewords, int n, int count,
                              int16_t* syndromes) {
    std::array<uint8_t, 256> sum{};
    for (int j = 0; j < n; ++j) {
        if (codewords[j] == 0) continue;
        int exponent = detail::kFieldTables.LogTable[size_t(codewords[j])];
        const int step = n - 1 - j; // n <= 255: below 255
        for (int k = 0; k < count; ++k) {
            sum[size_t(k)] ^= uint8_t(detail::kFieldTables.PowerTable[size_t(exponent)]);
            exponent += step;
            if (exponent >= 255) exponent -= 255;
        }
    }
    for (int k = 0; k < count; ++k) syndromes[k] = sum[size_t(k)];
}

#if defined(ZORVIK_BYTE_SHUFFLES)
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
            t.powers[e][k] = uint8_t(detail::kFieldTables.PowerTable[size_t(k * e % 255)]);
    for (int j = 0; j < kVectorSyndromes; ++j)
        for (int i = 0; i < 256; ++i)
            t.rising[j][i] = uint8_t(detail::kFieldTables.PowerTable[size_t(j * i % 255)]);
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

// sigma(alpha^i) for the sixteen i from first, sigma of degree below 32.
__attribute__((target("ssse3"))) void LocatorValuesByVectors(const int16_t* sigma, int degree,
                                                             int first, uint8_t* values) {
    __m128i sum = _mm_set1_epi8(char(sigma[0]));
    for (int j = 1; j <= degree; ++j) {
        if (sigma[j] == 0) continue;
        const auto* powers = reinterpret_cast<const __m128i*>(kSyndromeTables.rising[j] + first);
        sum = _mm_xor_si128(sum, Times(size_t(sigma[j]), _mm_load_si128(powers)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values), sum);
}

__attribute__((target("ssse3"))) void
EvaluateSyndromesByVectors(const CodewordArray& codewords, int n, int count, int16_t* syndromes) {
    __m128i sum[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
    for (int j = 0; j < n; ++j) {
        const size_t c = size_t(codewords[size_t(j)]);
        const uint8_t* powers = kSyndromeTables.powers[n - 1 - j];
        for (int half = 0; half < 2; ++half) {
            const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(powers + 16 * half));
            sum[half] = _mm_xor_si128(sum[half], Times(c, p));
        }
    }
    alignas(16) uint8_t out[kVectorSyndromes];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), sum[0]);
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 16), sum[1]);
    for (int k = 0; k < count; ++k) syndromes[k] = out[k];
}
#endif

// The syndromes by vectors where the processor has them, else term by term.
// Codewords must be 0..255.
void EvaluateSyndromes(const CodewordArray& codewords, int n, int count, int16_t* syndromes) {
#if defined(ZORVIK_BYTE_SHUFFLES)
    if (HasByteShuffles() && count <= kVectorSyndromes) {
        EvaluateSyndromesByVectors(codewords, n, count, syndromes);
        return;
    }
#endif
    EvaluateSyndromesByTerms(codewords, n, count, syndromes);
}

// True when all ecCount syndromes vanish, i.e. the block is a codeword of the
// generator with roots alpha^0 .. alpha^(ecCount - 1).
bool IsCodeword(const CodewordArray& codewords, int n, int ecCount) {
    std::array<int16_t, 256> syndromes;
    EvaluateSyndromes(codewords, n, ecCount, syndromes.data());
    for (int k = 0; k < ecCount; ++k)
        if (syndromes[size_t(k)] != 0) return false;
    return true;
}

// The working values of one block correction; a fresh object per call, so
// nothing carries over from one block to the next.
class BlockDecoder {
  public:
    BlockDecoder(CodewordArray& codewords, int16_t n, int16_t t)
        : tables_(BuildFieldTables()), codewords_(codewords), n_(n),
          syndromeCount_(static_cast<int16_t>(2 * t)), workLength_(static_cast<int16_t>(4 * t)),
          syndromes_(workLength_, 0), locator_(workLength_, 0), evaluator_(workLength_, 0) {}

    int16_t Correct() {
        // Only 2t syndromes take part, even where the block has more
        // error-correction codewords.
        EvaluateSyndromes(codewords_, n_, syndromeCount_, syndromes_.data());
        int sum = 0;
        for (int k = 0; k < syndromeCount_; ++k) sum += syndromes_[k];
        if (sum == 0) return 0;
        return CorrectErrorValues();
    }

  private:
    // Berlekamp-Massey: the error locator sigma from the syndromes, and the
    // evaluator Omega = S * sigma mod x^(2t).
    void FindErrorLocator() {
        Polynomial connection(workLength_, 0); // C
        Polynomial previous(workLength_, 0);   // B, kept multiplied by x
        Polynomial next(workLength_, 0);       // T
        connection[0] = 1;
        previous[1] = 1;
        int length = 0;    // L
        int lastStep = -1; // m
        // From degrees 0 and 1 both polynomials gain at most one degree a
        // step, so after the 2t steps every coefficient from 2t + 2 on is
        // still 0 (the working length 4t reaches that far): the loops stop
        // there.
        const int live = std::min<int>(workLength_, syndromeCount_ + 2);

        for (int i = 0; i < syndromeCount_; ++i) {
            int d = 0;
            for (int j = 0; j <= length; ++j) d ^= GfMultiply(connection[j], syndromes_[i - j]);
            if (d != 0) {
                for (int j = 0; j < live; ++j) {
                    next[j] = static_cast<int16_t>(connection[j] ^ GfMultiply(d, previous[j]));
                }
                if (length < i - lastStep) {
                    const int newLength = i - lastStep;
                    lastStep = i - length;
                    const int inverse = GfInverse(d);
                    for (int j = 0; j < live; ++j) {
                        previous[j] = GfMultiply(connection[j], inverse);
                    }
                    length = newLength;
                }
                PolyCopy(connection, next);
            }
            PolyShift(previous);
        }
        PolyCopy(locator_, connection);

        // Omega's 2t terms only: term j of S sigma is the sum of S_i sigma_(j-i).
        PolyClear(evaluator_);
        for (int j = 0; j < syndromeCount_; ++j) {
            int term = 0;
            for (int i = 0; i <= j; ++i) term ^= GfMultiply(syndromes_[i], locator_[j - i]);
            evaluator_[j] = static_cast<int16_t>(term);
        }
    }

    // Chien search over all 255 non-zero elements: sigma(alpha^i) = 0 puts an
    // error at position 255 - i, so positions come out from 254 down to 0.
    // Returns false as soon as the block is known to be beyond correction:
    // a root at a position past the block's end, or more than t roots (a
    // locator that finds more than t errors may find the wrong ones). A
    // polynomial has no more roots than its degree, so the search ends once
    // it has found that many.
    bool FindErrorPositions() {
        rootCount_ = 0;
        int degree = 0; // of sigma's terms below x^(2t), the ones searched
        for (int j = 1; j < syndromeCount_; ++j)
            if (locator_[j] != 0) degree = j;
        LocatorValues values(locator_, degree);
        for (int i = 1; i <= 255 && rootCount_ < degree; ++i) {
            if (values.Next() != 0) continue;
            if (255 - i >= n_ || rootCount_ == syndromeCount_ / 2) return false;
            roots_[rootCount_++] = static_cast<int16_t>(255 - i);
        }
        return true;
    }

    // sigma(alpha^i) for i = 1, 2, ... in turn, from sigma's terms up to
    // degree: sixteen at a time where the processor has byte shuffles, else
    // term by term. Term j of sigma(alpha^i) is alpha^(log sigma_j + j i):
    // its exponent grows by j from one i to the next, one table read each.
    class LocatorValues {
      public:
        LocatorValues(const Polynomial& sigma, int degree) : sigma_(sigma), degree_(degree) {
#if defined(ZORVIK_BYTE_SHUFFLES)
            vectors_ = HasByteShuffles();
            if (vectors_) return;
#endif
            for (int j = 1; j <= degree; ++j) {
                if (sigma[j] == 0) continue;
                exponent_[terms_] = (detail::kFieldTables.LogTable[sigma[j]] + j) % 255;
                step_[terms_++] = j;
            }
        }

        int Next() {
            ++i_;
#if defined(ZORVIK_BYTE_SHUFFLES)
            if (vectors_) {
                if (i_ == 1 || i_ % 16 == 0)
                    LocatorValuesByVectors(sigma_.data(), degree_, i_ / 16 * 16, block_.data());
                return block_[size_t(i_ % 16)];
            }
#endif
            int value = sigma_[0];
            for (int m = 0; m < terms_; ++m) {
                value ^= detail::kFieldTables.PowerTable[size_t(exponent_[m])];
                exponent_[m] += step_[m];
                if (exponent_[m] >= 255) exponent_[m] -= 255;
            }
            return value;
        }

      private:
        const Polynomial& sigma_;
        const int degree_;
        int i_ = 0;
        bool vectors_ = false;
        std::array<uint8_t, 16> block_{};
        std::array<int, 32> exponent_{}, step_{};
        int terms_ = 0;
    };

    // Locates the errors and applies Forney's values. The block is touched
    // only once every check has passed.
    int16_t CorrectErrorValues() {
        FindErrorLocator();
        if (!FindErrorPositions() || rootCount_ == 0) return -1;

        int16_t corrected = 0;
        for (int r = 0; r < rootCount_; ++r) {
            const int p = roots_[r];
            const int inversePower = 255 - p; // X^-1 = alpha^(255 - p)
            int numerator = 0;
            for (int j = 0; j < workLength_; ++j) {
                numerator ^=
                    GfMultiply(evaluator_[j], tables_.PowerTable[(inversePower * j) % 255]);
            }
            // X^-1 * sigma'(X^-1): syndromes start at alpha^0.
            int denominator = 0;
            for (int j = 1; j < workLength_; j += 2) {
                denominator ^=
                    GfMultiply(locator_[j], tables_.PowerTable[(inversePower * j) % 255]);
            }
            const int value = GfMultiply(numerator, GfInverse(denominator));
            const int index = n_ - 1 - p;
            codewords_[index] = static_cast<int16_t>(codewords_[index] ^ value);
            ++corrected;
        }
        return corrected;
    }

    const FieldTables& tables_;
    CodewordArray& codewords_;
    const int16_t n_;
    const int16_t syndromeCount_; // 2t
    const int16_t workLength_;    // W = 4t
    Polynomial syndromes_;        // S_0 .. S_(2t-1), the rest 0
    Polynomial locator_;          // sigma
    Polynomial evaluator_;        // Omega
    std::array<int16_t, 257> roots_{};
    int16_t rootCount_ = 0;
};

} // namespace

int16_t CorrectBlock(CodewordArray& codewords, int16_t n, int16_t t, int16_t ecCount) {
    if (n < 1 || n > 255 || t < 1 || t > 15 || ecCount < 2 * t || ecCount > n) return -1;
    for (int j = 0; j < n; ++j) {
        if (codewords[j] < 0 || codewords[j] > 255) return -1;
    }

    const CodewordArray received = codewords;
    const int16_t result = BlockDecoder(codewords, n, t).Correct();

    // The root checks alone let some heavily damaged blocks through as a
    // wrong codeword; accept a correction only when every syndrome of the
    // block now vanishes.
    if (result > 0 && !IsCodeword(codewords, n, ecCount)) {
        codewords = received;
        return -1;
    }
    return result;
}

} // namespace zorvik
