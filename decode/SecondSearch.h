// The second search: after every documented attempt has failed, finds the
// symbol wherever and however it lies in the picture (turned, mirrored,
// light on dark, in perspective, small in a large selection), samples its
// module grid upright and hands it to the same symbol decoder.
#pragma once

#include "ChangeBitmap.h"
#include "DecodeEngine.h"
#include "FinderLocator.h"
#include "PerspectiveGrid.h"

#include <atomic>
#include <optional>
#include <string>

namespace zorvik {

inline constexpr const char* kSecondSearchFailed = "second search: no symbol decoded";

// From this score on (FinderTriple::score) a triple is not worth trying:
// the symbols read score below 0.8; blobs in a blurred picture that happen
// to lie like finders, above 1.
inline constexpr double kHopelessTripleScore = 1.0;

// "" with result and engine.GetDecodedText() set by the first candidate
// grid the engine decodes; otherwise kSecondSearchFailed. With threads > 1
// a large picture's full-size finders are found on a second thread while
// the half-size planes' finders are found and their triples read; the
// outcome is the same with any threads, unless memory runs out (two threads
// hold more planes at once). stop, when given, may call the search off
// from another thread: it then ends soon (within a line of a plane, a
// triple, or the halving of a large picture), with kSecondSearchFailed or
// a symbol found before. Never throws.
std::string SecondSearch(const GreyImage& grey, DecodeEngine& engine, DecodeResult& result,
                         int threads = 1, const std::atomic<bool>* stop = nullptr);

// The grid through which a triple's symbol was decoded.
struct GridRead {
    Perspective map; // module coordinates (column, row) -> picture pixels
    int modules = 0;
    bool mirrored = false; // decoded from the transpose of the sampled grid
    ModuleMatrix matrix;   // the upright matrix the engine decoded
};

// Reads finder triples into symbols: sizes, grids and module thresholds in
// order of likelihood, within one budget of decoder calls shared by every
// triple it is given. Both searches read their candidates through it.
class TripleReader {
  public:
    TripleReader(const GreyImage& grey, DecodeEngine& engine, int maxDecodes)
        : grey_(grey), engine_(engine), maxDecodes_(maxDecodes) {}

    // The grid of the first matrix the engine decodes, with result and
    // engine.GetDecodedText() set; nothing when none decodes or the budget
    // runs out. May throw on a picture too large for memory.
    std::optional<GridRead> Read(const FinderTriple& triple, bool lightOnDark,
                                 DecodeResult& result);
    bool Exhausted() const { return decodes_ >= maxDecodes_; }

  private:
    bool TryGrid(const Perspective& map, int n, bool lightOnDark);
    bool TryMatrix(const ModuleMatrix& matrix);

    const GreyImage& grey_;
    DecodeEngine& engine_;
    int maxDecodes_;
    int decodes_ = 0;
    DecodeResult* result_ = nullptr;
    std::optional<GridRead> read_;
};

} // namespace zorvik
