// The fuzz targets: each entry function takes any bytes, runs one part of the
// program on them and returns 0. A broken contract on the way (an exception
// that must not escape, a result outside its documented range) aborts, which
// both libFuzzer and the regression test see as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zorvik::fuzz {

using FuzzInput = std::span<const uint8_t>;

// The bytes as a bitmap file through the whole decode run (header checks,
// converters, attempts and the second search).
int FuzzBitmapRun(FuzzInput data);

// Byte 0 picks the side N = 21 + byte % 157, bit 0 of byte 1 the exact
// mode; the rest fill the N x N module matrix row by row, most significant
// bit first, missing bits light. Runs DecodeEngine::DecodeSymbol.
int FuzzDecodeSymbol(FuzzInput data);

// Byte 0 picks the version 1 + byte % 40, bit 0 of byte 1 the modern
// reading (ECI); the rest are the data bits, most significant bit first.
// Runs ParseSegments on them with "0000" appended, as the decoder does.
int FuzzSegments(FuzzInput data);

// Bytes 0, 1, 2 are n, t and ecCount; the rest are the codewords (missing
// ones 0). Runs CorrectBlock and checks what it promises about the block.
int FuzzCorrectBlock(FuzzInput data);

// The bytes as the settings file, read by LoadSettings.
int FuzzLoadSettings(FuzzInput data);

// The bytes as decoded text: ConvertResultText, WriteResultHtml and the
// written page through PageForTextBrowser.
int FuzzResultPage(FuzzInput data);

// Bytes 0-1 (little-endian) give the width 1 + value % 1024, the rest the
// grey pixels row by row (an incomplete last row is dropped). Runs
// SecondSearch with a fresh engine.
int FuzzSecondSearch(FuzzInput data);

// The bytes as a picture file: a bitmap the converters read is kept as it
// is, a PNG goes through the PNG reader, any other format through Qt.
// Pictures whose header claims more than a megapixel are skipped. Checks that
// the result is either a bitmap that fits its header or a reason, and that
// the search's loader refuses alike and gives the same bitmap, or for a PNG
// the grey of that bitmap. In the libFuzzer build the PNG reader ignores
// chunk checksums, so that changed bytes reach the pixels.
int FuzzPictureFile(FuzzInput data);

struct FuzzTarget {
    std::string_view name; // fuzz/regressions/<name>, bin/Fuzz<name>
    int (*run)(FuzzInput data);
};

// All eight, in the order above.
std::span<const FuzzTarget> AllFuzzTargets();

} // namespace zorvik::fuzz
