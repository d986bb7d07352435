#include "CommandLine.h"
#include "PictureFile.h"

#include <QtGlobal>

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
    // Qt's own warnings (its image readers pass on their libraries') would
    // stand before the one line that says what became of a file; that line
    // says all a user needs.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) std::cerr << "zorvik-cli: " << message.toStdString() << "\n";
    });
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
    return zorvik::RunCommandLine(args, load, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1,
                                  loadForSearch, zorvik::PrepareQtPictureReading);
}
