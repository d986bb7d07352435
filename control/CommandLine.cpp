#include "CommandLine.h"

#include "ResultLabels.h"
#include "Utf8.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: zorvik-cli [--json] [--exact] [--all] [-j N] [--segments FILE] [--debug DIR] "
    "FILE...";

constexpr const char* kHelp =
    "Decodes the QR Code in each picture file (BMP, PNG, JPEG, GIF, ...) and prints its text,\n"
    "one line a file. The file - is the picture on standard input.\n"
    "\n"
    "  --json           one JSON object a line: text, version, level, mask, labels, ...\n"
    "  --exact          the documented attempts and text reading alone\n"
    "  --all            every symbol of each picture, one line a symbol; with --json\n"
    "                   also its index and corners (not with --exact or --debug)\n"
    "  -j N             decode N files at once (default: one a core); the output\n"
    "                   keeps the order of the files\n"
    "  --segments FILE  write every picture's segment lines to FILE (Shift_JIS, CR LF)\n"
    "  --debug DIR      write the recognition dumps bitmap1.txt, bitmap3.txt and\n"
    "                   Adjust.txt into the folder DIR (one file at a time)\n"
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

// -j's count: decimal digits for 1..kMaxJobs.
bool ParseJobs(const std::string& text, unsigned& jobs) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const unsigned n = unsigned(std::stoul(text));
    if (n < 1 || n > kMaxJobs) return false;
    jobs = n;
    return true;
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
        } else if (a.rfind("-j", 0) == 0) { // -j N or -jN
            std::string count = a.substr(2);
            if (a.size() == 2 && !value(count)) return "-j needs a number\n" + std::string(kUsage);
            if (!ParseJobs(count, options.jobs))
                return "-j needs a number of files from 1 to " + std::to_string(kMaxJobs) +
                       ", not " + OneLineText(count) + "\n" + kUsage;
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
PictureScan ScanFile(const std::string& file, const PictureLoader& load, int threads) {
    PictureScan scan;
    scan.kind = DecodeOutcome::Kind::FileFailure;
    try {
        LoadedPicture picture = load(file);
        if (!picture.error.empty()) {
            scan.message = picture.error;
            return scan;
        }
        scan = picture.grey.width > 0 ? ScanPicture(picture.grey, SystemMilliseconds, threads)
                                      : ScanPicture(picture.bitmap, SystemMilliseconds, threads);
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

// Private scratch files for the segment lines: the decoder replaces its
// segment file on every decode, so each picture's run writes into a file of
// its own, whose content is then added to the user's file in file order.
class ScratchFolder {
  public:
    ScratchFolder() = default;
    ~ScratchFolder() {
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // "" when the folder was made, else why not.
    std::string Open() {
        std::error_code error;
        std::string name = (fs::temp_directory_path(error) / "zorvik-cli-XXXXXX").string();
        if (error || ::mkdtemp(name.data()) == nullptr)
            return "cannot make a scratch folder: " + ErrnoText(errno);
        folder_ = name;
        return "";
    }

    // Where the decoder writes the lines of the picture of that index;
    // absent before it runs.
    std::string File(size_t index) const {
        const fs::path file = fs::path(folder_) / ("segments-" + std::to_string(index) + ".txt");
        std::error_code ignored;
        fs::remove(file, ignored);
        return file.string();
    }

  private:
    std::string folder_;
};

// The user's segment file, replaced by the first picture that has lines and
// added to by the others.
class SegmentFile {
  public:
    explicit SegmentFile(std::string target) : target_(std::move(target)) {}

    // "" or why the user's file could not be written.
    std::string Append(const std::string& lines) {
        errno = 0;
        std::ofstream out(target_, std::ios::binary | (started_ ? std::ios::app : std::ios::trunc));
        started_ = true;
        out << lines;
        out.close();
        return out.fail() ? ErrnoText(errno) : "";
    }

  private:
    std::string target_;
    bool started_ = false; // the user's file has been replaced by this run
};

// Everything one file gives, made apart from the streams so that files
// decoded at once are still reported in the order of the files.
struct FileReport {
    std::string out, err;                // its lines for standard output and error
    std::optional<std::string> segments; // its segment lines, when its runs wrote any
    std::string segmentProblem;          // why they could not be read back
    bool unreadable = false, undecoded = false;
};

// Adds what the last decode left in its scratch file to report.segments.
void GatherSegments(const std::string& scratchFile, FileReport& report) {
    std::error_code ignored;
    if (!report.segmentProblem.empty() || !fs::exists(scratchFile, ignored)) return;
    std::ifstream in(scratchFile, std::ios::binary);
    const std::string lines((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) {
        report.segmentProblem = "cannot read the scratch file " + scratchFile;
        return;
    }
    report.segments = report.segments.value_or("") + lines;
    fs::remove(scratchFile, ignored);
}

// Makes each of count reports on up to jobs threads and hands them to deliver
// in index order, on the calling thread; once deliver returns false, no further
// report is begun. make must not throw. beforeThreads, where given, is called
// first when threads are to start.
void ReportInOrder(size_t count, unsigned jobs, const std::function<FileReport(size_t)>& make,
                   const std::function<bool(FileReport&)>& deliver,
                   const std::function<void()>& beforeThreads) {
    std::mutex mutex;
    std::condition_variable ready;
    std::vector<std::optional<FileReport>> reports(count);
    std::atomic<size_t> next = 0;
    std::atomic<bool> stop = false;
    auto work = [&] {
        for (size_t i; !stop && (i = next++) < count;) {
            FileReport report = make(i);
            const std::lock_guard lock(mutex);
            reports[i] = std::move(report);
            ready.notify_all();
        }
    };
    std::vector<std::thread> threads;
    // However this ends, no thread outlives what it works on.
    struct Joiner {
        std::vector<std::thread>& threads;
        std::atomic<bool>& stop;
        ~Joiner() {
            stop = true;
            for (std::thread& thread : threads) thread.join();
        }
    } joiner{threads, stop};
    if (jobs > 1 && count > 1) {
        if (beforeThreads) beforeThreads();
        try {
            while (threads.size() < std::min<size_t>(jobs, count)) threads.emplace_back(work);
        } catch (const std::system_error&) {
            // No more threads to be had: those started do the work.
        }
    }
    for (size_t i = 0; i < count; ++i) {
        FileReport report;
        if (threads.empty()) {
            report = make(i);
        } else {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return reports[i].has_value(); });
            report = std::move(*reports[i]);
            reports[i].reset();
        }
        if (!deliver(report)) break;
    }
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const PictureLoader& load,
                   std::ostream& out, std::ostream& err, bool outIsTerminal,
                   const PictureLoader& loadForSearch,
                   const std::function<void(const std::vector<std::string>&)>& beforeThreads) {
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
    SegmentFile segments(segmentFile);
    ScratchFolder scratch;
    if (options.decode.segmentInfo) {
        std::string problem = FileProblem(segmentFile);
        if (problem.empty()) problem = scratch.Open();
        if (!problem.empty()) {
            err << "zorvik-cli: cannot write the segment file " << OneLineText(segmentFile) << ": "
                << problem << "\n";
            return 2;
        }
    }

    // One outcome (with --all, of the symbol of that index) as out's line
    // and, for a file without one, the reason as err's.
    auto addOutcome = [&](FileReport& report, const std::string& file, const DecodeOutcome& outcome,
                          const FoundSymbol* symbol = nullptr, size_t index = 0) {
        const bool decoded = outcome.kind == DecodeOutcome::Kind::Decoded;
        if (options.json)
            report.out += (symbol ? JsonSymbolLine(file, index, *symbol, outcome.elapsedMs)
                                  : JsonLine(file, outcome)) +
                          "\n";
        else if (decoded)
            report.out += (outIsTerminal ? TerminalText(outcome.text) : outcome.text) + "\n";
        // Unreadable files are named on stderr in both modes.
        if (!decoded && (!options.json || outcome.kind == DecodeOutcome::Kind::FileFailure))
            report.err += OneLineText(file) + ": " + outcome.message + "\n";
    };
    // The dumps are one run's files: with them, one file at a time.
    unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    if (!debugFolder.empty()) jobs = 1;
    // Files on several threads keep the cores busy: each search takes one.
    const int searchThreads = jobs > 1 && options.files.size() > 1 ? 1 : 2;
    // One file's report, on whichever thread decodes it.
    auto makeReport = [&](size_t fileIndex) {
        const std::string& file = options.files[fileIndex];
        FileReport report;
        DecodeOptions decodeOptions = options.decode;
        decodeOptions.searchThreads = searchThreads;
        if (decodeOptions.segmentInfo) decodeOptions.infoFileName = scratch.File(fileIndex);
        if (options.all) {
            const PictureScan scan =
                ScanFile(file, loadForSearch ? loadForSearch : load, searchThreads);
            report.unreadable = scan.kind == DecodeOutcome::Kind::FileFailure;
            report.undecoded = scan.kind == DecodeOutcome::Kind::NotDecoded;
            for (size_t i = 0; i < scan.symbols.size(); ++i) {
                const FoundSymbol& symbol = scan.symbols[i];
                if (decodeOptions.segmentInfo) {
                    // The search's decoder writes no lines: each symbol's
                    // grid is decoded again alone, as a selection of it would be.
                    SymbolBox box;
                    box.ModulesAcross = box.ModulesDown = int16_t(symbol.matrix.size());
                    DecodeResult ignored;
                    DecodeEngine(decodeOptions).DecodeSymbol(symbol.matrix, box, ignored);
                    GatherSegments(decodeOptions.infoFileName, report);
                }
                addOutcome(report, file, OutcomeOf(symbol, scan.elapsedMs), &symbol, i);
            }
            if (scan.symbols.empty()) {
                DecodeOutcome none;
                none.kind = scan.kind;
                none.message = scan.message;
                addOutcome(report, file, none);
            }
            return report;
        }
        const DecodeOutcome outcome = DecodeFile(file, load, decodeOptions);
        report.unreadable = outcome.kind == DecodeOutcome::Kind::FileFailure;
        report.undecoded = outcome.kind == DecodeOutcome::Kind::NotDecoded;
        if (decodeOptions.segmentInfo) GatherSegments(decodeOptions.infoFileName, report);
        addOutcome(report, file, outcome);
        return report;
    };
    // Nothing may escape a thread: what no stage caught makes the file a
    // failure of its own.
    auto makeSafely = [&](size_t fileIndex) {
        try {
            return makeReport(fileIndex);
        } catch (...) {
            FileReport report;
            report.unreadable = true;
            report.err = OneLineText(options.files[fileIndex]) + ": cannot decode the file\n";
            return report;
        }
    };

    bool unreadable = false, undecoded = false, segmentsFailed = false, stopped = false;
    auto deliver = [&](FileReport& report) {
        unreadable |= report.unreadable;
        undecoded |= report.undecoded;
        if (!segmentsFailed && (report.segments || !report.segmentProblem.empty())) {
            std::string problem = report.segmentProblem;
            if (problem.empty()) problem = segments.Append(*report.segments);
            if (!problem.empty()) {
                err << "zorvik-cli: cannot write the segment file " << OneLineText(segmentFile)
                    << ": " << problem << "\n";
                segmentsFailed = true;
            }
        }
        out << report.out;
        if (outFailed()) return !(stopped = true);
        err << report.err;
        return true;
    };
    ReportInOrder(options.files.size(), jobs, makeSafely, deliver, [&] {
        if (beforeThreads) beforeThreads(options.files);
    });
    if (stopped) return 2;
    return unreadable || segmentsFailed ? 2 : undecoded ? 1 : 0;
}

} // namespace zorvik
