// The About box: the program's name and version, the notice line, the logo
// and the maker's web address, which opens in the user's browser.
#pragma once

#include "Platform.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace zorvik {

inline constexpr const char* kVersionCaption = "ミルカ バージョン情報";
inline constexpr const char* kVersionProductLine = "QR Code Decoder ミルカ Version 1.2";
inline constexpr const char* kVersionNotice = "Copyright (C) 2026 ZORVIK project";
inline constexpr const char* kMakerAddress = "https://zorvik.example.org/";

class VersionForm final : public QWidget {
    Q_OBJECT
  public:
    // A topmost window centred on the screen of owner (the primary screen
    // without one); the caller shows it. It deletes itself once closed.
    // onUnload runs exactly once, when the box closes by any path (OK, the
    // address, Esc, the window's close box); the main window enables itself
    // there. A box created before its owner was disabled enables itself
    // when shown, so it still takes input.
    VersionForm(Browser& browser, std::function<void()> onUnload, QWidget* owner = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Blue and bold while the pointer is over the address, else black.
    void SetUrlHover(bool over);
    void URL_Click();

    Browser& browser_;
    std::function<void()> onUnload_;
    bool unloaded_ = false;
    QLabel* url_;
    QPushButton* ok_;
};

} // namespace zorvik
