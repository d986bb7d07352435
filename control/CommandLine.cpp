#include "CommandLine.h"

#include "ResultLabels.h"
#include "Utf8.h"

#include <chrono>
#include <cstdio>

namespace zorvik {
namespace {

constexpr const char* kUsage =
    "usage: zorvik-cli [--json] [--exact] [--segments FILE] [--debug DIR] FILE...";

std::string Number(double v, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string Quoted(std::string_view s) {
    return "\"" + JsonEscape(s) + "\"";
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
        } else if (a == "--exact") {
            options.decode.exact = true;
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
    if (options.files.empty()) return kUsage;
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

std::string JsonLine(const std::string& file, const DecodeOutcome& outcome, double decodeMs) {
    const bool ok = outcome.kind == DecodeOutcome::Kind::Decoded;
    std::string line = "{\"file\":" + Quoted(file) + ",\"ok\":" + (ok ? "true" : "false") +
                       ",\"message\":" + Quoted(outcome.message);
    if (!ok) return line + ",\"text\":null}";
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
    line += ",\"decode_ms\":" + Number(decodeMs, "%.2f");
    line += ",\"labels\":{\"Version\":" + Quoted(labels.Version) +
            ",\"CorrLevel\":" + Quoted(labels.CorrLevel) + ",\"MaxCor\":" + Quoted(labels.MaxCor) +
            ",\"CorRate\":" + Quoted(labels.CorRate) + ",\"MaskNo\":" + Quoted(labels.MaskNo) +
            ",\"ConcatNo\":" + Quoted(labels.ConcatNo) +
            ",\"DataWord\":" + Quoted(labels.DataWord) +
            ",\"CompressRate\":" + Quoted(labels.CompressRate) +
            ",\"DecodeTime\":" + Quoted(labels.DecodeTime) + "}}";
    return line;
}

namespace {

// One file through the loader and the run; a file that cannot be used is a
// FileFailure with its reason. ms is the wall-clock time of the run.
DecodeOutcome DecodeFile(const std::string& file, const PictureLoader& load,
                         const DecodeOptions& options, double& ms) {
    DecodeOutcome outcome;
    outcome.kind = DecodeOutcome::Kind::FileFailure;
    ms = 0;
    try {
        LoadedPicture picture = load(file);
        if (!picture.error.empty()) {
            outcome.message = picture.error;
            return outcome;
        }
        // A fresh decoder per file: nothing carries over between pictures.
        RecognitionStages stages(options);
        auto start = std::chrono::steady_clock::now();
        outcome = RunDecode(picture.bitmap, stages);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count();
    } catch (const std::exception& e) {
        outcome.message = std::string("cannot decode the file: ") + e.what();
    }
    return outcome;
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const PictureLoader& load,
                   std::ostream& out, std::ostream& err) {
    CommandLineOptions options;
    if (std::string usage = ParseCommandLine(args, options); !usage.empty()) {
        err << usage << "\n";
        return 2;
    }
    bool unreadable = false, undecoded = false;
    for (const std::string& file : options.files) {
        double ms = 0;
        const DecodeOutcome outcome = DecodeFile(file, load, options.decode, ms);
        const bool decoded = outcome.kind == DecodeOutcome::Kind::Decoded;
        unreadable |= outcome.kind == DecodeOutcome::Kind::FileFailure;
        undecoded |= outcome.kind == DecodeOutcome::Kind::NotDecoded;

        if (options.json)
            out << JsonLine(file, outcome, ms) << "\n";
        else if (decoded)
            out << outcome.text << "\n";
        // Unreadable files are named on stderr in both modes.
        if (!decoded && (!options.json || outcome.kind == DecodeOutcome::Kind::FileFailure))
            err << file << ": " << outcome.message << "\n";
    }
    out.flush();
    return unreadable ? 2 : undecoded ? 1 : 0;
}

} // namespace zorvik
