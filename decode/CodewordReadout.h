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

// Overwrites map from (row, column) on with pattern; last = size - 1. A start
// outside the square or a pattern running past the map's end throws
// StageFault.
void PutPattern(std::string& map, int last, int row, int column, std::string_view pattern);

// '1' where a data module ('-' in map) is inverted by mask 0..7, '0' elsewhere
// (every other character of map). map holds at least (last + 1)^2
// characters; a shorter map or a mask outside 0..7 throws StageFault.
std::string BuildMaskString(int mask, const std::string& map, int last);

// Position-wise exclusive-or of two '0'/'1' texts; b at least as long as a;
// result as long as a. A shorter b never faults: where it ends inside a chunk
// of eight its last characters meet the chunk's last ones, beyond it a is
// kept (a matrix wider than its version's size reads as garbage anyway).
std::string XorBitStrings(std::string_view a, std::string_view b);

// Nine entries per version from index (version - 1) * 9: total codewords,
// data codewords L, M, Q, H, error-correction blocks L, M, Q, H.
extern const std::array<int16_t, 360> CapacityTable;

// Entry (version - 1) * 4 + level: codewords one block can correct.
extern const std::array<int16_t, 160> CorrectableTable;

// One version's block structure, indexed by level (0 L, 1 M, 2 Q, 3 H).
struct VersionCapacity {
    int16_t total;                 // all codewords of the symbol
    std::array<int16_t, 4> data;   // data codewords
    std::array<int16_t, 4> ec;     // error-correction codewords (total - data)
    std::array<int16_t, 4> blocks; // Reed-Solomon blocks
};

// Version 1..40, else throws StageFault.
VersionCapacity GetVersionCapacity(int version);

// Errors one block of that version and level can correct; a version outside
// 1..40 or a level outside 0..3 throws StageFault.
int16_t GetCorrectableErrors(int version, int level);

// Moves the walker (row, column, toggle, direction) to the next '-' module
// of map and marks it '.'. toggle 1: on the right column of a pair, -1: on
// the left; direction -1 upwards, +1 downwards. Running out of data modules
// (past column 0) throws StageFault.
void NextDataModule(std::string& map, int last, int& row, int& column, int& toggle, int& direction);

// count * 8 characters of bits (the unmasked symbol, size x size) in
// placement order, starting at the bottom-right module; marks each consumed
// module '.' in map. A version outside 1..40, bits or map too short, or more
// codewords than the symbol holds throw StageFault.
std::string ReadCodewordBits(int version, std::string_view bits, std::string& map, int count);

struct BlockRecord {
    std::string DataBits; // the block's data codewords, 8 characters each
    std::string EcBits;   // its error-correction codewords
};

// Distributes dataCount data and ecCount error-correction codewords of the
// codeword bit string over blockCount blocks (shorter blocks first). A
// string shorter than 8 * (dataCount + ecCount) gives short blocks; fewer
// than one block throws StageFault.
std::vector<BlockRecord> DeinterleaveBlocks(std::string_view codewordBits, int dataCount,
                                            int ecCount, int blockCount);

} // namespace zorvik
