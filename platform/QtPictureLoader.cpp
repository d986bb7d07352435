// QtPictureReader.h for a program that links no Qt: QtPictureReader.cpp is
// loaded as a module, once, the first time a picture needs it, from where
// the install layout keeps it relative to the program (the build tree keeps
// it there too).
#include "QtPictureReader.h"

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <system_error>

// The module relative to the program's folder; set by the build.
#ifndef ZORVIK_QT_MODULE_FROM_BIN
#define ZORVIK_QT_MODULE_FROM_BIN "../lib/zorvik/qt-pictures.so"
#endif

namespace zorvik {
namespace {

namespace fs = std::filesystem;

// The module's reader, or why there is none.
struct QtModule {
    QtPictureReading read = nullptr;
    std::string failure;
};

std::string LoaderFailure() {
    const char* why = ::dlerror();
    return why ? why : "the module cannot be loaded";
}

QtModule LoadModule() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) return {nullptr, "cannot find the program's folder: " + error.message()};
    const fs::path path = (program.parent_path() / ZORVIK_QT_MODULE_FROM_BIN).lexically_normal();
    // Never closed: Qt cannot be unloaded while the process runs.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return {nullptr, LoaderFailure()};
    auto open = reinterpret_cast<QtPictureReading (*)()>(::dlsym(module, kQtPictureModuleEntry));
    if (!open) return {nullptr, LoaderFailure()};
    return {open(), ""};
}

std::atomic<bool> sealed = false;

// Loaded on the first call, on whichever thread makes it, unless sealed.
const QtModule& Module() {
    static const QtModule module =
        sealed ? QtModule{nullptr, "the file changed while it was read"} : LoadModule();
    return module;
}

} // namespace

std::string QtPictureToBitmap(std::span<const uint8_t> bytes, std::vector<uint8_t>& bitmap) {
    const QtModule& module = Module();
    if (!module.read) return "cannot read this picture format: " + module.failure;
    return module.read(bytes, bitmap);
}

void PrepareQtPictureReading() {
    Module();
}

void SealQtPictureLoading() {
    sealed = true;
}

} // namespace zorvik
