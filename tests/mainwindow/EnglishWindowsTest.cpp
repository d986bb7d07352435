// Every window and dialog under English, with the translation the program
// loads from beside itself: no Japanese may be left in a title, label,
// button, menu, tool tip, guidance line, message or file dialog. The
// decoded text and file names may be anything.
#include "FakePlatform.h"
#include "Language.h"
#include "MainForm.h"
#include "MainFormFixture.h"
#include "QrFixtures.h"
#include "QtTestSupport.h"
#include "TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zorvik {
namespace {

bool HasJapanese(const QString& text) {
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(japanese);
}

void CollectMenu(const QMenu* menu, std::vector<QString>& texts) {
    texts.push_back(menu->title());
    for (const QAction* action : menu->actions()) {
        texts.push_back(action->text());
        texts.push_back(action->toolTip());
        if (action->menu()) CollectMenu(action->menu(), texts);
    }
}

// Every text a person can read in window: its title, and the labels,
// buttons, tool tips and menus in it.
std::vector<QString> TextsOf(const QWidget* window) {
    std::vector<QString> texts{window->windowTitle()};
    QList<const QWidget*> widgets{window};
    for (const QWidget* w : window->findChildren<QWidget*>()) widgets.push_back(w);
    for (const QWidget* w : widgets) {
        texts.push_back(w->toolTip());
        if (const auto* label = qobject_cast<const QLabel*>(w)) texts.push_back(label->text());
        if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            texts.push_back(button->text());
        if (const auto* menu = qobject_cast<const QMenu*>(w)) CollectMenu(menu, texts);
        if (const auto* bar = qobject_cast<const QMenuBar*>(w))
            for (const QAction* action : bar->actions()) CollectMenu(action->menu(), texts);
    }
    return texts;
}

std::vector<std::string> JapaneseLeft(const std::vector<QString>& texts) {
    std::vector<std::string> left;
    for (const QString& text : texts)
        if (HasJapanese(text)) left.push_back(text.toStdString());
    return left;
}

QImage EncodedPicture(const std::string& text) {
    test::Picture grey = test::Render(test::EncodeText(text, 1), 4, 4);
    QImage picture(grey.width, grey.height, QImage::Format_Grayscale8);
    for (int r = 0; r < grey.height; ++r)
        std::copy_n(&grey.at(r, 0), grey.width, picture.scanLine(r));
    return picture;
}

QWidget* VisibleWindow(const char* objectName) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == objectName && w->isVisible()) return w;
    return nullptr;
}

class EnglishWindowsTest : public test::MainFormFixture {
  protected:
    EnglishWindowsTest() : MainFormFixture("english") {}
    static void SetUpTestSuite() {
        ASSERT_TRUE(InstallUiLanguage(*qApp, UiLanguage::English, ZORVIK_BIN_DIR));
    }
    void SetUp() override {
        Start();
        form->show();
    }
    // What the fakes were asked to show: messages and file dialogs.
    std::vector<QString> Asked() const {
        std::vector<QString> texts;
        for (const auto& m : platform.messages.shown)
            texts.push_back(QString::fromStdString(m.text + "|" + m.title));
        for (const auto& q : platform.fileDialogs.asked)
            texts.push_back(QString::fromStdString(q.title + "|" + q.filter));
        return texts;
    }
};

TEST_F(EnglishWindowsTest, TheMainWindowItsMenusAndItsMessagesAreInEnglish) {
    EXPECT_EQ(form->windowTitle(), "ZORVIK");
    std::vector<QString> menus;
    for (const QAction* action : form->menuBar()->actions()) menus.push_back(action->text());
    EXPECT_EQ(menus, (std::vector<QString>{"&File", "&Edit", "&Options", "&Help"}));
    EXPECT_EQ(JapaneseLeft(TextsOf(form.get())), std::vector<std::string>{});

    // A picture too large to decode at once: the guidance and the zoom.
    Paste(EncodedPicture(std::string(300, 'A')).scaled(600, 600));
    form->ZoomIn_Click();
    form->SelectPic_DblClick();
    EXPECT_EQ(JapaneseLeft(TextsOf(form.get())), std::vector<std::string>{});

    QWidget* view = form->selectPic();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &press);
    for (int i = 0; i < 200 && !form->rightClickMenu(); ++i) QTest::qWait(5);
    ASSERT_NE(form->rightClickMenu(), nullptr);
    EXPECT_EQ(JapaneseLeft(TextsOf(form->rightClickMenu())), std::vector<std::string>{});
    form->rightClickMenu()->close();

    // Every message and dialog the window raises itself.
    platform.capture.desktop = {QImage(), kCaptureUnavailable};
    form->CaptureScreen(1);
    EXPECT_EQ(form->model().mGuidance, "The screen cannot be captured in this session");
    form->SaveSelection();
    form->OpenPicture_Click();
    form->OpenPictureFile((scratch / "写真.png").string());
    platform.clipboard.failRead = true;
    platform.clipboard.readRefusal = "the picture cannot be read";
    form->GetClipboard_Click();
    EXPECT_EQ(platform.messages.shown.size(), 2u);
    EXPECT_EQ(platform.fileDialogs.asked.size(), 2u);
    std::vector<QString> asked = Asked();
    // The file name is the user's own.
    for (QString& text : asked) text.remove(QString::fromUtf8("写真"));
    EXPECT_EQ(JapaneseLeft(asked), std::vector<std::string>{});
}

TEST_F(EnglishWindowsTest, TheResultWindowAfterADecodeAndAfterAFailureIsInEnglish) {
    Paste(EncodedPicture("日本語 text"));
    ASSERT_NE(form->decodeForm(), nullptr);
    EXPECT_EQ(form->decodeForm()->windowTitle(), "QR code - decode result");
    EXPECT_EQ(JapaneseLeft(TextsOf(form->decodeForm())), std::vector<std::string>{});

    QImage blank(120, 90, QImage::Format_RGB32);
    blank.fill(Qt::white);
    Paste(blank);
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_EQ(platform.messages.shown[0].text, "   No QR code could be recognised");
    EXPECT_EQ(platform.messages.shown[0].title, "ZORVIK");
    test::FlushDeletes();
    EXPECT_EQ(form->model().mGuidance, "Double-click to switch to the cross pointer");
}

TEST_F(EnglishWindowsTest, TheOptionsDialogTheAboutBoxAndTheHelpAreInEnglish) {
    form->OpenOptions();
    QWidget* options = VisibleWindow("SettingForm");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(JapaneseLeft(TextsOf(options)), std::vector<std::string>{});
    options->findChild<QCheckBox*>("SegmentInfo")->setChecked(true);
    options->findChild<QPushButton*>("FileSearch")->click();
    options->findChild<QPushButton*>("CmdButton0")->click(); // OK without a file
    EXPECT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_EQ(platform.fileDialogs.asked.size(), 1u);
    EXPECT_EQ(JapaneseLeft(Asked()), std::vector<std::string>{});
    options->close();
    test::FlushDeletes();

    form->OpenAbout();
    QWidget* about = VisibleWindow("VersionForm");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(JapaneseLeft(TextsOf(about)), std::vector<std::string>{});
    about->close();
    test::FlushDeletes();

    // The help the program ships, at its English pages.
    test::FakeBrowser browser;
    QtHelpViewer viewer(browser);
    ASSERT_TRUE(OpenHelp(viewer, form.get(), ZORVIK_BIN_DIR));
    ASSERT_EQ(viewer.Windows().size(), 1u);
    QWidget* help = viewer.Windows()[0];
    std::vector<QString> texts = TextsOf(help);
    texts.push_back(help->findChild<QTextBrowser*>("HelpPage")->toPlainText());
    EXPECT_TRUE(help->windowTitle().startsWith("ZORVIK Help"));
    EXPECT_EQ(JapaneseLeft(texts), std::vector<std::string>{});
    viewer.CloseAll();
    test::FlushDeletes();
}

} // namespace
} // namespace zorvik
