#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zorvik::fuzz {

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz contract broken: %s\n", what);
    std::abort();
}

std::string BytesToBits(FuzzInput data, size_t first) {
    std::string bits;
    if (first >= data.size()) return bits;
    bits.reserve((data.size() - first) * 8);
    for (size_t i = first; i < data.size(); ++i)
        for (int b = 7; b >= 0; --b) bits += (data[i] >> b) & 1 ? '1' : '0';
    return bits;
}

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::error_code ec;
        auto base = std::filesystem::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string pattern = (base / "zorvik-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) Require(false, "cannot create a scratch folder");
        path = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::span<const FuzzTarget> AllFuzzTargets() {
    static const FuzzTarget targets[] = {
        {"BitmapRun", FuzzBitmapRun},       {"DecodeSymbol", FuzzDecodeSymbol},
        {"Segments", FuzzSegments},         {"CorrectBlock", FuzzCorrectBlock},
        {"LoadSettings", FuzzLoadSettings}, {"ResultPage", FuzzResultPage},
        {"SecondSearch", FuzzSecondSearch}, {"PictureFile", FuzzPictureFile},
    };
    return targets;
}

} // namespace zorvik::fuzz
