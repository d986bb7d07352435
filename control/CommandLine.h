// The command-line decoder: zorvik-cli [--json] [--exact] [--all] [-j N]
// [--segments FILE] [--debug DIR] FILE..., --help and --version (--exact: the
// documented attempts and text reading alone). Each file is decoded as the
// desktop program decodes a selection of that picture, through the same run
// and label code; with --all every symbol of the picture is reported, as the
// every-symbol search finds them. Files are decoded N at a time (-j) and
// reported in the order they were given. The file "-" is the picture on
// standard input (at most once a command line).
#pragma once

#include "DecodeRun.h"
#include "PictureFile.h"

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// The first line of --version.
inline constexpr const char* kCliVersion = "zorvik-cli 1.2";

struct CommandLineOptions {
    bool json = false;
    bool help = false;    // --help or -h: the usage on standard output, nothing decoded
    bool version = false; // --version: kCliVersion and what it is, nothing decoded
    bool all = false;     // --all: every symbol of each picture (not with --exact or --debug)
    unsigned jobs = 0;    // -j N: files decoded at once, 1..kMaxJobs; 0 for one a core
    DecodeOptions decode;
    std::vector<std::string> files;
};

// The most files -j lets decode at once.
inline constexpr unsigned kMaxJobs = 256;

// "" and the options, or a one-line usage error. Files may be absent only
// with --help or --version.
std::string ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options);

// The file name that stands for standard input.
inline constexpr const char* kStandardInputName = "-";

// A picture file as bitmap bytes, or a one-line reason it cannot be used.
// It is given kStandardInputName as it is.
using PictureLoader = std::function<LoadedPicture(const std::string& path)>;

// UTF-8 text as the contents of a JSON string: quotes, backslashes and
// control characters escaped, invalid UTF-8 bytes as \ufffd.
std::string JsonEscape(std::string_view text);

// Decoded text as shown on a terminal, where a control character could
// move the cursor or rewrite the screen: tab, CR and LF stay; every other C0
// control, DEL and each byte that is not part of well-formed UTF-8 become
// \xHH (NUL \x00, ESC \x1b), and the C1 controls U+0080 to U+009F become
// \u0080 to \u009f, and the bidirectional controls (which could make one
// text look like another) \u202a to \u202e and \u2066 to \u2069. Backslashes stay as they are: the
// form is for reading;
// --json gives the exact text.
std::string TerminalText(std::string_view text);

// A file name in a one-line message: as TerminalText, with tab, CR and LF
// escaped too (\x09, \x0d, \x0a), so a name cannot forge a line.
std::string OneLineText(std::string_view text);

// One JSON object (no line end) for a decoded or undecoded picture. Its
// decode_ms is outcome.elapsedMs, the reading labels.DecodeTime shows.
std::string JsonLine(const std::string& file, const DecodeOutcome& outcome);

// One JSON object (no line end) for one symbol of an --all scan: JsonLine's
// fields for OutcomeOf(symbol, elapsedMs), with "index" after "file" and
// "corners", the symbol's four corners as [x, y] picture pixels in
// FoundSymbol order, after "labels".
std::string JsonSymbolLine(const std::string& file, size_t index, const FoundSymbol& symbol,
                           uint32_t elapsedMs);

// Runs the whole command line. Exit status: 0 every file decoded (with
// --all: gave at least one symbol; or --help, --version), 1 some did not, 2
// a usage error, a file that is not a readable picture, or a failed write:
// to out, to the --segments file, or a --debug folder that is missing or not
// a folder, each reported on err in one line starting "zorvik-cli: ". A
// --debug folder or --segments file that cannot be written stops the run
// before any file is read; out failing stops it at once. With --segments the
// file holds each picture's lines, in the order of the files, as a run of
// that picture alone would leave them (with --all: each found symbol's lines
// in the scan's order, as decoding that symbol alone leaves them); it is not
// touched while no picture has written any. Files are decoded on -j threads
// (by default one a core, std::thread::hardware_concurrency(); with --debug
// one, the dumps being one run's files) and everything a file gives (its
// lines on out and err, its segment lines) is written in the order of the
// files, as one job writes it; load is then called from several threads at
// once. With --all, --json prints one
// JsonSymbolLine a symbol, or JsonLine's "ok":false object with
// kNoSymbolFound for a picture without one; plain mode one line a symbol.
// outIsTerminal: out shows on a terminal, so plain text goes through
// TerminalText. loadForSearch, where given, loads the files of --all instead
// of load: it may give the grey picture alone (LoadedPicture::grey), which
// the search takes as it would take the grey of the bitmap. beforeThreads,
// where given, is called with the files on the calling thread before a
// second thread starts, for what the loaders need set up there first.
int RunCommandLine(
    const std::vector<std::string>& args, const PictureLoader& load, std::ostream& out,
    std::ostream& err, bool outIsTerminal = false, const PictureLoader& loadForSearch = nullptr,
    const std::function<void(const std::vector<std::string>& files)>& beforeThreads = nullptr);

} // namespace zorvik
