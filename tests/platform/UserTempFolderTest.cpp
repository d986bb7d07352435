// The private folder for the temporary files: made private, never taken
// over from a link or another's folder, and found from the environment.
#include "UserTempFolder.h"
#include "TempFolder.h" // the tests' scratch folders

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(UserTempFolder, AGroupWritableFolderOfOursIsClosed) {
    Base base;
    ASSERT_EQ(::mkdir(base.named.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(base.named.c_str(), 0777), 0);
    EXPECT_EQ(UserTempFolderIn(base.path), base.named + "/");
    EXPECT_EQ(ModeOf(base.named) & 07777, 0700u);
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
        EXPECT_EQ(UserTempFolder(), temp.path + "/missing/"); // the last resort
    }
    {
        EnvironmentValue xdg("XDG_RUNTIME_DIR", nullptr);
        EnvironmentValue tmp("TMPDIR", nullptr);
        EXPECT_EQ(SystemTempFolder(), "/tmp/");
    }
}
