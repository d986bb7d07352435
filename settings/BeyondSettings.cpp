#include "BeyondSettings.h"

#include "ReplaceFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

void ApplyFlag(std::string_view value, bool& flag) {
    if (value == "0") flag = false;
    if (value == "1") flag = true;
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

} // namespace

BeyondSettings ParseBeyondSettings(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // an editor's byte-order mark
    BeyondSettings beyond;
    bool inSection = false;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[')) {
            inSection = SameName(line, "[Beyond]");
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (SameName(key, "FindSymbols")) ApplyFlag(value, beyond.FindSymbols);
        if (SameName(key, "DecodeSingleSymbol")) ApplyFlag(value, beyond.DecodeSingleSymbol);
        if (SameName(key, "CopyText")) ApplyFlag(value, beyond.CopyText);
    }
    return beyond;
}

std::string FormatBeyondSettings(const BeyondSettings& beyond) {
    auto flag = [](bool on) { return on ? "1\n" : "0\n"; };
    return std::string("[Beyond]\n") + "FindSymbols=" + flag(beyond.FindSymbols) +
           "DecodeSingleSymbol=" + flag(beyond.DecodeSingleSymbol) +
           "CopyText=" + flag(beyond.CopyText);
}

std::string BeyondSettingsPath(const SettingsPlace& place) {
    const std::string saved = (fs::path(place.SaveFolder()) / kBeyondFileName).string();
    if (place.UsesUserFolder() && !IsRegularFile(saved))
        return (fs::path(place.programFolder) / kBeyondFileName).string();
    return saved;
}

BeyondSettings LoadBeyondSettings(const SettingsPlace& place) {
    const std::string path = BeyondSettingsPath(place);
    if (!IsRegularFile(path)) return {};
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return {};
        // Three short lines; anything far longer is not this file.
        std::string text;
        text.resize(64 * 1024);
        in.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(in.gcount()));
        return ParseBeyondSettings(text);
    } catch (const std::exception&) {
        return {};
    }
}

bool SaveBeyondSettings(const BeyondSettings& beyond, const SettingsPlace& place) {
    if (!place.CanSave()) return false;
    std::error_code error;
    if (place.UsesUserFolder()) fs::create_directories(place.userFolder, error);
    const fs::path folder =
        place.SaveFolder().empty() ? fs::path(".") : fs::path(place.SaveFolder());
    return ReplaceFileAtomically((folder / kBeyondFileName).string(), FormatBeyondSettings(beyond));
}

} // namespace zorvik
