// Image preparation: the six Windows-bitmap converters that fill a GreyImage,
// and the binarisation rule that turns it into a BinaryImage.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zorvik {

// Asks the system to back the whole 2 MiB pages within bytes from p with
// huge pages where they are first written: a picture's planes are
// megabytes, written once, and faulting them in a 4 KiB page at a time cost
// a tenth of a whole-picture search. Only advice, which memory already in
// use ignores and the memory keeps after it is freed (the allocator may
// hand it out again): where the system has no huge pages, nothing changes.
void AdviseHugePages(void* p, size_t bytes) noexcept;

// An allocator for a picture's planes: the elements a resize adds are left
// unset (the planes are written whole right after they are made, and zeroing
// them first would cost a pass over every pixel), and large ones are
// advised onto huge pages. Those start on a huge page's border: a buffer
// sized for the worst case is mostly written from its start, where an
// unaligned start would leave up to 2 MiB of 4 KiB pages.
template <typename T> struct PictureAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = PictureAllocator<U>; };
    static constexpr size_t kHugePage = size_t(2) << 20;
    T* allocate(size_t n) {
        if (n < kHugePage / sizeof(T)) return std::allocator<T>::allocate(n);
        if (n > std::allocator_traits<std::allocator<T>>::max_size(*this)) throw std::bad_alloc();
        T* p = static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(kHugePage)));
        AdviseHugePages(p, n * sizeof(T));
        return p;
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n < kHugePage / sizeof(T)) return std::allocator<T>::deallocate(p, n);
        ::operator delete(p, std::align_val_t(kHugePage));
    }
    template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Brightness per pixel, 0 (black) to 255 (white); row 0 is the top row.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t, PictureAllocator<uint8_t>> pixels; // row-major, height x width

    GreyImage() = default;
    GreyImage(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
    // Pixels unset, for a converter to fill every one of them.
    struct Unset {};
    GreyImage(int w, int h, Unset) : width(w), height(h), pixels(size_t(w) * size_t(h)) {}
    uint8_t& at(int row, int col) { return pixels[size_t(row) * size_t(width) + size_t(col)]; }
    uint8_t at(int row, int col) const { return pixels[size_t(row) * size_t(width) + size_t(col)]; }
};

// One text per pixel row, index 0 at the top; '1' is dark. Horizontal
// positions are 1-based character positions. A binarisation gives every row
// the picture's width; a test may make rows of any length. The rows lie one
// after another in one buffer: a decode binarises a picture a dozen times,
// and a buffer per row would cost an allocation each.
class BinaryImage {
  public:
    BinaryImage() = default;
    BinaryImage(size_t rows, std::string_view row);
    BinaryImage(std::initializer_list<std::string_view> rows);

    size_t size() const { return bounds_.empty() ? 0 : bounds_.size() - 1; }
    bool empty() const { return size() == 0; }
    // Row r, valid until the image is next changed; r below size(). Const,
    // so that assigning to it does not compile: rows are written by Row().
    const std::string_view operator[](size_t r) const {
        return {text_.data() + bounds_[r], bounds_[r + 1] - bounds_[r]};
    }
    // Row r; throws std::out_of_range from row size() on.
    const std::string_view at(size_t r) const;
    // The characters of row r (below size()), to write.
    std::span<char> Row(size_t r) {
        return {text_.data() + bounds_[r], bounds_[r + 1] - bounds_[r]};
    }

    // height rows of width characters, their content left to the caller;
    // the buffer is kept when it is large enough.
    void Reshape(int width, int height);
    void push_back(std::string_view row);

    bool operator==(const BinaryImage& other) const;

  private:
    std::vector<char, PictureAllocator<char>> text_;
    std::vector<size_t> bounds_; // where each row starts, then where the last ends
};

// Bytes per stored pixel row, padding to a multiple of 4 included.
int BitmapStride(int bitCount, int width);

// The converters trust their input: a bitmap with the 40-byte information
// header, a colour table at byte 54 where the bit count needs one, and
// height stored rows of BitmapStride bytes from pixelOffset. The decode run
// checks those sizes before it calls them. grey must be height x width.
// Each converts the stored rows [rows.first, rows.end) (bottom-up, as
// stored; every row by default) and reads and writes no other row of grey:
// two threads may convert two ranges of one picture at once.
using BitmapBytes = std::span<const uint8_t>;
struct StoredRows {
    int first = 0, end = INT32_MAX; // end held to the height
};
using BitmapConverter = void(BitmapBytes file, int width, int height, int pixelOffset,
                             GreyImage& grey, StoredRows rows);
BitmapConverter ConvertBitmap1, ConvertBitmap4, ConvertBitmap8, ConvertBitmap16, ConvertBitmap24,
    ConvertBitmap32;

// The header fields the decode run reads: the low halves of the pixel data
// offset (bytes 10-11), width (18-19) and height (22-23), and the low byte of
// the bit count (28).
struct BitmapHeader {
    int pixelOffset = 0;
    int width = 0;
    int height = 0;
    int bitCount = 0;
};

enum class HeaderCheck {
    Fits,      // header read; for the six bit counts the rows lie inside the file
    Empty,     // no bytes at all
    Malformed, // shorter than the 54-byte headers, a side of 0 or above 32767,
               // or rows or offset outside the file
};

// Reads and checks the header so that a converter never reads outside file.
HeaderCheck ReadBitmapHeader(BitmapBytes file, BitmapHeader& header);

// The converter for the header's bit count, given a file that ReadBitmapHeader
// accepted; a colour table cut short by the end of the file reads as zeros.
// Returns false, with grey untouched, for a bit count that has no converter.
// With threads > 1 half of a large picture's rows are converted on a second
// thread (where one can be had); the grey image is the same.
bool ConvertBitmap(BitmapBytes file, const BitmapHeader& header, GreyImage& grey, int threads = 1);

// Inclusive 0-based bounds into the grey image; never empty.
struct PixelRect {
    int firstRow, lastRow, firstCol, lastCol;
};

enum class ThresholdRule {
    Initial, // T = (factor + 0.5) * (mean - min) + min, double precision
    Refined, // T = factor * (mean - min) + min, single precision
};

// How many pixels have each grey among the rows counted: every row of a
// picture under 2 * kHistogramRows rows, every second, third or fourth row
// of a taller one, so at least kHistogramRows rows. Thresholds from such a
// sample are those of the whole picture within a grey or so, for a quarter
// of the reading on a screen; none of the documented steps uses them. A
// picture whose pixels do not match its size counts none.
constexpr int kHistogramRows = 256;
std::array<uint64_t, 256> GreyHistogram(const GreyImage& grey);

// Whether some pixel's grey g has above < g <= atMost (-1 <= above, atMost <= 255).
bool AnyGreyBetween(const GreyImage& grey, int above, int atMost);

// The darkest grey and the truncated mean grey of a reference rectangle;
// a rectangle outside the picture or empty throws StageFault.
struct ReferenceLevels {
    int min = 0, mean = 0;
};
ReferenceLevels MeasureReference(const GreyImage& grey, const PixelRect& reference);

// T of the rule, rounded half to even.
int16_t ThresholdOf(ThresholdRule rule, float thresholdFactor, ReferenceLevels levels);

// The binarisation depends on levels and T only through the greys it calls
// dark, min..T: this is T clamped to min - 1 (none) .. 255 (all from min).
inline int DarkUpTo(int16_t threshold, ReferenceLevels levels) {
    return threshold < levels.min ? levels.min - 1 : std::min<int>(threshold, 255);
}

// Pixels with min <= g <= T become '1', where min and the mean come from the
// reference rectangle and T is rounded half to even. With a debug folder the
// image is also written to "bitmap1.txt" there.
BinaryImage BinariseImage(const GreyImage& grey, const PixelRect& reference, ThresholdRule rule,
                          float thresholdFactor, const std::string& debugFolder);

// The same into image, whose rows are reused when it already has the
// picture's shape: the search binarises a picture a dozen times. image is
// left untouched when the reference rectangle is refused. sameAsAbove, where
// given, is set to whether each row equals the one above (0 for row 0).
// With threads > 1 a large picture's lower rows are binarised on a second
// thread (where one can be had); image and sameAsAbove are the same.
void BinariseInto(const GreyImage& grey, const PixelRect& reference, ThresholdRule rule,
                  float thresholdFactor, const std::string& debugFolder, BinaryImage& image,
                  std::vector<uint8_t>* sameAsAbove = nullptr, int threads = 1);

} // namespace zorvik
