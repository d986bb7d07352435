#include "SegmentInfo.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

class SegmentInfoTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return (folder_ / name).string(); }

    static std::string ReadBytes(const std::string& path) { return test::ReadFileBytes(path); }

    static SegmentRecord Record(uint8_t mode, int16_t count, std::string text) {
        SegmentRecord r;
        r.Mode = mode;
        r.CharCount = count;
        r.Text = std::move(text);
        return r;
    }

    test::TempFolder folder_{"seginfo"};
};

TEST_F(SegmentInfoTest, OneLinePerSegment) {
    const std::string path = Path("info.txt");
    WriteSegmentInfo({Record(2, 5, "Hello")}, path);
    EXPECT_EQ(ReadBytes(path), "[B-0005] Hello\r\n");

    // Replaced, not appended; every mode prefix, a long count, the empty record
    // of a failed parse, and kanji written in Shift_JIS.
    WriteSegmentInfo(
        {Record(0, 10000, "7"), Record(1, 3, "ABC"), Record(3, 2, "点茗"), SegmentRecord{}}, path);
    EXPECT_EQ(ReadBytes(path), "[N-10000] 7\r\n"
                               "[A-0003] ABC\r\n"
                               "[K-0002] \x93\x5F\xE4\xAA\r\n"
                               "[N-0000] \r\n");
}

TEST_F(SegmentInfoTest, FileErrorsAreSilent) {
    EXPECT_NO_THROW(WriteSegmentInfo({Record(2, 5, "Hello")}, ""));
    EXPECT_NO_THROW(WriteSegmentInfo({Record(2, 5, "Hello")}, Path("missing/info.txt")));
    EXPECT_FALSE(fs::exists(Path("missing")));
    // A folder where the file should be.
    fs::create_directories(Path("taken"));
    EXPECT_NO_THROW(WriteSegmentInfo({Record(2, 5, "Hello")}, Path("taken")));
    EXPECT_TRUE(fs::is_directory(Path("taken")));
}

} // namespace
} // namespace zorvik
