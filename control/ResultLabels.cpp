#include "ResultLabels.h"

#include <array>
#include <cstdio>

namespace zorvik {
namespace {

std::string Format1(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

} // namespace

ResultLabels MakeResultLabels(const DecodeResult& r, uint32_t elapsedMs) {
    static const std::array<const char*, 4> levels = {"L", "M", "Q", "H"};
    static const std::array<const char*, 4> maxCorrection = {
        "（最大訂正率 約7%）", "（最大訂正率 約15%）", "（最大訂正率 約25%）",
        "（最大訂正率 約30%）"};
    ResultLabels labels;
    if (r.EcLevel >= 0 && r.EcLevel <= 3) {
        labels.CorrLevel = levels[size_t(r.EcLevel)];
        labels.MaxCor = maxCorrection[size_t(r.EcLevel)];
    }
    labels.Version = std::to_string(r.SymbolVersion);
    labels.MaskNo = std::to_string(r.MaskPattern);
    // A series of one (byte 0) shows no position.
    if (r.SequenceByte > 0) {
        labels.ConcatNoOpaque = true;
        int position = (r.SequenceByte - (r.SequenceByte & 15)) / 16 + 1;
        int total = (r.SequenceByte & 15) + 1;
        labels.ConcatNo = std::to_string(position) + "/" + std::to_string(total);
    }
    labels.CorRate = Format1(double(r.ErrorRate));
    labels.DataWord = std::to_string(r.DataWordCount);
    if (r.TextByteCount > 0) {
        labels.CompressPercent = Format1(double(r.DataWordCount) / r.TextByteCount * 100);
        labels.CompressRate = kCompressRateText;
        labels.CompressRate.replace(labels.CompressRate.find("%1"), 2, labels.CompressPercent);
    }
    char time[32];
    std::snprintf(time, sizeof time, "%u.%03u", elapsedMs / 1000, elapsedMs % 1000);
    labels.DecodeTime = time;
    return labels;
}

} // namespace zorvik
