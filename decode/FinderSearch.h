// Symbol location: finds the three finder patterns of an upright symbol and
// measures its bounding box.
#pragma once

#include "ChangeBitmap.h"
#include "CommonModule.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvik {

// The symbol's axis-aligned bounding box. It covers BinaryImage rows Top to
// Top + BoxHeight - 1 and character positions Left to Left + BoxWidth - 1.
struct SymbolBox {
    int16_t BoxWidth = 0;
    int16_t Left = 0; // 1-based character position
    int16_t FinderWidthSum = 0;
    int16_t ModulesAcross = 0; // set by SampleModules
    int16_t BoxHeight = 0;
    int16_t Top = 0; // 0-based row index
    int16_t FinderHeightSum = 0;
    int16_t ModulesDown = 0; // set by SampleModules
};

inline constexpr const char* kNotRecognised = "ＱＲコードが認識できませんでした";
inline constexpr const char* kNotRecognisedFault = "ＱＲコードが認識できませんでした(?)";

// What the searches of one picture found so far, by initial binarisation.
// Threshold factors often binarise a picture alike: a screen shows few
// greys, and when none of them lies between two thresholds the two
// binarisations are the same, and so is all the search finds on them.
struct FinderSearchMemo {
    struct Found {
        int darkUpTo;        // the binarisation: DarkUpTo of its threshold
        std::string message; // what the search returned
        SymbolBox box;       // its six search fields
    };
    std::vector<Found> found;
    std::optional<ReferenceLevels> middle; // of the initial binarisations' reference
    struct Gap {
        int above, atMost; // greys above the one and at most the other
        bool empty;        // no pixel has one
    };
    std::vector<Gap> gaps; // looked for so far
};

// Binarises grey, finds the symbol and returns "" with binary holding the
// refined binarisation and box's Left, BoxWidth, FinderWidthSum, Top,
// BoxHeight, FinderHeightSum set. Otherwise returns kNotRecognised (no
// symbol geometry) or kNotRecognisedFault (any fault inside the search);
// box and binary are then not meaningful. Never throws. With a memo (of this
// picture's earlier searches) and no debug folder, an initial binarisation
// equal to an earlier one's is not scanned again; the outcome is the same.
std::string FindFinderPatterns(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                               float thresholdFactor, const DecodeOptions& options,
                               FinderSearchMemo* memo = nullptr);

// The total of five runs (dark, light, dark, light, dark) when they are in
// the proportion 1:1:3:1:1 within half a module, else 0.
int16_t CheckFinderRuns(const std::array<int16_t, 5>& runs);

// Share of '1' among the w x h pixels whose top-left is character position x
// of row y. Parts outside the picture count as light; x <= 0 clips the strip
// at the left border. Throws on a fault: w * h above 32767, a strip clipped
// to a negative width, or a row beyond the image when height exceeds it.
double DarkFraction(const BinaryImage& image, int height, int x, int y, int w, int h);

} // namespace zorvik
