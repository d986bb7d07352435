// Function-pattern map, unmasking, codeword read-out in placement order,
// de-interleaving into blocks, and the capacity tables behind them.
// Coordinates are 0-based (row, column); a square text of size x size is
// row-major, module (r, c) at index r * size + c.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// size x size characters for version 1..40 (size = 4V + 17): '-' data
// module, '0'/'1' function module in the shape of its pattern. A version
// outside 1..40 throws StageFault.
std::string BuildFunctionMap(int version);

// Overwrites map from (row, column) on with pattern; last = size - 1.
void PutPattern(std::string& map, int last, int row, int column, std::string_view pattern);

// '1' where a data module ('-' in map) is inverted by mask 0..7, '0' elsewhere.
std::string BuildMaskString(int mask, const std::string& map, int last);

// Position-wise exclusive-or; b at least as long as a; result as long as a.
std::string XorBitStrings(std::string_view a, std::string_view b);

// One version's block structure, indexed by level (0 L, 1 M, 2 Q, 3 H).
struct VersionCapacity {
    int16_t total;                 // all codewords of the symbol
    std::array<int16_t, 4> data;   // data codewords
    std::array<int16_t, 4> ec;     // error-correction codewords (total - data)
    std::array<int16_t, 4> blocks; // Reed-Solomon blocks
};

// Version 1..40, else throws StageFault.
VersionCapacity GetVersionCapacity(int version);

// Errors one block of that version and level can correct; throws StageFault
// outside the table.
int16_t GetCorrectableErrors(int version, int level);

// Moves the walker (row, column, toggle, direction) to the next '-' module
// of map and marks it '.'.
void NextDataModule(std::string& map, int last, int& row, int& column, int& toggle,
                    int& direction);

// count * 8 characters of bits (the unmasked symbol, size x size) in
// placement order; marks each consumed module '.' in map.
std::string ReadCodewordBits(int version, std::string_view bits, std::string& map, int count);

struct BlockRecord {
    std::string DataBits;  // the block's data codewords, 8 characters each
    std::string EcBits;    // its error-correction codewords
};

// Distributes dataCount data and ecCount error-correction codewords of the
// codeword bit string over blockCount blocks (shorter blocks first).
std::vector<BlockRecord> DeinterleaveBlocks(std::string_view codewordBits, int dataCount,
                                            int ecCount, int blockCount);

}  // namespace zorvik
