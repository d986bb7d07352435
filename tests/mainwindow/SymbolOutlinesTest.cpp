// The rules of the found symbols' outlines without a display: what a click
// hits at a zoom and scroll, the selection a pick makes, the keyboard focus,
// and which search results may still act.
#include "SymbolOutlines.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace zorvik;

namespace {

auto RowName = [](const auto& info) {
    std::string name;
    for (char c : std::string(info.param.name))
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    return name;
};

FoundSymbol Symbol(std::array<PlanePoint, 4> corners, int version = 1) {
    FoundSymbol symbol;
    symbol.corners = corners;
    symbol.result.SymbolVersion = int16_t(version);
    return symbol;
}
// An upright square symbol with its top-left edge at (x, y).
FoundSymbol Square(double x, double y, double side, int version = 1) {
    return Symbol({{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}}}, version);
}
std::vector<FoundSymbol> Row(int n) {
    std::vector<FoundSymbol> symbols;
    for (int i = 0; i < n; ++i) symbols.push_back(Square(100.0 * i, 0, 50));
    return symbols;
}
SymbolOutlines Holding(std::vector<FoundSymbol> symbols) {
    SymbolOutlines outlines;
    EXPECT_TRUE(outlines.Accept(outlines.BeginPicture(false), std::move(symbols), 12));
    return outlines;
}

// A symbol turned by 45 degrees: a diamond around (200, 200); and the same
// diamond as a mirror image shows it, its corners the other way round.
const std::array<PlanePoint, 4> kDiamond{{{200, 140}, {260, 200}, {200, 260}, {140, 200}}};
const std::array<PlanePoint, 4> kMirrored{{{200, 140}, {140, 200}, {200, 260}, {260, 200}}};
const std::array<PlanePoint, 4> kKeystoned{{{100, 100}, {300, 120}, {300, 180}, {100, 200}}};

struct HitRow {
    const char* name;
    std::array<PlanePoint, 4> corners;
    ViewTransform view; // the picture's pixels in the view
    PlanePoint point;   // picture pixels, placed in the view by the transform
    bool inside;
};
class OutlineHit : public ::testing::TestWithParam<HitRow> {};

TEST_P(OutlineHit, FollowsTheOutlineAtEveryZoomAndScroll) {
    const HitRow& row = GetParam();
    const SymbolOutlines outlines = Holding({Square(600, 600, 40), Symbol(row.corners)});
    EXPECT_EQ(outlines.SymbolAt(row.view.ToView(row.point), row.view), row.inside ? 1 : -1);
}

const std::array<PlanePoint, 4> kSquare{{{40, 30}, {124, 30}, {124, 114}, {40, 114}}};
INSTANTIATE_TEST_SUITE_P(
    Shapes, OutlineHit,
    ::testing::Values(
        HitRow{
            "just inside the far corner at actual size", kSquare, {1, 1, 0, 0}, {123, 113}, true},
        HitRow{"just outside at twice the size", kSquare, {2, 2, 0, 0}, {125, 60}, false},
        HitRow{"just inside at three times the size scrolled",
               kSquare,
               {3, 3, -240, -96},
               {41, 31},
               true},
        HitRow{"just outside with each axis zoomed alone",
               kSquare,
               {2.01, 1.99, -2, 0},
               {60, 29},
               false},
        HitRow{"the corner of a turned symbols bounding box is outside",
               kDiamond,
               {},
               {150, 150},
               false},
        HitRow{"near a turned symbols edge is inside", kDiamond, {}, {172, 172}, true},
        HitRow{
            "a mirrored symbol catches the same point", kMirrored, {2, 2, 0, 0}, {172, 172}, true},
        HitRow{"beyond the narrow side of a keystoned symbol is outside",
               kKeystoned,
               {},
               {290, 110},
               false}),
    RowName);

TEST(Click, IsAPressAndReleaseLessThanThreePixelsApart) {
    EXPECT_TRUE(IsClick({10, 10}, {12, 12}));
    EXPECT_TRUE(IsClick({10, 10}, {7.1, 10}));
    EXPECT_FALSE(IsClick({10, 10}, {10, 7}));
}

struct SelectionRow {
    const char* name;
    FoundSymbol symbol;
    PickRect expected; // in a picture of 2560 x 1440
};
class PickedSelection : public ::testing::TestWithParam<SelectionRow> {};

TEST_P(PickedSelection, IsTheBoundingBoxWithFourModulesOfQuietZoneInsideThePicture) {
    const SelectionRow& row = GetParam();
    EXPECT_EQ(SelectionAround(row.symbol, 2560, 1440), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Symbols, PickedSelection,
    ::testing::Values(
        // 25 modules of 2 pixels: 8 pixels of quiet zone all round.
        SelectionRow{"a version 2 symbol at two pixels a module gets eight",
                     Square(1000, 600, 50, 2),
                     {992, 592, 66, 66}},
        SelectionRow{"a quiet zone beyond the edges is cut off",
                     Square(2470, 1350, 84, 1),
                     {2454, 1334, 106, 106}},
        SelectionRow{"fractional corners widen to whole pixels",
                     Symbol({{{100.5, 100.25}, {184.5, 100.25}, {184.5, 184.25}, {100.5, 184.25}}}),
                     {84, 84, 117, 117}},
        // A side of 84.85 pixels, 21 modules.
        SelectionRow{"a turned symbol takes the box around its corners",
                     Symbol(kDiamond),
                     {123, 123, 154, 154}}),
    RowName);

struct FocusRow {
    const char* name;
    int outlines;
    std::string keys; // '>' Tab, '<' Shift+Tab
    int focus;
};
class OutlineFocus : public ::testing::TestWithParam<FocusRow> {};

TEST_P(OutlineFocus, StartsOnTheFirstAndGoesRound) {
    const FocusRow& row = GetParam();
    SymbolOutlines outlines = Holding(Row(row.outlines));
    for (char key : row.keys) outlines.MoveFocus(key == '>');
    EXPECT_EQ(outlines.focus(), row.focus);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OutlineFocus,
    ::testing::Values(FocusRow{"tab twice reaches the third", 3, ">>", 2},
                      FocusRow{"tab on the last goes back to the first", 3, ">>>", 0},
                      FocusRow{"shift tab on the first goes to the last", 3, "<", 2},
                      FocusRow{"without outlines there is no focus", 0, "><", -1}),
    RowName);

struct ArrivalRow {
    const char* name;
    bool arrivedSelected; // a small paste, selected whole
    bool replaced;        // another picture came before the result
    bool dragged;         // the user dragged a box before the result
    int symbols;
    bool accepted, byItself; // with the one-step option on
};
class SearchResult : public ::testing::TestWithParam<ArrivalRow> {};

TEST_P(SearchResult, ActsOnlyForThePictureOnViewAndNeverOverTheUser) {
    const ArrivalRow& row = GetParam();
    SymbolOutlines outlines = Holding(Row(2)); // the last picture's
    const uint64_t generation = outlines.BeginPicture(row.arrivedSelected);
    EXPECT_TRUE(outlines.empty());
    if (row.replaced) outlines.BeginPicture(false);
    if (row.dragged) outlines.NoteDrag();
    EXPECT_EQ(outlines.Accept(generation, Row(row.symbols), 5), row.accepted);
    EXPECT_EQ(int(outlines.symbols().size()), row.accepted ? row.symbols : 0);
    EXPECT_EQ(outlines.DecodeByItself(true), row.byItself);
    EXPECT_FALSE(outlines.DecodeByItself(false));
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, SearchResult,
    ::testing::Values(
        ArrivalRow{"one symbol decodes by itself", false, false, false, 1, true, true},
        ArrivalRow{"two symbols wait for a pick", false, false, false, 2, true, false},
        ArrivalRow{"a result for a replaced picture is dropped", false, true, false, 1, false,
                   false},
        ArrivalRow{"a drag before the result wins", false, false, true, 1, true, false},
        ArrivalRow{"a small paste keeps the selection it arrived with", true, false, false, 1, true,
                   false}),
    RowName);

} // namespace
