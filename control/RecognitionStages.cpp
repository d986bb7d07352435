// Kept apart from the run itself so that tests of the run with stand-in
// stages do not pull in the whole decoder.
#include "DecodeRun.h"
#include "SecondSearch.h"

namespace zorvik {

RecognitionStages::RecognitionStages(DecodeOptions options)
    : options_(options), engine_(std::move(options)) {}

void RecognitionStages::BeginPicture() {
    finders_ = {};
}

std::string RecognitionStages::FindFinderPatterns(const GreyImage& grey, BinaryImage& binary,
                                                  SymbolBox& box, float thresholdFactor) {
    sampling_.Reset();
    return zorvik::FindFinderPatterns(grey, binary, box, thresholdFactor, options_, &finders_);
}

std::string RecognitionStages::SampleModules(const BinaryImage& binary, SymbolBox& box,
                                             ModuleMatrix& matrix, int samplingMode,
                                             int sizeCorrection) {
    return zorvik::SampleModules(binary, box, matrix, samplingMode, sizeCorrection, options_,
                                 &sampling_);
}

std::string RecognitionStages::DecodeSymbol(const ModuleMatrix& matrix, const SymbolBox& box,
                                            DecodeResult& result) {
    return engine_.DecodeSymbol(matrix, box, result);
}

std::string RecognitionStages::SecondSearch(const GreyImage& grey, DecodeResult& result) {
    if (options_.exact) return kSecondSearchFailed;
    return zorvik::SecondSearch(grey, engine_, result, options_.searchThreads);
}

std::string RecognitionStages::GetDecodedText() {
    return engine_.GetDecodedText();
}

} // namespace zorvik
