// Reading a picture file as the bytes of a Windows bitmap file, the form the
// decode run takes.
#pragma once

#include "ChangeBitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

// Files above this size are refused before they are read: a picture file
// of a QR Code is far smaller, and reading one whole must stay affordable.
inline constexpr uint64_t kMaxPictureFileBytes = uint64_t(1) << 30; // 1 GiB

// Pictures read here (everything but the bitmaps decoded from their own
// bytes) may have at most this many pixels. PNGs are read row by row into
// the 24-bit copy for the run (3 bytes a pixel) or the grey picture (1);
// Qt, which reads the other formats, holds up to 8 bytes a pixel while it
// reads, so this keeps one picture near 1.5 GB; Qt's own allocation limit is
// raised to match.
inline constexpr int64_t kMaxPictureMegapixels = 128;
inline constexpr int kQtAllocationLimitMb = 1024;

// "" for a picture of these sides within the limits above, else why it is
// refused, in the words LoadPictureAsBitmap uses.
std::string PictureSizeRefusal(int64_t width, int64_t height);

// A picture as bitmap bytes, or why there is none.
struct LoadedPicture {
    std::vector<uint8_t> bitmap; // a bitmap file the decode run can read
    std::string error;           // one-line reason when the file cannot be used
    GreyImage grey{};            // from the ...ForSearch loaders: the grey picture instead
};

// A bitmap file in the layout the converters read (1, 4, 8, 16, 24 or 32
// bits, rows stored bottom-up, no compression or the standard bit fields) is
// returned as it is, so that it is decoded from its own bytes; one whose
// header does not fit its size is refused. Any other picture Qt can read
// (PNG, JPEG, GIF, other bitmaps) becomes a 24-bit bitmap of the same
// pixels: transparent parts over white, except in bitmaps, whose alpha is
// ignored as the converters ignore it; what a damaged file lacks is white,
// and a bitmap Qt cannot read into a picture of the sides its header gives
// is refused with "the bitmap cannot be read (damaged or unsupported)".
// PNGs (known by their signature) are read without Qt, to the same pixels
// (PngFile.h). A file above kMaxPictureFileBytes is
// refused unread with "the file is larger than 1 GiB (N bytes)", a picture
// of more than kMaxPictureMegapixels with "the picture is W × H pixels,
// larger than the 128-megapixel limit" (from its header where Qt can read
// that alone). A file that cannot be opened is refused with "no such file",
// "permission denied", "too many levels of symbolic links (a link loop?)" or
// the system's reason; anything but a regular file with "not a regular
// file". Qt does its part through QtPictureToBitmap (QtPictureReader.h),
// which sets Qt's process-wide image allocation limit to
// kQtAllocationLimitMb. Never throws.
LoadedPicture LoadPictureAsBitmap(const std::string& path);

// The same for the bytes of a file already read.
LoadedPicture PictureBytesAsBitmap(std::vector<uint8_t> bytes);

// The same for a picture piped to standard input, read to its end as raw
// bytes: "standard input is empty" when nothing came, and more than
// kMaxPictureFileBytes is refused once that many have arrived. Never throws.
LoadedPicture LoadStandardInputAsBitmap();

// The three for the whole-picture search, which needs only the grey
// picture: a PNG is read straight into grey, exactly what ConvertBitmap makes
// of the bitmap the functions above give, and bitmap stays empty; any other
// picture gives its bitmap as above (grey empty). Errors as above.
LoadedPicture LoadPictureForSearch(const std::string& path);
LoadedPicture PictureBytesForSearch(std::vector<uint8_t> bytes);
LoadedPicture LoadStandardInputForSearch();

// Whether the loaders above would hand the file to Qt, judged by its first
// bytes: false for a PNG, a bitmap decoded from its own bytes, an empty
// file and one they refuse unread (missing, unreadable, not a regular file,
// above kMaxPictureFileBytes). For a program that loads Qt only when a
// picture needs it, to do so before its threads start (PrepareQtPictureReading).
bool PictureFileNeedsQt(const std::string& path);

// The same for standard input; only a redirected regular file can be looked
// into without taking its bytes, so any other is taken to need Qt.
bool StandardInputNeedsQt();

// A bottom-up bitmap file with the 40-byte header for a picture of these
// sides (1..32767) and bitCount 16, 24 or 32: every pixel and padding byte 0.
std::vector<uint8_t> EmptyBitmap(int width, int height, int bitCount);

} // namespace zorvik
