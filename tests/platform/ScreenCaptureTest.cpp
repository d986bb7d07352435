// Capture where the window system offers none, and the shutter sound the
// build makes. (Capture under a real X server is tested in tests/x11.)
#include "ScreenCapture.h"

#include <QApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace zorvik {
namespace {

TEST(ScreenCapture, WithoutAWindowSystemItSaysSoAndGivesNoPicture) {
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    QtScreenCapture capture;
    for (const CaptureResult& result : {capture.ActiveWindow(), capture.Desktop()}) {
        EXPECT_TRUE(result.picture.isNull());
        EXPECT_EQ(result.note, kCaptureUnavailable);
    }
}

TEST(ShutterSound, TheBuildPutsAShortPcmSoundBesideTheProgram) {
    QFile wav(QString(ZORVIK_BIN_DIR) + "/camera.wav");
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const QByteArray bytes = wav.readAll();
    ASSERT_GT(bytes.size(), 44);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(bytes.mid(8, 8), "WAVEfmt ");
    const auto le32 = [&](int at) {
        return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
               quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
    };
    const quint32 rate = le32(24), dataBytes = le32(40);
    EXPECT_EQ(dataBytes + 44, quint32(bytes.size()));
    const double seconds = double(dataBytes) / 2 / rate;
    EXPECT_GT(seconds, 0.05);
    EXPECT_LT(seconds, 1.0); // a shutter, not a tune
}

} // namespace
} // namespace zorvik
