// The result window's start, decode and close without a display: a stand-in
// window writes the picture file, records message boxes and counts calls.
#include "DecodeFormModel.h"
#include "GuidanceTexts.h"
#include "QrFixtures.h"
#include "ResultPage.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace zorvik;

namespace {

constexpr const char* kSymbolText = "ZORVIK 1.2";

struct ShownMessage {
    std::string text, title;
    MessageIcon icon;
};

class MessageRecorder : public MessageBoxes {
  public:
    std::vector<ShownMessage> shown;
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        shown.push_back({text, title, icon});
    }
};

// The window system's side of the result window.
class StandInWindow : public DecodeFormHost {
  public:
    enum class Save { WriteBytes, Fail, ReportButWriteNothing };
    Save save = Save::WriteBytes;
    std::vector<uint8_t> picture; // the bitmap file QrPic saves as
    MessageRecorder messages;
    std::vector<std::string> savedTo, navigatedTo;
    int repaints = 0, unloads = 0, restores = 0;
    std::function<void()> onRepaint = [] {};

    bool SaveQrPic(const std::string& path) override {
        savedTo.push_back(path);
        if (save == Save::Fail) return false;
        if (save == Save::WriteBytes) {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(picture.data()),
                      std::streamsize(picture.size()));
        }
        return true;
    }
    void Repaint() override {
        ++repaints;
        onRepaint();
    }
    MessageBoxes& Messages() override { return messages; }
    void Unload() override { ++unloads; }
    void Navigate(const std::string& pagePath) override { navigatedTo.push_back(pagePath); }
    void RestoreAndFocus() override { ++restores; }
};

std::vector<uint8_t> SymbolBitmap() {
    return test::ToBmp24(test::Render(test::EncodeText(kSymbolText, 1), 4, 4));
}

std::vector<uint8_t> BlankBitmap() {
    test::Picture p;
    p.width = p.height = 40;
    p.grey.assign(40 * 40, 255);
    return test::ToBmp24(p);
}

MillisecondClock Readings(uint32_t start, uint32_t end) {
    auto next = std::make_shared<int>(0);
    return [=] { return (*next)++ == 0 ? start : end; };
}

bool AllEmpty(const ResultLabels& l) {
    return l.CorrLevel.empty() && l.MaxCor.empty() && l.Version.empty() && l.MaskNo.empty() &&
           l.ConcatNo.empty() && !l.ConcatNoOpaque && l.CorRate.empty() && l.DataWord.empty() &&
           l.CompressRate.empty() && l.DecodeTime.empty();
}

class DecodeFormTest : public ::testing::Test {
  protected:
    DecodeFormTest() {
        program.TempFolder = scratch.path().string() + "/";
        host.picture = SymbolBitmap();
        window.Form_Load();
        // What the main window does before each run.
        window.Caption = kDecodeCaptionBusy;
    }

    std::string TempPath(const char* name) const { return program.TempFolder + name; }

    test::TempFolder scratch{"decodeform"};
    ProgramState program;
    StandInWindow host;
    DecodeFormModel window{program};
};

TEST_F(DecodeFormTest, LoadingSetsTheFlagAndClearsTheDesignSamples) {
    DecodeFormModel fresh(program);
    program.DecodeWindowOpen = false;
    fresh.labels = {"H",    "（最大訂正率 約 30 %）", "10", "0",   "1/1", true, "33.3",
                    "9999", "（圧縮率 25.8%）",       "0",  "25.8"};
    fresh.DecodeText = "sample";
    fresh.DecodeTextVisible = false;
    fresh.QrBrowseVisible = true;
    fresh.Form_Load();
    EXPECT_TRUE(program.DecodeWindowOpen);
    EXPECT_TRUE(AllEmpty(fresh.labels));
    EXPECT_EQ(fresh.DecodeText, "");
    EXPECT_TRUE(fresh.DecodeTextVisible);
    EXPECT_FALSE(fresh.QrBrowseVisible);
}

TEST_F(DecodeFormTest, ASymbolFillsTheWindowAndRemovesTheTemporaryBitmap) {
    window.DecodeQR(host, Readings(1000, 2234));
    EXPECT_TRUE(host.messages.shown.empty());
    ASSERT_EQ(host.savedTo, std::vector<std::string>{TempPath("#TEMP_QR.tmp")});
    EXPECT_FALSE(std::filesystem::exists(TempPath("#TEMP_QR.tmp")));
    EXPECT_EQ(window.labels.Version, "1");
    EXPECT_EQ(window.labels.CorrLevel, "M");
    EXPECT_EQ(window.labels.MaxCor, "（最大訂正率 約15%）");
    EXPECT_EQ(window.labels.CorRate, "0.0");
    EXPECT_EQ(window.labels.ConcatNo, "");
    EXPECT_EQ(window.labels.MaskNo.size(), 1u);
    EXPECT_FALSE(window.labels.DataWord.empty());
    EXPECT_EQ(window.labels.DecodeTime, "1.234");
    EXPECT_EQ(window.DecodeText, kSymbolText);
    EXPECT_EQ(window.Caption, "ＱＲコード  デコード結果");
    EXPECT_EQ(host.repaints, 1);
    EXPECT_EQ(host.restores, 1);
    EXPECT_EQ(host.unloads, 0);
    // Plain text: the browser stays hidden and no page is written.
    EXPECT_TRUE(window.DecodeTextVisible);
    EXPECT_FALSE(window.QrBrowseVisible);
    EXPECT_TRUE(host.navigatedTo.empty());
    EXPECT_FALSE(std::filesystem::exists(TempPath("#TEMP_QR.html")));
}

TEST_F(DecodeFormTest, WithHtmlBrowseThePageTakesTheTextBoxsPlace) {
    program.settings.HtmlBrowse = 1;
    window.DecodeQR(host);
    EXPECT_TRUE(host.messages.shown.empty());
    EXPECT_FALSE(window.DecodeTextVisible);
    EXPECT_TRUE(window.QrBrowseVisible);
    EXPECT_EQ(window.QrBrowse.top, 3720);
    EXPECT_EQ(window.QrBrowse.height, 2115);
    EXPECT_EQ(window.QrBrowse.left, 60);
    EXPECT_EQ(window.QrBrowse.width, 7755);
    const std::string page = TempPath("#TEMP_QR.html");
    ASSERT_TRUE(std::filesystem::exists(page));
    EXPECT_NE(test::ReadFileBytes(page).find(kSymbolText), std::string::npos);
    EXPECT_EQ(host.navigatedTo, std::vector<std::string>{page});
    EXPECT_EQ(window.DecodeText, kSymbolText);
    EXPECT_EQ(window.Caption, kDecodeCaptionResult);
    EXPECT_EQ(host.restores, 1);
}

TEST_F(DecodeFormTest, APageThatCannotBeWrittenIsNotShownButTheResultIs) {
    program.settings.HtmlBrowse = 1;
    std::filesystem::create_directory(TempPath("#TEMP_QR.html"));
    window.DecodeQR(host);
    EXPECT_TRUE(host.messages.shown.empty());
    EXPECT_TRUE(host.navigatedTo.empty());
    EXPECT_TRUE(window.QrBrowseVisible);
    EXPECT_EQ(window.labels.Version, "1");
    EXPECT_EQ(window.Caption, kDecodeCaptionResult);
    EXPECT_EQ(host.restores, 1);
}

struct FileFailureRow {
    const char* name;
    StandInWindow::Save save;
    bool emptyFile;
    const char* message;
};

class DecodeFormFileFailure : public DecodeFormTest,
                              public ::testing::WithParamInterface<FileFailureRow> {};

TEST_P(DecodeFormFileFailure, ReportsCriticallyAndLeavesTheWindowOpenAndEmpty) {
    const FileFailureRow& row = GetParam();
    host.save = row.save;
    if (row.emptyFile) host.picture.clear();
    window.DecodeQR(host);
    ASSERT_EQ(host.messages.shown.size(), 1u);
    EXPECT_EQ(host.messages.shown[0].text, row.message);
    EXPECT_EQ(host.messages.shown[0].title, "ミルカ");
    EXPECT_EQ(host.messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(host.unloads, 0);
    EXPECT_EQ(host.restores, 0);
    EXPECT_TRUE(host.navigatedTo.empty());
    EXPECT_TRUE(AllEmpty(window.labels));
    EXPECT_EQ(window.DecodeText, "");
    EXPECT_EQ(window.Caption, kDecodeCaptionBusy);
}

INSTANTIATE_TEST_SUITE_P(
    Saves, DecodeFormFileFailure,
    ::testing::Values(FileFailureRow{"a_picture_that_cannot_be_saved", StandInWindow::Save::Fail,
                                     false, "イメージファイルの作成ができませんでした   "},
                      FileFailureRow{"a_saved_file_of_no_bytes", StandInWindow::Save::WriteBytes,
                                     true, "イメージファイルの取得が失敗しました   "},
                      FileFailureRow{"a_save_that_leaves_no_file",
                                     StandInWindow::Save::ReportButWriteNothing, false,
                                     "イメージファイルの取得が失敗しました   "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DecodeFormTest, APictureWithoutASymbolReportsTheStageAndClosesTheWindow) {
    host.picture = BlankBitmap();
    window.DecodeQR(host);
    ASSERT_EQ(host.messages.shown.size(), 1u);
    EXPECT_EQ(host.messages.shown[0].text, "   ＱＲコードが認識できませんでした");
    EXPECT_EQ(host.messages.shown[0].title, "ミルカ");
    EXPECT_EQ(host.messages.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(host.unloads, 1);
    EXPECT_EQ(host.restores, 0);
    EXPECT_FALSE(std::filesystem::exists(TempPath("#TEMP_QR.tmp")));
    EXPECT_TRUE(AllEmpty(window.labels));
    EXPECT_EQ(window.Caption, kDecodeCaptionBusy);
}

// A symbol picked in the whole picture brings its own result, which stands
// in for the message of a selection that does not decode or reads another
// symbol, and only for those.
TEST_F(DecodeFormTest, APickedSymbolsResultStandsInForAFailedOrMistakenDecode) {
    DecodeOutcome fallback;
    fallback.kind = DecodeOutcome::Kind::Decoded;
    fallback.result = {7, 3, 5, 0, 40, 44, -1};
    fallback.text = "found in the whole picture";
    fallback.elapsedMs = 2500;
    host.picture = BlankBitmap();
    window.DecodeQR(host, Readings(0, 1), &fallback);
    EXPECT_TRUE(host.messages.shown.empty());
    EXPECT_EQ(host.unloads, 0);
    EXPECT_EQ(host.restores, 1);
    EXPECT_EQ(window.DecodeText, "found in the whole picture");
    EXPECT_EQ(window.labels.Version, "7");
    EXPECT_EQ(window.labels.DecodeTime, "2.500");
    EXPECT_EQ(window.Caption, kDecodeCaptionResult);

    host.picture = SymbolBitmap(); // a box that reads another symbol shows the picked one
    window.DecodeQR(host, Readings(0, 1), &fallback);
    EXPECT_EQ(window.DecodeText, "found in the whole picture");
    fallback.text = kSymbolText; // a box that reads the picked symbol shows its own decode
    window.DecodeQR(host, Readings(0, 1), &fallback);
    EXPECT_EQ(window.DecodeText, kSymbolText);
    EXPECT_NE(window.labels.Version, "7");
    host.save = StandInWindow::Save::Fail; // a file failure still says so
    window.DecodeQR(host, Readings(0, 1), &fallback);
    ASSERT_EQ(host.messages.shown.size(), 1u);
    EXPECT_EQ(host.messages.shown[0].text, "イメージファイルの作成ができませんでした   ");
}

TEST_F(DecodeFormTest, WithoutAPrivateTemporaryFolderNothingIsWritten) {
    program.TempFolder.clear();
    const auto before = std::filesystem::current_path();
    window.DecodeQR(host);
    ASSERT_EQ(host.messages.shown.size(), 1u);
    EXPECT_EQ(host.messages.shown[0].text, "イメージファイルの作成ができませんでした   ");
    EXPECT_FALSE(std::filesystem::exists(before / "#TEMP_QR.tmp"));
}

TEST_F(DecodeFormTest, ASecondRunClearsTheEarlierResultBeforeItStarts) {
    program.settings.HtmlBrowse = 1;
    window.DecodeQR(host);
    ASSERT_EQ(window.labels.Version, "1");
    ASSERT_TRUE(window.QrBrowseVisible);

    bool clearedAtRepaint = false;
    host.onRepaint = [&] {
        clearedAtRepaint = AllEmpty(window.labels) && window.DecodeText.empty() &&
                           window.DecodeTextVisible && !window.QrBrowseVisible;
    };
    host.save = StandInWindow::Save::Fail;
    window.Caption = kDecodeCaptionBusy;
    window.DecodeQR(host);
    EXPECT_TRUE(clearedAtRepaint);
    EXPECT_TRUE(AllEmpty(window.labels));
    EXPECT_TRUE(window.DecodeTextVisible);
    EXPECT_FALSE(window.QrBrowseVisible);
    EXPECT_TRUE(program.DecodeWindowOpen);
}

// The main window as the result window sees it when closing.
class MainWindowRecorder : public MainWindowLink {
  public:
    MainWindowRecorder(int16_t mode, const ProgramState& program)
        : mode_(mode), program_(program) {}
    std::vector<std::string> calls;
    int16_t MouseMode() const override { return mode_; }
    void SetGuidance(const std::string& text, int16_t waitSec) override {
        calls.push_back(text + " for " + std::to_string(waitSec));
    }
    void FocusMainWindow() override {
        calls.push_back(program_.DecodeWindowOpen ? "focus, still open" : "focus");
    }

  private:
    int16_t mode_;
    const ProgramState& program_;
};

struct UnloadRow {
    const char* name;
    int16_t mode;
    const char* guidance;
};

class DecodeFormUnload : public DecodeFormTest, public ::testing::WithParamInterface<UnloadRow> {};

TEST_P(DecodeFormUnload, LeavesTheModeHintClearsTheFlagAndGivesBackTheFocus) {
    const UnloadRow& row = GetParam();
    ASSERT_TRUE(program.DecodeWindowOpen);
    MainWindowRecorder main(row.mode, program);
    window.Form_Unload(main);
    EXPECT_FALSE(program.DecodeWindowOpen);
    EXPECT_EQ(main.calls,
              (std::vector<std::string>{std::string(row.guidance) + " for 5", "focus"}));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DecodeFormUnload,
    ::testing::Values(UnloadRow{"hand_mode_hints_at_the_cross_cursor", 1,
                                "ダブルクリックすると┼カーソルに切り替わります"},
                      UnloadRow{"box_mode_hints_at_the_hand_cursor", 2,
                                "ダブルクリックすると手カーソルに切り替わります"},
                      UnloadRow{"no_image_yet_hints_at_the_hand_cursor", 0,
                                "ダブルクリックすると手カーソルに切り替わります"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
