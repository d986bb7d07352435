#include "ChangeBitmap.h"

#include "CommonModule.h"
#include "PixelLines.h"
#include "VectorSupport.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <array>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace zorvik {
namespace {

constexpr size_t kColourTable = 54;

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
template <typename PixelGrey>
void ForEachPixel(BitmapBytes file, int bitCount, int width, int height, int pixelOffset,
                  GreyImage& grey, PixelGrey pixelGrey) {
    size_t stride = size_t(BitmapStride(bitCount, width));
    for (int s = height - 1; s >= 0; --s) {
        const uint8_t* row = file.data() + size_t(pixelOffset) + size_t(s) * stride;
        uint8_t* out = grey.pixels.data() + size_t(height - 1 - s) * size_t(width);
        for (int c = 0; c < width; ++c) out[c] = pixelGrey(row, c);
    }
}

#if defined(__SSE2__)
// 0xFF for each of the sixteen greys from p with from <= g <= from + range:
// g - from, wrapped, is at most range exactly there.
inline __m128i GreysWithin(const uint8_t* p, __m128i from, __m128i range) {
    const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), from);
    return _mm_cmpeq_epi8(_mm_min_epu8(d, range), d);
}
#endif

// Stored rows are bottom-up; rowGrey(row, out) converts one of them. A row
// stored as the one before it is copied: in a picture of a screen most are.
template <typename RowGrey>
void ForEachRow(BitmapBytes file, int bitCount, int width, int height, int pixelOffset,
                GreyImage& grey, RowGrey rowGrey) {
    const size_t stride = size_t(BitmapStride(bitCount, width));
    for (int s = height - 1; s >= 0; --s) {
        const uint8_t* row = file.data() + size_t(pixelOffset) + size_t(s) * stride;
        uint8_t* out = grey.pixels.data() + size_t(height - 1 - s) * size_t(width);
        if (s < height - 1 && std::memcmp(row, row + stride, stride) == 0)
            std::memcpy(out, out - width, size_t(width));
        else
            rowGrey(row, out);
    }
}

// Colour rows are the bulk of most pictures' conversion: where the
// processor has byte shuffles, sixteen pixels go at a time. kBytes is 3 or
// 4 bytes a pixel, blue, green and red first.
template <int kBytes> void GreyRowPlain(const uint8_t* row, uint8_t* out, int width) {
    for (int c = 0; c < width; ++c)
        out[c] = GreyOf(row[kBytes * c], row[kBytes * c + 1], row[kBytes * c + 2]);
}

#if defined(ZORVIK_BYTE_SHUFFLES)
// Four pixels' blue, green and red as bytes 0-2 of four 32-bit lanes (byte
// 3 zero) become their sums: bytes added in pairs, then the pairs.
__attribute__((target("ssse3"))) inline __m128i PixelSums(__m128i bgr0) {
    return _mm_madd_epi16(_mm_maddubs_epi16(bgr0, _mm_set1_epi8(1)), _mm_set1_epi16(1));
}

// Sixteen sums of at most 765 as their thirds, truncated: x / 3 is
// (x * 0xAAAB) >> 17 for every x below 2^16.
__attribute__((target("ssse3"))) inline __m128i Thirds(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i third = _mm_set1_epi16(int16_t(0xAAAB));
    const __m128i low = _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(a, b), third), 1);
    const __m128i high = _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(c, d), third), 1);
    return _mm_packus_epi16(low, high);
}

// Each load of 16 bytes takes four pixels, spread to a lane each; the loop
// stops where the last load of sixteen pixels would pass the row's end.
template <int kBytes>
__attribute__((target("ssse3"))) void GreyRowShuffled(const uint8_t* row, uint8_t* out, int width) {
    const __m128i spread =
        kBytes == 3 ? _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)
                    : _mm_setr_epi8(0, 1, 2, -1, 4, 5, 6, -1, 8, 9, 10, -1, 12, 13, 14, -1);
    int c = 0;
    for (; kBytes * c + 12 * kBytes + 16 <= kBytes * width; c += 16) {
        const uint8_t* p = row + kBytes * c;
        __m128i sums[4];
        for (int k = 0; k < 4; ++k)
            sums[k] = PixelSums(_mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * kBytes * k)), spread));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c),
                         Thirds(sums[0], sums[1], sums[2], sums[3]));
    }
    GreyRowPlain<kBytes>(row + kBytes * c, out + c, width - c);
}
#endif

// By byte shuffles where the processor has them, else the plain loop.
template <int kBytes> void GreyRow(const uint8_t* row, uint8_t* out, int width) {
#if defined(ZORVIK_BYTE_SHUFFLES)
    if (HasByteShuffles()) return GreyRowShuffled<kBytes>(row, out, width);
#endif
    GreyRowPlain<kBytes>(row, out, width);
}

} // namespace

int BitmapStride(int bitCount, int width) {
    long long bits = static_cast<long long>(bitCount) * width;
    long long bytes = (bits + 7) / 8;
    return int((bytes + 3) / 4 * 4);
}

void ConvertBitmap1(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey) {
    auto greys = ColourTableGreys(file, 2);
    ForEachPixel(file, 1, width, height, pixelOffset, grey,
                 [&](const uint8_t* row, int c) { return greys[(row[c / 8] >> (7 - c % 8)) & 1]; });
}

void ConvertBitmap4(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey) {
    auto greys = ColourTableGreys(file, 16);
    // The high nibble of a byte is the left pixel.
    ForEachPixel(file, 4, width, height, pixelOffset, grey, [&](const uint8_t* row, int c) {
        return greys[(row[c / 2] >> (c % 2 == 0 ? 4 : 0)) & 15];
    });
}

void ConvertBitmap8(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey) {
    auto greys = ColourTableGreys(file, 256);
    ForEachPixel(file, 8, width, height, pixelOffset, grey,
                 [&](const uint8_t* row, int c) { return greys[row[c]]; });
}

void ConvertBitmap16(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey) {
    // 5-5-5 word, bit 15 ignored; v * 8 + v mod 8 widens 31 to 255 and 1 to 9.
    auto widen = [](unsigned v) { return v * 8 + v % 8; };
    ForEachPixel(file, 16, width, height, pixelOffset, grey, [&](const uint8_t* row, int c) {
        unsigned word = row[2 * c] | unsigned(row[2 * c + 1]) << 8;
        return GreyOf(widen(word & 31), widen((word >> 5) & 31), widen((word >> 10) & 31));
    });
}

void ConvertBitmap24(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey) {
    ForEachRow(file, 24, width, height, pixelOffset, grey,
               [&](const uint8_t* row, uint8_t* out) { GreyRow<3>(row, out, width); });
}

void ConvertBitmap32(BitmapBytes file, int width, int height, int pixelOffset, GreyImage& grey) {
    ForEachRow(file, 32, width, height, pixelOffset, grey,
               [&](const uint8_t* row, uint8_t* out) { GreyRow<4>(row, out, width); });
}

namespace {

// clang-format off
// The six formats: bit count, colour-table entries read, converter.
struct BitmapFormat {
    int bitCount;
    int colourEntries;
    void (*convert)(BitmapBytes, int, int, int, GreyImage&);
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

bool ConvertBitmap(BitmapBytes file, const BitmapHeader& h, GreyImage& grey) {
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
    format->convert(file, h.width, h.height, h.pixelOffset, grey);
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
    // Four partial counts: runs of one grey would otherwise make every
    // increment wait for the one before.
    std::array<std::array<uint32_t, 256>, 4> parts{};
    const uint8_t* p = grey.pixels.data();
    const size_t n = grey.pixels.size();
    std::array<uint64_t, 256> histogram{};
    for (size_t done = 0; done < n;) {
        // Flushed before a 32-bit count could overflow.
        const size_t end = std::min(n, done + (size_t(1) << 30));
        size_t i = done;
        for (; i + 4 <= end; i += 4) {
            ++parts[0][p[i]];
            ++parts[1][p[i + 1]];
            ++parts[2][p[i + 2]];
            ++parts[3][p[i + 3]];
        }
        for (; i < end; ++i) ++parts[0][p[i]];
        for (auto& part : parts)
            for (size_t g = 0; g < 256; ++g) histogram[g] += std::exchange(part[g], 0);
        done = end;
    }
    return histogram;
}

bool AnyGreyBetween(const GreyImage& grey, int above, int atMost) {
    if (atMost <= above) return false;
    // g - (above + 1), wrapped, is at most atMost - above - 1 exactly inside.
    const uint8_t from = uint8_t(above + 1), range = uint8_t(atMost - above - 1);
    const uint8_t* p = grey.pixels.data();
    const size_t n = grey.pixels.size();
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i vFrom = _mm_set1_epi8(char(from)), vRange = _mm_set1_epi8(char(range));
    while (i + 16 <= n) {
        // A block at a time, so that a picture with such greys is soon done.
        const size_t end = std::min(n - n % 16, i + 4096);
        __m128i any = _mm_setzero_si128();
        for (; i < end; i += 16) any = _mm_or_si128(any, GreysWithin(p + i, vFrom, vRange));
        if (_mm_movemask_epi8(any) != 0) return true;
    }
#endif
    for (; i < n; ++i)
        if (uint8_t(p[i] - from) <= range) return true;
    return false;
}

ReferenceLevels MeasureReference(const GreyImage& grey, const PixelRect& reference) {
    const PixelRect& q = reference;
    if (q.firstRow < 0 || q.firstCol < 0 || q.lastRow >= grey.height || q.lastCol >= grey.width ||
        q.firstRow > q.lastRow || q.firstCol > q.lastCol)
        throw StageFault("reference rectangle outside the picture");

    int min = 255;
    // 64 bits: a 32-bit sum would overflow beyond about 8.4 million pixels.
    unsigned long long sum = 0;
#if defined(__SSE2__)
    // Sixteen at a time: the least, and the sum against zero in two 64-bit
    // lanes, gathered over all rows and read out once.
    __m128i least = _mm_set1_epi8(char(255)), sums = _mm_setzero_si128();
#endif
    for (int r = q.firstRow; r <= q.lastRow; ++r) {
        const uint8_t* row = &grey.pixels[size_t(r) * size_t(grey.width)];
        int c = q.firstCol;
#if defined(__SSE2__)
        for (; c + 16 <= q.lastCol + 1; c += 16) {
            const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + c));
            least = _mm_min_epu8(least, g);
            sums = _mm_add_epi64(sums, _mm_sad_epu8(g, _mm_setzero_si128()));
        }
        // The last few as the top of the sixteen that end the row, those
        // already counted made white for the least and zero for the sum.
        if (c <= q.lastCol && q.lastCol + 1 - q.firstCol >= 16) {
            const int from = q.lastCol + 1 - 16;
            const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + from));
            const __m128i counted = FirstBytes(c - from);
            least = _mm_min_epu8(least, _mm_or_si128(g, counted));
            sums = _mm_add_epi64(sums,
                                 _mm_sad_epu8(_mm_andnot_si128(counted, g), _mm_setzero_si128()));
            c = q.lastCol + 1;
        }
#endif
        for (; c <= q.lastCol; ++c) {
            min = std::min<int>(min, row[c]);
            sum += row[c];
        }
    }
#if defined(__SSE2__)
    alignas(16) uint8_t lanes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), least);
    for (uint8_t g : lanes) min = std::min<int>(min, g);
    alignas(16) unsigned long long halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), sums);
    sum += halves[0] + halves[1];
#endif
    const long long count =
        static_cast<long long>(q.lastRow - q.firstRow + 1) * (q.lastCol - q.firstCol + 1);
    return {min, int(sum / static_cast<unsigned long long>(count))};
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
                  std::vector<uint8_t>* sameAsAbove) {
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
    for (int r = 0; r < grey.height; ++r) {
        char* out = image.Row(size_t(r)).data();
        if (none) {
            std::fill_n(out, grey.width, '0');
            if (sameAsAbove) (*sameAsAbove)[size_t(r)] = r > 0;
            continue;
        }
        const uint8_t* in = &grey.pixels[size_t(r) * size_t(grey.width)];
        // The row above, to compare with; the first row with itself.
        const char* above = r > 0 ? out - grey.width : out;
        bool differs = r == 0;
        int c = 0;
#if defined(__SSE2__)
        // Sixteen pixels at a time: g - min, wrapped, is at most T - min.
        const __m128i vLow = _mm_set1_epi8(char(low)), vRange = _mm_set1_epi8(char(range));
        const __m128i vZero = _mm_set1_epi8('0');
        __m128i difference = _mm_setzero_si128();
        auto sixteen = [&](int at) {
            const __m128i dark = GreysWithin(in + at, vLow, vRange);
            const __m128i text = _mm_sub_epi8(vZero, dark);
            if (r > 0)
                difference = _mm_or_si128(
                    difference,
                    _mm_xor_si128(text,
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + at))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), text);
        };
        for (; c + 16 <= grey.width; c += 16) sixteen(c);
        // The last few pixels as the end of sixteen, some written twice alike.
        if (c < grey.width && grey.width >= 16) {
            sixteen(grey.width - 16);
            c = grey.width;
        }
        differs |= _mm_movemask_epi8(_mm_cmpeq_epi8(difference, _mm_setzero_si128())) != 0xFFFF;
#endif
        for (; c < grey.width; ++c) {
            out[c] = char('0' + (uint8_t(in[c] - low) <= range));
            differs |= out[c] != above[c];
        }
        if (sameAsAbove) (*sameAsAbove)[size_t(r)] = !differs;
    }

    if (!debugFolder.empty()) {
        std::string text;
        for (size_t r = 0; r < image.size(); ++r) (text += image[r]) += "\r\n";
        WriteTextFile((std::filesystem::path(debugFolder) / "bitmap1.txt").string(), text);
    }
}

} // namespace zorvik
