// The platform services on Qt (X11, Wayland or the offscreen platform).
#pragma once

#include "Platform.h"

#include <QFont>
#include <QImage>
#include <QStringList>

#include <cstdint>
#include <string>

class QWidget;

namespace zorvik {

class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    void ShowMessageOver(QWidget* owner, const std::string& text, const std::string& title,
                         MessageIcon icon) override;

  private:
    QWidget* parent_;
};

class QtClipboard final : public Clipboard {
  public:
    // Sets Qt's process-wide image allocation limit to kQtAllocationLimitMb.
    QImage ReadPicture(std::string* refusal = nullptr) override;
    void WritePicture(const QImage& picture) override;
    void AddText(const std::string& text) override;
    void Clear() override;
};

class QtFileDialogs final : public FileDialogs {
  public:
    bool PickSaveFile(QWidget* owner, std::string& fileName, const std::string& filter,
                      uint32_t flags, const std::string& title) override;
    bool PickOpenFile(QWidget* owner, std::string& fileName, const std::string& filter,
                      const std::string& title) override;
};

class QtColourDialogs final : public ColourDialogs {
  public:
    int PickColor(QWidget* owner, uint32_t& colour) override;
};

class QtBrowser final : public Browser {
  public:
    void OpenUrl(const std::string& address) override;
};

// The name filters of a NUL-separated filter list, as Qt's file dialog
// shows them: "description (pattern)" unless the description already names
// its pattern in parentheses.
QStringList NameFilters(const std::string& filter);

// Twips per pixel from the screen's logical DPI (15 at 96 DPI), the screen's
// size in twips, its colour depth and its device pixel ratio; the primary
// screen without a widget.
ScreenMetrics ScreenMetricsFor(const QWidget* widget);

// The windows' font: the proportional Japanese Gothic the captions were laid
// out for, or the nearest the machine has.
QFont JapaneseFont(double pointSize);

// Writes the picture as a bitmap file of the display's colour depth.
// False when the file cannot be written.
bool SavePictureAsBitmap(const QImage& picture, const std::string& path, int colourDepth);

} // namespace zorvik
