#include "CommandLine.h"

#include "ResultLabels.h"
#include "Utf8.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: zorvik-cli [--json] [--exact] [--all] [--segments FILE] [--debug DIR] FILE...";

constexpr const char* kHelp =
    "Decodes the QR Code in each picture file (BMP, PNG, JPEG, GIF, ...) and prints its text,\n"
    "one line a file. The file - is the picture on standard input.\n"
    "\n"
    "  --json           one JSON object a line: text, version, level, mask, labels, ...\n"
    "  --exact          the documented attempts and text reading alone\n"
    "  --all            every symbol of each picture, one line a symbol; with --json\n"
    "                   also its index and corners (not with --exact or --debug)\n"
    "  --segments FILE  write every picture's segment lines to FILE (Shift_JIS, CR LF)\n"
    "  --debug DIR      write the recognition dumps bitmap1.txt, bitmap3.txt and\n"
    "                   Adjust.txt into the folder DIR\n"
    "  --help, -h       show this text\n"
    "  --version        show the program's version\n"
    "\n"
    "Exit status: 0 every file decoded (with --all: gave a symbol), 1 some did not,\n"
    "2 a usage error, a file that is not a readable picture, or a failed write.\n";

std::string Number(double v, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string Quoted(std::string_view s) {
    return "\"" + JsonEscape(s) + "\"";
}

std::string Hex(unsigned char c, const char* format) {
    char buf[8];
    std::snprintf(buf, sizeof buf, format, c);
    return buf;
}

std::string ErrnoText(int number) {
    return number != 0 ? std::strerror(number) : "write error";
}

// A picture coordinate as a JSON number; JSON has no infinity or NaN.
std::string Coordinate(double v) {
    return std::isfinite(v) ? Number(v, "%.6g") : "null";
}

} // namespace

std::string ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) -> bool {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--json") {
            options.json = true;
        } else if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--version") {
            options.version = true;
        } else if (a == "--exact") {
            options.decode.exact = true;
        } else if (a == "--all") {
            options.all = true;
        } else if (a == "--segments") {
            if (!value(options.decode.infoFileName))
                return "--segments needs a FILE\n" + std::string(kUsage);
            options.decode.segmentInfo = true;
        } else if (a == "--debug") {
            if (!value(options.decode.debugFolder))
                return "--debug needs a DIR\n" + std::string(kUsage);
        } else if (a == "--") {
            options.files.insert(options.files.end(), args.begin() + long(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a + "\n" + kUsage;
        } else {
            options.files.push_back(a);
        }
    }
    if (options.files.empty() && !options.help && !options.version) return kUsage;
    // The every-symbol search is no documented attempt and writes no dumps.
    if (options.all && options.decode.exact)
        return "--all cannot be used with --exact\n" + std::string(kUsage);
    if (options.all && !options.decode.debugFolder.empty())
        return "--all cannot be used with --debug\n" + std::string(kUsage);
    if (std::count(options.files.begin(), options.files.end(), kStandardInputName) > 1)
        return "standard input (-) can be read only once\n" + std::string(kUsage);
    return "";
}

std::string JsonEscape(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        unsigned char c = static_cast<unsigned char>(text[0]);
        size_t length = ReadUtf8Character(text).length;
        if (length == 0) {
            out += "\\ufffd";
            length = 1;
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

namespace {

std::string SafeText(std::string_view text, bool keepLineBreaks) {
    std::string out;
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        const Utf8Character character = ReadUtf8Character(text);
        size_t length = character.length;
        if (length == 0) {
            out += Hex(c, "\\x%02x");
            length = 1;
        } else if (IsBidiControl(character.code)) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(character.code));
            out += buf;
        } else if (keepLineBreaks && (c == '\t' || c == '\n' || c == '\r')) {
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += Hex(c, "\\x%02x");
        } else if (c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            out += Hex(static_cast<unsigned char>(text[1]), "\\u00%02x"); // C1 control
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace

std::string TerminalText(std::string_view text) {
    return SafeText(text, true);
}

std::string OneLineText(std::string_view text) {
    return SafeText(text, false);
}

namespace {

// JsonLine's fields after "file" (and "index"), without the closing brace.
std::string OutcomeFields(const DecodeOutcome& outcome) {
    const bool ok = outcome.kind == DecodeOutcome::Kind::Decoded;
    std::string line = std::string(",\"ok\":") + (ok ? "true" : "false") +
                       ",\"message\":" + Quoted(outcome.message);
    if (!ok) return line + ",\"text\":null";
    const DecodeResult& r = outcome.result;
    const ResultLabels labels = MakeResultLabels(r, outcome.elapsedMs);
    line += ",\"text\":" + Quoted(outcome.text);
    line += ",\"version\":" + std::to_string(r.SymbolVersion);
    line += ",\"level\":" + (labels.CorrLevel.empty() ? "null" : Quoted(labels.CorrLevel));
    line += ",\"mask\":" + std::to_string(r.MaskPattern);
    line += ",\"sequence_byte\":" + std::to_string(r.SequenceByte);
    line += ",\"error_rate\":" + Number(double(r.ErrorRate), "%.7g");
    line += ",\"data_codewords\":" + std::to_string(r.DataWordCount);
    line += ",\"text_bytes\":" + std::to_string(r.TextByteCount);
    // The run's own clock, so that decode_ms and DecodeTime always agree.
    line += ",\"decode_ms\":" + std::to_string(outcome.elapsedMs);
    line += ",\"labels\":{\"Version\":" + Quoted(labels.Version) +
            ",\"CorrLevel\":" + Quoted(labels.CorrLevel) + ",\"MaxCor\":" + Quoted(labels.MaxCor) +
            ",\"CorRate\":" + Quoted(labels.CorRate) + ",\"MaskNo\":" + Quoted(labels.MaskNo) +
            ",\"ConcatNo\":" + Quoted(labels.ConcatNo) +
            ",\"DataWord\":" + Quoted(labels.DataWord) +
            ",\"CompressRate\":" + Quoted(labels.CompressRate) +
            ",\"DecodeTime\":" + Quoted(labels.DecodeTime) + "}";
    return line;
}

} // namespace

std::string JsonLine(const std::string& file, const DecodeOutcome& outcome) {
    return "{\"file\":" + Quoted(file) + OutcomeFields(outcome) + "}";
}

std::string JsonSymbolLine(const std::string& file, size_t index, const FoundSymbol& symbol,
                           uint32_t elapsedMs) {
    std::string corners;
    for (const PlanePoint& p : symbol.corners)
        corners += std::string(corners.empty() ? "[" : ",") + "[" + Coordinate(p.x) + "," +
                   Coordinate(p.y) + "]";
    return "{\"file\":" + Quoted(file) + ",\"index\":" + std::to_string(index) +
           OutcomeFields(OutcomeOf(symbol, elapsedMs)) + ",\"corners\":" + corners + "]}";
}

namespace {

// One file through the loader and the run; a file that cannot be used is a
// FileFailure with its reason.
DecodeOutcome DecodeFile(const std::string& file, const PictureLoader& load,
                         const DecodeOptions& options) {
    DecodeOutcome outcome;
    outcome.kind = DecodeOutcome::Kind::FileFailure;
    try {
        LoadedPicture picture = load(file);
        if (!picture.error.empty()) {
            outcome.message = picture.error;
            return outcome;
        }
        // A fresh decoder per file: nothing carries over between pictures.
        RecognitionStages stages(options);
        outcome = RunDecode(picture.bitmap, stages);
    } catch (const std::exception& e) {
        outcome.message = std::string("cannot decode the file: ") + e.what();
    }
    return outcome;
}

// One file through the loader and the every-symbol search, as DecodeFile.
PictureScan ScanFile(const std::string& file, const PictureLoader& load) {
    PictureScan scan;
    scan.kind = DecodeOutcome::Kind::FileFailure;
    try {
        LoadedPicture picture = load(file);
        if (!picture.error.empty()) {
            scan.message = picture.error;
            return scan;
        }
        scan = ScanPicture(picture.bitmap);
    } catch (const std::exception& e) {
        scan.message = std::string("cannot decode the file: ") + e.what();
    }
    return scan;
}

// "" when dir is a folder the dumps can be written into, else why not.
std::string FolderProblem(const std::string& dir) {
    std::error_code ignored;
    const fs::file_status status = fs::status(dir, ignored);
    if (!fs::exists(status)) return "no such folder";
    if (!fs::is_directory(status)) return "not a folder";
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return ErrnoText(errno);
    return "";
}

// "" when path can be written as a file, whether it exists or not yet.
std::string FileProblem(const std::string& path) {
    std::error_code ignored;
    const fs::file_status status = fs::status(path, ignored);
    if (fs::is_directory(status)) return "it is a folder";
    if (fs::exists(status)) return ::access(path.c_str(), W_OK) == 0 ? "" : ErrnoText(errno);
    fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) parent = ".";
    const fs::file_status parentStatus = fs::status(parent, ignored);
    if (!fs::exists(parentStatus)) return "no such folder " + parent.string();
    if (!fs::is_directory(parentStatus)) return parent.string() + " is not a folder";
    if (::access(parent.c_str(), W_OK | X_OK) != 0) return ErrnoText(errno);
    return "";
}

// Gathers the segment lines of every picture into one file. The decoder
// replaces its segment file on every decode, so each picture writes into a
// private scratch file, whose content is then added to the user's file.
class SegmentCollector {
  public:
    explicit SegmentCollector(std::string target) : target_(std::move(target)) {}
    ~SegmentCollector() {
        std::error_code ignored;
        if (!scratchFolder_.empty()) fs::remove_all(scratchFolder_, ignored);
    }
    SegmentCollector(const SegmentCollector&) = delete;
    SegmentCollector& operator=(const SegmentCollector&) = delete;

    // "" when the user's file can be written and the scratch file made.
    std::string Open() {
        if (std::string problem = FileProblem(target_); !problem.empty()) return problem;
        std::error_code error;
        std::string name = (fs::temp_directory_path(error) / "zorvik-cli-XXXXXX").string();
        if (error || ::mkdtemp(name.data()) == nullptr)
            return "cannot make a scratch folder: " + ErrnoText(errno);
        scratchFolder_ = name;
        return "";
    }

    // Where the decoder writes one picture's lines; absent before it runs.
    std::string ScratchFile() {
        const fs::path file = fs::path(scratchFolder_) / "segments.txt";
        std::error_code ignored;
        fs::remove(file, ignored);
        return file.string();
    }

    // Adds what the picture's run left in the scratch file; "" or why the
    // user's file could not be written.
    std::string Collect() {
        const fs::path file = fs::path(scratchFolder_) / "segments.txt";
        std::error_code ignored;
        if (!fs::exists(file, ignored)) return "";
        std::ifstream in(file, std::ios::binary);
        const std::string lines((std::istreambuf_iterator<char>(in)), {});
        if (in.bad()) return "cannot read the scratch file " + file.string();
        errno = 0;
        std::ofstream out(target_, std::ios::binary | (started_ ? std::ios::app : std::ios::trunc));
        started_ = true;
        out << lines;
        out.close();
        return out.fail() ? ErrnoText(errno) : "";
    }

  private:
    std::string target_;
    std::string scratchFolder_;
    bool started_ = false; // the user's file has been replaced by this run
};

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const PictureLoader& load,
                   std::ostream& out, std::ostream& err, bool outIsTerminal) {
    CommandLineOptions options;
    if (std::string usage = ParseCommandLine(args, options); !usage.empty()) {
        err << usage << "\n";
        return 2;
    }
    // Whatever goes to out is worth nothing when it does not arrive.
    auto outFailed = [&] {
        errno = 0;
        out.flush();
        if (out) return false;
        err << "zorvik-cli: cannot write to standard output: " << ErrnoText(errno) << "\n";
        return true;
    };
    if (options.help || options.version) {
        if (options.help)
            out << kUsage << "\n\n" << kHelp;
        else
            out << kCliVersion << "\nQR Code decoder of the ZORVIK project, built with Qt "
                << QT_VERSION_STR << "\n";
        return outFailed() ? 2 : 0;
    }
    const std::string& debugFolder = options.decode.debugFolder;
    if (!debugFolder.empty()) {
        if (std::string problem = FolderProblem(debugFolder); !problem.empty()) {
            err << "zorvik-cli: cannot write the dumps into " << OneLineText(debugFolder) << ": "
                << problem << "\n";
            return 2;
        }
    }
    const std::string& segmentFile = options.decode.infoFileName;
    SegmentCollector segments(segmentFile);
    if (options.decode.segmentInfo) {
        if (std::string problem = segments.Open(); !problem.empty()) {
            err << "zorvik-cli: cannot write the segment file " << OneLineText(segmentFile) << ": "
                << problem << "\n";
            return 2;
        }
    }

    bool unreadable = false, undecoded = false, segmentsFailed = false;
    auto collectSegments = [&] {
        if (segmentsFailed) return;
        if (std::string problem = segments.Collect(); !problem.empty()) {
            err << "zorvik-cli: cannot write the segment file " << OneLineText(segmentFile) << ": "
                << problem << "\n";
            segmentsFailed = true;
        }
    };
    // One outcome on out (with --all, of the symbol of that index), and the
    // reason on err for a file without one; false when out failed.
    auto report = [&](const std::string& file, const DecodeOutcome& outcome,
                      const FoundSymbol* symbol = nullptr, size_t index = 0) {
        const bool decoded = outcome.kind == DecodeOutcome::Kind::Decoded;
        if (options.json)
            out << (symbol ? JsonSymbolLine(file, index, *symbol, outcome.elapsedMs)
                           : JsonLine(file, outcome))
                << "\n";
        else if (decoded)
            out << (outIsTerminal ? TerminalText(outcome.text) : outcome.text) << "\n";
        if (outFailed()) return false;
        // Unreadable files are named on stderr in both modes.
        if (!decoded && (!options.json || outcome.kind == DecodeOutcome::Kind::FileFailure))
            err << OneLineText(file) << ": " << outcome.message << "\n";
        return true;
    };
    for (const std::string& file : options.files) {
        if (options.all) {
            const PictureScan scan = ScanFile(file, load);
            unreadable |= scan.kind == DecodeOutcome::Kind::FileFailure;
            undecoded |= scan.kind == DecodeOutcome::Kind::NotDecoded;
            for (size_t i = 0; i < scan.symbols.size(); ++i) {
                const FoundSymbol& symbol = scan.symbols[i];
                if (options.decode.segmentInfo && !segmentsFailed) {
                    // The search's decoder writes no lines: each symbol's
                    // grid is decoded again alone, as a selection of it would be.
                    DecodeOptions decodeOptions = options.decode;
                    decodeOptions.infoFileName = segments.ScratchFile();
                    SymbolBox box;
                    box.ModulesAcross = box.ModulesDown = int16_t(symbol.matrix.size());
                    DecodeResult ignored;
                    DecodeEngine(decodeOptions).DecodeSymbol(symbol.matrix, box, ignored);
                    collectSegments();
                }
                if (!report(file, OutcomeOf(symbol, scan.elapsedMs), &symbol, i)) return 2;
            }
            if (scan.symbols.empty()) {
                DecodeOutcome none;
                none.kind = scan.kind;
                none.message = scan.message;
                if (!report(file, none)) return 2;
            }
            continue;
        }
        DecodeOptions decodeOptions = options.decode;
        if (decodeOptions.segmentInfo) decodeOptions.infoFileName = segments.ScratchFile();
        const DecodeOutcome outcome = DecodeFile(file, load, decodeOptions);
        unreadable |= outcome.kind == DecodeOutcome::Kind::FileFailure;
        undecoded |= outcome.kind == DecodeOutcome::Kind::NotDecoded;
        if (decodeOptions.segmentInfo) collectSegments();
        if (!report(file, outcome)) return 2;
    }
    return unreadable || segmentsFailed ? 2 : undecoded ? 1 : 0;
}

} // namespace zorvik
