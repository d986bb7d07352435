#include "ChangeBitmap.h"

#include "CommonModule.h"
#include "GreyKernels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <utility>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zorvik {
namespace {

constexpr size_t kColourTable = 54;

// Below this many pixels a second thread costs about what it saves.
constexpr size_t kHalvesFrom = size_t(1) << 21;

// Calls rows(from, to) over [0, count): in two halves at once, the later on
// a second thread, where threads > 1, the picture has kHalvesFrom pixels or
// more and a thread can be had; else once over all. Returns where the later
// half began, or count.
template <typename Rows> int InHalves(int count, size_t pixels, int threads, Rows&& rows) {
    std::future<void> later;
    const int middle = count / 2;
    if (threads > 1 && pixels >= kHalvesFrom) {
        try {
            later = std::async(std::launch::async, [&] { rows(middle, count); });
        } catch (const std::exception&) {
            // No thread to be had: all rows here.
        }
    }
    rows(0, later.valid() ? middle : count);
    if (!later.valid()) return count;
    later.get();
    return middle;
}

// Grey of a colour: the truncated mean of blue, green and red.
uint8_t GreyOf(unsigned blue, unsigned green, unsigned red) {
    return uint8_t((blue + green + red) / 3);
}

// Greys of the first `entries` colour-table entries (blue, green, red, reserved).
std::array<uint8_t, 256> ColourTableGreys(BitmapBytes file, int entries) {
    std::array<uint8_t, 256> greys{};
    for (int i = 0; i < entries; ++i) {
        size_t at = kColourTable + 4 * size_t(i);
        greys[size_t(i)] = GreyOf(file[at], file[at + 1], file[at + 2]);
    }
    return greys;
}

// Stored rows are bottom-up: stored row s is picture row height - 1 - s.
// They are read in stored order, upwards through memory, where the hardware
// fetches ahead; read downwards, a picture fresh from the capture took
// several times as long to convert.
template <typename PixelGrey>
void ForEachPixel(BitmapBytes file, int bitCount, int width, int height, int pixelOffset,
                  GreyImage& grey, StoredRows rows, PixelGrey pixelGrey) {
    size_t stride = size_t(BitmapStride(bitCount, width));
    for (int s = rows.first; s < std::min(rows.end, height); ++s) {
        const uint8_t* row = file.data() + size_t(pixelOffset) + size_t(s) * stride;
        uint8_t* out = grey.pixels.data() + size_t(height - 1 - s) * size_t(width);
        for (int c = 0; c < width; ++c) out[c] = pixelGrey(row, c);
    }
}

// As ForEachPixel; rowGrey(row, out) converts one row. A row stored as the
// one before it is copied: in a picture of a screen most are. The first of
// the range is not, as the one before it may be another thread's.
template <typename RowGrey>
void ForEachRow(BitmapBytes file, int bitCount, int width, int height, int pixelOffset,
                GreyImage& grey, StoredRows rows, RowGrey rowGrey) {
    const size_t stride = size_t(BitmapStride(bitCount, width));
    for (int s = rows.first; s < std::min(rows.end, height); ++s) {
        const uint8_t* row = file.data() + size_t(pixelOffset) + size_t(s) * stride;
        uint8_t* out = grey.pixels.data() + size_t(height - 1 - s) * size_t(width);
        if (s > rows.first && std::memcmp(row, row - stride, stride) == 0)
            std::memcpy(out, out + width, size_t(width));
        else
            rowGrey(row, out);
    }
}

} // namespace

void AdviseHugePages(void* p, size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (from < to) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)p, (void)bytes;
#endif
}

int BitmapStride(int bitCount, int width) {
    long long bits = static_cast<long long>(bitCount) * width;
    long long bytes = (bits + 7) / 8;
    return int((bytes + 3) / 4 * 4);
}

void ConvertBitmap1(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey,
                    StoredRows rows) {
    auto greys = ColourTableGreys(file, 2);
    ForEachPixel(file, 1, width, height, pixelOffset, grey, rows,
                 [&](const uint8_t* row, int c) { return greys[(row[c / 8] >> (7 - c % 8)) & 1]; });
}

void ConvertBitmap4(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey,
                    StoredRows rows) {
    auto greys = ColourTableGreys(file, 16);
    // The high nibble of a byte is the left pixel.
    ForEachPixel(file, 4, width, height, pixelOffset, grey, rows, [&](const uint8_t* row, int c) {
        return greys[(row[c / 2] >> (c % 2 == 0 ? 4 : 0)) & 15];
    });
}

void ConvertBitmap8(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey,
                    StoredRows rows) {
    auto greys = ColourTableGreys(file, 256);
    ForEachPixel(file, 8, width, height, pixelOffset, grey, rows,
                 [&](const uint8_t* row, int c) { return greys[row[c]]; });
}

void ConvertBitmap16(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey,
                     StoredRows rows) {
    // 5-5-5 word, bit 15 ignored; v * 8 + v mod 8 widens 31 to 255 and 1 to 9.
    auto widen = [](unsigned v) { return v * 8 + v % 8; };
    ForEachPixel(file, 16, width, height, pixelOffset, grey, rows, [&](const uint8_t* row, int c) {
        unsigned word = row[2 * c] | unsigned(row[2 * c + 1]) << 8;
        return GreyOf(widen(word & 31), widen((word >> 5) & 31), widen((word >> 10) & 31));
    });
}

void ConvertBitmap24(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey,
                     StoredRows rows) {
    ForEachRow(file, 24, width, height, pixelOffset, grey, rows,
               [&](const uint8_t* row, uint8_t* out) { ColourGreys(row, 3, width, out); });
}

void ConvertBitmap32(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey,
                     StoredRows rows) {
    ForEachRow(file, 32, width, height, pixelOffset, grey, rows,
               [&](const uint8_t* row, uint8_t* out) { ColourGreys(row, 4, width, out); });
}

namespace {

// clang-format off
// The six formats: bit count, colour-table entries read, converter.
struct BitmapFormat {
    int bitCount;
    int colourEntries;
    BitmapConverter* convert;
};
constexpr BitmapFormat kFormats[] = {
    { 1,   2, ConvertBitmap1},
    { 4,  16, ConvertBitmap4},
    { 8, 256, ConvertBitmap8},
    {16,   0, ConvertBitmap16},
    {24,   0, ConvertBitmap24},
    {32,   0, ConvertBitmap32},
};
// clang-format on

const BitmapFormat* FormatFor(int bitCount) {
    for (const BitmapFormat& f : kFormats)
        if (f.bitCount == bitCount) return &f;
    return nullptr;
}

} // namespace

HeaderCheck ReadBitmapHeader(BitmapBytes file, BitmapHeader& header) {
    if (file.empty()) return HeaderCheck::Empty;
    if (file.size() < kColourTable) return HeaderCheck::Malformed;
    auto le16 = [&](size_t at) { return int(file[at + 1]) * 256 + file[at]; };
    header.pixelOffset = le16(10);
    header.width = le16(18);
    header.height = le16(22);
    header.bitCount = file[28];
    if (header.width < 1 || header.width > 32767 || header.height < 1 || header.height > 32767)
        return HeaderCheck::Malformed;
    if (FormatFor(header.bitCount)) {
        size_t rowsEnd =
            size_t(header.pixelOffset) +
            size_t(BitmapStride(header.bitCount, header.width)) * size_t(header.height);
        if (size_t(header.pixelOffset) < kColourTable || rowsEnd > file.size())
            return HeaderCheck::Malformed;
    }
    return HeaderCheck::Fits;
}

bool ConvertBitmap(BitmapBytes file, const BitmapHeader& h, GreyImage& grey, int threads) {
    const BitmapFormat* format = FormatFor(h.bitCount);
    if (!format) return false;
    // The 8-bit converter reads all 256 entries whatever the file declares;
    // a short palette at the end of a tiny file reads as zeros.
    std::vector<uint8_t> padded;
    const size_t tableEnd = kColourTable + 4 * size_t(format->colourEntries);
    if (file.size() < tableEnd) {
        padded.assign(file.begin(), file.end());
        padded.resize(tableEnd, 0);
        file = padded;
    }
    // The rows stored later are the picture's top half.
    InHalves(h.height, size_t(h.width) * size_t(h.height), threads, [&](int from, int to) {
        format->convert(file, h.width, h.height, h.pixelOffset, grey, {from, to});
    });
    return true;
}

BinaryImage::BinaryImage(size_t rows, std::string_view row) {
    text_.reserve(rows * row.size());
    for (size_t r = 0; r < rows; ++r) push_back(row);
}

BinaryImage::BinaryImage(std::initializer_list<std::string_view> rows) {
    for (std::string_view row : rows) push_back(row);
}

const std::string_view BinaryImage::at(size_t r) const {
    if (r >= size()) throw std::out_of_range("binary image row");
    return (*this)[r];
}

void BinaryImage::Reshape(int width, int height) {
    text_.resize(size_t(width) * size_t(height));
    bounds_.resize(size_t(height) + 1);
    for (size_t r = 0; r < bounds_.size(); ++r) bounds_[r] = r * size_t(width);
}

void BinaryImage::push_back(std::string_view row) {
    if (bounds_.empty()) bounds_.push_back(0);
    text_.insert(text_.end(), row.begin(), row.end());
    bounds_.push_back(text_.size());
}

bool BinaryImage::operator==(const BinaryImage& other) const {
    if (size() != other.size()) return false;
    for (size_t r = 0; r < size(); ++r)
        if ((*this)[r] != other[r]) return false;
    return true;
}

BinaryImage BinariseImage(const GreyImage& grey, const PixelRect& reference, ThresholdRule rule,
                          float thresholdFactor, const std::string& debugFolder) {
    BinaryImage image;
    BinariseInto(grey, reference, rule, thresholdFactor, debugFolder, image);
    return image;
}

std::array<uint64_t, 256> GreyHistogram(const GreyImage& grey) {
    std::array<uint64_t, 256> histogram{};
    if (grey.width <= 0 || grey.height <= 0 ||
        grey.pixels.size() != size_t(grey.width) * size_t(grey.height))
        return histogram;
    const size_t width = size_t(grey.width), height = size_t(grey.height);
    const size_t step = size_t(std::clamp(grey.height / kHistogramRows, 1, 4));
    CountGreys(grey.pixels.data(), width, (height + step - 1) / step, step * width,
               histogram.data());
    return histogram;
}

bool AnyGreyBetween(const GreyImage& grey, int above, int atMost) {
    if (atMost <= above) return false;
    // Greys from above + 1 to atMost.
    return AnyGreyIn(grey.pixels.data(), grey.pixels.size(), uint8_t(above + 1),
                     uint8_t(atMost - above - 1));
}

ReferenceLevels MeasureReference(const GreyImage& grey, const PixelRect& reference) {
    const PixelRect& q = reference;
    if (q.firstRow < 0 || q.firstCol < 0 || q.lastRow >= grey.height || q.lastCol >= grey.width ||
        q.firstRow > q.lastRow || q.firstCol > q.lastCol)
        throw StageFault("reference rectangle outside the picture");

    uint8_t min = 255;
    // 64 bits: a 32-bit sum would overflow beyond about 8.4 million pixels.
    uint64_t sum = 0;
    for (int r = q.firstRow; r <= q.lastRow; ++r)
        AddLeastAndSum(&grey.pixels[size_t(r) * size_t(grey.width) + size_t(q.firstCol)],
                       q.lastCol - q.firstCol + 1, min, sum);
    const long long count =
        static_cast<long long>(q.lastRow - q.firstRow + 1) * (q.lastCol - q.firstCol + 1);
    return {min, int(sum / static_cast<uint64_t>(count))};
}

int16_t ThresholdOf(ThresholdRule rule, float thresholdFactor, ReferenceLevels levels) {
    const int min = levels.min, mean = levels.mean;
    if (rule == ThresholdRule::Initial)
        return RoundToInt16((double(thresholdFactor) + 0.5) * double(mean - min) + min);
    float t = thresholdFactor * float(mean - min) + float(min);
    return RoundToInt16(t);
}

void BinariseInto(const GreyImage& grey, const PixelRect& reference, ThresholdRule rule,
                  float thresholdFactor, const std::string& debugFolder, BinaryImage& image,
                  std::vector<uint8_t>* sameAsAbove, int threads) {
    const ReferenceLevels levels = MeasureReference(grey, reference);
    const int min = levels.min;
    const int16_t threshold = ThresholdOf(rule, thresholdFactor, levels);

    // A pixel darker than everything in the reference counts as light.
    const uint8_t low = uint8_t(min);
    const uint8_t high = uint8_t(std::clamp<int>(threshold, -1, 255));
    const bool none = threshold < min;
    image.Reshape(grey.width, grey.height);
    if (sameAsAbove) sameAsAbove->assign(size_t(grey.height), 0);
    const uint8_t range = uint8_t(high - low);
    // Rows [from, to); the first is compared with the row above only when
    // that is this call's own.
    auto binarise = [&](int from, int to) {
        for (int r = from; r < to; ++r) {
            char* out = image.Row(size_t(r)).data();
            if (none) {
                std::fill_n(out, grey.width, '0');
                if (sameAsAbove) (*sameAsAbove)[size_t(r)] = r > from;
                continue;
            }
            // Dark from min to T; compared with the row above.
            const bool differs =
                BinariseRow(&grey.pixels[size_t(r) * size_t(grey.width)], grey.width, low, range,
                            r > from ? out - grey.width : nullptr, out);
            if (sameAsAbove) (*sameAsAbove)[size_t(r)] = r > from && !differs;
        }
    };
    const int middle = InHalves(grey.height, grey.pixels.size(), threads, binarise);
    if (sameAsAbove && middle > 0 && middle < grey.height)
        (*sameAsAbove)[size_t(middle)] = image[size_t(middle)] == image[size_t(middle) - 1];

    if (!debugFolder.empty()) {
        std::string text;
        for (size_t r = 0; r < image.size(); ++r) (text += image[r]) += "\r\n";
        WriteTextFile((std::filesystem::path(debugFolder) / "bitmap1.txt").string(), text);
    }
}

} // namespace zorvik
