#include "DecodeFormModel.h"

#include "GuidanceTexts.h"
#include "ResultPage.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace zorvik {
namespace {

// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

void DecodeFormModel::Form_Load() {
    program_.DecodeWindowOpen = true;
    ClearResults();
}

void DecodeFormModel::ClearResults() {
    labels = ResultLabels{};
    DecodeText.clear();
    DecodeTextVisible = true;
    QrBrowseVisible = false;
}

void DecodeFormModel::DecodeQR(DecodeFormHost& host, const MillisecondClock& clock,
                               const DecodeOutcome* fallback) {
    const std::string bitmapPath = program_.TempFolder + kTempBitmapName;
    ClearResults();
    host.Repaint();

    // Without a private temporary folder nothing is written anywhere.
    if (program_.TempFolder.empty() || !host.SaveQrPic(bitmapPath)) {
        host.Messages().ShowMessage(kImageNotCreated, kMessageBoxTitle, MessageIcon::Critical);
        return;
    }
    std::error_code error;
    const auto length = std::filesystem::file_size(bitmapPath, error);
    if (error || length == 0) {
        host.Messages().ShowMessage(kImageNotObtained, kMessageBoxTitle, MessageIcon::Critical);
        return;
    }
    const std::vector<uint8_t> file = ReadWholeFile(bitmapPath);
    std::filesystem::remove(bitmapPath, error);

    RecognitionStages stages(MakeDecodeOptions(program_.settings, program_.DebugFolder));
    const DecodeOutcome outcome = RunDecode(file, stages, clock);
    if (outcome.kind == DecodeOutcome::Kind::FileFailure) {
        // A file that cannot be read back is a file failure, like the two above.
        host.Messages().ShowMessage(outcome.message, kMessageBoxTitle, MessageIcon::Critical);
        return;
    }
    // A picked symbol's box may take in part of a close neighbour, which the
    // attempts may read instead: the symbol the user picked is what shows.
    if (fallback &&
        (outcome.kind == DecodeOutcome::Kind::NotDecoded || outcome.text != fallback->text)) {
        ShowOutcome(*fallback, host);
        return;
    }
    if (outcome.kind == DecodeOutcome::Kind::NotDecoded) {
        host.Messages().ShowMessage("   " + outcome.message, kMessageBoxTitle,
                                    MessageIcon::Information);
        host.Unload();
        return;
    }
    ShowOutcome(outcome, host);
}

void DecodeFormModel::ShowOutcome(const DecodeOutcome& outcome, DecodeFormHost& host) {
    labels = MakeResultLabels(outcome.result, outcome.elapsedMs);
    DecodeText = outcome.text;
    if (program_.settings.HtmlBrowse == 1) {
        DecodeTextVisible = false;
        QrBrowseVisible = true;
        QrBrowse.top = kDecodeText.top;
        QrBrowse.height = kDecodeText.height;
        const std::string pagePath = program_.TempFolder + kResultPageName;
        if (!program_.TempFolder.empty() &&
            WriteResultHtml(pagePath, outcome.text, program_.settings) == 0)
            host.Navigate(pagePath);
    }
    Caption = kDecodeCaptionResult;
    OfferDecodedText(host);
    host.RestoreAndFocus();
}

void DecodeFormModel::OfferDecodedText(DecodeFormHost& host) const {
    if (program_.beyond.CopyText) host.OfferText(DecodeText);
}

void DecodeFormModel::Form_Unload(MainWindowLink& main) {
    main.SetGuidance(main.MouseMode() == 1 ? kGuidanceToBox : kGuidanceToHand, 5);
    program_.DecodeWindowOpen = false;
    main.FocusMainWindow();
}

} // namespace zorvik
