// The command-line decoder: options, JSON that parses back for any text, and
// the real program on good and bad files with its exit statuses.
#include "CommandLine.h"
#include "QrFixtures.h"
#include "TempFolder.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace zorvik;
namespace fs = std::filesystem;

namespace {

QJsonObject ParseJson(const std::string& line) {
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    return doc.object();
}

struct Program {
    int status;
    std::string out, err;
};

// A shell command, its standard error collected in dir.
Program RunCommand(const std::string& command, const fs::path& dir) {
    fs::path err = dir / "stderr.txt";
    std::string cmd = command + " 2>" + err.string();
    Program p{};
    FILE* pipe = popen(cmd.c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) p.out.append(buf.data(), n);
    p.status = WEXITSTATUS(pclose(pipe));
    p.err = test::ReadFileBytes(err);
    return p;
}

Program RunCli(const std::string& arguments, const fs::path& dir) {
    return RunCommand(std::string(ZORVIK_BIN_DIR) + "/zorvik-cli " + arguments, dir);
}

// The program through the shell, for redirections RunCli cannot make; its
// standard output goes where `redirect` sends it.
Program RunShell(const std::string& arguments, const std::string& redirect, const fs::path& dir) {
    fs::path err = dir / "stderr.txt";
    const std::string cmd = std::string(ZORVIK_BIN_DIR) + "/zorvik-cli " + arguments + " " +
                            redirect + " 2>" + err.string();
    Program p{};
    p.status = WEXITSTATUS(std::system(cmd.c_str()));
    p.err = test::ReadFileBytes(err);
    return p;
}

// The program with a pseudo-terminal as its standard output; what the
// terminal received.
std::string RunOnTerminal(const std::vector<std::string>& arguments) {
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv;
        const std::string program = std::string(ZORVIK_BIN_DIR) + "/zorvik-cli";
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    std::string seen;
    if (child < 0) return seen;
    std::array<char, 4096> buf;
    for (;;) {
        const ssize_t n = ::read(master, buf.data(), buf.size());
        if (n > 0)
            seen.append(buf.data(), size_t(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // EIO once the program has ended
    }
    ::close(master);
    int status = 0;
    ::waitpid(child, &status, 0);
    return seen;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// As a PNG, or in the format the name ends in.
void SavePng(const test::Picture& p, const fs::path& path) {
    QImage image(p.width, p.height, QImage::Format_Grayscale8);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) image.scanLine(y)[x] = p.grey[size_t(y) * p.width + x];
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()),
                           path.extension() == ".jpg" ? "JPEG" : "PNG", 95));
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A 360 x 300 white page with symbols of 4-pixel modules, each with its
// top-left module at (x, y).
struct Placed {
    std::string text;
    int x, y;
};
test::Picture Page(const std::vector<Placed>& symbols) {
    test::Picture page;
    page.width = 360, page.height = 300;
    page.grey.assign(360 * 300, 255);
    for (const Placed& s : symbols) {
        const test::Picture p = test::Render(test::EncodeText(s.text, 1), 4, 0);
        for (int r = 0; r < p.height; ++r)
            std::copy_n(&p.grey[size_t(r * p.width)], p.width, &page.at(s.y + r, s.x));
    }
    return page;
}

class CliFiles : public ::testing::Test {
  protected:
    test::TempFolder folder{"cli"};
    const fs::path& dir = folder.path();
};

} // namespace

TEST(ParseCommandLine, OptionsFilesAndUsageErrors) {
    CommandLineOptions o;
    EXPECT_EQ(ParseCommandLine({"--json", "--segments", "s.txt", "--debug", "d", "a.png", "b"}, o),
              "");
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.decode.segmentInfo);
    EXPECT_EQ(o.decode.infoFileName, "s.txt");
    EXPECT_EQ(o.decode.debugFolder, "d");
    EXPECT_EQ(o.files, (std::vector<std::string>{"a.png", "b"}));

    // The every-symbol search has no exact form and writes no dumps; standard
    // input is read once.
    // clang-format off
    const std::vector<std::vector<std::string>> usageErrors = {
        {}, {"--json"}, {"--segments"}, {"--debug"}, {"--bogus", "a.png"},
        {"--all", "--exact", "a.png"}, {"--debug", "d", "--all", "a.png"}, {"-", "a", "-"},
        {"-j", "0", "a"}, {"-j", "x", "a"}, {"-j", "-1", "a"}, {"-j", "2x", "a"}, {"-j257", "a"},
        {"-j", "99999999999", "a"}, {"a", "-j"}};
    // clang-format on
    for (const auto& args : usageErrors) {
        CommandLineOptions bad;
        EXPECT_NE(ParseCommandLine(args, bad), "") << ::testing::PrintToString(args);
    }
    for (const auto& [args, jobs] : std::vector<std::pair<std::vector<std::string>, unsigned>>{
             {{"a"}, 0u}, {{"-j", "2", "a"}, 2u}, {{"-j3", "a"}, 3u}, {{"-j", "256", "a"}, 256u}}) {
        CommandLineOptions counted;
        EXPECT_EQ(ParseCommandLine(args, counted), "") << ::testing::PrintToString(args);
        EXPECT_EQ(counted.jobs, jobs) << ::testing::PrintToString(args);
    }
    CommandLineOptions dashed;
    EXPECT_EQ(ParseCommandLine({"--", "--json"}, dashed), "");
    EXPECT_EQ(dashed.files, std::vector<std::string>{"--json"});

    // --help and --version need no file.
    for (const char* flag : {"--help", "-h", "--version"}) {
        CommandLineOptions alone;
        EXPECT_EQ(ParseCommandLine({flag}, alone), "") << flag;
        EXPECT_EQ(alone.help || alone.version, true) << flag;
    }
}

TEST(TerminalText, ControlCharactersShowEscapedExceptTabCrAndLf) {
    EXPECT_EQ(TerminalText(std::string("a\x1b[2Jb\0c", 8)), "a\\x1b[2Jb\\x00c");
    EXPECT_EQ(TerminalText("\t\r\n"), "\t\r\n");
    EXPECT_EQ(TerminalText("\x01\x1f\x7f"), "\\x01\\x1f\\x7f");
    EXPECT_EQ(TerminalText("\xc2\x9b"
                           "1m\xc2\x85"),
              "\\u009b1m\\u0085"); // C1: CSI, NEL
    EXPECT_EQ(TerminalText("\u202Emoc.live \u2066x\u2069 \u202A\u2069"),
              "\\u202emoc.live \\u2066x\\u2069 \\u202a\\u2069");              // bidi controls
    EXPECT_EQ(TerminalText("\xc2\xa0\xff日本 \\x"), "\xc2\xa0\\xff日本 \\x"); // NBSP, a bad byte
}

TEST(JsonEscape, AnyDecodedTextMakesValidJson) {
    EXPECT_EQ(JsonEscape("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(JsonEscape("\r\n\t\x01\x7f"), "\\r\\n\\t\\u0001\\u007f");
    EXPECT_EQ(JsonEscape("\xff"
                         "a\xe3\x81"),
              "\\ufffda\\ufffd\\ufffd");                            // invalid and cut short
    EXPECT_EQ(JsonEscape("\xed\xa0\x80"), "\\ufffd\\ufffd\\ufffd"); // a UTF-16 surrogate
    EXPECT_EQ(JsonEscape("日本①"), "日本①");

    DecodeOutcome outcome;
    outcome.kind = DecodeOutcome::Kind::Decoded;
    outcome.text = "q\"\\\r\n\x02\xff end";
    outcome.result.EcLevel = 3;
    outcome.elapsedMs = 1234;
    QJsonObject o = ParseJson(JsonLine("dir/\"odd\".png", outcome));
    EXPECT_EQ(o["file"].toString().toStdString(), "dir/\"odd\".png");
    EXPECT_EQ(o["text"].toString().toStdString(), "q\"\\\r\n\x02\xef\xbf\xbd end");
    EXPECT_EQ(o["level"].toString(), "H");
    EXPECT_EQ(o["labels"].toObject()["MaxCor"].toString().toStdString(), "（最大訂正率 約30%）");
    // One clock: the run's milliseconds are decode_ms and DecodeTime alike.
    EXPECT_EQ(o["decode_ms"].toInteger(), 1234);
    EXPECT_EQ(o["labels"].toObject()["DecodeTime"].toString(), "1.234");
}

TEST_F(CliFiles, DecodesGoodFilesAndReportsBadOnesWithStatusTwo) {
    const std::string text = "He said \"hi\"\\ \x01 and left";
    SavePng(test::Render(test::EncodeText(text, 1), 4, 4), dir / "good.png");
    test::Picture blank;
    blank.width = blank.height = 40;
    blank.grey.assign(1600, 255);
    SavePng(blank, dir / "blank.png");
    WriteBytes(dir / "empty.bmp", {});
    auto bmp = test::ToBmp24(test::Render(test::EncodeText("x", 0), 3, 4));
    WriteBytes(dir / "truncated.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 200));
    WriteBytes(dir / "good.bmp", bmp);
    WriteBytes(dir / "notes.txt", {'h', 'e', 'l', 'l', 'o'});

    auto all =
        RunCli("--json " + (dir / "good.png").string() + " " + (dir / "missing.png").string() +
                   " " + (dir / "empty.bmp").string() + " " + (dir / "truncated.bmp").string() +
                   " " + (dir / "notes.txt").string() + " " + (dir / "good.bmp").string(),
               dir);
    EXPECT_EQ(all.status, 2);
    auto lines = Lines(all.out);
    ASSERT_EQ(lines.size(), 6u) << all.out;
    QJsonObject good = ParseJson(lines[0]);
    EXPECT_TRUE(good["ok"].toBool());
    EXPECT_EQ(good["text"].toString().toStdString(), text);
    EXPECT_EQ(good["level"].toString(), "M");
    EXPECT_EQ(good["sequence_byte"].toInt(), -1);
    EXPECT_EQ(good["labels"].toObject()["Version"].toString(),
              QString::number(good["version"].toInt()));
    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(ParseJson(lines[size_t(i)])["ok"].toBool()) << lines[size_t(i)];
    EXPECT_EQ(ParseJson(lines[5])["text"].toString(), "x");
    EXPECT_EQ(Lines(all.err).size(), 4u) << all.err; // one reason per unreadable file

    auto undecoded = RunCli((dir / "blank.png").string() + " " + (dir / "good.bmp").string(), dir);
    EXPECT_EQ(undecoded.status, 1);
    EXPECT_EQ(undecoded.out, "x\n");
    EXPECT_NE(undecoded.err.find("ＱＲコードが認識できませんでした"), std::string::npos);

    auto folder = RunCli(dir.string() + " " + (dir / "good.bmp").string(), dir);
    EXPECT_EQ(folder.status, 2); // a folder is no picture, the file after it still decodes
    EXPECT_EQ(folder.out, "x\n");

    EXPECT_EQ(RunCli((dir / "good.bmp").string(), dir).status, 0);
    EXPECT_EQ(RunCli("--nonsense", dir).status, 2);
}

TEST_F(CliFiles, ErrorLinesGiveTheSystemsReasonOnOneLineAndNothingElse) {
    // A name that would clear a terminal and start a line of its own.
    const std::string odd = (dir / "a\x1b[2J\nb.png").string();
    fs::create_symlink(dir / "loop.png", dir / "loop.png");
    auto missing = RunCli("'" + odd + "' " + (dir / "loop.png").string(), dir);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, (dir / "a\\x1b[2J\\x0ab.png: no such file\n").string() +
                               (dir / "loop.png").string() +
                               ": too many levels of symbolic links (a link loop?)\n");

    // An ancillary chunk with a bad checksum: libpng warns through Qt, and
    // the warning must not stand before (or instead of) the program's line.
    SavePng(test::Render(test::EncodeText("warned", 1), 4, 4), dir / "warn.png");
    std::string png = test::ReadFileBytes(dir / "warn.png");
    png.insert(8 + 25, std::string("\0\0\0\x05tEXta\0bcd\0\0\0\0", 17));
    std::ofstream(dir / "warn.png", std::ios::binary) << png;
    auto warned = RunCli((dir / "warn.png").string(), dir);
    EXPECT_EQ(warned.out, "warned\n");
    EXPECT_EQ(warned.err, "");
}

TEST_F(CliFiles, SegmentsFileListsTheSegmentsOfTheDecodedSymbol) {
    auto bmp = test::ToBmp24(test::Render(test::EncodeText("Hello", 1), 3, 4));
    WriteBytes(dir / "hello.bmp", bmp);
    auto run = RunCli(
        "--segments " + (dir / "seg.txt").string() + " " + (dir / "hello.bmp").string(), dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(test::ReadFileBytes(dir / "seg.txt"), "[B-0005] Hello\r\n");
}

TEST_F(CliFiles, SegmentsFileKeepsEveryPicturesLinesInOrder) {
    WriteBytes(dir / "hello.bmp", test::ToBmp24(test::Render(test::EncodeText("Hello", 1), 3, 4)));
    WriteBytes(dir / "world.bmp", test::ToBmp24(test::Render(test::EncodeText("World!", 1), 3, 4)));
    test::Picture blank;
    blank.width = blank.height = 40;
    blank.grey.assign(1600, 255);
    WriteBytes(dir / "blank.bmp", test::ToBmp24(blank));
    std::ofstream(dir / "seg.txt") << "old content";

    auto run = RunCli("--segments " + (dir / "seg.txt").string() + " " +
                          (dir / "hello.bmp").string() + " " + (dir / "blank.bmp").string() + " " +
                          (dir / "world.bmp").string() + " " + (dir / "hello.bmp").string(),
                      dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Hello\nWorld!\nHello\n");
    EXPECT_EQ(test::ReadFileBytes(dir / "seg.txt"),
              "[B-0005] Hello\r\n[B-0006] World!\r\n[B-0005] Hello\r\n");

    // One file in exact mode: the very bytes the decoder itself writes.
    DecodeOptions options;
    options.exact = options.segmentInfo = true;
    options.infoFileName = (dir / "engine.txt").string();
    RecognitionStages stages(options);
    const auto bytes = test::ToBmp24(test::Render(test::EncodeText("World!", 1), 3, 4));
    ASSERT_EQ(RunDecode(bytes, stages).kind, DecodeOutcome::Kind::Decoded);
    ASSERT_EQ(RunCli("--exact --segments " + (dir / "seg.txt").string() + " " +
                         (dir / "world.bmp").string(),
                     dir)
                  .status,
              0);
    EXPECT_EQ(test::ReadFileBytes(dir / "seg.txt"), test::ReadFileBytes(dir / "engine.txt"));

    // No picture writes lines: the file is left as it was.
    RunCli("--segments " + (dir / "seg.txt").string() + " " + (dir / "blank.bmp").string(), dir);
    EXPECT_EQ(test::ReadFileBytes(dir / "seg.txt"), "[B-0006] World!\r\n");
}

TEST_F(CliFiles, HelpAndVersionAnswerAndExitZero) {
    for (const char* flag : {"--help", "-h"}) {
        auto help = RunCli(flag, dir);
        EXPECT_EQ(help.status, 0) << flag;
        EXPECT_EQ(help.out.rfind("usage: zorvik-cli ", 0), 0u) << help.out;
        for (const char* option : {"--json", "--exact", "--segments", "--debug", "--version"})
            EXPECT_NE(help.out.find(option), std::string::npos) << option;
        EXPECT_EQ(help.err, "");
    }
    auto version = RunCli("--version", dir);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(Lines(version.out).at(0), kCliVersion);
    EXPECT_EQ(RunCli("--help " + (dir / "missing.png").string(), dir).out.rfind("usage:", 0), 0u);
}

TEST_F(CliFiles, FailedWritesAreReportedWithStatusTwo) {
    WriteBytes(dir / "x.bmp", test::ToBmp24(test::Render(test::EncodeText("x", 0), 3, 4)));
    const std::string picture = (dir / "x.bmp").string();
    std::ofstream(dir / "plain.txt") << "a file";

    // The segment file: in a missing folder, a folder itself, under a file.
    for (const fs::path& target :
         {dir / "missing" / "seg.txt", dir, dir / "plain.txt" / "seg.txt"}) {
        auto run = RunCli("--segments " + target.string() + " " + picture, dir);
        EXPECT_EQ(run.status, 2) << target;
        EXPECT_EQ(run.out, "") << "stopped before decoding";
        EXPECT_EQ(run.err.rfind("zorvik-cli: cannot write the segment file " + target.string(), 0),
                  0u)
            << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    }
    // The dump folder: missing, or a file.
    for (const fs::path& target : {dir / "missing", dir / "plain.txt"}) {
        auto run = RunCli("--debug " + target.string() + " " + picture, dir);
        EXPECT_EQ(run.status, 2) << target;
        EXPECT_EQ(run.err.rfind("zorvik-cli: cannot write the dumps into " + target.string(), 0),
                  0u)
            << run.err;
    }
    // A full and a closed standard output, also for --version.
    for (const std::string& arguments :
         {picture, std::string("--json ") + picture, std::string("--version")}) {
        auto full = RunShell(arguments, ">/dev/full", dir);
        EXPECT_EQ(full.status, 2) << arguments;
        EXPECT_EQ(full.err,
                  "zorvik-cli: cannot write to standard output: No space left on device\n")
            << arguments;
        auto closed = RunShell(arguments, ">&-", dir);
        EXPECT_EQ(closed.status, 2) << arguments;
        EXPECT_EQ(closed.err.rfind("zorvik-cli: cannot write to standard output", 0), 0u)
            << closed.err;
    }
    // The same run with somewhere to write succeeds.
    fs::create_directory(dir / "dumps");
    auto fine = RunCli("--debug " + (dir / "dumps").string() + " --segments " +
                           (dir / "seg.txt").string() + " " + picture,
                       dir);
    EXPECT_EQ(fine.status, 0) << fine.err;
    EXPECT_TRUE(fs::exists(dir / "dumps" / "bitmap1.txt"));
    EXPECT_TRUE(fs::exists(dir / "seg.txt"));
}

TEST_F(CliFiles, OversizedAndSizeClaimingFilesFailAloneAndTheNextFileStillDecodes) {
    WriteBytes(dir / "x.bmp", test::ToBmp24(test::Render(test::EncodeText("x", 0), 3, 4)));
    {
        const int fd = ::open((dir / "huge.png").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(3) << 30), 0); // sparse: no room on the disk
        ::close(fd);
    }
    auto huge = RunCli((dir / "huge.png").string() + " " + (dir / "x.bmp").string(), dir);
    EXPECT_EQ(huge.status, 2);
    EXPECT_EQ(huge.out, "x\n");
    EXPECT_EQ(huge.err,
              (dir / "huge.png").string() + ": the file is larger than 1 GiB (3221225472 bytes)\n");

    // 54 bytes claiming 32767 x 32767 pixels at a bit count with no converter.
    WriteBytes(dir / "claim.bmp", test::BmpHeader(32767, 32767, 64, 54, 54));
    auto claim = RunCli("--json " + (dir / "claim.bmp").string(), dir);
    EXPECT_EQ(claim.status, 1);
    EXPECT_EQ(ParseJson(claim.out)["message"].toString().toStdString(), kNotRecognisedFault);
}

TEST_F(CliFiles, DecodeMsIsTheDecodeTimeLabelInMilliseconds) {
    auto run = RunCli("--json " + std::string(ZORVIK_SOURCE_DIR) + "/tests/data/sample.png", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    QJsonObject o = ParseJson(run.out);
    const QString label = o["labels"].toObject()["DecodeTime"].toString();
    const QStringList parts = label.split('.');
    ASSERT_EQ(parts.size(), 2) << label.toStdString();
    EXPECT_EQ(o["decode_ms"].toInteger(), parts[0].toLongLong() * 1000 + parts[1].toLongLong());
    EXPECT_TRUE(o["decode_ms"].isDouble() &&
                o["decode_ms"].toDouble() == o["decode_ms"].toInteger());
}

TEST_F(CliFiles, ControlCharactersReachATerminalEscapedAndAPipeAsTheyAre) {
    const std::string text("a\x1b[2Jb\0c", 8);
    WriteBytes(dir / "ctl.bmp", test::ToBmp24(test::Render(test::EncodeText(text, 1), 3, 4)));
    const std::string file = (dir / "ctl.bmp").string();

    EXPECT_EQ(RunCli(file, dir).out, text + "\n"); // a pipe gets the exact bytes
    const std::string seen = RunOnTerminal({file});
    EXPECT_EQ(seen, "a\\x1b[2Jb\\x00c\r\n"); // the terminal turns LF into CR LF
    EXPECT_EQ(seen.find('\x1b'), std::string::npos);

    // The same decision made by the caller, without a terminal.
    auto load = [](const std::string& path) {
        const std::string bytes = test::ReadFileBytes(path);
        return PictureBytesAsBitmap(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    };
    for (bool terminal : {false, true}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCommandLine({file}, load, out, err, terminal), 0);
        EXPECT_EQ(out.str(), (terminal ? std::string("a\\x1b[2Jb\\x00c") : text) + "\n");
    }
}

TEST_F(CliFiles, AllReportsEverySymbolInReadingOrderWithCornersAndSegments) {
    const std::vector<Placed> placed = {{"Hello", 24, 20}, {"World!", 200, 44}, {"third", 60, 180}};
    SavePng(Page(placed), dir / "three.png");
    SavePng(Page({}), dir / "blank.png");
    const std::string three = (dir / "three.png").string();

    auto run = RunCli("--all --json " + three + " " + (dir / "blank.png").string(), dir);
    EXPECT_EQ(run.status, 1) << "the blank page gave no symbol";
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    for (size_t i = 0; i < 3; ++i) {
        const QJsonObject o = ParseJson(lines[i]);
        EXPECT_EQ(o["index"].toInt(), int(i));
        EXPECT_EQ(o["text"].toString().toStdString(), placed[i].text);
        const QJsonArray corners = o["corners"].toArray();
        ASSERT_EQ(corners.size(), 4) << lines[i];
        for (int k = 0; k < 4; ++k) { // clockwise from the top-left, 84 pixels a side
            EXPECT_NEAR(corners[k][0].toDouble(), placed[i].x + (k == 1 || k == 2) * 84, 2.0);
            EXPECT_NEAR(corners[k][1].toDouble(), placed[i].y + (k >= 2) * 84, 2.0);
        }
    }
    const QJsonObject none = ParseJson(lines[3]);
    EXPECT_FALSE(none["ok"].toBool());
    EXPECT_EQ(none["message"].toString().toStdString(), kNoSymbolFound);

    auto plain = RunCli("--all --segments " + (dir / "seg.txt").string() + " " + three, dir);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "Hello\nWorld!\nthird\n");
    EXPECT_EQ(test::ReadFileBytes(dir / "seg.txt"),
              "[B-0005] Hello\r\n[B-0006] World!\r\n[B-0005] third\r\n");
    EXPECT_EQ(RunCli("--all --exact " + three, dir).status, 2);
}

TEST_F(CliFiles, DashReadsThePictureFromStandardInput) {
    SavePng(Page({{"Hello", 20, 20}, {"World!", 160, 40}}), dir / "two.png");
    SavePng(test::Render(test::EncodeText("piped", 1), 4, 4), dir / "one.png");
    const std::string one = (dir / "one.png").string();

    EXPECT_EQ(RunCli("- < " + one, dir).out, "piped\n");
    auto all = RunCli("--all --json " + one + " - < " + (dir / "two.png").string(), dir);
    EXPECT_EQ(all.status, 0) << all.err;
    const auto lines = Lines(all.out);
    ASSERT_EQ(lines.size(), 3u) << all.out;
    EXPECT_EQ(ParseJson(lines[2])["file"].toString(), "-");
    EXPECT_EQ(ParseJson(lines[2])["index"].toInt(), 1);
    // Nothing piped: unreadable like any file, the next one still decodes.
    auto empty = RunCli("- " + one + " < /dev/null", dir);
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, "-: standard input is empty\n");
    EXPECT_EQ(empty.out, "piped\n");
}

TEST_F(CliFiles, QtIsLoadedOnlyForAPictureThatNeedsItAndWithoutItThatPictureFailsAlone) {
    const std::string program = std::string(ZORVIK_BIN_DIR) + "/zorvik-cli";
    const Program libraries = RunCommand("readelf -d " + program, dir);
    ASSERT_NE(libraries.out.find("(NEEDED)"), std::string::npos) << libraries.err;
    EXPECT_EQ(libraries.out.find("libQt"), std::string::npos) << libraries.out;

    SavePng(test::Render(test::EncodeText("png", 1), 4, 4), dir / "a.png");
    SavePng(test::Render(test::EncodeText("jpeg", 1), 4, 4), dir / "a.jpg");
    WriteBytes(dir / "a.bmp", test::ToBmp24(test::Render(test::EncodeText("bmp", 1), 4, 4)));
    const std::string png = (dir / "a.png").string(), jpeg = (dir / "a.jpg").string(),
                      bmp = (dir / "a.bmp").string();
    // On two threads, so that what needs Qt is looked for before they start;
    // the loader names every file it opens.
    const std::string traced = "LD_DEBUG=files " + program + " -j 2 ";
    const Program plain = RunCommand(traced + png + " " + bmp + " - < " + png, dir);
    EXPECT_EQ(plain.out, "png\nbmp\npng\n");
    EXPECT_EQ(plain.err.find("qt-pictures"), std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find("libQt"), std::string::npos) << plain.err;
    const Program mixed = RunCommand(traced + png + " " + jpeg, dir);
    EXPECT_EQ(mixed.out, "png\njpeg\n");
    EXPECT_NE(mixed.err.find("qt-pictures.so"), std::string::npos) << mixed.err;

    // A copy without the module beside it: the JPEG gets the loader's reason.
    fs::create_directory(dir / "bin");
    fs::copy_file(program, dir / "bin" / "zorvik-cli");
    const Program alone = RunCommand(
        (dir / "bin" / "zorvik-cli").string() + " " + jpeg + " " + png + " " + jpeg, dir);
    EXPECT_EQ(alone.status, 2);
    EXPECT_EQ(alone.out, "png\n");
    const auto reasons = Lines(alone.err);
    ASSERT_EQ(reasons.size(), 2u) << alone.err;
    EXPECT_EQ(reasons[0].rfind(jpeg + ": cannot read this picture format: ", 0), 0u) << reasons[0];
    EXPECT_NE(reasons[0].find("qt-pictures.so"), std::string::npos) << reasons[0];
    EXPECT_EQ(reasons[1], reasons[0]);
}

TEST_F(CliFiles, FilesOnSeveralThreadsPrintExactlyAsOneThreadDoes) {
    // A slow first file (every attempt fails on a large blank page), so that
    // later ones finish first; good, undecodable, unreadable and missing
    // files, and a page of three symbols for --all. The JPEGs are read by
    // Qt's plugins on the worker threads.
    test::Picture blank;
    blank.width = blank.height = 1600;
    blank.grey.assign(size_t(1600 * 1600), 255);
    SavePng(blank, dir / "slow.png");
    std::string files = (dir / "slow.png").string();
    for (int i = 0; i < 8; ++i) {
        const std::string name = "s" + std::to_string(i) +
                                 (i % 2   ? ".png"
                                  : i % 4 ? ".jpg"
                                          : ".bmp");
        const test::Picture p =
            test::Render(test::EncodeText("file " + std::to_string(i), 1), 3, 4);
        if (i % 4)
            SavePng(p, dir / name);
        else
            WriteBytes(dir / name, test::ToBmp24(p));
        files += " " + (dir / name).string();
        if (i == 2)
            files += " " + (dir / "missing.png").string() + " " + (dir / "slow.png").string();
    }
    SavePng(Page({{"Hello", 24, 20}, {"World!", 200, 44}, {"third", 60, 180}}), dir / "three.png");
    WriteBytes(dir / "notes.txt", {'h', 'i'});
    files += " " + (dir / "three.png").string() + " " + (dir / "notes.txt").string();

    const std::string segments = (dir / "seg.txt").string();
    for (const std::string& options : std::vector<std::string>{
             "", "--json", "--exact --json", "--all --json", "--all", "--segments " + segments,
             "--exact --segments " + segments, "--all --segments " + segments}) {
        Program runs[2];
        std::string segmentBytes[2];
        for (int k = 0; k < 2; ++k) {
            fs::remove(segments);
            runs[k] = RunCli(options + (k ? " -j 2 " : " -j 1 ") + files, dir);
            segmentBytes[k] = test::ReadFileBytes(segments);
        }
        // The clock is the only thing that may differ.
        const std::regex times(R"(,"decode_ms":[0-9]+|,"DecodeTime":"[^"]*")");
        EXPECT_EQ(runs[0].status, 2) << options;
        EXPECT_EQ(runs[1].status, runs[0].status) << options;
        EXPECT_EQ(std::regex_replace(runs[1].out, times, ""),
                  std::regex_replace(runs[0].out, times, ""))
            << options;
        EXPECT_EQ(runs[1].err, runs[0].err) << options;
        EXPECT_NE(runs[0].err, "") << "the missing file and the text file are named";
        EXPECT_EQ(segmentBytes[1], segmentBytes[0]) << options;
        if (options.find("--segments") != std::string::npos) {
            EXPECT_NE(segmentBytes[0], "") << options;
        }
    }
}
