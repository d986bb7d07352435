#include "HelpViewer.h"
#include "MainForm.h"
#include "QtPlatform.h"
#include "ScreenCapture.h"
#include "SingleInstance.h"
#include "StartRequest.h"

#include <QApplication>
#include <QDir>
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
