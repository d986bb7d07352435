// Decode speed over the picture corpus, one benchmark per category, each
// iteration decoding every picture of the category as the CLI would.
#include "DecodeRun.h"
#include "PictureFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

using namespace zorvik;

namespace {

std::map<std::string, std::vector<std::vector<uint8_t>>> LoadCorpus() {
    std::map<std::string, std::vector<std::vector<uint8_t>>> pictures;
    const std::string root = ZORVIK_CORPUS_DIR;
    QFile manifest(QString::fromStdString(root + "/manifest.json"));
    if (!manifest.open(QIODevice::ReadOnly)) return pictures;
    for (const auto& value : QJsonDocument::fromJson(manifest.readAll())["items"].toArray()) {
        QJsonObject item = value.toObject();
        LoadedPicture p = LoadPictureAsBitmap(root + "/" + item["file"].toString().toStdString());
        if (p.error.empty())
            pictures[item["category"].toString().toStdString()].push_back(std::move(p.bitmap));
    }
    return pictures;
}

void DecodeCategory(benchmark::State& state, const std::vector<std::vector<uint8_t>>* pictures) {
    int decoded = 0;
    for (auto _ : state) {
        decoded = 0;
        for (const auto& bitmap : *pictures) {
            RecognitionStages stages;
            decoded += RunDecode(bitmap, stages).kind == DecodeOutcome::Kind::Decoded;
        }
    }
    state.counters["pictures"] = double(pictures->size());
    state.counters["decoded"] = decoded;
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pictures->size()));
}

} // namespace

int main(int argc, char** argv) {
    static const auto corpus = LoadCorpus();
    if (corpus.empty()) {
        std::fprintf(stderr, "zorvik-bench: no picture corpus found at %s\n", ZORVIK_CORPUS_DIR);
        return 2;
    }
    for (const auto& [category, pictures] : corpus)
        benchmark::RegisterBenchmark(("Decode/" + category).c_str(), DecodeCategory, &pictures)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
