// Pictures with one symbol lying loose in them: a white page or a cluttered
// desktop of any size, the symbol anywhere. Made on the spot, so that the
// benchmark and tests need no large files; the same arguments always give
// the same pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

// An 8-bit grey picture, row-major, top row first, 0 black, 255 white.
struct GreyPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    uint8_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// A width x height picture of one grey.
GreyPicture PlainPicture(int width, int height, uint8_t grey = 255);

// A width x height picture that looks like a desktop in grey: a shaded
// wallpaper, a task bar with icons, and overlapping windows with title bars,
// lines of word-like dark strokes, buttons and small dotted icons. The seed
// picks the layout.
GreyPicture DesktopPicture(int width, int height, uint32_t seed);

// Copies the symbol picture (which carries its own quiet zone) into the
// picture with its top-left corner at (left, top); parts outside are cut.
void PlaceSymbol(GreyPicture& picture, const GreyPicture& symbol, int left, int top);

// One made picture and where its symbol lies.
struct LoosePicture {
    std::string category; // "white" or "desktop"
    std::string name;     // e.g. "desktop-2000-centre", unique in the set
    int left = 0, top = 0;
    GreyPicture picture;
};

// The symbol placed in a white and in a desktop picture of each side x side
// size, at the top-left corner, the centre and the bottom-right corner (the
// symbol's quiet zone touching the edges at the corners). Sides smaller than
// the symbol are skipped.
std::vector<LoosePicture> MakeLoosePictures(const GreyPicture& symbol,
                                            const std::vector<int>& sides = {500, 1000, 2000,
                                                                             4000});

// A symbol drawn into a picture: its modules ('1' dark), a quiet zone of
// four modules around them, its centre at (centreX, centreY) in picture
// pixels, modulePx pixels a module, turned clockwise by degrees. Each pixel
// is the mean of 4 x 4 samples, as a scaled screen shows edges. Dark is 20,
// light 235; lightOnDark swaps them. Parts outside the picture are cut.
struct SymbolPlacement {
    double centreX = 0, centreY = 0, modulePx = 4, degrees = 0;
    bool lightOnDark = false;
};
void DrawSymbol(GreyPicture& picture, const std::vector<std::string>& modules,
                const SymbolPlacement& placement);

// A screen picture with its symbols where DrawSymbol put them.
struct ScreenPicture {
    std::string name; // e.g. "screen-2560x1440-3", unique in the set
    GreyPicture picture;
    std::vector<int> symbols; // indices into the symbols given, as drawn
    std::vector<SymbolPlacement> placements;
};

// Desktop-like screens of 1920 x 1080, 2560 x 1440 and 3840 x 2160, each
// with no symbol, with symbols[0] alone (upright, 3 px a module, far from
// the top-left corner), and with three: symbols[0] light on dark, symbols[1]
// turned by 30 degrees, symbols[2] at 2 px a module. symbols holds at least
// three module grids.
std::vector<ScreenPicture> MakeScreenPictures(const std::vector<std::vector<std::string>>& symbols);

} // namespace zorvik
