#include "QtPictureReader.h"

#include "ChangeBitmap.h"
#include "PictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstdlib>
#include <mutex>

namespace zorvik {
namespace {

bool IsBitmap(std::span<const uint8_t> b) {
    return b.size() >= 2 && b[0] == 'B' && b[1] == 'M';
}

// A bottom-up bitmap of 16 (5-5-5), 24 or 32 bits. Where the picture is
// transparent it shows the white page it would be shown on, unless
// ignoreAlpha.
std::vector<uint8_t> EncodeBitmap(const QImage& source, int bitCount, bool ignoreAlpha) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width(), height = image.height();
    const size_t bytesPerPixel = size_t(bitCount / 8);
    const size_t stride = size_t(BitmapStride(bitCount, width));
    std::vector<uint8_t> b = EmptyBitmap(width, height, bitCount);
    for (int r = 0; r < height; ++r) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(r));
        uint8_t* out = b.data() + 54 + size_t(height - 1 - r) * stride;
        for (int c = 0; c < width; ++c) {
            const QRgb p = line[c];
            const int a = ignoreAlpha ? 255 : qAlpha(p);
            auto over = [a](int v) { return unsigned((v * a + 255 * (255 - a) + 127) / 255); };
            const unsigned red = over(qRed(p)), green = over(qGreen(p)), blue = over(qBlue(p));
            uint8_t* px = out + bytesPerPixel * size_t(c);
            if (bitCount == 16) {
                const unsigned v = (red >> 3) << 10 | (green >> 3) << 5 | blue >> 3;
                px[0] = uint8_t(v), px[1] = uint8_t(v >> 8);
            } else {
                px[0] = uint8_t(blue), px[1] = uint8_t(green), px[2] = uint8_t(red);
            }
        }
    }
    return b;
}

} // namespace

std::vector<uint8_t> ImageToBitmap(const QImage& image, int bitCount) {
    if (bitCount != 16 && bitCount != 32) bitCount = 24;
    return EncodeBitmap(image, bitCount, false);
}

std::string QtPictureToBitmap(std::span<const uint8_t> bytes, std::vector<uint8_t>& bitmap) {
    // The bytes are lent to Qt, never copied or cut to an int.
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    PrepareQtPictureReading(); // before the reader loads a plugin
    QImageReader reader(&buffer);
    // The sides from the header, where the format gives them without
    // decoding, refuse a huge picture before its pixels are made.
    QImage image;
    const uchar* whiteImage = nullptr;
    // A bitmap stored top-down gives its height negative.
    if (const QSize size(reader.size().width(), std::abs(reader.size().height()));
        size.width() > 0 && size.height() > 0) {
        if (std::string refusal = PictureSizeRefusal(size.width(), size.height()); !refusal.empty())
            return refusal;
        // Qt leaves the pixels a damaged file lacks (a cut bitmap, run-length
        // codes that skip) as the memory held them; it reads into an image
        // of the same size and format instead of making one, so the pixels
        // it lacks stay white and the same on every read.
        if (const QImage::Format format = reader.imageFormat(); format != QImage::Format_Invalid) {
            image = QImage(size, format);
            image.fill(Qt::white);
            whiteImage = image.constBits();
        }
    }
    const char* const unreadable = IsBitmap(bytes)
                                       ? "the bitmap cannot be read (damaged or unsupported)"
                                       : "not a picture file, or a damaged one";
    if (!reader.read(&image)) return unreadable;
    // A bitmap that Qt read elsewhere may show what the memory held.
    if (IsBitmap(bytes) && (!whiteImage || image.constBits() != whiteImage)) return unreadable;
    if (std::string refusal = PictureSizeRefusal(image.width(), image.height()); !refusal.empty())
        return refusal;
    bitmap = EncodeBitmap(image, 24, IsBitmap(bytes));
    return "";
}

void PrepareQtPictureReading() {
    // Once for the process: files may be read on several threads at once.
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        QImageReader::setAllocationLimit(kQtAllocationLimitMb);
        QImageReader::supportedImageFormats();
    });
}

void SealQtPictureLoading() {}

} // namespace zorvik
