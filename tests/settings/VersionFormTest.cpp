// The About box under the offscreen platform: its texts, the address's
// hover look, and every way of closing it telling the main window once.
#include "VersionForm.h"
#include "FakePlatform.h"
#include "QtTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace zorvik {
namespace {

class VersionFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form = new VersionForm(browser, [this] { ++unloads; });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }
    void TearDown() override {
        delete form.data();
        test::FlushDeletes();
    }
    QLabel* Label(const char* name) const { return form->findChild<QLabel*>(name); }

    test::FakeBrowser browser;
    int unloads = 0;
    QPointer<VersionForm> form;
};

TEST_F(VersionFormTest, ShowsTheCaptionTheTextsAndTheLogoAsATopmostWindow) {
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("ミルカ バージョン情報"));
    ASSERT_NE(Label("Label5"), nullptr);
    EXPECT_EQ(Label("Label5")->text(), QString::fromUtf8("QR Code Decoder ミルカ Version 1.2"));
    ASSERT_NE(Label("Label1"), nullptr);
    EXPECT_TRUE(Label("Label1")->text().contains("2026 ZORVIK"));
    ASSERT_NE(Label("URL"), nullptr);
    EXPECT_EQ(Label("URL")->text(), QString::fromUtf8(kMakerAddress));
    ASSERT_NE(Label("Image1"), nullptr);
    EXPECT_FALSE(Label("Image1")->pixmap().isNull());
    EXPECT_NE(form->findChild<QWidget*>("Frame1"), nullptr);
    EXPECT_NE(form->findChild<QPushButton*>("OK"), nullptr);

    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    // Centred on the screen: equal room on both sides, within a pixel.
    const QRect screen = form->screen()->geometry();
    EXPECT_NEAR(form->x() - screen.left(), screen.right() + 1 - (form->x() + form->width()), 1);
    EXPECT_NEAR(form->y() - screen.top(), screen.bottom() + 1 - (form->y() + form->height()), 1);
}

TEST_F(VersionFormTest, TheAddressTurnsBlueAndBoldUnderThePointerAndBackWhenItLeaves) {
    QLabel* url = Label("URL");
    auto colour = [url] { return url->palette().color(QPalette::WindowText); };
    EXPECT_EQ(colour(), QColor(0, 0, 0));
    EXPECT_FALSE(url->font().bold());
    const QSize before = form->size();

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(url, &enter);
    EXPECT_EQ(colour(), QColor(0, 0, 255));
    EXPECT_TRUE(url->font().bold());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(url, &leave);
    EXPECT_EQ(colour(), QColor(0, 0, 0));
    EXPECT_FALSE(url->font().bold());
    QApplication::processEvents();
    EXPECT_EQ(form->size(), before); // the bold text had its room already
    EXPECT_TRUE(browser.opened.empty());
}

TEST_F(VersionFormTest, ClickingTheAddressHandsItToTheBrowserAndCloses) {
    QTest::mouseClick(Label("URL"), Qt::RightButton); // only the left button follows it
    EXPECT_TRUE(browser.opened.empty());
    QTest::mouseClick(Label("URL"), Qt::LeftButton);
    EXPECT_EQ(browser.opened, std::vector<std::string>{kMakerAddress});
    EXPECT_EQ(unloads, 1);
    test::FlushDeletes();
    EXPECT_TRUE(form.isNull());
}

TEST_F(VersionFormTest, EveryWayOfClosingTellsTheMainWindowOnce) {
    QTest::mouseClick(form->findChild<QPushButton*>("OK"), Qt::LeftButton);
    EXPECT_EQ(unloads, 1);
    if (form) form->close(); // a second request before it is gone
    EXPECT_EQ(unloads, 1);
    test::FlushDeletes();
    EXPECT_TRUE(form.isNull());

    for (auto close :
         {std::function<void(QWidget*)>([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }),
          std::function<void(QWidget*)>([](QWidget*) {
              QApplication::closeAllWindows(); // as the close box does
          })}) {
        int more = 0;
        QPointer<VersionForm> again = new VersionForm(browser, [&more] { ++more; });
        again->show();
        close(again);
        EXPECT_EQ(more, 1);
        test::FlushDeletes();
        EXPECT_TRUE(again.isNull());
    }
    EXPECT_TRUE(browser.opened.empty());
}

TEST(VersionFormOwnerTest, StaysUsableWhenItsOwnerIsDisabledAfterCreatingIt) {
    test::FakeBrowser browser;
    QWidget owner;
    owner.show();
    int unloads = 0;
    auto* form = new VersionForm(
        browser, [&] { owner.setEnabled(true), ++unloads; }, &owner);
    owner.setEnabled(false);
    form->show();
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(form->isWindow());
    QTest::mouseClick(form->findChild<QPushButton*>("OK"), Qt::LeftButton);
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(owner.isEnabled());
    test::FlushDeletes();
}

} // namespace
} // namespace zorvik
