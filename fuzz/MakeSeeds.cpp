// zorvik-fuzz-seeds OUT [PICTURE_FOLDER...]: writes the starting corpus of
// every fuzz target to OUT/<target>/, made from symbols encoded on the spot,
// hand-made inputs and the pictures under the given folders (scaled down, so
// that each seed stays small and quick to run).
#include "FuzzTargets.h"
#include "QrFixtures.h"
#include "Settings.h"

#include <QBuffer>
#include <QColor>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTransform>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zorvik;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path outRoot;
int written = 0;

void Put(const char* target, const std::string& name, const Bytes& bytes) {
    fs::create_directories(outRoot / target);
    std::ofstream file(outRoot / target / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ++written;
}

Bytes PackBits(const std::string& bits, Bytes bytes) {
    for (size_t i = 0; i < bits.size(); i += 8) {
        uint8_t b = 0;
        for (size_t k = 0; k < 8; ++k)
            b = uint8_t(b << 1 | (i + k < bits.size() && bits[i + k] == '1'));
        bytes.push_back(b);
    }
    return bytes;
}

std::string Bits(unsigned value, int width) {
    std::string s;
    for (int b = width - 1; b >= 0; --b) s += (value >> b) & 1 ? '1' : '0';
    return s;
}

// A grey picture as a bitmap file of the given bit count, bottom-up rows;
// 1, 4 and 8 bits use a grey colour table, 16 bits is 5-5-5.
Bytes ToBitmap(const test::Picture& p, int bitCount) {
    const int tableSize = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    const unsigned offset = 54 + 4 * unsigned(tableSize);
    const size_t stride = (size_t(p.width) * size_t(bitCount) + 31) / 32 * 4;
    Bytes bytes =
        test::BmpHeader(p.width, p.height, bitCount, offset, offset + stride * size_t(p.height));
    for (int i = 0; i < tableSize; ++i) {
        const uint8_t g = uint8_t(i * 255 / (tableSize - 1));
        for (int c = 0; c < 3; ++c) bytes[54 + 4 * size_t(i) + size_t(c)] = g;
    }
    for (int r = 0; r < p.height; ++r) {
        uint8_t* row = bytes.data() + offset + stride * size_t(p.height - 1 - r);
        for (int c = 0; c < p.width; ++c) {
            const uint8_t g = p.grey[size_t(r) * size_t(p.width) + size_t(c)];
            switch (bitCount) {
            case 1:
                row[c / 8] |= uint8_t((g >= 128) << (7 - c % 8));
                break;
            case 4:
                row[c / 2] |= uint8_t((g >> 4) << (c % 2 ? 0 : 4));
                break;
            case 8:
                row[c] = g;
                break;
            case 16: {
                const unsigned v = unsigned(g >> 3) * 0x421u;
                row[2 * c] = uint8_t(v), row[2 * c + 1] = uint8_t(v >> 8);
                break;
            }
            default:
                for (int k = 0; k < bitCount / 8; ++k) row[bitCount / 8 * c + k] = g;
            }
        }
    }
    return bytes;
}

Bytes GreyInput(int width, int height, const uint8_t* pixels) {
    Bytes bytes{uint8_t((width - 1) & 0xff), uint8_t((width - 1) >> 8)};
    bytes.insert(bytes.end(), pixels, pixels + size_t(width) * size_t(height));
    return bytes;
}

test::Picture Transformed(const test::Picture& p, int turn, bool invert) {
    test::Picture out = p;
    for (int r = 0; r < p.height; ++r)
        for (int c = 0; c < p.width; ++c) {
            int sr = r, sc = c;
            if (turn == 1) sr = p.height - 1 - c, sc = r;
            if (turn == 2) sr = p.height - 1 - r, sc = p.width - 1 - c;
            if (turn == 3) sc = p.width - 1 - c; // mirrored
            const uint8_t g = p.grey[size_t(sr) * size_t(p.width) + size_t(sc)];
            out.at(r, c) = invert ? uint8_t(255 - g) : g;
        }
    return out;
}

// GF(256) with 0x11d, generator roots alpha^0 .. alpha^(ec - 1).
std::vector<int> ReedSolomon(const std::vector<int>& data, int ec) {
    int exp[512], log[256] = {};
    for (int i = 0, x = 1; i < 255; ++i, x = x << 1 ^ (x & 0x80 ? 0x11d : 0))
        exp[i] = x, log[x] = i;
    for (int i = 255; i < 512; ++i) exp[i] = exp[i - 255];
    auto mul = [&](int a, int b) { return a && b ? exp[log[a] + log[b]] : 0; };
    std::vector<int> gen{1};
    for (int i = 0; i < ec; ++i) {
        std::vector<int> next(gen.size() + 1, 0);
        for (size_t k = 0; k < gen.size(); ++k)
            next[k] ^= gen[k], next[k + 1] ^= mul(gen[k], exp[i]);
        gen = next;
    }
    std::vector<int> rem(size_t(ec), 0);
    for (int d : data) {
        const int f = d ^ rem[0];
        rem.erase(rem.begin());
        rem.push_back(0);
        for (int k = 0; k < ec; ++k) rem[size_t(k)] ^= mul(gen[size_t(k) + 1], f);
    }
    return rem;
}

void SymbolSeeds() {
    const std::vector<std::vector<test::Segment>> contents = {
        {{2, "ZORVIK fuzz"}},
        {{0, "0123456789012345"}},
        {{1, "HELLO WORLD $%*+-./:"}},
        {{3, "\x93\xfa\x96\x7b\x8c\xea"}},
        {{0, "2026"}, {1, "AB-CD"}, {2, "mixed text"}, {3, "\x8a\xbf\x8e\x9a"}},
        {{2, "https://example.com/?q=1&r=<2>"}},
    };
    for (int version = 1; version <= 40; ++version) {
        const int level = version % 4;
        const auto& segments = contents[size_t(version) % contents.size()];
        test::Modules m = version % 5 == 0
                              ? test::EncodeSegmentsWithEci({{2, "h\xc3\xa9llo \xe2\x9c\x93"}}, 0,
                                                            26, version, level)
                              : test::EncodeSegments(segments, version, level);
        if (m.empty()) m = test::EncodeSegments({{2, "x"}}, version, level);
        if (m.empty()) continue;
        std::string bits;
        for (const auto& row : m) bits += row;
        const int n = int(m.size());
        Put("DecodeSymbol", "v" + std::to_string(version),
            PackBits(bits, {uint8_t(n - 21), uint8_t(version % 2)}));
    }
    for (const auto& s : test::EncodeStructured("structured append across symbols", 1, 0)) {
        std::string bits;
        for (const auto& row : s.modules) bits += row;
        Put("DecodeSymbol", "append" + std::to_string(s.sequenceByte), PackBits(bits, {0, 0}));
    }

    // Pictures: upright symbols in six bit counts, and turned, mirrored and
    // light-on-dark ones for the second search.
    int k = 0;
    for (const char* text : {"1", "ZORVIK", "A longer text for version three or so"}) {
        const auto picture = test::Render(test::EncodeText(text, k % 4), 2 + k % 2, 4);
        for (int bitCount : {1, 4, 8, 16, 24, 32})
            Put("BitmapRun", "made" + std::to_string(k) + "_" + std::to_string(bitCount),
                ToBitmap(picture, bitCount));
        for (int turn = 0; turn < 4; ++turn) {
            const auto t = Transformed(picture, turn, turn == 2);
            Put("SecondSearch", "made" + std::to_string(k) + "_" + std::to_string(turn),
                GreyInput(t.width, t.height, t.grey.data()));
            if (turn)
                Put("BitmapRun", "turned" + std::to_string(k) + "_" + std::to_string(turn),
                    ToBitmap(t, 8));
        }
        ++k;
    }
}

void SegmentSeeds() {
    struct Made {
        const char* name;
        int version;
        bool modern;
        std::string bits;
    };
    const std::string terminator = "0000";
    std::vector<Made> made = {
        {"numeric", 1, false, "0001" + Bits(8, 10) + Bits(123, 10) + Bits(456, 10) + Bits(78, 7)},
        {"alnum", 10, false, "0010" + Bits(3, 11) + Bits(17 * 45 + 14, 11) + Bits(21, 6)},
        {"byte", 27, false, "0100" + Bits(2, 16) + Bits('h', 8) + Bits('i', 8)},
        {"kanji", 1, false, "1000" + Bits(1, 8) + Bits(0xd9f, 13)},
        {"append", 1, false,
         "0011" + Bits(0x12, 8) + Bits(0x5a, 8) + "0100" + Bits(1, 8) + Bits('a', 8)},
        {"eci8", 5, true,
         "0111" + Bits(26, 8) + "0100" + Bits(2, 8) + Bits(0xc3, 8) + Bits(0xa9, 8)},
        {"eci16", 5, true, "0111" + Bits(0x8000 | 899, 16) + "0100" + Bits(1, 8) + Bits(0x41, 8)},
        {"eci24", 12, true,
         "0111" + Bits(0xc00000 | 20000, 24) + "0100" + Bits(1, 16) + Bits('z', 8)},
        {"latin1", 2, true,
         "0111" + Bits(3, 8) + "0100" + Bits(1, 8) + Bits(0xe9, 8) + "0001" + Bits(1, 10) +
             Bits(7, 4)},
        {"fnc1", 3, true, std::string("0101") + "0100" + Bits(1, 8) + Bits('x', 8)},
    };
    for (const Made& m : made)
        Put("Segments", m.name, PackBits(m.bits + terminator, {uint8_t(m.version - 1), m.modern}));
}

void BlockSeeds() {
    // Block shapes that symbols use: (codewords, error-correction codewords).
    const int shapes[][2] = {{26, 7},  {26, 10},  {26, 13},  {26, 17},  {44, 28},
                             {70, 18}, {134, 24}, {151, 30}, {255, 30}, {20, 2}};
    int k = 0;
    for (const auto& shape : shapes) {
        const int n = shape[0], ec = shape[1];
        std::vector<int> data;
        for (int i = 0; i < n - ec; ++i) data.push_back((i * 37 + k * 11) & 0xff);
        const auto parity = ReedSolomon(data, ec);
        data.insert(data.end(), parity.begin(), parity.end());
        const int t = std::min(15, ec / 2);
        for (int errors : {0, 1, t}) {
            Bytes bytes{uint8_t(n), uint8_t(t), uint8_t(ec)};
            for (int i = 0; i < n; ++i) bytes.push_back(uint8_t(data[size_t(i)]));
            for (int e = 0; e < errors; ++e) bytes[3 + size_t(e * 7 % n)] ^= uint8_t(0x5a + e);
            Put("CorrectBlock",
                "n" + std::to_string(n) + "ec" + std::to_string(ec) + "e" + std::to_string(errors),
                bytes);
        }
        ++k;
    }
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(file), {}};
}

void SettingsSeeds() {
    const fs::path folder = outRoot / "settings-scratch";
    fs::create_directories(folder);
    SettingsPlace place{folder.string(), true, ""};
    Settings settings;
    SaveSettings(settings, place);
    Put("LoadSettings", "defaults", ReadAll(fs::path(SettingsFilePath(folder.string()))));
    settings.HtmlBrowse = 1, settings.FontSize = 7, settings.SegmentInfo = 1;
    settings.BackColor = {18, 52, 86}, settings.LinkColor = {255, 0, 171};
    settings.InfoFileName = "/tmp/\xe6\x83\x85\xe5\xa0\xb1.txt";
    SaveSettings(settings, place);
    Put("LoadSettings", "changed", ReadAll(fs::path(SettingsFilePath(folder.string()))));
    fs::remove_all(folder);
    const std::string odd = "[zorvik 1.2]\nhtmlbrowse = 1\r\n  BackColor=FfEe0\r\nFONTSIZE=9\r\n"
                            "=\r\nInfoFileName=\x82\xa0\r\nTextColor==000000\r";
    Put("LoadSettings", "odd", Bytes(odd.begin(), odd.end()));
}

void TextSeeds(const std::vector<std::string>& texts) {
    std::vector<std::string> made = {
        "http://example.com/a?b=c&d=<e>",
        "see URL:https\\://example.jp/x;; and mailto a.b-c_d@mail.example.co.jp\rnext line",
        "<script>\"&amp;\"</script>",
        "\xe6\x97\xa5\xe6\x9c\xac https://\xe4\xbe\x8b.jp \xf0\x9f\x98\x80 \xff\xfe bad",
        "@@ a@ @b .@. x@y.z\r\r\rhttps://",
    };
    made.push_back(std::string(33000, 'a') + " http://late.example/");
    made.insert(made.end(), texts.begin(), texts.end());
    int k = 0;
    for (const auto& text : made)
        Put("ResultPage", "text" + std::to_string(k++), Bytes(text.begin(), text.end()));
}

// Pictures of the folders: scaled so the longer side is at most 128 pixels.
void PictureSeeds(const std::vector<std::string>& folders, std::vector<std::string>& texts) {
    std::vector<QString> files;
    for (const auto& folder : folders) {
        QDirIterator it(QString::fromStdString(folder), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith("manifest.json")) {
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly)) continue;
                const auto items =
                    QJsonDocument::fromJson(file.readAll()).object()["items"].toArray();
                for (const auto& item : items) {
                    const std::string text = item.toObject()["text"].toString().toStdString();
                    if (!text.empty() && text.size() <= 3000 && texts.size() < 60)
                        texts.push_back(text);
                }
            } else {
                files.push_back(path);
            }
        }
    }
    std::sort(files.begin(), files.end());
    // Every picture would make a corpus too slow to load; a spread of them.
    const size_t step = std::max<size_t>(1, files.size() / 48);
    for (size_t i = 0; i < files.size(); i += step) {
        QImage image(files[i]);
        if (image.isNull()) continue;
        const std::string name =
            std::to_string(i) + "_" + QFileInfo(files[i]).baseName().toStdString();
        if (files[i].endsWith(".bmp") && QFileInfo(files[i]).size() <= 12000) {
            Put("BitmapRun", name + "_file", ReadAll(files[i].toStdString()));
        }
        auto grey = [&](int side) {
            const QImage small =
                image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_Grayscale8);
            test::Picture p;
            p.width = small.width(), p.height = small.height();
            for (int r = 0; r < p.height; ++r)
                p.grey.insert(p.grey.end(), small.constScanLine(r),
                              small.constScanLine(r) + p.width);
            return p;
        };
        // A whole run is slow: its pictures stay small.
        Put("BitmapRun", name, ToBitmap(grey(64), i % 3 == 0 ? 24 : 8));
        const test::Picture p = grey(128);
        // Each format Qt reads for the picture-file reader, from the same picture.
        const QImage scaled = image.scaled(64, 64, Qt::KeepAspectRatio);
        for (const char* format : {"PNG", "JPG", "GIF", "BMP"}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            if (scaled.save(&buffer, format))
                Put("PictureFile", name + "." + format, Bytes(bytes.begin(), bytes.end()));
        }
        // PNGs of other colour types and depths, which the PNG reader
        // turns into colours each its own way.
        for (QImage::Format form :
             {QImage::Format_Mono, QImage::Format_Indexed8, QImage::Format_Grayscale16,
              QImage::Format_ARGB32, QImage::Format_RGBA64}) {
            QImage converted = scaled.convertToFormat(form);
            if (form == QImage::Format_ARGB32 || form == QImage::Format_RGBA64)
                for (int y = 0; y < converted.height(); y += 2)
                    for (int x = 0; x < converted.width(); ++x)
                        converted.setPixelColor(x, y, QColor::fromRgb(0, 0, 0, x * 4 % 256));
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            if (converted.save(&buffer, "PNG"))
                Put("PictureFile", name + ".form" + std::to_string(int(form)) + ".png",
                    Bytes(bytes.begin(), bytes.end()));
        }
        Put("SecondSearch", name, GreyInput(p.width, p.height, p.grey.data()));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zorvik-fuzz-seeds OUT [PICTURE_FOLDER...]\n");
        return 2;
    }
    outRoot = argv[1];
    fs::create_directories(outRoot);
    std::vector<std::string> folders(argv + 2, argv + argc), texts;
    SymbolSeeds();
    SegmentSeeds();
    BlockSeeds();
    SettingsSeeds();
    PictureSeeds(folders, texts);
    TextSeeds(texts);
    std::printf("zorvik-fuzz-seeds: %d seeds in %s\n", written, outRoot.c_str());
    return 0;
}
