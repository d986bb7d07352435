// Stand-ins for the platform services in window tests: message boxes and
// dialogs are recorded and answered instead of shown, the clipboard is a
// variable, and a capture returns a prepared picture without waiting.
#pragma once

#include "HelpViewer.h"
#include "Platform.h"
#include "ScreenCapture.h"

#include <QImage>

#include <string>
#include <vector>

namespace zorvik::test {

struct RecordedMessage {
    std::string text, title;
    MessageIcon icon;
};

class FakeMessages final : public MessageBoxes {
  public:
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        shown.push_back({text, title, icon});
    }
    void ShowMessageOver(QWidget* o, const std::string& text, const std::string& title,
                         MessageIcon icon) override {
        owners.push_back(o);
        ShowMessage(text, title, icon);
    }
    std::vector<RecordedMessage> shown;
    std::vector<QWidget*> owners; // of the messages shown over a window
};

class FakeClipboard final : public Clipboard {
  public:
    QImage ReadPicture(std::string* refusal = nullptr) override {
        if (refusal) *refusal = failRead ? readRefusal : "";
        return failRead ? QImage() : picture;
    }
    void WritePicture(const QImage& p) override { picture = p, text.clear(); }
    void AddText(const std::string& t) override { text = t; }
    void Clear() override { picture = QImage(), text.clear(); }
    QImage picture;
    std::string text; // offered beside the picture
    bool failRead = false;
    std::string readRefusal; // with failRead: why a picture offered cannot be used
};

class FakeCapture final : public ScreenCapture {
  public:
    CaptureResult BeforeHiding(bool wholeDesktop, const QWindow*) override {
        return beforeHidingAsked.push_back(wholeDesktop), beforeHiding;
    }
    CaptureResult ActiveWindow() override { return calls.push_back("active"), activeWindow; }
    CaptureResult Desktop() override { return calls.push_back("desktop"), desktop; }
    void Pause(int ms) override { calls.push_back("pause " + std::to_string(ms)); }
    CaptureResult activeWindow, desktop;
    CaptureResult beforeHiding; // nothing settled while shown, as under X11
    std::vector<bool> beforeHidingAsked;
    std::vector<std::string> calls;
};

class FakeSound final : public SoundPlayer {
  public:
    void PlayAsync(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

class FakeFileDialogs final : public FileDialogs {
  public:
    bool PickSaveFile(QWidget*, std::string& fileName, const std::string& filter, uint32_t flags,
                      const std::string& title) override {
        asked.push_back({filter, flags, title});
        fileName = answer;
        return !answer.empty();
    }
    struct Question {
        std::string filter;
        uint32_t flags;
        std::string title;
    };
    bool PickOpenFile(QWidget*, std::string& fileName, const std::string& filter,
                      const std::string& title) override {
        asked.push_back({filter, 0, title});
        fileName = openAnswer;
        return !openAnswer.empty();
    }
    std::vector<Question> asked;
    std::string answer;     // empty: the user cancels
    std::string openAnswer; // the same for the open-file dialog
};

class FakeColourDialogs final : public ColourDialogs {
  public:
    int PickColor(QWidget*, uint32_t& colour) override {
        started.push_back(colour);
        if (answer < 0) return 0;
        colour = uint32_t(answer);
        return 1;
    }
    std::vector<uint32_t> started;
    long answer = -1; // -1: the user cancels
};

class FakeBrowser final : public Browser {
  public:
    void OpenUrl(const std::string& address) override { opened.push_back(address); }
    std::vector<std::string> opened;
};

class FakeHelp final : public HelpViewer {
  public:
    bool DisplayTopic(QWidget*, const std::string& helpFile) override {
        shown.push_back(helpFile);
        return true;
    }
    void CloseAll() override { ++closedAll; }
    std::vector<std::string> shown;
    int closedAll = 0;
};

// Everything a main window needs, in one place.
struct FakePlatform {
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeCapture capture;
    FakeSound sound;
    FakeFileDialogs fileDialogs;
    FakeColourDialogs colourDialogs;
    FakeBrowser browser;
    FakeHelp help;
};

} // namespace zorvik::test
