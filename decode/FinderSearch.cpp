#include "FinderSearch.h"

#include <optional>
#include <string_view>
#include <unordered_map>
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

// The dark-light-dark-light-dark runs from position f (1-based) of a scan
// line; a run starting beyond `limit` stays 0.
std::array<int16_t, 5> CountRuns(std::string_view line, int f, int limit) {
    std::array<int16_t, 5> runs{};
    long long p = f;
    for (int k = 0; k < 5; ++k) {
        if (k > 0 && p > limit) break;
        char want = k % 2 == 0 ? '1' : '0';
        long long n = 0;
        while (p + n <= static_cast<long long>(line.size()) && line[size_t(p + n - 1)] == want) ++n;
        runs[size_t(k)] = CheckedInt16(n);
        p = CheckedInt16(p + n);
    }
    return runs;
}

// 1-based position of the first '1' at or after c, or 0.
int FindDark(std::string_view line, int c) {
    if (c > static_cast<int>(line.size())) return 0;
    size_t at = line.find('1', size_t(c - 1));
    return at == std::string_view::npos ? 0 : int(at + 1);
}

// Tests a run group found at f on scan line `line` for a light strip on its
// leading side, then on its trailing side. Returns +1 leading, -1 trailing, 0 neither.
using EdgeTest = int (*)(const BinaryImage&, int height, int line, int f, int g);

int HorizontalEdge(const BinaryImage& image, int height, int y, int f, int g) {
    float m = float(g) / 7.0f;
    float d = 2 * m;
    int w = RoundToInt16(d), h = RoundToInt16(2 * d + m);
    int ys = RoundToInt16(float(y) - d);
    if (DarkFraction(image, height, RoundToInt16(float(f) - d), ys, w, h) <= 0.05) return 1;
    if (DarkFraction(image, height, f + g, ys, w, h) <= 0.05) return -1;
    return 0;
}

int VerticalEdge(const BinaryImage& image, int height, int x, int f, int g) {
    float m = float(g) / 7.0f;
    float d = 2 * m;
    int w = RoundToInt16(2 * d + m), h = RoundToInt16(d);
    int xs = RoundToInt16(float(x) - d);
    if (DarkFraction(image, height, xs, RoundToInt16(float(f) - d - 1.0f), w, h) <= 0.05) return 1;
    if (DarkFraction(image, height, xs, f + g - 1, w, h) <= 0.05) return -1;
    return 0;
}

// Scans one line for finder run groups and files each into the leading- or
// trailing-edge list. positionShift turns the line position into the
// recorded position (0 for rows, -1 for columns, whose positions are rows).
void ScanLine(const BinaryImage& image, int height, std::string_view text, int lineNo, int limit,
              EdgeTest edgeTest, int positionShift, std::vector<Candidate>& leading,
              std::vector<Candidate>& trailing) {
    int c = 1;
    while (c < limit) {
        int f = FindDark(text, c);
        if (f == 0) return;
        auto runs = CountRuns(text, f, limit);
        int g = CheckFinderRuns(runs);
        int skip = CheckedInt16(f + runs[0] + runs[1]);
        if (g < 7) {
            c = skip;
            continue;
        }
        Candidate found{CheckedInt16(f + positionShift), CheckedInt16(lineNo), CheckedInt16(g)};
        switch (edgeTest(image, height, lineNo, f, g)) {
        case 1:
            Append(leading, found);
            c = CheckedInt16(f + g);
            break;
        case -1:
            Append(trailing, found);
            c = CheckedInt16(f + g);
            break;
        default:
            c = skip;
        }
    }
}

// Pairs leading and trailing candidates of the same line with sizes within 1
// of each other and tallies each geometry in the order first seen. The first
// geometry that two or more lines agree on wins, even over a later one seen
// more often.
std::optional<TallyEntry> AgreedGeometry(const std::vector<Candidate>& leading,
                                         const std::vector<Candidate>& trailing) {
    std::unordered_map<int, std::vector<const Candidate*>> trailingByLine;
    for (const auto& r : trailing) trailingByLine[r.line].push_back(&r);

    std::vector<TallyEntry> tally;
    std::unordered_map<uint64_t, size_t> index;
    for (const auto& l : leading) {
        auto it = trailingByLine.find(l.line);
        if (it == trailingByLine.end()) continue;
        for (const Candidate* r : it->second) {
            if (!(r->size - 1 <= l.size && l.size <= r->size + 1 && l.position < r->position))
                continue;
            int16_t span = CheckedInt16(r->position + r->size - l.position);
            uint64_t key = uint64_t(uint16_t(l.position)) << 48 | uint64_t(uint16_t(span)) << 32 |
                           uint64_t(uint16_t(l.size)) << 16 | uint16_t(r->size);
            auto [at, inserted] = index.try_emplace(key, tally.size());
            if (inserted) {
                if (tally.size() >= kMaxTally) throw StageFault("tally full");
                tally.push_back({l.position, span, l.size, r->size, 1});
            } else {
                TallyEntry& e = tally[at->second];
                e.count = CheckedInt16(e.count + 1);
            }
        }
    }
    for (const auto& e : tally)
        if (e.count > 1) return e;
    return std::nullopt;
}

std::string Search(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                   float thresholdFactor, const DecodeOptions& options) {
    const int width = grey.width, height = grey.height;
    PixelRect middle{
        std::max(0, height / 2 - height / 6), std::min(height - 1, height / 2 + height / 6),
        std::max(0, width / 2 - width / 6), std::min(width - 1, width / 2 + width / 6)};
    binary =
        BinariseImage(grey, middle, ThresholdRule::Initial, thresholdFactor, options.debugFolder);

    // Rows: the top-left finder is a left-edge group, the top-right one a right-edge group.
    std::vector<Candidate> leftEdge, rightEdge;
    for (int y = 0; y < height; ++y)
        ScanLine(binary, height, binary[size_t(y)], y, width, HorizontalEdge, 0, leftEdge,
                 rightEdge);
    if (leftEdge.empty() || rightEdge.empty()) return kNotRecognised;

    box.BoxWidth = 0;
    auto h = AgreedGeometry(leftEdge, rightEdge);
    if (!h) return kNotRecognised;
    box.Left = h->start;
    box.BoxWidth = h->span;
    box.FinderWidthSum = CheckedInt16(h->firstSize + h->secondSize);

    // Columns inside the found width: top-left and bottom-left finders.
    std::vector<Candidate> topEdge, bottomEdge;
    std::string column(size_t(height), '0');
    for (int x = box.Left; x <= box.Left + box.BoxWidth - 1; ++x) {
        for (int y = 0; y < height; ++y) column[size_t(y)] = CharAt(binary[size_t(y)], x);
        ScanLine(binary, height, column, x, height, VerticalEdge, -1, topEdge, bottomEdge);
    }
    if (topEdge.empty() || bottomEdge.empty()) return kNotRecognised;

    box.BoxHeight = 0;
    auto v = AgreedGeometry(topEdge, bottomEdge);
    if (!v) return kNotRecognised;
    box.Top = v->start;
    box.BoxHeight = v->span;
    box.FinderHeightSum = CheckedInt16(v->firstSize + v->secondSize);

    PixelRect symbol{box.Top, box.Top + box.BoxHeight - 1, box.Left - 1,
                     box.Left + box.BoxWidth - 2};
    binary =
        BinariseImage(grey, symbol, ThresholdRule::Refined, thresholdFactor, options.debugFolder);
    return "";
}

} // namespace

int16_t CheckFinderRuns(const std::array<int16_t, 5>& runs) {
    int16_t t = CheckedInt16(runs[0] + runs[1] + runs[2] + runs[3] + runs[4]);
    float m = float(t) / 7.0f;
    float h = m / 2.0f;
    int lo1 = TruncToInt16(m - h), hi1 = TruncToInt16(m + h + 0.5f);
    int lo3 = TruncToInt16(3 * m - h), hi3 = TruncToInt16(3 * m + h + 0.5f);
    for (size_t k = 0; k < 5; ++k) {
        bool middle = k == 2;
        int lo = middle ? lo3 : lo1, hi = middle ? hi3 : hi1;
        if (runs[k] < lo || runs[k] > hi) return 0;
    }
    return t;
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
                               float thresholdFactor, const DecodeOptions& options) {
    try {
        return Search(grey, binary, box, thresholdFactor, options);
    } catch (const std::exception&) {
        return kNotRecognisedFault;
    }
}

} // namespace zorvik
