#include "PixelLines.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace zorvik;

namespace {

std::vector<int> ChangesOneByOne(const std::vector<uint8_t>& line) {
    std::vector<int> changes;
    for (size_t p = 1; p < line.size(); ++p)
        if (line[p] != line[p - 1]) changes.push_back(int(p));
    return changes;
}

// The changes FindChanges reports, from a buffer of exactly the room it
// asks for with a guard behind it that must stay untouched; the 16-bit
// positions must be the same.
template <typename Position> std::vector<int> ChangesAs(const std::vector<uint8_t>& line) {
    const int length = int(line.size());
    const size_t room = size_t(std::max(0, length - 1) + kChangeSlack);
    std::vector<Position> buffer(room + 1, -7);
    Position* end = FindChanges(line.data(), length, buffer.data());
    EXPECT_EQ(buffer[room], -7) << "written past the room asked for";
    return std::vector<int>(buffer.data(), end);
}

std::vector<int> ChangesFound(const std::vector<uint8_t>& line) {
    std::vector<int> changes = ChangesAs<int>(line);
    EXPECT_EQ(ChangesAs<int16_t>(line), changes) << "16-bit positions";
    return changes;
}

} // namespace

TEST(FindChanges, AgreesWithAPixelByPixelReadingOnLinesOfEveryDensity) {
    std::mt19937 random(11);
    // From a change at nearly every pixel (every byte mask) to long runs,
    // on lengths below, at and past whole vectors.
    for (int length : {0, 1, 2, 15, 16, 17, 31, 32, 33, 64, 100, 257, 32767}) {
        for (double changeRate : {0.03, 0.3, 0.5, 0.9, 1.0}) {
            std::bernoulli_distribution flip(changeRate);
            std::vector<uint8_t> line(static_cast<size_t>(length));
            uint8_t value = '0';
            for (uint8_t& pixel : line) {
                if (flip(random)) value = value == '0' ? '1' : '0';
                pixel = value;
            }
            EXPECT_EQ(ChangesFound(line), ChangesOneByOne(line))
                << "length " << length << ", change rate " << changeRate;
        }
    }
}

TEST(FindChanges, ReadsAnyTwoDifferentBytesAsAChange) {
    const std::vector<uint8_t> line = {0, 0, 255, 255, 1, 1, 1, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8};
    EXPECT_EQ(ChangesFound(line), (std::vector<int>{2, 4, 7, 8, 17}));
}
