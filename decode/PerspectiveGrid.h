// The module grid of a located symbol: a projective map from module
// coordinates to the picture, the alignment pattern that pins its fourth
// corner, and sampling of each module at its centre.
#pragma once

#include "ChangeBitmap.h"
#include "FinderLocator.h"
#include "ModuleSampling.h"
#include "SampleKernels.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace zorvik {

// x' = (a x + b y + c) / (g x + h y + 1), y' = (d x + e y + f) / (g x + h y + 1).
class Perspective {
  public:
    // The map taking each from[i] to to[i]. Returns nothing when either
    // quadrilateral is degenerate (three corners on a line).
    static std::optional<Perspective> FromQuads(const std::array<PlanePoint, 4>& from,
                                                const std::array<PlanePoint, 4>& to);
    PlanePoint Map(PlanePoint p) const {
        const double w = m_[6] * p.x + m_[7] * p.y + m_[8];
        return {(m_[0] * p.x + m_[1] * p.y + m_[2]) / w, (m_[3] * p.x + m_[4] * p.y + m_[5]) / w};
    }

    const std::array<double, 9>& Coefficients() const { return m_; }

  private:
    std::array<double, 9> m_{}; // row-major, m_[8] == 1 after normalising
};

// Module coordinates: module (row r, column c) covers [c, c + 1) x [r, r + 1),
// so its centre is (c + 0.5, r + 0.5) and a finder centre is 3.5 modules in
// from its corner.

// Where the finders put the points of the symbol's diagonal, module
// (3.5 + k (N - 7), 3.5 + k (N - 7)), k = 1 at the fourth finder position.
// Parallelogram: as if the symbol were seen head-on (an affine map), which
// holds for screens and gentle keystone. SizeWeighted: each finder centre
// weighted by the projective depth w its module size implies: the map's
// area scale goes as w^-3, its linear scale as w^(-3/2), so w ~ size^(-2/3).
// This follows a steep keystone, where the far finders are much smaller;
// where the weights nearly cancel there is no guess (no grid, no pattern).
enum class CornerGuess { Parallelogram, SizeWeighted };

// The map from module coordinates to the picture through the three finder
// centres and a fourth point: the centre of the bottom-right alignment
// pattern (module N - 6.5, N - 6.5) when given, else the guessed corner
// (N - 3.5, N - 3.5).
std::optional<Perspective> GridFromFinders(const FinderTriple& triple, int modules,
                                           const std::optional<PlanePoint>& alignment,
                                           CornerGuess guess = CornerGuess::Parallelogram);

// The grid through the three finder centres whose fourth point, starting at
// start (module position (N - 3.5, N - 3.5)), is moved up to three modules
// to where the module-centre samples spread most: a grid off register
// samples module edges, which pulls every sample towards the middle grey.
// For symbols without an alignment pattern in perspective, where the
// parallelogram's corner misses.
std::optional<Perspective> RefineFourthCorner(const GreyImage& grey, const FinderTriple& triple,
                                              int modules);

// The bottom-right alignment pattern of a symbol of this size (version 2 and
// up): searched within a few modules of where the finders put it, for the
// 5 x 5 pattern whose light ring is lightest against its dark ring and
// centre, and refined to a sixteenth of a module. Nothing when no spot shows
// the pattern clearly. lightOnDark swaps the roles of the grey values;
// guess says where the finders put it.
std::optional<PlanePoint> FindAlignment(const GreyImage& grey, const FinderTriple& triple,
                                        int modules, bool lightOnDark,
                                        CornerGuess guess = CornerGuess::Parallelogram);

// Brightness at a point, interpolated between the four nearest pixel
// centres; points outside take the nearest border pixel. The image must not
// be empty.
inline double GreyAt(const GreyImage& grey, PlanePoint p) {
    return GreyBetween({grey.pixels.data(), grey.width, grey.height}, p.x, p.y);
}

enum class ModuleThreshold {
    Global, // one threshold for all module samples (two-class split)
    Local,  // midpoint of the samples within four modules, where they differ
};

// The brightness of each module of a modules x modules grid, row by row,
// from a small centre-weighted footprint at its centre.
std::vector<double> SampleFootprints(const GreyImage& grey, const Perspective& map, int modules);

// What every rule reads of a grid's footprints: the two-class split of them
// all and their spread (highest less lowest).
struct FootprintLevels {
    double global, spread;
};
FootprintLevels MeasureFootprints(const std::vector<double>& samples);

// Footprints from SampleFootprints as a grid, '1' dark; lightOnDark swaps
// dark and light. levels are MeasureFootprints(samples).
ModuleMatrix ThresholdFootprints(const std::vector<double>& samples, int modules,
                                 const FootprintLevels& levels, ModuleThreshold rule,
                                 bool lightOnDark);

// The modules within 11 of the top-left, top-right and bottom-left corners
// (finders, separators, format and version information), thresholded among
// themselves; every other module '0'. Enough to read the version blocks of a
// grid without sampling all of it.
ModuleMatrix SampleCorners(const GreyImage& grey, const Perspective& map, int modules,
                           bool lightOnDark);

// TimingAgreement from footprints of the timing modules alone, each line
// thresholded halfway between its darkest and lightest module: a cheap test
// before a grid is sampled in full. 0 under 21 modules.
double TimingAgreementAt(const GreyImage& grey, const Perspective& map, int modules,
                         bool lightOnDark);

// Share of the three finder patterns' 7 x 7 modules whose footprint is on
// the pattern's side of a threshold halfway between the mean footprints of
// its dark and its light modules: near 1 where the grid lies over finders,
// near one half over anything else. Cheap (147 footprints), and sure near
// the finder centres that every grid passes through.
double FinderAgreementAt(const GreyImage& grey, const Perspective& map, int modules,
                         bool lightOnDark);

// Share of the timing pattern modules (row 6 and column 6 between the
// finders) that alternate as they should; 0 for a matrix under 21 modules.
double TimingAgreement(const ModuleMatrix& matrix);

// The version (7..40) read from either version information block of a
// sampled grid, at most 3 bits away from a valid code; 0 when neither reads.
int ReadVersionBlocks(const ModuleMatrix& matrix);

// The 18-bit version information code of version 7..40: the version in the
// top 6 bits, its 12-bit BCH remainder below.
unsigned VersionCode(int version);

// The matrix mirrored about its main diagonal.
ModuleMatrix Transpose(const ModuleMatrix& matrix);

} // namespace zorvik
