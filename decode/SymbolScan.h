// The every-symbol search of a whole picture: every symbol the second
// search's machinery can find and Reed-Solomon-verify, wherever and however
// it lies (turned, mirrored, light on dark, in perspective, small in a large
// picture), each with its outline. The documented attempts are not involved.
#pragma once

#include "ChangeBitmap.h"
#include "DecodeEngine.h"
#include "FinderLocator.h"

#include <array>
#include <string>
#include <vector>

namespace zorvik {

struct FoundSymbol {
    // The symbol's four outer corners in picture pixels, (0, 0) the top-left
    // edge of the first pixel, in symbol order: top-left, top-right,
    // bottom-right, bottom-left as the symbol reads (a mirror image runs the
    // other way round on screen).
    std::array<PlanePoint, 4> corners;
    DecodeResult result;
    std::string text;
    ModuleMatrix matrix; // upright, as decoded: decoding it again gives the same
};

// Every symbol of the picture, one result each (however many thresholds or
// polarities show it), ordered by the top-left corner's y (to the nearest
// whole pixel), then x. Each
// structured-append member is a symbol of its own. Work is bounded per
// picture; a picture too large for memory gives what was found so far.
// With threads > 1 a second thread finds the second binarisation's
// finders meanwhile (pictures up to 32 megapixels); the result is the same
// with any threads. Never throws.
std::vector<FoundSymbol> FindAllSymbols(const GreyImage& grey, int threads = 2);

} // namespace zorvik
