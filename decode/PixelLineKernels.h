// Readings of lines of pixels, one byte each: where a line changes, where
// two lines differ, and 16 x 16 blocks turned about their diagonal so that
// a picture's columns are read as rows (reading down a column would miss
// the cache on every pixel).
// Each routine has a plain twin, the simple loop whose results it must
// give; the tests hold the two to that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvik {

// Slack FindChanges may write past what it returns.
inline constexpr int kChangeSlack = 8;

// Writes to out, in order, every position p from 1 to length - 1 where
// line[p] differs from line[p - 1] (at most length - 1 of them), and returns
// one past the last written. out must have room for length - 1 +
// kChangeSlack positions: past the returned end it may leave scratch.
// Position is int, or int16_t for lines of at most 32767 pixels. Neither the
// room nor the length is checked.
template <typename Position> Position* FindChanges(const uint8_t* line, int length, Position* out);
// The same a pixel at a time; writes nothing past the end it returns.
template <typename Position>
Position* FindChangesPlain(const uint8_t* line, int length, Position* out);

// Writes to out, in order, every i below length where a[i] != b[i] (two
// rows of a picture: the columns that change between them), and returns
// one past the last written. out must have room for length + kChangeSlack
// positions; neither it nor the length is checked.
// Position as for FindChanges.
template <typename Position>
Position* FindDifferences(const uint8_t* a, const uint8_t* b, int length, Position* out);
template <typename Position>
Position* FindDifferencesPlain(const uint8_t* a, const uint8_t* b, int length, Position* out);

// Byte j of rows[i] goes to to[j * toStride + i], for i, j from 0 to 15.
// The sixteen rows and the block written must not overlap.
void Transpose16(const uint8_t* const* rows, uint8_t* to, size_t toStride);
void Transpose16Plain(const uint8_t* const* rows, uint8_t* to, size_t toStride);

} // namespace zorvik
