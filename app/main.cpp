#include "HelpViewer.h"
#include "MainForm.h"
#include "QtPlatform.h"
#include "ScreenCapture.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zorvik::QtMessageBoxes messages;
    zorvik::QtClipboard clipboard;
    zorvik::QtScreenCapture capture;
    zorvik::QtSoundPlayer sound;
    zorvik::QtFileDialogs fileDialogs;
    zorvik::QtColourDialogs colourDialogs;
    zorvik::QtBrowser browser;
    zorvik::QtHelpViewer help(browser);
    zorvik::MainForm mainForm(
        {messages, clipboard, capture, sound, fileDialogs, colourDialogs, browser, help});
    mainForm.show();
    return app.exec();
}
