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
    const std::vector<uint8_t> bytes(data.begin(), data.end());
    LoadedPicture picture = PictureBytesAsBitmap(bytes);
    Require(picture.error.empty() != picture.bitmap.empty(),
            "a picture gives either bitmap bytes or a reason");
    BitmapHeader header;
    if (!picture.bitmap.empty()) {
        Require(ReadBitmapHeader(picture.bitmap, header) == HeaderCheck::Fits,
                "the bitmap bytes fit their own header");
    }
    // The whole-picture search's road: a PNG straight to the grey its
    // bitmap would give, any other picture the same bitmap.
    const LoadedPicture search = PictureBytesForSearch(bytes);
    Require(search.error == picture.error, "both roads refuse a picture alike");
    if (search.grey.width == 0) {
        Require(search.bitmap == picture.bitmap, "a picture that is no PNG gives its bitmap");
    } else {
        Require(search.bitmap.empty() && !picture.bitmap.empty(), "a PNG gives the grey alone");
        GreyImage grey(header.width, header.height);
        ConvertBitmap(picture.bitmap, header, grey);
        Require(search.grey.pixels == grey.pixels, "a PNG's grey is that of its bitmap");
    }
    return 0;
}

} // namespace zorvik::fuzz
