// The command-line decoder: options, JSON that parses back for any text, and
// the real program on good and bad files with its exit statuses.
#include "CommandLine.h"
#include "QrFixtures.h"
#include "TempFolder.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

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

Program RunCli(const std::string& arguments, const fs::path& dir) {
    fs::path err = dir / "stderr.txt";
    std::string cmd =
        std::string(ZORVIK_BIN_DIR) + "/zorvik-cli " + arguments + " 2>" + err.string();
    Program p{};
    FILE* pipe = popen(cmd.c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) p.out.append(buf.data(), n);
    p.status = WEXITSTATUS(pclose(pipe));
    p.err = test::ReadFileBytes(err);
    return p;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void SavePng(const test::Picture& p, const fs::path& path) {
    QImage image(p.width, p.height, QImage::Format_Grayscale8);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) image.scanLine(y)[x] = p.grey[size_t(y) * p.width + x];
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
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

    for (auto args : std::vector<std::vector<std::string>>{
             {}, {"--json"}, {"--segments"}, {"--debug"}, {"--bogus", "a.png"}}) {
        CommandLineOptions bad;
        EXPECT_NE(ParseCommandLine(args, bad), "") << ::testing::PrintToString(args);
    }
    CommandLineOptions dashed;
    EXPECT_EQ(ParseCommandLine({"--", "--json"}, dashed), "");
    EXPECT_EQ(dashed.files, std::vector<std::string>{"--json"});
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
    QJsonObject o = ParseJson(JsonLine("dir/\"odd\".png", outcome, 1.5));
    EXPECT_EQ(o["file"].toString().toStdString(), "dir/\"odd\".png");
    EXPECT_EQ(o["text"].toString().toStdString(), "q\"\\\r\n\x02\xef\xbf\xbd end");
    EXPECT_EQ(o["level"].toString(), "H");
    EXPECT_EQ(o["labels"].toObject()["MaxCor"].toString().toStdString(), "（最大訂正率 約30%）");
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

TEST_F(CliFiles, SegmentsFileListsTheSegmentsOfTheDecodedSymbol) {
    auto bmp = test::ToBmp24(test::Render(test::EncodeText("Hello", 1), 3, 4));
    WriteBytes(dir / "hello.bmp", bmp);
    auto run = RunCli(
        "--segments " + (dir / "seg.txt").string() + " " + (dir / "hello.bmp").string(), dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(test::ReadFileBytes(dir / "seg.txt"), "[B-0005] Hello\r\n");
}
