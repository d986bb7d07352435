// The options dialog's rules without a display: stand-in dialogs record what
// they were asked and answer as told; the settings file goes to a scratch
// folder.
#include "SettingFormModel.h"
#include "FakePlatform.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace zorvik {
namespace {

namespace fs = std::filesystem;

using test::FakeColourDialogs;
using test::FakeFileDialogs;
using test::FakeMessages;

class SettingFormModelTest : public ::testing::Test {
  protected:
    SettingFormModelTest() {
        settings.HtmlBrowse = 1;
        settings.BackColor = {255, 255, 255};
        settings.TextColor = {0x10, 0x20, 0x30};
        settings.LinkColor = {0, 0, 255};
        settings.FontSize = 2;
        settings.SegmentInfo = 0;
        settings.InfoFileName = "";
    }
    std::string File() const { return test::ReadFileBytes(scratch / "ZORVIK.ini"); }
    bool FileExists() const { return fs::exists(scratch / "ZORVIK.ini"); }
    void Open() { model.Form_Load(); }
    bool Changed() const { return model.CmdButtonEnabled[SettingFormModel::Apply]; }

    test::TempFolder scratch{"settingform"};
    Settings settings;
    SettingFormModel model{settings, scratch.path().string() + "/"};
    FakeMessages messages;
    FakeFileDialogs files;
    FakeColourDialogs colours;
};

TEST_F(SettingFormModelTest, OpeningFillsTheControlsAndStartsUnchanged) {
    Open();
    EXPECT_EQ(model.HtmlBrowse, 1);
    EXPECT_EQ(model.SetColorFill, (std::array<uint32_t, 3>{0xFFFFFF, 0x302010, 0xFF0000}));
    EXPECT_EQ(model.TextFontSize, "2");
    EXPECT_EQ(model.ChangeFontSize, 6);
    EXPECT_TRUE(model.TextFontSizeEnabled && model.ChangeFontSizeEnabled);
    EXPECT_FALSE(model.SegmentInfoFileEnabled || model.FileSearchEnabled);
    EXPECT_FALSE(Changed());

    settings.HtmlBrowse = 0;
    settings.SegmentInfo = 1;
    Open();
    EXPECT_FALSE(model.TextFontSizeEnabled || model.ChangeFontSizeEnabled);
    EXPECT_TRUE(model.SegmentInfoFileEnabled && model.FileSearchEnabled);
}

TEST_F(SettingFormModelTest, OkWithoutChangesWritesNothing) {
    const std::string before = "[ZORVIK 1.2]\r\nFontSize=5\r\n";
    std::ofstream(scratch / "ZORVIK.ini", std::ios::binary) << before;
    Open();
    model.CmdButton_Click(SettingFormModel::OK, messages);
    EXPECT_TRUE(model.CloseRequested);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(settings.FontSize, 2);
}

TEST_F(SettingFormModelTest, CaptionLabelsToggleTheirBoxesAndMarkChanged) {
    Open();
    model.msgHtmlBrowse_Click();
    EXPECT_EQ(model.HtmlBrowse, 0);
    EXPECT_FALSE(model.TextFontSizeEnabled || model.ChangeFontSizeEnabled);
    EXPECT_TRUE(Changed());
    model.msgHtmlBrowse_Click();
    EXPECT_EQ(model.HtmlBrowse, 1);
    EXPECT_TRUE(model.TextFontSizeEnabled && model.ChangeFontSizeEnabled);

    model.msgSegmentInfo_Click();
    EXPECT_EQ(model.SegmentInfo, 1);
    EXPECT_TRUE(model.SegmentInfoFileEnabled && model.FileSearchEnabled);

    Open();
    model.msgDecodeAtOnce_Click();
    EXPECT_EQ(model.DecodeAtOnce, 0);
    EXPECT_TRUE(Changed());
    Open();
    model.msgCameraSound_Click();
    EXPECT_EQ(model.CameraSound, 0);
    model.msgCameraSound_Click();
    EXPECT_EQ(model.CameraSound, 1);
    EXPECT_TRUE(Changed());
}

TEST_F(SettingFormModelTest, ScrollBarTopIsFontSizeSeven) {
    Open();
    model.ChangeFontSize_Change(1);
    EXPECT_EQ(model.TextFontSize, "7");
    EXPECT_TRUE(Changed());
    model.ChangeFontSize_Change(7);
    EXPECT_EQ(model.TextFontSize, "1");
}

TEST_F(SettingFormModelTest, ColourLabelsAreInertWhileHtmlBrowseIsOff) {
    settings.HtmlBrowse = 0;
    Open();
    colours.answer = 0x123456;
    model.msgSetColor_Click(1, colours, nullptr);
    model.msgSetColor_MouseMove(1);
    EXPECT_TRUE(colours.started.empty());
    EXPECT_EQ(model.SetColorFill[1], 0x302010u);
    EXPECT_EQ(model.SetColorBorder, (std::array<uint32_t, 3>{0xC0C0C0, 0xC0C0C0, 0xC0C0C0}));
    EXPECT_FALSE(Changed());
}

TEST_F(SettingFormModelTest, HoverMarksOneSwatchWithItsInverse) {
    Open();
    model.msgSetColor_MouseMove(0);
    EXPECT_EQ(model.SetColorBorder, (std::array<uint32_t, 3>{0x000000, 0xC0C0C0, 0xC0C0C0}));
    model.msgSetColor_MouseMove(1);
    EXPECT_EQ(model.SetColorBorder, (std::array<uint32_t, 3>{0xC0C0C0, 0xCFDFEF, 0xC0C0C0}));
    model.Form_MouseMove();
    EXPECT_EQ(model.SetColorBorder, (std::array<uint32_t, 3>{0xC0C0C0, 0xC0C0C0, 0xC0C0C0}));
    EXPECT_FALSE(Changed());
}

TEST_F(SettingFormModelTest, ColourPickStartsAtTheFillAndTakesTheChoice) {
    Open();
    model.msgSetColor_Click(2, colours, nullptr); // the user cancels
    EXPECT_EQ(colours.started, (std::vector<uint32_t>{0xFF0000}));
    EXPECT_EQ(model.SetColorFill[2], 0xFF0000u);
    EXPECT_FALSE(Changed());

    colours.answer = 0x123456;
    model.msgSetColor_Click(2, colours, nullptr);
    EXPECT_EQ(model.SetColorFill[2], 0x123456u);
    EXPECT_TRUE(Changed());
}

TEST_F(SettingFormModelTest, FileSearchAsksForATextFileAndTakesThePath) {
    settings.SegmentInfo = 1;
    Open();
    model.FileSearch_Click(files, nullptr);
    ASSERT_EQ(files.asked.size(), 1u);
    const char filter[] = "テキストファイル (*.txt)\0*.txt\0すべてのファイル\0*.*\0";
    EXPECT_EQ(files.asked[0].filter, std::string(filter, sizeof filter - 1));
    EXPECT_EQ(files.asked[0].flags, 4u);
    EXPECT_EQ(files.asked[0].title, "セグメント情報出力先");
    EXPECT_EQ(model.SegmentInfoFile, "");
    EXPECT_FALSE(Changed());

    files.answer = "/home/u/segments.txt";
    model.FileSearch_Click(files, nullptr);
    EXPECT_EQ(model.SegmentInfoFile, "/home/u/segments.txt");
    EXPECT_TRUE(Changed());
}

TEST_F(SettingFormModelTest, OutputFileOnWithoutAPathIsRefusedUntilOneIsGiven) {
    Open();
    model.msgSegmentInfo_Click();
    model.CmdButton_Click(SettingFormModel::Apply, messages);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "セグメント情報出力先を設定してください");
    EXPECT_EQ(messages.shown[0].title, "ZORVIK");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(model.FocusSegmentInfoFile);
    EXPECT_TRUE(Changed());
    EXPECT_FALSE(FileExists());
    EXPECT_EQ(settings.SegmentInfo, 0);

    model.FocusSegmentInfoFile = false;
    model.CmdButton_Click(SettingFormModel::OK, messages); // OK stays open too
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(model.CloseRequested);

    model.SegmentInfoFile_Change("/tmp/seg.txt");
    model.CmdButton_Click(SettingFormModel::Apply, messages);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(Changed());
    EXPECT_FALSE(model.CloseRequested);
    EXPECT_EQ(settings.SegmentInfo, 1);
    EXPECT_EQ(settings.InfoFileName, "/tmp/seg.txt");
    EXPECT_NE(File().find("\r\nSegmentInfo=1\r\nInfoFileName=/tmp/seg.txt\r\n"), std::string::npos);
}

TEST_F(SettingFormModelTest, CancelAfterApplyKeepsWhatWasApplied) {
    Open();
    model.ChangeFontSize_Change(1);
    model.CmdButton_Click(SettingFormModel::Apply, messages);
    const std::string applied = File();
    EXPECT_NE(applied.find("\r\nFontSize=7\r\n"), std::string::npos);

    model.ChangeFontSize_Change(4);
    model.msgCameraSound_Click();
    model.CmdButton_Click(SettingFormModel::Cancel, messages);
    EXPECT_TRUE(model.CloseRequested);
    EXPECT_EQ(settings.FontSize, 7);
    EXPECT_EQ(settings.CameraSound, 1);
    EXPECT_EQ(File(), applied);
}

TEST_F(SettingFormModelTest, OkWithChangesAppliesAndCloses) {
    Open();
    model.msgDecodeAtOnce_Click();
    model.CmdButton_Click(SettingFormModel::OK, messages);
    EXPECT_TRUE(model.CloseRequested);
    EXPECT_EQ(settings.DecodeAtOnce, 0);
    EXPECT_NE(File().find("\r\nDecodeAtOnce=0\r\n"), std::string::npos);
}

TEST_F(SettingFormModelTest, ApplySplitsEachFillIntoRedGreenBlue) {
    Open();
    model.SetColorFill = {0x0C0B0A, 0xFF8001, 0x000000};
    model.ApplySettingsFromDialog();
    EXPECT_EQ(settings.BackColor, (RgbColor{0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(settings.TextColor, (RgbColor{0x01, 0x80, 0xFF}));
    EXPECT_EQ(settings.LinkColor, (RgbColor{0, 0, 0}));
    EXPECT_NE(File().find("\r\nBackColor=0a0b0c\r\nTextColor=0180ff\r\nLinkColor=000000\r\n"),
              std::string::npos);
}

TEST_F(SettingFormModelTest, AFontSizeTextThatIsNotOneDigitLeavesFontSize) {
    Open();
    for (const char* text : {"", "0", "8", "12", "a", " 5"}) {
        model.TextFontSize = text;
        model.ApplySettingsFromDialog();
        EXPECT_EQ(settings.FontSize, 2) << text;
    }
    // A file without the key gives size 0: its text shows, the scroll bar
    // stays in range, and applying keeps the 0.
    settings.FontSize = 0;
    Open();
    EXPECT_EQ(model.TextFontSize, "0");
    EXPECT_EQ(model.ChangeFontSize, 7);
    model.ApplySettingsFromDialog();
    EXPECT_EQ(settings.FontSize, 0);
}

TEST(CustomColourSlots, StartColourOnlyWhereTheRuleAllows) {
    auto slot0 = [](uint32_t start) {
        const auto all = CustomColourSlots(start);
        for (size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i], kWhite);
        return all[0];
    };
    EXPECT_EQ(slot0(0x302010), 0x302010u);
    EXPECT_EQ(slot0(0x01FF01), 0x01FF01u); // green 255, but red has low bits
    EXPECT_EQ(slot0(0x000000), kWhite);    // no low blue bits
    EXPECT_EQ(slot0(0xE00000), kWhite);    // blue 224: low five bits clear
    EXPECT_EQ(slot0(0x0100FF), kWhite);    // red 255
    EXPECT_EQ(slot0(0x01FF20), kWhite);    // red without low bits and green 255
    EXPECT_EQ(slot0(0xFFE001), kWhite);    // blue 255 and green without low bits
    EXPECT_EQ(slot0(0xFFE101), 0xFFE101u);
}

} // namespace
} // namespace zorvik
