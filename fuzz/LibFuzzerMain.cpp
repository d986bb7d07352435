// libFuzzer's entry point for one target, chosen at compile time.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ZORVIK_FUZZ_ENTRY(zorvik::fuzz::FuzzInput(data, size));
}
