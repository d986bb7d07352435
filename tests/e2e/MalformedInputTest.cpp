// Damaged bitmap files and random module matrices: the run answers with a
// message, never a crash or a read outside its buffers (the suite also runs
// under the address sanitizer).
#include "DecodeRun.h"
#include "QrFixtures.h"

#include <gtest/gtest.h>

#include <random>

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
