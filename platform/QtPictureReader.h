// The picture formats that are neither PNG nor a bitmap the converters take
// as it is (JPEG, GIF, other bitmaps, ...), read by Qt's image readers.
//
// The functions below come from one of two files, whichever the program
// links (platform/CMakeLists.txt): QtPictureReader.cpp, with Qt linked in,
// or, in zorvik-cli, QtPictureLoader.cpp, which loads QtPictureReader.cpp
// as a module the first time a picture needs it, so that a command line of
// PNGs and bitmaps never loads Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QImage;

namespace zorvik {

// "" and bitmap, a 24-bit bitmap file of the picture in bytes, a whole file
// of at most kMaxPictureFileBytes; else the one-line reason, with bitmap
// left empty. The pixels, refusals and their words are those
// LoadPictureAsBitmap describes for the pictures Qt reads; with Qt loaded
// at run time, a module that cannot be loaded gives "cannot read this
// picture format: " and the loader's reason. Throws only std::bad_alloc.
std::string QtPictureToBitmap(std::span<const uint8_t> bytes, std::vector<uint8_t>& bitmap);

// Loads Qt's image format plugins and sets its allocation limit to
// kQtAllocationLimitMb (with Qt loaded at run time: loads the module
// first). Call it on the main thread before pictures are read on others:
// when worker threads load the plugins first, Qt 6.4 corrupts its heap and
// aborts at exit now and then. Reading works without it on one thread.
void PrepareQtPictureReading();

// For a program about to read pictures on worker threads, once it has
// prepared Qt's reading if its files need it: Qt loaded at run time is not
// loaded after this where it is not loaded yet, and a picture that needs
// it then (a file that changed after it was looked at) is refused with
// "cannot read this picture format: the file changed while it was read".
// Nothing where Qt is linked in.
void SealQtPictureLoading();

// A picture as the bytes of a bottom-up Windows bitmap file with the 40-byte
// header: bitCount 16 (5-5-5), 32 (fourth byte 0) or, for any other value, 24.
// Transparent parts show over white. This is the form in which a picture
// on the screen is written for the decode run and for saving. Not in
// zorvik-cli, which links no Qt.
std::vector<uint8_t> ImageToBitmap(const QImage& image, int bitCount);

// The module's one entry, found by this name: it keeps Qt's messages off
// standard error (the program's own one-line reasons say what a user
// needs), calls PrepareQtPictureReading on the calling thread and gives the
// module's QtPictureToBitmap.
using QtPictureReading = std::string (*)(std::span<const uint8_t>, std::vector<uint8_t>&);
inline constexpr const char* kQtPictureModuleEntry = "zorvik_open_qt_pictures";

} // namespace zorvik
