#include "ReplaceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zorvik {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    try {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        // Hidden, so that a file manager open on the folder hardly shows it.
        std::string pattern = folder + "." + name + ".XXXXXX";
        std::vector<char> temp(pattern.begin(), pattern.end());
        temp.push_back('\0');
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) return false;
        struct stat old {};
        bool good = ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? old.st_mode & 07777 : 0644) == 0;
        good = good && WriteAll(fd, bytes) && ::fsync(fd) == 0;
        good = ::close(fd) == 0 && good;
        if (good && ::rename(temp.data(), path.c_str()) == 0) return true;
        ::unlink(temp.data());
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace zorvik
