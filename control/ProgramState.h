// The values the whole program shares: the three folders fixed at start-up,
// the user's settings and the options beyond them, and whether the result
// window is loaded.
#pragma once

#include "BeyondSettings.h"
#include "Settings.h"

#include <string>

namespace zorvik {

struct ProgramState {
    std::string TempFolder;    // ends in "/"; only this user can write it
    std::string ProgramFolder; // the executable's folder, ends in "/"
    std::string DebugFolder;   // ProgramFolder when "DEBUG_ON" is there, else empty
    Settings settings;
    BeyondSettings beyond; // zorvik.conf
    bool DecodeWindowOpen = false;
};

} // namespace zorvik
