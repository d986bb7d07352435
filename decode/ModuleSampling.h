// Module grid sampling: divides the located symbol box into N x N modules
// and decides each by a majority vote of its pixels.
#pragma once

#include "ChangeBitmap.h"
#include "CommonModule.h"
#include "FinderSearch.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zorvik {

// N texts of N characters, row 0 at the top, '1' a dark module; 21 <= N <= 177.
using ModuleMatrix = std::vector<std::string>;

// What every sampling variant of one binarisation and box shares: the two
// edge profiles and a summed-area table of its dark pixels, filled on first
// use. The owner calls Reset() whenever the binary image changes (same
// address, new content); a cache is never shared between images at once.
class SamplingCache {
  public:
    void Reset() { *this = SamplingCache(); }

  private:
    friend struct SamplingAccess;
    const BinaryImage* image = nullptr;
    int left = 0, top = 0, width = 0, height = 0;
    bool fits = false; // box inside an image of equal rows of rowWidth
    int rowWidth = 0;
    bool columnsDone = false, rowsDone = false;
    std::vector<int> columnEdges, rowEdges;
    // Dark pixels of rows top.. and 1-based positions left.. (prefix sums,
    // one guard row and column); none until the first vote. Counts modulo
    // 2^16 serve every cell of fewer than 65536 pixels, at half the memory.
    template <typename Count> struct SummedTable {
        int top = 0, left = 0, rows = 0, columns = 0;
        std::unique_ptr<Count[]> sums;
    };
    SummedTable<uint16_t> narrow;
    SummedTable<uint32_t> wide;
};

// Mode 0: equal module sizes; 1: sizes moved onto edges, never twice in a row
// in the same direction; 2: sizes moved onto edges for every module.
// sizeCorrection (0, +4, -4) is added to the estimated module count.
// Returns "" and sets box.ModulesAcross/ModulesDown, or kNotRecognisedFault
// on any fault. Never throws.
// With a cache the variants of one binarisation share their pixel counts;
// the results are the same with or without one.
std::string SampleModules(const BinaryImage& binary, SymbolBox& box, ModuleMatrix& matrix,
                          int samplingMode, int sizeCorrection, const DecodeOptions& options,
                          SamplingCache* cache = nullptr);

// Moves each module's end onto the strongest pixel boundary within about half
// a module. sizes has n entries, edgeCounts span + 1. Throws on a fault
// (16-bit overflow, an index outside the arrays).
void AdjustModuleSizes(std::vector<int16_t>& sizes, const std::vector<int16_t>& edgeCounts, int n,
                       int span, int samplingMode, const std::string& debugFolder);

} // namespace zorvik
