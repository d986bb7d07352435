// The two windows as widgets under the offscreen platform: pictures pasted
// from a stand-in clipboard, selections drawn with real mouse events, and
// message boxes recorded instead of shown.
#include "MainForm.h"
#include "FakePlatform.h"
#include "MainFormFixture.h"
#include "QrFixtures.h"
#include "QtTestSupport.h"
#include "TempFolder.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QThreadPool>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "ScreenCapture.h"

#include <cctype>
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

QString Label(const QWidget* window, const char* name) {
    const auto* label = window->findChild<QLabel*>(name);
    return label ? label->text() : "<none>";
}

class MainFormTest : public test::MainFormFixture {
  protected:
    MainFormTest() : MainFormFixture("mainform") {}
    // A fresh start with this settings file beside the program.
    void Restart(const std::string& ini) { Start(ini); }
    void Drag(QPoint from, QPoint to) { MainFormFixture::Drag(QPointF(from), QPointF(to)); }

    test::FakeMessages& messages = platform.messages;
    test::FakeClipboard& clipboard = platform.clipboard;
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
    test::FlushDeletes();
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
    // Over the result window, whose decode raised it (closed, not yet deleted).
    ASSERT_NE(form->decodeForm(), nullptr);
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{form->decodeForm()}));
    test::FlushDeletes();
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

QImage Filled(int width, int height, QRgb colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

TEST_F(MainFormTest, ADesktopCaptureWaitsPlaysTheShutterAndShowsThePictureViaTheClipboard) {
    std::ofstream(scratch / "program" / "camera.wav") << "RIFF";
    platform.capture.desktop = {EncodedPicture("captured"), ""};
    form->CaptureScreen(1);
    EXPECT_EQ(platform.capture.calls,
              (std::vector<std::string>{"pause 400", "desktop", "pause 500"}));
    ASSERT_EQ(platform.sound.played.size(), 1u);
    EXPECT_EQ(platform.sound.played[0], (scratch / "program" / "camera.wav").string());
    EXPECT_EQ(clipboard.picture, platform.capture.desktop.picture);
    EXPECT_EQ(form->basePicture().size(), platform.capture.desktop.picture.size());
    // A capture is shown for selection, never decoded by itself.
    EXPECT_EQ(form->model().MOUSE_MODE, 1);
    EXPECT_EQ(form->model().mGuidance, "ＱＲコード部分を選択してください");
    EXPECT_EQ(form->decodeForm(), nullptr);
    EXPECT_FALSE(form->isMinimized());
}

TEST_F(MainFormTest, WithoutTheSoundACaptureWaitsLongerAndPlaysNothing) {
    Restart("CameraSound=0\r\nDecodeAtOnce=1\r\n");
    std::ofstream(scratch / "program" / "camera.wav") << "RIFF";
    platform.capture.activeWindow = {Filled(300, 200, qRgb(20, 40, 60)), ""};
    form->CaptureScreen(0);
    EXPECT_EQ(platform.capture.calls, (std::vector<std::string>{"pause 800", "active"}));
    EXPECT_TRUE(platform.sound.played.empty());
    EXPECT_EQ(form->basePicture().pixel(10, 10), qRgb(20, 40, 60));
}

TEST_F(MainFormTest, ACaptureThatFailsOrIsTinyLeavesNoImageAndSaysWhy) {
    Paste(Filled(50, 50, qRgb(255, 255, 255))); // something in the view before
    platform.capture.desktop = {QImage(), kCaptureUnavailable};
    form->CaptureScreen(1);
    EXPECT_EQ(form->model().SelectPic.width, 0);
    EXPECT_FALSE(form->model().ZoomInEnabled);
    EXPECT_EQ(form->model().mGuidance, kCaptureUnavailable);
    EXPECT_TRUE(clipboard.picture.isNull()); // emptied, not left with the old picture
    EXPECT_TRUE(platform.sound.played.empty());

    platform.capture.activeWindow = {Filled(5, 40, qRgb(0, 0, 0)), ""};
    form->CaptureScreen(0);
    EXPECT_EQ(form->model().mGuidance, "カメラや貼り付けを使って画像を取り込みます");
    EXPECT_EQ(form->model().SelectPic.width, 0);
}

TEST_F(MainFormTest, ACaptureWithoutAnActiveWindowShowsTheDesktopAndSaysSo) {
    platform.capture.activeWindow = {Filled(640, 480, qRgb(1, 2, 3)), kCaptureNoActiveWindow};
    form->CaptureScreen(0);
    EXPECT_EQ(form->model().MOUSE_MODE, 1);
    EXPECT_EQ(form->model().mGuidance, kCaptureNoActiveWindow);
}

// The portal's prompt or picker came while the window was shown: a picture
// or a note from then on ends the capture there, with no minimising.
TEST_F(MainFormTest, ACaptureSettledWhileShownNeitherMinimisesNorAsksAgain) {
    platform.capture.beforeHiding = {Filled(300, 200, qRgb(20, 40, 60)), ""};
    form->CaptureScreen(0);
    EXPECT_EQ(platform.capture.beforeHidingAsked, std::vector<bool>{false});
    EXPECT_TRUE(platform.capture.calls.empty()); // no pause, no second capture
    EXPECT_EQ(form->basePicture().pixel(10, 10), qRgb(20, 40, 60));

    platform.capture.beforeHiding = {QImage(), kCaptureDenied};
    form->CaptureScreen(1);
    EXPECT_EQ(platform.capture.beforeHidingAsked, (std::vector<bool>{false, true}));
    EXPECT_TRUE(platform.capture.calls.empty());
    EXPECT_EQ(form->model().mGuidance, kCaptureDenied);
    EXPECT_TRUE(clipboard.picture.isNull());
}

TEST_F(MainFormTest, ACaptureClosesAnOpenResultWindow) {
    Paste(CorpusPicture("clean/clean_001_v09M_m3_alphanumeric.png"));
    ASSERT_NE(form->decodeForm(), nullptr);
    platform.capture.desktop = {Filled(640, 480, qRgb(9, 9, 9)), ""};
    form->CaptureScreen(1);
    test::FlushDeletes();
    EXPECT_EQ(form->decodeForm(), nullptr);
    EXPECT_FALSE(form->program().DecodeWindowOpen);
}

TEST_F(MainFormTest, SavingTheSelectionWritesABitmapOfItsSizeAndCancellingWritesNothing) {
    Restart("DecodeAtOnce=0\r\n");
    Paste(CorpusPicture("clean/clean_000_v15L_m5_numeric.png"));
    form->ModeSelect_Click(1);
    Drag(QPoint(100, 100), QPoint(200, 150));
    ASSERT_TRUE(form->model().SaveSelectionItemEnabled);
    EXPECT_EQ(form->decodeForm(), nullptr); // no decode with DecodeAtOnce 0

    const std::string path = (scratch / "saved.bmp").string();
    platform.fileDialogs.answer = path;
    form->SaveSelection();
    ASSERT_EQ(platform.fileDialogs.asked.size(), 1u);
    EXPECT_EQ(platform.fileDialogs.asked[0].filter,
              std::string("ビットマップ (*.bmp)\0*.bmp\0", sizeof "ビットマップ (*.bmp)" + 6));
    EXPECT_EQ(platform.fileDialogs.asked[0].flags, 6u);
    EXPECT_EQ(platform.fileDialogs.asked[0].title, "ビットマップ保存");
    const QImage saved(QString::fromStdString(path), "BMP");
    EXPECT_EQ(saved.size(), QSize(100, 50));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
              form->basePicture().copy(100, 100, 100, 50));
    test::FlushDeletes();
    EXPECT_EQ(form->decodeForm(), nullptr); // loaded for the save only
    EXPECT_FALSE(form->program().DecodeWindowOpen);

    std::filesystem::remove(path);
    platform.fileDialogs.answer.clear();
    form->SaveSelection();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(MainFormTest, SavingClosesAResultWindowThatShowsAResult) {
    Paste(CorpusPicture("clean/clean_001_v09M_m3_alphanumeric.png"));
    ASSERT_NE(form->decodeForm(), nullptr);
    form->SaveSelection(); // cancelled
    test::FlushDeletes();
    EXPECT_EQ(form->decodeForm(), nullptr);
    EXPECT_EQ(form->model().mGuidance, "ダブルクリックすると┼カーソルに切り替わります");
}

TEST_F(MainFormTest, TheRightClickMenuSavesASmallPasteSelectedWhole) {
    Restart("DecodeAtOnce=0\r\n");
    Paste(EncodedPicture("saved from the menu"));
    ASSERT_TRUE(form->model().DecodeEnabled);
    EXPECT_FALSE(form->model().SaveSelectionItemEnabled); // only the right-click menu saves it
    QWidget* view = form->selectPic();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &press);
    for (int i = 0; i < 200 && !form->rightClickMenu(); ++i) QTest::qWait(5); // the deferred press
    QMenu* menu = form->rightClickMenu();
    ASSERT_NE(menu, nullptr);
    QAction* save = menu->actions().at(5);
    EXPECT_EQ(save->text(), "選択範囲を保存");
    ASSERT_TRUE(save->isEnabled());

    const std::string path = (scratch / "whole.bmp").string();
    platform.fileDialogs.answer = path;
    save->trigger();
    menu->close();
    ASSERT_EQ(platform.fileDialogs.asked.size(), 1u);
    EXPECT_EQ(platform.fileDialogs.asked[0].title, "ビットマップ保存");
    const QImage saved(QString::fromStdString(path), "BMP");
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), form->basePicture());
}

TEST_F(MainFormTest, TheWheelOverEitherBarScrollsTheViewFortyPixelsANotchAndNeverSideways) {
    Paste(Filled(3000, 3000, qRgb(90, 90, 90)));
    QScrollBar *hsBar = nullptr, *vsBar = nullptr;
    for (QScrollBar* bar : form->findChildren<QScrollBar*>())
        (bar->orientation() == Qt::Horizontal ? hsBar : vsBar) = bar;
    ASSERT_TRUE(hsBar && vsBar);
    ASSERT_GT(form->model().HsBarState.max, 60);
    ASSERT_GT(form->model().VsBarState.max, 60);
    struct Turn {
        QScrollBar* over;
        QPoint angle; // Qt's: y > 0 forward, x > 0 to the left
        int16_t vsValue;
    };
    // 20 units of 30 twips a notch, the view's top following; a notch's
    // size does not matter, and a sideways turn moves nothing.
    for (const Turn& turn :
         {Turn{vsBar, {0, -120}, 20}, Turn{hsBar, {0, -120}, 40}, Turn{vsBar, {0, 30}, 20},
          Turn{hsBar, {-120, 0}, 20}, Turn{vsBar, {120, 0}, 20}, Turn{hsBar, {0, 120}, 0}}) {
        const QPointF at(turn.over->rect().center());
        QWheelEvent wheel(at, turn.over->mapToGlobal(at), QPoint(), turn.angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(turn.over, &wheel);
        EXPECT_EQ(form->model().VsBarState.value, turn.vsValue);
        EXPECT_EQ(vsBar->value(), turn.vsValue);
        EXPECT_EQ(form->model().SelectPic.top, -30 * turn.vsValue);
        EXPECT_EQ(form->model().HsBarState.value, 0);
        EXPECT_EQ(hsBar->value(), 0);
    }
}

// A resize the window system reports while the window still counts as
// minimised is skipped; the state change that follows lays the window out.
TEST_F(MainFormTest, AChangeOfWindowStateLaysTheWindowOutForItsSize) {
    form->show();
    const float twips = form->model().TwipsPerPixelX;
    const MainFormModel before = form->model();
    form->setWindowState(Qt::WindowMinimized);
    form->resize(form->width() + 100, form->height() + 80);
    EXPECT_EQ(form->model().LineX2, before.LineX2);
    form->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(form->model().LineX2, std::lround(form->width() * twips));
    EXPECT_EQ(form->model().ImageFrame.width, before.ImageFrame.width + std::lround(100 * twips));
    EXPECT_EQ(form->model().StatusCont.top, before.StatusCont.top + std::lround(80 * twips));

    // A capture from a maximised window brings it back maximised and laid out.
    form->showMaximized();
    platform.capture.desktop = {Filled(640, 480, qRgb(9, 9, 9)), ""};
    form->CaptureScreen(1);
    EXPECT_TRUE(form->isMaximized());
    EXPECT_EQ(form->model().LineX2, std::lround(form->width() * twips));
}

QWidget* VisibleWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == title && w->isVisible()) return w;
    return nullptr;
}

TEST_F(MainFormTest, TheAboutBoxAndTheOptionsDisableTheMainWindowUntilTheyClose) {
    for (auto [open, title] : {std::pair{&MainForm::OpenAbout, "ミルカ バージョン情報"},
                               std::pair{&MainForm::OpenOptions, "ミルカ　オプション設定"}}) {
        (form.get()->*open)();
        QWidget* dialog = VisibleWindow(title);
        ASSERT_NE(dialog, nullptr) << title;
        EXPECT_FALSE(form->isEnabled());
        EXPECT_TRUE(dialog->isEnabled());
        dialog->close();
        EXPECT_TRUE(form->isEnabled()) << title;
        test::FlushDeletes();
    }
}

TEST_F(MainFormTest, HelpOpensOnlyWhenItsPagesArePresentAndClosesAtShutDown) {
    form->OpenHelpCommand();
    EXPECT_TRUE(platform.help.shown.empty());
    std::filesystem::create_directories(scratch / "program" / "help");
    std::ofstream(scratch / "program" / "help" / "index.html") << "<html></html>";
    form->OpenHelpCommand();
    ASSERT_EQ(platform.help.shown.size(), 1u);
    form->close();
    EXPECT_EQ(platform.help.closedAll, 1);
}

// --- Beyond the documented program ---

// A menu's captions in order, "-" for a separator, with any shortcut key.
std::vector<std::string> Captions(const QMenu* menu) {
    std::vector<std::string> captions;
    for (const QAction* a : menu->actions())
        captions.push_back(
            a->isSeparator()
                ? "-"
                : (a->text() + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString()))
                      .toStdString());
    return captions;
}

TEST_F(MainFormTest, TheNewItemsFollowTheDocumentedOnesAndAnOptionIsSavedWhenSet) {
    const QList<QAction*> menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(Captions(menus[1]->menu()),
              (std::vector<std::string>{"赤カメラ - アクティブウィンドキャプチャ",
                                        "青カメラ - デスクトップ全体キャプチャ",
                                        "クリップボードから画像を貼り付け", "-", "表示縮小",
                                        "表示拡大", "-", "画像ファイルを開く"}));
    EXPECT_EQ(Captions(menus[2]->menu()),
              (std::vector<std::string>{"オプション設定", "-", "画像全体からQRコードを探す",
                                        "QRコードが1つならすぐデコードする",
                                        "デコードしたテキストをクリップボードにコピー"}));
    const std::filesystem::path conf = scratch / "program" / "zorvik.conf";
    const std::string ini = test::ReadFileBytes(scratch / "program" / "ZORVIK.ini");
    EXPECT_FALSE(std::filesystem::exists(conf)); // not written at start-up
    EXPECT_EQ(std::vector<bool>({form->beyondItem(0)->isChecked(), form->beyondItem(1)->isChecked(),
                                 form->beyondItem(2)->isChecked()}),
              std::vector<bool>({true, false, true}));

    form->beyondItem(2)->trigger();
    EXPECT_FALSE(form->program().beyond.CopyText);
    EXPECT_EQ(test::ReadFileBytes(conf),
              "[Beyond]\nFindSymbols=1\nDecodeSingleSymbol=0\nCopyText=0\n");
    form->beyondItem(1)->trigger();
    EXPECT_EQ(test::ReadFileBytes(conf),
              "[Beyond]\nFindSymbols=1\nDecodeSingleSymbol=1\nCopyText=0\n");
    EXPECT_EQ(test::ReadFileBytes(scratch / "program" / "ZORVIK.ini"), ini);

    Restart(ini);
    EXPECT_TRUE(form->beyondItem(1)->isChecked());
    EXPECT_FALSE(form->beyondItem(2)->isChecked());
}

TEST_F(MainFormTest, ADecodedTextJoinsThePictureOnTheClipboardUnlessCopyTextIsOff) {
    const QImage picture = EncodedPicture("日本語 text");
    Paste(picture);
    ASSERT_NE(form->decodeForm(), nullptr);
    EXPECT_EQ(clipboard.text, "日本語 text");
    EXPECT_EQ(clipboard.picture, picture);

    Paste(Filled(120, 90, qRgb(255, 255, 255))); // no symbol: nothing to copy
    EXPECT_EQ(clipboard.text, "");

    form->beyondItem(2)->trigger();
    Paste(picture);
    EXPECT_EQ(form->decodeForm()->findChild<QPlainTextEdit*>()->toPlainText(), "日本語 text");
    EXPECT_EQ(clipboard.text, "");
}

TEST_F(MainFormTest, AnOpenedPictureShowsAsACaptureAndABadOneLeavesTheViewAsItWas) {
    // A small symbol: a paste would decode it at once, an opened file waits.
    const std::string small = (scratch / "small.bmp").string(),
                      large = (scratch / "large.png").string();
    ASSERT_TRUE(EncodedPicture("opened").save(QString::fromStdString(small), "BMP"));
    ASSERT_TRUE(Filled(900, 700, qRgb(10, 20, 30)).save(QString::fromStdString(large), "PNG"));
    for (const std::string& path : {small, large}) {
        platform.fileDialogs.openAnswer = path;
        form->OpenPicture_Click();
        EXPECT_EQ(form->basePicture(),
                  QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32))
            << path;
        EXPECT_EQ(form->model().MOUSE_MODE, 1);
        EXPECT_FALSE(form->model().SelectBox.visible);
        EXPECT_EQ(form->model().mGuidance, "ＱＲコード部分を選択してください");
        EXPECT_EQ(form->decodeForm(), nullptr);
    }
    EXPECT_EQ(platform.fileDialogs.asked.back().title, "画像ファイルを開く");
    EXPECT_NE(platform.fileDialogs.asked.back().filter.find("*.png"), std::string::npos);
    EXPECT_TRUE(messages.shown.empty());

    const std::string junk = (scratch / "junk.png").string(),
                      tiny = (scratch / "tiny.png").string();
    std::ofstream(junk) << "not a picture";
    ASSERT_TRUE(Filled(5, 40, qRgb(0, 0, 0)).save(QString::fromStdString(tiny), "PNG"));
    for (const std::string& path : {junk, (scratch / "missing.png").string(), tiny})
        form->OpenPictureFile(path);
    ASSERT_EQ(messages.shown.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(messages.shown[i].icon, MessageIcon::Critical);
        EXPECT_EQ(messages.owners[i], form.get());
    }
    EXPECT_NE(messages.shown[0].text.find(junk), std::string::npos) << messages.shown[0].text;
    EXPECT_EQ(form->basePicture().size(), QSize(900, 700));
    EXPECT_EQ(form->model().MOUSE_MODE, 1);
}

TEST_F(MainFormTest, DropsAndStartRequestsBringPicturesIn) {
    const std::string path = (scratch / "dropped.png").string();
    ASSERT_TRUE(Filled(300, 200, qRgb(1, 2, 3)).save(QString::fromStdString(path), "PNG"));
    auto drop = [this](QMimeData& data) {
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(form.get(), &enter);
        QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted()) QCoreApplication::sendEvent(form.get(), &event);
        QCoreApplication::processEvents();
        return enter.isAccepted();
    };
    QMimeData text;
    text.setText("just text");
    EXPECT_FALSE(drop(text));
    QMimeData file;
    file.setUrls(
        {QUrl("https://example.jp/a.png"), QUrl::fromLocalFile(QString::fromStdString(path))});
    EXPECT_TRUE(drop(file));
    EXPECT_EQ(form->basePicture().size(), QSize(300, 200));
    QMimeData picture;
    picture.setImageData(Filled(320, 240, qRgb(4, 5, 6)));
    EXPECT_TRUE(drop(picture));
    EXPECT_EQ(form->basePicture().pixel(0, 0), qRgb(4, 5, 6));

    clipboard.picture = Filled(640, 480, qRgb(7, 8, 9));
    form->RunStartRequest({StartRequest::Kind::Paste, "", ""});
    EXPECT_EQ(form->basePicture().size(), QSize(640, 480));
    form->RunStartRequest({StartRequest::Kind::Open, path, ""});
    EXPECT_EQ(form->basePicture().size(), QSize(300, 200));
    platform.capture.desktop = {Filled(400, 300, qRgb(1, 1, 1)), ""};
    form->RunStartRequest({StartRequest::Kind::CaptureDesktop, "", ""});
    EXPECT_EQ(form->basePicture().size(), QSize(400, 300));

    // Not while a dialog waits for the user.
    form->OpenAbout();
    form->RunStartRequest({StartRequest::Kind::Paste, "", ""});
    EXPECT_EQ(form->basePicture().size(), QSize(400, 300));
    EXPECT_FALSE(form->isEnabled());
}

TEST(MainFormSettingsTest, TheHtmlViewShowsThePageInItsColoursAndShutDownRemovesIt) {
    test::TempFolder scratch("mainform-html");
    std::filesystem::create_directories(scratch / "program");
    std::filesystem::create_directories(scratch / "temp");
    std::ofstream(scratch / "program" / "ZORVIK.ini")
        << "HtmlBrowse=1\r\nLinkColor=00ff00\r\nTextColor=112233\r\nFontSize=3\r\n"
           "DecodeAtOnce=1\r\n";
    test::FakePlatform fakes;
    test::FakeClipboard& clipboard = fakes.clipboard;
    auto form = std::make_unique<MainForm>(
        MainForm::Services{fakes.messages, fakes.clipboard, fakes.capture, fakes.sound,
                           fakes.fileDialogs, fakes.colourDialogs, fakes.browser, fakes.help},
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
    // A click on the link hands its address to the user's browser.
    emit browser->anchorClicked(QUrl("https://example.jp/a?b=1&c=2"));
    EXPECT_EQ(fakes.browser.opened, std::vector<std::string>{"https://example.jp/a?b=1&c=2"});
    EXPECT_TRUE(std::filesystem::exists(scratch / "temp" / "#TEMP_QR.html"));

    form->close();
    EXPECT_FALSE(std::filesystem::exists(scratch / "temp" / "#TEMP_QR.html"));
    form.reset();
    test::FlushDeletes();
}

// --- Found symbols: outlined, picked with Enter, Tab or a click ---

struct Placed {
    std::string text;
    int x, y; // top-left edge of the symbol's quiet zone, 3 pixels a module
};

// A screen picture made at test time: a desktop colour, a light window, and
// symbols made by libqrencode.
QImage Desktop(int width, int height, const std::vector<Placed>& symbols) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(qRgb(38, 86, 118));
    QPainter p(&picture);
    p.fillRect(width / 10, height / 10, width / 2, height / 2, qRgb(236, 236, 236));
    for (const Placed& s : symbols) {
        const test::Picture grey = test::Render(test::EncodeText(s.text, 1), 3, 4);
        p.drawImage(s.x, s.y,
                    QImage(grey.grey.data(), grey.width, grey.height, grey.width,
                           QImage::Format_Grayscale8));
    }
    return picture;
}

// Runs every search started so far to its end and delivers its result.
void FinishSearches() {
    QThreadPool::globalInstance()->waitForDone();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

QString ResultText(const MainForm& form) {
    return form.decodeForm() ? form.decodeForm()->findChild<QPlainTextEdit*>()->toPlainText()
                             : "<no result window>";
}

TEST_F(MainFormTest, ASymbolFarFromTheTopLeftIsOutlinedAndEnterOrAClickDecodesIt) {
    Paste(Desktop(1920, 1080, {{"far from the corner", 1500, 820}}));
    FinishSearches();
    ASSERT_EQ(form->outlines().symbols().size(), 1u);
    EXPECT_EQ(form->decodeForm(), nullptr); // nothing happens by itself

    QTest::keyClick(form->selectPic(), Qt::Key_Return);
    EXPECT_EQ(ResultText(*form), "far from the corner");
    EXPECT_TRUE(messages.shown.empty());
    // The selection is the symbol with its quiet zone, as a drag would leave it.
    const PickRect r = SelectionAround(form->outlines().symbols()[0], 1920, 1080);
    EXPECT_EQ(form->decodeForm()->QrPicture().size(), QSize(r.width, r.height));
    EXPECT_EQ(form->model().mXsize, "X : " + std::to_string(r.width));

    // Closed, zoomed to three times: a click inside the outline does the same.
    form->decodeForm()->close();
    test::FlushDeletes();
    form->ZoomIn_Click();
    form->ZoomIn_Click();
    const QPointF middle(3 * (r.left + r.width / 2.0), 3 * (r.top + r.height / 2.0));
    QTest::mouseClick(form->selectPic(), Qt::LeftButton, {}, middle.toPoint());
    EXPECT_EQ(ResultText(*form), "far from the corner");
    EXPECT_EQ(form->decodeForm()->QrPicture().size(), QSize(r.width, r.height));
}

TEST_F(MainFormTest, TabMovesTheFocusRoundTheOutlinesAndEnterDecodesTheFocusedOne) {
    Paste(Desktop(1600, 900, {{"first", 100, 600}, {"second", 700, 620}, {"third", 1300, 640}}));
    FinishSearches();
    ASSERT_EQ(form->outlines().symbols().size(), 3u);
    for (auto key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return})
        QTest::keyClick(form->selectPic(), key);
    EXPECT_EQ(ResultText(*form), "third");
}

TEST_F(MainFormTest, AResultForAPictureAlreadyReplacedIsDropped) {
    // The first picture's search takes longer, so its result arrives last.
    Paste(Desktop(3840, 2160, {{"picture A", 3000, 1800}}));
    Paste(Desktop(640, 400, {{"picture B", 400, 200}}));
    FinishSearches();
    QTest::keyClick(form->selectPic(), Qt::Key_Return);
    EXPECT_EQ(ResultText(*form), "picture B");
}

struct OneStepRow {
    const char* name;
    const char* ini;  // ZORVIK.ini
    const char* conf; // zorvik.conf
    bool capture;     // else a paste
    bool dragFirst;   // a box drag before the search ends
    std::vector<Placed> symbols;
    int side;          // of the picture
    const char* shown; // the result window's text, or null for none
};

class MainFormOneStep : public MainFormTest, public ::testing::WithParamInterface<OneStepRow> {};

TEST_P(MainFormOneStep, DecodesALoneSymbolByItselfUnlessTheUserOrTheDocumentedRuleComesFirst) {
    const OneStepRow& row = GetParam();
    std::ofstream(scratch / "program" / "zorvik.conf") << row.conf;
    Restart(row.ini);
    const QImage picture = Desktop(row.side, row.side, row.symbols);
    if (row.capture) {
        platform.capture.desktop = {picture, ""};
        form->CaptureScreen(1);
    } else {
        Paste(picture);
    }
    if (row.dragFirst) { // box mode and a drag, with no event delivered in between
        form->ModeSelect_Click(1);
        form->SelectPic_MouseDown(1, 0, 150, 150);
        form->SelectPic_MouseMove(1, 0, 3000, 3000);
        form->SelectPic_MouseUp(1, 0, 3000, 3000);
    }
    const float boxBefore = form->model().SelectBox.width;
    FinishSearches();
    EXPECT_EQ(ResultText(*form), row.shown ? row.shown : "<no result window>");
    if (!row.shown) {
        EXPECT_EQ(form->model().SelectBox.width, boxBefore); // the selection is left alone
    }
}

const char* const kOneStepOn = "[Beyond]\nDecodeSingleSymbol=1\n";
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Arrivals, MainFormOneStep,
    ::testing::Values(
        OneStepRow{"a capture with one symbol goes straight to the result window", "", kOneStepOn,
                   true, false, {{"one step", 900, 500}}, 1000, "one step"},
        OneStepRow{"two symbols wait for a pick", "", kOneStepOn, false, false,
                   {{"left", 100, 500}, {"right", 700, 500}}, 1000, nullptr},
        OneStepRow{"a drag before the search ends wins", "DecodeAtOnce=0\r\n", kOneStepOn, false,
                   true, {{"dragged over", 800, 500}}, 1000, nullptr},
        OneStepRow{"a small paste keeps its whole selection", "DecodeAtOnce=0\r\n", kOneStepOn,
                   false, false, {{"small", 0, 0}}, 200, nullptr},
        OneStepRow{"with the search off nothing is found", "",
                   "[Beyond]\nFindSymbols=0\nDecodeSingleSymbol=1\n", false, false,
                   {{"not searched", 800, 500}}, 1000, nullptr}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.name)) name += std::isalnum((unsigned char)c) ? c : '_';
        return name;
    });
// clang-format on

TEST_F(MainFormTest, APastedPictureThatCannotBeUsedKeepsTheOneOnViewAndSaysWhy) {
    Paste(Filled(640, 480, qRgb(7, 8, 9)));
    form->ZoomIn_Click();
    const int32_t width = form->model().SelectPic.width;
    clipboard.failRead = true;
    clipboard.readRefusal =
        "the picture is 16000 × 9000 pixels, larger than the 128-megapixel limit";
    form->GetClipboard_Click();
    EXPECT_EQ(form->basePicture().size(), QSize(640, 480));
    EXPECT_EQ(form->model().SelectPic.width, width);
    EXPECT_EQ(form->model().mZoomRate, "2倍");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "クリップボードの画像を取り込めませんでした。表示中の画像はそのままです。\n"
              "（the picture is 16000 × 9000 pixels, larger than the 128-megapixel limit）");
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{form.get()}));

    // A clipboard without a picture empties the view without a word.
    clipboard.readRefusal.clear();
    form->GetClipboard_Click();
    EXPECT_EQ(form->model().SelectPic.width, 0);
    EXPECT_EQ(messages.shown.size(), 1u);
}

} // namespace
} // namespace zorvik
