#include "HelpViewer.h"
#include "Language.h"
#include "MainForm.h"
#include "PictureFile.h"
#include "QtPlatform.h"
#include "ScreenCapture.h"
#include "SingleInstance.h"
#include "StartRequest.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QLocale>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using zorvik::StartRequest;
    // Help needs no display, so it is answered before Qt starts.
    const std::vector<std::string> raw(argv + 1, argv + argc);
    if (zorvik::ParseStartArguments(raw, {}).kind == StartRequest::Kind::Help) {
        std::fputs(zorvik::kStartUsage, stdout);
        return 0;
    }
    QApplication app(argc, argv); // takes the window system's own options out of argv
    // The documented Japanese texts when the desktop asks for Japanese,
    // English otherwise; Qt's own dialogs in the same language.
    zorvik::InstallUiLanguage(app, zorvik::ChooseUiLanguage(QLocale::system().uiLanguages()),
                              QCoreApplication::applicationDirPath().toStdString());
    // What Qt reads for the program (pastes, drops) has the command line's
    // picture limits, not Qt's 128 MB.
    QImageReader::setAllocationLimit(zorvik::kQtAllocationLimitMb);
    // The desktop entry's name: docks, the portal's permission store and the
    // compositor know the program by it. The logo is built into the program.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZORVIK_APP_ID));
    QIcon logo;
    for (const char* size : {"48", "128", "256"})
        logo.addFile(QStringLiteral(":/logo/%1/" ZORVIK_APP_ID ".png").arg(size));
    QApplication::setWindowIcon(logo);
    // A relative path is the caller's: resolved here, before it travels.
    const StartRequest request = zorvik::ParseStartArguments(
        std::vector<std::string>(argv + 1, argv + argc), QDir::currentPath().toStdString());
    if (request.kind == StartRequest::Kind::Error) {
        std::fprintf(stderr, "%s\n", request.error.c_str());
        return 2;
    }
    zorvik::SingleInstance instance(zorvik::SingleInstanceName());
    if (instance.Start(QByteArray::fromStdString(zorvik::EncodeRequest(request))) ==
        zorvik::SingleInstance::Role::Forwarded)
        return 0;

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
    QObject::connect(&instance, &zorvik::SingleInstance::MessageArrived, &mainForm,
                     [&mainForm](const QByteArray& message) {
                         if (const auto later = zorvik::DecodeRequest(message.toStdString()))
                             mainForm.RunStartRequest(*later);
                     });
    mainForm.show();
    // Once the window is shown and the event loop runs.
    if (request.kind != StartRequest::Kind::Raise)
        QTimer::singleShot(0, &mainForm,
                           [&mainForm, request] { mainForm.RunStartRequest(request); });
    return app.exec();
}
