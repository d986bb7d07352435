// Symbol decoding: from a sampled module matrix to text and statistics.
#pragma once

#include "CommonModule.h"
#include "FinderSearch.h"
#include "ModuleSampling.h"

#include <cstdint>
#include <string>
#include <utility>

namespace zorvik {

struct DecodeResult {
    int16_t SymbolVersion = -1; // 1..40
    int16_t EcLevel = -1;       // 0 L, 1 M, 2 Q, 3 H
    int16_t MaskPattern = -1;   // 0..7
    float ErrorRate = 0;        // corrected codewords as % of all codewords
    int16_t DataWordCount = 0;  // data codewords up to the terminator
    int16_t TextByteCount = 0;  // segment character counts, kanji counting 2
    int16_t SequenceByte = -1;  // structured-append byte, -1 without header
};

inline constexpr const char* kFormatUnreadable = "形式情報が正しく読み取れません";
inline constexpr const char* kVersionUnreadable = "型番情報が正しく読み取れません";
inline constexpr const char* kTooManyErrors = "誤り多発で読み取りできません";
inline constexpr const char* kNoTextInformation = "テキスト情報が読み出せませんでした";
inline constexpr const char* kDecodeApology =
    "大変申し訳ございません。\rデコードできませんでした。";

// One decoder with its own state; two engines may decode at once.
class DecodeEngine {
  public:
    explicit DecodeEngine(DecodeOptions options = {}) : options_(std::move(options)) {}

    // Decodes one matrix. Returns "" on success or the message of the failing
    // step. Only box.ModulesAcross and box.ModulesDown are read. Never throws.
    std::string DecodeSymbol(const ModuleMatrix& matrix, const SymbolBox& box,
                             DecodeResult& result);

    // The text of the last call: complete after a success, empty or partial
    // after a failure, never an earlier call's.
    const std::string& GetDecodedText() const { return DecodedText; }

  private:
    std::string DecodeSteps(const ModuleMatrix& matrix, const SymbolBox& box, DecodeResult& result);

    DecodeOptions options_;
    std::string DecodedText;
};

} // namespace zorvik
