// The desktop program's command line, the requests that travel to a running
// program, and the name that keeps one program per user and display.
#include "StartRequest.h"
#include "SingleInstance.h"

#include <gtest/gtest.h>

namespace zorvik {
namespace {

using Kind = StartRequest::Kind;

TEST(StartArguments, ParseRules) {
    struct Case {
        std::vector<std::string> arguments;
        StartRequest expected;
    };
    const Case cases[] = {
        {{}, {Kind::Raise, "", ""}},
        {{"a.png"}, {Kind::Open, "/home/u/a.png", ""}},
        {{"../b/c.bmp"}, {Kind::Open, "/home/u/../b/c.bmp", ""}},
        {{"/abs/写真.png"}, {Kind::Open, "/abs/写真.png", ""}},
        {{"--", "-x.png"}, {Kind::Open, "/home/u/-x.png", ""}},
        {{"--paste"}, {Kind::Paste, "", ""}},
        {{"--capture-desktop"}, {Kind::CaptureDesktop, "", ""}},
        {{"--paste", "--help"}, {Kind::Help, "", ""}},
        {{"--bogus", "-h"}, {Kind::Help, "", ""}},
        {{"--", "--help"}, {Kind::Open, "/home/u/--help", ""}},
        {{"--bogus"}, {Kind::Error, "", "zorvik: unknown option --bogus (try --help)"}},
        {{"a.png", "b.png"},
         {Kind::Error, "", "zorvik: one file or one command at a time (try --help)"}},
        {{"--paste", "a.png"},
         {Kind::Error, "", "zorvik: one file or one command at a time (try --help)"}},
        {{""}, {Kind::Error, "", "zorvik: an empty file name"}},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.arguments) shown += "[" + a + "]";
        EXPECT_EQ(ParseStartArguments(c.arguments, "/home/u"), c.expected) << shown;
    }
}

TEST(StartArguments, RequestsTravelIntactAndNothingElseIsTakenForOne) {
    for (const StartRequest& r :
         {StartRequest{}, StartRequest{Kind::Open, "/a b/写真\n.png", ""},
          StartRequest{Kind::Paste, "", ""}, StartRequest{Kind::CaptureWindow, "", ""},
          StartRequest{Kind::CaptureDesktop, "", ""}})
        EXPECT_EQ(DecodeRequest(EncodeRequest(r)), r) << EncodeRequest(r);
    using namespace std::string_view_literals;
    for (std::string_view junk : {""sv, "open:"sv, "open:relative.png"sv, "open:/a\0b"sv,
                                  "paste\n"sv, "Paste"sv, "help"sv, "GET / HTTP/1.0"sv})
        EXPECT_EQ(DecodeRequest(junk), std::nullopt) << junk;
}

TEST(SingleInstanceName, OnePerUserAndDisplay) {
    struct Case {
        unsigned uid;
        const char *platform, *display, *wayland, *runtime, *expected;
    };
    const std::string longFolder = "/" + std::string(100, 'r');
    const Case cases[] = {
        {1000, "xcb", ":0", "", "/run/user/1000", "/run/user/1000/zorvik-x11-:0"},
        {1000, "xcb", ":0.1", "", "/run/user/1000/", "/run/user/1000/zorvik-x11-:0"},
        {0, "xcb", "host/unix:12.0", "", "", "/tmp/zorvik-0-x11-host_unix:12"},
        {1000, "wayland", ":0", "wayland-1", "/run/user/1000", "/run/user/1000/zorvik-wayland-1"},
        {1000, "offscreen", ":0", "", "/run/user/1000", ""},
        {1000, "xcb", ":1", "", "relative", "/tmp/zorvik-1000-x11-:1"},
        {7, "xcb", ":5", "", longFolder.c_str(), "/tmp/zorvik-7-x11-:5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SingleInstanceName(c.uid, c.platform, c.display, c.wayland, c.runtime),
                  c.expected)
            << c.platform << " " << c.display;
}

} // namespace
} // namespace zorvik
