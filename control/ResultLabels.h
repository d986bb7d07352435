// The result window's label texts, made from a successful run's statistics.
// The window and the command-line decoder both show exactly these.
#pragma once

#include "DecodeEngine.h"

#include <cstdint>
#include <string>

namespace zorvik {

// The texts of a successful run; elapsedMs is shown as seconds with three
// decimals.
struct ResultLabels {
    std::string CorrLevel, MaxCor, Version, MaskNo;
    std::string ConcatNo;
    bool ConcatNoOpaque = false; // background shown only with a position
    std::string CorRate, DataWord, CompressRate, DecodeTime;
    std::string CompressPercent; // the number of CompressRate alone
};
// CompressRate with %1 for CompressPercent.
inline constexpr const char* kCompressRateText = "（圧縮率 %1%）";
ResultLabels MakeResultLabels(const DecodeResult& result, uint32_t elapsedMs);

} // namespace zorvik
