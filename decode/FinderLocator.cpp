#include "FinderLocator.h"

#include "FinderKernels.h"
#include "PixelLineKernels.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <type_traits>

namespace zorvik {
namespace {

double Distance(PlanePoint a, PlanePoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Runs in 1:1:3:1:1 within a generous tolerance: blur and a pixel or two per
// module shift every edge by up to a pixel, hence the half-pixel allowance.
// Run i may be off its kFinderModules[i] modules by 0.6 of a module for a
// side run, 1.3 for the middle one, and 0.75 pixel.
constexpr int Tenths(size_t i) {
    return kFinderModules[i] == kFinderMiddle ? 13 : 6;
}

// |run - w total / 7| <= tenths / 10 * total / 7 + 0.75 for a run of w
// modules, times 70: |70 run - 10 w total| <= tenths total + 52.5, and as the
// left side is whole, <= tenths total + 52. Whole numbers, so that no
// rounding decides a border case; 64 bits, as a line may be millions long.
bool RunFits(size_t i, int run, int total) {
    const int64_t off = int64_t(10 * kFinderTotal) * run - int64_t(10 * kFinderModules[i]) * total;
    return std::abs(off) <= int64_t(Tenths(i)) * total + 52;
}

// The tolerance alone would take five equal runs of two pixels for a finder
// of modules of 1.4: text of two-pixel strokes is full of them. A finder's
// middle run, three modules to the others' one, is the longest however
// blurred. Inlined, so that a scan's runs stay in registers.
[[gnu::always_inline]] inline bool RunsFit(const std::array<int, 5>& runs) {
    const int total = runs[0] + runs[1] + runs[2] + runs[3] + runs[4];
    if (total < kFinderTotal) return false;
    if (std::min({runs[0], runs[1], runs[3], runs[4]}) <= 0) return false;
    if (runs[2] <= std::max({runs[0], runs[1], runs[3], runs[4]})) return false;
    return RunFits(2, runs[2], total) && RunFits(0, runs[0], total) && RunFits(1, runs[1], total) &&
           RunFits(3, runs[3], total) && RunFits(4, runs[4], total);
}

// The finders found in one polarity, with a grid of where their centres lie,
// so that merging a hit looks only at the candidates near it.
class Candidates {
  public:
    Candidates(int width, int height)
        : columns_(width / kCell + 1), rows_(height / kCell + 1),
          cells_(size_t(columns_) * size_t(rows_)) {}

    // Duplicates of one finder lie within its 3 x 3 centre: a hit is merged
    // into the earliest candidate it matches, as a running mean weighted by
    // hits, else it starts a candidate of its own.
    void Add(PlanePoint centre, double moduleSize) {
        // A match's module size is at most twice this one, so its centre
        // lies within three of these modules.
        const double reach = 3 * moduleSize + 1;
        const int left = Cell(centre.x - reach, columns_), right = Cell(centre.x + reach, columns_);
        const int top = Cell(centre.y - reach, rows_), bottom = Cell(centre.y + reach, rows_);
        size_t first = found_.size();
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                for (uint32_t i : cells_[size_t(y) * size_t(columns_) + size_t(x)])
                    if (i < first && Matches(found_[i], centre, moduleSize)) first = i;
        if (first == found_.size()) {
            found_.push_back({centre, moduleSize, 1});
            cells_[CellOf(centre)].push_back(uint32_t(first));
            return;
        }
        FinderCandidate& c = found_[first];
        const size_t before = CellOf(c.centre);
        const double n = c.hits;
        c.centre.x = (c.centre.x * n + centre.x) / (n + 1);
        c.centre.y = (c.centre.y * n + centre.y) / (n + 1);
        c.moduleSize = (c.moduleSize * n + moduleSize) / (n + 1);
        ++c.hits;
        if (const size_t after = CellOf(c.centre); after != before) {
            std::vector<uint32_t>& old = cells_[before];
            old.erase(std::find(old.begin(), old.end(), uint32_t(first)));
            cells_[after].push_back(uint32_t(first));
        }
    }

    std::vector<FinderCandidate> Take() { return std::move(found_); }

  private:
    static constexpr int kCell = 32;

    static bool Matches(const FinderCandidate& c, PlanePoint centre, double moduleSize) {
        const double ratio = moduleSize / c.moduleSize;
        if (ratio < 0.5 || ratio > 2) return false;
        return Distance(c.centre, centre) <= 1.5 * std::max(moduleSize, c.moduleSize);
    }
    static int Cell(double v, int count) {
        return std::clamp(int(std::floor(v / kCell)), 0, count - 1);
    }
    size_t CellOf(PlanePoint p) const {
        return size_t(Cell(p.y, rows_)) * size_t(columns_) + size_t(Cell(p.x, columns_));
    }

    const int columns_, rows_;
    std::vector<std::vector<uint32_t>> cells_;
    std::vector<FinderCandidate> found_;
};

// Whether the caller has called the search off; read at every line, so that
// a search called off ends within a line's work.
struct Stop {
    const std::atomic<bool>* flag = nullptr;
    bool operator()() const { return flag && flag->load(std::memory_order_relaxed); }
};

// The runs of every line of a plane: line i's runs start at
// starts[offset[i]] .. starts[offset[i + 1] - 2], and starts[offset[i + 1] -
// 1] is the line's length. The first run has the line's first value, and
// the values alternate from there. Positions are int16_t where the lines
// are at most 32767 long: half the memory to walk, and to miss in the cache.
template <typename Position> struct LineRuns {
    std::vector<size_t> offset;
    std::vector<Position, PictureAllocator<Position>> starts; // filled as far as offset says
    std::vector<uint8_t> first;

    std::span<const Position> Line(int i) const {
        return {starts.data() + offset[size_t(i)], starts.data() + offset[size_t(i) + 1]};
    }
};

template <typename Position> struct PlaneRuns { LineRuns<Position> rows, columns; };

// The runs of the plane's rows and of its columns, from one reading of it
// row by row, each row against the one above while both are in the cache:
// where they differ, a run of those columns starts. Reading down the
// columns would miss the cache on every pixel. Fewer lines when stopped.
template <typename Position> PlaneRuns<Position> RunsOfPlane(PlaneRows& plane, Stop stop) {
    const int w = plane.width, h = plane.height;
    // Rows made on the way go to the two rooms in turn, so that the row
    // above is still at hand.
    std::array<std::vector<uint8_t>, 2> rooms;
    for (std::vector<uint8_t>& room : rooms) room.resize(size_t(w));
    PlaneRuns<Position> runs;
    LineRuns<Position>& rows = runs.rows;
    rows.offset.reserve(size_t(h) + 1);
    rows.first.reserve(size_t(h));
    // At most one start per pixel and one end per line, and the slack of
    // the last line's changes; left unset, so that only what is written is
    // ever touched. The same for the columns' changes, row by row:
    // changes[changesEnd[y - 1] .. changesEnd[y]) are the columns whose pixel
    // in row y differs from the one above.
    rows.starts.resize(size_t(h) * (size_t(w) + 1) + kChangeSlack);
    std::vector<Position, PictureAllocator<Position>> changes;
    changes.resize(size_t(w) * size_t(h) + kChangeSlack);
    std::vector<size_t> changesEnd(size_t(h), 0);
    // Each column's starts: 0, its changes, and its length.
    std::vector<size_t> next(size_t(w), 2);
    Position* out = rows.starts.data();
    rows.offset.push_back(0);
    LineRuns<Position>& columns = runs.columns;
    int done = 0;
    const uint8_t* above = nullptr;
    for (; done < h && !stop(); ++done) {
        const uint8_t* line = plane.Row(done, rooms[size_t(done) & 1].data());
        if (done == 0) columns.first.assign(line, line + w);
        Position* const lineStart = out;
        rows.first.push_back(line[0]);
        *out++ = 0;
        out = FindChanges(line, w, out);
        *out++ = Position(w);
        rows.offset.push_back(rows.offset.back() + size_t(out - lineStart));
        if (done > 0) {
            Position* const from = changes.data() + changesEnd[size_t(done) - 1];
            Position* const end = FindDifferences(line, above, w, from);
            for (const Position* x = from; x != end; ++x) ++next[size_t(*x)];
            changesEnd[size_t(done)] = size_t(end - changes.data());
        }
        above = line;
    }
    columns.offset.resize(size_t(w) + 1);
    for (size_t x = 0; x < size_t(w); ++x) columns.offset[x + 1] = columns.offset[x] + next[x];
    columns.starts.resize(columns.offset.back());
    if (done == 0) columns.first.assign(size_t(w), 0);
    Position* const starts = columns.starts.data();
    for (size_t x = 0; x < size_t(w); ++x) {
        starts[columns.offset[x]] = 0;
        next[x] = columns.offset[x] + 1;
    }
    for (int y = 1; y < done; ++y)
        for (size_t k = changesEnd[size_t(y) - 1]; k < changesEnd[size_t(y)]; ++k)
            starts[next[size_t(changes[k])]++] = Position(y);
    for (size_t x = 0; x < size_t(w); ++x) starts[next[x]] = Position(h);
    return runs;
}

// Whether widths take in every window of a line of this length: the
// proportions alone make a window at least kFinderTotal across.
bool EveryWidth(FinderWidths widths, int length) {
    return widths.least <= kFinderTotal && widths.most >= length;
}

template <typename Position> class Locator {
  public:
    Locator(PlaneRows& plane, FinderWidths widths, Stop stop)
        : widths_(widths), stop_(stop), found_{Candidates(plane.width, plane.height),
                                               Candidates(plane.width, plane.height)},
          runs_(RunsOfPlane<Position>(plane, stop)), rows_(runs_.rows), columns_(runs_.columns),
          flags_(size_t(std::max(plane.width, plane.height)) + 8, 0) {}

    FinderPools Run() {
        // Once stopped always stopped: runs made before this test are whole.
        if (stop_()) return {};
        FindColumnFits();
        ScanRows();
        ScanColumns();
        FinderPools found = {found_[0].Take(), found_[1].Take()};
        for (std::vector<FinderCandidate>& list : found)
            std::sort(
                list.begin(), list.end(),
                [](const FinderCandidate& a, const FinderCandidate& b) { return a.hits > b.hits; });
        return found;
    }

  private:
    // The windows of five runs in 1:1:3:1:1 (RunsFit) of every line one way,
    // each as the span [from, to) of its middle run: a hit from the other
    // way crosses such a line, and its cross-check there passes only inside
    // one of them, which a look at these few tells without reading the
    // line's runs, far away in memory (a cache miss a hit). Line i's windows are
    // fits[offset[i] .. offset[i + 1] - 1), in order along it, and then a
    // stop that lies beyond every line. looks[i] is the window the last
    // look along line i got to, copied, so that a look that does not move
    // on reads nothing else: the lines the other way are scanned in order.
    struct Fit {
        Position from, to;
        int window; // the window's first run in the line
    };
    struct LineFits {
        // Lines of 16-bit positions hold under 2^30 pixels, and so fits.
        using Index = std::conditional_t<sizeof(Position) == 2, uint32_t, size_t>;
        struct Look {
            Position from, to;
            Index next; // the fit after it
        };
        std::vector<Fit> fits;
        std::vector<size_t> offset;
        std::vector<Look> looks;

        void Add(std::span<const Position> starts, size_t k) {
            fits.push_back({starts[k + 2], starts[k + 3], int(k)});
        }
        // Ends the line that Add was called for last (or for none).
        void EndLine() {
            if (offset.empty()) offset.push_back(0);
            fits.push_back({kBeyond, kBeyond, -1});
            offset.push_back(fits.size());
        }
        // After the last EndLine: lines up to count, the rest without fits.
        void Finish(size_t count) {
            while (offset.size() < count + 1) EndLine();
            looks.resize(count);
            for (size_t i = 0; i < count; ++i) {
                const Fit& first = fits[offset[i]];
                looks[i] = {first.from, first.to, Index(offset[i] + 1)};
            }
        }
        // Whether pos lies in a window's middle run of line i; pos must not
        // go back from the last call's for the same line.
        bool Holds(int i, int pos) {
            Look& look = looks[size_t(i)];
            while (look.to <= pos) {
                const Fit& f = fits[look.next++];
                look.from = f.from, look.to = f.to;
            }
            return look.from <= pos;
        }
        // Line i's windows, without the stop.
        std::span<const Fit> Line(int i) const {
            return {fits.data() + offset[size_t(i)], fits.data() + offset[size_t(i) + 1] - 1};
        }
    };
    static constexpr Position kBeyond = std::numeric_limits<Position>::max();

    // Calls fit(k) for each window of five runs of the line that is within
    // widths and fits, in order, k being its first run. Those whose middle
    // run is the longest first: on a busy screen that turns seven in eight
    // away; and, for a search of few widths, the widths with them, which
    // turn most of a small-finder pass's windows away for less than the
    // proportions.
    template <typename Fits>
    void FittingWindows(std::span<const Position> starts, FinderWidths widths, Fits&& fit) {
        if (starts.size() < 6) return;
        const int windows = int(starts.size()) - 5;
        if (EveryWidth(widths, starts.back()))
            MarkLongestMiddles(starts.data(), windows, flags_.data());
        else
            MarkLongestMiddlesWithin(starts.data(), windows, widths.least, widths.most,
                                     flags_.data());
        for (int k = NextFlagged(flags_.data(), 0, windows); k < windows;
             k = NextFlagged(flags_.data(), k + 1, windows)) {
            const Position* s = &starts[size_t(k)];
            const std::array<int, 5> runs = {s[1] - s[0], s[2] - s[1], s[3] - s[2], s[4] - s[3],
                                             s[5] - s[4]};
            if (RunsFit(runs)) fit(size_t(k));
        }
    }

    void FindColumnFits() {
        const size_t count = columns_.offset.size() - 1;
        columnFits_.offset.reserve(count + 1);
        for (size_t x = 0; x < count && !stop_(); ++x) {
            const std::span<const Position> starts = columns_.Line(int(x));
            FittingWindows(starts, FinderWidths{}, [&](size_t k) { columnFits_.Add(starts, k); });
            columnFits_.EndLine();
        }
        columnFits_.Finish(count);
    }

    // Each window in proportion and as wide as a finder looked for is a
    // possible crossing of one: the rows' found as they are scanned, the
    // columns' among their fits. A scan of rows for finders of any width
    // meets every row window in proportion: kept, they turn column hits
    // away as the columns' turn row hits away.
    void ScanRows() {
        crossings_.assign(columns_.offset.size() - 1, Crossing{});
        const size_t count = rows_.offset.size() - 1;
        keepRowFits_ = EveryWidth(widths_, int(columns_.offset.size() - 1)); // a row's length
        for (int y = 0; y < int(count) && !stop_(); ++y) {
            const std::span<const Position> starts = rows_.Line(y);
            FittingWindows(starts, widths_, [&](size_t k) {
                if (keepRowFits_) rowFits_.Add(starts, k);
                Hit(rows_, y, k, false);
            });
            if (keepRowFits_) rowFits_.EndLine();
        }
        if (keepRowFits_) rowFits_.Finish(count);
    }

    void ScanColumns() {
        crossings_.assign(rows_.offset.size() - 1, Crossing{});
        for (int x = 0; x + 1 < int(columns_.offset.size()) && !stop_(); ++x)
            for (const Fit& fit : columnFits_.Line(x)) Hit(columns_, x, size_t(fit.window), true);
    }

    // Window k of line `line`, which fits, if as wide as a finder looked
    // for: of the polarity whose dark value its first run has.
    void Hit(const LineRuns<Position>& lines, int line, size_t k, bool column) {
        const std::span<const Position> starts = lines.Line(line);
        const int total = starts[k + 5] - starts[k];
        if (total < widths_.least || total > widths_.most) return;
        const size_t polarity = (lines.first[size_t(line)] ^ (k & 1)) == 1 ? 0 : 1;
        dark_ = polarity == 0 ? 1 : 0;
        const double middle = (starts[k + 2] + starts[k + 3]) / 2.0;
        if (column)
            Confirm(line + 0.5, middle, total, true, found_[polarity]);
        else
            Confirm(middle, line + 0.5, total, false, found_[polarity]);
    }

    // A line as a scan last crossed it: the run found there, and what was
    // made of the run last checked, for which window limit and polarity. A
    // glyph's stroke is crossed by row after row of the same window.
    struct Crossing {
        double centre = -1;
        int run = 0, checkedRun = -1; // a line has fewer runs than pixels
        int limit = 0, total = 0;
        uint8_t dark = 2;
    };

    // The runs through (x, y) along one axis: the dark centre run and two
    // runs on either side (cut short by the border), none longer than limit.
    // Returns the centre of the centre run along that axis, or a negative
    // value when the runs do not fit. crossing, when given, is this line's
    // for a scan that crosses it in order: stepping on from the run found
    // last time misses the cache and the branch predictor far less than a
    // binary search does, and a run checked last time with the same limit
    // and polarity gives what it gave.
    double CrossCheck(int x, int y, bool vertical, int limit, int& total,
                      Crossing* crossing = nullptr) const {
        const LineRuns<Position>& lines = vertical ? columns_ : rows_;
        const int fixed = vertical ? x : y, pos = vertical ? y : x;
        const std::span<const Position> starts = lines.Line(fixed);
        // The run holding pos: the last start at or before it.
        long j;
        if (crossing && starts[size_t(crossing->run)] <= pos) {
            j = crossing->run;
            while (j + 2 < long(starts.size()) && starts[size_t(j) + 1] <= pos) ++j;
        } else {
            j = long(std::upper_bound(starts.begin(), starts.end() - 1, pos) - starts.begin()) - 1;
        }
        if (!crossing) return CheckRun(lines, fixed, j, limit, total);
        crossing->run = int(j);
        if (crossing->checkedRun != j || crossing->limit != limit || crossing->dark != dark_) {
            crossing->centre = CheckRun(lines, fixed, j, limit, crossing->total);
            crossing->checkedRun = int(j), crossing->limit = limit, crossing->dark = dark_;
        }
        total = crossing->total;
        return crossing->centre;
    }

    // CrossCheck's test of run j of line fixed as the centre run.
    double CheckRun(const LineRuns<Position>& lines, int fixed, long j, int limit,
                    int& total) const {
        const std::span<const Position> starts = lines.Line(fixed);
        if ((lines.first[size_t(fixed)] ^ uint8_t(j & 1)) != dark_) return -1;
        auto length = [&](long k) {
            return k < 0 || k + 1 >= long(starts.size())
                       ? 0
                       : starts[size_t(k) + 1] - starts[size_t(k)];
        };
        const std::array<int, 5> runs = {length(j - 2), length(j - 1), length(j), length(j + 1),
                                         length(j + 2)};
        // RunsFit wants centre <= 4.3 unit + 0.75 with 7 unit = centre + sides,
        // so four side runs of at most limit allow a centre run of at most
        // (17.2 limit + 5.25) / 2.7 < 6.38 limit + 2: well within 7 limits.
        if (runs[2] > kFinderTotal * limit + 4) return -1;
        for (size_t k : {0, 1, 3, 4})
            if (runs[k] > limit) return -1;
        if (!RunsFit(runs)) return -1;
        total = runs[0] + runs[1] + runs[2] + runs[3] + runs[4];
        return (starts[size_t(j)] + starts[size_t(j) + 1]) / 2.0;
    }

    // A hit along one axis at (x, y): confirmed across it, then re-centred
    // along it on the confirmed line.
    void Confirm(double x, double y, int total, bool fromColumn, Candidates& found) {
        const int limit = 2 * total + 2;
        int acrossTotal = 0, alongTotal = 0;
        const int ix = int(x), iy = int(y);
        // A point in no fitting window across is turned away at once (for a
        // column hit, where the rows' windows were kept).
        if (!fromColumn) {
            if (!columnFits_.Holds(ix, iy)) return;
            const double cy = CrossCheck(ix, iy, true, limit, acrossTotal, &crossings_[size_t(ix)]);
            if (cy < 0) return;
            const double cx = CrossCheck(ix, int(cy), false, limit, alongTotal);
            if (cx < 0) return;
            found.Add({cx, cy}, (acrossTotal + alongTotal) / 14.0);
        } else {
            if (keepRowFits_ && !rowFits_.Holds(iy, ix)) return;
            const double cx =
                CrossCheck(ix, iy, false, limit, acrossTotal, &crossings_[size_t(iy)]);
            if (cx < 0) return;
            const double cy = CrossCheck(int(cx), iy, true, limit, alongTotal);
            if (cy < 0) return;
            found.Add({cx, cy}, (acrossTotal + alongTotal) / 14.0);
        }
    }

    const FinderWidths widths_; // of the windows looked at
    const Stop stop_;
    std::array<Candidates, 2> found_; // by polarity
    const PlaneRuns<Position> runs_;
    const LineRuns<Position>&rows_, &columns_;
    // A line's windows whose middle run is the longest; eight more to read
    // ahead (NextFlagged).
    std::vector<uint8_t> flags_;
    std::vector<Crossing> crossings_; // per crossing line
    LineFits columnFits_, rowFits_;
    bool keepRowFits_ = false; // rowFits_ holds every row's windows
    uint8_t dark_ = 1;         // the polarity being scanned
};

double Cross(PlanePoint o, PlanePoint a, PlanePoint b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Which of p[0..2] is the top-left, top-right and bottom-left finder, from
// their pairwise distances (ab = |p0 p1|, bc = |p1 p2|, ca = |p2 p0|).
std::array<size_t, 3> FinderOrder(const std::array<PlanePoint, 3>& p, double ab, double bc,
                                  double ca) {
    std::array<size_t, 3> o = bc >= ab && bc >= ca   ? std::array<size_t, 3>{0, 1, 2}
                              : ca >= ab && ca >= bc ? std::array<size_t, 3>{1, 2, 0}
                                                     : std::array<size_t, 3>{2, 0, 1};
    if (Cross(p[o[0]], p[o[1]], p[o[2]]) < 0) std::swap(o[1], o[2]);
    return o;
}

} // namespace

FinderPools LocateFinders(PlaneRows&& plane, FinderWidths widths, const std::atomic<bool>* stop) {
    if (plane.width < 7 || plane.height < 7) return {};
    if (std::max(plane.width, plane.height) <= INT16_MAX)
        return Locator<int16_t>(plane, widths, Stop{stop}).Run();
    return Locator<int>(plane, widths, Stop{stop}).Run();
}

FinderPools LocateFinders(const BitPlane& plane, FinderWidths widths,
                          const std::atomic<bool>* stop) {
    return LocateFinders(RowsOfPlane(plane), widths, stop);
}

FinderTriple OrderFinders(const FinderCandidate& a, const FinderCandidate& b,
                          const FinderCandidate& c) {
    const std::array<const FinderCandidate*, 3> f = {&a, &b, &c};
    const std::array<size_t, 3> o =
        FinderOrder({a.centre, b.centre, c.centre}, Distance(a.centre, b.centre),
                    Distance(b.centre, c.centre), Distance(c.centre, a.centre));
    return {*f[o[0]], *f[o[1]], *f[o[2]]};
}

double TripleModuleSize(const FinderTriple& t) {
    // A line through the centre of a square turned by a crosses it over
    // side / max(|cos a|, |sin a|): undo that stretch.
    const double angle = std::atan2(t.topRight.centre.y - t.topLeft.centre.y,
                                    t.topRight.centre.x - t.topLeft.centre.x);
    const double stretch = std::max(std::abs(std::cos(angle)), std::abs(std::sin(angle)));
    return (t.topLeft.moduleSize + t.topRight.moduleSize + t.bottomLeft.moduleSize) / 3 * stretch;
}

int EstimateModuleCount(const FinderTriple& t) {
    const double size = TripleModuleSize(t);
    // Finder centres sit 3.5 modules inside each side: N - 7 modules apart.
    const double legs = (Distance(t.topLeft.centre, t.topRight.centre) +
                         Distance(t.topLeft.centre, t.bottomLeft.centre)) /
                        2;
    const double modules = legs / size + 7;
    const int version = std::clamp(int(std::lround((modules - 17) / 4)), 1, 40);
    return 17 + 4 * version;
}

std::vector<FinderTriple> ChooseTriples(const std::vector<FinderCandidate>& candidates,
                                        size_t maxTriples, size_t maxCandidates) {
    const size_t n = std::min(candidates.size(), maxCandidates);
    // Each pair's distance once, not once for each of its triples: the
    // same values, as a distance does not depend on the pair's order.
    std::vector<double> distance(n * n);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            distance[i * n + j] = distance[j * n + i] =
                Distance(candidates[i].centre, candidates[j].centre);
    std::vector<FinderTriple> triples;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            for (size_t k = j + 1; k < n; ++k) {
                const double sizes[] = {candidates[i].moduleSize, candidates[j].moduleSize,
                                        candidates[k].moduleSize};
                const double smallest = *std::min_element(sizes, sizes + 3);
                const double largest = *std::max_element(sizes, sizes + 3);
                // A steep keystone makes the far finders much smaller.
                if (largest > 2.5 * smallest) continue;
                const std::array<size_t, 3> ijk = {i, j, k};
                const std::array<size_t, 3> o =
                    FinderOrder({candidates[i].centre, candidates[j].centre, candidates[k].centre},
                                distance[i * n + j], distance[j * n + k], distance[k * n + i]);
                const size_t tl = ijk[o[0]], tr = ijk[o[1]], bl = ijk[o[2]];
                FinderTriple t{candidates[tl], candidates[tr], candidates[bl]};
                const double top = distance[tl * n + tr];
                const double left = distance[tl * n + bl];
                if (std::min(top, left) < 0.45 * std::max(top, left)) continue;
                // The legs in modules, each measured by its own finders: in
                // perspective a shortened leg has smaller modules too.
                const double topModules = top / (t.topLeft.moduleSize + t.topRight.moduleSize);
                const double leftModules = left / (t.topLeft.moduleSize + t.bottomLeft.moduleSize);
                const double legRatio =
                    std::min(topModules, leftModules) / std::max(topModules, leftModules);
                if (legRatio < 0.6) continue;
                const double cosine = ((t.topRight.centre.x - t.topLeft.centre.x) *
                                           (t.bottomLeft.centre.x - t.topLeft.centre.x) +
                                       (t.topRight.centre.y - t.topLeft.centre.y) *
                                           (t.bottomLeft.centre.y - t.topLeft.centre.y)) /
                                      (top * left);
                if (std::abs(cosine) > 0.5) continue;
                const double modules = (top + left) / 2 / TripleModuleSize(t) + 7;
                if (modules < 17 || modules > 190) continue;
                // Real finders are crossed by many scan lines; patterns in the
                // data that happen to fit rarely by more than a few.
                const int hits = std::min({t.topLeft.hits, t.topRight.hits, t.bottomLeft.hits});
                t.score = (1 - legRatio) + std::abs(cosine) + 0.25 * (largest / smallest - 1) +
                          1.5 / std::sqrt(double(hits));
                triples.push_back(t);
            }
    std::sort(triples.begin(), triples.end(),
              [](const FinderTriple& a, const FinderTriple& b) { return a.score < b.score; });
    if (triples.size() > maxTriples) triples.resize(maxTriples);
    return triples;
}

bool SameTriple(const FinderTriple& a, const FinderTriple& b) {
    auto same = [](const FinderCandidate& p, const FinderCandidate& q) {
        return Distance(p.centre, q.centre) < 0.5 * std::max(p.moduleSize, q.moduleSize);
    };
    return same(a.topLeft, b.topLeft) && same(a.topRight, b.topRight) &&
           same(a.bottomLeft, b.bottomLeft);
}

} // namespace zorvik
