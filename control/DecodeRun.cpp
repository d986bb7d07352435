#include "DecodeRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <new>
#include <vector>

namespace zorvik {
namespace {

// The attempt schedule: outer threshold factors, inner sampling variants.
constexpr std::array<float, 6> kThresholdFactors = {0.85f, 0.95f, 0.8f, 0.9f, 1.0f, 0.75f};

struct SamplingVariant {
    int samplingMode;
    int sizeCorrection;
};
// clang-format off
constexpr std::array<SamplingVariant, 9> kSamplingVariants = {{
    // inner index:  0        1        2         3         4         5         6        7         8
    /* mode, size */ {0, 0}, {1, 0}, {0, +4}, {0, -4}, {1, +4}, {1, -4}, {2, 0}, {2, +4}, {2, -4},
}};
// clang-format on

// The bit counts that have a converter; any other leaves the grey image all 0.
constexpr std::array<int, 6> kConvertedBitCounts = {1, 4, 8, 16, 24, 32};

// What the finder search answers, at every threshold factor, for a grey
// image that is all 0: binarisation finds min = mean = T = 0 and marks every
// pixel dark, so each row is one dark run that matches no finder pattern.
// A row of 32767 dark pixels ends its run at position 32768, which
// overflows the 16-bit position: the search's fault.
const char* AllDarkSearchMessage(int width) {
    return width >= 32767 ? kNotRecognisedFault : kNotRecognised;
}

// The file failure message of a header that does not fit its file, or null.
const char* HeaderFailure(std::span<const uint8_t> file, BitmapHeader& header) {
    const HeaderCheck check = ReadBitmapHeader(file, header);
    if (check == HeaderCheck::Fits) return nullptr;
    return check == HeaderCheck::Empty ? kImageNotObtained : kImageMalformed;
}

bool HasConverter(const BitmapHeader& header) {
    return std::find(kConvertedBitCounts.begin(), kConvertedBitCounts.end(), header.bitCount) !=
           kConvertedBitCounts.end();
}

// The whole-picture search into scan (left as it is if the search throws),
// timed from start.
void SearchGrey(const GreyImage& grey, PictureScan& scan, uint32_t start,
                const MillisecondClock& clock, int threads) {
    scan.symbols = FindAllSymbols(grey, threads);
    scan.elapsedMs = clock() - start;
    if (!scan.symbols.empty()) {
        scan.kind = DecodeOutcome::Kind::Decoded;
        scan.message.clear();
    }
}

} // namespace

uint32_t SystemMilliseconds() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DecodeOutcome RunDecode(std::span<const uint8_t> file, DecodeStages& stages,
                        const MillisecondClock& clock) {
    DecodeOutcome outcome;
    const uint32_t start = clock();
    BitmapHeader header;
    if (const char* failure = HeaderFailure(file, header)) {
        outcome.kind = DecodeOutcome::Kind::FileFailure;
        outcome.message = failure;
        return outcome;
    }
    // No converter for other bit counts: the grey image would stay all 0 and
    // the search fail with its own message. That answer is known without
    // building an image of up to 32767 x 32767 pixels of nothing (and the
    // second search finds nothing in a picture without a light pixel).
    if (!HasConverter(header)) {
        outcome.kind = DecodeOutcome::Kind::NotDecoded;
        outcome.message = AllDarkSearchMessage(header.width);
        return outcome;
    }
    GreyImage grey;
    try {
        grey = GreyImage(header.width, header.height, GreyImage::Unset{});
    } catch (const std::bad_alloc&) {
        // Sides near 32767 in a picture too large for memory: reported like
        // a search that met a fault.
        outcome.kind = DecodeOutcome::Kind::NotDecoded;
        outcome.message = kNotRecognisedFault;
        return outcome;
    }
    ConvertBitmap(file, header, grey, stages.PictureThreads());

    stages.BeginPicture();
    // Declared after grey, so ended before it goes, however the run ends.
    struct PictureEnd {
        DecodeStages& stages;
        ~PictureEnd() { stages.EndPicture(); }
    } end{stages};
    BinaryImage binary;
    SymbolBox box;
    ModuleMatrix matrix;
    std::string message;
    bool decoded = false;
    for (float factor : kThresholdFactors) {
        message = stages.FindFinderPatterns(grey, binary, box, factor);
        if (!message.empty()) continue;
        for (const SamplingVariant& v : kSamplingVariants) {
            message = stages.SampleModules(binary, box, matrix, v.samplingMode, v.sizeCorrection);
            if (!message.empty()) continue;
            outcome.result = DecodeResult{};
            message = stages.DecodeSymbol(matrix, box, outcome.result);
            if (message.empty()) {
                decoded = true;
                break;
            }
        }
        if (decoded) break;
    }
    if (!decoded) {
        // The attempts' binarisation, as large as the picture, is not
        // wanted any more: its memory goes before the search takes its own.
        binary = BinaryImage();
        outcome.result = DecodeResult{};
        decoded = stages.SecondSearch(grey, outcome.result).empty();
    }
    if (!decoded) {
        outcome.kind = DecodeOutcome::Kind::NotDecoded;
        outcome.message = message;
        return outcome;
    }
    outcome.elapsedMs = clock() - start;
    outcome.kind = DecodeOutcome::Kind::Decoded;
    outcome.text = stages.GetDecodedText();
    return outcome;
}

PictureScan ScanPicture(std::span<const uint8_t> file, const MillisecondClock& clock, int threads) {
    PictureScan scan;
    const uint32_t start = clock();
    BitmapHeader header;
    if (const char* failure = HeaderFailure(file, header)) {
        scan.kind = DecodeOutcome::Kind::FileFailure;
        scan.message = failure;
        return scan;
    }
    scan.message = kNoSymbolFound;
    if (!HasConverter(header)) return scan; // a picture of nothing
    try {
        GreyImage grey(header.width, header.height, GreyImage::Unset{});
        ConvertBitmap(file, header, grey, threads);
        SearchGrey(grey, scan, start, clock, threads);
    } catch (const std::bad_alloc&) {
        // too large for memory: nothing found
    }
    return scan;
}

PictureScan ScanPicture(const GreyImage& grey, const MillisecondClock& clock, int threads) {
    PictureScan scan;
    const uint32_t start = clock();
    scan.message = kNoSymbolFound;
    try {
        SearchGrey(grey, scan, start, clock, threads);
    } catch (const std::bad_alloc&) {
        // too large for memory: nothing found
    }
    return scan;
}

DecodeOutcome OutcomeOf(const FoundSymbol& symbol, uint32_t elapsedMs) {
    DecodeOutcome outcome;
    outcome.kind = DecodeOutcome::Kind::Decoded;
    outcome.result = symbol.result;
    outcome.text = symbol.text;
    outcome.elapsedMs = elapsedMs;
    return outcome;
}

DecodeOptions MakeDecodeOptions(const Settings& settings, const std::string& debugFolder) {
    DecodeOptions options;
    options.debugFolder = debugFolder;
    options.segmentInfo = settings.SegmentInfo == 1;
    options.infoFileName = settings.InfoFileName;
    options.exact = false; // the program reads beyond the documented attempts
    return options;
}

} // namespace zorvik
