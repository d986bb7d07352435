// The run's attempt schedule with stand-in stages, its handling of bad
// files, and the result labels.
#include "DecodeRun.h"
#include "QrFixtures.h"
#include "ResultLabels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

using namespace zorvik;

namespace {

// Records every stage call and answers from scripted rules.
class StandInStages : public DecodeStages {
  public:
    std::vector<std::string> calls;
    std::function<std::string(float)> finder = [](float) { return ""; };
    std::function<std::string(int, int)> sampler = [](int, int) { return ""; };
    std::function<std::string(DecodeResult&)> decoder = [](DecodeResult&) { return ""; };
    float factor = 0;

    std::string FindFinderPatterns(const GreyImage&, BinaryImage&, SymbolBox&, float f) override {
        factor = f;
        calls.push_back("find " + std::to_string(int(f * 100 + 0.5f)));
        return finder(f);
    }
    std::string SampleModules(const BinaryImage&, SymbolBox&, ModuleMatrix&, int mode,
                              int correction) override {
        calls.push_back("sample " + std::to_string(mode) + " " + std::to_string(correction));
        return sampler(mode, correction);
    }
    std::string DecodeSymbol(const ModuleMatrix&, const SymbolBox&, DecodeResult& r) override {
        calls.push_back("decode");
        return decoder(r);
    }
    std::string GetDecodedText() override { return "text"; }
    std::function<std::string(DecodeResult&)> second = [](DecodeResult&) { return "none"; };
    std::string SecondSearch(const GreyImage&, DecodeResult& r) override {
        calls.push_back("second");
        return second(r);
    }
};

std::vector<uint8_t> SmallBitmap() {
    test::Picture p;
    p.width = p.height = 4;
    p.grey.assign(16, 255);
    return test::ToBmp24(p);
}

MillisecondClock Ticks(std::vector<uint32_t> readings) {
    auto shared = std::make_shared<std::vector<uint32_t>>(std::move(readings));
    return [shared] {
        uint32_t v = shared->front();
        shared->erase(shared->begin());
        return v;
    };
}

} // namespace

TEST(DecodeRun, FirstSuccessAtTheFirstAttemptMakesNoFurtherCall) {
    StandInStages stages;
    auto outcome = RunDecode(SmallBitmap(), stages);
    EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::Decoded);
    EXPECT_EQ(outcome.text, "text");
    EXPECT_EQ(stages.calls, (std::vector<std::string>{"find 85", "sample 0 0", "decode"}));
}

TEST(DecodeRun, AllFailingFinderSearchesReportTheLastFactorsMessage) {
    StandInStages stages;
    stages.finder = [](float f) { return "finder " + std::to_string(int(f * 100 + 0.5f)); };
    auto outcome = RunDecode(SmallBitmap(), stages);
    EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::NotDecoded);
    EXPECT_EQ(outcome.message, "finder 75");
    EXPECT_EQ(stages.calls, (std::vector<std::string>{"find 85", "find 95", "find 80", "find 90",
                                                      "find 100", "find 75", "second"}));
}

TEST(DecodeRun, TheSecondSearchRunsOnlyAfterEveryAttemptFailedAndKeepsTheirMessage) {
    StandInStages stages;
    stages.finder = [](float) { return std::string("not found"); };
    auto outcome = RunDecode(SmallBitmap(), stages);
    EXPECT_EQ(outcome.message, "not found"); // its own message is never shown
    EXPECT_EQ(stages.calls.back(), "second");
    EXPECT_EQ(stages.calls.size(), 7u);

    stages.calls.clear();
    stages.second = [](DecodeResult& r) {
        r.SymbolVersion = 3;
        return std::string();
    };
    outcome = RunDecode(SmallBitmap(), stages, Ticks({100, 142}));
    EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::Decoded);
    EXPECT_EQ(outcome.text, "text");
    EXPECT_EQ(outcome.result.SymbolVersion, 3);
    EXPECT_EQ(outcome.elapsedMs, 42u); // the time includes the second search

    stages.calls.clear();
    stages.finder = [](float) { return std::string(); };
    RunDecode(SmallBitmap(), stages); // the first attempt decodes
    EXPECT_EQ(std::count(stages.calls.begin(), stages.calls.end(), "second"), 0);
}

TEST(DecodeRun, NineFailingSamplingsMoveOnToTheNextFactorInTheDocumentedOrder) {
    StandInStages stages;
    stages.sampler = [&](int mode, int correction) -> std::string {
        if (stages.factor == 0.85f) return "sample failed";
        return mode == 2 && correction == -4 ? "" : "sample failed";
    };
    stages.decoder = [&](DecodeResult&) -> std::string {
        return stages.factor == 0.95f ? "decode failed" : "";
    };
    auto outcome = RunDecode(SmallBitmap(), stages);
    std::vector<std::string> expected = {"find 85"};
    const std::vector<std::pair<int, int>> order = {{0, 0},  {1, 0}, {0, 4}, {0, -4}, {1, 4},
                                                    {1, -4}, {2, 0}, {2, 4}, {2, -4}};
    for (auto [m, c] : order)
        expected.push_back("sample " + std::to_string(m) + " " + std::to_string(c));
    expected.push_back("find 95");
    for (auto [m, c] : order)
        expected.push_back("sample " + std::to_string(m) + " " + std::to_string(c));
    expected.push_back("decode"); // only the last variant samples at 0.95, and fails to decode
    expected.push_back("find 80");
    for (auto [m, c] : order)
        expected.push_back("sample " + std::to_string(m) + " " + std::to_string(c));
    expected.push_back("decode");
    EXPECT_EQ(stages.calls, expected);
    EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::Decoded);
}

TEST(DecodeRun, TheMessageKeptIsThatOfTheVeryLastCall) {
    StandInStages stages;
    stages.finder = [](float f) { return f == 0.75f ? "" : "finder failed"; };
    stages.sampler = [](int mode, int) { return mode == 2 ? "" : "sample failed"; };
    stages.decoder = [](DecodeResult&) { return "decode failed"; };
    auto outcome = RunDecode(SmallBitmap(), stages);
    EXPECT_EQ(outcome.message, "decode failed");
}

TEST(DecodeRun, ElapsedTimeIsAnUnsignedDifferenceThatSurvivesTheTimerWrap) {
    StandInStages stages;
    auto outcome = RunDecode(SmallBitmap(), stages, Ticks({0xFFFFFF00u, 0x000003D2u}));
    EXPECT_EQ(outcome.elapsedMs, 0x3D2u + 0x100u);
}

TEST(DecodeRun, BadFilesFailClearlyWithoutReadingOutsideTheBuffer) {
    auto good = SmallBitmap();
    auto withHeader = [&](size_t at, unsigned value) {
        auto b = good;
        test::PutLe16(b, at, value);
        return b;
    };
    const std::vector<std::tuple<const char*, std::vector<uint8_t>, const char*>> cases = {
        {"empty file", {}, kImageNotObtained},
        {"shorter than its header", std::vector<uint8_t>(good.begin(), good.begin() + 30),
         kImageMalformed},
        {"pixel offset beyond the file", withHeader(10, 60000), kImageMalformed},
        {"rows beyond the file", std::vector<uint8_t>(good.begin(), good.end() - 1),
         kImageMalformed},
        {"width 0", withHeader(18, 0), kImageMalformed},
        {"height 0", withHeader(22, 0), kImageMalformed},
        {"height beyond 32767 (top-down rows)", withHeader(22, 0xFFFC), kImageMalformed},
    };
    for (const auto& [name, bytes, message] : cases) {
        StandInStages stages;
        auto outcome = RunDecode(bytes, stages);
        EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::FileFailure) << name;
        EXPECT_EQ(outcome.message, message) << name;
        EXPECT_TRUE(stages.calls.empty()) << name;
    }
}

TEST(DecodeRun, AnUnknownBitCountIsAnsweredAsTheSearchAnswersAnAllDarkPicture) {
    // The stages are not asked: the answer for a grey image left all 0 is
    // known (MalformedInputTest holds it against the real search).
    for (unsigned bits : {0u, 2u, 64u}) {
        auto bytes = SmallBitmap();
        bytes[28] = uint8_t(bits);
        StandInStages stages;
        stages.finder = [](float) { return "finder failed"; };
        auto outcome = RunDecode(bytes, stages);
        EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::NotDecoded) << bits;
        EXPECT_EQ(outcome.message, kNotRecognised) << bits;
        EXPECT_TRUE(stages.calls.empty()) << bits;
    }
    // A 54-byte file that claims 32767 x 32767 pixels: no image is built.
    StandInStages stages;
    auto outcome = RunDecode(test::BmpHeader(32767, 32767, 2, 54, 54), stages);
    EXPECT_EQ(outcome.kind, DecodeOutcome::Kind::NotDecoded);
    EXPECT_EQ(outcome.message, kNotRecognisedFault);
    EXPECT_TRUE(stages.calls.empty());
}

TEST(ResultLabels, LevelVersionMaskAndStructuredAppend) {
    DecodeResult r;
    r.SymbolVersion = 7, r.EcLevel = 2, r.MaskPattern = 5, r.SequenceByte = 0x12;
    auto labels = MakeResultLabels(r, 0);
    EXPECT_EQ(labels.CorrLevel, "Q");
    EXPECT_EQ(labels.MaxCor, "（最大訂正率 約25%）");
    EXPECT_EQ(labels.Version, "7");
    EXPECT_EQ(labels.MaskNo, "5");
    EXPECT_EQ(labels.ConcatNo, "2/3");
    EXPECT_TRUE(labels.ConcatNoOpaque);

    for (int16_t none : {-1, 0}) {
        r.SequenceByte = none;
        labels = MakeResultLabels(r, 0);
        EXPECT_EQ(labels.ConcatNo, "") << none;
        EXPECT_FALSE(labels.ConcatNoOpaque) << none;
    }
    r.EcLevel = 4;
    labels = MakeResultLabels(r, 0);
    EXPECT_EQ(labels.CorrLevel, "");
    EXPECT_EQ(labels.MaxCor, "");
}

TEST(ResultLabels, RatesAndTimes) {
    DecodeResult r;
    r.ErrorRate = 0, r.DataWordCount = 12, r.TextByteCount = 40;
    auto labels = MakeResultLabels(r, 1234);
    EXPECT_EQ(labels.CorRate, "0.0");
    EXPECT_EQ(labels.DataWord, "12");
    EXPECT_EQ(labels.CompressRate, "（圧縮率 30.0%）");
    EXPECT_EQ(labels.DecodeTime, "1.234");

    r.ErrorRate = float(1.0 / 26 * 100);
    r.TextByteCount = 0;
    labels = MakeResultLabels(r, 7);
    EXPECT_EQ(labels.CorRate, "3.8");
    EXPECT_EQ(labels.CompressRate, "");
    EXPECT_EQ(labels.DecodeTime, "0.007");
}
