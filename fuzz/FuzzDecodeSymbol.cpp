#include "DecodeEngine.h"
#include "FuzzSupport.h"

namespace zorvik::fuzz {

int FuzzDecodeSymbol(FuzzInput data) {
    if (data.size() < 2) return 0;
    const int n = 21 + data[0] % 157;
    DecodeOptions options;
    options.exact = (data[1] & 1) != 0;
    const std::string bits = BytesToBits(data, 2);
    ModuleMatrix matrix(size_t(n), std::string(size_t(n), '0'));
    for (size_t i = 0; i < bits.size() && i < size_t(n) * size_t(n); ++i)
        matrix[i / size_t(n)][i % size_t(n)] = bits[i];
    SymbolBox box;
    box.ModulesAcross = box.ModulesDown = int16_t(n);
    DecodeEngine engine(options);
    DecodeResult result;
    const std::string message = engine.DecodeSymbol(matrix, box, result);
    if (message.empty()) {
        Require(result.SymbolVersion >= 1 && result.SymbolVersion <= 40, "version 1..40");
        Require(result.EcLevel >= 0 && result.EcLevel <= 3, "level 0..3");
        Require(result.MaskPattern >= 0 && result.MaskPattern <= 7, "mask 0..7");
        Require(result.ErrorRate >= 0 && result.ErrorRate <= 100, "error rate 0..100");
    }
    return 0;
}

} // namespace zorvik::fuzz
