// ZORVIK against two peer decoders, zxing-cpp and zbar, on every picture of
// the shared corpora and on loose symbols made here, in one process and one
// run. ZORVIK decodes the bitmap bytes exactly as the desktop program and
// zorvik-cli do, in its default mode and in exact mode; the peers get the
// 8-bit grey image of the same pixels. A picture counts as read when the
// decoder gives exactly the expected text. Prints a table per corpus and
// category and writes it as JSON.
//
// Usage: zorvik-bench [--json PATH]   (default: <build folder>/bench-results.json)
#include "ChildProcess.h"
#include "DecodeRun.h"
#include "LoosePictures.h"
#include "PictureFile.h"
#include "QtPictureReader.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// zbar's C++ part before zxing-cpp, whose error macros would bend it;
// text() as UTF-8.
#define ZX_USE_UTF8
#include <zbar.h>

#include <ZXing/ReadBarcode.h>
#include <ZXing/ZXVersion.h>
#include <qrencode.h>

#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace zorvik;

namespace {

// The four decoders, in the table's order.
enum Decoder { kZorvik, kZorvikExact, kZxing, kZbar, kDecoderCount };
const char* const kDecoderNames[kDecoderCount] = {"ZORVIK", "exact", "zxing", "zbar"};
const char* const kDecoderKeys[kDecoderCount] = {"zorvik", "zorvikExact", "zxing", "zbar"};

struct Picture {
    std::string corpus, category, name, expected;
    std::string path;            // the corpus file; none for pictures made here
    std::vector<uint8_t> bitmap; // what ZORVIK decodes
    std::vector<uint8_t> grey;   // what the peers decode, rows without padding
    int width = 0, height = 0;
};

struct Attempt {
    bool read = false;  // exactly the expected text
    bool wrong = false; // some other text
    double ms = 0;
};

// The peers' image: the bitmap bytes ZORVIK decodes, read back by Qt, alpha
// dropped as the decode run drops it, then Qt's conversion to
// Format_Grayscale8, which for a picture without a colour space (a bitmap
// has none) is qGray: (11 R + 16 G + 5 B) / 32. The corpora are grey or
// two-coloured almost throughout, so the weighting of colours seldom matters.
bool GreyOfBitmap(Picture& picture) {
    QImage image;
    if (!image.loadFromData(picture.bitmap.data(), int(picture.bitmap.size()), "BMP")) return false;
    if (image.hasAlphaChannel()) image = image.convertToFormat(QImage::Format_RGB32);
    image = image.convertToFormat(QImage::Format_Grayscale8);
    picture.width = image.width(), picture.height = image.height();
    picture.grey.resize(size_t(picture.width) * size_t(picture.height));
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(image.constScanLine(y), picture.width,
                    picture.grey.begin() + ptrdiff_t(y) * picture.width);
    return true;
}

// Every picture of a corpus manifest; none when there is no corpus.
std::vector<Picture> LoadCorpus(const std::string& corpus, const std::string& root) {
    std::vector<Picture> pictures;
    QFile manifest(QString::fromStdString(root + "/manifest.json"));
    if (root.empty() || !manifest.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zorvik-bench: no corpus at \"%s\", left out\n", root.c_str());
        return pictures;
    }
    for (const auto& value : QJsonDocument::fromJson(manifest.readAll())["items"].toArray()) {
        const QJsonObject item = value.toObject();
        Picture picture;
        picture.corpus = corpus;
        picture.category = item["category"].toString().toStdString();
        picture.name = item["file"].toString().toStdString();
        picture.expected = item["text"].toString().toStdString();
        picture.path = root + "/" + picture.name;
        LoadedPicture loaded = LoadPictureAsBitmap(picture.path);
        picture.bitmap = std::move(loaded.bitmap);
        if (!loaded.error.empty() || !GreyOfBitmap(picture)) {
            std::fprintf(stderr, "zorvik-bench: %s/%s cannot be read, left out\n", root.c_str(),
                         picture.name.c_str());
            continue;
        }
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

// The loose symbol: libqrencode, version 7 (45 modules) at 4 pixels a module,
// 180 pixels across, with a quiet zone of 4 modules.
constexpr const char* kLooseText = "https://example.com/loose?symbol=180px&anywhere=1";

GreyPicture LooseSymbol() {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(kLooseText, 7, QR_ECLEVEL_M, QR_MODE_8, 1), QRcode_free);
    const int modulePx = 4, quiet = 4;
    const int side = (code->width + 2 * quiet) * modulePx;
    GreyPicture symbol = PlainPicture(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int r = y / modulePx - quiet, c = x / modulePx - quiet;
            if (r >= 0 && c >= 0 && r < code->width && c < code->width &&
                (code->data[r * code->width + c] & 1))
                symbol.at(x, y) = 0;
        }
    return symbol;
}

// A made grey picture as a 24-bit bitmap, as a picture file other than a
// bitmap reaches the run.
Picture MadePicture(const std::string& category, const std::string& name,
                    const std::string& expected, const GreyPicture& grey) {
    Picture picture;
    picture.corpus = "loose";
    picture.category = category;
    picture.name = name;
    picture.expected = expected;
    QImage image(grey.width, grey.height, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height; ++y)
        std::copy_n(grey.pixels.begin() + ptrdiff_t(y) * grey.width, grey.width, image.scanLine(y));
    picture.bitmap = ImageToBitmap(image, 24);
    GreyOfBitmap(picture);
    return picture;
}

std::vector<Picture> MakeLooseCorpus() {
    std::vector<Picture> pictures;
    for (const LoosePicture& loose : MakeLoosePictures(LooseSymbol()))
        pictures.push_back(MadePicture(loose.category, loose.name, kLooseText, loose.picture));
    // Captures of a whole desktop with no symbol on it: the search must give
    // up in time.
    for (uint32_t seed : {1u, 2u})
        pictures.push_back(MadePicture("none", "none-4000-" + std::to_string(seed), "",
                                       DesktopPicture(4000, 4000, seed)));
    return pictures;
}

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A picture without a symbol (no expected text) is read when nothing is decoded.
Attempt Judge(bool decoded, const std::string& text, const std::string& expected, double ms) {
    Attempt attempt;
    attempt.read = expected.empty() ? !decoded : decoded && text == expected;
    attempt.wrong = decoded && text != expected;
    attempt.ms = ms;
    return attempt;
}

// A fresh decode run, as the program makes one per picture.
Attempt DecodeZorvik(const Picture& picture, bool exact) {
    DecodeOptions options;
    options.exact = exact;
    const auto start = Clock::now();
    RecognitionStages stages(options);
    const DecodeOutcome outcome = RunDecode(picture.bitmap, stages);
    const auto end = Clock::now();
    return Judge(outcome.kind == DecodeOutcome::Kind::Decoded, outcome.text, picture.expected,
                 Milliseconds(start, end));
}

// Library defaults apart from the format.
Attempt DecodeZxing(const Picture& picture) {
    const auto start = Clock::now();
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    const ZXing::Result result =
        ZXing::ReadBarcode(ZXing::ImageView(picture.grey.data(), picture.width, picture.height,
                                            ZXing::ImageFormat::Lum),
                           hints);
    const auto end = Clock::now();
    return Judge(result.isValid(), result.isValid() ? result.text() : std::string(),
                 picture.expected, Milliseconds(start, end));
}

// A fresh scanner for QR symbols only; the text of the first symbol found.
Attempt DecodeZbar(const Picture& picture) {
    using namespace zbar;
    const auto start = Clock::now();
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, unsigned(picture.width), unsigned(picture.height));
    zbar_image_set_data(image, picture.grey.data(), picture.grey.size(), nullptr);
    const int found = zbar_scan_image(scanner, image);
    std::string text;
    const zbar_symbol_t* symbol = found > 0 ? zbar_image_first_symbol(image) : nullptr;
    if (symbol) text.assign(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    const auto end = Clock::now();
    return Judge(symbol != nullptr, text, picture.expected, Milliseconds(start, end));
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One row of the table: a category, or a whole corpus.
struct Row {
    std::string corpus, category;
    int pictures = 0;
    int read[kDecoderCount] = {};
    int wrong[kDecoderCount] = {};
    int anyPeer = 0, zorvikOnly = 0;
    // Read by a peer but not by ZORVIK: the picture and the peers that read it.
    std::vector<std::pair<std::string, std::vector<std::string>>> peerNotZorvik;
    double median[kDecoderCount] = {}, total[kDecoderCount] = {};
};

Row Summarise(const std::string& corpus, const std::string& category,
              const std::vector<const Picture*>& pictures,
              const std::map<const Picture*, std::array<Attempt, kDecoderCount>>& attempts) {
    Row row;
    row.corpus = corpus, row.category = category;
    row.pictures = int(pictures.size());
    std::vector<double> times[kDecoderCount];
    for (const Picture* picture : pictures) {
        const auto& a = attempts.at(picture);
        for (int d = 0; d < kDecoderCount; ++d) {
            row.read[d] += a[d].read;
            row.wrong[d] += a[d].wrong;
            row.total[d] += a[d].ms;
            times[d].push_back(a[d].ms);
        }
        const bool peer = a[kZxing].read || a[kZbar].read;
        row.anyPeer += peer;
        row.zorvikOnly += a[kZorvik].read && !peer;
        if (peer && !a[kZorvik].read) {
            std::vector<std::string> peers;
            for (Decoder d : {kZxing, kZbar})
                if (a[d].read) peers.push_back(kDecoderKeys[d]);
            row.peerNotZorvik.emplace_back(picture->name, std::move(peers));
        }
    }
    for (int d = 0; d < kDecoderCount; ++d) row.median[d] = Median(times[d]);
    return row;
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

// A ratio as the tables print it: "0.52x".
std::string Times(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", ratio);
    return text;
}

void PrintCorpus(const std::string& corpus, const std::vector<Row>& rows) {
    std::printf("\n== %s ==\n", corpus.c_str());
    std::printf("%-14s %5s | %6s %6s %6s %6s | %8s %8s %9s | %s\n", "category", "pics", "ZORVIK",
                "exact", "zxing", "zbar", "any peer", "Z only", "peer only", "wrong texts");
    for (const Row& r : rows) {
        std::string wrong;
        for (int d = 0; d < kDecoderCount; ++d)
            if (r.wrong[d])
                wrong += std::string(wrong.empty() ? "" : ", ") + kDecoderNames[d] + " " +
                         std::to_string(r.wrong[d]);
        std::printf("%-14s %5d | %6d %6d %6d %6d | %8d %8d %9zu | %s\n", r.category.c_str(),
                    r.pictures, r.read[kZorvik], r.read[kZorvikExact], r.read[kZxing],
                    r.read[kZbar], r.anyPeer, r.zorvikOnly, r.peerNotZorvik.size(),
                    wrong.empty() ? "-" : wrong.c_str());
    }
    std::printf("%-14s | %29s | %33s | %s\n", "ms", "median: ZORVIK exact zxing zbar",
                "total: ZORVIK exact zxing zbar", "ZORVIK/zxing ZORVIK/zbar");
    for (const Row& r : rows)
        std::printf("%-14s | %7.2f %7.2f %6.2f %6.2f | %8.0f %8.0f %7.0f %7.0f | %12.2f %11.2f\n",
                    r.category.c_str(), r.median[kZorvik], r.median[kZorvikExact], r.median[kZxing],
                    r.median[kZbar], r.total[kZorvik], r.total[kZorvikExact], r.total[kZxing],
                    r.total[kZbar], Ratio(r.median[kZorvik], r.median[kZxing]),
                    Ratio(r.median[kZorvik], r.median[kZbar]));
    for (const Row& r : rows) {
        if (r.category == "all" || r.peerNotZorvik.empty()) continue;
        std::printf("read by a peer, not by ZORVIK (%s):\n", r.category.c_str());
        for (const auto& [name, peers] : r.peerNotZorvik) {
            std::string who;
            for (const std::string& peer : peers) who += (who.empty() ? "" : ", ") + peer;
            std::printf("  %s (%s)\n", name.c_str(), who.c_str());
        }
    }
}

QJsonObject PerDecoder(const double (&values)[kDecoderCount]) {
    QJsonObject object;
    for (int d = 0; d < kDecoderCount; ++d) object[kDecoderKeys[d]] = values[d];
    return object;
}

QJsonObject PerDecoder(const int (&values)[kDecoderCount]) {
    QJsonObject object;
    for (int d = 0; d < kDecoderCount; ++d) object[kDecoderKeys[d]] = values[d];
    return object;
}

QJsonObject RowJson(const Row& r) {
    QJsonObject row;
    row["category"] = QString::fromStdString(r.category);
    row["pictures"] = r.pictures;
    row["read"] = PerDecoder(r.read);
    row["wrongText"] = PerDecoder(r.wrong);
    row["readByAnyPeer"] = r.anyPeer;
    row["readByZorvikNotPeers"] = r.zorvikOnly;
    QJsonArray names;
    for (const auto& [name, peers] : r.peerNotZorvik) {
        QJsonArray readBy;
        for (const std::string& peer : peers) readBy.append(QString::fromStdString(peer));
        names.append(QJsonObject{{"file", QString::fromStdString(name)}, {"readBy", readBy}});
    }
    row["readByPeerNotZorvik"] = names;
    row["medianMs"] = PerDecoder(r.median);
    row["totalMs"] = PerDecoder(r.total);
    QJsonObject ratios;
    ratios["zorvikToZxing"] = Ratio(r.median[kZorvik], r.median[kZxing]);
    ratios["zorvikToZbar"] = Ratio(r.median[kZorvik], r.median[kZbar]);
    ratios["exactToZxing"] = Ratio(r.median[kZorvikExact], r.median[kZxing]);
    ratios["exactToZbar"] = Ratio(r.median[kZorvikExact], r.median[kZbar]);
    row["medianRatio"] = ratios;
    return row;
}

constexpr int kRuns = 3; // each decoder's fastest of this many runs counts

// ---------------------------------------------------------------------------
// Whole screens: the every-symbol search against zxing-cpp's ReadBarcodes,
// in-process from the same grey picture, and zorvik-cli --all against
// ZXingReader as whole processes on the same picture as a PNG.

// A libqrencode symbol's modules, '1' dark; version is the smallest allowed.
std::vector<std::string> SymbolModules(const char* text, int version) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text, version, QR_ECLEVEL_M, QR_MODE_8, 1), QRcode_free);
    const size_t n = size_t(code->width);
    std::vector<std::string> modules(n, std::string(n, '0'));
    for (size_t r = 0; r < n; ++r)
        for (size_t c = 0; c < n; ++c)
            if (code->data[r * n + c] & 1) modules[r][c] = '1';
    return modules;
}

// What MakeScreenPictures draws: the symbol alone (3 px a module) and light
// on dark, the turned one, the one at 2 px a module. ASCII, so that no
// guess at a character set can make the same symbol two texts.
const char* const kScreenTexts[] = {"https://example.jp/screen/one?capture=1",
                                    "TURNED BY THIRTY DEGREES", "THIRD 2PX"};

struct ScreenRun {
    std::string name;
    int width = 0, height = 0, drawn = 0;
    double zorvikMs = 0, zxingMs = 0;        // in-process, fastest of kRuns
    double zorvikOneMs = 0;                  // the same on one thread
    std::multiset<std::string> ours, theirs; // the texts each found
    double cliMs = 0, readerMs = 0;          // whole processes, fastest of kRuns
    int cliFound = -1, readerFound = -1;     // symbols each printed; -1 not run
    long cliPeakKb = 0, readerPeakKb = 0;
    // Every symbol zxing-cpp finds, ZORVIK finds too.
    bool Covers() const {
        return std::includes(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    }
    bool CliCovers() const { return cliFound >= readerFound; }
};

// The fastest of kRuns whole-process runs; found from its last output.
void RunProgram(const std::vector<std::string>& args, double& ms, int& found, long& peakKb,
                const std::function<int(const std::string&)>& count) {
    ms = 0, found = -1;
    for (int run = 0; run < kRuns; ++run) {
        const ChildRun child = RunChild(args, 120);
        if (!child.ran) return;
        ms = run == 0 ? child.ms : std::min(ms, child.ms);
        peakKb = std::max(peakKb, child.peakKb);
        found = count(child.out);
    }
}

int CountLines(const std::string& out, const std::string& start) {
    int lines = 0;
    for (size_t at = 0; at < out.size();) {
        const size_t end = std::min(out.find('\n', at), out.size());
        lines += end > at && out.compare(at, start.size(), start) == 0;
        at = end + 1;
    }
    return lines;
}

std::vector<ScreenRun> MeasureScreens(const std::string& cli, const QString& folder) {
    std::vector<std::vector<std::string>> symbols = {SymbolModules(kScreenTexts[0], 3),
                                                     SymbolModules(kScreenTexts[1], 2),
                                                     SymbolModules(kScreenTexts[2], 1)};
    std::vector<ScreenRun> runs;
    for (const ScreenPicture& screen : MakeScreenPictures(symbols)) {
        ScreenRun r;
        const GreyPicture& p = screen.picture;
        r.name = screen.name, r.width = p.width, r.height = p.height;
        r.drawn = int(screen.symbols.size());
        GreyImage grey(p.width, p.height);
        std::copy(p.pixels.begin(), p.pixels.end(), grey.pixels.begin());
        const auto ours = [&] {
            const auto start = Clock::now();
            const std::vector<FoundSymbol> found = FindAllSymbols(grey);
            const double ms = Milliseconds(start, Clock::now());
            r.ours.clear();
            for (const FoundSymbol& f : found) r.ours.insert(f.text);
            return ms;
        };
        const auto oursOnOneThread = [&] {
            const auto start = Clock::now();
            FindAllSymbols(grey, 1);
            return Milliseconds(start, Clock::now());
        };
        const auto theirs = [&] {
            const auto start = Clock::now();
            ZXing::DecodeHints hints;
            hints.setFormats(ZXing::BarcodeFormat::QRCode);
            const ZXing::Results found = ZXing::ReadBarcodes(
                ZXing::ImageView(p.pixels.data(), p.width, p.height, ZXing::ImageFormat::Lum),
                hints);
            const double ms = Milliseconds(start, Clock::now());
            r.theirs.clear();
            for (const ZXing::Result& f : found)
                if (f.isValid()) r.theirs.insert(f.text());
            return ms;
        };
        // In turn, each keeping its fastest: a spell in which the machine
        // runs slow then falls on all three alike rather than on one.
        r.zorvikMs = r.zorvikOneMs = r.zxingMs = std::numeric_limits<double>::infinity();
        for (int run = 0; run < kRuns; ++run) {
            r.zorvikMs = std::min(r.zorvikMs, ours());
            r.zorvikOneMs = std::min(r.zorvikOneMs, oursOnOneThread());
            r.zxingMs = std::min(r.zxingMs, theirs());
        }

        QImage image(p.width, p.height, QImage::Format_Grayscale8);
        for (int y = 0; y < p.height; ++y)
            std::copy_n(p.pixels.begin() + ptrdiff_t(y) * p.width, p.width, image.scanLine(y));
        const QString png = folder + "/" + QString::fromStdString(r.name) + ".png";
        if (image.save(png, "PNG")) {
            // One line a symbol; ZXingReader gives each a block with a "Text:" line.
            RunProgram({cli, "--all", png.toStdString()}, r.cliMs, r.cliFound, r.cliPeakKb,
                       [](const std::string& out) { return CountLines(out, ""); });
            RunProgram({"ZXingReader", "-format", "QRCode", png.toStdString()}, r.readerMs,
                       r.readerFound, r.readerPeakKb,
                       [](const std::string& out) { return CountLines(out, "Text:"); });
        }
        runs.push_back(std::move(r));
    }
    return runs;
}

// Sums of a set of screens.
struct ScreenSums {
    double zorvik = 0, zorvikOne = 0, zxing = 0, cli = 0, reader = 0;
    int drawn = 0, ours = 0, theirs = 0, cliFound = 0, readerFound = 0;
    bool covers = true, cliCovers = true, processes = true;
    void Add(const ScreenRun& r) {
        zorvik += r.zorvikMs, zorvikOne += r.zorvikOneMs, zxing += r.zxingMs;
        cli += r.cliMs, reader += r.readerMs;
        drawn += r.drawn, ours += int(r.ours.size()), theirs += int(r.theirs.size());
        cliFound += std::max(0, r.cliFound), readerFound += std::max(0, r.readerFound);
        covers = covers && r.Covers();
        cliCovers = cliCovers && r.CliCovers();
        processes = processes && r.cliFound >= 0 && r.readerFound >= 0;
    }
};

void PrintScreenRow(const char* name, int drawn, int ours, int theirs, double zorvik, double zxing,
                    double cli, double reader, int cliFound, int readerFound) {
    std::printf("%-22s %5d | %6d %6d | %9.2f %9.2f %6.2fx | %9.1f %9.1f %6.2fx | %5d %5d\n", name,
                drawn, ours, theirs, zorvik, zxing, Ratio(zorvik, zxing), cli, reader,
                Ratio(cli, reader), cliFound, readerFound);
}

ScreenSums PrintScreens(const std::vector<ScreenRun>& runs) {
    std::printf("\n== whole screens: FindAllSymbols (two threads) against zxing-cpp's ReadBarcodes "
                "in-process; zorvik-cli --all against ZXingReader -format QRCode on a PNG ==\n");
    std::printf("%-22s %5s | %6s %6s | %9s %9s %7s | %9s %9s %7s | %5s %5s\n", "picture", "drawn",
                "found", "zxing", "ZORVIK ms", "zxing ms", "ratio", "cli ms", "reader", "ratio",
                "cli", "rdr");
    ScreenSums all;
    std::map<std::string, ScreenSums> sizes;
    std::vector<std::string> sizeOrder;
    for (const ScreenRun& r : runs) {
        PrintScreenRow(r.name.c_str(), r.drawn, int(r.ours.size()), int(r.theirs.size()),
                       r.zorvikMs, r.zxingMs, r.cliMs, r.readerMs, r.cliFound, r.readerFound);
        const std::string size = std::to_string(r.width) + "x" + std::to_string(r.height);
        if (!sizes.count(size)) sizeOrder.push_back(size);
        sizes[size].Add(r);
        all.Add(r);
        if (!r.Covers()) std::printf("  ZORVIK misses a symbol zxing-cpp finds\n");
    }
    auto sumRow = [](const std::string& name, const ScreenSums& s) {
        PrintScreenRow(name.c_str(), s.drawn, s.ours, s.theirs, s.zorvik, s.zxing, s.cli, s.reader,
                       s.cliFound, s.readerFound);
    };
    for (const std::string& size : sizeOrder) sumRow("all " + size, sizes[size]);
    sumRow("all screens", all);
    std::printf("FindAllSymbols on one thread: %.2f ms for all screens, %.2fx zxing-cpp\n",
                all.zorvikOne, Ratio(all.zorvikOne, all.zxing));
    long cliPeak = 0, readerPeak = 0;
    for (const ScreenRun& r : runs)
        cliPeak = std::max(cliPeak, r.cliPeakKb), readerPeak = std::max(readerPeak, r.readerPeakKb);
    std::printf("peak memory of a whole process on a screen: zorvik-cli %.0f MB, ZXingReader "
                "%.0f MB\n",
                cliPeak / 1024.0, readerPeak / 1024.0);
    return all;
}

// ---------------------------------------------------------------------------
// The corpus with the decoders taking turns picture by picture, one run
// each, who goes first alternating: each meets caches the other has just
// filled, as a decode after a capture does.
std::pair<double, double> AlternatingMedians(const std::vector<Picture>& pictures) {
    std::vector<double> zorvik, zxing;
    bool zorvikFirst = true;
    for (const Picture& p : pictures) {
        if (p.corpus != "corpus") continue;
        if (zorvikFirst) zorvik.push_back(DecodeZorvik(p, false).ms);
        zxing.push_back(DecodeZxing(p).ms);
        if (!zorvikFirst) zorvik.push_back(DecodeZorvik(p, false).ms);
        zorvikFirst = !zorvikFirst;
    }
    return {Median(zorvik), Median(zxing)};
}

// zorvik-cli over every corpus file on one thread and on one a core,
// fastest of kRuns each; the outputs must be the same.
struct JobsRun {
    unsigned cores = 0;
    double oneMs = 0, allMs = 0;
    bool ran = false, same = false;
};

JobsRun MeasureJobs(const std::string& cli, const std::vector<Picture>& pictures) {
    JobsRun jobs;
    jobs.cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> files;
    for (const Picture& p : pictures)
        if (!p.path.empty()) files.push_back(p.path);
    std::string outputs[2];
    for (int k = 0; k < 2; ++k) {
        std::vector<std::string> args = {cli, "-j", std::to_string(k ? jobs.cores : 1u)};
        args.insert(args.end(), files.begin(), files.end());
        double& ms = k ? jobs.allMs : jobs.oneMs;
        for (int run = 0; run < kRuns; ++run) {
            const ChildRun child = RunChild(args, 300);
            if (!child.ran) return jobs;
            ms = run == 0 ? child.ms : std::min(ms, child.ms);
            outputs[k] = child.out;
        }
    }
    jobs.ran = true;
    jobs.same = outputs[0] == outputs[1];
    std::printf("\n== zorvik-cli on the %zu corpus files: -j 1 %.0f ms, -j %u %.0f ms (%.2fx)%s "
                "==\n",
                files.size(), jobs.oneMs, jobs.cores, jobs.allMs, Ratio(jobs.allMs, jobs.oneMs),
                jobs.same ? "" : ", OUTPUTS DIFFER");
    return jobs;
}

// The largest picture the command line reads through Qt: 11300 x 11300
// 16-bit grey, 127.7 megapixels under the 128-megapixel limit, a white page
// with one symbol, about a megabyte as a PNG. Peak memory of zorvik-cli
// decoding it as a selection and with --all.
struct MemoryRun {
    bool made = false;
    ChildRun selection, all;
};

MemoryRun MeasureLargestPicture(const std::string& cli, const QString& folder) {
    MemoryRun memory;
    const int side = 11300;
    const QString png = folder + "/largest-11300x11300-16bit.png";
    {
        QImage image(side, side, QImage::Format_Grayscale16);
        if (image.isNull()) return memory;
        image.fill(Qt::white);
        GreyPicture symbol = PlainPicture(300, 300);
        DrawSymbol(symbol, SymbolModules(kScreenTexts[0], 3), {150, 150, 6, 0, false});
        for (int y = 0; y < symbol.height; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(image.scanLine(side / 2 + y));
            for (int x = 0; x < symbol.width; ++x)
                row[side / 2 + x] = uint16_t(symbol.at(x, y) * 257);
        }
        if (!image.save(png, "PNG")) return memory;
    }
    memory.made = true;
    memory.selection = RunChild({cli, png.toStdString()}, 300);
    memory.all = RunChild({cli, "--all", png.toStdString()}, 300);
    QFile::remove(png);
    std::printf("\n== peak memory: zorvik-cli on an 11300 x 11300 16-bit PNG ==\n");
    for (const auto& [name, run] :
         {std::pair{"selection", &memory.selection}, std::pair{"--all", &memory.all}})
        std::printf("%-10s %8.0f MB %9.0f ms  %s\n", name, run->peakKb / 1024.0, run->ms,
                    run->timedOut      ? "timed out"
                    : run->status == 0 ? "found the symbol"
                                       : "no symbol");
    return memory;
}

long SelfPeakKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// ---------------------------------------------------------------------------
// The goals of the speed work, each as ZORVIK's figure over the peer's on the
// same pictures in the same run: sums of each picture's fastest of kRuns
// unless a median is named.
struct Goal {
    Goal(std::string name, double zorvik, double peer, double bound)
        : name(std::move(name)), zorvik(zorvik), peer(peer), bound(bound) {}
    std::string name;
    double zorvik = 0, peer = 0, bound = 0;
    std::string unit = "ms";
    bool ratio = true; // met when zorvik / peer <= bound; else when zorvik <= bound
    bool measured = true;
    bool extra = true; // a further condition of the goal holds
    std::string note;
    bool Met() const {
        return measured && extra && (ratio ? Ratio(zorvik, peer) <= bound : zorvik <= bound);
    }
};

QJsonArray PrintGoals(const std::vector<Goal>& goals) {
    std::printf("\n== goals: ZORVIK against the peers (met when within the bound) ==\n");
    std::printf("%-54s %10s %10s %8s %9s  %s\n", "goal", "ZORVIK", "peer", "ratio", "bound",
                "verdict");
    QJsonArray json;
    for (const Goal& g : goals) {
        char ratio[32] = "-", bound[32];
        if (g.ratio) std::snprintf(ratio, sizeof ratio, "%.2fx", Ratio(g.zorvik, g.peer));
        std::snprintf(bound, sizeof bound, g.ratio ? "<= %.2fx" : "<= %.0f", g.bound);
        if (g.measured)
            std::printf("%-54s %10.2f %10.2f %8s %9s  %s%s%s\n", g.name.c_str(), g.zorvik, g.peer,
                        ratio, bound, g.Met() ? "met" : "not met", g.note.empty() ? "" : ": ",
                        g.note.c_str());
        else
            std::printf("%-54s %10s %10s %8s %9s  not met: %s\n", g.name.c_str(), "-", "-", "-",
                        bound, g.note.c_str());
        json.append(QJsonObject{{"goal", QString::fromStdString(g.name)},
                                {"zorvik", g.zorvik},
                                {"peer", g.peer},
                                {"unit", QString::fromStdString(g.unit)},
                                {"ratio", g.ratio ? Ratio(g.zorvik, g.peer) : QJsonValue()},
                                {"bound", g.bound},
                                {"met", g.Met()},
                                {"note", QString::fromStdString(g.note)}});
    }
    return json;
}

} // namespace

int main(int argc, char** argv) {
    if (const int launched = RunLauncher(argc, argv); launched >= 0) return launched;
    std::string jsonPath = std::string(ZORVIK_BUILD_DIR) + "/bench-results.json";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json" && i + 1 < argc) {
            jsonPath = argv[++i];
        } else {
            std::fprintf(stderr, "usage: zorvik-bench [--json PATH]\n");
            return 2;
        }
    }

    // Everything in memory before the first decode.
    const std::vector<std::pair<std::string, std::string>> roots = {
        {"corpus", ZORVIK_CORPUS_DIR}, {"corpus-beyond", ZORVIK_BEYOND_DIR}};
    std::vector<Picture> pictures;
    for (const auto& [corpus, root] : roots)
        for (Picture& p : LoadCorpus(corpus, root)) pictures.push_back(std::move(p));
    for (Picture& p : MakeLooseCorpus()) pictures.push_back(std::move(p));
    std::fprintf(stderr, "zorvik-bench: %zu pictures in memory, decoding\n", pictures.size());

    const long loadedKb = SelfPeakKb();

    // Each decoder reads each picture kRuns times and keeps its fastest:
    // the first run of a picture pays for cold caches and page faults, and
    // whoever went first would otherwise pay for everyone.
    auto fastest = [](const auto& decode) {
        Attempt best = decode();
        for (int run = 1; run < kRuns; ++run) {
            const Attempt again = decode();
            if (again.ms < best.ms) best = again;
        }
        return best;
    };
    std::map<const Picture*, std::array<Attempt, kDecoderCount>> attempts;
    for (const Picture& picture : pictures) {
        auto& a = attempts[&picture];
        a[kZorvik] = fastest([&] { return DecodeZorvik(picture, false); });
        a[kZorvikExact] = fastest([&] { return DecodeZorvik(picture, true); });
        a[kZxing] = fastest([&] { return DecodeZxing(picture); });
        a[kZbar] = fastest([&] { return DecodeZbar(picture); });
    }

    // Corpora and categories in the order they came.
    std::vector<std::string> corpora;
    std::map<std::string, std::vector<std::string>> categories;
    std::map<std::pair<std::string, std::string>, std::vector<const Picture*>> groups;
    for (const Picture& p : pictures) {
        if (std::find(corpora.begin(), corpora.end(), p.corpus) == corpora.end())
            corpora.push_back(p.corpus);
        auto& list = categories[p.corpus];
        if (std::find(list.begin(), list.end(), p.category) == list.end())
            list.push_back(p.category);
        groups[{p.corpus, p.category}].push_back(&p);
    }

    QJsonArray corporaJson;
    for (const std::string& corpus : corpora) {
        std::vector<Row> rows;
        std::vector<const Picture*> all;
        for (const std::string& category : categories[corpus]) {
            const auto& group = groups[{corpus, category}];
            rows.push_back(Summarise(corpus, category, group, attempts));
            all.insert(all.end(), group.begin(), group.end());
        }
        rows.push_back(Summarise(corpus, "all", all, attempts));
        PrintCorpus(corpus, rows);

        QJsonArray rowsJson;
        for (const Row& r : rows) rowsJson.append(RowJson(r));
        QJsonArray picturesJson;
        for (const Picture* p : all) {
            QJsonObject entry;
            entry["file"] = QString::fromStdString(p->name);
            entry["category"] = QString::fromStdString(p->category);
            for (int d = 0; d < kDecoderCount; ++d) {
                const Attempt& a = attempts[p][d];
                entry[kDecoderKeys[d]] =
                    QJsonObject{{"read", a.read}, {"wrongText", a.wrong}, {"ms", a.ms}};
            }
            picturesJson.append(entry);
        }
        corporaJson.append(QJsonObject{{"corpus", QString::fromStdString(corpus)},
                                       {"categories", rowsJson},
                                       {"pictures", picturesJson}});
    }

    const long decodedKb = SelfPeakKb();

    // Beyond the corpora: the decoders alternating, whole screens, whole
    // processes and memory.
    const std::string cli = std::string(ZORVIK_BUILD_DIR) + "/bin/zorvik-cli";
    const bool reader = ProgramExists("ZXingReader");
    if (!reader)
        std::fprintf(stderr, "zorvik-bench: no ZXingReader (package zxing-cpp-tools): the "
                             "whole-process goal is left out\n");
    std::fprintf(stderr, "zorvik-bench: the corpus alternating, screens, processes\n");
    const auto [alternatingZorvik, alternatingZxing] = AlternatingMedians(pictures);
    QTemporaryDir folder;
    const std::vector<ScreenRun> screens = MeasureScreens(cli, folder.path());
    const ScreenSums screenSums = PrintScreens(screens);
    const long screensKb = SelfPeakKb();
    const JobsRun jobs = MeasureJobs(cli, pictures);
    std::fprintf(stderr, "zorvik-bench: the largest picture\n");
    const MemoryRun memory = MeasureLargestPicture(cli, folder.path());
    std::printf("peak memory of this bench: %.0f MB with the pictures loaded, %.0f MB after "
                "decoding them, %.0f MB after the screens\n",
                loadedKb / 1024.0, decodedKb / 1024.0, screensKb / 1024.0);

    // The goals' figures from the runs above.
    std::vector<double> corpusZorvik, corpusZxing;
    std::map<std::string, std::pair<double, double>> sets; // category -> sums
    int peerOnly = 0;
    for (const Picture& p : pictures) {
        const auto& a = attempts.at(&p);
        if (p.corpus == "corpus")
            corpusZorvik.push_back(a[kZorvik].ms), corpusZxing.push_back(a[kZxing].ms);
        sets[p.category].first += a[kZorvik].ms;
        sets[p.category].second += a[kZxing].ms;
        peerOnly += (a[kZxing].read || a[kZbar].read) && !a[kZorvik].read;
    }
    for (const ScreenRun& r : screens)
        for (const std::string& text : r.theirs) peerOnly += !r.ours.count(text);
    std::vector<Goal> goals;
    {
        Goal g{"1 whole screens: every-symbol search, in-process", screenSums.zorvik,
               screenSums.zxing, 0.5};
        g.extra = screenSums.covers;
        g.note = "found " + std::to_string(screenSums.ours) + " of " +
                 std::to_string(screenSums.drawn) + ", zxing-cpp " +
                 std::to_string(screenSums.theirs) +
                 (screenSums.covers ? "" : "; misses one zxing-cpp finds") + "; one thread " +
                 Times(Ratio(screenSums.zorvikOne, screenSums.zxing));
        goals.push_back(g);
    }
    {
        Goal g{"1 whole screens: zorvik-cli --all / ZXingReader", screenSums.cli, screenSums.reader,
               0.7};
        g.measured = reader && screenSums.processes;
        g.extra = screenSums.cliCovers;
        g.note = g.measured ? "printed " + std::to_string(screenSums.cliFound) + ", ZXingReader " +
                                  std::to_string(screenSums.readerFound) +
                                  (screenSums.cliCovers ? "" : "; fewer than ZXingReader")
                            : "not measured (no ZXingReader or zorvik-cli)";
        goals.push_back(g);
    }
    for (const auto& [category, name] :
         {std::pair{"rotated", "2 second search: rotated set"},
          std::pair{"inverted", "2 second search: light-on-dark set"},
          std::pair{"perspective", "2 second search: keystone set"}})
        goals.push_back({name, sets[category].first, sets[category].second, 1.0});
    goals.push_back({"2 no symbol: 4000 x 4000 desktops (selection)", sets["none"].first,
                     sets["none"].second, 0.5});
    goals.push_back(
        {"3 corpus median, fastest of 3", Median(corpusZorvik), Median(corpusZxing), 0.5});
    goals.push_back(
        {"3 corpus median, decoders alternating", alternatingZorvik, alternatingZxing, 0.5});
    {
        // The issue names no figure: this bench asks for 1.2 / cores, a
        // fifth above a perfect share.
        Goal g{"4 both cores: zorvik-cli on the corpora, -j cores / -j 1", jobs.allMs, jobs.oneMs,
               1.2 / std::max(1u, jobs.cores)};
        g.measured = jobs.ran && jobs.cores > 1;
        g.extra = jobs.same;
        g.note = !jobs.ran        ? "zorvik-cli did not run"
                 : jobs.cores < 2 ? "one core: nothing to share"
                 : jobs.same      ? std::to_string(jobs.cores) + " cores"
                                  : "the outputs differ";
        goals.push_back(g);
    }
    {
        Goal g{"5 memory: zorvik-cli on 11300 x 11300 (MB)",
               std::max(memory.selection.peakKb, memory.all.peakKb) / 1024.0, 0, 1024};
        g.unit = "MB";
        g.ratio = false;
        g.measured = memory.made && memory.selection.ran && memory.all.ran;
        g.note = g.measured ? "" : "the picture could not be made or decoded in time";
        goals.push_back(g);
    }
    {
        Goal g{"6 pictures a peer reads and ZORVIK does not", double(peerOnly), 0, 0};
        g.unit = "pictures";
        g.ratio = false;
        goals.push_back(g);
    }
    const QJsonArray goalsJson = PrintGoals(goals);
    std::printf("(in-process times are one thread's but the every-symbol search's, which uses "
                "two as it ships; goal 1's whole processes and goal 5 run zorvik-cli as it "
                "ships)\n");

    QJsonArray screensJson;
    for (const ScreenRun& r : screens)
        screensJson.append(QJsonObject{{"picture", QString::fromStdString(r.name)},
                                       {"drawn", r.drawn},
                                       {"found", int(r.ours.size())},
                                       {"zxingFound", int(r.theirs.size())},
                                       {"zorvikMs", r.zorvikMs},
                                       {"zxingMs", r.zxingMs},
                                       {"cliMs", r.cliMs},
                                       {"readerMs", r.readerMs},
                                       {"cliFound", r.cliFound},
                                       {"readerFound", r.readerFound},
                                       {"cliPeakMb", r.cliPeakKb / 1024.0},
                                       {"readerPeakMb", r.readerPeakKb / 1024.0}});

    QJsonObject document;
    document["goals"] = goalsJson;
    document["screens"] = screensJson;
    document["corpusMedianAlternating"] =
        QJsonObject{{"zorvik", alternatingZorvik}, {"zxing", alternatingZxing}};
    document["benchPeakMb"] = QJsonObject{{"loaded", loadedKb / 1024.0},
                                          {"decoded", decodedKb / 1024.0},
                                          {"screens", screensKb / 1024.0}};
    document["decoders"] = QJsonObject{
        {"zorvik", "RunDecode on the bitmap bytes, default options"},
        {"zorvikExact", "RunDecode on the bitmap bytes, exact mode"},
        {"zxing", QString("zxing-cpp %1.%2.%3 ReadBarcode, QR Code only, defaults otherwise")
                      .arg(ZXING_VERSION_MAJOR)
                      .arg(ZXING_VERSION_MINOR)
                      .arg(ZXING_VERSION_PATCH)},
        {"zbar", "zbar_scan_image, QR Code only, a fresh scanner per picture"}};
    document["timing"] = "steady_clock around each decode call, fastest of 3 runs, milliseconds";
    document["corpora"] = corporaJson;
    QFile out(QString::fromStdString(jsonPath));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(QJsonDocument(document).toJson()) < 0) {
        std::fprintf(stderr, "zorvik-bench: cannot write %s\n", jsonPath.c_str());
        return 1;
    }
    std::printf("\nwritten: %s\n", jsonPath.c_str());
    return 0;
}
