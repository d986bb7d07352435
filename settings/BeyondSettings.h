// Options the documented program does not have, kept in zorvik.conf so that
// ZORVIK.ini keeps its ten lines. The file sits in the same folder as
// ZORVIK.ini under the same folder rules (SettingsPlace), as UTF-8 with LF:
//   [Beyond]
//   FindSymbols=1
//   DecodeSingleSymbol=0
//   CopyText=1
#pragma once

#include "Settings.h"

#include <string>
#include <string_view>

namespace zorvik {

inline constexpr const char* kBeyondFileName = "zorvik.conf";

struct BeyondSettings {
    bool FindSymbols = true;         // search every capture, paste or opened picture
    bool DecodeSingleSymbol = false; // decode by itself when exactly one symbol is found
    bool CopyText = true;            // put the decoded text on the clipboard

    bool operator==(const BeyondSettings&) const = default;
};

// The options a file's text holds. Only keys in the [Beyond] section count
// (section and key names without regard to case, spaces around "=" allowed,
// any line end); a value other than 0 or 1, or a missing key, keeps the
// default; unknown keys and other sections are ignored.
BeyondSettings ParseBeyondSettings(std::string_view text);
// The file's text: the section line and the three keys, LF line ends.
std::string FormatBeyondSettings(const BeyondSettings& beyond);

// The path read: zorvik.conf in place.SaveFolder(), or, when the user's
// folder is in use and holds none, the one beside the program.
std::string BeyondSettingsPath(const SettingsPlace& place);
// The file's options; the defaults when it is missing or cannot be read.
// Never writes: a missing file stays missing until the user sets an option.
BeyondSettings LoadBeyondSettings(const SettingsPlace& place);
// Replaces zorvik.conf in place.SaveFolder() (creating the user's folder
// when that is in use) through a temporary file in the same folder, so a
// reader never sees half a file. False, with nothing changed, on failure
// and where the place cannot save.
bool SaveBeyondSettings(const BeyondSettings& beyond, const SettingsPlace& place);

} // namespace zorvik
