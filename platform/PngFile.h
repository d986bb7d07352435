// PNG pictures read with libpng, row by row, straight into the forms the
// decode run and the whole-picture search take: no image of the whole
// picture is held in any other form.
#pragma once

#include "ChangeBitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zorvik {

// Whether bytes start with the eight-byte PNG signature.
bool IsPng(std::span<const uint8_t> bytes);

// The pixels of a PNG are those that Qt's reader gives, converted to 32-bit
// ARGB, so that a picture decodes as it did when Qt read it:
// - 16-bit samples become the nearest of the 256 levels (v / 257, rounded);
//   grey v of b = 1, 2 or 4 bits becomes v * 255 / (2^b - 1);
// - a palette index beyond the palette shows entry 0, in a 1-bit picture
//   white;
// - the tRNS colour of a grey picture is transparent only when it is a
//   value of the picture's depth; that of an 8-bit RGB picture is compared by
//   the low bytes of its samples, as libpng compares it;
// - gamma, chromaticities, sRGB and ICC profiles change no pixel;
// - transparent parts are shown over white as ImageToBitmap shows them.
// A 16-bit RGB picture with a tRNS chunk is the one exception: Qt reads it
// into memory it never wrote, and here the colour tRNS names is transparent.
//
// The header is read first: sides beyond the limits are refused in the words
// of PictureSizeRefusal before any pixel is made. A file that ends early
// gives "the PNG file is cut short", any other fault libpng finds "the PNG
// file is damaged: " and libpng's reason, one line; a picture too large for
// the memory "not enough memory for a picture of W × H pixels"; the output
// is then left empty. The whole file is read, up to its end chunk, as Qt
// reads it: only the end chunk's checksum may be missing. Interlaced
// pictures take no more memory than the others: one row besides the result.
// libpng's warnings are not shown. Safe to call on several threads at once.

// "" and bitmap, a 24-bit bottom-up bitmap file with the 40-byte header, as
// ImageToBitmap(image, 24) makes of the image Qt reads; else why not.
std::string PngToBitmap(std::span<const uint8_t> png, std::vector<uint8_t>& bitmap);

// "" and grey, exactly the grey image ConvertBitmap makes of PngToBitmap's
// bitmap, without making the bitmap; else why not.
std::string PngToGrey(std::span<const uint8_t> png, GreyImage& grey);

// For fuzzing alone: from now on, for the whole process, wrong chunk
// checksums are read past instead of refused.
void IgnorePngChecksums();

} // namespace zorvik
