#include "FinderSearch.h"

#include "CountKernels.h"
#include "FinderKernels.h"
#include "PixelLineKernels.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace zorvik {
namespace {

constexpr size_t kMaxCandidates = 10922;
constexpr size_t kMaxTally = 6553;

// A run group whose outer side borders a light strip: where its first dark
// run starts along the scan line, which line, and the five runs' total.
struct Candidate {
    int16_t position, line, size;
};

struct TallyEntry {
    int16_t start, span, firstSize, secondSize, count;
};

void Append(std::vector<Candidate>& list, const Candidate& c) {
    if (list.size() >= kMaxCandidates) throw StageFault("candidate list full");
    list.push_back(c);
}

// The dark runs of one scan line of '0' and '1': dark run k starts at
// 0-based start[k], is dark[k] long and is followed by a light run light[k]
// long (0 after a dark run that ends the line). Past the last dark run
// every length is 0, which is what a group of five runs reaching beyond the
// line's end reads. A line has at most 32767 pixels: all are 16-bit.
struct DarkRuns {
    std::vector<int16_t> bound; // where the line's runs begin, then its length
    std::vector<int16_t> start, dark, light;
    std::vector<uint8_t> maybe; // whether the group from dark run k may be a finder's
    int count = 0;              // dark runs
};

int RoundedGroupCount(int count) {
    return (count + 15) / 16 * 16;
}

// Bounds kept past a line's changes: the line's length, so that the runs
// past its last read as empty (the run split reads up to six). Runs and
// flags kept past whole groups of sixteen: the two runs beyond, and the
// flags' reads of eight.
constexpr int kBoundSlack = kChangeSlack + 8;
constexpr int kRunSlack = 8;

// Sizes runs for lines of up to longest pixels, once for a whole search: a
// line of L pixels has at most (L + 1) / 2 dark runs.
void SizeForLines(DarkRuns& runs, int longest) {
    const size_t groups = size_t(RoundedGroupCount((longest + 1) / 2));
    runs.bound.resize(size_t(longest) + kBoundSlack);
    for (auto* v : {&runs.start, &runs.dark, &runs.light}) v->resize(groups + kRunSlack);
    runs.maybe.resize(groups + kRunSlack);
}

// runs is sized by SizeForLines for lines at least as long as line.
void FindDarkRuns(std::string_view line, DarkRuns& runs) {
    const int size = int(line.size());
    assert(runs.bound.size() >= line.size() + kBoundSlack);
    // The changes from bound + 1.
    int16_t* const bound = runs.bound.data();
    bound[0] = 0;
    int16_t* const last =
        FindChanges(reinterpret_cast<const uint8_t*>(line.data()), size, bound + 1);
    const int lineRuns = int(last - bound); // of either kind
    std::fill_n(last, kBoundSlack - kChangeSlack, int16_t(size));
    // Runs alternate, the first dark one being run 0 or run 1.
    const int first = size > 0 && line[0] == '1' ? 0 : 1;
    runs.count = std::max(0, (lineRuns - first + 1) / 2);
    // Zero lengths up to whole groups of sixteen and two beyond: the
    // prefilter then runs in whole vectors.
    const int padded = RoundedGroupCount(runs.count) + 2;
    const int16_t* __restrict b = bound + first;
    int16_t* __restrict start = runs.start.data();
    int16_t* __restrict dark = runs.dark.data();
    int16_t* __restrict light = runs.light.data();
    const int filled = runs.count + 2;
    int k = 0;
    for (; k < filled; ++k) {
        start[k] = b[2 * k];
        dark[k] = int16_t(b[2 * k + 1] - b[2 * k]);
        light[k] = int16_t(b[2 * k + 2] - b[2 * k + 1]);
    }
    for (k = filled; k < padded; ++k) dark[k] = light[k] = 0;
}

void MarkLikelyGroups(DarkRuns& runs, int lineLength) {
    // Most groups fail here, several at a time; the exact check runs for the rest.
    const int n = runs.count;
    MarkFinderGroups(runs.dark.data(), runs.light.data(), RoundedGroupCount(n), lineLength,
                     runs.maybe.data());
    // A group reaching the end of a line of 32767 pixels is a fault,
    // whatever its runs: in such a line the last three are scanned.
    if (lineLength >= INT16_MAX)
        for (int k = std::max(0, n - 3); k < n; ++k) runs.maybe[size_t(k)] = 1;
}

// DarkFraction over an image of equal rows, height of them, from per-column
// prefix counts made at the first count. A strip then costs a few vector
// steps however many rows it spans, and a picture full of candidate run
// groups costs time in proportion to its pixels. Counting row by row, and
// stopping once a strip is known to be dark, mispredicted where it stopped.
// The counts are kept modulo 256, which the difference over a strip of
// fewer than 256 rows undoes: half the memory to make and read. Taller
// strips, of modules over 51 pixels, take 16-bit counts, made when first
// needed.
class DarkCounter {
  public:
    explicit DarkCounter(const BinaryImage& image)
        : image_(image), height_(int(image.size())),
          width_(image.empty() ? 0 : int(image[0].size())) {}

    // Whether DarkFraction(x, y, w, h) <= 0.05, with its clipping and faults.
    bool MostlyLight(int x, int y, int w, int h) {
        if (x <= 0) {
            w = w + x - 1;
            x = 1;
            if (w == 0) return true;
        }
        const int last = std::min<int>(CheckedInt16(y + h - 1), height_ - 1);
        y = std::max(y, 0);
        if (y <= last && w < 0) ThrowStageFault("invalid text position");
        const double area = CheckedInt16(static_cast<long long>(w) * h);
        if (y > last) return 0.0 / area <= 0.05;
        const int end = int(std::min<long long>(static_cast<long long>(x) + w - 1, width_));
        if (x > end) return 0.0 / area <= 0.05;
        return Count(x, end, y, last, int(area));
    }

  private:
    // Whether '1' at 1-based positions first..last of rows top..bottom
    // make at most 0.05 of area (1 to 32767 pixels). dark / area > 0.05 in
    // double precision exactly when 20 dark > area: a share off 1/20 is off
    // by at least 1 / (20 area), far more than the rounding of the quotient
    // or of 0.05.
    bool Count(int first, int last, int top, int bottom, int area) {
        const long long dark = bottom - top < 255 ? ShortStrip(first, last, top, bottom)
                                                  : TallStrip(first, last, top, bottom);
        return 20 * dark <= area;
    }

    // Dark pixels of a strip of fewer than 256 rows, from the 8-bit counts.
    long long ShortStrip(int first, int last, int top, int bottom) {
        if (!narrow_) narrow_ = ColumnCounts<uint8_t>();
        const uint8_t* below = &narrow_[(size_t(bottom) + 1) * size_t(width_)];
        const uint8_t* above = &narrow_[size_t(top) * size_t(width_)];
        return static_cast<long long>(
            SumByteDifferences(below + first - 1, above + first - 1, last - first + 1));
    }

    // Dark pixels of a strip of any height, from the 16-bit counts.
    long long TallStrip(int first, int last, int top, int bottom) {
        if (!wide_) wide_ = ColumnCounts<uint16_t>();
        const uint16_t* below = &wide_[(size_t(bottom) + 1) * size_t(width_)];
        const uint16_t* above = &wide_[size_t(top) * size_t(width_)];
        long long dark = 0;
        for (int p = first - 1; p < last; ++p) dark += below[p] - above[p];
        return dark;
    }

    // Dark pixels above each row, per column, modulo 2^(8 sizeof(Count));
    // a side is at most 32767. Every row after the guard row of zeros is
    // written below; sixteen entries of room behind the last row for the
    // strips' reads.
    template <typename Count> std::unique_ptr<Count[]> ColumnCounts() const {
        std::unique_ptr<Count[]> counts(new Count[(size_t(height_) + 1) * size_t(width_) + 16]);
        std::fill_n(counts.get(), size_t(width_), Count{0});
        for (int r = 0; r < height_; ++r) {
            const char* row = image_[size_t(r)].data();
            const Count* __restrict above = &counts[size_t(r) * size_t(width_)];
            Count* __restrict here = &counts[(size_t(r) + 1) * size_t(width_)];
            for (int p = 0; p < width_; ++p) here[p] = Count(above[p] + (row[p] == '1'));
        }
        return counts;
    }

    const BinaryImage& image_;
    const int height_, width_;
    std::unique_ptr<uint8_t[]> narrow_; // none until the first count
    std::unique_ptr<uint16_t[]> wide_;  // none until the first tall strip
};

// Tests a run group found at f on scan line `line` for a light strip on its
// leading side, then on its trailing side. Returns +1 leading, -1 trailing, 0 neither.
using EdgeTest = int (*)(DarkCounter&, int line, int f, int g);

int HorizontalEdge(DarkCounter& dark, int y, int f, int g) {
    float m = float(g) / float(kFinderTotal);
    float d = 2 * m;
    int w = RoundToInt16(d), h = RoundToInt16(2 * d + m);
    int ys = RoundToInt16(float(y) - d);
    if (dark.MostlyLight(RoundToInt16(float(f) - d), ys, w, h)) return 1;
    if (dark.MostlyLight(f + g, ys, w, h)) return -1;
    return 0;
}

int VerticalEdge(DarkCounter& dark, int x, int f, int g) {
    float m = float(g) / float(kFinderTotal);
    float d = 2 * m;
    int w = RoundToInt16(2 * d + m), h = RoundToInt16(d);
    int xs = RoundToInt16(float(x) - d);
    if (dark.MostlyLight(xs, RoundToInt16(float(f) - d - 1.0f), w, h)) return 1;
    if (dark.MostlyLight(xs, f + g - 1, w, h)) return -1;
    return 0;
}

// The accepted run lengths for a total t: w modules of t / 7 within half a
// module, for the side runs and for the middle one.
struct RunBounds {
    int16_t sideLo, sideHi, middleLo, middleHi;
};

RunBounds BoundsFor(int16_t t) {
    float m = float(t) / float(kFinderTotal);
    float h = m / 2.0f;
    auto lo = [&](int w) { return TruncToInt16(float(w) * m - h); };
    auto hi = [&](int w) { return TruncToInt16(float(w) * m + h + 0.5f); };
    return {lo(kFinderSide), hi(kFinderSide), lo(kFinderMiddle), hi(kFinderMiddle)};
}

// Every non-negative total's bounds, worked out once: the check runs for
// every dark run of every scan line.
const std::vector<RunBounds>& BoundsTable() {
    static const std::vector<RunBounds> table = [] {
        std::vector<RunBounds> bounds(size_t(INT16_MAX) + 1);
        for (int t = 0; t <= INT16_MAX; ++t) bounds[size_t(t)] = BoundsFor(int16_t(t));
        return bounds;
    }();
    return table;
}

// CheckFinderRuns for a total from 0 to 32767, against its bounds.
inline int16_t FinderRunsTotal(const std::array<int16_t, 5>& runs, int16_t t, const RunBounds& b) {
    // One branch for all ten bounds: most groups fail, and unpredictably.
    unsigned outside = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        const bool middle = kFinderModules[i] == kFinderMiddle;
        outside |= unsigned(runs[i] < (middle ? b.middleLo : b.sideLo)) |
                   unsigned((middle ? b.middleHi : b.sideHi) < runs[i]);
    }
    return outside ? 0 : t;
}

// Scans one line for finder run groups and files each into the leading- or
// trailing-edge list. positionShift turns the line position into the
// recorded position (0 for rows, -1 for columns, whose positions are rows).
// The scan starts at each dark run in turn and takes the five runs from it
// (dark, light, dark, light, dark; runs beyond the line's end are 0); after
// a filed group it goes on behind the group, otherwise at the next dark run.
// The scan never starts at or beyond position limit. Positions are 16-bit:
// five runs reaching the end of a line of 32767 are a fault. runsKnown says
// that runs already hold this text's runs, from a line of equal text just
// scanned: in a picture of a screen most lines repeat the one before.
void ScanLine(DarkCounter& dark, std::string_view text, int lineNo, int limit, EdgeTest edgeTest,
              int positionShift, bool runsKnown, DarkRuns& runs, std::vector<Candidate>& leading,
              std::vector<Candidate>& trailing) {
    if (limit <= 1) return;
    if (!runsKnown) {
        FindDarkRuns(text, runs);
        MarkLikelyGroups(runs, int(text.size()));
    }
    const RunBounds* bounds = BoundsTable().data();
    const int lineEnd = int(text.size()) + 1;
    // c is where the scan goes on after the last filed group. A dark run
    // that fails the check sends it on to the next, so the scan reaches a
    // run at c (the first dark run from c) or at the run's own start.
    int c = 1;
    // Whether the scan ends at the group from dark run k, which passed the prefilter.
    auto endsAt = [&](int k) {
        const int f = runs.start[size_t(k)] + 1; // 1-based
        if (f < c) return false;
        // Reached from the dark run before, which failed, rather than from
        // c (known to be below limit): the scan ends at a start at limit.
        if (k > 0 && runs.start[size_t(k) - 1] + 1 >= c && f >= limit) return true;
        // The group's last dark run is missing or ends the line.
        if (k + 2 >= runs.count || (k + 3 == runs.count && runs.light[size_t(k) + 2] == 0))
            CheckedInt16(lineEnd);
        const size_t i = size_t(k);
        const std::array<int16_t, 5> group = {runs.dark[i], runs.light[i], runs.dark[i + 1],
                                              runs.light[i + 1], runs.dark[i + 2]};
        // Lengths within one line of at most 32767: the total fits.
        const int16_t total = int16_t(group[0] + group[1] + group[2] + group[3] + group[4]);
        const int g = FinderRunsTotal(group, total, bounds[size_t(total)]);
        if (g < kFinderTotal) return false;
        Candidate found{CheckedInt16(f + positionShift), CheckedInt16(lineNo), CheckedInt16(g)};
        const int edge = edgeTest(dark, lineNo, f, g);
        if (edge == 0) return false;
        Append(edge > 0 ? leading : trailing, found);
        c = f + g;
        return c >= limit;
    };
    const uint8_t* maybe = runs.maybe.data();
    for (int k = NextFlagged(maybe, 0, runs.count); k < runs.count;
         k = NextFlagged(maybe, k + 1, runs.count))
        if (endsAt(k)) return;
}

// Where each geometry's entry lies in the tally, by open addressing: a
// picture tallies a few hundred geometries, and a map node each cost an
// allocation. A key is never 0, its sizes being at least 7.
class TallyIndex {
  public:
    // The entry filed for key, or next, filed for it now; and whether it was filed now.
    std::pair<size_t, bool> Find(uint64_t key, size_t next) {
        if (2 * (count_ + 1) > keys_.size()) Grow();
        size_t slot = Slot(key);
        for (; keys_[slot] != 0; slot = (slot + 1) & (keys_.size() - 1))
            if (keys_[slot] == key) return {at_[slot], false};
        keys_[slot] = key;
        at_[slot] = next;
        ++count_;
        return {next, true};
    }

  private:
    // Fibonacci hashing: the top bits of the key times 2^64 / golden ratio.
    size_t Slot(uint64_t key) const { return size_t((key * 0x9E3779B97F4A7C15u) >> shift_); }

    void Grow() {
        std::vector<uint64_t> keys = std::move(keys_);
        std::vector<size_t> at = std::move(at_);
        const size_t size = std::max<size_t>(256, 2 * keys.size());
        keys_.assign(size, 0);
        at_.assign(size, 0);
        shift_ = 64 - std::countr_zero(size);
        count_ = 0;
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != 0) Find(keys[i], at[i]);
    }

    std::vector<uint64_t> keys_; // 0 where free; a power of two long, at most half full
    std::vector<size_t> at_;
    size_t count_ = 0;
    int shift_ = 64;
};

// Pairs leading and trailing candidates of the same line with sizes within 1
// of each other and tallies each geometry in the order first seen. The first
// geometry that two or more lines agree on wins, even over a later one seen
// more often. The scan files trailing candidates line by line, so those
// of one line lie together, in the order filed.
std::optional<TallyEntry> AgreedGeometry(const std::vector<Candidate>& leading,
                                         const std::vector<Candidate>& trailing) {
    const auto byLine = [](const Candidate& a, const Candidate& b) { return a.line < b.line; };
    assert(std::is_sorted(trailing.begin(), trailing.end(), byLine));
    std::vector<TallyEntry> tally;
    tally.reserve(std::min(leading.size(), kMaxTally));
    TallyIndex index;
    for (const auto& l : leading) {
        const auto [from, to] = std::equal_range(trailing.begin(), trailing.end(), l, byLine);
        for (auto r = from; r != to; ++r) {
            if (!(r->size - 1 <= l.size && l.size <= r->size + 1 && l.position < r->position))
                continue;
            int16_t span = CheckedInt16(r->position + r->size - l.position);
            uint64_t key = uint64_t(uint16_t(l.position)) << 48 | uint64_t(uint16_t(span)) << 32 |
                           uint64_t(uint16_t(l.size)) << 16 | uint16_t(r->size);
            const auto [at, inserted] = index.Find(key, tally.size());
            if (inserted) {
                if (tally.size() >= kMaxTally) throw StageFault("tally full");
                tally.push_back({l.position, span, l.size, r->size, 1});
            } else {
                TallyEntry& e = tally[at];
                e.count = CheckedInt16(e.count + 1);
            }
        }
    }
    for (const auto& e : tally)
        if (e.count > 1) return e;
    return std::nullopt;
}

// The reference of the initial binarisation: the middle third each way.
PixelRect MiddleThird(const GreyImage& grey) {
    const int width = grey.width, height = grey.height;
    return {std::max(0, height / 2 - height / 6), std::min(height - 1, height / 2 + height / 6),
            std::max(0, width / 2 - width / 6), std::min(width - 1, width / 2 + width / 6)};
}

// The refined binarisation, over the box the search found.
void BinariseBox(const GreyImage& grey, const SymbolBox& box, float thresholdFactor,
                 const DecodeOptions& options, BinaryImage& binary) {
    PixelRect symbol{box.Top, box.Top + box.BoxHeight - 1, box.Left - 1,
                     box.Left + box.BoxWidth - 2};
    BinariseInto(grey, symbol, ThresholdRule::Refined, thresholdFactor, options.debugFolder, binary,
                 nullptr, options.searchThreads);
}

std::string Search(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                   float thresholdFactor, const DecodeOptions& options) {
    const int width = grey.width, height = grey.height;
    const PixelRect middle = MiddleThird(grey);
    std::vector<uint8_t> sameAsAbove;
    BinariseInto(grey, middle, ThresholdRule::Initial, thresholdFactor, options.debugFolder, binary,
                 &sameAsAbove, options.searchThreads);

    // Rows: the top-left finder is a left-edge group, the top-right one a right-edge group.
    DarkCounter dark(binary);
    DarkRuns runs;
    SizeForLines(runs, std::max(width, height));
    // Room for the candidates of a typical picture, which would otherwise
    // grow the lists a few times each.
    constexpr size_t kUsualCandidates = 256;
    std::vector<Candidate> leftEdge, rightEdge;
    leftEdge.reserve(kUsualCandidates);
    rightEdge.reserve(kUsualCandidates);
    for (int y = 0; y < height; ++y) {
        ScanLine(dark, binary[size_t(y)], y, width, HorizontalEdge, 0, sameAsAbove[size_t(y)], runs,
                 leftEdge, rightEdge);
    }
    if (leftEdge.empty() || rightEdge.empty()) return kNotRecognised;

    box.BoxWidth = 0;
    auto h = AgreedGeometry(leftEdge, rightEdge);
    if (!h) return kNotRecognised;
    box.Left = h->start;
    box.BoxWidth = h->span;
    box.FinderWidthSum = CheckedInt16(h->firstSize + h->secondSize);

    // Columns inside the found width: top-left and bottom-left finders.
    std::vector<Candidate> topEdge, bottomEdge;
    topEdge.reserve(kUsualCandidates);
    bottomEdge.reserve(kUsualCandidates);
    // Columns are copied out a tile at a time: one pass down the rows then
    // serves kTile columns.
    constexpr int kTile = 32;
    std::string tile(size_t(kTile) * size_t(height), '0');
    const int lastX = box.Left + box.BoxWidth - 1;
    for (int x0 = box.Left; x0 <= lastX; x0 += kTile) {
        const int x1 = std::min(x0 + kTile - 1, lastX);
        const int from = std::max(x0, 1), to = std::min(x1, width);
        // In blocks of 16 rows and 16 columns, turned whole where they are
        // whole.
        for (int y0 = 0; y0 < height && from <= to; y0 += 16) {
            const int rows = std::min(16, height - y0);
            const uint8_t* row[16];
            for (int i = 0; i < rows; ++i)
                row[i] = reinterpret_cast<const uint8_t*>(binary[size_t(y0 + i)].data());
            int x = from;
            for (; rows == 16 && x + 15 <= to; x += 16) {
                const uint8_t* block[16];
                for (int i = 0; i < 16; ++i) block[i] = row[i] + (x - 1);
                Transpose16(
                    block,
                    reinterpret_cast<uint8_t*>(&tile[size_t(x - x0) * size_t(height) + size_t(y0)]),
                    size_t(height));
            }
            for (; x <= to; ++x) {
                char* out = &tile[size_t(x - x0) * size_t(height) + size_t(y0)];
                for (int i = 0; i < rows; ++i) out[i] = char(row[i][x - 1]);
            }
        }
        for (int x = x0; x <= x1; ++x) {
            if (height > 0 && (x < 1 || x > width))
                ThrowStageFault("text position outside the text");
            const std::string_view column(tile.data() + size_t(x - x0) * size_t(height),
                                          size_t(height));
            // The column before, while it is still in the tile.
            const bool repeated =
                x > x0 && column == std::string_view(column.data() - height, size_t(height));
            ScanLine(dark, column, x, height, VerticalEdge, -1, repeated, runs, topEdge,
                     bottomEdge);
        }
    }
    if (topEdge.empty() || bottomEdge.empty()) return kNotRecognised;

    box.BoxHeight = 0;
    auto v = AgreedGeometry(topEdge, bottomEdge);
    if (!v) return kNotRecognised;
    box.Top = v->start;
    box.BoxHeight = v->span;
    box.FinderHeightSum = CheckedInt16(v->firstSize + v->secondSize);

    BinariseBox(grey, box, thresholdFactor, options, binary);
    return "";
}

void CopySearchFields(const SymbolBox& from, SymbolBox& to) {
    to.BoxWidth = from.BoxWidth, to.Left = from.Left, to.FinderWidthSum = from.FinderWidthSum;
    to.BoxHeight = from.BoxHeight, to.Top = from.Top, to.FinderHeightSum = from.FinderHeightSum;
}

// Whether no pixel's grey lies above one of the two limits and at or below
// the other; each pair is looked for in the picture once.
bool NoGreyBetween(FinderSearchMemo& memo, const GreyImage& grey, int a, int b) {
    const int above = std::min(a, b), atMost = std::max(a, b);
    for (const FinderSearchMemo::Gap& gap : memo.gaps)
        if (gap.above == above && gap.atMost == atMost) return gap.empty;
    const bool empty = !AnyGreyBetween(grey, above, atMost);
    memo.gaps.push_back({above, atMost, empty});
    return empty;
}

// The search, or what it found on an equal initial binarisation before.
std::string RememberedSearch(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                             float thresholdFactor, const DecodeOptions& options,
                             FinderSearchMemo& memo) {
    if (!memo.middle) memo.middle = MeasureReference(grey, MiddleThird(grey));
    const ReferenceLevels levels = *memo.middle;
    const int darkUpTo =
        DarkUpTo(ThresholdOf(ThresholdRule::Initial, thresholdFactor, levels), levels);
    for (const FinderSearchMemo::Found& found : memo.found) {
        if (!NoGreyBetween(memo, grey, found.darkUpTo, darkUpTo)) continue;
        if (!found.message.empty()) return found.message;
        CopySearchFields(found.box, box);
        BinariseBox(grey, box, thresholdFactor, options, binary);
        return "";
    }
    std::string message;
    try {
        message = Search(grey, binary, box, thresholdFactor, options);
    } catch (const std::exception&) {
        message = kNotRecognisedFault;
    }
    // A fault in the refined binarisation alone would come again for the
    // same box: the message holds for every equal binarisation.
    memo.found.push_back({darkUpTo, message, box});
    return message;
}

} // namespace

int16_t CheckFinderRuns(const std::array<int16_t, 5>& runs) {
    int16_t t = CheckedInt16(runs[0] + runs[1] + runs[2] + runs[3] + runs[4]);
    return FinderRunsTotal(runs, t, t >= 0 ? BoundsTable()[size_t(t)] : BoundsFor(t));
}

double DarkFraction(const BinaryImage& image, int height, int x, int y, int w, int h) {
    if (x <= 0) {
        w = w + x - 1;
        x = 1;
        if (w == 0) return 0;
    }
    int last = std::min<int>(CheckedInt16(y + h - 1), height - 1);
    y = std::max(y, 0);
    long long dark = 0;
    for (int i = y; i <= last; ++i) dark += CountOnes(Mid(image.at(size_t(i)), x, w));
    return double(dark) / CheckedInt16(static_cast<long long>(w) * h);
}

std::string FindFinderPatterns(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                               float thresholdFactor, const DecodeOptions& options,
                               FinderSearchMemo* memo) {
    try {
        // Debug files show every binarisation: with a folder, every search runs.
        if (memo && options.debugFolder.empty())
            return RememberedSearch(grey, binary, box, thresholdFactor, options, *memo);
        return Search(grey, binary, box, thresholdFactor, options);
    } catch (const std::exception&) {
        return kNotRecognisedFault;
    }
}

} // namespace zorvik
