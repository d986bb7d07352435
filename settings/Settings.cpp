#include "Settings.h"

#include "ReplaceFile.h"

#include "DataFolder.h"
#include "ShiftJis.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace zorvik {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFileName = "ZORVIK.ini";
constexpr const char* kSectionLine = "[ZORVIK 1.2]";

std::string ToUpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return upper;
}

// Leading and trailing spaces removed (spaces only, as the file format says).
std::string_view TrimSpaces(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// value is exactly one character between low and high; else fallback.
int16_t OneDigit(std::string_view value, char low, char high, int16_t fallback) {
    if (value.size() == 1 && value[0] >= low && value[0] <= high)
        return static_cast<int16_t>(value[0] - '0');
    return fallback;
}

int HexDigitValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Lines ended by CR LF, a lone CR or a lone LF; a last line without an end
// counts too.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

void ApplyLine(Settings& settings, std::string_view line) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string key = ToUpperAscii(TrimSpaces(line.substr(0, equals)));
    const std::string_view value = TrimSpaces(line.substr(equals + 1));
    const Settings defaults;

    if (key == "HTMLBROWSE") {
        settings.HtmlBrowse = OneDigit(value, '0', '1', defaults.HtmlBrowse);
    } else if (key == "BACKCOLOR") {
        if (ParseColorText(value, settings.BackColor) != 0) settings.BackColor = defaults.BackColor;
    } else if (key == "TEXTCOLOR") {
        if (ParseColorText(value, settings.TextColor) != 0) settings.TextColor = defaults.TextColor;
    } else if (key == "LINKCOLOR") {
        if (ParseColorText(value, settings.LinkColor) != 0) settings.LinkColor = defaults.LinkColor;
    } else if (key == "FONTSIZE") {
        settings.FontSize = OneDigit(value, '1', '7', defaults.FontSize);
    } else if (key == "DECODEATONCE") {
        settings.DecodeAtOnce = OneDigit(value, '0', '1', defaults.DecodeAtOnce);
    } else if (key == "CAMERASOUND") {
        settings.CameraSound = OneDigit(value, '0', '1', defaults.CameraSound);
    } else if (key == "SEGMENTINFO") {
        settings.SegmentInfo = OneDigit(value, '0', '1', defaults.SegmentInfo);
    } else if (key == "INFOFILENAME") {
        settings.InfoFileName = std::string(value);
    }
}

// Every field zero, as a file that names no keys leaves them.
Settings ZeroSettings() {
    Settings zero;
    zero.HtmlBrowse = 0;
    zero.BackColor = {0, 0, 0};
    zero.TextColor = {0, 0, 0};
    zero.LinkColor = {0, 0, 0};
    zero.FontSize = 0;
    zero.DecodeAtOnce = 0;
    zero.CameraSound = 0;
    zero.SegmentInfo = 0;
    zero.InfoFileName.clear();
    return zero;
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

} // namespace

std::string SettingsFilePath(const std::string& folder) {
    const fs::path base(folder);
    const fs::path exact = base / kFileName;
    if (IsRegularFile(exact)) return exact.string();

    // Several case variants can sit side by side on a case-sensitive file
    // system; the first in name order is taken so that the choice is stable.
    const std::string wanted = ToUpperAscii(kFileName);
    std::vector<std::string> matches;
    std::error_code error;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : base, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (ToUpperAscii(name) == wanted && IsRegularFile(it->path())) matches.push_back(name);
    }
    if (matches.empty()) return exact.string();
    return (base / *std::min_element(matches.begin(), matches.end())).string();
}

std::string UserSettingsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return (fs::path(config) / "zorvik").string() + "/";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return (fs::path(home) / ".config" / "zorvik").string() + "/";
    return {};
}

SettingsPlace SettingsPlaceFor(const std::string& programFolder, bool installed) {
    SettingsPlace place;
    place.installed = installed;
    place.programFolder = programFolder;
    const std::string folder = programFolder.empty() ? "." : programFolder;
    // Only a folder that is there and refuses writing hands over; a missing
    // one keeps the old silent failures instead of writing somewhere else.
    place.programFolderWritable =
        ::access(folder.c_str(), W_OK) == 0 || ::access(folder.c_str(), F_OK) != 0;
    place.userFolder = UserSettingsFolder();
    return place;
}

SettingsPlace SettingsPlaceFor(const std::string& programFolder) {
    return SettingsPlaceFor(programFolder, IsInstalledCopy(programFolder));
}

void LoadSettings(Settings& settings, const SettingsPlace& place) {
    std::string path = SettingsFilePath(place.SaveFolder());
    if (place.UsesUserFolder() && !IsRegularFile(path))
        path = SettingsFilePath(place.programFolder);
    if (!IsRegularFile(path)) {
        settings = Settings{};
        SaveSettings(settings, place);
        return;
    }
    std::string bytes;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw std::ios_base::failure("cannot open");
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        // Present but unreadable: work with the defaults and leave the
        // user's file alone rather than overwrite it.
        settings = Settings{};
        return;
    }
    const std::string text = ShiftJisToUtf8(bytes);

    Settings loaded = ZeroSettings();
    for (std::string_view line : SplitLines(text)) ApplyLine(loaded, line);
    settings = loaded;
}

void LoadSettings(Settings& settings, const std::string& programFolder) {
    LoadSettings(settings, SettingsPlaceFor(programFolder));
}

void SaveSettings(const Settings& settings, const SettingsPlace& place) {
    auto number = [](int16_t value) { return std::to_string(value); };
    std::string content;
    auto line = [&content](std::string_view key, std::string_view value) {
        content += key;
        content += value;
        content += "\r\n";
    };
    content += kSectionLine;
    content += "\r\n";
    line("HtmlBrowse=", number(settings.HtmlBrowse));
    line("BackColor=", FormatColorText(settings.BackColor));
    line("TextColor=", FormatColorText(settings.TextColor));
    line("LinkColor=", FormatColorText(settings.LinkColor));
    line("FontSize=", number(settings.FontSize));
    line("DecodeAtOnce=", number(settings.DecodeAtOnce));
    line("CameraSound=", number(settings.CameraSound));
    line("SegmentInfo=", number(settings.SegmentInfo));
    line("InfoFileName=", settings.InfoFileName);

    if (!place.CanSave()) return;
    if (place.UsesUserFolder()) {
        std::error_code ignored; // a failure shows as the open failing below
        fs::create_directories(place.userFolder, ignored);
    }
    // Under the name the file was found by, whatever its case; a read-only
    // folder or a full disk is not reported, and leaves the old file whole.
    ReplaceFileAtomically(SettingsFilePath(place.SaveFolder()), Utf8ToShiftJis(content));
}

void SaveSettings(const Settings& settings, const std::string& programFolder) {
    SaveSettings(settings, SettingsPlaceFor(programFolder));
}

int ParseColorText(std::string_view text, RgbColor& colour) {
    if (text.size() != 6) return 4;
    for (char ch : text)
        if (HexDigitValue(ch) < 0) return 4;
    for (size_t i = 0; i < 3; ++i)
        colour[i] =
            static_cast<int16_t>(HexDigitValue(text[2 * i]) * 16 + HexDigitValue(text[2 * i + 1]));
    return 0;
}

std::string FormatColorText(const RgbColor& colour) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    // The last two hex digits of each component, as the file has always held.
    for (int16_t component : colour) {
        const unsigned low = static_cast<uint16_t>(component) & 0xFF;
        text += digits[low >> 4];
        text += digits[low & 15];
    }
    return text;
}

} // namespace zorvik
