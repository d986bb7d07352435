// The private folder for the temporary files: made private, never taken
// over from a link or another's folder, and found from the environment.
#include "UserTempFolder.h"
#include "TempFolder.h" // the tests' scratch folders

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zorvik;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode;
}

std::string Trimmed(std::string path) {
    if (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

// A scratch base only its owner can write, as a trustworthy base must be.
struct Base {
    test::TempFolder folder{"usertemp"};
    std::string path = folder.path().string();
    std::string named = path + "/zorvik-" + std::to_string(::geteuid());
    Base() { ::chmod(path.c_str(), 0700); }
};

// Sets an environment variable for the life of the object.
class EnvironmentValue {
  public:
    EnvironmentValue(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvironmentValue() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(UserTempFolder, IsMadePrivateAndFoundAgain) {
    Base base;
    const std::string folder = UserTempFolderIn(base.path);
    EXPECT_EQ(folder, base.named + "/");
    EXPECT_TRUE(S_ISDIR(ModeOf(base.named)));
    EXPECT_EQ(ModeOf(base.named) & 07777, 0700u);
    EXPECT_EQ(UserTempFolderIn(base.path + "/"), folder);
}

TEST(UserTempFolder, AFolderOfOursOpenToOthersIsRenamedAsideWithWhatWasPlantedInIt) {
    Base base;
    test::TempFolder victim("usertemp-victim");
    const std::string victimFile = victim.path().string() + "/victim.txt";
    ASSERT_TRUE(std::ofstream(victimFile) << "mine");
    ASSERT_EQ(::mkdir(base.named.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(base.named.c_str(), 0777), 0);
    const std::string planted = base.named + "/#TEMP_QR.html";
    ASSERT_EQ(::symlink(victimFile.c_str(), planted.c_str()), 0);

    EXPECT_EQ(UserTempFolderIn(base.path), base.named + "/");
    EXPECT_EQ(ModeOf(base.named) & 07777, 0700u);
    EXPECT_NE(::access(planted.c_str(), F_OK), 0) << "the new folder starts empty";
    int aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(base.path))
        aside += entry.path().filename().string().rfind(
                     "zorvik-" + std::to_string(::geteuid()) + ".open-", 0) == 0;
    EXPECT_EQ(aside, 1);
    std::ifstream in(victimFile);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "mine");
}

TEST(UserTempFolder, ALinkPlantedAtTheNameIsNotFollowed) {
    Base base;
    test::TempFolder target("usertemp-target");
    ASSERT_EQ(::chmod(target.path().c_str(), 0777), 0);
    ASSERT_EQ(::symlink(target.path().c_str(), base.named.c_str()), 0);

    const std::string folder = UserTempFolderIn(base.path);
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(Trimmed(folder), base.named);
    EXPECT_EQ(Trimmed(folder).rfind(base.named + "-", 0), 0u) << folder; // a fresh name
    EXPECT_TRUE(S_ISDIR(ModeOf(Trimmed(folder))));
    EXPECT_EQ(ModeOf(Trimmed(folder)) & 07777, 0700u);
    EXPECT_TRUE(S_ISLNK(ModeOf(base.named)));
    EXPECT_EQ(ModeOf(target.path().string()) & 07777, 0777u); // the link's target untouched
}

TEST(UserTempFolder, ABaseOthersCanRearrangeIsRefused) {
    Base base;
    ASSERT_EQ(::chmod(base.path.c_str(), 0777), 0);
    EXPECT_EQ(UserTempFolderIn(base.path), "");
    ASSERT_EQ(::chmod(base.path.c_str(), 01777), 0); // sticky, as /tmp
    EXPECT_EQ(UserTempFolderIn(base.path), base.named + "/");
    EXPECT_EQ(UserTempFolderIn(base.path + "/missing"), "");
}

TEST(UserTempFolder, PrefersTheRuntimeFolderThenTheSystemsTemporaryFolder) {
    Base runtime, temp;
    {
        EnvironmentValue xdg("XDG_RUNTIME_DIR", runtime.path.c_str());
        EnvironmentValue tmp("TMPDIR", temp.path.c_str());
        EXPECT_EQ(UserTempFolder(), runtime.path + "/zorvik/");
        EXPECT_EQ(ModeOf(runtime.path + "/zorvik") & 07777, 0700u);
    }
    {
        ASSERT_EQ(::chmod(runtime.path.c_str(), 0777), 0); // not a usable runtime folder
        EnvironmentValue xdg("XDG_RUNTIME_DIR", runtime.path.c_str());
        EnvironmentValue tmp("TMPDIR", (temp.path + "/").c_str());
        EXPECT_EQ(SystemTempFolder(), temp.path + "/");
        EXPECT_EQ(UserTempFolder(), temp.named + "/");
    }
    {
        EnvironmentValue xdg("XDG_RUNTIME_DIR", nullptr);
        EnvironmentValue tmp("TMPDIR", (temp.path + "/missing").c_str());
        EXPECT_EQ(UserTempFolder(), ""); // nothing private: nothing may be written
    }
    {
        EnvironmentValue xdg("XDG_RUNTIME_DIR", nullptr);
        EnvironmentValue tmp("TMPDIR", nullptr);
        EXPECT_EQ(SystemTempFolder(), "/tmp/");
    }
}

TEST(RunFolder, EachProgramHasItsOwnLockedFolderAndAKilledProgramsFolderGoesAtTheNextStart) {
    Base base;
    const std::string user = UserTempFolderIn(base.path);
    ASSERT_FALSE(user.empty());
    // A killed program's folder: its lock file is there but nobody holds it;
    // a link in it must be removed, not followed.
    test::TempFolder victim("usertemp-victim");
    const std::string victimFile = victim.path().string() + "/victim.txt";
    ASSERT_TRUE(std::ofstream(victimFile) << "mine");
    const std::string stale = user + "run-killed";
    ASSERT_EQ(::mkdir(stale.c_str(), 0700), 0);
    ASSERT_TRUE(std::ofstream(stale + "/lock"));
    ASSERT_EQ(::symlink(victimFile.c_str(), (stale + "/#TEMP_QR.html").c_str()), 0);

    std::string firstPath;
    {
        RunFolder first(user);
        firstPath = first.path();
        ASSERT_FALSE(firstPath.empty());
        EXPECT_NE(::access(stale.c_str(), F_OK), 0) << "a free lock marks a folder left behind";
        EXPECT_EQ(ModeOf(Trimmed(firstPath)) & 07777, 0700u);
        RunFolder second(user); // a second program: the first one's folder stays
        EXPECT_FALSE(second.path().empty());
        EXPECT_NE(second.path(), firstPath);
        EXPECT_EQ(::access(firstPath.c_str(), F_OK), 0);
    }
    EXPECT_NE(::access(firstPath.c_str(), F_OK), 0) << "removed at a clean end";
    std::ifstream in(victimFile);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "mine");
    EXPECT_TRUE(RunFolder("").path().empty());
}
