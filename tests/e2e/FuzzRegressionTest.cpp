// Every input the fuzzers found a fault with, kept in fuzz/regressions/<target>/,
// runs again through its target's entry function in every build: a fault that
// comes back crashes or aborts this test (and the sanitizer build reports it).
#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;
using namespace zorvik::fuzz;

namespace {

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

} // namespace

TEST(FuzzRegression, EveryKeptInputRunsThroughItsTarget) {
    const fs::path root = fs::path(ZORVIK_SOURCE_DIR) / "fuzz";
    int replayed = 0;
    for (const FuzzTarget& target : AllFuzzTargets()) {
        for (const fs::path& file : FilesIn(root / "regressions" / target.name)) {
            // Named before the run: a crash leaves no other trace of which input it was.
            std::fprintf(stderr, "%s: %s\n", std::string(target.name).c_str(), file.c_str());
            const auto bytes = ReadAll(file);
            EXPECT_EQ(target.run(bytes), 0) << file;
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

TEST(FuzzRegression, EmptyAndTinyInputsAreHarmlessEverywhere) {
    const std::vector<uint8_t> inputs[] = {{}, {0}, {0xff}, {0, 0, 0}, {0xff, 0xff, 0xff, 0xff}};
    for (const FuzzTarget& target : AllFuzzTargets())
        for (const auto& input : inputs) EXPECT_EQ(target.run(input), 0) << target.name;
}
