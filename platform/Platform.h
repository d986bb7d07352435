// The window system's services the windows use, as small interfaces that
// tests replace. QtPlatform.h has the real ones.
#pragma once

#include <cstdint>
#include <string>

class QImage;
class QWidget;

namespace zorvik {

enum class MessageIcon { Information, Critical };

// A modal message box with an OK button.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void ShowMessage(const std::string& text, const std::string& title,
                             MessageIcon icon) = 0;
    // The same, kept in front of owner.
    virtual void ShowMessageOver(QWidget* owner, const std::string& text, const std::string& title,
                                 MessageIcon icon) {
        (void)owner;
        ShowMessage(text, title, icon);
    }
};

// The message boxes of one window: each is shown over owner, the window
// whose action raised it, for code that knows no windows.
class MessagesOver final : public MessageBoxes {
  public:
    MessagesOver(MessageBoxes& boxes, QWidget* owner) : boxes_(boxes), owner_(owner) {}
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        boxes_.ShowMessageOver(owner_, text, title, icon);
    }
    void ShowMessageOver(QWidget* owner, const std::string& text, const std::string& title,
                         MessageIcon icon) override {
        boxes_.ShowMessageOver(owner, text, title, icon);
    }

  private:
    MessageBoxes& boxes_;
    QWidget* owner_;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // The clipboard's picture in any format it offers; a null image when it
    // holds none. One it offers that cannot be used (over the picture limits
    // of PictureFile.h, or unreadable) is a null image too, and then refusal,
    // when given, says why in one line (else it is left empty).
    virtual QImage ReadPicture(std::string* refusal = nullptr) = 0;
    // Replaces the clipboard's content with the picture.
    virtual void WritePicture(const QImage& picture) = 0;
    // Offers text (UTF-8) beside the picture the clipboard holds, as one
    // entry, so that pasting as text or as a picture both still work.
    virtual void AddText(const std::string& text) = 0;
    virtual void Clear() = 0;
};

// The save-file dialog. filter holds pairs of description and pattern, each
// ended by a NUL ("テキストファイル (*.txt)\0*.txt\0"), the first pair
// selected; flags 2 asks before overwriting, 4 hides the read-only box. The
// program adds no extension. True with fileName set (at most 255
// characters) when the user confirms; false with it empty otherwise.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    virtual bool PickSaveFile(QWidget* owner, std::string& fileName, const std::string& filter,
                              uint32_t flags, const std::string& title) = 0;
    // The open-file dialog for an existing file, filter as above. True with
    // fileName set when the user confirms; false with it empty otherwise.
    virtual bool PickOpenFile(QWidget* owner, std::string& fileName, const std::string& filter,
                              const std::string& title) = 0;
};

// The colour dialog, starting at colour (red + 256 * green + 65536 * blue).
// Returns 1 and updates colour when the user chose one, else 0.
class ColourDialogs {
  public:
    virtual ~ColourDialogs() = default;
    virtual int PickColor(QWidget* owner, uint32_t& colour) = 0;
};

// Hands a web address to the user's browser (or a mail address to the mail
// program); the result is not examined.
class Browser {
  public:
    virtual ~Browser() = default;
    virtual void OpenUrl(const std::string& address) = 0;
};

// The screen the main window is on.
struct ScreenMetrics {
    float TwipsPerPixelX = 15, TwipsPerPixelY = 15;
    int32_t widthTwips = 0, heightTwips = 0;
    int colourDepth = 24; // bits per pixel of the display
    // Device pixels per logical pixel (2 on a screen scaled to 200 %): the
    // windows are laid out in logical pixels, pictures are shown in device
    // pixels.
    float devicePixelRatio = 1;
};

} // namespace zorvik
