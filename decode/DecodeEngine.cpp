#include "DecodeEngine.h"

#include "CodewordReadout.h"
#include "ErrorCorrection.h"
#include "FormatInfo.h"
#include "SegmentInfo.h"
#include "SegmentParser.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace zorvik {

std::string DecodeEngine::DecodeSymbol(const ModuleMatrix& matrix, const SymbolBox& box,
                                       DecodeResult& result) {
    DecodedText.clear();
    try {
        return DecodeSteps(matrix, box, result);
    } catch (const std::exception&) {
        // Any fault the checks below do not catch: an index outside a table,
        // a text or an array, a 16-bit overflow, a version without tables.
        return kDecodeApology;
    }
}

namespace {

// The fixed layouts of one version: the same for every symbol of it, a
// table of the standard rather than state. Each is worked out the first
// time a symbol of its version is decoded and never changed after, so that
// engines on any thread read it without a lock, and no picture pays for it
// again.
struct VersionLayout {
    std::array<std::string, 8> masks; // each mask over the data modules
    // Indices into the version's size x size square of every data module in
    // placement order, as ReadCodewordBits walks them.
    std::vector<int> dataOrder;
};

const VersionLayout& LayoutOf(int version) {
    if (version < 1 || version > 40) throw StageFault("a version without tables");
    static std::array<std::once_flag, 40> built;
    static std::array<VersionLayout, 40> layouts;
    VersionLayout& layout = layouts[size_t(version - 1)];
    std::call_once(built[size_t(version - 1)], [&] {
        const int last = 4 * version + 16;
        std::string map = BuildFunctionMap(version);
        std::string functions = map; // function modules '0', data modules '-'
        std::replace(functions.begin(), functions.end(), '1', '0');
        for (int mask = 0; mask < 8; ++mask)
            layout.masks[size_t(mask)] = BuildMaskString(mask, functions, last);
        const auto modules = std::count(map.begin(), map.end(), '-');
        layout.dataOrder.reserve(size_t(modules));
        int row = last, column = last, toggle = 1, direction = -1;
        for (long long k = 0; k < modules; ++k) {
            NextDataModule(map, last, row, column, toggle, direction);
            layout.dataOrder.push_back(row * (last + 1) + column);
        }
    });
    return layout;
}

} // namespace

std::string DecodeEngine::DecodeSteps(const ModuleMatrix& matrix, const SymbolBox& box,
                                      DecodeResult& result) {
    ReadFormatInfo(matrix, box.ModulesAcross, box.ModulesDown, result.SymbolVersion, result.EcLevel,
                   result.MaskPattern);
    if (result.EcLevel < 0) return kFormatUnreadable;
    if (result.SymbolVersion < 0) return kVersionUnreadable;
    const int version = result.SymbolVersion, level = result.EcLevel;

    const VersionLayout& layout = LayoutOf(version);
    const std::string& mask = layout.masks.at(size_t(result.MaskPattern));
    const VersionCapacity capacity = GetVersionCapacity(version);
    const int dataCount = capacity.data.at(size_t(level));
    const int ecCount = capacity.ec.at(size_t(level));
    const int blockCount = capacity.blocks.at(size_t(level));
    const int16_t correctable = GetCorrectableErrors(version, level);
    const std::vector<int>& order = layout.dataOrder;
    const size_t side = size_t(4 * version + 17);
    const size_t bitCount = 8 * size_t(dataCount + ecCount);
    if (bitCount > order.size()) throw StageFault("more codewords than the symbol holds");

    std::string dataBits;
    int16_t totalCodewords = 0, totalErrors = 0;
    // Corrects a block of count codewords, the first dataWords of them
    // data, and appends the data codewords' bits. False when the block has
    // more errors than its level corrects.
    auto takeBlock = [&](CodewordArray& codewords, int count, int dataWords) {
        const int16_t corrected = CorrectBlock(codewords, CheckedInt16(count), correctable,
                                               CheckedInt16(count - dataWords));
        if (corrected < 0) return false;
        for (int i = 0; i < dataWords; ++i)
            for (int bit = 7; bit >= 0; --bit)
                dataBits += char('0' + (codewords[size_t(i)] >> bit & 1));
        totalCodewords = CheckedInt16(totalCodewords + count);
        totalErrors = CheckedInt16(totalErrors + corrected);
        return true;
    };

    // The square matrix sampling gives is read straight into codewords,
    // block by block: most attempts on a misread grid end at the first
    // block, before the rest is read at all. Block b holds every
    // blockCount-th data codeword from b (the longer blocks, which come
    // last, one more from the end) and every blockCount-th error-correction
    // codeword from b, as the bit-string reading below distributes them.
    bool square = box.ModulesDown == int(side) && matrix.size() >= side;
    for (size_t r = 0; square && r < side; ++r) square = matrix[r].size() == side;
    const int n = blockCount, q = blockCount >= 1 ? dataCount / blockCount : 0;
    if (square && n >= 1 && q >= 1) {
        // Row after row, as the placement walk numbers the modules.
        std::string modules;
        modules.reserve(side * side);
        for (size_t r = 0; r < side; ++r) modules += matrix[r];
        auto codewordAt = [&](int index) {
            int16_t value = 0;
            for (size_t bit = 0; bit < 8; ++bit) {
                const size_t at = size_t(order[8 * size_t(index) + bit]);
                const bool dark = modules[at] == '1';
                value = int16_t(value << 1 | int16_t(dark != (mask[at] == '1')));
            }
            return value;
        };
        const int shorter = n * (q + 1) - dataCount;
        for (int b = 0; b < n; ++b) {
            CodewordArray codewords{};
            int count = 0;
            for (int k = 0; k < q; ++k) codewords[size_t(count++)] = codewordAt(k * n + b);
            if (b >= shorter) codewords[size_t(count++)] = codewordAt(n * q + b - shorter);
            const int dataWords = count;
            for (int k = b; k < ecCount; k += n)
                codewords[size_t(count++)] = codewordAt(dataCount + k);
            if (!takeBlock(codewords, count, dataWords)) return kTooManyErrors;
        }
    } else {
        std::string symbolBits;
        for (int r = 0; r < box.ModulesDown; ++r) symbolBits += matrix.at(size_t(r));
        symbolBits = XorBitStrings(symbolBits, mask);
        // The codeword bits in placement order, as ReadCodewordBits reads
        // them but from the version's walk worked out once. Its first
        // module is the bottom-right one, so a symbol text shorter than the
        // square faults at once, as there.
        if (symbolBits.size() < side * side) throw StageFault("codewords outside the symbol");
        std::string codewordBits(bitCount, '0');
        for (size_t k = 0; k < bitCount; ++k) codewordBits[k] = symbolBits[size_t(order[k])];
        for (BlockRecord& block :
             DeinterleaveBlocks(codewordBits, dataCount, ecCount, blockCount)) {
            CodewordArray codewords{};
            const int blockData = int(block.DataBits.size() / 8);
            const int blockEc = int(block.EcBits.size() / 8);
            int count = 0;
            for (int i = 0; i < blockData; ++i)
                codewords.at(size_t(count++)) = BitsToInt(Mid(block.DataBits, 8 * i + 1, 8));
            for (int i = 0; i < blockEc; ++i)
                codewords.at(size_t(count++)) = BitsToInt(Mid(block.EcBits, 8 * i + 1, 8));
            if (!takeBlock(codewords, count, blockData)) return kTooManyErrors;
        }
    }
    result.ErrorRate =
        totalErrors == 0 ? 0.0f : float(double(totalErrors) / double(totalCodewords) * 100.0);

    // Guarantees a terminator when the data fill the symbol or end with a
    // shortened one.
    dataBits += "0000";
    ParsedSegments parsed = ParseSegments(
        dataBits, version, options_.exact ? TextReading::Documented : TextReading::Modern);
    result.SequenceByte = parsed.SequenceByte;
    result.TextByteCount = parsed.TextByteCount;
    const int used = parsed.stopPosition - 1;
    result.DataWordCount = CheckedInt16(used / 8 + (used % 8 != 0 ? 1 : 0));

    // Written before the checks below, so a rejected symbol leaves its lines too.
    if (options_.segmentInfo) WriteSegmentInfo(parsed.segments, options_.infoFileName);

    DecodedText.clear();
    for (const SegmentRecord& segment : parsed.segments) {
        if (IsMarkerMode(segment.Mode)) { // no characters of its own
            DecodedText += segment.Text;
            continue;
        }
        if (segment.CharCount == 0) return kNoTextInformation;
        DecodedText += segment.Text;
    }
    if (DecodedText.empty()) return kNoTextInformation;
    return "";
}

} // namespace zorvik
