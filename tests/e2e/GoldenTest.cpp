// The documented outputs of every picture of both corpora, held byte for
// byte in tests/data/golden so that no change can move them unnoticed: the
// command line's --json lines in exact and default mode (without the times),
// each picture's segment file in both modes, and SHA-256 digests of the
// dumps an exact run of each picture alone leaves. Runs go through
// RunCommandLine with the program's own loader, as zorvik-cli makes them.
//
// After a change that is meant to move an output, remake the files with
//   GoldenTest --regenerate
// and let the diff show what moved.
#include "CommandLine.h"
#include "PictureFile.h"
#include "TempFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

using namespace zorvik;
namespace fs = std::filesystem;

namespace {

const fs::path kGolden = fs::path(ZORVIK_SOURCE_DIR) / "tests" / "data" / "golden";
const char* const kDumps[] = {"bitmap1.txt", "bitmap3.txt", "Adjust.txt"};

// A picture's name as the runs give it, its corpus's short name before the
// manifest's path ("corpus/clean/...", "beyond/rotated/..."), and where it is.
struct Corpus {
    const char* prefix;
    const char* root;
};
const Corpus kCorpora[] = {{"corpus/", ZORVIK_CORPUS_DIR}, {"beyond/", ZORVIK_BEYOND_DIR}};

std::vector<std::string> Pictures() {
    std::vector<std::string> names;
    for (const Corpus& corpus : kCorpora) {
        QFile manifest(QString(corpus.root) + "/manifest.json");
        EXPECT_TRUE(manifest.open(QIODevice::ReadOnly)) << "no corpus manifest at " << corpus.root;
        for (const auto& item : QJsonDocument::fromJson(manifest.readAll())["items"].toArray())
            names.push_back(corpus.prefix + item.toObject()["file"].toString().toStdString());
    }
    return names;
}

LoadedPicture Load(const std::string& name) {
    for (const Corpus& corpus : kCorpora)
        if (name.rfind(corpus.prefix, 0) == 0)
            return LoadPictureAsBitmap(corpus.root + name.substr(std::strlen(corpus.prefix) - 1));
    return {{}, "not a corpus picture"};
}

// The run's clock is no documented result.
std::string WithoutTimes(const std::string& lines) {
    static const std::regex times(R"(,"decode_ms":[0-9]+|,"DecodeTime":"[^"]*")");
    return std::regex_replace(lines, times, "");
}

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunCommandLine(args, Load, out, err);
    return {status, out.str(), err.str()};
}

std::string Hex(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toHex().toStdString();
}

// Each golden file as lines, grouped by the picture they belong to.
using Records = std::map<std::string, std::vector<std::string>>;
struct Golden {
    Records exact, defaults, segments, dumps;
};

// The picture a line of a golden file is about.
std::string PictureOf(const std::string& file, const std::string& line) {
    if (file == "segments.tsv") {
        const size_t tab = line.find('\t');
        return line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
    }
    if (file == "dumps.sha256") return line.substr(66, line.rfind('/') - 66);
    return QJsonDocument::fromJson(QByteArray::fromStdString(line))["file"]
        .toString()
        .toStdString();
}

// Every record of this build. Segment files go in as "<mode>\t<picture>\t<hex>"
// lines, "both" when the two modes wrote the same bytes, none for a mode
// that wrote none.
Golden Make(const std::vector<std::string>& pictures) {
    Golden made;
    test::TempFolder scratch("golden");
    const std::string segmentFile = (scratch / "segments.txt").string();
    for (const std::string& picture : pictures) {
        std::map<std::string, std::string> written; // mode -> segment bytes
        for (const char* mode : {"exact", "default"}) {
            fs::remove(segmentFile);
            std::vector<std::string> args = {"--json", "--segments", segmentFile, picture};
            if (mode == std::string("exact")) args.insert(args.begin(), "--exact");
            const CliRun run = Cli(args);
            EXPECT_EQ(run.err, "") << picture;
            std::string line = WithoutTimes(run.out);
            if (!line.empty() && line.back() == '\n') line.pop_back();
            (mode == std::string("exact") ? made.exact : made.defaults)[picture].push_back(line);
            if (fs::exists(segmentFile)) written[mode] = test::ReadFileBytes(segmentFile);
        }
        if (written.size() == 2 && written["exact"] == written["default"])
            made.segments[picture].push_back("both\t" + picture + "\t" + Hex(written["exact"]));
        else
            for (const auto& [mode, bytes] : written)
                made.segments[picture].push_back(mode + "\t" + picture + "\t" + Hex(bytes));

        const fs::path dumps = scratch / "dumps";
        fs::remove_all(dumps);
        fs::create_directory(dumps);
        Cli({"--exact", "--debug", dumps.string(), picture});
        for (const char* dump : kDumps)
            if (fs::exists(dumps / dump))
                made.dumps[picture].push_back(
                    QCryptographicHash::hash(
                        QByteArray::fromStdString(test::ReadFileBytes(dumps / dump)),
                        QCryptographicHash::Sha256)
                        .toHex()
                        .toStdString() +
                    "  " + picture + "/" + dump);
    }
    return made;
}

Records Read(const std::string& file) {
    Records records;
    std::ifstream in(kGolden / file, std::ios::binary);
    EXPECT_TRUE(in) << "no golden file " << (kGolden / file) << ": run GoldenTest --regenerate";
    for (std::string line; std::getline(in, line);) records[PictureOf(file, line)].push_back(line);
    return records;
}

void Write(const std::string& file, const Records& records,
           const std::vector<std::string>& pictures) {
    std::ofstream out(kGolden / file, std::ios::binary);
    for (const std::string& picture : pictures)
        if (auto found = records.find(picture); found != records.end())
            for (const std::string& line : found->second) out << line << "\n";
    ASSERT_TRUE(out.flush()) << "cannot write " << (kGolden / file);
}

// The first picture, in corpus order, whose lines in file are not the
// golden ones, and how many drift in all.
void ExpectSame(const std::string& file, const Records& golden, const Records& made,
                const std::vector<std::string>& pictures) {
    int drifted = 0;
    std::string first;
    for (const std::string& picture : pictures) {
        auto lines = [&](const Records& r) {
            auto found = r.find(picture);
            return found == r.end() ? std::vector<std::string>{} : found->second;
        };
        if (lines(golden) == lines(made)) continue;
        if (drifted++ == 0) {
            first = picture + "\n  golden:";
            for (const std::string& line : lines(golden)) first += "\n    " + line;
            first += "\n  now:";
            for (const std::string& line : lines(made)) first += "\n    " + line;
        }
    }
    for (const auto& [picture, lines] : golden)
        if (std::find(pictures.begin(), pictures.end(), picture) == pictures.end())
            ADD_FAILURE() << file << " holds " << picture << ", which no corpus has";
    EXPECT_EQ(drifted, 0) << file << ": " << drifted << " picture(s) drift, the first " << first;
}

} // namespace

TEST(Golden, EveryCorpusPicturesOutputsSegmentsAndDumpsAreAsHeld) {
    const std::vector<std::string> pictures = Pictures();
    ASSERT_GT(pictures.size(), 300u);
    const Golden made = Make(pictures);
    const std::pair<const char*, const Records*> files[] = {{"exact.jsonl", &made.exact},
                                                            {"default.jsonl", &made.defaults},
                                                            {"segments.tsv", &made.segments},
                                                            {"dumps.sha256", &made.dumps}};
    if (QCoreApplication::arguments().contains("--regenerate")) {
        fs::create_directories(kGolden);
        for (const auto& [file, records] : files) Write(file, *records, pictures);
        std::cout << "golden files written to " << kGolden << "\n";
        return;
    }
    for (const auto& [file, records] : files) ExpectSame(file, Read(file), *records, pictures);
}

TEST(Golden, AllPicturesInOneRunOnTwoThreadsGiveTheHeldLinesInOrder) {
    const std::vector<std::string> pictures = Pictures();
    const std::string held = test::ReadFileBytes(kGolden / "exact.jsonl");
    ASSERT_FALSE(held.empty()) << "no golden file: run GoldenTest --regenerate";

    std::vector<std::string> args = {"--json", "--exact", "-j", "2"};
    args.insert(args.end(), pictures.begin(), pictures.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 1); // the corpus has pictures the documented rules do not read
    EXPECT_EQ(WithoutTimes(run.out), held);
}
