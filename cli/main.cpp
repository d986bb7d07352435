#include "CommandLine.h"
#include "PictureFile.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zorvik::RunCommandLine(args, zorvik::LoadPictureAsBitmap, std::cout, std::cerr);
}
