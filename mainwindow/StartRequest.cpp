#include "StartRequest.h"

#include <filesystem>

namespace zorvik {
namespace {

using Kind = StartRequest::Kind;

struct Command {
    const char* option;
    const char* word; // on the socket
    Kind kind;
};
constexpr Command kCommands[] = {
    {"--paste", "paste", Kind::Paste},
    {"--capture-window", "capture-window", Kind::CaptureWindow},
    {"--capture-desktop", "capture-desktop", Kind::CaptureDesktop},
};
constexpr std::string_view kRaiseWord = "raise";
constexpr std::string_view kOpenPrefix = "open:";

StartRequest Error(std::string reason) {
    return {Kind::Error, {}, std::move(reason)};
}

} // namespace

StartRequest ParseStartArguments(const std::vector<std::string>& arguments,
                                 const std::string& currentFolder) {
    // Help wins wherever it stands among the options.
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") return {Kind::Help, {}, {}};
    }
    StartRequest request;
    bool optionsEnded = false, chosen = false;
    for (const std::string& argument : arguments) {
        const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (isOption && argument == "--") {
            optionsEnded = true;
            continue;
        }
        StartRequest next;
        if (isOption) {
            const Command* command = nullptr;
            for (const Command& c : kCommands)
                if (argument == c.option) command = &c;
            if (!command) return Error("zorvik: unknown option " + argument + " (try --help)");
            next.kind = command->kind;
        } else {
            if (argument.empty()) return Error("zorvik: an empty file name");
            next.kind = Kind::Open;
            std::filesystem::path path(argument);
            if (path.is_relative()) path = std::filesystem::path(currentFolder) / path;
            next.path = path.string();
        }
        if (chosen) return Error("zorvik: one file or one command at a time (try --help)");
        request = next;
        chosen = true;
    }
    return request;
}

std::string EncodeRequest(const StartRequest& request) {
    if (request.kind == Kind::Open) return std::string(kOpenPrefix) + request.path;
    for (const Command& c : kCommands)
        if (request.kind == c.kind) return c.word;
    return std::string(kRaiseWord);
}

std::optional<StartRequest> DecodeRequest(std::string_view message) {
    if (message == kRaiseWord) return StartRequest{};
    if (message.starts_with(kOpenPrefix)) {
        const std::string_view path = message.substr(kOpenPrefix.size());
        // Only an absolute path without a NUL names the file the sender meant.
        if (path.empty() || path[0] != '/' || path.find('\0') != std::string_view::npos)
            return std::nullopt;
        return StartRequest{Kind::Open, std::string(path), {}};
    }
    for (const Command& c : kCommands)
        if (message == c.word) return StartRequest{c.kind, {}, {}};
    return std::nullopt;
}

DropChoice ChooseDrop(const std::vector<std::string>& localFiles, bool hasPicture) {
    if (!localFiles.empty()) return {DropChoice::Kind::File, localFiles.front()};
    if (hasPicture) return {DropChoice::Kind::Picture, {}};
    return {};
}

} // namespace zorvik
