#include "CommandLine.h"
#include "PictureFile.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto load = [](const std::string& path) {
        zorvik::LoadedPicture picture = zorvik::LoadPictureAsBitmap(path);
        return zorvik::PictureLoad{std::move(picture.bitmap), std::move(picture.error)};
    };
    return zorvik::RunCommandLine(args, load, std::cout, std::cerr);
}
