// Damaged bitmap files and random module matrices: the run answers with a
// message, never a crash or a read outside its buffers (the suite also runs
// under the address sanitizer).
#include "DecodeRun.h"
#include "QrFixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/resource.h>
#include <utility>

using namespace zorvik;

TEST(MalformedInput, DamagedBitmapHeadersAndPixelsNeverCrashTheRun) {
    const auto clean = test::ToBmp24(test::Render(test::EncodeText("damage", 1), 2, 2));
    const size_t headerFields[] = {2, 10, 11, 18, 19, 22, 23, 26, 28, 30, 34, 46};
    std::mt19937 rng(2026);
    int decoded = 0;
    for (int trial = 0; trial < 400; ++trial) {
        auto bytes = clean;
        int damage = 1 + int(rng() % 4);
        for (int i = 0; i < damage; ++i) {
            size_t at = trial % 2 == 0 ? headerFields[rng() % std::size(headerFields)]
                                       : rng() % bytes.size();
            bytes[at] = uint8_t(rng());
        }
        if (trial % 7 == 0) bytes.resize(rng() % bytes.size());
        RecognitionStages stages;
        DecodeOutcome outcome = RunDecode(bytes, stages);
        if (outcome.kind == DecodeOutcome::Kind::Decoded)
            ++decoded;
        else
            EXPECT_FALSE(outcome.message.empty()) << "trial " << trial;
    }
    EXPECT_GT(decoded, 0); // damage to unread header bytes or a few pixels still decodes
}

TEST(MalformedInput, EveryBitCountWithAnyHeaderValuesIsAnsweredWithAMessage) {
    std::mt19937 rng(7);
    for (int bits : {1, 4, 8, 16, 24, 32, 2, 0, 255}) {
        for (int trial = 0; trial < 30; ++trial) {
            size_t size = 54 + rng() % 2000;
            auto bytes = test::BmpHeader(1 + int(rng() % 40), 1 + int(rng() % 40), bits,
                                         unsigned(54 + rng() % 1100), size);
            for (size_t i = 54; i < size; ++i) bytes[i] = uint8_t(rng());
            RecognitionStages stages;
            DecodeOutcome outcome = RunDecode(bytes, stages);
            EXPECT_NE(outcome.kind, DecodeOutcome::Kind::Decoded) << bits << " " << trial;
            EXPECT_FALSE(outcome.message.empty());
        }
    }
}

// A bit count with no converter leaves the grey image all 0; the run answers
// that without building it. The answer must be the real search's on an
// all-black picture of the same size, in both modes, including the width
// of 32767 where the search overflows.
TEST(MalformedInput, ABitCountWithoutConverterAnswersAsTheSearchAnswersAnAllBlackPicture) {
    const std::vector<std::pair<int, int>> sizes = {{1, 1},   {13, 5},    {60, 60},   {200, 31},
                                                    {1, 300}, {32766, 2}, {32767, 1}, {32767, 3}};
    for (const auto& [width, height] : sizes) {
        test::Picture black;
        black.width = width, black.height = height;
        black.grey.assign(size_t(width) * size_t(height), 0);
        const auto blackBitmap = test::ToBmp24(black);
        for (bool exact : {true, false}) {
            DecodeOptions options;
            options.exact = exact;
            RecognitionStages realStages(options);
            const DecodeOutcome real = RunDecode(blackBitmap, realStages);
            ASSERT_EQ(real.kind, DecodeOutcome::Kind::NotDecoded) << width << "x" << height;
            // Both answers occur: the overflow fault only at the widest rows.
            EXPECT_EQ(real.message, width == 32767 ? kNotRecognisedFault : kNotRecognised);
            for (int bits : {0, 2, 64}) {
                RecognitionStages stages(options);
                const DecodeOutcome known =
                    RunDecode(test::BmpHeader(width, height, bits, 54, 54), stages);
                EXPECT_EQ(known.kind, real.kind) << width << "x" << height << " " << bits;
                EXPECT_EQ(known.message, real.message)
                    << width << "x" << height << " " << bits << " exact " << exact;
            }
        }
    }
}

TEST(MalformedInput, AFiftyFourByteBitmapClaimingTheLargestSidesBuildsNoImage) {
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (int bits : {0, 2, 64}) {
        RecognitionStages stages;
        const DecodeOutcome outcome =
            RunDecode(test::BmpHeader(32767, 32767, bits, 54, 54), stages);
        EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::NotDecoded);
        EXPECT_EQ(outcome.message, kNotRecognisedFault);
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    // A grey image of that size alone is 1 GiB; the peak stays where it was.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kB";
}

TEST(MalformedInput, RandomModuleMatricesAreAnsweredWithAMessage) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 300; ++trial) {
        int n = 1 + int(rng() % 60);
        ModuleMatrix matrix(size_t(n), std::string(size_t(n), '0'));
        for (auto& row : matrix)
            for (auto& m : row) m = rng() % 2 ? '1' : '0';
        SymbolBox box;
        box.ModulesAcross = box.ModulesDown = int16_t(n + int(rng() % 3) - 1);
        DecodeEngine engine;
        DecodeResult result;
        std::string message = engine.DecodeSymbol(matrix, box, result);
        if (message.empty()) {
            EXPECT_FALSE(engine.GetDecodedText().empty());
        }
    }
}
