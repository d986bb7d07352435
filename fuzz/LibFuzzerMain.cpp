// libFuzzer's entry point for one target, chosen at compile time.
#include "FuzzTargets.h"
#include "PngFile.h"

// The PNG reader reads on past wrong chunk checksums, so that the bytes a
// fuzzer changes reach the pixels; the tests' replay of the kept inputs
// reads as the program does.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zorvik::IgnorePngChecksums();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ZORVIK_FUZZ_ENTRY(zorvik::fuzz::FuzzInput(data, size));
}
