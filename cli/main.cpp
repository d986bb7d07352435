#include "CommandLine.h"
#include "PictureFile.h"
#include "QtPictureReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    // With standard output closed, a file opened later would take its place
    // and receive the output: refuse to start instead.
    if (::fcntl(STDOUT_FILENO, F_GETFD) == -1) {
        std::cerr << "zorvik-cli: cannot write to standard output: " << std::strerror(errno)
                  << "\n";
        return 2;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    auto load = [](const std::string& path) {
        return path == zorvik::kStandardInputName ? zorvik::LoadStandardInputAsBitmap()
                                                  : zorvik::LoadPictureAsBitmap(path);
    };
    // --all needs only the grey picture, which a PNG gives without the bitmap.
    auto loadForSearch = [](const std::string& path) {
        return path == zorvik::kStandardInputName ? zorvik::LoadStandardInputForSearch()
                                                  : zorvik::LoadPictureForSearch(path);
    };
    // Qt is loaded before the threads start where a file needs it, and never
    // for a command line of PNGs and bitmaps; never on a worker thread.
    auto beforeThreads = [](const std::vector<std::string>& files) {
        if (std::any_of(files.begin(), files.end(), [](const std::string& file) {
                return file == zorvik::kStandardInputName ? zorvik::StandardInputNeedsQt()
                                                          : zorvik::PictureFileNeedsQt(file);
            }))
            zorvik::PrepareQtPictureReading();
        zorvik::SealQtPictureLoading();
    };
    return zorvik::RunCommandLine(args, load, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1,
                                  loadForSearch, beforeThreads);
}
