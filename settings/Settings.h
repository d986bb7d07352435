// The user's options and the settings file ZORVIK.ini beside the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvik {

// Red, green, blue, each 0..255.
using RgbColor = std::array<int16_t, 3>;

struct Settings {
    int16_t HtmlBrowse = 0;
    RgbColor BackColor{255, 255, 255};
    RgbColor TextColor{0, 0, 0};
    RgbColor LinkColor{0, 0, 255};
    int16_t FontSize = 3; // 1..7
    int16_t DecodeAtOnce = 1;
    int16_t CameraSound = 1;
    int16_t SegmentInfo = 0;
    std::string InfoFileName; // UTF-8
};

// Path of the settings file in programFolder: an existing file whose name
// matches "ZORVIK.ini" without regard to case, else programFolder/ZORVIK.ini.
std::string SettingsFilePath(const std::string& programFolder);

// Reads the settings file of programFolder into settings. A missing file
// gives the defaults and is created with them. A present file starts every
// field from zero; keys it does not hold stay zero; it is never rewritten
// here. A present file that cannot be opened gives the defaults.
void LoadSettings(Settings& settings, const std::string& programFolder);

// Writes the ten lines of the file (Shift_JIS, CR LF); silent on failure.
void SaveSettings(const Settings& settings, const std::string& programFolder);

// Six hex digits (either case) into colour; 0 on success, 4 on failure with
// colour unchanged.
int ParseColorText(std::string_view text, RgbColor& colour);

// Six lower-case hex digits.
std::string FormatColorText(const RgbColor& colour);

} // namespace zorvik
