#include "DecodeRun.h"
#include "FuzzSupport.h"

namespace zorvik::fuzz {

int FuzzBitmapRun(FuzzInput data) {
    RecognitionStages stages;
    DecodeOutcome outcome = RunDecode(data, stages, [] { return uint32_t(0); });
    if (outcome.kind == DecodeOutcome::Kind::Decoded) {
        Require(outcome.result.SymbolVersion >= 1 && outcome.result.SymbolVersion <= 40,
                "a decoded run has a version 1..40");
        Require(outcome.text == stages.GetDecodedText(), "the outcome holds the engine's text");
    } else {
        Require(!outcome.message.empty(), "a failed run says why");
    }
    return 0;
}

} // namespace zorvik::fuzz
