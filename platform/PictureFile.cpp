#include "PictureFile.h"

#include <QByteArray>
#include <QImage>

#include <fstream>
#include <iterator>

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

// The layout the converters read: info header of 40 bytes, one plane, no
// compression, rows stored bottom-up (positive height).
bool IsPlainBitmap(const std::vector<uint8_t>& b) {
    if (b.size() < 54) return false;
    unsigned bits = Le16(b, 28);
    bool knownBits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    int32_t height = int32_t(Le32(b, 22));
    return Le32(b, 14) == 40 && Le16(b, 26) == 1 && Le32(b, 30) == 0 && knownBits && height > 0;
}

// Whether the header's sizes fit the file: rows, offset and colour table.
bool HeaderFitsSize(const std::vector<uint8_t>& b) {
    int32_t width = int32_t(Le32(b, 18)), height = int32_t(Le32(b, 22));
    unsigned bits = Le16(b, 28), offset = Le32(b, 10);
    if (width <= 0 || width > 32767 || height > 32767 || offset < 54) return false;
    unsigned long long stride = ((unsigned long long)(bits) * unsigned(width) + 31) / 32 * 4;
    return offset + stride * unsigned(height) <= b.size();
}

std::vector<uint8_t> Bitmap24(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width(), height = image.height();
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> b(54 + stride * size_t(height), 0);
    b[0] = 'B', b[1] = 'M';
    PutLe(b, 2, unsigned(b.size()), 4);
    PutLe(b, 10, 54, 4);
    PutLe(b, 14, 40, 4);
    PutLe(b, 18, unsigned(width), 4);
    PutLe(b, 22, unsigned(height), 4);
    PutLe(b, 26, 1, 2);
    PutLe(b, 28, 24, 2);
    for (int r = 0; r < height; ++r) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(r));
        uint8_t* out = b.data() + 54 + size_t(height - 1 - r) * stride;
        for (int c = 0; c < width; ++c) {
            QRgb p = line[c];
            int a = qAlpha(p);
            // Transparent pixels show the white page they would be shown on.
            auto over = [a](int v) { return uint8_t((v * a + 255 * (255 - a) + 127) / 255); };
            out[3 * c] = over(qBlue(p));
            out[3 * c + 1] = over(qGreen(p));
            out[3 * c + 2] = over(qRed(p));
        }
    }
    return b;
}

} // namespace

LoadedPicture PictureBytesAsBitmap(std::vector<uint8_t> bytes) {
    LoadedPicture picture;
    if (bytes.empty()) {
        picture.error = "the file is empty";
        return picture;
    }
    if (IsPlainBitmap(bytes)) {
        if (!HeaderFitsSize(bytes)) {
            picture.error = "the bitmap header does not fit the file's size (truncated or damaged)";
            return picture;
        }
        picture.bitmap = std::move(bytes);
        return picture;
    }
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()))) {
        picture.error = IsBitmap(bytes) ? "the bitmap cannot be read (damaged or unsupported)"
                                        : "not a picture file, or a damaged one";
        return picture;
    }
    if (image.width() > 32767 || image.height() > 32767) {
        picture.error = "the picture is larger than 32767 pixels on a side";
        return picture;
    }
    picture.bitmap = Bitmap24(image);
    return picture;
}

LoadedPicture LoadPictureAsBitmap(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {{}, "cannot open the file"};
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) return {{}, "cannot read the file"};
    return PictureBytesAsBitmap(std::move(bytes));
}

} // namespace zorvik
