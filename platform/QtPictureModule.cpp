// The entry of QtPictureReader.cpp built as a module, for the programs that
// load Qt only when a picture needs it (QtPictureLoader.cpp).
#include "QtPictureReader.h"

#include <QString>
#include <QtGlobal>

#include <iostream>

extern "C" __attribute__((visibility("default"))) zorvik::QtPictureReading
zorvik_open_qt_pictures() {
    // Qt's own warnings (its image readers pass on their libraries') would
    // stand before the one line that says what became of a file.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) std::cerr << "zorvik-cli: " << message.toStdString() << "\n";
    });
    zorvik::PrepareQtPictureReading();
    return &zorvik::QtPictureToBitmap;
}
