#include "MainForm.h"
#include "QtPlatform.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zorvik::QtMessageBoxes messages;
    zorvik::QtClipboard clipboard;
    zorvik::MainForm mainForm({messages, clipboard});
    mainForm.show();
    return app.exec();
}
