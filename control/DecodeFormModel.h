// The result window's state and its decode, without a display. The widget
// (DecodeForm) renders this state; what needs the window system goes
// through DecodeFormHost.
#pragma once

#include "DecodeRun.h"
#include "Platform.h"
#include "ProgramState.h"
#include "ResultLabels.h"

#include <cstdint>
#include <string>

namespace zorvik {

inline constexpr const char* kDecodeCaptionBusy = "ＱＲコード  デコード中．．．";
inline constexpr const char* kDecodeCaptionResult = "ＱＲコード  デコード結果";
inline constexpr const char* kTempBitmapName = "#TEMP_QR.tmp";

class DecodeFormHost {
  public:
    virtual ~DecodeFormHost() = default;
    // Writes the picture of QrPic as a bitmap file of the display's colour
    // depth; false when it cannot.
    virtual bool SaveQrPic(const std::string& path) = 0;
    // Paints the window now, so its cleared state shows during the run.
    virtual void Repaint() = 0;
    virtual MessageBoxes& Messages() = 0;
    // Closes the window; its Form_Unload runs.
    virtual void Unload() = 0;
    // Shows the page file in QrBrowse.
    virtual void Navigate(const std::string& pagePath) = 0;
    // Brings the window back from minimised and gives it the focus.
    virtual void RestoreAndFocus() = 0;
    // Puts the decoded text on the clipboard beside the picture it holds.
    virtual void OfferText(const std::string& text) { (void)text; }
};

// What the result window uses of the main window when it closes.
class MainWindowLink {
  public:
    virtual ~MainWindowLink() = default;
    virtual int16_t MouseMode() const = 0; // MOUSE_MODE: 1 hand mode
    virtual void SetGuidance(const std::string& text, int16_t waitSec) = 0;
    virtual void FocusMainWindow() = 0;
};

class DecodeFormModel {
  public:
    // Design geometry in twips: left, top, width, height.
    struct Rect {
        int32_t left, top, width, height;
    };
    static constexpr int32_t kClientWidth = 7860, kClientHeight = 5880;
    static constexpr Rect kImageFrame{60, 60, 3615, 3615};
    static constexpr Rect kDecodeText{60, 3720, 7755, 2115};

    explicit DecodeFormModel(ProgramState& program) : program_(program) {}

    void Form_Load();
    void ClearResults();
    // One decode of the picture in QrPic, from the bitmap file to the
    // filled-in window. clock is the millisecond timer of the decode time.
    // fallback, when given, is what the window shows instead of the message
    // of a picture that does not decode, or of one that decodes to another
    // text (a picked symbol's whole-picture result); a file failure keeps its
    // message. Without a temporary folder (TempFolder empty) nothing is
    // written: the picture cannot be made, as the message says.
    void DecodeQR(DecodeFormHost& host, const MillisecondClock& clock = SystemMilliseconds,
                  const DecodeOutcome* fallback = nullptr);
    // After a decode has filled the window: DecodeText goes to the clipboard
    // when the CopyText option is on. Every path that fills the window calls it.
    void OfferDecodedText(DecodeFormHost& host) const;
    // The mode hint in the main window's guidance line for 5 seconds, the
    // flag cleared, the focus back to the main window.
    void Form_Unload(MainWindowLink& main);

    std::string Caption = kDecodeCaptionResult;
    ResultLabels labels;
    std::string DecodeText;
    bool DecodeTextVisible = true;
    bool QrBrowseVisible = false;
    Rect QrBrowse{60, 6000, 7755, 495}; // below the client area until shown

  private:
    // The window filled in from a successful outcome.
    void ShowOutcome(const DecodeOutcome& outcome, DecodeFormHost& host);

    ProgramState& program_;
};

} // namespace zorvik
