#include "SecondSearch.h"

namespace zorvik {

std::string SecondSearch(const GreyImage&, DecodeEngine&, DecodeResult&) {
    return kSecondSearchFailed;
}

} // namespace zorvik
