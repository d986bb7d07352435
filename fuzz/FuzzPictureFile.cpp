#include "ChangeBitmap.h"
#include "FuzzSupport.h"
#include "PictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace zorvik::fuzz {

namespace {

// Pictures that say they are larger than this are not worth a fuzzer's
// time: the limits that guard them are checked from the header alone.
constexpr int64_t kMaxFuzzPixels = 1 << 20;

bool DeclaresHugePicture(FuzzInput data) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    return size.isValid() && int64_t(size.width()) * size.height() > kMaxFuzzPixels;
}

} // namespace

int FuzzPictureFile(FuzzInput data) {
    if (DeclaresHugePicture(data)) return 0;
    LoadedPicture picture = PictureBytesAsBitmap(std::vector<uint8_t>(data.begin(), data.end()));
    Require(picture.error.empty() != picture.bitmap.empty(),
            "a picture gives either bitmap bytes or a reason");
    if (!picture.bitmap.empty()) {
        BitmapHeader header;
        Require(ReadBitmapHeader(picture.bitmap, header) == HeaderCheck::Fits,
                "the bitmap bytes fit their own header");
    }
    return 0;
}

} // namespace zorvik::fuzz
