// The second search: after every documented attempt has failed, finds the
// symbol wherever and however it lies in the picture (turned, mirrored,
// light on dark, in perspective, small in a large selection), samples its
// module grid upright and hands it to the same symbol decoder.
#pragma once

#include "ChangeBitmap.h"
#include "DecodeEngine.h"

#include <string>

namespace zorvik {

inline constexpr const char* kSecondSearchFailed = "second search: no symbol decoded";

// "" with result and engine.GetDecodedText() set by the first candidate
// grid the engine decodes; otherwise kSecondSearchFailed. Never throws.
std::string SecondSearch(const GreyImage& grey, DecodeEngine& engine, DecodeResult& result);

} // namespace zorvik
