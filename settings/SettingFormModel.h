// The options dialog's controls and rules, without a display. The dialog
// edits its own copy of the settings and writes them back to Settings and
// the settings file only when the user applies them. The widget
// (SettingForm) forwards its events to the handlers named here and then
// renders every control from this state.
#pragma once

#include "Platform.h"
#include "Settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

class QWidget;

namespace zorvik {

inline constexpr const char* kSettingCaption = "ミルカ　オプション設定";
inline constexpr const char* kSettingMessageTitle = "ZORVIK";
inline constexpr const char* kSegmentInfoFileMissing = "セグメント情報出力先を設定してください";
inline constexpr const char* kSegmentInfoFileTitle = "セグメント情報出力先";
// Description and pattern pairs, each part ended by a NUL.
inline constexpr std::string_view kSegmentInfoFileFilter{
    "テキストファイル (*.txt)\0*.txt\0すべてのファイル\0*.*\0",
    sizeof("テキストファイル (*.txt)\0*.txt\0すべてのファイル\0*.*\0") - 1};
inline constexpr uint32_t kSegmentInfoFileFlags = 4; // hide the read-only box

// Colours are platform colour values: red + 256 * green + 65536 * blue.
inline constexpr uint32_t kSwatchBorder = 192 + 256 * 192 + 65536 * 192;
inline constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t ColourValue(const RgbColor& colour);
// The colour with each byte turned over (255 - red, ...), for the border
// that marks the swatch under the pointer.
uint32_t InverseColour(uint32_t colour);
// The colour dialog's sixteen custom colours for a start colour: slot 0
// holds the start colour and the rest white when blue has any of its low
// five bits set, red is not 255, red has low bits set or green is not 255,
// and green has low bits set or blue is not 255; otherwise all are white.
std::array<uint32_t, 16> CustomColourSlots(uint32_t start);

class SettingFormModel {
  public:
    enum Button { OK = 0, Cancel = 1, Apply = 2 };

    // settings are what the dialog edits and applies; programFolder is
    // where SaveSettings puts them.
    SettingFormModel(Settings& settings, std::string programFolder)
        : settings_(settings), programFolder_(std::move(programFolder)) {}

    // Fills the controls from Settings; the dialog starts unchanged.
    void Form_Load();
    // Enables Apply: there are unapplied changes.
    void MarkChanged();

    // Clicks on the caption labels toggle their check boxes.
    void msgHtmlBrowse_Click();
    void msgDecodeAtOnce_Click();
    void msgCameraSound_Click();
    void msgSegmentInfo_Click();

    // A check box, the path or the scroll bar has taken a new value (from
    // the user, or from a handler above).
    void HtmlBrowse_Change(int16_t value);
    void DecodeAtOnce_Change(int16_t value);
    void CameraSound_Change(int16_t value);
    void SegmentInfo_Change(int16_t value);
    void SegmentInfoFile_Change(const std::string& text);
    void ChangeFontSize_Change(int16_t value); // 1 is font size 7, 7 is 1

    // The colour label of swatch index (0 back, 1 text, 2 link): only while
    // HtmlBrowse is checked, the colour dialog starts at the swatch's fill
    // and a chosen colour becomes the new fill. owner: the dialog's window.
    void msgSetColor_Click(int index, ColourDialogs& dialogs, QWidget* owner);
    // The pointer over a colour label (only while HtmlBrowse is checked)
    // marks its swatch with the inverse border; over the dialog's background
    // every border goes back to grey.
    void msgSetColor_MouseMove(int index);
    void Form_MouseMove();

    // The ">>" button: a chosen save-file path becomes the output path.
    void FileSearch_Click(FileDialogs& dialogs, QWidget* owner);

    // OK, Cancel, Apply. A failed check shows its message through messages
    // and asks for the focus on SegmentInfoFile (FocusSegmentInfoFile);
    // CloseRequested says the dialog is to close.
    void CmdButton_Click(int index, MessageBoxes& messages);

    // Copies every control into Settings and saves the file. A TextFontSize
    // that is not one digit 1 to 7 leaves FontSize as it is.
    void ApplySettingsFromDialog();

    // --- The controls ---
    int16_t HtmlBrowse = 0, DecodeAtOnce = 0, CameraSound = 0, SegmentInfo = 0;
    std::array<uint32_t, 3> SetColorFill{};
    std::array<uint32_t, 3> SetColorBorder{kSwatchBorder, kSwatchBorder, kSwatchBorder};
    std::string TextFontSize;
    int16_t ChangeFontSize = 1; // 1..7
    std::string SegmentInfoFile;
    bool TextFontSizeEnabled = false, ChangeFontSizeEnabled = false;
    bool SegmentInfoFileEnabled = false, FileSearchEnabled = false;
    std::array<bool, 3> CmdButtonEnabled{true, true, false}; // [Apply]: changed

    // Requests to the widget, which clears them once done.
    bool FocusSegmentInfoFile = false;
    bool CloseRequested = false;

  private:
    // False, with the message shown, when the output file is on and has no
    // path.
    bool Validate(MessageBoxes& messages);
    void SetFontSizeEnabled(bool enabled);
    void SetSegmentInfoFileEnabled(bool enabled);

    Settings& settings_;
    std::string programFolder_;
};

} // namespace zorvik
