#include "SecondSearch.h"

#include "FinderLocator.h"
#include "LocalThreshold.h"
#include "PerspectiveGrid.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

namespace zorvik {
namespace {

// Work limits: candidate triples per binarisation and polarity, and decoder
// calls in all. A picture without a symbol rarely yields a triple at all;
// a busy one stops at these.
constexpr size_t kTriplesPerPlane = 6;
constexpr int kMaxDecodes = 400;
// Below this share of correct timing modules a grid is not worth decoding.
constexpr double kMinTiming = 0.6;
// Below this share on a grid, judged from the timing modules alone, a size is
// not worth sampling in full: chance alone gives one half.
constexpr double kMinTimingAtSize = 0.55;
// Below this share of finder modules (FinderAgreementAt) a size's grid
// does not lie over finders: grids that decode show 0.9 and more, the
// others mostly under 0.7.
constexpr double kMinFinders = 0.8;
// Below this triple score (FinderTriple::score) a triple is convincing
// enough to try before a second binarisation.
constexpr double kConvincingScore = 0.5;
// Finders whose module sizes differ by more than this factor are taken for
// a steep keystone, where the far side's are the smaller.
constexpr double kSteepSizeRatio = 1.25;
// The finder widths (7 modules) in pixels that a full-size pass after a
// half-size one looks for: modules of 1.7 to 4 pixels.
constexpr FinderWidths kSmallFinders = {12, 28};
// Up to this many pixels (an 8K screen) the full-size pass follows a
// half-size one: above it, its planes and runs would cost gigabytes.
constexpr size_t kFullSizePassPixels = size_t(1) << 25;
// Longest side above which finders are searched at half size.
constexpr int kHalveAbove = 2048;

class Search {
  public:
    Search(const GreyImage& grey, DecodeEngine& engine, DecodeResult& result, int threads,
           const std::atomic<bool>* stop)
        : grey_(grey), result_(result), reader_(grey, engine, kMaxDecodes), threads_(threads),
          stop_(stop) {}

    bool Run() {
        // Large pictures are searched for finders at half size first (a
        // 180-pixel symbol still has over 2 pixels per module there); the
        // grid is sampled at full size.
        const bool halve = std::max(grey_.width, grey_.height) > kHalveAbove;
        // Halving blurs modules of under about 3 pixels into their
        // neighbours: a small symbol in a large picture (2 pixels a module
        // on a 4K screen) is looked for once more at full size, with the
        // plain threshold that a screen needs, among finders of such
        // modules alone (the larger ones showed at half size, the smaller
        // are too small to sample). That search is the longest and needs
        // nothing from the others, so it runs on a second thread from the
        // start; its finders still come last, so the outcome is the same.
        std::optional<SearchAhead> small;
        if (halve && grey_.pixels.size() <= kFullSizePassPixels)
            small.emplace(
                [this](const std::atomic<bool>* stop) {
                    return LocateFinders(GlobalRows(grey_, GreyHistogram(grey_)), kSmallFinders,
                                         stop);
                },
                threads_ > 1);
        const GreyImage half = halve ? HalveImage(grey_) : GreyImage{};
        const GreyImage& searched = halve ? half : grey_;
        const double scale = halve ? 2 : 1;
        // The plain threshold first: most pictures need no other, and the
        // block-wise one costs as much again. Its convincing triples are
        // tried at once; the rest wait for the block-wise plane's, and all
        // go in order of score.
        const std::array<uint64_t, 256> histogram = GreyHistogram(searched);
        Queue(LocateFinders(GlobalRows(searched, histogram), {}, stop_), scale);
        if (TryQueued(kConvincingScore)) return true;
        if (reader_.Exhausted()) return false;
        Queue(LocateFinders(LocalRows(searched, histogram), {}, stop_), scale);
        if (TryQueued(kHopelessTripleScore)) return true;
        if (!small || reader_.Exhausted()) return false;
        std::optional<FinderPools> late = small->TakeUnless(stop_);
        if (!late) return false;
        Queue(std::move(*late), 1);
        return TryQueued(kHopelessTripleScore);
    }

  private:
    // A triple and the polarity it was found in: queued, then tried.
    struct Pick {
        FinderTriple triple;
        bool lightOnDark;
    };

    // Queues the triples of a plane's finders in both polarities that are
    // neither queued nor tried yet; scale takes the plane's coordinates to
    // the picture's.
    void Queue(FinderPools found, double scale) {
        for (bool lightOnDark : {false, true}) {
            std::vector<FinderCandidate>& finders = found[lightOnDark ? 1 : 0];
            for (FinderCandidate& f : finders) {
                f.centre.x *= scale;
                f.centre.y *= scale;
                f.moduleSize *= scale;
            }
            for (const FinderTriple& t : ChooseTriples(finders, kTriplesPerPlane))
                if (!Contains(tried_, t, lightOnDark) && !Contains(queue_, t, lightOnDark))
                    queue_.push_back({t, lightOnDark});
        }
        std::stable_sort(queue_.begin(), queue_.end(), [](const Pick& a, const Pick& b) {
            return a.triple.score < b.triple.score;
        });
    }

    // Tries the queued triples scoring below limit, most square-like first.
    bool TryQueued(double limit) {
        while (!queue_.empty() && queue_.front().triple.score < limit && !Stopped()) {
            const Pick candidate = queue_.front();
            queue_.erase(queue_.begin());
            tried_.push_back(candidate);
            if (reader_.Read(candidate.triple, candidate.lightOnDark, result_)) return true;
            if (reader_.Exhausted()) return false;
        }
        return false;
    }

    bool Stopped() const { return stop_ && stop_->load(std::memory_order_relaxed); }

    // The same triple, from another plane.
    static bool Contains(const std::vector<Pick>& queue, const FinderTriple& t, bool lightOnDark) {
        return std::any_of(queue.begin(), queue.end(), [&](const Pick& old) {
            return old.lightOnDark == lightOnDark && SameTriple(old.triple, t);
        });
    }

    const GreyImage& grey_;
    DecodeResult& result_;
    TripleReader reader_;
    const int threads_;
    const std::atomic<bool>* stop_;
    std::vector<Pick> queue_, tried_;
};

} // namespace

// Sizes in order of likelihood: the estimate, a version read from the grid
// it gives, then the neighbouring versions.
std::optional<GridRead> TripleReader::Read(const FinderTriple& t, bool lightOnDark,
                                           DecodeResult& result) {
    result_ = &result;
    read_.reset();
    const int estimate = EstimateModuleCount(t);
    std::vector<int> sizes;
    auto add = [&](int n) {
        if (n < 21 || n > 177) return;
        for (int s : sizes)
            if (s == n) return;
        sizes.push_back(n);
    };
    if (estimate >= 41) {
        if (const std::optional<Perspective> map = GridFromFinders(t, std::max(estimate, 45), {}))
            if (const int v = ReadVersionBlocks(
                    SampleCorners(grey_, *map, std::max(estimate, 45), lightOnDark)))
                add(17 + 4 * v);
    }
    for (int delta : {0, 4, -4, 8, -8}) add(estimate + delta);
    // Row and column 6 lie next to the finders, where the fourth corner
    // hardly moves them: a triple whose timing modules alternate at none of
    // its sizes on either guessed grid is not a symbol, and the alignment
    // search, the dearest step, is spared. Most triples in a busy picture
    // end here.
    struct Guesses {
        std::optional<Perspective> parallelogram, weighted;
        double timing = 0;  // the better grid's
        double finders = 0; // the better grid's
    };
    // Finders of near equal size are seen near head-on, where the
    // parallelogram's guesses hold and the size-weighted ones add nothing.
    const double sizes3[] = {t.topLeft.moduleSize, t.topRight.moduleSize, t.bottomLeft.moduleSize};
    const bool steep = *std::max_element(sizes3, sizes3 + 3) >
                       kSteepSizeRatio * *std::min_element(sizes3, sizes3 + 3);
    // Each size's guesses when first wanted: most triples that decode do so
    // at their first size, before the others are looked at.
    std::vector<std::optional<Guesses>> guesses(sizes.size());
    auto guessed = [&](size_t i) -> const Guesses& {
        if (guesses[i]) return *guesses[i];
        const int n = sizes[i];
        Guesses& g = guesses[i].emplace();
        g.parallelogram = GridFromFinders(t, n, std::nullopt);
        if (steep) g.weighted = GridFromFinders(t, n, std::nullopt, CornerGuess::SizeWeighted);
        const std::optional<Perspective>* maps[] = {&g.parallelogram, &g.weighted};
        for (const std::optional<Perspective>* map : maps)
            if (*map)
                g.finders = std::max(g.finders, FinderAgreementAt(grey_, **map, n, lightOnDark));
        // A size without the finders is not read whatever its timing shows.
        if (g.finders < kMinFinders) return g;
        for (const std::optional<Perspective>* map : maps)
            if (*map)
                g.timing = std::max(g.timing, TimingAgreementAt(grey_, **map, n, lightOnDark));
        return g;
    };
    // The finders themselves, seen through the grid, turn away the rest.
    bool any = false;
    for (size_t i = 0; i < sizes.size() && !any; ++i) {
        const Guesses& g = guessed(i);
        any = g.timing >= kMinTimingAtSize && g.finders >= kMinFinders;
    }
    if (!any) return std::nullopt;
    for (size_t i = 0; i < sizes.size(); ++i) {
        // The alignment pattern pins the fourth corner; without one, the
        // parallelogram's corner, then the corner that best registers. A
        // size whose timing modules alternate on none of the first grids is
        // not sampled in full.
        const int n = sizes[i];
        const Guesses& g = guessed(i);
        if (!g.parallelogram || g.finders < kMinFinders) continue;
        const std::optional<PlanePoint> alignment = FindAlignment(grey_, t, n, lightOnDark);
        const std::optional<Perspective> pinned =
            alignment ? GridFromFinders(t, n, alignment) : std::nullopt;
        if (g.timing < kMinTimingAtSize &&
            !(pinned && TimingAgreementAt(grey_, *pinned, n, lightOnDark) >= kMinTimingAtSize))
            continue;
        if (pinned && TryGrid(*pinned, n, lightOnDark)) return read_;
        if (TryGrid(*g.parallelogram, n, lightOnDark)) return read_;
        if (!alignment)
            if (const auto map = RefineFourthCorner(grey_, t, n))
                if (TryGrid(*map, n, lightOnDark)) return read_;
        // A steep keystone puts the alignment pattern and the corner far
        // from the parallelogram's: where the finders' sizes put them.
        if (steep) {
            const std::optional<PlanePoint> far =
                FindAlignment(grey_, t, n, lightOnDark, CornerGuess::SizeWeighted);
            if (far && (!alignment || std::hypot(far->x - alignment->x, far->y - alignment->y) > 1))
                if (const auto map = GridFromFinders(t, n, far);
                    map && TryGrid(*map, n, lightOnDark))
                    return read_;
            if (g.weighted && TryGrid(*g.weighted, n, lightOnDark)) return read_;
        }
        if (Exhausted()) return std::nullopt;
    }
    return std::nullopt;
}

bool TripleReader::TryGrid(const Perspective& map, int n, bool lightOnDark) {
    const std::vector<double> samples = SampleFootprints(grey_, map, n);
    const FootprintLevels levels = MeasureFootprints(samples);
    ModuleMatrix previous;
    for (ModuleThreshold rule : {ModuleThreshold::Global, ModuleThreshold::Local}) {
        ModuleMatrix matrix = ThresholdFootprints(samples, n, levels, rule, lightOnDark);
        if (matrix == previous || TimingAgreement(matrix) < kMinTiming) continue;
        // A mirror image comes out transposed from the finder order.
        if (TryMatrix(matrix)) {
            read_ = GridRead{map, n, false, matrix};
            return true;
        }
        if (ModuleMatrix mirror = Transpose(matrix); TryMatrix(mirror)) {
            read_ = GridRead{map, n, true, std::move(mirror)};
            return true;
        }
        previous = std::move(matrix);
    }
    return false;
}

bool TripleReader::TryMatrix(const ModuleMatrix& matrix) {
    if (Exhausted()) return false;
    ++decodes_;
    SymbolBox box;
    box.ModulesAcross = box.ModulesDown = int16_t(matrix.size());
    *result_ = DecodeResult{};
    return engine_.DecodeSymbol(matrix, box, *result_).empty();
}

std::string SecondSearch(const GreyImage& grey, DecodeEngine& engine, DecodeResult& result,
                         int threads, const std::atomic<bool>* stop) {
    try {
        if (grey.width >= 21 && grey.height >= 21 &&
            grey.pixels.size() == size_t(grey.width) * size_t(grey.height) &&
            Search(grey, engine, result, threads, stop).Run())
            return "";
    } catch (const std::exception&) {
        // Out of memory on a huge picture, or a fault in a candidate: no symbol.
    }
    result = DecodeResult{};
    return kSecondSearchFailed;
}

} // namespace zorvik
