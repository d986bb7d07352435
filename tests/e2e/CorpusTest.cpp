// Decodes every picture of the shared corpus through the same loader, run
// and decoder as the command-line program, and holds the per-category counts
// as a ratchet. The counts are what the decoding rules give on these
// pictures; a change that moves one must be understood, not absorbed.
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

// Pictures decoded per category. Raise a number when a change decodes more
// for a reason you can name; it must never fall.
const std::map<std::string, int> kRatchet = {
    {"bitdepth", 36}, {"clean", 47}, {"scaled", 38}, {"embedded", 33}, {"degraded", 35},
};

// Pictures that the rules rightly leave undecoded, with the message they give.
const std::map<std::string, std::string> kKnownFailures = {
    // One pixel per module: the top-right finder has light strips on both
    // sides in two of its three rows, so it is filed as a left-edge pattern.
    {"clean/clean_015_v10H_m1_byte_sjis.png", kNotRecognised},
};

} // namespace

TEST(Corpus, EveryPictureDecodesToItsTextOrFailsWithoutAWrongText) {
    const std::string root = ZORVIK_CORPUS_DIR;
    if (root.empty()) GTEST_SKIP() << "no picture corpus: configure with -DZORVIK_CORPUS_DIR=...";
    QFile manifestFile(QString::fromStdString(root + "/manifest.json"));
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadOnly)) << "corpus not found at " << root;
    const QJsonArray items = QJsonDocument::fromJson(manifestFile.readAll())["items"].toArray();
    ASSERT_FALSE(items.isEmpty());

    std::map<std::string, int> decoded, total;
    for (const auto& value : items) {
        const QJsonObject item = value.toObject();
        const std::string file = item["file"].toString().toStdString();
        const std::string category = item["category"].toString().toStdString();
        const std::string expected = item["text"].toString().toStdString();
        ++total[category];

        LoadedPicture picture = LoadPictureAsBitmap(root + "/" + file);
        ASSERT_EQ(picture.error, "") << file;
        RecognitionStages stages;
        DecodeOutcome outcome = RunDecode(picture.bitmap, stages);
        if (outcome.kind == DecodeOutcome::Kind::Decoded) {
            EXPECT_EQ(outcome.text, expected) << file << " decoded to a wrong text";
            if (outcome.text == expected) ++decoded[category];
            EXPECT_EQ(outcome.result.SymbolVersion, item["version"].toInt()) << file;
            EXPECT_EQ(std::string(1, "LMQH"[outcome.result.EcLevel]),
                      item["level"].toString().toStdString())
                << file;
        } else if (auto known = kKnownFailures.find(file); known != kKnownFailures.end()) {
            EXPECT_EQ(outcome.message, known->second) << file;
        }
    }

    int all = 0, allDecoded = 0;
    for (const auto& [category, count] : total) {
        std::cout << "corpus " << category << ": " << decoded[category] << "/" << count << "\n";
        all += count;
        allDecoded += decoded[category];
        auto floor = kRatchet.find(category);
        ASSERT_NE(floor, kRatchet.end())
            << "new category " << category << ": add it to the ratchet";
        EXPECT_GE(decoded[category], floor->second) << category << " decodes fewer than before";
        EXPECT_LE(decoded[category], floor->second)
            << category << " decodes more than the ratchet: raise it if the gain is understood";
    }
    std::cout << "corpus total: " << allDecoded << "/" << all << "\n";
}
