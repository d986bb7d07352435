#include "SymbolScan.h"

#include "LocalThreshold.h"
#include "PerspectiveGrid.h"
#include "SecondSearch.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace zorvik {
namespace {

// Work limits: the candidates a pass pairs into triples (the pairing grows
// with their cube), the triples a pass tries, and decoder calls in all. A
// pass that reads a symbol is followed by another without that symbol's
// finders, so a picture of many symbols needs no larger limits.
constexpr size_t kCandidatesPerPass = 24;
constexpr size_t kTriplesPerPass = 12;
constexpr int kMaxDecodes = 1200;
// Up to this many pixels both planes are searched at once; above it one
// after the other, so that a huge picture holds one plane at a time.
constexpr size_t kTwoPlanesAtOnce = size_t(1) << 25;

double Cross(PlanePoint o, PlanePoint a, PlanePoint b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Inside or on the edge of a convex quadrilateral of either turn.
bool Inside(const std::array<PlanePoint, 4>& quad, PlanePoint p) {
    bool negative = false, positive = false;
    for (size_t i = 0; i < 4; ++i) {
        const double side = Cross(quad[i], quad[(i + 1) % 4], p);
        negative |= side < 0;
        positive |= side > 0;
    }
    return !(negative && positive);
}

PlanePoint Centre(const std::array<PlanePoint, 4>& quad) {
    return {(quad[0].x + quad[1].x + quad[2].x + quad[3].x) / 4,
            (quad[0].y + quad[1].y + quad[2].y + quad[3].y) / 4};
}

class Scan {
  public:
    explicit Scan(const GreyImage& grey) : reader_(grey, engine_, kMaxDecodes) {}

    // Each binarisation's finders in both polarities; the block-wise one
    // finds what uneven lighting or a busy background hides from the other.
    // Finding a plane's finders is over half the work and needs nothing
    // from the other plane, so the block-wise plane's are found on a second
    // thread meanwhile; its triples are still read after the first plane's,
    // so the outcome is the same as on one thread.
    void Run(const GreyImage& grey, int threads) {
        const std::array<uint64_t, 256> histogram = GreyHistogram(grey);
        SearchAhead local(
            [&grey, &histogram](const std::atomic<bool>* stop) {
                return LocateFinders(LocalRows(grey, histogram), {}, stop);
            },
            threads > 1 && grey.pixels.size() <= kTwoPlanesAtOnce);
        Plane(LocateFinders(GlobalRows(grey, histogram)));
        if (!reader_.Exhausted()) Plane(local.Take());
    }

    std::vector<FoundSymbol> found;

  private:
    struct Pick {
        FinderTriple triple;
        bool lightOnDark;
    };

    void Plane(const FinderPools& pools) {
        for (bool lightOnDark : {false, true}) {
            while (Pass(pools[lightOnDark ? 1 : 0], lightOnDark)) {
            }
            if (reader_.Exhausted()) return;
        }
    }

    // Tries the best triples of the finders no symbol read so far covers;
    // true when it read a symbol, so that another pass may pair the rest.
    bool Pass(const std::vector<FinderCandidate>& pool, bool lightOnDark) {
        std::vector<FinderCandidate> free;
        for (const FinderCandidate& f : pool)
            if (!Covered(f)) free.push_back(f);
        bool read = false;
        for (const FinderTriple& t : ChooseTriples(free, kTriplesPerPass, kCandidatesPerPass)) {
            if (t.score >= kHopelessTripleScore) break;
            if (Tried(t, lightOnDark)) continue;
            tried_.push_back({t, lightOnDark});
            // A symbol read earlier in this pass may cover these finders.
            if (Covered(t.topLeft) || Covered(t.topRight) || Covered(t.bottomLeft)) continue;
            DecodeResult result;
            if (std::optional<GridRead> grid = reader_.Read(t, lightOnDark, result))
                read |= Add(*grid, result);
            if (reader_.Exhausted()) return false;
        }
        return read;
    }

    bool Covered(const FinderCandidate& f) const {
        return std::any_of(found.begin(), found.end(),
                           [&](const FoundSymbol& s) { return Inside(s.corners, f.centre); });
    }

    bool Tried(const FinderTriple& t, bool lightOnDark) const {
        return std::any_of(tried_.begin(), tried_.end(), [&](const Pick& p) {
            return p.lightOnDark == lightOnDark && SameTriple(p.triple, t);
        });
    }

    // The symbol's corners through its grid; a symbol whose middle lies in
    // one already read is that one again.
    bool Add(GridRead& grid, const DecodeResult& result) {
        const double n = grid.modules;
        const PlanePoint topRight = grid.mirrored ? PlanePoint{0, n} : PlanePoint{n, 0};
        const PlanePoint bottomLeft = grid.mirrored ? PlanePoint{n, 0} : PlanePoint{0, n};
        FoundSymbol symbol;
        symbol.corners = {grid.map.Map({0, 0}), grid.map.Map(topRight), grid.map.Map({n, n}),
                          grid.map.Map(bottomLeft)};
        const PlanePoint middle = Centre(symbol.corners);
        if (std::any_of(found.begin(), found.end(),
                        [&](const FoundSymbol& s) { return Inside(s.corners, middle); }))
            return false;
        symbol.result = result;
        symbol.text = engine_.GetDecodedText();
        symbol.matrix = std::move(grid.matrix);
        found.push_back(std::move(symbol));
        return true;
    }

    DecodeEngine engine_;
    TripleReader reader_;
    std::vector<Pick> tried_;
};

} // namespace

std::vector<FoundSymbol> FindAllSymbols(const GreyImage& grey, int threads) {
    if (grey.width < 21 || grey.height < 21 ||
        grey.pixels.size() != size_t(grey.width) * size_t(grey.height))
        return {};
    Scan scan(grey);
    try {
        scan.Run(grey, threads);
    } catch (const std::exception&) {
        // Out of memory on a huge picture: what was read so far stands.
    }
    std::vector<FoundSymbol> symbols = std::move(scan.found);
    std::stable_sort(
        symbols.begin(), symbols.end(), [](const FoundSymbol& a, const FoundSymbol& b) {
            // Whole pixels, so that a row of symbols reads left to right
            // whatever fraction of a pixel their corners differ by.
            const double ay = std::round(a.corners[0].y), by = std::round(b.corners[0].y);
            return ay != by ? ay < by : a.corners[0].x < b.corners[0].x;
        });
    return symbols;
}

} // namespace zorvik
