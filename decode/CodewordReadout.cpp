#include "CodewordReadout.h"

#include "CommonModule.h"

#include <algorithm>

namespace zorvik {

// clang-format off
// ISO/IEC 18004, Table 9: per version the total codewords, the data
// codewords of levels L, M, Q, H and their numbers of error-correction blocks.
const std::array<int16_t, 360> CapacityTable = {
    //         ---- data codewords ----   --- blocks ---
    // total     L     M     Q     H      L   M   Q   H    version
         26,   19,   16,   13,    9,     1,  1,  1,  1,  //  1
         44,   34,   28,   22,   16,     1,  1,  1,  1,  //  2
         70,   55,   44,   34,   26,     1,  1,  2,  2,  //  3
        100,   80,   64,   48,   36,     1,  2,  2,  4,  //  4
        134,  108,   86,   62,   46,     1,  2,  4,  4,  //  5
        172,  136,  108,   76,   60,     2,  4,  4,  4,  //  6
        196,  156,  124,   88,   66,     2,  4,  6,  5,  //  7
        242,  194,  154,  110,   86,     2,  4,  6,  6,  //  8
        292,  232,  182,  132,  100,     2,  5,  8,  8,  //  9
        346,  274,  216,  154,  122,     4,  5,  8,  8,  // 10
        404,  324,  254,  180,  140,     4,  5,  8, 11,  // 11
        466,  370,  290,  206,  158,     4,  8, 10, 11,  // 12
        532,  428,  334,  244,  180,     4,  9, 12, 16,  // 13
        581,  461,  365,  261,  197,     4,  9, 16, 16,  // 14
        655,  523,  415,  295,  223,     6, 10, 12, 18,  // 15
        733,  589,  453,  325,  253,     6, 10, 17, 16,  // 16
        815,  647,  507,  367,  283,     6, 11, 16, 19,  // 17
        901,  721,  563,  397,  313,     6, 13, 18, 21,  // 18
        991,  795,  627,  445,  341,     7, 14, 21, 25,  // 19
       1085,  861,  669,  485,  385,     8, 16, 20, 25,  // 20
       1156,  932,  714,  512,  406,     8, 17, 23, 25,  // 21
       1258, 1006,  782,  568,  442,     9, 17, 23, 34,  // 22
       1364, 1094,  860,  614,  464,     9, 18, 25, 30,  // 23
       1474, 1174,  914,  664,  514,    10, 20, 27, 32,  // 24
       1588, 1276, 1000,  718,  538,    12, 21, 29, 35,  // 25
       1706, 1370, 1062,  754,  596,    12, 23, 34, 37,  // 26
       1828, 1468, 1128,  808,  628,    12, 25, 34, 40,  // 27
       1921, 1531, 1193,  871,  661,    13, 26, 35, 42,  // 28
       2051, 1631, 1267,  911,  701,    14, 28, 38, 45,  // 29
       2185, 1735, 1373,  985,  745,    15, 29, 40, 48,  // 30
       2323, 1843, 1455, 1033,  793,    16, 31, 43, 51,  // 31
       2465, 1955, 1541, 1115,  845,    17, 33, 45, 54,  // 32
       2611, 2071, 1631, 1171,  901,    18, 35, 48, 57,  // 33
       2761, 2191, 1725, 1231,  961,    19, 37, 51, 60,  // 34
       2876, 2306, 1812, 1286,  986,    19, 38, 53, 63,  // 35
       3034, 2434, 1914, 1354, 1054,    20, 40, 56, 66,  // 36
       3196, 2566, 1992, 1426, 1096,    21, 43, 59, 70,  // 37
       3362, 2702, 2102, 1502, 1142,    22, 45, 62, 74,  // 38
       3532, 2812, 2216, 1582, 1222,    24, 47, 65, 77,  // 39
       3706, 2956, 2334, 1666, 1276,    25, 49, 68, 81,  // 40
};

// ISO/IEC 18004, Table 9, error correction capacity r of each block
// description (c, k, r), by version and level L, M, Q, H. Versions 1 to 3
// keep misdecode-protection codewords back, so r is below half the
// error-correction codewords there.
const std::array<int16_t, 160> CorrectableTable = {
    // L   M   Q   H    version
       2,  4,  6,  8,  //  1
       4,  8, 11, 14,  //  2
       7, 13,  9, 11,  //  3
      10,  9, 13,  8,  //  4
      13, 12,  9, 11,  //  5
       9,  8, 12, 14,  //  6
      10,  9,  9, 13,  //  7
      12, 11, 11, 13,  //  8
      15, 11, 10, 12,  //  9
       9, 13, 12, 14,  // 10
      10, 15, 14, 12,  // 11
      12, 11, 13, 14,  // 12
      13, 11, 12, 11,  // 13
      15, 12, 10, 12,  // 14
      11, 12, 15, 12,  // 15
      12, 14, 12, 15,  // 16
      14, 14, 14, 14,  // 17
      15, 13, 14, 14,  // 18
      14, 13, 13, 13,  // 19
      14, 13, 15, 14,  // 20
      14, 13, 14, 15,  // 21
      14, 14, 15, 12,  // 22
      15, 14, 15, 15,  // 23
      15, 14, 15, 15,  // 24
      13, 14, 15, 15,  // 25
      14, 14, 14, 15,  // 26
      15, 14, 15, 15,  // 27
      15, 14, 15, 15,  // 28
      15, 14, 15, 15,  // 29
      15, 14, 15, 15,  // 30
      15, 14, 15, 15,  // 31
      15, 14, 15, 15,  // 32
      15, 14, 15, 15,  // 33
      15, 14, 15, 15,  // 34
      15, 14, 15, 15,  // 35
      15, 14, 15, 15,  // 36
      15, 14, 15, 15,  // 37
      15, 14, 15, 15,  // 38
      15, 14, 15, 15,  // 39
      15, 14, 15, 15,  // 40
};
// clang-format on

namespace {

constexpr int kMaxAlignments = 7;

// clang-format off
// ISO/IEC 18004, Annex E, Table E.1: row/column coordinates of the centre
// modules of the alignment patterns; 0 ends a shorter list. Version 1's (6)
// falls in the top-left finder and places nothing.
constexpr std::array<std::array<int16_t, kMaxAlignments>, 40> AlignmentTable = {{
    // centre coordinates                     version
    {  6,   0,   0,   0,   0,   0,   0},  //  1
    {  6,  18,   0,   0,   0,   0,   0},  //  2
    {  6,  22,   0,   0,   0,   0,   0},  //  3
    {  6,  26,   0,   0,   0,   0,   0},  //  4
    {  6,  30,   0,   0,   0,   0,   0},  //  5
    {  6,  34,   0,   0,   0,   0,   0},  //  6
    {  6,  22,  38,   0,   0,   0,   0},  //  7
    {  6,  24,  42,   0,   0,   0,   0},  //  8
    {  6,  26,  46,   0,   0,   0,   0},  //  9
    {  6,  28,  50,   0,   0,   0,   0},  // 10
    {  6,  30,  54,   0,   0,   0,   0},  // 11
    {  6,  32,  58,   0,   0,   0,   0},  // 12
    {  6,  34,  62,   0,   0,   0,   0},  // 13
    {  6,  26,  46,  66,   0,   0,   0},  // 14
    {  6,  26,  48,  70,   0,   0,   0},  // 15
    {  6,  26,  50,  74,   0,   0,   0},  // 16
    {  6,  30,  54,  78,   0,   0,   0},  // 17
    {  6,  30,  56,  82,   0,   0,   0},  // 18
    {  6,  30,  58,  86,   0,   0,   0},  // 19
    {  6,  34,  62,  90,   0,   0,   0},  // 20
    {  6,  28,  50,  72,  94,   0,   0},  // 21
    {  6,  26,  50,  74,  98,   0,   0},  // 22
    {  6,  30,  54,  78, 102,   0,   0},  // 23
    {  6,  28,  54,  80, 106,   0,   0},  // 24
    {  6,  32,  58,  84, 110,   0,   0},  // 25
    {  6,  30,  58,  86, 114,   0,   0},  // 26
    {  6,  34,  62,  90, 118,   0,   0},  // 27
    {  6,  26,  50,  74,  98, 122,   0},  // 28
    {  6,  30,  54,  78, 102, 126,   0},  // 29
    {  6,  26,  52,  78, 104, 130,   0},  // 30
    {  6,  30,  56,  82, 108, 134,   0},  // 31
    {  6,  34,  60,  86, 112, 138,   0},  // 32
    {  6,  30,  58,  86, 114, 142,   0},  // 33
    {  6,  34,  62,  90, 118, 146,   0},  // 34
    {  6,  30,  54,  78, 102, 126, 150},  // 35
    {  6,  24,  50,  76, 102, 128, 154},  // 36
    {  6,  28,  54,  80, 106, 132, 158},  // 37
    {  6,  32,  58,  84, 110, 136, 162},  // 38
    {  6,  26,  54,  82, 110, 138, 166},  // 39
    {  6,  30,  58,  86, 114, 142, 170},  // 40
}};
// clang-format on

void CheckVersion(int version) {
    if (version < 1 || version > 40) throw StageFault("version outside 1..40");
}

int SymbolSize(int version) {
    CheckVersion(version);
    return 4 * version + 17;
}

// The eight data mask conditions of ISO/IEC 18004 (i = row, j = column).
// Products stay below 177 * 177.
bool MaskHolds(int mask, int r, int c) {
    // clang-format off
    switch (mask) {
    case 0: return (r + c) % 2 == 0;
    case 1: return r % 2 == 0;
    case 2: return c % 3 == 0;
    case 3: return (r + c) % 3 == 0;
    case 4: return (r / 2 + c / 3) % 2 == 0;
    case 5: return (r * c) % 2 + (r * c) % 3 == 0;
    case 6: return ((r * c) % 2 + (r * c) % 3) % 2 == 0;
    case 7: return ((r * c) % 3 + (r + c) % 2) % 2 == 0;
    default: throw StageFault("mask pattern outside 0..7");
    }
    // clang-format on
}

// Index of module (row, column) in a square text of size last + 1; a module
// outside the square or the text is a stage fault.
size_t SquareIndex(const std::string& map, int last, int row, int column) {
    if (row < 0 || row > last || column < 0 || column > last)
        throw StageFault("module outside the symbol");
    size_t index =
        static_cast<size_t>(row) * static_cast<size_t>(last + 1) + static_cast<size_t>(column);
    if (index >= map.size()) throw StageFault("module outside the map");
    return index;
}

} // namespace

std::string BuildFunctionMap(int version) {
    const int size = SymbolSize(version);
    const int last = size - 1;
    std::string map(static_cast<size_t>(size) * static_cast<size_t>(size), '-');

    // clang-format off
    // Top-left finder with its separator and the format area beside it.
    static constexpr std::string_view topLeft[9] = {
        "111111100",
        "100000100",
        "101110100",
        "101110100",
        "101110100",
        "100000100",
        "111111100",
        "000000000",
        "000000000"};
    // Top-right finder, separator and format area.
    static constexpr std::string_view topRight[9] = {
        "01111111",
        "01000001",
        "01011101",
        "01011101",
        "01011101",
        "01000001",
        "01111111",
        "00000000",
        "00000000"};
    // Bottom-left finder, separator and format column.
    static constexpr std::string_view bottomLeft[7] = {
        "111111100",
        "100000100",
        "101110100",
        "101110100",
        "101110100",
        "100000100",
        "111111100"};
    static constexpr std::string_view alignment[5] = {
        "11111",
        "10001",
        "10101",
        "10001",
        "11111"};
    // clang-format on

    for (int r = 0; r < 9; ++r) PutPattern(map, last, r, 0, topLeft[r]);
    for (int r = 0; r < 9; ++r) PutPattern(map, last, r, size - 8, topRight[r]);
    // Separator above the bottom-left finder; the final 1 is the dark module.
    PutPattern(map, last, size - 8, 0, "000000001");
    for (int k = 0; k < 7; ++k) PutPattern(map, last, size - 7 + k, 0, bottomLeft[k]);

    // Version information areas.
    if (version >= 7) {
        for (int r = 0; r <= 5; ++r) PutPattern(map, last, r, size - 11, "000");
        for (int r = size - 11; r <= size - 9; ++r) PutPattern(map, last, r, 0, "000000");
    }

    // Every pairing of the coordinates; only the centre is tested, so the
    // three pairings on finders are skipped and those on the timing row and
    // column are placed.
    const auto& coordinates = AlignmentTable[static_cast<size_t>(version - 1)];
    for (int16_t a : coordinates) {
        if (a == 0) break;
        for (int16_t b : coordinates) {
            if (b == 0) break;
            if (map[SquareIndex(map, last, a, b)] != '-') continue;
            for (int k = 0; k < 5; ++k) PutPattern(map, last, a - 2 + k, b - 2, alignment[k]);
        }
    }

    // Timing patterns last; the final pass writes the separator module at
    // size - 8 as 0 again.
    for (int d = 8; d <= size - 9; d += 2) {
        PutPattern(map, last, 6, d, "10");
        PutPattern(map, last, d, 6, "1");
        PutPattern(map, last, d + 1, 6, "0");
    }
    return map;
}

void PutPattern(std::string& map, int last, int row, int column, std::string_view pattern) {
    if (pattern.empty()) return;
    size_t start = SquareIndex(map, last, row, column);
    if (pattern.size() > map.size() - start) throw StageFault("pattern beyond the map");
    std::copy(pattern.begin(), pattern.end(), map.begin() + ptrdiff_t(start));
}

std::string BuildMaskString(int mask, const std::string& map, int last) {
    if (mask < 0 || mask > 7) throw StageFault("mask pattern outside 0..7");
    std::string result(map.size(), '0');
    for (int r = 0; r <= last; ++r)
        for (int c = 0; c <= last; ++c) {
            size_t index = SquareIndex(map, last, r, c);
            if (map[index] == '-' && MaskHolds(mask, r, c)) result[index] = '1';
        }
    return result;
}

std::string XorBitStrings(std::string_view a, std::string_view b) {
    std::string result(a);
    // Chunks of eight, as when each chunk pair is added as decimal numbers
    // without carries. Where b ends inside a chunk its last characters meet
    // the chunk's last ones (right-aligned); beyond b's end a is kept. Only a
    // matrix wider than its version's size gets there, and that reading is
    // garbage anyway.
    for (size_t p = 0; p < a.size(); p += 8) {
        size_t xLength = std::min<size_t>(8, a.size() - p);
        size_t yLength = p < b.size() ? std::min(xLength, b.size() - p) : 0;
        size_t shift = xLength - yLength;
        for (size_t k = 0; k < yLength; ++k) {
            char& x = result[p + shift + k];
            x = (x == '1') != (b[p + k] == '1') ? '1' : '0';
        }
    }
    return result;
}

VersionCapacity GetVersionCapacity(int version) {
    CheckVersion(version);
    const size_t base = static_cast<size_t>(version - 1) * 9;
    VersionCapacity capacity{};
    capacity.total = CapacityTable[base];
    for (size_t level = 0; level < 4; ++level) {
        capacity.data[level] = CapacityTable[base + 1 + level];
        capacity.ec[level] = static_cast<int16_t>(capacity.total - capacity.data[level]);
        capacity.blocks[level] = CapacityTable[base + 5 + level];
    }
    return capacity;
}

int16_t GetCorrectableErrors(int version, int level) {
    CheckVersion(version);
    if (level < 0 || level > 3) throw StageFault("error-correction level outside 0..3");
    return CorrectableTable[static_cast<size_t>((version - 1) * 4 + level)];
}

void NextDataModule(std::string& map, int last, int& row, int& column, int& toggle,
                    int& direction) {
    for (;;) {
        // Past column 0 no data module is left: the caller asked for more
        // codewords than the symbol holds.
        char& module = map[SquareIndex(map, last, row, column)];
        if (module == '-') {
            module = '.';
            return;
        }
        if (toggle == 1) {
            column -= 1; // the left column of the pair
        } else {
            row += direction; // back to the right column, one row on
            column += 1;
        }
        toggle = -toggle;
        if (row < 0) {
            row = 0;
            column -= 2;
            direction = 1;
        } else if (row > last) {
            row = last;
            column -= 2;
            direction = -1;
        }
        if (row == 6) row = 6 + direction; // the horizontal timing row
        if (column == 6) column = 5;       // the vertical timing column
    }
}

std::string ReadCodewordBits(int version, std::string_view bits, std::string& map, int count) {
    const int size = SymbolSize(version);
    const int last = size - 1;
    int row = last, column = last, toggle = 1, direction = -1;
    std::string out;
    for (long long k = 0; k < 8LL * count; ++k) {
        NextDataModule(map, last, row, column, toggle, direction);
        out += CharAt(bits, static_cast<long long>(row) * size + column + 1);
    }
    return out;
}

std::vector<BlockRecord> DeinterleaveBlocks(std::string_view codewordBits, int dataCount,
                                            int ecCount, int blockCount) {
    if (blockCount < 1) throw StageFault("no error-correction block");
    const int n = blockCount;
    const int q = dataCount / n;           // data codewords of the shorter blocks
    const int s = n * (q + 1) - dataCount; // number of shorter blocks, first
    std::vector<BlockRecord> blocks(static_cast<size_t>(n));
    auto block = [&](int i) -> BlockRecord& {
        if (i < 0 || i >= n) throw StageFault("block index outside the blocks");
        return blocks[static_cast<size_t>(i)];
    };

    // Data codewords in turn from every block; once the shorter blocks are
    // full, the last pass feeds only the longer ones.
    int i = 0;
    for (long long p = 1; p <= 8LL * dataCount; p += 8) {
        block(i).DataBits += Mid(codewordBits, p, 8);
        if (++i == n) i = blocks[0].DataBits.size() == 8u * static_cast<size_t>(q) ? s : 0;
    }
    // All blocks of a level carry equally many error-correction codewords.
    i = 0;
    for (long long p = 1; p <= 8LL * ecCount; p += 8) {
        block(i).EcBits += Mid(codewordBits, 8LL * dataCount + p, 8);
        if (++i == n) i = 0;
    }
    return blocks;
}

} // namespace zorvik
