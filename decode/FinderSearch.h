// Symbol location: finds the three finder patterns of an upright symbol and
// measures its bounding box.
#pragma once

#include "ChangeBitmap.h"
#include "CommonModule.h"

#include <array>
#include <cstdint>
#include <string>

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

// Binarises grey, finds the symbol and returns "" with binary holding the
// refined binarisation and box's Left, BoxWidth, FinderWidthSum, Top,
// BoxHeight, FinderHeightSum set. Otherwise returns kNotRecognised (no
// symbol geometry) or kNotRecognisedFault (any fault inside the search);
// box is then not meaningful. Never throws.
std::string FindFinderPatterns(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                               float thresholdFactor, const DecodeOptions& options);

// The total of five runs (dark, light, dark, light, dark) when they are in
// the proportion 1:1:3:1:1 within half a module, else 0.
int16_t CheckFinderRuns(const std::array<int16_t, 5>& runs);

// Share of '1' among the w x h pixels whose top-left is character position x
// of row y. Parts outside the picture count as light; x <= 0 clips the strip
// at the left border. Throws on a fault: w * h above 32767, a strip clipped
// to a negative width, or a row beyond the image when height exceeds it.
double DarkFraction(const BinaryImage& image, int height, int x, int y, int w, int h);

} // namespace zorvik
