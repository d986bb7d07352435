#include "DataFolder.h"

#include <filesystem>
#include <system_error>

// The data folder relative to the programs' folder, from the install layout
// (GNUInstallDirs' bin and share); set by the build.
#ifndef ZORVIK_DATA_FROM_BIN
#define ZORVIK_DATA_FROM_BIN "../share/zorvik"
#endif

namespace zorvik {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

} // namespace

std::string DataFolder(const std::string& programFolder) {
    const fs::path folder = programFolder.empty() ? fs::path(".") : fs::path(programFolder);
    std::string data = (folder / ZORVIK_DATA_FROM_BIN).lexically_normal().string();
    if (data.back() != '/') data += '/';
    return data;
}

std::string DataFile(const std::string& programFolder, const std::string& relativePath) {
    const std::string beside = Joined(programFolder, relativePath);
    if (Exists(beside)) return beside;
    const std::string installed = DataFolder(programFolder) + relativePath;
    return Exists(installed) ? installed : beside;
}

bool IsInstalledCopy(const std::string& programFolder) {
    return !Exists(Joined(programFolder, "help")) && Exists(DataFolder(programFolder) + "help");
}

} // namespace zorvik
