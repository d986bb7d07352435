#include "PictureFile.h"

#include "ChangeBitmap.h"
#include "PngFile.h"
#include "QtPictureReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvik {
namespace {

unsigned Le16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | unsigned(b[at + 1]) << 8;
}

unsigned Le32(const std::vector<uint8_t>& b, size_t at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

void PutLe(std::vector<uint8_t>& b, size_t at, unsigned value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + size_t(i)] = uint8_t(value >> (8 * i));
}

bool IsBitmap(const std::vector<uint8_t>& b) {
    return b.size() >= 2 && b[0] == 'B' && b[1] == 'M';
}

// Bitmaps the converters read as they are: one plane, rows stored bottom-up
// within the 16-bit sides the run reads, and either no compression with the
// 40-byte header (a colour table then starts at byte 54) or a larger header
// without a colour table, or bit fields equal to the 5-5-5 and 8-8-8
// layouts the converters assume. Qt reads every other bitmap.
bool IsDirectBitmap(const std::vector<uint8_t>& b) {
    if (!IsBitmap(b) || b.size() < 54) return false;
    const unsigned headerSize = Le32(b, 14), bits = Le16(b, 28), compression = Le32(b, 30);
    const unsigned width = Le32(b, 18), height = Le32(b, 22), offset = Le32(b, 10);
    if (Le16(b, 26) != 1 || width > 32767 || height > 32767 || offset > 0xFFFF) return false;
    const bool directColour = bits == 16 || bits == 24 || bits == 32;
    if (compression == 0) return headerSize == 40 || (headerSize > 40 && directColour);
    if (compression == 3 && (bits == 16 || bits == 32) && b.size() >= 66) {
        const unsigned red = Le32(b, 54), green = Le32(b, 58), blue = Le32(b, 62);
        return bits == 16 ? red == 0x7C00 && green == 0x03E0 && blue == 0x001F
                          : red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
    }
    return false;
}

static_assert(kMaxPictureFileBytes == uint64_t(1) << 30, "the message names 1 GiB");
std::string FileTooLarge(uint64_t bytes) {
    return "the file is larger than 1 GiB (" + std::to_string(bytes) + " bytes)";
}

// "" when a picture of these sides may be read, else why not.
std::string SizeRefusal(int64_t width, int64_t height) {
    if (width > 32767 || height > 32767) return "the picture is larger than 32767 pixels on a side";
    if (width * height > kMaxPictureMegapixels * 1'000'000)
        return "the picture is " + std::to_string(width) + " × " + std::to_string(height) +
               " pixels, larger than the " + std::to_string(kMaxPictureMegapixels) +
               "-megapixel limit";
    return "";
}

std::string ErrnoText(int number) {
    return std::strerror(number);
}

// Why a file could not be opened, in the words people know.
std::string OpenFailure(int number) {
    switch (number) {
    case ENOENT:
        return "no such file";
    case EACCES:
    case EPERM:
        return "permission denied";
    case ELOOP:
        return "too many levels of symbolic links (a link loop?)";
    case ENOTDIR:
        return "a part of the path is not a folder";
    default:
        return "cannot open the file: " + ErrnoText(number);
    }
}

} // namespace

std::string PictureSizeRefusal(int64_t width, int64_t height) {
    return SizeRefusal(width, height);
}

std::vector<uint8_t> EmptyBitmap(int width, int height, int bitCount) {
    const size_t stride = size_t(BitmapStride(bitCount, width));
    std::vector<uint8_t> b(54 + stride * size_t(height), 0);
    b[0] = 'B', b[1] = 'M';
    PutLe(b, 2, unsigned(b.size()), 4);
    PutLe(b, 10, 54, 4);
    PutLe(b, 14, 40, 4);
    PutLe(b, 18, unsigned(width), 4);
    PutLe(b, 22, unsigned(height), 4);
    PutLe(b, 26, 1, 2);
    PutLe(b, 28, unsigned(bitCount), 2);
    PutLe(b, 34, unsigned(stride * size_t(height)), 4);
    return b;
}

namespace {

// What a caller takes of a picture: the bitmap file, or (from a PNG) only
// its grey.
enum class PictureUse { Bitmap, Search };

LoadedPicture PictureBytes(std::vector<uint8_t> bytes, PictureUse use) {
    LoadedPicture picture;
    if (bytes.empty()) {
        picture.error = "the file is empty";
        return picture;
    }
    if (uint64_t(bytes.size()) > kMaxPictureFileBytes) {
        picture.error = FileTooLarge(bytes.size());
        return picture;
    }
    if (IsDirectBitmap(bytes)) {
        BitmapHeader header;
        if (ReadBitmapHeader(bytes, header) != HeaderCheck::Fits) {
            picture.error = "the bitmap header does not fit the file's size (truncated or damaged)";
            return picture;
        }
        picture.bitmap = std::move(bytes);
        return picture;
    }
    if (IsPng(bytes)) {
        picture.error = use == PictureUse::Search ? PngToGrey(bytes, picture.grey)
                                                  : PngToBitmap(bytes, picture.bitmap);
        return picture;
    }
    picture.error = QtPictureToBitmap(bytes, picture.bitmap);
    return picture;
}

LoadedPicture LoadPicture(const std::string& path, PictureUse use) {
    // Opened once and judged by what was opened, so the reason is the
    // system's own (no such file, permission denied, a link loop) and a
    // file swapped after a check cannot slip in. Without blocking, so that
    // a pipe or a device is refused rather than waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {{}, OpenFailure(errno)};
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {{}, "cannot read the file: " + ErrnoText(errno)};
    if (!S_ISREG(info.st_mode)) return {{}, "not a regular file"};
    // Measured before anything is read: a file of gigabytes is refused, not
    // loaded whole into memory.
    const uint64_t size = uint64_t(info.st_size);
    if (size > kMaxPictureFileBytes) return {{}, FileTooLarge(size)};
    try {
        // One byte more than measured, to see a file that grew meanwhile.
        std::vector<uint8_t> bytes(static_cast<size_t>(size) + 1);
        size_t used = 0;
        while (used < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return {{}, "cannot read the file: " + ErrnoText(errno)};
            if (n == 0) break;
            used += size_t(n);
        }
        // Only the bytes measured are read, so a file that grows meanwhile
        // cannot pass the limit.
        if (used != size) return {{}, "the file changed while it was read"};
        bytes.resize(used);
        return PictureBytes(std::move(bytes), use);
    } catch (const std::exception& e) {
        return {{}, std::string("cannot read the file: ") + e.what()};
    }
}

LoadedPicture LoadStandardInput(PictureUse use) {
    try {
        std::vector<uint8_t> bytes;
        size_t used = 0;
        for (;;) {
            constexpr size_t kChunk = 65536;
            // Room for a chunk at every read; never more than the limit and one chunk.
            if (bytes.size() - used < kChunk)
                bytes.resize(std::min<size_t>(std::max<size_t>(bytes.size() * 2, 1 << 20),
                                              size_t(kMaxPictureFileBytes) + kChunk));
            const ssize_t n = ::read(STDIN_FILENO, bytes.data() + used, bytes.size() - used);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                return {{}, std::string("cannot read standard input: ") + std::strerror(errno)};
            if (n == 0) break;
            used += size_t(n);
            // A pipe has no size to measure first: stop as soon as it is too much.
            if (used > kMaxPictureFileBytes) return {{}, "standard input holds more than 1 GiB"};
        }
        if (used == 0) return {{}, "standard input is empty"};
        bytes.resize(used);
        return PictureBytes(std::move(bytes), use);
    } catch (const std::exception& e) {
        return {{}, std::string("cannot read standard input: ") + e.what()};
    }
}

// Whether PictureBytes would give Qt the bytes from offset on. Only the
// first bytes are read, all that IsDirectBitmap and IsPng look at.
bool StartNeedsQt(int fd, off_t offset) {
    std::vector<uint8_t> start(66);
    ssize_t n;
    do n = ::pread(fd, start.data(), start.size(), offset);
    while (n < 0 && errno == EINTR);
    // Nothing there, or an error: refused without Qt.
    if (n <= 0) return false;
    start.resize(size_t(n));
    return !IsDirectBitmap(start) && !IsPng(start);
}

} // namespace

bool PictureFileNeedsQt(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool needs = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       uint64_t(info.st_size) <= kMaxPictureFileBytes && StartNeedsQt(fd, 0);
    ::close(fd);
    return needs;
}

bool StandardInputNeedsQt() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return true;
    const off_t offset = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
    return offset < 0 || StartNeedsQt(STDIN_FILENO, offset);
}

LoadedPicture PictureBytesAsBitmap(std::vector<uint8_t> bytes) {
    return PictureBytes(std::move(bytes), PictureUse::Bitmap);
}

LoadedPicture LoadPictureAsBitmap(const std::string& path) {
    return LoadPicture(path, PictureUse::Bitmap);
}

LoadedPicture LoadStandardInputAsBitmap() {
    return LoadStandardInput(PictureUse::Bitmap);
}

LoadedPicture PictureBytesForSearch(std::vector<uint8_t> bytes) {
    return PictureBytes(std::move(bytes), PictureUse::Search);
}

LoadedPicture LoadPictureForSearch(const std::string& path) {
    return LoadPicture(path, PictureUse::Search);
}

LoadedPicture LoadStandardInputForSearch() {
    return LoadStandardInput(PictureUse::Search);
}

} // namespace zorvik
