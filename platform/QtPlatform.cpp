#include "QtPlatform.h"

#include "PictureFile.h"
#include "QtPictureReader.h"

#include <QBuffer>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
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

void QtMessageBoxes::ShowMessageOver(QWidget* owner, const std::string& text,
                                     const std::string& title, MessageIcon icon) {
    QtMessageBoxes(owner).ShowMessage(text, title, icon);
}

namespace {

// The clipboard's picture; a null image with reason set when it offers one
// that cannot be used.
QImage ReadOfferedPicture(std::string& reason) {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return {};
    // Qt's own limit (128 MB) would refuse pictures the program decodes.
    QImageReader::setAllocationLimit(kQtAllocationLimitMb);
    QImage image = clipboard->image();
    if (!image.isNull()) return image;
    // Some programs offer only a picture file's bytes under its MIME type.
    const QMimeData* data = clipboard->mimeData();
    if (!data) return {};
    bool offered = data->hasImage();
    for (const QString& format : data->formats()) {
        if (!format.startsWith("image/")) continue;
        offered = true;
        QByteArray bytes = data->data(format);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // The sides from the header refuse a huge picture before its pixels
        // are made.
        if (const QSize size = reader.size(); size.isValid()) {
            reason = PictureSizeRefusal(size.width(), size.height());
            if (!reason.empty()) return {};
        }
        if (reader.read(&image)) return image;
    }
    if (offered) reason = "the picture cannot be read (damaged, or too large for the memory)";
    return {};
}

} // namespace

QImage QtClipboard::ReadPicture(std::string* refusal) {
    std::string reason;
    QImage image = ReadOfferedPicture(reason);
    if (!image.isNull()) reason = PictureSizeRefusal(image.width(), image.height());
    if (!reason.empty()) image = QImage();
    if (refusal) *refusal = reason;
    return image;
}

void QtClipboard::WritePicture(const QImage& picture) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(picture);
}

void QtClipboard::AddText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    const QImage picture = ReadPicture();
    // One entry: Qt offers the text as UTF8_STRING and text/plain;charset=utf-8,
    // the picture as image/png and the other image types.
    auto* data = new QMimeData;
    if (!picture.isNull()) data->setImageData(picture);
    data->setText(QString::fromStdString(text));
    clipboard->setMimeData(data);
}

QStringList NameFilters(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QChar(0));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        if (description.isEmpty() && pattern.isEmpty()) continue;
        filters << (description.contains("(" + pattern + ")") ? description
                                                              : description + " (" + pattern + ")");
    }
    return filters;
}

bool QtFileDialogs::PickSaveFile(QWidget* owner, std::string& fileName, const std::string& filter,
                                 uint32_t flags, const std::string& title) {
    fileName.clear();
    QFileDialog dialog(owner, QString::fromStdString(title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(filter));
    if (!(flags & 2)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const QString chosen = dialog.selectedFiles().first();
    // The name buffer holds 255 characters; a longer name fails the dialog.
    if (chosen.size() > 255) return false;
    fileName = chosen.toStdString();
    return true;
}

bool QtFileDialogs::PickOpenFile(QWidget* owner, std::string& fileName, const std::string& filter,
                                 const std::string& title) {
    fileName.clear();
    QFileDialog dialog(owner, QString::fromStdString(title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    fileName = dialog.selectedFiles().first().toStdString();
    return true;
}

int QtColourDialogs::PickColor(QWidget* owner, uint32_t& colour) {
    const QColor start(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
    const QColor chosen = QColorDialog::getColor(start, owner);
    if (!chosen.isValid()) return 0;
    colour = uint32_t(chosen.red()) | uint32_t(chosen.green()) << 8 | uint32_t(chosen.blue()) << 16;
    return 1;
}

void QtBrowser::OpenUrl(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void QtClipboard::Clear() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
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
    if (screen->devicePixelRatio() > 0)
        metrics.devicePixelRatio = float(screen->devicePixelRatio());
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
