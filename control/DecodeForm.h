// The result window: the selected picture, the reading information and the
// decoded text or its page. A thin widget over DecodeFormModel.
#pragma once

#include "DecodeFormModel.h"
#include "Platform.h"

#include <QImage>
#include <QWidget>

#include <string>

class QLabel;
class QPlainTextEdit;
class QTextBrowser;

namespace zorvik {

class DecodeForm final : public QWidget, private DecodeFormHost {
    Q_OBJECT
  public:
    // The window deletes itself once closed, after telling the main window.
    // Links on the page open through browser.
    DecodeForm(ProgramState& program, MessageBoxes& messages, Browser& browser,
               Clipboard& clipboard, const ScreenMetrics& screen, MainWindowLink& main,
               QWidget* owner = nullptr);

    // Sizes QrPic to the picture (twips at the screen's scale) and centres it
    // in its frame. The picture is what DecodeQR decodes.
    void SetQrPicture(const QImage& picture);
    const QImage& QrPicture() const { return qrPicture_; }
    // fallback: shown instead of the message when the picture does not
    // decode (DecodeFormModel::DecodeQR).
    void DecodeQR(const DecodeOutcome* fallback = nullptr);
    const DecodeFormModel& model() const { return model_; }
    void SetCaption(const std::string& caption);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool SaveQrPic(const std::string& path) override;
    void Repaint() override;
    MessageBoxes& Messages() override { return ownMessages_; }
    void Unload() override;
    void Navigate(const std::string& pagePath) override;
    void RestoreAndFocus() override;
    void OfferText(const std::string& text) override;

    void Render();
    QRect Pixels(int32_t left, int32_t top, int32_t width, int32_t height) const;

    ProgramState& program_;
    MessageBoxes& messages_;
    MessagesOver ownMessages_{messages_, this}; // the decode run's, over this window
    Browser& browser_;
    Clipboard& clipboard_;
    ScreenMetrics screen_;
    MainWindowLink& main_;
    DecodeFormModel model_;
    QImage qrPicture_;
    bool unloaded_ = false;

    QWidget* imageFrame_;
    QLabel* qrPic_;
    QLabel *version_, *corrLevel_, *maxCor_, *corRate_, *maskNo_, *concatNo_, *dataWord_,
        *compressRate_, *decodeTime_;
    QPlainTextEdit* decodeText_;
    QTextBrowser* qrBrowse_;
};

} // namespace zorvik
