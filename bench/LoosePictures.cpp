#include "LoosePictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorvik {

namespace {

// A small generator of our own: the standard distributions may differ
// between libraries, and the pictures must not.
class Dice {
  public:
    explicit Dice(uint32_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 32);
    }
    // Uniform in lo..hi inclusive; lo when the range is empty.
    int between(int lo, int hi) { return hi <= lo ? lo : lo + int(next() % uint32_t(hi - lo + 1)); }

  private:
    uint64_t state_;
};

void FillRect(GreyPicture& p, int x0, int y0, int w, int h, uint8_t grey) {
    const int x1 = std::min(p.width, x0 + w), y1 = std::min(p.height, y0 + h);
    x0 = std::max(0, x0), y0 = std::max(0, y0);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) p.at(x, y) = grey;
}

void FrameRect(GreyPicture& p, int x0, int y0, int w, int h, uint8_t grey) {
    FillRect(p, x0, y0, w, 1, grey);
    FillRect(p, x0, y0 + h - 1, w, 1, grey);
    FillRect(p, x0, y0, 1, h, grey);
    FillRect(p, x0 + w - 1, y0, 1, h, grey);
}

// Lines of words: dark strokes of a glyph's height with word gaps, the way
// text looks from afar.
void TextLines(GreyPicture& p, Dice& dice, int x0, int y0, int w, int h, uint8_t ink) {
    const int lineHeight = dice.between(14, 20), glyph = lineHeight / 2;
    for (int y = y0 + 4; y + glyph <= y0 + h - 4; y += lineHeight) {
        const int lineEnd = x0 + w - 6 - dice.between(0, w / 3);
        for (int x = x0 + 6; x < lineEnd;) {
            const int word = std::min(dice.between(8, 60), lineEnd - x);
            // Letters: strokes one or two pixels apart, so that the word is
            // not one solid bar.
            for (int c = 0; c < word; c += dice.between(3, 5))
                FillRect(p, x + c, y + dice.between(0, 2), std::min(2, word - c),
                         glyph - dice.between(0, 2), ink);
            x += word + dice.between(5, 9);
        }
    }
}

// A small icon of random dark and light cells: modules of its own.
void DottedIcon(GreyPicture& p, Dice& dice, int x0, int y0, int cells, int cell) {
    for (int r = 0; r < cells; ++r)
        for (int c = 0; c < cells; ++c)
            FillRect(p, x0 + c * cell, y0 + r * cell, cell, cell, dice.next() & 1 ? 30 : 220);
}

void Window(GreyPicture& p, Dice& dice, int x0, int y0, int w, int h) {
    const uint8_t body = uint8_t(dice.between(235, 255));
    FillRect(p, x0, y0, w, h, body);
    FrameRect(p, x0, y0, w, h, 90);
    const int bar = 26;
    const uint8_t barGrey = uint8_t(dice.between(60, 200));
    FillRect(p, x0 + 1, y0 + 1, w - 2, bar, barGrey);
    const uint8_t barInk = barGrey < 128 ? 240 : 20;
    TextLines(p, dice, x0 + 30, y0 + 6, std::min(w / 2, 300), 20, barInk);
    for (int b = 0; b < 3; ++b) FrameRect(p, x0 + w - 22 - b * 22, y0 + 6, 16, 16, barInk);
    // The body: text, now and then an icon or a button row.
    const int inner = w - 2, top = y0 + bar + 2;
    int y = top;
    while (y + 40 < y0 + h) {
        const int kind = dice.between(0, 5);
        if (kind == 0) {
            const int cells = dice.between(4, 8), cell = dice.between(2, 5);
            DottedIcon(p, dice, x0 + 10, y + 4, cells, cell);
            y += cells * cell + 12;
        } else if (kind == 1) {
            for (int x = x0 + 10; x + 80 < x0 + inner; x += 96) {
                FillRect(p, x, y + 6, 80, 24, 225);
                FrameRect(p, x, y + 6, 80, 24, 110);
                TextLines(p, dice, x + 10, y + 8, 60, 20, 40);
            }
            y += 40;
        } else {
            const int block = std::min(dice.between(40, 160), y0 + h - y - 2);
            TextLines(p, dice, x0 + 1, y, inner, block, uint8_t(dice.between(0, 80)));
            y += block;
        }
    }
}

} // namespace

GreyPicture PlainPicture(int width, int height, uint8_t grey) {
    GreyPicture p;
    p.width = width, p.height = height;
    p.pixels.assign(size_t(width) * size_t(height), grey);
    return p;
}

GreyPicture DesktopPicture(int width, int height, uint32_t seed) {
    Dice dice(seed);
    GreyPicture p = PlainPicture(width, height);
    // Wallpaper: a diagonal shade with slow bands.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int shade = 70 + 110 * (x + y) / std::max(1, width + height - 2);
            p.at(x, y) = uint8_t(shade + ((x / 37 + y / 53) % 7) * 3);
        }
    // Desktop icons down the left edge.
    for (int y = 12; y + 60 < height - 40; y += 90) {
        FillRect(p, 14, y, 48, 48, uint8_t(dice.between(40, 220)));
        TextLines(p, dice, 8, y + 52, 60, 20, 250);
    }
    // Windows, more on larger screens, each at least partly on it.
    const int count = std::clamp(width * height / 250000, 2, 40);
    for (int i = 0; i < count; ++i) {
        const int w = dice.between(std::min(200, width), std::max(200, width * 6 / 10));
        const int h = dice.between(std::min(150, height), std::max(150, height * 6 / 10));
        Window(p, dice, dice.between(-w / 4, width - w * 3 / 4),
               dice.between(0, height - 40 - h / 2), w, h);
    }
    // Task bar with a clock.
    FillRect(p, 0, height - 40, width, 40, 45);
    for (int x = 8; x + 32 < width - 120; x += 48)
        FillRect(p, x, height - 36, 32, 32, uint8_t(dice.between(90, 230)));
    TextLines(p, dice, width - 110, height - 34, 100, 28, 230);
    return p;
}

void PlaceSymbol(GreyPicture& picture, const GreyPicture& symbol, int left, int top) {
    for (int y = 0; y < symbol.height; ++y) {
        const int py = top + y;
        if (py < 0 || py >= picture.height) continue;
        for (int x = 0; x < symbol.width; ++x) {
            const int px = left + x;
            if (px >= 0 && px < picture.width) picture.at(px, py) = symbol.at(x, y);
        }
    }
}

std::vector<LoosePicture> MakeLoosePictures(const GreyPicture& symbol,
                                            const std::vector<int>& sides) {
    struct Place {
        const char* name;
        int numerator; // of the free room, in halves
    };
    static const Place places[] = {{"top-left", 0}, {"centre", 1}, {"bottom-right", 2}};
    std::vector<LoosePicture> pictures;
    for (const char* category : {"white", "desktop"}) {
        for (int side : sides) {
            if (side < symbol.width || side < symbol.height) continue;
            const GreyPicture background = std::string(category) == "white"
                                               ? PlainPicture(side, side)
                                               : DesktopPicture(side, side, uint32_t(side));
            for (const Place& place : places) {
                LoosePicture loose;
                loose.category = category;
                char name[64];
                std::snprintf(name, sizeof name, "%s-%04d-%s", category, side, place.name);
                loose.name = name;
                loose.left = (side - symbol.width) * place.numerator / 2;
                loose.top = (side - symbol.height) * place.numerator / 2;
                loose.picture = background;
                PlaceSymbol(loose.picture, symbol, loose.left, loose.top);
                pictures.push_back(std::move(loose));
            }
        }
    }
    return pictures;
}

void DrawSymbol(GreyPicture& picture, const std::vector<std::string>& modules,
                const SymbolPlacement& at) {
    const int n = int(modules.size());
    const double side = (n + 8) * at.modulePx; // with the quiet zone
    const double turn = at.degrees * M_PI / 180, c = std::cos(turn), s = std::sin(turn);
    const double reach = side * (std::abs(c) + std::abs(s)) / 2 + 2;
    const uint8_t dark = at.lightOnDark ? 235 : 20, light = at.lightOnDark ? 20 : 235;
    const int x0 = std::max(0, int(at.centreX - reach)),
              x1 = std::min(picture.width, int(at.centreX + reach) + 1);
    const int y0 = std::max(0, int(at.centreY - reach)),
              y1 = std::min(picture.height, int(at.centreY + reach) + 1);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            int sum = 0, inside = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    // Back into the symbol's own frame: modules from the
                    // quiet zone's top-left corner.
                    const double dx = x + (sx + 0.5) / 4 - at.centreX;
                    const double dy = y + (sy + 0.5) / 4 - at.centreY;
                    const double u = (c * dx + s * dy + side / 2) / at.modulePx;
                    const double v = (-s * dx + c * dy + side / 2) / at.modulePx;
                    if (u < 0 || v < 0 || u >= n + 8 || v >= n + 8) {
                        sum += picture.at(x, y);
                        continue;
                    }
                    ++inside;
                    const int col = int(u) - 4, row = int(v) - 4;
                    const bool isDark = row >= 0 && col >= 0 && row < n && col < n &&
                                        modules[size_t(row)][size_t(col)] == '1';
                    sum += isDark ? dark : light;
                }
            if (inside) picture.at(x, y) = uint8_t((sum + 8) / 16);
        }
}

std::vector<ScreenPicture>
MakeScreenPictures(const std::vector<std::vector<std::string>>& symbols) {
    struct Screen {
        int width, height;
    };
    std::vector<ScreenPicture> screens;
    for (const Screen screen : {Screen{1920, 1080}, Screen{2560, 1440}, Screen{3840, 2160}}) {
        const double w = screen.width, h = screen.height;
        const GreyPicture desktop =
            DesktopPicture(screen.width, screen.height, uint32_t(screen.width + screen.height));
        for (int count : {0, 1, 3}) {
            ScreenPicture p;
            char name[64];
            std::snprintf(name, sizeof name, "screen-%dx%d-%d", screen.width, screen.height, count);
            p.name = name;
            p.picture = desktop;
            if (count == 1) {
                p.symbols = {0};
                p.placements = {{w * 0.72, h * 0.64, 3, 0, false}};
            } else if (count == 3) {
                p.symbols = {0, 1, 2};
                p.placements = {{w * 0.22, h * 0.30, 4, 0, true},
                                {w * 0.55, h * 0.55, 4, 30, false},
                                {w * 0.82, h * 0.25, 2, 0, false}};
            }
            for (size_t i = 0; i < p.symbols.size(); ++i)
                DrawSymbol(p.picture, symbols[size_t(p.symbols[i])], p.placements[i]);
            screens.push_back(std::move(p));
        }
    }
    return screens;
}

} // namespace zorvik
