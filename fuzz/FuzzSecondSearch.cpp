#include "FuzzSupport.h"
#include "SecondSearch.h"

#include <cstring>

namespace zorvik::fuzz {

int FuzzSecondSearch(FuzzInput data) {
    if (data.size() < 3) return 0;
    const int width = 1 + (data[0] | data[1] << 8) % 1024;
    const int height = int((data.size() - 2) / size_t(width));
    if (height == 0) return 0;
    GreyImage grey(width, height);
    std::memcpy(grey.pixels.data(), data.data() + 2, grey.pixels.size());
    DecodeEngine engine;
    DecodeResult result;
    const std::string message = SecondSearch(grey, engine, result);
    Require(message.empty() || message == kSecondSearchFailed, "one of the two answers");
    if (message.empty())
        Require(result.SymbolVersion >= 1 && result.SymbolVersion <= 40, "version 1..40");
    return 0;
}

} // namespace zorvik::fuzz
