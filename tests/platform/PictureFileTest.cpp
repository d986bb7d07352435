// Which pictures are decoded from their own bytes and which through Qt, and
// that both roads lead to the same decode.
#include "PictureFile.h"
#include "DecodeRun.h"
#include "QrFixtures.h"
#include "QtPictureReader.h"
#include "TempFolder.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

using namespace zorvik;

namespace {

const test::Modules kSymbol = test::EncodeText("picture roads", 1);

std::string Decoded(const std::vector<uint8_t>& bitmap) {
    RecognitionStages stages;
    DecodeOutcome outcome = RunDecode(bitmap, stages);
    return outcome.kind == DecodeOutcome::Kind::Decoded ? outcome.text : outcome.message;
}

// A 32-bit bitmap with a 124-byte header and 8-8-8 bit fields, its alpha
// bytes all 0, as screen tools write them.
std::vector<uint8_t> Bitmap32V5(const test::Picture& p) {
    const unsigned offset = 14 + 124;
    auto b =
        test::BmpHeader(p.width, p.height, 32, offset, offset + size_t(p.width) * p.height * 4);
    test::PutLe32(b, 14, 124);
    test::PutLe32(b, 30, 3); // bit fields
    test::PutLe32(b, 54, 0xFF0000);
    test::PutLe32(b, 58, 0xFF00);
    test::PutLe32(b, 62, 0xFF);
    test::PutLe32(b, 66, 0xFF000000); // an alpha mask
    for (int s = 0; s < p.height; ++s)
        for (int c = 0; c < p.width; ++c) {
            uint8_t g = p.grey[size_t(p.height - 1 - s) * p.width + c];
            size_t at = offset + (size_t(s) * p.width + c) * 4;
            b[at] = b[at + 1] = b[at + 2] = g;
        }
    return b;
}

std::vector<uint8_t> Encoded(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return std::vector<uint8_t>(data.begin(), data.end());
}

// Bytes this process has read through system calls so far, or -1.
long long BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    for (std::string key; io >> key;) {
        long long value = 0;
        io >> value;
        if (key == "rchar:") return value;
    }
    return -1;
}

// The PNG chunk checksum (CRC-32, reflected polynomial 0xEDB88320).
uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

// A file of size bytes that takes no room on the disk.
void MakeSparseFile(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

} // namespace

TEST(PictureFile, AFileAboveOneGibibyteIsRefusedWithoutBeingRead) {
    test::TempFolder folder("picture-size");
    const std::string path = (folder / "huge.png").string();
    // 3 GiB once wrapped an int to a negative size and crashed the program;
    // 1 GiB and one byte is the first size refused.
    for (long long size : {3LL << 30, (1LL << 30) + 1, 4LL << 30}) {
        MakeSparseFile(path, off_t(size));
        const long long readBefore = BytesReadSoFar();
        const LoadedPicture loaded = LoadPictureAsBitmap(path);
        const long long readAfter = BytesReadSoFar();
        EXPECT_EQ(loaded.error,
                  "the file is larger than 1 GiB (" + std::to_string(size) + " bytes)");
        EXPECT_TRUE(loaded.bitmap.empty());
        if (readBefore >= 0) {
            EXPECT_LT(readAfter - readBefore, 1 << 20) << size;
        }
    }
}

TEST(PictureFile, APictureBeyondQtsDefaultAllocationLimitIsRead) {
    // 5793 x 5793 at 4 bytes a pixel is just above the 128 MB Qt allows by
    // default; it was refused as "not a picture file, or a damaged one".
    QImage image(5793, 5793, QImage::Format_RGB32);
    image.fill(Qt::white);
    const std::vector<uint8_t> png = Encoded(image, "PNG");
    image = QImage();
    const LoadedPicture loaded = PictureBytesAsBitmap(png);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.bitmap[28], 24);
    EXPECT_EQ(loaded.bitmap.size(), 54 + size_t((5793 * 3 + 3) / 4 * 4) * 5793);
}

TEST(PictureFile, APictureAboveTheLimitsIsRefusedWithItsSize) {
    // A small PNG whose header claims other sides: Qt reads them from the
    // header, and the picture is refused before any pixel is made.
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::white);
    const std::vector<uint8_t> png = Encoded(small, "PNG");
    auto claiming = [&png](unsigned width, unsigned height) {
        std::vector<uint8_t> b = png;
        const size_t ihdr = 16; // after the signature, the length and "IHDR"
        for (int i = 0; i < 4; ++i) {
            b[ihdr + size_t(i)] = uint8_t(width >> (24 - 8 * i));
            b[ihdr + 4 + size_t(i)] = uint8_t(height >> (24 - 8 * i));
        }
        const uint32_t crc = Crc32(b.data() + 12, 17); // "IHDR" and its 13 bytes
        for (int i = 0; i < 4; ++i) b[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
        return b;
    };
    EXPECT_EQ(PictureBytesAsBitmap(claiming(16000, 9000)).error,
              "the picture is 16000 × 9000 pixels, larger than the 128-megapixel limit");
    EXPECT_EQ(PictureBytesAsBitmap(claiming(40000, 10)).error,
              "the picture is larger than 32767 pixels on a side");
    // The same header with its own sides is read as before.
    EXPECT_EQ(PictureBytesAsBitmap(claiming(8, 8)).error, "");
}

TEST(PictureFile, BitmapsInTheConvertersLayoutAreDecodedFromTheirOwnBytes) {
    const test::Picture p = test::Render(kSymbol, 3, 4);
    for (const auto& bytes : {test::ToBmp24(p), Bitmap32V5(p)}) {
        LoadedPicture loaded = PictureBytesAsBitmap(bytes);
        ASSERT_EQ(loaded.error, "");
        EXPECT_EQ(loaded.bitmap, bytes);
        EXPECT_EQ(Decoded(loaded.bitmap), "picture roads");
    }
    auto truncated = test::ToBmp24(p);
    truncated.resize(truncated.size() - 10);
    EXPECT_NE(PictureBytesAsBitmap(truncated).error, "");
}

TEST(PictureFile, OtherPicturesBecomeTwentyFourBitBitmapsOfTheSamePixels) {
    const test::Picture p = test::Render(kSymbol, 3, 4);
    QImage grey(p.width, p.height, QImage::Format_Grayscale8);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) grey.scanLine(y)[x] = p.grey[size_t(y) * p.width + x];

    // Transparent where light: shown over white, the symbol reads.
    QImage transparent(p.width, p.height, QImage::Format_ARGB32);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            transparent.setPixel(
                x, y, grey.pixelColor(x, y).red() == 0 ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0));
    // Rows stored top-down are not the converters' layout.
    auto topDown = test::ToBmp24(p);
    test::PutLe32(topDown, 22, unsigned(-p.height));
    for (int s = 0; s < p.height / 2; ++s) {
        size_t stride = (size_t(p.width) * 3 + 3) / 4 * 4;
        std::swap_ranges(topDown.begin() + 54 + long(s * stride),
                         topDown.begin() + 54 + long((s + 1) * stride),
                         topDown.begin() + 54 + long((p.height - 1 - s) * stride));
    }

    for (const auto& bytes : {Encoded(grey, "PNG"), Encoded(transparent, "PNG"), topDown}) {
        LoadedPicture loaded = PictureBytesAsBitmap(bytes);
        ASSERT_EQ(loaded.error, "");
        EXPECT_EQ(loaded.bitmap[28], 24);
        EXPECT_EQ(Decoded(loaded.bitmap), "picture roads");
        // The search's loader gives a PNG's grey alone, any other picture's bitmap.
        const LoadedPicture search = PictureBytesForSearch(bytes);
        EXPECT_EQ(search.grey.width > 0, search.bitmap.empty());
        EXPECT_EQ(search.bitmap.empty(), bytes[0] == 0x89);
    }
}

// A bitmap cut short (its pixels would start past the file's end): Qt reads
// it, and what the file lacks must come out white, the same on every read,
// not what the memory held.
TEST(PictureFile, WhatADamagedPictureLacksIsWhite) {
    auto cut = test::ToBmp24(test::Render(kSymbol, 3, 4));
    test::PutLe32(cut, 10, 0x3661F9);
    cut.resize(61);
    const LoadedPicture loaded = PictureBytesAsBitmap(cut);
    ASSERT_EQ(loaded.error, "");
    BitmapHeader header;
    ASSERT_EQ(ReadBitmapHeader(loaded.bitmap, header), HeaderCheck::Fits);
    GreyImage grey(header.width, header.height);
    ConvertBitmap(loaded.bitmap, header, grey);
    EXPECT_TRUE(
        std::all_of(grey.pixels.begin(), grey.pixels.end(), [](uint8_t g) { return g == 255; }));
}

TEST(PictureFile, FilesThatAreNoPictureGetAReason) {
    EXPECT_EQ(PictureBytesAsBitmap({}).error, "the file is empty");
    EXPECT_NE(PictureBytesAsBitmap({'h', 'i'}).error, "");
    EXPECT_NE(LoadPictureAsBitmap("/nonexistent/zorvik.png").error, "");
    EXPECT_EQ(LoadPictureAsBitmap("/tmp").error, "not a regular file");
}

TEST(PictureFile, AScreenPictureWrittenAtEachDisplayDepthDecodesAlike) {
    const test::Picture p = test::Render(kSymbol, 3, 4);
    QImage image(p.width, p.height, QImage::Format_ARGB32);
    for (int r = 0; r < p.height; ++r)
        for (int c = 0; c < p.width; ++c) {
            const int g = p.grey[size_t(r) * p.width + c];
            // Left half tinted; right half black ink whose light modules are
            // see-through and must show as the white page.
            image.setPixel(c, r,
                           c < p.width / 2 ? qRgb(g, g / 2 + 100, g) : qRgba(0, 0, 0, 255 - g));
        }
    for (int depth : {16, 24, 32, 8}) {
        const std::vector<uint8_t> bitmap = ImageToBitmap(image, depth);
        const int written = depth == 8 ? 24 : depth; // depths without a form of their own
        EXPECT_EQ(bitmap[28], written) << depth;
        EXPECT_EQ(bitmap.size(), 54 + size_t((p.width * written / 8 + 3) / 4 * 4) * p.height);
        EXPECT_EQ(Decoded(bitmap), "picture roads") << depth;
    }
    QImage clear(4, 2, QImage::Format_ARGB32);
    clear.fill(qRgba(0, 0, 0, 0));
    const std::vector<uint8_t> white = ImageToBitmap(clear, 24);
    EXPECT_EQ(white[54], 255); // transparent black shows as the white page
}
