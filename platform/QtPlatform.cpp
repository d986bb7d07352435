#include "QtPlatform.h"

#include "PictureFile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QWidget>

#include <fstream>

namespace zorvik {

void QtMessageBoxes::ShowMessage(const std::string& text, const std::string& title,
                                 MessageIcon icon) {
    QMessageBox box(
        icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Information,
        QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

QImage QtClipboard::ReadPicture() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return {};
    QImage image = clipboard->image();
    if (!image.isNull()) return image;
    // Some programs offer only a picture file's bytes under its MIME type.
    const QMimeData* data = clipboard->mimeData();
    if (!data) return {};
    for (const QString& format : data->formats()) {
        if (!format.startsWith("image/")) continue;
        if (image.loadFromData(data->data(format))) return image;
    }
    return {};
}

void QtClipboard::WritePicture(const QImage& picture) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(picture);
}

ScreenMetrics ScreenMetricsFor(const QWidget* widget) {
    ScreenMetrics metrics;
    const QScreen* screen =
        widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen) return metrics;
    const double dpiX = screen->logicalDotsPerInchX(), dpiY = screen->logicalDotsPerInchY();
    if (dpiX > 0) metrics.TwipsPerPixelX = float(1440.0 / dpiX);
    if (dpiY > 0) metrics.TwipsPerPixelY = float(1440.0 / dpiY);
    const QSize size = screen->size();
    metrics.widthTwips = int32_t(size.width() * double(metrics.TwipsPerPixelX) + 0.5);
    metrics.heightTwips = int32_t(size.height() * double(metrics.TwipsPerPixelY) + 0.5);
    metrics.colourDepth = screen->depth();
    return metrics;
}

QFont JapaneseFont(double pointSize) {
    QFont font;
    font.setFamilies({"MS PGothic", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP"});
    font.setPointSizeF(pointSize);
    return font;
}

bool SavePictureAsBitmap(const QImage& picture, const std::string& path, int colourDepth) {
    if (picture.isNull()) return false;
    const std::vector<uint8_t> bytes = ImageToBitmap(picture, colourDepth);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out.flush());
}

} // namespace zorvik
