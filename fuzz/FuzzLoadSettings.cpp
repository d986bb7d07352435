#include "FuzzSupport.h"
#include "Settings.h"

#include <fstream>

namespace zorvik::fuzz {

int FuzzLoadSettings(FuzzInput data) {
    SettingsPlace place;
    place.programFolder = ScratchFolder();
    place.programFolderWritable = true;
    {
        std::ofstream file(place.programFolder + "/ZORVIK.ini", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        Require(bool(file), "the settings file is written");
    }
    Settings settings;
    LoadSettings(settings, place);
    for (const RgbColor* colour : {&settings.BackColor, &settings.TextColor, &settings.LinkColor})
        for (int16_t component : *colour)
            Require(component >= 0 && component <= 255, "colour components 0..255");
    // What was read must save again.
    SaveSettings(settings, place);
    return 0;
}

} // namespace zorvik::fuzz
