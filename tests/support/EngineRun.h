// Runs the decode driver on a module matrix as the decode run would, with
// the box's module counts taken from the matrix.
#pragma once

#include "DecodeEngine.h"

#include <string>
#include <vector>

namespace zorvik::test {

struct Decoded {
    std::string message;
    DecodeResult result;
    std::string text;
};

inline Decoded Decode(DecodeEngine& engine, const std::vector<std::string>& modules) {
    SymbolBox box;
    box.ModulesAcross = box.ModulesDown = int16_t(modules.size());
    Decoded d;
    d.message = engine.DecodeSymbol(modules, box, d.result);
    d.text = engine.GetDecodedText();
    return d;
}

inline Decoded Decode(const std::vector<std::string>& modules) {
    DecodeEngine engine;
    return Decode(engine, modules);
}

} // namespace zorvik::test
