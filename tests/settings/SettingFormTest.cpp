// The options dialog as a widget under the offscreen platform: real mouse
// clicks and typing on its controls, stand-ins for the message box and the
// file and colour dialogs.
#include "SettingForm.h"
#include "FakePlatform.h"
#include "QtTestSupport.h"
#include "TempFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

// Readable failures for Qt's strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace zorvik {
namespace {

using test::FakeColourDialogs;
using test::FakeFileDialogs;
using test::FakeMessages;

class SettingFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.HtmlBrowse = 0;
        settings.TextColor = {0x10, 0x20, 0x30};
        Open();
    }
    void TearDown() override {
        if (form) form->close();
        test::FlushDeletes();
    }
    void Open() {
        form = new SettingForm(settings, scratch.path().string() + "/", messages, files, colours,
                               [this] { ++unloads; });
        form->show();
    }
    template <typename T> T* Child(const char* name) {
        T* child = form->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Click(const char* name) { QTest::mouseClick(Child<QWidget>(name), Qt::LeftButton); }
    bool ApplyEnabled() { return Child<QPushButton>("CmdButton2")->isEnabled(); }
    // The colour of one pixel of a swatch, as drawn.
    QRgb SwatchPixel(int index, QPoint at) {
        QWidget* swatch = Child<QWidget>(qPrintable(QString("SetColor%1").arg(index)));
        return swatch->grab().toImage().pixel(at) & 0xFFFFFF;
    }
    // The pointer moving over a widget with no button held. Sent to the
    // widget: the offscreen platform's cursor makes no move events.
    void Hover(QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, widget->rect().center(),
                         widget->mapToGlobal(widget->rect().center()), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }

    test::TempFolder scratch{"settingform-widget"};
    Settings settings;
    FakeMessages messages;
    FakeFileDialogs files;
    FakeColourDialogs colours;
    int unloads = 0;
    QPointer<SettingForm> form;
};

TEST_F(SettingFormTest, EveryControlHasItsNameAndCaption) {
    EXPECT_EQ(form->windowTitle(), "ミルカ　オプション設定");
    const std::pair<const char*, const char*> labels[] = {
        {"msgHtmlBrowse", " デコード結果を html 化してブラウザで表示する"},
        {"msgSetColor0", "バックカラー"},
        {"msgSetColor1", "テキストカラー"},
        {"msgSetColor2", "リンクカラー"},
        {"msgFontSize", "フォントサイズ"},
        {"msgDecodeAtOnce", " QRコード範囲確定およびクリップボード取込時に即時デコードする"},
        {"msgCameraSound", " シャッター音の再生"},
        {"msgSegmentInfo", " 読取データのセグメント情報をテキストファイルに出力する"},
        {"Label9", "出力先"},
    };
    for (const auto& [name, caption] : labels) EXPECT_EQ(Child<QLabel>(name)->text(), caption);
    const std::pair<const char*, const char*> buttons[] = {{"FileSearch", ">>"},
                                                           {"CmdButton0", "OK"},
                                                           {"CmdButton1", "キャンセル"},
                                                           {"CmdButton2", "適用"}};
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(Child<QPushButton>(name)->text(), caption);
    for (const char* name : {"HtmlBrowse", "DecodeAtOnce", "CameraSound", "SegmentInfo"})
        EXPECT_EQ(Child<QCheckBox>(name)->text(), "");
    EXPECT_EQ(Child<QLineEdit>("TextFontSize")->text(), "3");
    EXPECT_EQ(Child<QScrollBar>("ChangeFontSize")->value(), 5);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(SwatchPixel(1, {10, 8}), 0x102030u); // the fill, as RGB
    EXPECT_EQ(SwatchPixel(1, {0, 0}), 0xC0C0C0u);  // the grey border
}

TEST_F(SettingFormTest, ClickingACaptionTogglesItsBoxAndEnablesApply) {
    auto* htmlBrowse = Child<QCheckBox>("HtmlBrowse");
    EXPECT_FALSE(Child<QScrollBar>("ChangeFontSize")->isEnabled());
    Click("msgHtmlBrowse");
    EXPECT_TRUE(htmlBrowse->isChecked());
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_TRUE(Child<QScrollBar>("ChangeFontSize")->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>("TextFontSize")->isEnabled());

    Click("HtmlBrowse"); // the box itself
    EXPECT_FALSE(htmlBrowse->isChecked());
    EXPECT_FALSE(Child<QLineEdit>("TextFontSize")->isEnabled());
}

TEST_F(SettingFormTest, ColourLabelsWorkOnlyWithHtmlBrowse) {
    colours.answer = 0x563412;
    Hover(Child<QWidget>("msgSetColor1"));
    Click("msgSetColor1");
    EXPECT_TRUE(colours.started.empty());
    EXPECT_EQ(SwatchPixel(1, {0, 0}), 0xC0C0C0u);
    EXPECT_FALSE(ApplyEnabled());

    Click("msgHtmlBrowse");
    Hover(Child<QWidget>("msgSetColor1"));
    EXPECT_EQ(SwatchPixel(1, {0, 0}), 0xEFDFCFu); // the inverse of the fill
    Hover(form);                                  // the background
    EXPECT_EQ(SwatchPixel(1, {0, 0}), 0xC0C0C0u);

    Click("msgSetColor1");
    EXPECT_EQ(colours.started, (std::vector<uint32_t>{0x302010}));
    // The start colour was offered as the first custom colour.
    EXPECT_EQ(QColorDialog::customColor(0).rgb() & 0xFFFFFF, 0x102030u);
    EXPECT_EQ(SwatchPixel(1, {10, 8}), 0x123456u);
    EXPECT_TRUE(ApplyEnabled());
}

TEST_F(SettingFormTest, ApplyRefusesAnEmptyOutputPathThenSavesTheTypedOne) {
    Click("msgSegmentInfo");
    auto* path = Child<QLineEdit>("SegmentInfoFile");
    EXPECT_TRUE(path->isEnabled());
    Click("CmdButton2");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "セグメント情報出力先を設定してください");
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{form.data()}));
    EXPECT_EQ(form->focusWidget(), path);
    EXPECT_TRUE(ApplyEnabled());

    QTest::keyClicks(path, "/tmp/seg.txt");
    Click("CmdButton2");
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(settings.SegmentInfo, 1);
    EXPECT_EQ(settings.InfoFileName, "/tmp/seg.txt");
    EXPECT_NE(test::ReadFileBytes(scratch / "ZORVIK.ini").find("InfoFileName=/tmp/seg.txt"),
              std::string::npos);
}

TEST_F(SettingFormTest, FileSearchAndTheScrollBarFillTheirBoxes) {
    Click("msgSegmentInfo");
    Click("CmdButton2"); // refused: nothing else happens
    files.answer = "/home/u/seg.txt";
    Click("FileSearch");
    EXPECT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(Child<QLineEdit>("SegmentInfoFile")->text(), "/home/u/seg.txt");

    Click("msgHtmlBrowse");
    Child<QScrollBar>("ChangeFontSize")->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(Child<QLineEdit>("TextFontSize")->text(), "7");
    Click("CmdButton0");
    EXPECT_EQ(settings.FontSize, 7);
    EXPECT_EQ(settings.InfoFileName, "/home/u/seg.txt");
}

TEST_F(SettingFormTest, EveryWayOfClosingUnloadsOnce) {
    Click("CmdButton0"); // OK with nothing changed
    test::FlushDeletes();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(std::filesystem::exists(scratch / "ZORVIK.ini"));

    Open();
    Click("msgCameraSound");
    Click("CmdButton1"); // Cancel
    test::FlushDeletes();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(unloads, 2);
    EXPECT_EQ(settings.CameraSound, 1);

    Open();
    form->close(); // the close box
    test::FlushDeletes();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(unloads, 3);
}

TEST_F(SettingFormTest, StaysUsableWhileItsOwnerIsDisabled) {
    form->close();
    test::FlushDeletes();
    QWidget owner;
    owner.show();
    form = new SettingForm(
        settings, scratch.path().string() + "/", messages, files, colours,
        [&owner] { owner.setEnabled(true); }, &owner);
    form->show();
    owner.setEnabled(false);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_FALSE(ApplyEnabled()); // what the dialog disabled stays disabled
    EXPECT_FALSE(Child<QLineEdit>("SegmentInfoFile")->isEnabled());

    Click("msgDecodeAtOnce");
    EXPECT_TRUE(ApplyEnabled());
    Click("CmdButton0");
    EXPECT_EQ(settings.DecodeAtOnce, 0);
    EXPECT_TRUE(owner.isEnabled());
    test::FlushDeletes();
    EXPECT_TRUE(form.isNull());
}

} // namespace
} // namespace zorvik
