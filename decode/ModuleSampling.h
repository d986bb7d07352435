// Module grid sampling: divides the located symbol box into N x N modules
// and decides each by a majority vote of its pixels.
#pragma once

#include "ChangeBitmap.h"
#include "CommonModule.h"
#include "FinderSearch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

// N texts of N characters, row 0 at the top, '1' a dark module; 21 <= N <= 177.
using ModuleMatrix = std::vector<std::string>;

// Mode 0: equal module sizes; 1: sizes moved onto edges, never twice in a row
// in the same direction; 2: sizes moved onto edges for every module.
// sizeCorrection (0, +4, -4) is added to the estimated module count.
// Returns "" and sets box.ModulesAcross/ModulesDown, or kNotRecognisedFault
// on any fault. Never throws.
std::string SampleModules(const BinaryImage& binary, SymbolBox& box, ModuleMatrix& matrix,
                          int samplingMode, int sizeCorrection, const DecodeOptions& options);

// Moves each module's end onto the strongest pixel boundary within about half
// a module. sizes has n entries, edgeCounts span + 1. Throws on a fault
// (16-bit overflow, an index outside the arrays).
void AdjustModuleSizes(std::vector<int16_t>& sizes, const std::vector<int16_t>& edgeCounts, int n,
                       int span, int samplingMode, const std::string& debugFolder);

} // namespace zorvik
