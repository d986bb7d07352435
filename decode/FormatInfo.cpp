#include "FormatInfo.h"

#include "CommonModule.h"

#include <bit>
#include <string>

namespace zorvik {

// clang-format off
// ISO/IEC 18004, Annex C, Table C.1: format information bit sequences, as
// they stand in the symbol (after the XOR with 101010000010010).
const std::array<std::string_view, 32> FormatInfoTable = {
    //  code                index  level mask
    "111011111000100",  //  0  L 0
    "111001011110011",  //  1  L 1
    "111110110101010",  //  2  L 2
    "111100010011101",  //  3  L 3
    "110011000101111",  //  4  L 4
    "110001100011000",  //  5  L 5
    "110110001000001",  //  6  L 6
    "110100101110110",  //  7  L 7
    "101010000010010",  //  8  M 0
    "101000100100101",  //  9  M 1
    "101111001111100",  // 10  M 2
    "101101101001011",  // 11  M 3
    "100010111111001",  // 12  M 4
    "100000011001110",  // 13  M 5
    "100111110010111",  // 14  M 6
    "100101010100000",  // 15  M 7
    "011010101011111",  // 16  Q 0
    "011000001101000",  // 17  Q 1
    "011111100110001",  // 18  Q 2
    "011101000000110",  // 19  Q 3
    "010010010110100",  // 20  Q 4
    "010000110000011",  // 21  Q 5
    "010111011011010",  // 22  Q 6
    "010101111101101",  // 23  Q 7
    "001011010001001",  // 24  H 0
    "001001110111110",  // 25  H 1
    "001110011100111",  // 26  H 2
    "001100111010000",  // 27  H 3
    "000011101100010",  // 28  H 4
    "000001001010101",  // 29  H 5
    "000110100001100",  // 30  H 6
    "000100000111011",  // 31  H 7
};
// clang-format on

namespace {

constexpr int kFormatLength = 15;

// Module (row, column) of the matrix; a position outside it is a stage fault.
char ModuleAt(const ModuleMatrix& matrix, int row, int column) {
    if (row < 0 || row >= static_cast<int>(matrix.size()))
        throw StageFault("module row outside the matrix");
    return CharAt(matrix[static_cast<size_t>(row)], column + 1);
}

// Around the top-left finder: row 8 left to right (column 6 is timing),
// then column 8 upwards (row 6 is timing).
std::string ReadCopy1(const ModuleMatrix& matrix) {
    std::string copy;
    for (int c = 0; c <= 5; ++c) copy += ModuleAt(matrix, 8, c);
    copy += ModuleAt(matrix, 8, 7);
    copy += ModuleAt(matrix, 8, 8);
    copy += ModuleAt(matrix, 7, 8);
    for (int r = 5; r >= 0; --r) copy += ModuleAt(matrix, r, 8);
    return copy;
}

// Beside the other two finders: column 8 from the bottom row up, then the
// last eight columns of row 8.
std::string ReadCopy2(const ModuleMatrix& matrix, int modulesAcross, int modulesDown) {
    std::string copy;
    for (int k = 1; k <= 7; ++k) copy += ModuleAt(matrix, modulesDown - k, 8);
    for (int c = modulesAcross - 8; c <= modulesAcross - 1; ++c) copy += ModuleAt(matrix, 8, c);
    return copy;
}

} // namespace

int MatchFormatExact(std::string_view text) {
    for (int l = 0; l < static_cast<int>(FormatInfoTable.size()); ++l)
        if (FormatInfoTable[static_cast<size_t>(l)] == text) return l;
    return -1;
}

int MatchFormatNearest(std::string_view text) {
    if (text.size() < kFormatLength) ThrowStageFault("text position outside the text");
    text = text.substr(0, kFormatLength);
    // The table and the text as 15-bit masks, first character highest. A
    // character other than '0' and '1' matches neither and so differs from
    // every entry.
    static const std::array<unsigned, 32> entries = [] {
        std::array<unsigned, 32> bits{};
        for (size_t l = 0; l < FormatInfoTable.size(); ++l)
            for (char ch : FormatInfoTable[l]) bits[l] = bits[l] << 1 | unsigned(ch == '1');
        return bits;
    }();
    unsigned ones = 0, zeros = 0;
    for (char ch : text) {
        ones = ones << 1 | unsigned(ch == '1');
        zeros = zeros << 1 | unsigned(ch == '0');
    }
    constexpr unsigned kAll = (1u << kFormatLength) - 1;
    int bestDistance = kFormatLength;
    int bestIndex = -1;
    for (int l = 0; l < static_cast<int>(entries.size()); ++l) {
        const unsigned entry = entries[static_cast<size_t>(l)];
        const unsigned same = (ones & entry) | (zeros & ~entry & kAll);
        const int distance = std::popcount(~same & kAll);
        // Strictly smaller: among equal distances the lowest index stays.
        if (distance < bestDistance) {
            bestDistance = distance;
            bestIndex = l;
        }
    }
    return bestDistance <= 3 ? bestIndex : -1;
}

void ReadFormatInfo(const ModuleMatrix& matrix, int16_t modulesAcross, int16_t modulesDown,
                    int16_t& SymbolVersion, int16_t& EcLevel, int16_t& MaskPattern) {
    SymbolVersion = -1;
    EcLevel = -1;
    MaskPattern = -1;

    const std::string copy1 = ReadCopy1(matrix);
    const std::string copy2 = ReadCopy2(matrix, modulesAcross, modulesDown);

    int l;
    if (copy1 == copy2) {
        l = MatchFormatExact(copy1);
        if (l < 0) l = MatchFormatNearest(copy1);
    } else {
        // An exact match in either copy beats a near match in the other.
        l = MatchFormatExact(copy1);
        if (l < 0) l = MatchFormatExact(copy2);
        if (l < 0) l = MatchFormatNearest(copy1);
        if (l < 0) l = MatchFormatNearest(copy2);
    }
    if (l < 0) return;

    EcLevel = static_cast<int16_t>(l / 8);
    MaskPattern = static_cast<int16_t>(l % 8);
    // Only the module count decides the version; the version information
    // blocks of larger symbols are not read. Truncates toward zero.
    SymbolVersion = CheckedInt16((modulesAcross - 17) / 4);
}

} // namespace zorvik
