#include "PngFile.h"

#include "GreyKernels.h"
#include "PictureFile.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csetjmp>
#include <cstring>
#include <new>
#include <type_traits>

namespace zorvik {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr png_uint_32 kEndChunk = 0x49454E44; // "IEND"

std::atomic<bool> checksumsIgnored = false;

// Past a wrong chunk checksum when a fuzzer asked, so that the bytes it
// changes reach the pixels.
void IgnoreChecksumsWhenFuzzing(png_structp png) {
    if (checksumsIgnored) png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
}

// One libpng read of a PNG in memory. libpng reports an error by calling
// OnError, which leaves by longjmp to the setjmp in Guarded: between the two
// lie only libpng's C frames and steps whose objects need no destructor, so
// nothing is skipped that would leak. The handles are freed however the
// read ends.
class PngReading {
  public:
    explicit PngReading(std::span<const uint8_t> bytes) : bytes_(bytes) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
        if (!png_) return;
        info_ = png_create_info_struct(png_);
        end_ = png_create_info_struct(png_);
        png_set_read_fn(png_, this, OnRead);
        // The limits of this program apply, with their own words, not libpng's
        // million pixels a side.
        png_set_user_limits(png_, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        // As Qt reads: some writers declare a zlib window smaller than the
        // distances they use, which libpng refuses unless told to allow it.
        png_set_option(png_, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
        IgnoreChecksumsWhenFuzzing(png_);
    }
    ~PngReading() { png_destroy_read_struct(&png_, &info_, &end_); }
    PngReading(const PngReading&) = delete;
    PngReading& operator=(const PngReading&) = delete;

    bool Started() const { return png_ && info_ && end_; }
    void RowsRead() { afterRows_ = true; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }
    png_infop end() const { return end_; }

    // Runs step(); false when libpng met an error on the way. step must
    // not own anything that needs a destructor.
    template <typename Step> bool Guarded(Step& step) {
        return GuardedCall(png_, &Call<Step>, &step);
    }

    // Why the last Guarded step failed, one line.
    std::string Failure() const {
        if (cutShort_) return "the PNG file is cut short";
        return "the PNG file is damaged: " + std::string(message_);
    }

  private:
    template <typename Step> static void Call(void* step) { (*static_cast<Step*>(step))(); }

    [[gnu::noinline]] static bool GuardedCall(png_structp png, void (*call)(void*), void* step) {
        if (setjmp(png_jmpbuf(png)) != 0) return false;
        call(step);
        return true;
    }

    static void OnError(png_structp png, png_const_charp text) {
        auto* self = static_cast<PngReading*>(png_get_error_ptr(png));
        // Kept printable and within the buffer: the text ends in one line.
        size_t n = 0;
        for (; text && text[n] && n + 1 < sizeof self->message_; ++n)
            self->message_[n] = text[n] >= ' ' && text[n] < 0x7F ? text[n] : '?';
        self->message_[n] = '\0';
        png_longjmp(png, 1);
    }

    // A warning stops nothing (Qt's reader only logs them), and the one
    // line that says what became of a file is all a user needs.
    static void OnWarning(png_structp, png_const_charp) {}

    static void OnRead(png_structp png, png_bytep data, size_t length) {
        auto* self = static_cast<PngReading*>(png_get_io_ptr(png));
        const size_t left = self->bytes_.size() - self->at_;
        // Some writers leave out the end chunk's checksum; Qt's reader
        // supplies it, and so does this one: for that checksum alone.
        if (self->afterRows_ && length == 4 && left < 4 &&
            png_get_io_chunk_type(png) == kEndChunk &&
            (png_get_io_state(png) & PNG_IO_MASK_LOC) == PNG_IO_CHUNK_CRC) {
            static constexpr uint8_t kEndChecksum[4] = {0xAE, 0x42, 0x60, 0x82};
            std::memcpy(data, kEndChecksum, 4);
            self->at_ = self->bytes_.size();
            return;
        }
        if (length > left) {
            self->cutShort_ = true;
            png_error(png, "cut short");
        }
        std::memcpy(data, self->bytes_.data() + self->at_, length);
        self->at_ += length;
    }

    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    bool afterRows_ = false; // every row read: the chunks after them follow
    bool cutShort_ = false;
    char message_[160] = "";
    png_structp png_ = nullptr;
    png_infop info_ = nullptr, end_ = nullptr;
};

// The rows as libpng gives them once depths below 8 are unpacked to a byte a
// sample: 16-bit samples big-endian.
enum class Samples { Grey, Grey16, GreyAlpha, GreyAlpha16, Rgb, Rgb16, Rgba, Rgba16, Palette };

struct Colour {
    uint8_t red, green, blue;
};

// Everything the header says about turning a row into colours.
struct PixelRule {
    Samples samples = Samples::Grey;
    unsigned greyScale = 1;            // Grey: v * greyScale spreads the depth over 0..255
    int transparentGrey = -1;          // Grey, Grey16: the sample tRNS makes transparent
    int transparent[3] = {-1, -1, -1}; // Rgb, Rgb16: the samples tRNS makes transparent
                                       // (-1: none); for Rgb their low bytes, as libpng
                                       // compares them
    std::array<Colour, 256> palette{}; // Palette: each index's colour over white
};

// A 16-bit sample as the nearest of 256 levels: v * 255 / 65535 rounded,
// which is v / 257 rounded and never a tie.
inline unsigned Level(const uint8_t* be) {
    const unsigned v = unsigned(be[0]) << 8 | be[1];
    return (v * 255 + 32767) / 65535;
}

// A sample of alpha a shown over white, rounded as ImageToBitmap rounds it.
inline unsigned Over(unsigned v, unsigned a) {
    return (v * a + 255 * (255 - a) + 127) / 255;
}

// Rows of the two results. Grey() takes a grey colour, Put() any colour.
struct BitmapRow {
    uint8_t* p;
    void Grey(int x, unsigned v) const { p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = uint8_t(v); }
    void Put(int x, unsigned r, unsigned g, unsigned b) const {
        p[3 * x] = uint8_t(b), p[3 * x + 1] = uint8_t(g), p[3 * x + 2] = uint8_t(r);
    }
};
struct GreyRow {
    uint8_t* p;
    void Grey(int x, unsigned v) const { p[x] = uint8_t(v); }
    // ConvertBitmap's grey of a colour: the truncated mean of the three.
    void Put(int x, unsigned r, unsigned g, unsigned b) const { p[x] = uint8_t((b + g + r) / 3); }
};

// Whether every one of width RGBA pixels has an alpha of 255.
bool Opaque(const uint8_t* rgba, int width) {
    unsigned all = 255;
    for (int x = 0; x < width; ++x) all &= rgba[4 * x + 3];
    return all == 255;
}

// Pixels x, x + step, ... below width of one row. Transparent pixels show
// the white page whatever their colour.
template <typename Out>
void ConvertRow(const PixelRule& rule, const uint8_t* s, Out out, int x, int step, int width) {
    const int tg = rule.transparentGrey;
    const int* const t = rule.transparent;
    switch (rule.samples) {
    case Samples::Grey:
        for (; x < width; x += step) out.Grey(x, int(s[x]) == tg ? 255 : s[x] * rule.greyScale);
        break;
    case Samples::Grey16:
        for (; x < width; x += step) {
            const uint8_t* p = s + 2 * x;
            out.Grey(x, (p[0] << 8 | p[1]) == tg ? 255 : Level(p));
        }
        break;
    case Samples::GreyAlpha:
        for (; x < width; x += step) out.Grey(x, Over(s[2 * x], s[2 * x + 1]));
        break;
    case Samples::GreyAlpha16:
        for (; x < width; x += step) out.Grey(x, Over(Level(s + 4 * x), Level(s + 4 * x + 2)));
        break;
    case Samples::Rgb:
        if constexpr (std::is_same_v<Out, GreyRow>) {
            // A whole row with no transparent colour: the greys' own kernel
            // (their mean does not mind the samples' order).
            if (x == 0 && step == 1 && t[0] < 0) {
                ColourGreys(s, 3, width, out.p);
                break;
            }
        }
        for (; x < width; x += step) {
            const uint8_t* p = s + 3 * x;
            if (p[0] == t[0] && p[1] == t[1] && p[2] == t[2])
                out.Grey(x, 255);
            else
                out.Put(x, p[0], p[1], p[2]);
        }
        break;
    case Samples::Rgb16:
        for (; x < width; x += step) {
            const uint8_t* p = s + 6 * x;
            if ((p[0] << 8 | p[1]) == t[0] && (p[2] << 8 | p[3]) == t[1] &&
                (p[4] << 8 | p[5]) == t[2])
                out.Grey(x, 255);
            else
                out.Put(x, Level(p), Level(p + 2), Level(p + 4));
        }
        break;
    case Samples::Rgba:
        if constexpr (std::is_same_v<Out, GreyRow>) {
            // A whole opaque row, as screenshots are: over white an opaque
            // sample is itself, and the fourth byte is not read.
            if (x == 0 && step == 1 && Opaque(s, width)) {
                ColourGreys(s, 4, width, out.p);
                break;
            }
        }
        for (; x < width; x += step) {
            const uint8_t* p = s + 4 * x;
            out.Put(x, Over(p[0], p[3]), Over(p[1], p[3]), Over(p[2], p[3]));
        }
        break;
    case Samples::Rgba16:
        for (; x < width; x += step) {
            const uint8_t* p = s + 8 * x;
            const unsigned a = Level(p + 6);
            out.Put(x, Over(Level(p), a), Over(Level(p + 2), a), Over(Level(p + 4), a));
        }
        break;
    case Samples::Palette:
        for (; x < width; x += step) {
            const Colour& c = rule.palette[s[x]];
            out.Put(x, c.red, c.green, c.blue);
        }
        break;
    }
}

// What IHDR says; libpng has checked it (sides up to 2^31 - 1, the depths
// each colour type allows).
struct PngHeader {
    uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0;
};

// Reads the chunks before the image data; false when libpng met an error.
bool ReadHeader(PngReading& reading, PngHeader& header) {
    auto step = [&] {
        png_read_info(reading.png(), reading.info());
        png_get_IHDR(reading.png(), reading.info(), &header.width, &header.height, &header.depth,
                     &header.colourType, nullptr, nullptr, nullptr);
    };
    return reading.Guarded(step);
}

// The colours of a palette picture as Qt shows them: tRNS's alpha for the
// first entries, the rest opaque; an index beyond the palette shows entry 0,
// except in a 1-bit picture, whose missing second entry is white.
void PaletteColours(png_structp png, png_infop info, int depth, PixelRule& rule) {
    png_colorp palette = nullptr;
    int entries = 0;
    png_get_PLTE(png, info, &palette, &entries);
    png_bytep alpha = nullptr;
    int alphas = 0;
    png_color_16p ignored = nullptr;
    if (!png_get_tRNS(png, info, &alpha, &alphas, &ignored) || !alpha) alphas = 0;
    entries = std::clamp(entries, 0, 256);
    for (int i = 0; i < entries; ++i) {
        const unsigned a = i < alphas ? alpha[i] : 255;
        rule.palette[size_t(i)] = {uint8_t(Over(palette[i].red, a)),
                                   uint8_t(Over(palette[i].green, a)),
                                   uint8_t(Over(palette[i].blue, a))};
    }
    const Colour beyond = depth == 1 || entries == 0 ? Colour{255, 255, 255} : rule.palette[0];
    for (size_t i = size_t(entries); i < 256; ++i) rule.palette[i] = beyond;
}

PixelRule RuleOf(png_structp png, png_infop info, const PngHeader& header) {
    PixelRule rule;
    const bool sixteen = header.depth == 16;
    png_bytep ignored = nullptr;
    int count = 0;
    png_color_16p trans = nullptr;
    const bool hasTrans = png_get_tRNS(png, info, &ignored, &count, &trans) && trans;
    switch (header.colourType) {
    case PNG_COLOR_TYPE_GRAY:
        rule.samples = sixteen ? Samples::Grey16 : Samples::Grey;
        if (!sixteen) rule.greyScale = 255 / ((1u << header.depth) - 1);
        if (hasTrans) rule.transparentGrey = trans->gray;
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        rule.samples = sixteen ? Samples::GreyAlpha16 : Samples::GreyAlpha;
        break;
    case PNG_COLOR_TYPE_RGB:
        rule.samples = sixteen ? Samples::Rgb16 : Samples::Rgb;
        if (hasTrans) {
            rule.transparent[0] = trans->red;
            rule.transparent[1] = trans->green;
            rule.transparent[2] = trans->blue;
            if (!sixteen)
                for (int& v : rule.transparent) v &= 0xFF;
        }
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        rule.samples = sixteen ? Samples::Rgba16 : Samples::Rgba;
        break;
    default:
        rule.samples = Samples::Palette;
        PaletteColours(png, info, header.depth, rule);
        break;
    }
    return rule;
}

// Reads the PNG into what target makes: target.Begin(width, height)
// allocates and may throw std::bad_alloc; target.Row(y) is the picture row
// y to write; target.Direct(rule, depth) says whether libpng's rows (with
// blue and red swapped for RGB) are already the target's, to be read straight
// into Row(y).
template <typename Target> std::string ReadPng(std::span<const uint8_t> bytes, Target& target) {
    target.Clear();
    PngReading reading(bytes);
    if (!reading.Started()) return "cannot read PNG files (libpng did not start)";
    PngHeader header;
    if (!ReadHeader(reading, header)) return reading.Failure();
    const int width = int(header.width), height = int(header.height);
    if (std::string refusal = PictureSizeRefusal(width, height); !refusal.empty()) return refusal;

    png_structp png = reading.png();
    const PixelRule rule = RuleOf(png, reading.info(), header);
    const bool direct = target.Direct(rule, header.depth);
    int passes = 1;
    size_t rowBytes = 0;
    auto transform = [&] {
        if (header.depth < 8) png_set_packing(png);
        if (direct && rule.samples == Samples::Rgb) png_set_bgr(png);
        passes = png_set_interlace_handling(png);
        png_read_update_info(png, reading.info());
        rowBytes = png_get_rowbytes(png, reading.info());
    };
    if (!reading.Guarded(transform)) return reading.Failure();

    std::vector<uint8_t> buffer;
    try {
        target.Begin(width, height);
        if (!direct) buffer.resize(rowBytes);
    } catch (const std::bad_alloc&) {
        target.Clear();
        return "not enough memory for a picture of " + std::to_string(width) + " × " +
               std::to_string(height) + " pixels";
    }
    uint8_t* const row = buffer.data();
    // Every pass calls for every row; an interlaced pass writes only its own
    // pixels into the row it is given, so a row converted as each pass
    // leaves it needs no image of the whole picture.
    auto rows = [&] {
        const bool interlaced = passes > 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int x0 = interlaced ? PNG_PASS_START_COL(pass) : 0;
            const int dx = interlaced ? PNG_PASS_COL_OFFSET(pass) : 1;
            for (int y = 0; y < height; ++y) {
                if (direct) {
                    png_read_row(png, target.Row(y), nullptr);
                    continue;
                }
                png_read_row(png, row, nullptr);
                if (interlaced && !PNG_ROW_IN_INTERLACE_PASS(y, pass)) continue;
                ConvertRow(rule, row, target.Out(y), x0, dx, width);
            }
        }
        reading.RowsRead();
        png_read_end(png, reading.end());
    };
    if (!reading.Guarded(rows)) {
        target.Clear();
        return reading.Failure();
    }
    return "";
}

struct BitmapTarget {
    std::vector<uint8_t>& bitmap;
    size_t stride = 0;
    int height = 0;
    // 8-bit RGB rows as blue, green, red.
    static bool Direct(const PixelRule& rule, int) {
        return rule.samples == Samples::Rgb && rule.transparent[0] < 0;
    }
    void Begin(int width, int h) {
        bitmap = EmptyBitmap(width, h, 24);
        stride = size_t(BitmapStride(24, width));
        height = h;
    }
    uint8_t* Row(int y) const { return bitmap.data() + 54 + size_t(height - 1 - y) * stride; }
    BitmapRow Out(int y) const { return {Row(y)}; }
    void Clear() { std::vector<uint8_t>().swap(bitmap); }
};

struct GreyTarget {
    GreyImage& grey;
    // 8-bit greys as they are.
    static bool Direct(const PixelRule& rule, int depth) {
        return rule.samples == Samples::Grey && depth == 8 && rule.transparentGrey < 0;
    }
    void Begin(int width, int height) { grey = GreyImage(width, height, GreyImage::Unset{}); }
    uint8_t* Row(int y) const { return grey.pixels.data() + size_t(y) * size_t(grey.width); }
    GreyRow Out(int y) const { return {Row(y)}; }
    void Clear() { grey = GreyImage(); }
};

} // namespace

bool IsPng(std::span<const uint8_t> bytes) {
    return bytes.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

std::string PngToBitmap(std::span<const uint8_t> png, std::vector<uint8_t>& bitmap) {
    BitmapTarget target{bitmap};
    return ReadPng(png, target);
}

std::string PngToGrey(std::span<const uint8_t> png, GreyImage& grey) {
    GreyTarget target{grey};
    return ReadPng(png, target);
}

void IgnorePngChecksums() {
    checksumsIgnored = true;
}

} // namespace zorvik
