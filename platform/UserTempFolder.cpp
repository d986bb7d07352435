#include "UserTempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

// True when path is (now) a directory of ours that group and others cannot
// write. Opened without following a link, so the checks and the mode
// change apply to the directory itself.
bool IsPrivateDirectory(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool good = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
    if (good && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        good = ::fchmod(fd, S_IRWXU) == 0 && ::fstat(fd, &info) == 0 &&
               (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    ::close(fd);
    return good;
}

bool MakePrivateDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), S_IRWXU) != 0 && errno != EEXIST) return false;
    return IsPrivateDirectory(path);
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
        std::string pattern = named + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) return {};
        return std::string(buffer.data()) + "/";
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
        const std::string system = SystemTempFolder();
        std::string folder = UserTempFolderIn(system);
        return folder.empty() ? system : folder;
    } catch (...) {
        return {};
    }
}

} // namespace zorvik
