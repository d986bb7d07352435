// Screen capture and the shutter sound, as interfaces that tests replace,
// with their Qt forms: X11 (also under Xvfb), the desktop's screenshot
// portal on a Wayland session (XWayland included), and an honest refusal
// elsewhere.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class QSoundEffect;
class QWindow;

namespace zorvik {

struct CaptureResult {
    QImage picture;   // device pixels, never resampled; null when nothing was captured
    std::string note; // for the guidance line when the capture is not what was asked, or failed
};

class ScreenCapture {
  public:
    virtual ~ScreenCapture() = default;
    // Called while the program's window is still shown, before it minimises
    // for a capture of the whole desktop or of the active window. Whatever
    // needs the user (a permission prompt, a picker) happens here, with
    // `window` as its parent: a prompt of a minimised window may never be
    // seen. Returns a picture when the capture is already done, a note when
    // it cannot be done (nothing more is tried), or neither when the window
    // should minimise and ActiveWindow() or Desktop() follow.
    virtual CaptureResult BeforeHiding(bool wholeDesktop, const QWindow* window) {
        (void)wholeDesktop;
        (void)window;
        return {};
    }
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
// No way to the screen: no X server of our session, no screenshot portal.
inline constexpr const char* kCaptureUnavailable = "この環境では画面をキャプチャできません";
// The portal's answers other than a picture.
inline constexpr const char* kCaptureDenied = "画面のキャプチャが拒否されました";
inline constexpr const char* kCaptureCancelledOrFailed =
    "画面のキャプチャが取り消されたか失敗しました（許可の設定を確認してください）";
inline constexpr const char* kCaptureNoAnswer =
    "画面のキャプチャに応答がありませんでした（もう一度お試しください）";

class QtScreenCapture final : public ScreenCapture {
  public:
    CaptureResult BeforeHiding(bool wholeDesktop, const QWindow* window) override;
    CaptureResult ActiveWindow() override;
    CaptureResult Desktop() override;
    void Pause(int ms) override;

  private:
    // The portal's state within this run (see MayAskWhileHidden).
    uint32_t portalVersion_ = 0; // 0: not asked yet, or no portal
    bool portalPictureThisRun_ = false;
    bool portalUnansweredWhileHidden_ = false;
    QString portalParent_;
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
