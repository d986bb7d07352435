// Finder patterns for the second search: found by their 1:1:3:1:1 runs in any
// orientation, and grouped into ordered triples that may be a symbol.
#pragma once

#include "LocalThreshold.h"
#include "WorkAhead.h"

#include <array>
#include <atomic>
#include <vector>

namespace zorvik {

// A point in picture coordinates: pixel (col, row) covers [col, col + 1) x
// [row, row + 1), so its centre is (col + 0.5, row + 0.5).
struct PlanePoint {
    double x = 0;
    double y = 0;
};

struct FinderCandidate {
    PlanePoint centre;
    // Width of one module measured along rows and columns; a finder turned
    // by an angle a measures this much times 1 / max(|cos a|, |sin a|).
    double moduleSize = 0;
    int hits = 0; // scan lines that confirmed it
};

// Finder patterns in plane of both polarities: index 0 holds those dark on
// light (dark pixels are 1), index 1 those light on dark (dark pixels are 0).
// Each row and each column is scanned for dark-light-dark-light-dark runs
// in the proportion 1:1:3:1:1; a hit counts only when the crossing line
// through its centre shows the same proportion, and its centre is then the
// middle of both centre runs. Hits within about a module of each other are
// merged. Each list is sorted by hits, most first. Linear in pixels apart
// from the cross-checks. Only crossings of widths are looked at. stop, when
// given, may call the search off from another thread: it then ends within
// a line's work, with an incomplete result. The plane's rows are read once,
// in order.
struct FinderWidths {
    int least = 7, most = 1 << 30; // pixels across a finder's 7 modules
};
using FinderPools = std::array<std::vector<FinderCandidate>, 2>;
FinderPools LocateFinders(PlaneRows&& plane, FinderWidths widths = {},
                          const std::atomic<bool>* stop = nullptr);
FinderPools LocateFinders(const BitPlane& plane, FinderWidths widths = {},
                          const std::atomic<bool>* stop = nullptr);

// A finder search run on a second thread while the caller reads other
// planes' triples: it ends within a line of its plane when called off (a
// histogram under way is finished first).
using SearchAhead = WorkAhead<FinderPools>;

// Three finders in symbol order: the top-left one, the one at the end of the
// first row and the one at the start of the last row, as the symbol reads
// upright (a mirror image comes out transposed).
struct FinderTriple {
    FinderCandidate topLeft, topRight, bottomLeft;
    double score = 0; // lower is more like a square symbol
};

// Puts three finders in order: the top-left one is the corner opposite the
// longest side; the other two are ordered so that, with rows growing
// downwards, the turn from top-right to bottom-left about the top-left one
// is clockwise on screen (positive cross product).
FinderTriple OrderFinders(const FinderCandidate& a, const FinderCandidate& b,
                          const FinderCandidate& c);

// The most plausible triples among the first maxCandidates candidates, at
// most maxTriples, best first: module sizes within a factor 2.5 of each
// other (a steep keystone's far finders are that much smaller), similar
// ones preferred, a near right angle at the top-left one, legs of near
// equal length in modules and a size between 21 and 177 modules. The work
// grows with the cube of maxCandidates.
std::vector<FinderTriple> ChooseTriples(const std::vector<FinderCandidate>& candidates,
                                        size_t maxTriples, size_t maxCandidates = 16);

// The same three finders in the same roles, each centre within half a
// module of its twin: one triple found in two binarisations.
bool SameTriple(const FinderTriple& a, const FinderTriple& b);

// Module size of the triple's finders along the symbol's own axes: the
// measured sizes corrected for the turn of the top-left to top-right side.
double TripleModuleSize(const FinderTriple& triple);

// Estimated modules per side (17 + 4 * version) from the finder distances
// and module size, clamped to 21..177.
int EstimateModuleCount(const FinderTriple& triple);

} // namespace zorvik
