#include "UserTempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zorvik {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// A folder to make our own folder in: nobody but its owner (us or root) may
// rename entries in it, or our folder could be swapped for a link after the
// check.
bool IsTrustworthyBase(const std::string& base) {
    struct stat info {};
    if (base.empty() || ::stat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if (info.st_uid != ::geteuid() && info.st_uid != 0) return false;
    return (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (info.st_mode & S_ISVTX) != 0;
}

enum class Entry { Private, OpenToOthers, Unusable };

// What path is: a directory of ours that group and others cannot write, one
// of ours they can, or anything else. Opened without following a link.
Entry Examine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Entry::Unusable;
    struct stat info {};
    Entry entry = Entry::Unusable;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
        entry = (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 ? Entry::Private : Entry::OpenToOthers;
    ::close(fd);
    return entry;
}

// A fresh name from a pattern ending in XXXXXX, made as a private directory.
std::string MakeFreshDirectory(const std::string& pattern) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return {};
    return buffer.data();
}

// path as a private directory of ours: made when missing; one of ours that
// others could write is renamed aside, since anything may have been planted
// in it, and made anew.
bool MakePrivateDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST) return false;
    switch (Examine(path)) {
    case Entry::Private:
        return true;
    case Entry::Unusable:
        return false;
    case Entry::OpenToOthers:
        break;
    }
    // An empty directory of our own under a fresh name: rename() replaces it.
    const std::string aside = MakeFreshDirectory(path + ".open-XXXXXX");
    if (aside.empty() || ::rename(path.c_str(), aside.c_str()) != 0) return false;
    return ::mkdir(path.c_str(), S_IRWXU) == 0 && Examine(path) == Entry::Private;
}

constexpr const char* kRunPrefix = "run-";
constexpr const char* kLockName = "lock";
// A run folder without its lock file may be one being made this moment.
constexpr time_t kLocklessGraceSeconds = 60;

// A run folder whose program has ended: its lock can be taken, or it has
// had none for a while.
bool IsStale(const std::filesystem::path& folder) {
    const std::string lock = (folder / kLockName).string();
    const int fd = ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat info {};
        return ::lstat(folder.c_str(), &info) == 0 &&
               std::time(nullptr) - info.st_mtime > kLocklessGraceSeconds;
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd); // releases the lock taken just now
    return free;
}

} // namespace

std::string SystemTempFolder() {
    try {
        std::string folder = WithoutTrailingSlashes(EnvironmentText("TMPDIR"));
        if (folder.empty()) folder = "/tmp";
        if (folder.back() != '/') folder += '/';
        return folder;
    } catch (...) {
        return {};
    }
}

std::string UserTempFolderIn(const std::string& base) {
    try {
        const std::string trimmed = WithoutTrailingSlashes(base);
        if (!IsTrustworthyBase(trimmed)) return {};
        const std::string prefix = (trimmed == "/" ? "" : trimmed) + "/zorvik-";
        const std::string named = prefix + std::to_string(::geteuid());
        if (MakePrivateDirectory(named)) return named + "/";
        // The name is taken by something we cannot trust: a fresh folder
        // under a random name cannot have been prepared by anyone else.
        const std::string fresh = MakeFreshDirectory(named + "-XXXXXX");
        return fresh.empty() ? fresh : fresh + "/";
    } catch (...) {
        return {};
    }
}

std::string UserTempFolder() {
    try {
        const std::string runtime = WithoutTrailingSlashes(EnvironmentText("XDG_RUNTIME_DIR"));
        if (!runtime.empty() && runtime.front() == '/' && IsTrustworthyBase(runtime)) {
            const std::string folder = (runtime == "/" ? "" : runtime) + "/zorvik";
            if (MakePrivateDirectory(folder)) return folder + "/";
        }
        return UserTempFolderIn(SystemTempFolder());
    } catch (...) {
        return {};
    }
}

RunFolder::RunFolder(const std::string& userFolder) {
    if (userFolder.empty()) return;
    try {
        namespace fs = std::filesystem;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(userFolder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(kRunPrefix, 0) == 0 && entry.is_directory(error) &&
                !entry.is_symlink(error) && IsStale(entry.path()))
                fs::remove_all(entry.path(), error);
        }
        const std::string folder = MakeFreshDirectory(
            userFolder + (userFolder.back() == '/' ? "" : "/") + kRunPrefix + "XXXXXX");
        if (folder.empty()) return;
        const std::string lock = folder + "/" + kLockName;
        lock_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (lock_ < 0 || ::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
            if (lock_ >= 0) ::close(lock_);
            lock_ = -1;
            fs::remove_all(folder, error);
            return;
        }
        path_ = folder + "/";
    } catch (...) {
        path_.clear();
    }
}

RunFolder::~RunFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored); // the lock file with it
    if (lock_ >= 0) ::close(lock_);
}

} // namespace zorvik
