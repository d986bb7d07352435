#include "Settings.h"
#include "BeyondSettings.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

const std::string kDefaultFile = "[ZORVIK 1.2]\r\n"
                                 "HtmlBrowse=0\r\n"
                                 "BackColor=ffffff\r\n"
                                 "TextColor=000000\r\n"
                                 "LinkColor=0000ff\r\n"
                                 "FontSize=3\r\n"
                                 "DecodeAtOnce=1\r\n"
                                 "CameraSound=1\r\n"
                                 "SegmentInfo=0\r\n"
                                 "InfoFileName=\r\n";

class SettingsTest : public ::testing::Test {
  protected:
    std::string Folder() const { return folder_.path().string(); }
    std::string FilePath(const char* name = "ZORVIK.ini") const {
        return (folder_ / name).string();
    }

    void WriteFile(const std::string& bytes, const char* name = "ZORVIK.ini") const {
        std::ofstream(FilePath(name), std::ios::binary) << bytes;
    }
    std::string ReadFile(const char* name = "ZORVIK.ini") const {
        return test::ReadFileBytes(FilePath(name));
    }

    // Loads a file of the given lines into settings that start away from
    // both the defaults and zero, so that untouched fields would show.
    Settings LoadFrom(const std::string& bytes) const {
        WriteFile(bytes);
        Settings s;
        s.HtmlBrowse = 7;
        s.BackColor = {9, 9, 9};
        s.FontSize = 9;
        s.InfoFileName = "stale";
        LoadSettings(s, Folder());
        return s;
    }

    test::TempFolder folder_{"settings"};
};

void ExpectDefaults(const Settings& s) {
    EXPECT_EQ(s.HtmlBrowse, 0);
    EXPECT_EQ(s.BackColor, (RgbColor{255, 255, 255}));
    EXPECT_EQ(s.TextColor, (RgbColor{0, 0, 0}));
    EXPECT_EQ(s.LinkColor, (RgbColor{0, 0, 255}));
    EXPECT_EQ(s.FontSize, 3);
    EXPECT_EQ(s.DecodeAtOnce, 1);
    EXPECT_EQ(s.CameraSound, 1);
    EXPECT_EQ(s.SegmentInfo, 0);
    EXPECT_EQ(s.InfoFileName, "");
}

TEST_F(SettingsTest, MissingFileIsCreatedWithDefaults) {
    Settings s;
    s.FontSize = 6;
    s.InfoFileName = "x";
    LoadSettings(s, Folder());
    ExpectDefaults(s);
    EXPECT_EQ(ReadFile(), kDefaultFile);
}

TEST_F(SettingsTest, ValuesAreCheckedOneByOne) {
    struct Case {
        const char* line;
        int16_t Settings::*field;
        int16_t expected;
    };
    const Case cases[] = {
        {"FontSize=10", &Settings::FontSize, 3}, // two characters: not one digit
        {"FontSize= 5 ", &Settings::FontSize, 5},
        {"fontsize=7", &Settings::FontSize, 7},
        {"FontSize=0", &Settings::FontSize, 3},
        {"FontSize=8", &Settings::FontSize, 3},
        {"  HTMLBROWSE  =1", &Settings::HtmlBrowse, 1},
        {"HtmlBrowse=2", &Settings::HtmlBrowse, 0},
        {"DecodeAtOnce=0", &Settings::DecodeAtOnce, 0},
        {"DecodeAtOnce=yes", &Settings::DecodeAtOnce, 1},
        {"CameraSound=", &Settings::CameraSound, 1},
        {"SegmentInfo=1", &Settings::SegmentInfo, 1},
        {"SegmentInfo=01", &Settings::SegmentInfo, 0},
    };
    for (const Case& c : cases) {
        Settings s = LoadFrom(std::string("[ZORVIK 1.2]\r\n") + c.line + "\r\n");
        EXPECT_EQ(s.*c.field, c.expected) << c.line;
    }
}

TEST_F(SettingsTest, ColoursReadAnyCaseAndSaveLowerCase) {
    Settings s = LoadFrom("backcolor=FFCC00\r\nTextColor=0a0B0c\r\nLinkColor=12345\r\n");
    EXPECT_EQ(s.BackColor, (RgbColor{255, 204, 0}));
    EXPECT_EQ(s.TextColor, (RgbColor{10, 11, 12}));
    EXPECT_EQ(s.LinkColor, (RgbColor{0, 0, 255})); // five digits: its default

    SaveSettings(s, Folder());
    const std::string saved = ReadFile();
    EXPECT_NE(saved.find("\r\nBackColor=ffcc00\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nTextColor=0a0b0c\r\n"), std::string::npos) << saved;

    for (const char* bad : {"ffcc0", "ffcc0g", "ffcc000", " ffcc0 0", "ｆｆｃｃ００"}) {
        Settings t = LoadFrom(std::string("BackColor=") + bad + "\r\n");
        EXPECT_EQ(t.BackColor, (RgbColor{255, 255, 255})) << bad;
    }
}

TEST_F(SettingsTest, SectionLineOnlyLeavesZerosAndFileAlone) {
    const std::string content = "[ZORVIK 1.2]";
    Settings s = LoadFrom(content);
    EXPECT_EQ(s.HtmlBrowse, 0);
    EXPECT_EQ(s.BackColor, (RgbColor{0, 0, 0}));
    EXPECT_EQ(s.TextColor, (RgbColor{0, 0, 0}));
    EXPECT_EQ(s.LinkColor, (RgbColor{0, 0, 0}));
    EXPECT_EQ(s.FontSize, 0);
    EXPECT_EQ(s.DecodeAtOnce, 0);
    EXPECT_EQ(s.CameraSound, 0);
    EXPECT_EQ(s.SegmentInfo, 0);
    EXPECT_EQ(s.InfoFileName, "");
    EXPECT_EQ(ReadFile(), content);
}

TEST_F(SettingsTest, LineRules) {
    Settings s = LoadFrom("no equals sign\r\n"
                          "=1\r\n"
                          "Unknown=1\r\n"
                          "FontSize=2\n" // a bare LF ends a line too
                          "InfoFileName= C:\\out\\a=b.txt \r\n"
                          "FontSize=4\r\n"); // the later line wins
    EXPECT_EQ(s.FontSize, 4);
    EXPECT_EQ(s.InfoFileName, "C:\\out\\a=b.txt");
    EXPECT_EQ(s.HtmlBrowse, 0);
}

TEST_F(SettingsTest, NameIsFoundWithoutRegardToCase) {
    WriteFile("[ZORVIK 1.2]\r\nFontSize=6\r\n", "zorvik.INI");
    EXPECT_EQ(SettingsFilePath(Folder()), FilePath("zorvik.INI"));
    Settings s;
    LoadSettings(s, Folder());
    EXPECT_EQ(s.FontSize, 6);
    EXPECT_FALSE(fs::exists(FilePath()));

    // Saving replaces that same file rather than adding a second one.
    s.FontSize = 2;
    SaveSettings(s, Folder());
    EXPECT_FALSE(fs::exists(FilePath()));
    EXPECT_NE(ReadFile("zorvik.INI").find("\r\nFontSize=2\r\n"), std::string::npos);
}

TEST_F(SettingsTest, JapanesePathRoundTripsThroughShiftJis) {
    Settings s;
    s.InfoFileName = "C:\\出力\\情報.txt";
    s.SegmentInfo = 1;
    SaveSettings(s, Folder());
    const std::string saved = ReadFile();
    EXPECT_NE(saved.find("\r\nInfoFileName=C:\\\x8F\x6F\x97\xCD\\\x8F\xEE\x95\xF1.txt\r\n"),
              std::string::npos);

    Settings loaded;
    LoadSettings(loaded, Folder());
    EXPECT_EQ(loaded.InfoFileName, s.InfoFileName);
    EXPECT_EQ(loaded.SegmentInfo, 1);
}

TEST_F(SettingsTest, WriteErrorsAreSilent) {
    const std::string missing = (folder_ / "missing").string();
    Settings s;
    s.FontSize = 5;
    EXPECT_NO_THROW(SaveSettings(s, missing));
    EXPECT_NO_THROW(LoadSettings(s, missing));
    ExpectDefaults(s);
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(SettingsTest, AWriteThatFailsHalfwayLeavesTheOldFileWholeAndItsModeKept) {
    Settings s;
    s.FontSize = 5;
    SaveSettings(s, Folder());
    const std::string before = ReadFile();
    ASSERT_EQ(::chmod(FilePath().c_str(), 0600), 0);

    // A disk that fills after a few bytes: writes beyond the limit fail
    // (EFBIG; the signal that would end the program is ignored here).
    s.FontSize = 2;
    {
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 16;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        SaveSettings(s, Folder());
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator{}), 1)
        << "no temporary file is left behind";

    SaveSettings(s, Folder());
    EXPECT_NE(ReadFile().find("\r\nFontSize=2\r\n"), std::string::npos);
    EXPECT_EQ(fs::status(FilePath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(UserSettingsFolder, FromXdgConfigHomeElseHome) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/var/cfg");
        EXPECT_EQ(UserSettingsFolder(), "/var/cfg/zorvik/");
    }
    for (const char* unusable : {"", "relative/cfg"}) {
        ScopedEnv config("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(UserSettingsFolder(), "/home/someone/.config/zorvik/") << unusable;
    }
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(UserSettingsFolder(), "/home/someone/.config/zorvik/");
    ScopedEnv noHome("HOME", nullptr);
    EXPECT_EQ(UserSettingsFolder(), "");
}

// The program's folder as read-only: the decision is given, so these run
// the same as root, for whom every folder is writable.
class SettingsFallbackTest : public ::testing::Test {
  protected:
    SettingsFallbackTest() {
        fs::create_directories(scratch_ / "program");
        place_.programFolder = (scratch_ / "program").string() + "/";
        place_.programFolderWritable = false;
        place_.userFolder = (scratch_ / "config" / "zorvik").string() + "/";
    }
    fs::path ProgramFile() const { return scratch_ / "program" / "ZORVIK.ini"; }
    fs::path UserFile() const { return scratch_ / "config" / "zorvik" / "ZORVIK.ini"; }

    test::TempFolder scratch_{"settings-fallback"};
    SettingsPlace place_;
};

TEST_F(SettingsFallbackTest, NoFileAnywhereCreatesTheUsersFolderAndFile) {
    Settings s;
    s.FontSize = 6;
    LoadSettings(s, place_);
    ExpectDefaults(s);
    EXPECT_EQ(test::ReadFileBytes(UserFile()), kDefaultFile);
    EXPECT_FALSE(fs::exists(ProgramFile()));
}

TEST_F(SettingsFallbackTest, AFileBesideTheProgramServesUntilTheUserSaves) {
    const std::string shipped = "[ZORVIK 1.2]\r\nFontSize=6\r\nHtmlBrowse=1\r\n";
    std::ofstream(ProgramFile(), std::ios::binary) << shipped;

    Settings s;
    LoadSettings(s, place_);
    EXPECT_EQ(s.FontSize, 6);
    EXPECT_EQ(s.HtmlBrowse, 1);
    EXPECT_FALSE(fs::exists(UserFile())); // read, not copied

    s.FontSize = 2;
    SaveSettings(s, place_);
    EXPECT_EQ(test::ReadFileBytes(ProgramFile()), shipped);
    EXPECT_NE(test::ReadFileBytes(UserFile()).find("\r\nFontSize=2\r\n"), std::string::npos);

    // From now on the user's own file wins.
    Settings again;
    LoadSettings(again, place_);
    EXPECT_EQ(again.FontSize, 2);
}

TEST_F(SettingsFallbackTest, AWritableProgramFolderOrNoUserFolderKeepsTheFileBesideTheProgram) {
    SettingsPlace writable = place_;
    writable.programFolderWritable = true;
    Settings s;
    LoadSettings(s, writable);
    EXPECT_EQ(test::ReadFileBytes(ProgramFile()), kDefaultFile);
    EXPECT_FALSE(fs::exists(scratch_ / "config"));

    fs::remove(ProgramFile());
    SettingsPlace nowhere = place_;
    nowhere.userFolder.clear();
    LoadSettings(s, nowhere);
    EXPECT_TRUE(fs::exists(ProgramFile()));
    EXPECT_FALSE(fs::exists(scratch_ / "config"));
}

TEST_F(SettingsFallbackTest, WritableAndMissingProgramFoldersDoNotHandOver) {
    EXPECT_TRUE(SettingsPlaceFor(place_.programFolder).programFolderWritable);
    EXPECT_TRUE(SettingsPlaceFor((scratch_ / "missing").string()).programFolderWritable);
}

// Where both files go, by the three inputs of the place. An installed copy
// never writes beside itself, writable folder (root) or not.
TEST_F(SettingsFallbackTest, AnInstalledCopyKeepsBothFilesInTheUsersFolderOnly) {
    struct Case {
        bool installed, writable, userFolder;
        const char* files; // "program", "user" or "nowhere"
    };
    const Case cases[] = {
        {false, true, true, "program"}, // a build tree
        {false, false, true, "user"},   // a read-only copied folder
        {true, true, true, "user"},     // installed, run by root
        {true, false, true, "user"},    // installed, run by a user
        {true, true, false, "nowhere"}, // installed, no home: nothing written
    };
    for (const Case& c : cases) {
        fs::remove_all(scratch_ / "config");
        for (const char* name : {"ZORVIK.ini", "zorvik.conf"})
            fs::remove(scratch_ / "program" / name);
        SettingsPlace place = place_;
        place.installed = c.installed;
        place.programFolderWritable = c.writable;
        if (!c.userFolder) place.userFolder.clear();

        Settings s;
        LoadSettings(s, place); // a missing file is created with the defaults
        const bool saved = SaveBeyondSettings(BeyondSettings{}, place);
        const std::string where = c.files;
        for (const char* name : {"ZORVIK.ini", "zorvik.conf"}) {
            EXPECT_EQ(fs::exists(scratch_ / "program" / name), where == "program")
                << name << " " << c.installed << c.writable << c.userFolder;
            EXPECT_EQ(fs::exists(scratch_ / "config/zorvik" / name), where == "user")
                << name << " " << c.installed << c.writable << c.userFolder;
        }
        EXPECT_EQ(saved, where != "nowhere");
        EXPECT_EQ(place.CanSave(), where != "nowhere");
    }
}

// A tree laid out as installed (help only in ../share/zorvik) is recognised
// by SettingsPlaceFor itself, so every caller passing the program's folder
// gets the user's folder.
TEST(SettingsPlaceForTest, RecognisesAnInstalledTree) {
    test::TempFolder prefix("settings-installed");
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/zorvik/help");
    ScopedEnv config("XDG_CONFIG_HOME", (prefix / "config").c_str());
    const std::string bin = (prefix / "bin").string() + "/";
    EXPECT_TRUE(SettingsPlaceFor(bin).installed);

    Settings s;
    LoadSettings(s, bin);
    SaveSettings(s, bin);
    EXPECT_EQ(test::ReadFileBytes(prefix / "config/zorvik/ZORVIK.ini"), kDefaultFile);
    EXPECT_TRUE(fs::is_empty(prefix / "bin"));

    fs::create_directories(prefix / "bin/help"); // now a build tree inside a prefix
    EXPECT_FALSE(SettingsPlaceFor(bin).installed);
}

// The real access check on a read-only folder, end to end, in a forked
// child. Root passes every such check, so as root the child first becomes
// "nobody"; root itself always writes beside the program.
TEST_F(SettingsFallbackTest, AReadOnlyProgramFolderHandsOverForAnOrdinaryUser) {
    const fs::path config = scratch_ / "config";
    fs::create_directories(config);
    fs::permissions(config, fs::perms::all);
    fs::permissions(scratch_ / "program", fs::perms::owner_read | fs::perms::owner_exec |
                                              fs::perms::group_read | fs::perms::group_exec |
                                              fs::perms::others_read | fs::perms::others_exec);
    auto child = [&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            std::fprintf(stderr, "cannot drop root\n");
            std::_Exit(2);
        }
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        const SettingsPlace place = SettingsPlaceFor(place_.programFolder);
        if (place.programFolderWritable || place.userFolder != (config / "zorvik").string() + "/") {
            std::fprintf(stderr, "wrong place: %d %s\n", place.programFolderWritable,
                         place.userFolder.c_str());
            std::_Exit(3);
        }
        Settings s;
        LoadSettings(s, place_.programFolder);
        s.FontSize = 7;
        SaveSettings(s, place_.programFolder);
        const std::string saved = test::ReadFileBytes(UserFile());
        if (saved.find("\r\nFontSize=7\r\n") == std::string::npos) {
            std::fprintf(stderr, "not saved in the user's folder: [%s]\n", saved.c_str());
            std::_Exit(4);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
    fs::permissions(scratch_ / "program", fs::perms::owner_all, fs::perm_options::add);
    EXPECT_FALSE(fs::exists(ProgramFile()));
}

TEST(ColorText, ParseAndFormat) {
    RgbColor c{1, 2, 3};
    EXPECT_EQ(ParseColorText("0000fF", c), 0);
    EXPECT_EQ(c, (RgbColor{0, 0, 255}));
    EXPECT_EQ(ParseColorText("00 0ff", c), 4);
    EXPECT_EQ(ParseColorText("", c), 4);
    EXPECT_EQ(c, (RgbColor{0, 0, 255})); // unchanged on failure

    EXPECT_EQ(FormatColorText({255, 204, 0}), "ffcc00");
    EXPECT_EQ(FormatColorText({1, 2, 3}), "010203");
}

} // namespace
} // namespace zorvik
