// The symbols found in the whole picture on view, as the main window offers
// them: where each outline lies in the view at its zoom, which one a click or
// Enter picks, the keyboard focus among them, the selection a pick makes,
// and whether a search result still belongs to the picture on view. Plain
// rules without a display; the view only draws them and forwards events.
#pragma once

#include "DecodeRun.h"
#include "SymbolScan.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zorvik {

struct ViewPoint {
    double x = 0, y = 0;
};

// Picture pixels to view pixels: the view shows the picture scaled by
// scaleX x scaleY (the zoom) with the picture's top-left edge at originX,
// originY of the view (negative when scrolled into the view's own space).
struct ViewTransform {
    double scaleX = 1, scaleY = 1, originX = 0, originY = 0;
    ViewPoint ToView(const PlanePoint& p) const;
    PlanePoint ToPicture(const ViewPoint& v) const;
};

// A rectangle of the picture in whole pixels at actual size.
struct PickRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PickRect&) const = default;
};

// A left press and its release closer than this (view pixels) are a click;
// farther apart they are a drag, which keeps its documented meaning.
inline constexpr double kClickSlop = 3;
bool IsClick(const ViewPoint& press, const ViewPoint& release);

// The quiet zone a pick adds around a symbol, in modules.
inline constexpr int kPickQuietModules = 4;

// What a pick selects: the symbol's bounding box grown by the quiet zone,
// the module taken as the mean side / (17 + 4 x version), widened to whole
// pixels and clipped to the picture of pictureWidth x pictureHeight.
PickRect SelectionAround(const FoundSymbol& symbol, int pictureWidth, int pictureHeight);

class SymbolOutlines {
  public:
    // A new picture is on view (or none): the outlines go, and a search
    // started for an earlier picture is stale from now on. arrivedSelected:
    // the picture came with a selection of its own (a small paste, selected
    // whole), which nothing automatic may replace. Returns the generation to
    // tag this picture's search with.
    uint64_t BeginPicture(bool arrivedSelected);
    bool IsCurrent(uint64_t generation) const { return generation == generation_; }
    // The search tagged generation found these symbols (in their order, which
    // numbers the outlines 1, 2, ...; the first takes the focus). False, with
    // nothing kept, when the picture has been replaced since.
    bool Accept(uint64_t generation, std::vector<FoundSymbol> symbols, uint32_t elapsedMs);
    // The user dragged a box: from now on nothing automatic touches this
    // picture's selection.
    void NoteDrag() { dragged_ = true; }
    // Whether the result just accepted may decode by itself: the option is
    // on, there is exactly one symbol, and the picture arrived without a
    // selection that the user has not replaced by a drag since.
    bool DecodeByItself(bool optionOn) const;

    const std::vector<FoundSymbol>& symbols() const { return symbols_; }
    bool empty() const { return symbols_.empty(); }
    // The focused outline, -1 when there are none.
    int focus() const { return focus_; }
    // Tab (forward) and Shift+Tab, round from the last to the first and back.
    void MoveFocus(bool forward);
    void SetFocus(int index);

    // The outline's corners in view pixels, in the symbol's corner order.
    std::array<ViewPoint, 4> OutlineInView(int index, const ViewTransform& view) const;
    // The outline that holds the view point (the first in order where
    // outlines overlap), -1 for none.
    int SymbolAt(const ViewPoint& p, const ViewTransform& view) const;
    // The symbol's whole-picture result as a decode's outcome.
    DecodeOutcome OutcomeOf(int index) const;

  private:
    uint64_t generation_ = 0;
    std::vector<FoundSymbol> symbols_;
    uint32_t elapsedMs_ = 0;
    int focus_ = -1;
    bool arrivedSelected_ = false, dragged_ = false;
};

} // namespace zorvik
