// Kept apart from the run itself so that tests of the run with stand-in
// stages do not pull in the whole decoder.
#include "DecodeRun.h"
#include "SecondSearch.h"

namespace zorvik {

RecognitionStages::RecognitionStages(DecodeOptions options)
    : options_(options), engine_(options), aheadEngine_(std::move(options)) {}

void RecognitionStages::BeginPicture() {
    EndPicture();
    finders_ = {};
    searches_ = 0;
    allFound_ = true;
}

void RecognitionStages::EndPicture() {
    ahead_.reset(); // called off, and waited for
    aheadGrey_ = nullptr;
}

std::string RecognitionStages::FindFinderPatterns(const GreyImage& grey, BinaryImage& binary,
                                                  SymbolBox& box, float thresholdFactor) {
    sampling_.Reset();
    // Most pictures that a second threshold decodes are a scaled symbol's,
    // whose second search would be work thrown away: the third begins it.
    if (++searches_ == 3 && allFound_ && !options_.exact && !options_.segmentInfo &&
        options_.searchThreads > 1) {
        aheadGrey_ = &grey;
        ahead_.emplace(
            [this, &grey](const std::atomic<bool>* stop) {
                SearchedAhead found;
                found.message = zorvik::SecondSearch(grey, aheadEngine_, found.result,
                                                     options_.searchThreads, stop);
                return found;
            },
            true);
    }
    std::string message =
        zorvik::FindFinderPatterns(grey, binary, box, thresholdFactor, options_, &finders_);
    allFound_ = allFound_ && message.empty();
    return message;
}

std::string RecognitionStages::SampleModules(const BinaryImage& binary, SymbolBox& box,
                                             ModuleMatrix& matrix, int samplingMode,
                                             int sizeCorrection) {
    return zorvik::SampleModules(binary, box, matrix, samplingMode, sizeCorrection, options_,
                                 &sampling_);
}

std::string RecognitionStages::DecodeSymbol(const ModuleMatrix& matrix, const SymbolBox& box,
                                            DecodeResult& result) {
    textFrom_ = &engine_;
    std::string message = engine_.DecodeSymbol(matrix, box, result);
    if (message.empty() && ahead_) ahead_->Stop(); // not wanted now
    return message;
}

std::string RecognitionStages::SecondSearch(const GreyImage& grey, DecodeResult& result) {
    if (options_.exact) return kSecondSearchFailed;
    if (ahead_ && aheadGrey_ == &grey) {
        SearchedAhead found = ahead_->Take();
        EndPicture();
        textFrom_ = &aheadEngine_;
        result = found.result;
        return found.message;
    }
    EndPicture(); // begun on another picture
    textFrom_ = &engine_;
    return zorvik::SecondSearch(grey, engine_, result, options_.searchThreads);
}

std::string RecognitionStages::GetDecodedText() {
    return textFrom_->GetDecodedText();
}

} // namespace zorvik
