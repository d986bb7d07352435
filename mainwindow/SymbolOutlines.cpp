#include "SymbolOutlines.h"

#include <algorithm>
#include <cmath>

namespace zorvik {
namespace {

double Distance(const PlanePoint& a, const PlanePoint& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Crossing-number test: either winding (a mirrored symbol's corners run the
// other way round) gives the same answer.
bool Inside(const std::array<PlanePoint, 4>& quad, const PlanePoint& p) {
    bool inside = false;
    for (size_t i = 0, j = quad.size() - 1; i < quad.size(); j = i++) {
        const PlanePoint &a = quad[i], &b = quad[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

} // namespace

ViewPoint ViewTransform::ToView(const PlanePoint& p) const {
    return {p.x * scaleX + originX, p.y * scaleY + originY};
}

PlanePoint ViewTransform::ToPicture(const ViewPoint& v) const {
    return {(v.x - originX) / scaleX, (v.y - originY) / scaleY};
}

bool IsClick(const ViewPoint& press, const ViewPoint& release) {
    return std::hypot(release.x - press.x, release.y - press.y) < kClickSlop;
}

PickRect SelectionAround(const FoundSymbol& symbol, int pictureWidth, int pictureHeight) {
    const auto& c = symbol.corners;
    const double side = (Distance(c[0], c[1]) + Distance(c[1], c[2]) + Distance(c[2], c[3]) +
                         Distance(c[3], c[0])) /
                        4;
    const int version = std::clamp<int>(symbol.result.SymbolVersion, 1, 40);
    const double quiet = kPickQuietModules * side / (17 + 4 * version);
    double left = c[0].x, right = c[0].x, top = c[0].y, bottom = c[0].y;
    for (const PlanePoint& p : c) {
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    const int l = std::clamp(int(std::floor(left - quiet)), 0, pictureWidth);
    const int t = std::clamp(int(std::floor(top - quiet)), 0, pictureHeight);
    const int r = std::clamp(int(std::ceil(right + quiet)), 0, pictureWidth);
    const int b = std::clamp(int(std::ceil(bottom + quiet)), 0, pictureHeight);
    return {l, t, r - l, b - t};
}

uint64_t SymbolOutlines::BeginPicture(bool arrivedSelected) {
    symbols_.clear();
    elapsedMs_ = 0;
    focus_ = -1;
    arrivedSelected_ = arrivedSelected;
    dragged_ = false;
    return ++generation_;
}

bool SymbolOutlines::Accept(uint64_t generation, std::vector<FoundSymbol> symbols,
                            uint32_t elapsedMs) {
    if (!IsCurrent(generation)) return false;
    symbols_ = std::move(symbols);
    elapsedMs_ = elapsedMs;
    focus_ = symbols_.empty() ? -1 : 0;
    return true;
}

bool SymbolOutlines::DecodeByItself(bool optionOn) const {
    return optionOn && symbols_.size() == 1 && !arrivedSelected_ && !dragged_;
}

void SymbolOutlines::MoveFocus(bool forward) {
    const int n = int(symbols_.size());
    if (n == 0) return;
    focus_ = ((focus_ < 0 ? 0 : focus_) + (forward ? 1 : n - 1)) % n;
}

void SymbolOutlines::SetFocus(int index) {
    if (index >= 0 && index < int(symbols_.size())) focus_ = index;
}

std::array<ViewPoint, 4> SymbolOutlines::OutlineInView(int index, const ViewTransform& view) const {
    std::array<ViewPoint, 4> outline;
    const auto& corners = symbols_.at(size_t(index)).corners;
    for (size_t i = 0; i < outline.size(); ++i) outline[i] = view.ToView(corners[i]);
    return outline;
}

int SymbolOutlines::SymbolAt(const ViewPoint& p, const ViewTransform& view) const {
    const PlanePoint at = view.ToPicture(p);
    for (size_t i = 0; i < symbols_.size(); ++i)
        if (Inside(symbols_[i].corners, at)) return int(i);
    return -1;
}

DecodeOutcome SymbolOutlines::OutcomeOf(int index) const {
    return zorvik::OutcomeOf(symbols_.at(size_t(index)), elapsedMs_);
}

} // namespace zorvik
