// The command-line decoder: zorvik-cli [--json] [--exact] [--segments FILE]
// [--debug DIR] FILE... (--exact: the documented attempts and text reading
// alone). Each file is decoded as the desktop program decodes
// a selection of that picture, through the same run and label code.
#pragma once

#include "DecodeRun.h"
#include "PictureFile.h"

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

struct CommandLineOptions {
    bool json = false;
    DecodeOptions decode;
    std::vector<std::string> files;
};

// "" and the options, or a one-line usage error.
std::string ParseCommandLine(const std::vector<std::string>& args, CommandLineOptions& options);

// A picture file as bitmap bytes, or a one-line reason it cannot be used.
using PictureLoader = std::function<LoadedPicture(const std::string& path)>;

// UTF-8 text as the contents of a JSON string: quotes, backslashes and
// control characters escaped, invalid UTF-8 bytes as \ufffd.
std::string JsonEscape(std::string_view text);

// One JSON object (no line end) for a decoded or undecoded picture.
std::string JsonLine(const std::string& file, const DecodeOutcome& outcome, double decodeMs);

// Runs the whole command line. Exit status: 0 every file decoded, 1 some
// did not, 2 a usage error or a file that is not a readable picture.
int RunCommandLine(const std::vector<std::string>& args, const PictureLoader& load,
                   std::ostream& out, std::ostream& err);

} // namespace zorvik
