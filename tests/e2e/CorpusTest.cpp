// Decodes every picture of the shared corpora through the same loader, run
// and decoder as the command-line program, in both modes, and holds the
// per-category counts as ratchets; the every-symbol search of the whole
// picture is held the same way. Exact mode (the documented attempts and
// text reading alone) must give today's outcome for every picture; the
// default mode reads beyond them and may only gain. No mode may ever give a
// wrong text.
#include "DecodeRun.h"
#include "PictureFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <iostream>
#include <map>

using namespace zorvik;

namespace {

using Counts = std::map<std::string, int>;

// Exact mode: pictures decoded per category of the corpus. These are what
// the documented rules give; a change that moves one is a fault.
const Counts kExactRatchet = {
    {"bitdepth", 36}, {"clean", 47}, {"scaled", 38}, {"embedded", 33}, {"degraded", 35},
};

// Exact mode: every picture the rules leave undecoded, with its message.
const std::map<std::string, std::string> kExactFailures = {
    {"clean/clean_015_v10H_m1_byte_sjis.png", kNotRecognised},
    {"scaled/scaled_012_v19Q_s5.86_bilinear.png", kTooManyErrors},
    {"scaled/scaled_013_v24H_s3.19_bicubic.png", kTooManyErrors},
    {"scaled/scaled_016_v28L_s6.28_bilinear.png", kTooManyErrors},
    {"scaled/scaled_017_v24M_s2.90_bicubic.png", kTooManyErrors},
    {"scaled/scaled_020_v07M_s1.40_bilinear.png", kTooManyErrors},
    {"scaled/scaled_037_v35H_s5.46_bicubic.png", kTooManyErrors},
    {"scaled/scaled_042_v01M_s3.22_bilinear.png", kTooManyErrors},
    {"embedded/embedded_005_v01H.png", kTooManyErrors},
    {"embedded/embedded_011_v05H.png", kNotRecognised},
    {"embedded/embedded_015_v10Q.png", kNotRecognised},
    {"embedded/embedded_017_v12L.png", kNotRecognised},
    {"embedded/embedded_020_v06M.png", kNotRecognised},
    {"embedded/embedded_029_v05Q.png", kNotRecognised},
    {"embedded/embedded_039_v20H.png", kNotRecognised},
    {"degraded/degraded_001_jpeg_embedded_v01M.jpg", kNotRecognised},
    {"degraded/degraded_004_blur_v08H.png", kNotRecognised},
    {"degraded/degraded_007_jpeg_embedded_v11M.jpg", kTooManyErrors},
    {"degraded/degraded_010_blur_v07L.png", kNotRecognised},
    {"degraded/degraded_013_jpeg_embedded_v25M.jpg", kTooManyErrors},
    {"degraded/degraded_019_jpeg_embedded_v03M.jpg", kNotRecognised},
    {"degraded/degraded_022_blur_v01M.png", kNotRecognised},
    {"degraded/degraded_025_jpeg_embedded_v18L.jpg", kNotRecognised},
    {"degraded/degraded_028_blur_v25L.png", kNotRecognised},
    {"degraded/degraded_031_jpeg_embedded_v07L.jpg", kFormatUnreadable},
    {"degraded/degraded_034_blur_v08H.png", kNotRecognised},
    {"degraded/degraded_040_blur_v15M.png", kTooManyErrors},
    {"degraded/degraded_041_logo_v10Q.png", kTooManyErrors},
};

// Default mode: pictures decoded per category of both corpora. Raise a
// number when a change decodes more for a reason you can name; it must
// never fall.
const Counts kDefaultRatchet = {
    {"bitdepth", 36}, {"clean", 48},    {"scaled", 45}, {"embedded", 40},    {"degraded", 43},
    {"rotated", 32},  {"inverted", 20}, {"utf8", 28},   {"perspective", 16},
};

// The every-symbol search: pictures whose symbol it finds, per category of
// both corpora. Like the default mode's, it may only rise.
const Counts kWholeRatchet = {
    {"bitdepth", 36}, {"clean", 48},    {"scaled", 45}, {"embedded", 40},    {"degraded", 43},
    {"rotated", 32},  {"inverted", 20}, {"utf8", 28},   {"perspective", 16},
};

enum class Mode { Exact, Default, Whole };

struct Tally {
    Counts decoded, total;
    std::map<std::string, std::string> failures; // file -> message
};

// Every picture of the corpus at root, decoded in one mode. Wrong texts fail
// the test at once.
Tally DecodeCorpus(const std::string& root, Mode mode) {
    Tally tally;
    QFile manifestFile(QString::fromStdString(root + "/manifest.json"));
    EXPECT_TRUE(manifestFile.open(QIODevice::ReadOnly)) << "corpus not found at " << root;
    const QJsonArray items = QJsonDocument::fromJson(manifestFile.readAll())["items"].toArray();
    EXPECT_FALSE(items.isEmpty()) << root;
    DecodeOptions options;
    options.exact = mode == Mode::Exact;
    for (const auto& value : items) {
        const QJsonObject item = value.toObject();
        const std::string file = item["file"].toString().toStdString();
        const std::string category = item["category"].toString().toStdString();
        const std::string expected = item["text"].toString().toStdString();
        ++tally.total[category];

        LoadedPicture picture = LoadPictureAsBitmap(root + "/" + file);
        EXPECT_EQ(picture.error, "") << file;
        std::vector<DecodeOutcome> outcomes;
        if (mode == Mode::Whole) {
            const PictureScan scan = ScanPicture(picture.bitmap);
            EXPECT_LE(scan.symbols.size(), 1u) << file << ": one symbol found twice";
            for (const FoundSymbol& symbol : scan.symbols) outcomes.push_back(OutcomeOf(symbol, 0));
            if (outcomes.empty()) tally.failures[file] = scan.message;
        } else {
            RecognitionStages stages(options);
            outcomes.push_back(RunDecode(picture.bitmap, stages));
            if (mode == Mode::Default) {
                // One thread: the second search after the attempts rather
                // than beside them, and the conversion in one piece.
                DecodeOptions oneThread = options;
                oneThread.searchThreads = 1;
                RecognitionStages alone(oneThread);
                const DecodeOutcome after = RunDecode(picture.bitmap, alone);
                const DecodeResult &a = after.result, &b = outcomes[0].result;
                EXPECT_TRUE(after.kind == outcomes[0].kind && after.text == outcomes[0].text &&
                            after.message == outcomes[0].message &&
                            a.SymbolVersion == b.SymbolVersion && a.EcLevel == b.EcLevel &&
                            a.MaskPattern == b.MaskPattern && a.ErrorRate == b.ErrorRate &&
                            a.DataWordCount == b.DataWordCount &&
                            a.TextByteCount == b.TextByteCount && a.SequenceByte == b.SequenceByte)
                    << file << ": another outcome on one thread";
            }
            if (outcomes[0].kind != DecodeOutcome::Kind::Decoded) {
                tally.failures[file] = outcomes[0].message;
                outcomes.clear();
            }
        }
        for (const DecodeOutcome& outcome : outcomes) {
            EXPECT_EQ(outcome.text, expected) << file << " decoded to a wrong text";
            EXPECT_EQ(outcome.result.SymbolVersion, item["version"].toInt()) << file;
            EXPECT_EQ(std::string(1, "LMQH"[outcome.result.EcLevel]),
                      item["level"].toString().toStdString())
                << file;
            if (outcome.text == expected) ++tally.decoded[category];
        }
    }
    return tally;
}

void ExpectRatchet(const Tally& tally, const Counts& ratchet, const char* mode) {
    for (const auto& [category, count] : tally.total) {
        const int decoded = tally.decoded.count(category) ? tally.decoded.at(category) : 0;
        std::cout << mode << " " << category << ": " << decoded << "/" << count << "\n";
        auto floor = ratchet.find(category);
        ASSERT_NE(floor, ratchet.end()) << "new category " << category << ": add it to the ratchet";
        EXPECT_GE(decoded, floor->second)
            << mode << ": " << category << " decodes fewer than before";
        EXPECT_LE(decoded, floor->second)
            << mode << ": " << category
            << " decodes more than the ratchet: raise it if the gain is understood";
    }
}

// A corpus folder that must be there: a missing corpus fails the test
// rather than letting it pass without decoding anything.
std::string Root(const char* dir, const char* name) {
    const std::string root = dir;
    EXPECT_FALSE(root.empty()) << "no " << name
                               << " found: configure with -DZORVIK_CORPUS_DIR=.../shared/corpus";
    EXPECT_TRUE(QFile::exists(QString::fromStdString(root + "/manifest.json")))
        << name << " has no manifest at " << root;
    return root;
}

} // namespace

TEST(Corpus, ExactModeGivesTheDocumentedOutcomeForEveryPicture) {
    const std::string root = Root(ZORVIK_CORPUS_DIR, "picture corpus");
    if (root.empty()) return;
    const Tally tally = DecodeCorpus(root, Mode::Exact);
    ExpectRatchet(tally, kExactRatchet, "exact");
    EXPECT_EQ(tally.failures, kExactFailures);
}

TEST(Corpus, TheDefaultModeReadsAtLeastAsMuchAndNeverAWrongText) {
    int corpora = 0;
    for (auto [dir, name] : {std::pair{ZORVIK_CORPUS_DIR, "picture corpus"},
                             std::pair{ZORVIK_BEYOND_DIR, "corpus of pictures beyond it"}}) {
        const std::string root = Root(dir, name);
        if (root.empty()) continue;
        ++corpora;
        const Tally tally = DecodeCorpus(root, Mode::Default);
        ExpectRatchet(tally, kDefaultRatchet, "default");
        // What the documented attempts read, the default mode reads too.
        if (root == ZORVIK_CORPUS_DIR) {
            for (const auto& [file, message] : tally.failures)
                EXPECT_TRUE(kExactFailures.count(file)) << file << " lost: " << message;
        }
    }
    EXPECT_EQ(corpora, 2);
}

TEST(Corpus, TheWholePictureSearchFindsEachSymbolOnceAndNeverAWrongText) {
    for (auto [dir, name] : {std::pair{ZORVIK_CORPUS_DIR, "picture corpus"},
                             std::pair{ZORVIK_BEYOND_DIR, "corpus of pictures beyond it"}}) {
        const std::string root = Root(dir, name);
        if (!root.empty()) ExpectRatchet(DecodeCorpus(root, Mode::Whole), kWholeRatchet, "whole");
    }
}
