// Pictures read from the clipboard: a picture offered but unusable comes
// with its reason, told apart from a clipboard without one.
#include "QrFixtures.h"
#include "QtPlatform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

namespace zorvik {
namespace {

std::string RefusalOf(const QString& format, const QByteArray& bytes) {
    auto* data = new QMimeData;
    data->setData(format, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
    std::string refusal = "unchanged";
    EXPECT_TRUE(QtClipboard().ReadPicture(&refusal).isNull()) << format.toStdString();
    return refusal;
}

TEST(QtClipboard, APictureThatCannotBeUsedIsRefusedWithItsReason) {
    // Sides over the limits, from the header alone.
    const std::vector<uint8_t> header = test::BmpHeader(16000, 9000, 24, 54, 54);
    EXPECT_EQ(RefusalOf("image/bmp", QByteArray(reinterpret_cast<const char*>(header.data()),
                                                qsizetype(header.size()))),
              "the picture is 16000 × 9000 pixels, larger than the 128-megapixel limit");
    EXPECT_EQ(RefusalOf("image/png", "not a picture"),
              "the picture cannot be read (damaged, or too large for the memory)");
    EXPECT_EQ(RefusalOf("text/plain", "no picture"), "");
}

} // namespace
} // namespace zorvik
