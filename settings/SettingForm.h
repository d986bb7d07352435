// The options dialog "ミルカ　オプション設定". A thin widget over
// SettingFormModel: the controls' events go to the model's handlers, and
// Render() shows every control as the model says. The message box and the
// file and colour dialogs come in as interfaces, so tests never open one.
#pragma once

#include "Platform.h"
#include "SettingFormModel.h"
#include "Settings.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace zorvik {

class ColourSwatch;

class SettingForm final : public QWidget {
    Q_OBJECT
  public:
    // Opens on the values of settings; applying writes them back to
    // settings and saves them for programFolder. The window deletes itself
    // once closed; onUnload runs exactly once as it closes, whichever way
    // (OK, Cancel, the close box). owner: the window it belongs to, if any;
    // the owner may disable itself while this window is open, and this
    // window stays enabled (Qt would pass the owner's state down to it).
    SettingForm(Settings& settings, std::string programFolder, MessageBoxes& messages,
                FileDialogs& files, ColourDialogs& colours, std::function<void()> onUnload,
                QWidget* owner = nullptr);

    const SettingFormModel& model() const { return model_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void Render();
    // Runs a handler of the model, then shows its outcome.
    void Handle(const std::function<void()>& handler);
    QLabel* ClickableLabel(const char* name, const char* caption);

    SettingFormModel model_;
    MessageBoxes& messages_;
    FileDialogs& files_;
    ColourDialogs& colours_;
    std::function<void()> onUnload_;
    bool unloaded_ = false;

    QCheckBox *htmlBrowse_, *decodeAtOnce_, *cameraSound_, *segmentInfo_;
    QLabel *msgHtmlBrowse_, *msgDecodeAtOnce_, *msgCameraSound_, *msgSegmentInfo_;
    std::array<ColourSwatch*, 3> setColor_{};
    std::array<QLabel*, 3> msgSetColor_{};
    QLineEdit* textFontSize_;
    QScrollBar* changeFontSize_;
    QLineEdit* segmentInfoFile_;
    QPushButton* fileSearch_;
    std::array<QPushButton*, 3> cmdButton_{};
};

} // namespace zorvik
