// The user's options and the settings file ZORVIK.ini, beside the program
// or, for an installed copy or where the program's folder is read-only, in
// the user's own folder.
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

// Path of the settings file in folder: an existing file whose name matches
// "ZORVIK.ini" without regard to case, else folder/ZORVIK.ini.
std::string SettingsFilePath(const std::string& folder);

// The per-user folder for the settings file: $XDG_CONFIG_HOME/zorvik/ when
// that variable holds an absolute path, else $HOME/.config/zorvik/; empty
// when neither is set. It is not created here.
std::string UserSettingsFolder();

// Where the settings file is read and written. The file sits beside the
// program when the program can write there. An installed program's folder
// usually is not writable, and then the user's folder takes over:
// - saving writes userFolder's file, creating the folder when needed;
// - loading reads userFolder's file when it exists, else a file beside the
//   program (left as it is, so an administrator's file serves as the
//   starting point until the user first applies options), else takes the
//   defaults and saves them to userFolder.
// A program folder that does not exist, or an empty userFolder, keeps
// everything beside the program, where failures stay silent.
// An installed copy (IsInstalledCopy) uses the user's folder whether or not
// its folder is writable, root's included: nothing is ever written beside an
// installed program, so without a user's folder it saves nothing.
struct SettingsPlace {
    std::string programFolder;
    bool programFolderWritable = true;
    std::string userFolder;
    bool installed = false;

    bool UsesUserFolder() const {
        return (installed || !programFolderWritable) && !userFolder.empty();
    }
    // False where nothing may be written: an installed copy without a
    // user's folder.
    bool CanSave() const { return !installed || !userFolder.empty(); }
    // The folder SaveSettings writes (when CanSave).
    const std::string& SaveFolder() const { return UsesUserFolder() ? userFolder : programFolder; }
};

// The place for programFolder on this machine: writable as the system's
// access check for writing says (so root counts every folder of a
// read-write file system as writable), UserSettingsFolder(), and installed
// as given.
SettingsPlace SettingsPlaceFor(const std::string& programFolder, bool installed);
// The same with installed = IsInstalledCopy(programFolder).
SettingsPlace SettingsPlaceFor(const std::string& programFolder);

// Reads the settings file into settings. A missing file gives the defaults
// and is created with them. A present file starts every field from zero;
// keys it does not hold stay zero; it is never rewritten here. A present
// file that cannot be opened gives the defaults.
void LoadSettings(Settings& settings, const SettingsPlace& place);
// The same at SettingsPlaceFor(programFolder).
void LoadSettings(Settings& settings, const std::string& programFolder);

// Writes the ten lines of the file (Shift_JIS, CR LF), replacing it whole
// (ReplaceFileAtomically): a failure at any moment leaves the old file as it
// was. Silent on failure; writes nothing where the place cannot save.
void SaveSettings(const Settings& settings, const SettingsPlace& place);
void SaveSettings(const Settings& settings, const std::string& programFolder);

// Six hex digits (either case) into colour; 0 on success, 4 on failure with
// colour unchanged.
int ParseColorText(std::string_view text, RgbColor& colour);

// Six lower-case hex digits.
std::string FormatColorText(const RgbColor& colour);

} // namespace zorvik
