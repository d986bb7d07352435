// The PNG reader against Qt's, which read every PNG before it: each colour
// type, depth, interlacing and transparency gives byte for byte the bitmap
// that Qt's pixels gave, and the grey the converters make of it; damaged
// and cut files fail where Qt's reading failed, with a reason.
#include "PngFile.h"
#include "PictureFile.h"
#include "QtPictureReader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <random>

using namespace zorvik;

namespace {

// What a test picture carries besides its pixels.
enum class Extra {
    None,
    Transparency,     // tRNS naming the first pixel's colour (palettes: the first alphas)
    HighTransparency, // tRNS naming it with 256 added to each sample
    ColourChunks,     // gAMA, cHRM and an Adobe RGB profile: none may change a pixel
    Srgb,
};

struct Shape {
    int colourType, depth;
};
constexpr Shape kShapes[] = {
    {PNG_COLOR_TYPE_GRAY, 1},        {PNG_COLOR_TYPE_GRAY, 2},       {PNG_COLOR_TYPE_GRAY, 4},
    {PNG_COLOR_TYPE_GRAY, 8},        {PNG_COLOR_TYPE_GRAY, 16},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
    {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB, 8},        {PNG_COLOR_TYPE_RGB, 16},
    {PNG_COLOR_TYPE_RGB_ALPHA, 8},   {PNG_COLOR_TYPE_RGB_ALPHA, 16}, {PNG_COLOR_TYPE_PALETTE, 1},
    {PNG_COLOR_TYPE_PALETTE, 2},     {PNG_COLOR_TYPE_PALETTE, 4},    {PNG_COLOR_TYPE_PALETTE, 8},
};

struct TestPng {
    int width = 0, height = 0, colourType = 0, depth = 8;
    bool interlaced = false;
    Extra extra = Extra::None;
    std::vector<uint16_t> samples; // row by row, channel by channel
    std::vector<png_color> palette;
    std::vector<uint8_t> alphas; // palette tRNS
    png_color_16 transparent{};
    int Channels() const { return std::array{1, 0, 3, 1, 2, 0, 4}[size_t(colourType)]; }
};

// Random samples of the depth; a palette shorter than the indexes reach,
// so that indexes beyond it occur.
TestPng MakePng(Shape shape, int width, int height, bool interlaced, Extra extra, unsigned seed) {
    TestPng t;
    t.width = width, t.height = height, t.colourType = shape.colourType, t.depth = shape.depth;
    t.interlaced = interlaced, t.extra = extra;
    std::mt19937 random(seed);
    const unsigned top = (1u << shape.depth) - 1;
    t.samples.resize(size_t(width) * height * t.Channels());
    for (uint16_t& s : t.samples) s = uint16_t(random() % (top + 1));
    // Some pixels repeat the first, for the tRNS colour to meet.
    for (size_t i = 0; i < t.samples.size(); i += 5 * t.Channels())
        std::copy_n(t.samples.begin(), t.Channels(), t.samples.begin() + long(i));
    if (shape.colourType == PNG_COLOR_TYPE_PALETTE) {
        t.palette.resize(std::max<size_t>(1, top + 1 > 6 ? top - 2 : top));
        for (png_color& c : t.palette)
            c = {uint8_t(random()), uint8_t(random()), uint8_t(random())};
        if (extra == Extra::Transparency)
            for (size_t i = 0; i < std::min<size_t>(t.palette.size(), 5); ++i)
                t.alphas.push_back(uint8_t(i == 0 ? 0 : random()));
    }
    const uint16_t high = extra == Extra::HighTransparency ? 256 : 0;
    t.transparent.gray = t.samples[0] + high;
    if (t.Channels() >= 3) {
        t.transparent.red = t.samples[0] + high;
        t.transparent.green = t.samples[1] + high;
        t.transparent.blue = t.samples[2] + high;
    }
    return t;
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
    bool badCrc = false;
};

std::vector<Chunk> ChunksOf(const std::vector<uint8_t>& png) {
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t n = size_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        chunks.push_back({std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8),
                          {png.begin() + long(at) + 8, png.begin() + long(at + 8 + n)}});
        at += 12 + n;
    }
    return chunks;
}

std::vector<uint8_t> Assemble(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [&png](uint32_t v) {
        for (int i = 3; i >= 0; --i) png.push_back(uint8_t(v >> (8 * i)));
    };
    for (const Chunk& c : chunks) {
        put32(uint32_t(c.data.size()));
        const size_t start = png.size();
        png.insert(png.end(), c.type.begin(), c.type.end());
        png.insert(png.end(), c.data.begin(), c.data.end());
        const uint32_t crc = uint32_t(crc32(0, png.data() + start, uInt(png.size() - start)));
        put32(c.badCrc ? ~crc : crc);
    }
    return png;
}

Chunk& Find(std::vector<Chunk>& chunks, const std::string& type) {
    for (Chunk& c : chunks)
        if (c.type == type) return c;
    ADD_FAILURE() << "no " << type;
    return chunks.front();
}

// The PNG file of t, written by libpng.
std::vector<uint8_t> Write(const TestPng& t) {
    std::vector<uint8_t> file;
    std::vector<std::vector<uint8_t>> rows(size_t(t.height));
    for (size_t i = 0; i < t.samples.size(); ++i) {
        std::vector<uint8_t>& row = rows[i / size_t(t.width * t.Channels())];
        if (t.depth == 16) row.push_back(uint8_t(t.samples[i] >> 8));
        row.push_back(uint8_t(t.samples[i]));
    }
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test picture";
        return {};
    }
    png_set_write_fn(
        png, &file,
        [](png_structp p, png_bytep data, size_t n) {
            auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(t.width), png_uint_32(t.height), t.depth, t.colourType,
                 t.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!t.palette.empty()) png_set_PLTE(png, info, t.palette.data(), int(t.palette.size()));
    if (!t.alphas.empty()) png_set_tRNS(png, info, t.alphas.data(), int(t.alphas.size()), nullptr);
    const bool withAlpha = t.colourType & PNG_COLOR_MASK_ALPHA;
    if (t.extra == Extra::Transparency && !withAlpha && t.colourType != PNG_COLOR_TYPE_PALETTE) {
        png_color_16 transparent = t.transparent;
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    if (t.extra == Extra::ColourChunks) {
        png_set_gAMA(png, info, 1.0);
        png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.21, 0.71, 0.15, 0.06);
        if (t.colourType & PNG_COLOR_MASK_COLOR)
            png_set_iCCP(png, info, "Adobe RGB", 0,
                         reinterpret_cast<png_const_bytep>(icc.constData()),
                         png_uint_32(icc.size()));
    }
    if (t.extra == Extra::Srgb) png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_set_check_for_invalid_index(png, 0); // indexes beyond the palette are meant
    png_write_info(png, info);
    if (t.depth < 8) png_set_packing(png);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (std::vector<uint8_t>& row : rows) png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (t.extra == Extra::HighTransparency) {
        // libpng writes no tRNS beyond the depth: the chunk is put in by hand.
        std::vector<Chunk> chunks = ChunksOf(file);
        Chunk trns{"tRNS", {}};
        for (uint16_t v : t.Channels() == 1
                              ? std::vector<uint16_t>{t.transparent.gray}
                              : std::vector<uint16_t>{t.transparent.red, t.transparent.green,
                                                      t.transparent.blue})
            trns.data.insert(trns.data.end(), {uint8_t(v >> 8), uint8_t(v)});
        chunks.insert(chunks.begin() + 1, trns);
        file = Assemble(chunks);
    }
    return file;
}

// The bitmap of the pixels Qt reads, as PictureFile made it before; empty
// when Qt cannot read the file.
std::vector<uint8_t> QtBitmap(const std::vector<uint8_t>& png) {
    QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(png.data()), qsizetype(png.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImage image;
    if (!QImageReader(&buffer).read(&image)) return {};
    return ImageToBitmap(image, 24);
}

GreyImage GreyOf(const std::vector<uint8_t>& bitmap) {
    BitmapHeader header;
    EXPECT_EQ(ReadBitmapHeader(bitmap, header), HeaderCheck::Fits);
    GreyImage grey(header.width, header.height);
    ConvertBitmap(bitmap, header, grey);
    return grey;
}

// Qt reads a 16-bit RGB picture with tRNS into memory it never wrote: what
// it should show is the picture without tRNS, white where tRNS names.
std::vector<uint8_t> ExpectedRgb16WithTransparency(TestPng t) {
    const png_color_16 named = t.transparent;
    t.extra = Extra::None;
    std::vector<uint8_t> bitmap = QtBitmap(Write(t));
    const size_t stride = size_t(BitmapStride(24, t.width));
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) {
            const uint16_t* s = &t.samples[(size_t(y) * t.width + x) * 3];
            if (s[0] == named.red && s[1] == named.green && s[2] == named.blue)
                std::fill_n(bitmap.begin() + long(54 + (t.height - 1 - y) * stride + 3 * x), 3,
                            255);
        }
    return bitmap;
}

std::string Describe(const TestPng& t) {
    char text[80];
    std::snprintf(text, sizeof text, "type %d depth %d %dx%d interlaced %d extra %d", t.colourType,
                  t.depth, t.width, t.height, t.interlaced, int(t.extra));
    return text;
}

void ExpectReadAsQtReads(const TestPng& t) {
    const std::vector<uint8_t> png = Write(t);
    const bool rgb16Transparency =
        t.colourType == PNG_COLOR_TYPE_RGB && t.depth == 16 && t.extra == Extra::Transparency;
    const std::vector<uint8_t> expected =
        rgb16Transparency ? ExpectedRgb16WithTransparency(t) : QtBitmap(png);
    ASSERT_FALSE(expected.empty()) << Describe(t);
    const LoadedPicture bitmap = PictureBytesAsBitmap(png);
    ASSERT_EQ(bitmap.error, "") << Describe(t);
    EXPECT_TRUE(bitmap.bitmap == expected) << Describe(t);
    const LoadedPicture search = PictureBytesForSearch(png);
    ASSERT_EQ(search.error, "") << Describe(t);
    EXPECT_TRUE(search.bitmap.empty());
    EXPECT_TRUE(search.grey.pixels == GreyOf(expected).pixels) << Describe(t);
}

} // namespace

TEST(PngFile, EveryKindOfPngGivesQtsPixels) {
    unsigned seed = 1;
    for (const Shape& shape : kShapes)
        for (bool interlaced : {false, true})
            for (Extra extra : {Extra::None, Extra::Transparency, Extra::HighTransparency,
                                Extra::ColourChunks, Extra::Srgb}) {
                const bool alpha = shape.colourType & PNG_COLOR_MASK_ALPHA;
                if (extra == Extra::HighTransparency &&
                    (alpha || shape.depth == 16 || shape.colourType == PNG_COLOR_TYPE_PALETTE))
                    continue; // no sample of 8 bits or fewer to name out of range
                if (extra == Extra::Transparency && alpha) continue;
                // The passes of narrow and short pictures are partly empty.
                for (auto [w, h] : {std::pair{37, 23}, {1, 1}, {3, 9}, {10, 2}})
                    ExpectReadAsQtReads(MakePng(shape, w, h, interlaced, extra, seed++));
            }
}

TEST(PngFile, SixteenBitLevelsRoundAsQtRoundsThem) {
    // Every grey level once, and colours with alpha across the range.
    TestPng grey = MakePng({PNG_COLOR_TYPE_GRAY, 16}, 256, 256, false, Extra::None, 7);
    for (size_t i = 0; i < grey.samples.size(); ++i) grey.samples[i] = uint16_t(i);
    ExpectReadAsQtReads(grey);
    ExpectReadAsQtReads(MakePng({PNG_COLOR_TYPE_RGB_ALPHA, 16}, 128, 128, false, Extra::None, 8));
    ExpectReadAsQtReads(MakePng({PNG_COLOR_TYPE_GRAY_ALPHA, 16}, 128, 128, true, Extra::None, 9));
}

// Opaque rows, as screenshots have, take a shorter way to grey than rows
// with any other alpha; both give Qt's pixels.
TEST(PngFile, OpaqueRowsGiveQtsPixels) {
    TestPng t = MakePng({PNG_COLOR_TYPE_RGB_ALPHA, 8}, 45, 6, false, Extra::None, 12);
    for (size_t i = 3; i < t.samples.size() / 2; i += 4) t.samples[i] = 255;
    ExpectReadAsQtReads(t);
}

TEST(PngFile, DamagedFilesFailWhereQtFailedAndNothingElseChanges) {
    TestPng t = MakePng({PNG_COLOR_TYPE_PALETTE, 4}, 40, 30, true, Extra::Transparency, 11);
    t.extra = Extra::ColourChunks; // a gAMA chunk to damage; the palette's tRNS stays
    const std::vector<uint8_t> good = Write(t);
    ASSERT_EQ(ChunksOf(good).front().type, "IHDR");
    struct Damage {
        const char* name;
        std::function<void(std::vector<Chunk>&)> edit;
    };
    auto header = [](int at, uint8_t v) {
        return [at, v](std::vector<Chunk>& c) { Find(c, "IHDR").data[size_t(at)] = v; };
    };
    const Damage damages[] = {
        {"IHDR checksum", [](auto& c) { Find(c, "IHDR").badCrc = true; }},
        {"IDAT checksum", [](auto& c) { Find(c, "IDAT").badCrc = true; }},
        {"gAMA checksum", [](auto& c) { Find(c, "gAMA").badCrc = true; }},
        {"width 0", header(3, 0)},
        {"depth 3", header(8, 3)},
        {"colour type 5", header(9, 5)},
        {"interlace method 2", header(12, 2)},
        {"compressed data", [](auto& c) { Find(c, "IDAT").data[7] ^= 0x55; }},
        {"zlib header", [](auto& c) { Find(c, "IDAT").data[0] = 0x79; }},
        {"image data short", [](auto& c) { Find(c, "IDAT").data.resize(30); }},
        {"no image data",
         [](auto& c) { std::erase_if(c, [](auto& k) { return k.type == "IDAT"; }); }},
        {"no palette", [](auto& c) { std::erase_if(c, [](auto& k) { return k.type == "PLTE"; }); }},
        {"tRNS too long", [](auto& c) { Find(c, "tRNS").data.resize(40, 7); }},
        {"chunk after the end",
         [](auto& c) {
             c.push_back(Chunk{"tEXt", {'a', 0, 'b'}});
         }},
    };
    for (const Damage& d : damages) {
        std::vector<Chunk> chunks = ChunksOf(good);
        d.edit(chunks);
        const std::vector<uint8_t> png = Assemble(chunks);
        const std::vector<uint8_t> qt = QtBitmap(png);
        const LoadedPicture loaded = PictureBytesAsBitmap(png);
        const LoadedPicture search = PictureBytesForSearch(png);
        EXPECT_EQ(loaded.error.empty(), !qt.empty()) << d.name << ": " << loaded.error;
        EXPECT_TRUE(loaded.bitmap == qt) << d.name;
        EXPECT_EQ(search.error, loaded.error) << d.name;
        if (!loaded.error.empty()) {
            EXPECT_EQ(loaded.error.rfind("the PNG file is damaged: ", 0), 0u) << loaded.error;
            EXPECT_EQ(loaded.error.find('\n'), std::string::npos);
            EXPECT_EQ(search.grey.width, 0);
        }
    }
    // Cut anywhere from just after the signature to inside the end chunk;
    // the end chunk's checksum alone may be missing, as Qt lets it be.
    const std::vector<uint8_t> whole = QtBitmap(good);
    for (size_t size = 9; size < good.size(); ++size) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + long(size));
        const bool read = size >= good.size() - 4;
        EXPECT_TRUE(QtBitmap(cut) == (read ? whole : std::vector<uint8_t>())) << size;
        EXPECT_EQ(PictureBytesAsBitmap(cut).error, read ? "" : "the PNG file is cut short") << size;
        EXPECT_EQ(PictureBytesForSearch(cut).error, read ? "" : "the PNG file is cut short");
    }
}
