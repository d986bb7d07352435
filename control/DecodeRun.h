// One decode run, shared by the result window and the command-line decoder:
// bitmap file bytes -> grey image -> attempts -> outcome -> label texts.
#pragma once

#include "ChangeBitmap.h"
#include "DecodeEngine.h"
#include "FinderSearch.h"
#include "ModuleSampling.h"
#include "Settings.h"
#include "SymbolScan.h"
#include "WorkAhead.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zorvik {

inline constexpr const char* kImageNotCreated = "イメージファイルの作成ができませんでした   ";
inline constexpr const char* kImageNotObtained = "イメージファイルの取得が失敗しました   ";
inline constexpr const char* kImageMalformed = "イメージファイルの形式が正しくありません   ";
inline constexpr const char* kMessageBoxTitle = "ミルカ";

// The three stage operations as the run calls them, and the text fetch.
class DecodeStages {
  public:
    virtual ~DecodeStages() = default;
    // A new picture: nothing an earlier one left may carry over.
    virtual void BeginPicture() {}
    // The picture's attempts are over, and its grey image is about to go:
    // nothing may read it after this.
    virtual void EndPicture() {}
    virtual std::string FindFinderPatterns(const GreyImage& grey, BinaryImage& binary,
                                           SymbolBox& box, float thresholdFactor) = 0;
    virtual std::string SampleModules(const BinaryImage& binary, SymbolBox& box,
                                      ModuleMatrix& matrix, int samplingMode,
                                      int sizeCorrection) = 0;
    virtual std::string DecodeSymbol(const ModuleMatrix& matrix, const SymbolBox& box,
                                     DecodeResult& result) = 0;
    virtual std::string GetDecodedText() = 0;
    // Looks for the symbol anywhere and however it lies, after every
    // documented attempt has failed. "" and result on success (the text then
    // comes from GetDecodedText); otherwise a message the run does not show.
    virtual std::string SecondSearch(const GreyImage& grey, DecodeResult& result) {
        (void)grey, (void)result;
        return "no second search";
    }
    // Threads the run may use for the picture's conversion.
    virtual int PictureThreads() const { return 1; }
};

// The real decoder's stages. When two thresholds' finders were found but
// none of their grids decoded (a symbol turned by a right angle, or
// mirrored), the others mostly find the same and fail as long: the second
// search then starts on a second thread beside their attempts (where the
// options allow threads and write no segment file, whose last writer would
// change), and is called off when one of them decodes. The outcome is the
// same as one after the other.
class RecognitionStages final : public DecodeStages {
  public:
    explicit RecognitionStages(DecodeOptions options = {});
    void BeginPicture() override;
    void EndPicture() override;
    std::string FindFinderPatterns(const GreyImage& grey, BinaryImage& binary, SymbolBox& box,
                                   float thresholdFactor) override;
    std::string SampleModules(const BinaryImage& binary, SymbolBox& box, ModuleMatrix& matrix,
                              int samplingMode, int sizeCorrection) override;
    std::string DecodeSymbol(const ModuleMatrix& matrix, const SymbolBox& box,
                             DecodeResult& result) override;
    std::string GetDecodedText() override;
    std::string SecondSearch(const GreyImage& grey, DecodeResult& result) override;
    int PictureThreads() const override { return options_.searchThreads; }

  private:
    // What the second search gave beside the documented attempts.
    struct SearchedAhead {
        std::string message;
        DecodeResult result;
    };

    DecodeOptions options_;
    DecodeEngine engine_;
    SamplingCache sampling_;   // of the binarisation the last search left
    FinderSearchMemo finders_; // the picture's searches so far
    int searches_ = 0;         // of this picture
    bool allFound_ = true;     // each of them found finders
    DecodeEngine aheadEngine_; // the second search's beside the attempts
    const GreyImage* aheadGrey_ = nullptr;
    std::optional<WorkAhead<SearchedAhead>> ahead_; // after what it reads
    const DecodeEngine* textFrom_ = &engine_;       // the last decode's
};

// A millisecond timer reading; differences are taken modulo 2^32.
using MillisecondClock = std::function<uint32_t()>;
uint32_t SystemMilliseconds();

struct DecodeOutcome {
    enum class Kind { Decoded, NotDecoded, FileFailure };
    Kind kind = Kind::NotDecoded;
    std::string message; // last stage message, or the file failure text
    DecodeResult result; // of the successful attempt
    std::string text;    // the decoded text
    uint32_t elapsedMs = 0;
};

// Header, grey image and the attempt loop: six threshold factors, and after
// each successful finder search nine (sampling mode, size correction) pairs,
// until a decode succeeds; when all fail, the stages' second search (none in
// exact mode), whose failure leaves the attempts' message as it was. A bit
// count with no converter is answered at once, without calling a stage, as
// the real search answers the all-dark picture it would leave:
// kNotRecognised, or kNotRecognisedFault for a width of 32767. The
// time runs from just before the header is read to just after the
// successful attempt.
DecodeOutcome RunDecode(std::span<const uint8_t> file, DecodeStages& stages,
                        const MillisecondClock& clock = SystemMilliseconds);

inline constexpr const char* kNoSymbolFound = "no symbol found in the picture";

// Every symbol of a whole picture, for the desktop's outlines and the
// command line's --all.
struct PictureScan {
    // Decoded when at least one symbol was found; FileFailure with the
    // file failure text of RunDecode; else NotDecoded with kNoSymbolFound.
    DecodeOutcome::Kind kind = DecodeOutcome::Kind::NotDecoded;
    std::string message;
    std::vector<FoundSymbol> symbols; // as FindAllSymbols orders them
    uint32_t elapsedMs = 0;           // header to the end of the search
};
// threads as FindAllSymbols takes them, and for the conversion as
// ConvertBitmap does.
PictureScan ScanPicture(std::span<const uint8_t> file,
                        const MillisecondClock& clock = SystemMilliseconds, int threads = 2);
// The same for a picture already grey, as ConvertBitmap makes it; the time
// is the search's alone.
PictureScan ScanPicture(const GreyImage& grey, const MillisecondClock& clock = SystemMilliseconds,
                        int threads = 2);

// One symbol of a scan as a decode outcome, for the labels and JSON that a
// decoded selection gets.
DecodeOutcome OutcomeOf(const FoundSymbol& symbol, uint32_t elapsedMs);

// The decoder's options from the user's settings: segment information
// only when it is switched on, dumps only with a debug folder.
DecodeOptions MakeDecodeOptions(const Settings& settings, const std::string& debugFolder);

} // namespace zorvik
