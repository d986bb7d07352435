// zorvik.conf: what a file a user or a script wrote gives, where it is read
// and written, and that saving replaces it whole and leaves ZORVIK.ini alone.
#include "BeyondSettings.h"
#include "Settings.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

TEST(BeyondSettingsText, FileRules) {
    const BeyondSettings defaults;
    const BeyondSettings flipped{false, true, false};
    const BeyondSettings oneStep{true, true, true};
    const std::pair<const char*, BeyondSettings> cases[] = {
        {"", defaults},
        {"[Beyond]\r\nFindSymbols=0\r\nDecodeSingleSymbol=1\r\nCopyText=0", flipped},
        {"\xEF\xBB\xBF[beyond]\n  findsymbols = 0 \nDECODESINGLESYMBOL =1\ncopytext= 0\n", flipped},
        // Values other than 0 and 1 keep the default.
        {"[Beyond]\nFindSymbols=no\nDecodeSingleSymbol=01\nCopyText=\n", defaults},
        // Keys outside [Beyond] do not count; unknown keys and lines are ignored.
        {"DecodeSingleSymbol=1\n[Other]\nDecodeSingleSymbol=1\n", defaults},
        {"[Beyond]\nColour=1\nnonsense\n=1\nDecodeSingleSymbol=0\nDecodeSingleSymbol=1\n", oneStep},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseBeyondSettings(text), expected) << text;
    EXPECT_EQ(ParseBeyondSettings(FormatBeyondSettings(flipped)), flipped);
}

class BeyondSettingsFileTest : public ::testing::Test {
  protected:
    BeyondSettingsFileTest() {
        fs::create_directories(scratch_ / "program");
        place_.programFolder = (scratch_ / "program").string() + "/";
        place_.userFolder = (scratch_ / "config" / "zorvik").string() + "/";
    }
    fs::path ProgramFile() const { return scratch_ / "program" / kBeyondFileName; }

    test::TempFolder scratch_{"beyond"};
    SettingsPlace place_;
};

TEST_F(BeyondSettingsFileTest, ReadingNeverWritesAndSavingReplacesTheFileWhole) {
    EXPECT_EQ(LoadBeyondSettings(place_), BeyondSettings{});
    EXPECT_FALSE(fs::exists(ProgramFile()));
    fs::create_directories(ProgramFile()); // unreadable as a file: the defaults
    EXPECT_EQ(LoadBeyondSettings(place_), BeyondSettings{});
    fs::remove(ProgramFile());

    SaveSettings(Settings{}, place_);
    const std::string ini = test::ReadFileBytes(scratch_ / "program" / "ZORVIK.ini");
    std::ofstream(ProgramFile()) << "[Beyond]\nCopyText=0\nSomethingLonger=123456789\n";
    const BeyondSettings beyond{true, true, true};
    ASSERT_TRUE(SaveBeyondSettings(beyond, place_));
    EXPECT_EQ(test::ReadFileBytes(ProgramFile()),
              "[Beyond]\nFindSymbols=1\nDecodeSingleSymbol=1\nCopyText=1\n");
    EXPECT_EQ(test::ReadFileBytes(scratch_ / "program" / "ZORVIK.ini"), ini);
    // No temporary file is left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch_ / "program"), {}), 2);

    SettingsPlace missing = place_;
    missing.programFolder = (scratch_ / "missing").string();
    EXPECT_FALSE(SaveBeyondSettings(beyond, missing));
    EXPECT_FALSE(fs::exists(scratch_ / "missing"));
}

TEST_F(BeyondSettingsFileTest, AReadOnlyProgramFolderHandsOverToTheUsersFolderAsTheIniFileDoes) {
    place_.programFolderWritable = false;
    std::ofstream(ProgramFile()) << "[Beyond]\nCopyText=0\n";
    EXPECT_FALSE(LoadBeyondSettings(place_).CopyText); // the administrator's file serves

    const BeyondSettings beyond{false, false, true};
    ASSERT_TRUE(SaveBeyondSettings(beyond, place_)); // creating the user's folder
    EXPECT_EQ(test::ReadFileBytes(ProgramFile()), "[Beyond]\nCopyText=0\n");
    EXPECT_EQ(LoadBeyondSettings(place_), beyond); // from now on the user's file wins
}

} // namespace
} // namespace zorvik
