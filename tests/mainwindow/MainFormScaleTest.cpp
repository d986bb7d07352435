// The main window on a screen the window system scales (QT_SCALE_FACTOR: 2
// unless the caller names another; ctest runs it at 1.5 too). The window is
// laid out in logical pixels, while a picture at actual size lies one pixel
// on each device pixel, and boxes, size boxes, cuts and picks count them.
#include "MainFormFixture.h"
#include "QrFixtures.h"
#include "QtTestSupport.h"
#include "TempFolder.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <fstream>

namespace zorvik {
namespace {

// Read once, when the application starts: set before main() makes it.
const bool kScaled = [] {
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
    return true;
}();

// Pixels no resampling keeps: every one of its own colour.
QImage Noise(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random(width * 7919 + height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, random.generate() | 0xFF000000u);
    return picture;
}

class MainFormScaleTest : public test::MainFormFixture {
  protected:
    MainFormScaleTest() : MainFormFixture("mainform-scale") {}
    void SetUp() override {
        ASSERT_TRUE(kScaled);
        Start("DecodeAtOnce=0\r\n");
        form->show();
        ratio = form->selectPic()->devicePixelRatioF();
        ASSERT_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    // The view as the screen shows it, in device pixels.
    QImage Shown(QSize devicePixels) {
        QImage shown(devicePixels, QImage::Format_RGB32);
        shown.fill(Qt::magenta);
        shown.setDevicePixelRatio(ratio);
        form->selectPic()->render(&shown);
        shown.setDevicePixelRatio(1);
        return shown;
    }
    // A left-button drag on the view between two device pixels.
    void DeviceDrag(QPointF from, QPointF to) { Drag(from / ratio, to / ratio); }

    qreal ratio = 1;
};

TEST_F(MainFormScaleTest, AtActualSizeEachPicturePixelIsOneDevicePixel) {
    const QImage picture = Noise(300, 210);
    Paste(picture);
    EXPECT_EQ(form->model().mZoomRate, "等倍");
    EXPECT_EQ(form->selectPic()->width() * ratio, 300);
    EXPECT_TRUE(Shown(picture.size()) == picture);
    // Zoomed, each picture pixel is 2 x 2 device pixels.
    form->ZoomIn_Click();
    EXPECT_TRUE(Shown(picture.size() * 2) ==
                picture.scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

TEST_F(MainFormScaleTest, ABoxOverNDevicePixelsSelectsAndCutsNPixels) {
    const QImage picture = Noise(400, 330);
    for (int zoom : {1, 2}) {
        SCOPED_TRACE("zoom " + std::to_string(zoom));
        Paste(picture);
        if (zoom == 2) form->ZoomIn_Click();
        form->ModeSelect_Click(1);
        // 275 x 280 picture pixels from (20, 21), in device pixels of the view.
        DeviceDrag(QPointF(20, 21) * zoom, QPointF(295, 301) * zoom);
        EXPECT_EQ(form->model().mXsize, "X : 275");
        EXPECT_EQ(form->model().mYsize, "Y : 280");
        // Saved, the selection is those pixels of the picture.
        const std::string saved = (scratch / "cut.bmp").string();
        platform.fileDialogs.answer = saved;
        form->SaveSelection();
        const QImage cut(QString::fromStdString(saved));
        EXPECT_TRUE(cut.convertToFormat(QImage::Format_RGB32) == picture.copy(20, 21, 275, 280));
    }
}

TEST_F(MainFormScaleTest, AClickOnAFoundSymbolWhereItIsShownPicksIt) {
    QImage picture(900, 600, QImage::Format_RGB32);
    picture.fill(qRgb(38, 86, 118));
    const test::Picture grey = test::Render(test::EncodeText("scaled", 1), 3, 4);
    QPainter(&picture).drawImage(
        600, 380,
        QImage(grey.grey.data(), grey.width, grey.height, grey.width, QImage::Format_Grayscale8));
    Paste(picture);
    QThreadPool::globalInstance()->waitForDone();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    ASSERT_EQ(form->outlines().symbols().size(), 1u);

    const PickRect r = SelectionAround(form->outlines().symbols()[0], 900, 600);
    const QPointF middle(r.left + r.width / 2.0, r.top + r.height / 2.0); // picture pixels
    QTest::mouseClick(form->selectPic(), Qt::LeftButton, {}, (middle / ratio).toPoint());
    ASSERT_NE(form->decodeForm(), nullptr);
    EXPECT_EQ(form->decodeForm()->findChild<QPlainTextEdit*>()->toPlainText(), "scaled");
    EXPECT_EQ(form->decodeForm()->QrPicture().size(), QSize(r.width, r.height));
    EXPECT_EQ(form->model().mXsize, "X : " + std::to_string(r.width));
    // The result window shows it at one picture pixel a device pixel too.
    int pictures = 0;
    for (const QLabel* label : form->decodeForm()->findChildren<QLabel*>())
        if (!label->pixmap().isNull()) {
            ++pictures;
            EXPECT_NEAR(label->width(), r.width / ratio, 1);
            EXPECT_NEAR(label->height(), r.height / ratio, 1);
        }
    EXPECT_EQ(pictures, 1);
}

} // namespace
} // namespace zorvik
