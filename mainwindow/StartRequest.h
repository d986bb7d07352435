// What the desktop program is asked to do when it starts, or when another
// start hands its request to the program already running: raise the window,
// open a picture file, or run a command. Also what a drop on the window
// holds. Plain rules; main() and the main window act on them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

inline constexpr const char* kStartUsage =
    "usage: zorvik [FILE | --paste | --capture-window | --capture-desktop]\n"
    "  FILE               open a picture file (any format Qt reads; BMP as it is)\n"
    "  --paste            paste the clipboard's picture\n"
    "  --capture-window   capture the active window\n"
    "  --capture-desktop  capture the whole desktop\n"
    "  --help             show this help\n"
    "When ZORVIK already runs on this display, the request goes to its window.\n";

struct StartRequest {
    enum class Kind { Raise, Open, Paste, CaptureWindow, CaptureDesktop, Help, Error };
    Kind kind = Kind::Raise;
    std::string path;  // Open: an absolute path
    std::string error; // Error: a one-line reason

    bool operator==(const StartRequest&) const = default;
};

// The arguments after the program's name (the window system's own options
// already taken out). One file or one command at most; "--" ends the
// options, so a file named "-x" can be opened. A relative path is taken from
// currentFolder, the caller's folder, here in the starting process.
StartRequest ParseStartArguments(const std::vector<std::string>& arguments,
                                 const std::string& currentFolder);

// The request as it travels to the running program, and back; nullopt for
// bytes that are no request (Help and Error never travel).
std::string EncodeRequest(const StartRequest& request);
std::optional<StartRequest> DecodeRequest(std::string_view message);

// What a drop on the window opens: the first local file among the dropped
// addresses, else the picture data it carries, else nothing (refused).
struct DropChoice {
    enum class Kind { Nothing, File, Picture };
    Kind kind = Kind::Nothing;
    std::string path; // File

    bool operator==(const DropChoice&) const = default;
};
// localFiles: the dropped addresses that name local files, in drop order.
DropChoice ChooseDrop(const std::vector<std::string>& localFiles, bool hasPicture);

} // namespace zorvik
