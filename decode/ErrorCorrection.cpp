#include "ErrorCorrection.h"

#include "GaloisField.h"
#include "GaloisKernels.h"

#include <algorithm>
#include <array>

namespace zorvik {

namespace {

// True when all ecCount syndromes vanish, i.e. the block is a codeword of the
// generator with roots alpha^0 .. alpha^(ecCount - 1).
bool IsCodeword(const CodewordArray& codewords, int n, int ecCount) {
    std::array<int16_t, 256> syndromes;
    EvaluateSyndromes(codewords.data(), n, ecCount, syndromes.data());
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
        EvaluateSyndromes(codewords_.data(), n_, syndromeCount_, syndromes_.data());
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
        // sigma(alpha^i) sixteen at a time: i = 0..15, then 16..31, ...
        std::array<uint8_t, 16> values{};
        for (int i = 1; i <= 255 && rootCount_ < degree; ++i) {
            if (i == 1 || i % 16 == 0)
                EvaluateSixteen(locator_.data(), degree, i / 16 * 16, values.data());
            if (values[size_t(i % 16)] != 0) continue;
            if (255 - i >= n_ || rootCount_ == syndromeCount_ / 2) return false;
            roots_[rootCount_++] = static_cast<int16_t>(255 - i);
        }
        return true;
    }

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
