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

} // namespace zorvik
