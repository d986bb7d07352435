// Reading a picture file as the bytes of a Windows bitmap file, the form the
// decode run takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

struct LoadedPicture {
    std::vector<uint8_t> bitmap; // a bitmap file the decode run can read
    std::string error;           // one-line reason when the file cannot be used
};

// A bitmap file in the layout the converters read (1, 4, 8, 16, 24 or 32
// bits, rows stored bottom-up, no compression or the standard bit fields) is
// returned as it is, so that it is decoded from its own bytes; one whose
// header does not fit its size is refused. Any other picture Qt can read
// (PNG, JPEG, GIF, other bitmaps) becomes a 24-bit bitmap of the same
// pixels: transparent parts over white, except in bitmaps, whose alpha is
// ignored as the converters ignore it. Never throws.
LoadedPicture LoadPictureAsBitmap(const std::string& path);

// The same for the bytes of a file already read.
LoadedPicture PictureBytesAsBitmap(std::vector<uint8_t> bytes);

} // namespace zorvik
