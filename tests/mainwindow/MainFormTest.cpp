// The two windows as widgets under the offscreen platform: pictures pasted
// from a stand-in clipboard, selections drawn with real mouse events, and
// message boxes recorded instead of shown.
#include "MainForm.h"
#include "QrFixtures.h"
#include "TempFolder.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// Readable failures for Qt's strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace zorvik {
namespace {

struct RecordedMessage {
    std::string text, title;
    MessageIcon icon;
};

class FakeMessages final : public MessageBoxes {
  public:
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        shown.push_back({text, title, icon});
    }
    std::vector<RecordedMessage> shown;
};

class FakeClipboard final : public Clipboard {
  public:
    QImage ReadPicture() override { return picture; }
    void WritePicture(const QImage& p) override { picture = p; }
    QImage picture;
};

QJsonObject ManifestItem(const QString& file) {
    QFile manifest(QString(ZORVIK_CORPUS_DIR) + "/manifest.json");
    EXPECT_TRUE(manifest.open(QIODevice::ReadOnly));
    for (const QJsonValue& item : QJsonDocument::fromJson(manifest.readAll())["items"].toArray())
        if (item["file"].toString() == file) return item.toObject();
    ADD_FAILURE() << "no manifest entry for " << file.toStdString();
    return {};
}

// A symbol made by libqrencode, 4 pixels a module.
QImage EncodedPicture(const std::string& text) {
    test::Picture grey = test::Render(test::EncodeText(text, 1), 4, 4);
    QImage picture(grey.width, grey.height, QImage::Format_Grayscale8);
    for (int r = 0; r < grey.height; ++r)
        std::copy_n(&grey.at(r, 0), grey.width, picture.scanLine(r));
    return picture;
}

QImage CorpusPicture(const QString& file) {
    QImage picture(QString(ZORVIK_CORPUS_DIR) + "/" + file);
    EXPECT_FALSE(picture.isNull()) << file.toStdString();
    return picture;
}

void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString Label(const QWidget* window, const char* name) {
    const auto* label = window->findChild<QLabel*>(name);
    return label ? label->text() : "<none>";
}

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<MainForm>(services(), folder("program"), folder("temp"));
    }
    void TearDown() override {
        form.reset();
        FlushDeletes();
    }
    std::string folder(const std::string& name) {
        std::filesystem::create_directories(scratch / name);
        return (scratch / name).string();
    }
    MainForm::Services services() { return {messages, clipboard}; }

    void Paste(const QImage& picture) {
        clipboard.picture = picture;
        form->GetClipboard_Click();
    }
    // A left-button drag on the view from one pixel to another.
    void Drag(QPoint from, QPoint to) {
        QWidget* view = form->selectPic();
        auto send = [view](QEvent::Type type, QPoint at, Qt::MouseButton button,
                           Qt::MouseButtons held) {
            QMouseEvent event(type, QPointF(at), view->mapToGlobal(QPointF(at)), button, held,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(view, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        QCoreApplication::processEvents(); // the deferred press
        send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }

    test::TempFolder scratch{"mainform"};
    FakeMessages messages;
    FakeClipboard clipboard;
    std::unique_ptr<MainForm> form;
};

TEST_F(MainFormTest, StartsEmptyWithItsCaptionAndTheDefaultSettingsFile) {
    EXPECT_EQ(form->windowTitle().toStdString(), "ミルカ");
    EXPECT_EQ(form->model().MOUSE_MODE, 0);
    EXPECT_EQ(form->model().mGuidance, "カメラや貼り付けを使って画像を取り込みます");
    EXPECT_TRUE(std::filesystem::exists(scratch / "program" / "ZORVIK.ini"));
    EXPECT_EQ(form->program().TempFolder, (scratch / "temp").string() + "/");
    EXPECT_EQ(form->program().DebugFolder, "");
}

TEST_F(MainFormTest, ASmallPastedSymbolIsDecodedAtOnceAndFillsEveryLabel) {
    const QJsonObject item = ManifestItem("clean/clean_001_v09M_m3_alphanumeric.png");
    Paste(CorpusPicture(item["file"].toString()));

    DecodeForm* result = form->decodeForm();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(form->program().DecodeWindowOpen);
    EXPECT_EQ(result->windowTitle().toStdString(), "ＱＲコード  デコード結果");
    EXPECT_EQ(result->findChild<QPlainTextEdit*>()->toPlainText(), item["text"].toString());
    EXPECT_EQ(form->model().mXsize, "X : 171");
    EXPECT_EQ(Label(result, "Version"), "9");
    EXPECT_EQ(Label(result, "CorrLevel"), "M");
    EXPECT_EQ(Label(result, "MaxCor"), "（最大訂正率 約15%）");
    EXPECT_EQ(Label(result, "MaskNo"), QString::number(item["mask"].toInt()));
    EXPECT_EQ(Label(result, "CorRate"), "0.0");
    EXPECT_EQ(Label(result, "ConcatNo"), "");
    EXPECT_FALSE(Label(result, "DataWord").isEmpty());
    EXPECT_TRUE(Label(result, "CompressRate").startsWith("（圧縮率 "));
    EXPECT_TRUE(Label(result, "DecodeTime").contains('.'));
    EXPECT_FALSE(std::filesystem::exists(scratch / "temp" / "#TEMP_QR.tmp"));
}

TEST_F(MainFormTest, ASecondDecodeReusesTheOpenResultWindow) {
    Paste(CorpusPicture("clean/clean_001_v09M_m3_alphanumeric.png"));
    QPointer<DecodeForm> first = form->decodeForm();
    ASSERT_TRUE(first);
    const QJsonObject item = ManifestItem("clean/clean_004_v02L_m3_kanji.png");
    Paste(CorpusPicture(item["file"].toString()));
    FlushDeletes();
    EXPECT_EQ(form->decodeForm(), first.data());
    EXPECT_EQ(first->findChild<QPlainTextEdit*>()->toPlainText(), item["text"].toString());
}

TEST_F(MainFormTest, APictureWithoutASymbolShowsTheMessageAndClosesTheResultWindow) {
    QImage blank(120, 90, QImage::Format_RGB32);
    blank.fill(Qt::white);
    Paste(blank);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "ミルカ");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(messages.shown[0].text.rfind("   ＱＲコード", 0), 0u) << messages.shown[0].text;
    FlushDeletes();
    EXPECT_EQ(form->decodeForm(), nullptr);
    EXPECT_FALSE(form->program().DecodeWindowOpen);
    // Its closing leaves the hint of the current mode (hand after a paste).
    EXPECT_EQ(form->model().mGuidance, "ダブルクリックすると┼カーソルに切り替わります");
}

TEST_F(MainFormTest, ALargePictureWaitsForABoxDragWhichDecodesOnRelease) {
    const QJsonObject item = ManifestItem("clean/clean_000_v15L_m5_numeric.png");
    Paste(CorpusPicture(item["file"].toString()));
    EXPECT_EQ(form->decodeForm(), nullptr);
    EXPECT_FALSE(form->model().DecodeEnabled);

    form->ModeSelect_Click(1);
    Drag(QPoint(4, 6), QPoint(421, 418));
    EXPECT_EQ(form->model().mXsize, "X : 417");
    EXPECT_EQ(form->model().mYsize, "Y : 412");
    ASSERT_NE(form->decodeForm(), nullptr);
    EXPECT_EQ(form->decodeForm()->QrPicture().size(), QSize(417, 412));
    EXPECT_EQ(form->decodeForm()->findChild<QPlainTextEdit*>()->toPlainText(),
              item["text"].toString());
}

TEST_F(MainFormTest, AZoomedSelectionIsCutFromThePictureAtActualSize) {
    Paste(CorpusPicture("clean/clean_000_v15L_m5_numeric.png"));
    form->ZoomIn_Click();
    EXPECT_EQ(form->model().mZoomRate, "2倍");
    form->ModeSelect_Click(1);
    Drag(QPoint(20, 40), QPoint(220, 140)); // 200 x 100 on screen
    ASSERT_NE(form->decodeForm(), nullptr);
    const QImage cut = form->decodeForm()->QrPicture();
    EXPECT_EQ(cut.size(), QSize(100, 50));
    EXPECT_EQ(cut, form->basePicture().copy(10, 20, 100, 50).convertToFormat(cut.format()));
}

TEST(MainFormSettingsTest, TheHtmlViewShowsThePageInItsColoursAndShutDownRemovesIt) {
    test::TempFolder scratch("mainform-html");
    std::filesystem::create_directories(scratch / "program");
    std::filesystem::create_directories(scratch / "temp");
    std::ofstream(scratch / "program" / "ZORVIK.ini")
        << "HtmlBrowse=1\r\nLinkColor=00ff00\r\nTextColor=112233\r\nFontSize=3\r\n"
           "DecodeAtOnce=1\r\n";
    FakeMessages messages;
    FakeClipboard clipboard;
    auto form =
        std::make_unique<MainForm>(MainForm::Services{messages, clipboard},
                                   (scratch / "program").string(), (scratch / "temp").string());
    clipboard.picture = EncodedPicture("see https://example.jp/a?b=1&c=2 <b>now</b>");
    form->GetClipboard_Click();
    ASSERT_NE(form->decodeForm(), nullptr);
    auto* browser = form->decodeForm()->findChild<QTextBrowser*>();
    EXPECT_TRUE(browser->isVisibleTo(form->decodeForm()));
    EXPECT_FALSE(form->decodeForm()->findChild<QPlainTextEdit*>()->isVisibleTo(form->decodeForm()));
    // The markup of the text is shown as text, the address as a link in the
    // link colour, the rest in the text colour.
    EXPECT_EQ(browser->toPlainText().trimmed(), "see https://example.jp/a?b=1&c=2 <b>now</b>");
    EXPECT_TRUE(browser->toHtml().contains("#00ff00", Qt::CaseInsensitive));
    EXPECT_TRUE(browser->toHtml().contains("href=\"https://example.jp/a?b=1&amp;c=2\""));
    EXPECT_TRUE(browser->document()->defaultStyleSheet().contains("#112233"));
    EXPECT_TRUE(std::filesystem::exists(scratch / "temp" / "#TEMP_QR.html"));

    form->close();
    EXPECT_FALSE(std::filesystem::exists(scratch / "temp" / "#TEMP_QR.html"));
    form.reset();
    FlushDeletes();
}

} // namespace
} // namespace zorvik

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
