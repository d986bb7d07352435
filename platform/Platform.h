// The window system's services the windows use, as small interfaces that
// tests replace. QtPlatform.h has the real ones.
#pragma once

#include <string>

class QImage;

namespace zorvik {

enum class MessageIcon { Information, Critical };

// A modal message box with an OK button.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void ShowMessage(const std::string& text, const std::string& title,
                             MessageIcon icon) = 0;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // The clipboard's picture in any format it offers; a null image when it
    // holds none.
    virtual QImage ReadPicture() = 0;
    // Replaces the clipboard's content with the picture.
    virtual void WritePicture(const QImage& picture) = 0;
};

// The screen the main window is on.
struct ScreenMetrics {
    float TwipsPerPixelX = 15, TwipsPerPixelY = 15;
    int32_t widthTwips = 0, heightTwips = 0;
    int colourDepth = 24; // bits per pixel of the display
};

} // namespace zorvik
