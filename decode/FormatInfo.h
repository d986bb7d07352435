// Format information (error-correction level and mask) and the version
// derived from the module count.
#pragma once

#include "ModuleSampling.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zorvik {

// Entry l is the 15-bit format code, as it appears in the symbol (masked
// with 101010000010010), of level l / 8 (0 L, 1 M, 2 Q, 3 H) and mask l % 8.
extern const std::array<std::string_view, 32> FormatInfoTable;

// Index of the first entry equal to the 15-character text, or -1.
int MatchFormatExact(std::string_view text);

// Index of the entry nearest in Hamming distance (lowest index among equals),
// or -1 when even that one differs in more than 3 positions.
int MatchFormatNearest(std::string_view text);

// Reads both copies of the format information and sets level, mask and
// version ((modulesAcross - 17) / 4, truncating), or leaves all three at -1
// when no code is found. A matrix smaller than 9 x 9 throws StageFault.
void ReadFormatInfo(const ModuleMatrix& matrix, int16_t modulesAcross, int16_t modulesDown,
                    int16_t& SymbolVersion, int16_t& EcLevel, int16_t& MaskPattern);

} // namespace zorvik
