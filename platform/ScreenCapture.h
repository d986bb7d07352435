// Screen capture and the shutter sound, as interfaces that tests replace,
// with their Qt forms: X11 (also under Xvfb), the desktop's screenshot
// portal under Wayland, and an honest refusal elsewhere.
#pragma once

#include <QImage>
#include <QObject>

#include <memory>
#include <string>

class QSoundEffect;

namespace zorvik {

struct CaptureResult {
    QImage picture;   // device pixels, never resampled; null when nothing was captured
    std::string note; // for the guidance line when the capture is not what was asked, or failed
};

class ScreenCapture {
  public:
    virtual ~ScreenCapture() = default;
    // The window that is active now, whole with its frame. Without a window
    // manager to name it, the whole desktop, with a note that says so.
    virtual CaptureResult ActiveWindow() = 0;
    // The whole virtual desktop: every screen at its place.
    virtual CaptureResult Desktop() = 0;
    // Lets the window system work for ms milliseconds while the user's input
    // waits (a minimised window must really go before the capture).
    virtual void Pause(int ms) = 0;
};

class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // Starts the sound file and returns at once; a missing file or a machine
    // without a sound device plays nothing.
    virtual void PlayAsync(const std::string& wavPath) = 0;
};

// Texts of the guidance line when a capture differs from what was asked.
inline constexpr const char* kCaptureNoActiveWindow =
    "アクティブウィンドウが分からないため、デスクトップ全体をキャプチャしました";
inline constexpr const char* kCaptureUnavailable = "この環境では画面をキャプチャできません";
inline constexpr const char* kCaptureCancelled = "画面のキャプチャが取り消されました";

class QtScreenCapture final : public ScreenCapture {
  public:
    CaptureResult ActiveWindow() override;
    CaptureResult Desktop() override;
    void Pause(int ms) override;
};

class QtSoundPlayer final : public SoundPlayer {
  public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void PlayAsync(const std::string& wavPath) override;

  private:
    // One effect at a time, replaced by the next; never waited on (without a
    // device it may report itself playing for ever).
    std::unique_ptr<QSoundEffect> effect_;
};

} // namespace zorvik
