// Finding the program's data beside it or in an installed copy's data folder.
#include "DataFolder.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

TEST(DataFolderTest, IsShareZorvikBesideTheProgramsFolder) {
    EXPECT_EQ(DataFolder("/usr/bin/"), "/usr/share/zorvik/");
    EXPECT_EQ(DataFolder("/opt/zorvik/bin"), "/opt/zorvik/share/zorvik/");
}

// A prefix with bin/ and share/zorvik/; each case puts the file in some of
// the two places.
TEST(DataFolderTest, TheFileBesideTheProgramComesFirstThenTheDataFolder) {
    struct Case {
        bool beside, inData;
        const char* found; // "bin" or "share"
    };
    const Case cases[] = {
        {true, false, "bin"},
        {false, true, "share"},
        {true, true, "bin"},
        {false, false, "bin"}, // looked for, and reported missing, beside the program
    };
    for (const Case& c : cases) {
        test::TempFolder prefix("data-file");
        const fs::path bin = prefix / "bin";
        const fs::path data = prefix / "share/zorvik";
        fs::create_directories(bin / "help");
        fs::create_directories(data / "help");
        if (c.beside) std::ofstream(bin / "help/index.html") << "x";
        if (c.inData) std::ofstream(data / "help/index.html") << "x";
        const fs::path expected =
            std::string(c.found) == "bin" ? bin / "help/index.html" : data / "help/index.html";
        for (const std::string& folder : {bin.string(), bin.string() + "/"})
            EXPECT_EQ(DataFile(folder, "help/index.html"), expected.string())
                << c.beside << c.inData << " " << folder;
    }
}

TEST(DataFolderTest, AnInstalledCopyHasItsHelpOnlyInTheDataFolder) {
    struct Case {
        bool helpBeside, helpInData, installed;
    };
    const Case cases[] = {
        {true, false, false}, // a build tree
        {false, true, true},  // installed
        {true, true, false},  // a build tree inside a prefix keeps its own
        {false, false, false},
    };
    for (const Case& c : cases) {
        test::TempFolder prefix("installed-copy");
        fs::create_directories(prefix / "bin");
        if (c.helpBeside) fs::create_directories(prefix / "bin/help");
        if (c.helpInData) fs::create_directories(prefix / "share/zorvik/help");
        EXPECT_EQ(IsInstalledCopy((prefix / "bin").string()), c.installed)
            << c.helpBeside << c.helpInData;
    }
}

} // namespace
} // namespace zorvik
