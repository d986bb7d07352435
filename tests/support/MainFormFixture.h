// The main window on the fake platform, in a scratch folder of its own: the
// set-up the window tests share. Header only, for the tests that link the
// windows.
#pragma once

#include "FakePlatform.h"
#include "MainForm.h"
#include "QtTestSupport.h"
#include "TempFolder.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace zorvik::test {

class MainFormFixture : public ::testing::Test {
  protected:
    explicit MainFormFixture(const std::string& scratchTag) : scratch(scratchTag) {}

    void SetUp() override { Start(); }
    void TearDown() override { Stop(); }

    // A fresh start of the window; with ini, that settings file is put
    // beside the program first.
    void Start(const std::optional<std::string>& ini = std::nullopt) {
        Stop();
        if (ini) {
            std::filesystem::create_directories(scratch / "program");
            std::ofstream(scratch / "program" / "ZORVIK.ini") << *ini;
        }
        form = std::make_unique<MainForm>(
            MainForm::Services{platform.messages, platform.clipboard, platform.capture,
                               platform.sound, platform.fileDialogs, platform.colourDialogs,
                               platform.browser, platform.help},
            folder("program"), folder("temp"));
    }
    void Stop() {
        form.reset();
        FlushDeletes();
    }
    std::string folder(const std::string& name) {
        std::filesystem::create_directories(scratch / name);
        return (scratch / name).string();
    }

    // As another program copies a picture and the user pastes it.
    void Paste(const QImage& picture) {
        platform.clipboard.WritePicture(picture);
        form->GetClipboard_Click();
    }
    // A left-button drag on the view between two points of its own
    // (logical) coordinates, by way of the point between them.
    void Drag(QPointF from, QPointF to) {
        QWidget* view = form->selectPic();
        auto send = [view](QEvent::Type type, QPointF at, Qt::MouseButton button,
                           Qt::MouseButtons held) {
            QMouseEvent event(type, at, view->mapToGlobal(at), button, held, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        QCoreApplication::processEvents(); // the deferred press
        send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }

    TempFolder scratch;
    FakePlatform platform;
    std::unique_ptr<MainForm> form;
};

} // namespace zorvik::test
