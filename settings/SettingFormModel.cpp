#include "SettingFormModel.h"

namespace zorvik {
namespace {

int16_t Toggled(int16_t value) {
    return static_cast<int16_t>(value == 0 ? 1 : 0);
}

int16_t CheckValue(int16_t setting) {
    return static_cast<int16_t>(setting != 0 ? 1 : 0);
}

RgbColor Components(uint32_t colour) {
    return {static_cast<int16_t>(colour % 256), static_cast<int16_t>(colour / 256 % 256),
            static_cast<int16_t>(colour / 65536 % 256)};
}

} // namespace

uint32_t ColourValue(const RgbColor& colour) {
    auto byte = [](int16_t component) { return uint32_t(uint16_t(component) & 0xFF); };
    return byte(colour[0]) + 256 * byte(colour[1]) + 65536 * byte(colour[2]);
}

uint32_t InverseColour(uint32_t colour) {
    return (colour & 0xFFFFFF) ^ 0xFFFFFF;
}

std::array<uint32_t, 16> CustomColourSlots(uint32_t start) {
    const uint32_t red = start & 0xFF, green = start >> 8 & 0xFF, blue = start >> 16 & 0xFF;
    std::array<uint32_t, 16> slots;
    slots.fill(kWhite);
    if ((blue & 0x1F) != 0 && ((red & 0x1F) != 0 || green != 255) && red != 255 &&
        ((green & 0x1F) != 0 || blue != 255))
        slots[0] = start & 0xFFFFFF;
    return slots;
}

void SettingFormModel::Form_Load() {
    HtmlBrowse = CheckValue(settings_.HtmlBrowse);
    SetColorFill = {ColourValue(settings_.BackColor), ColourValue(settings_.TextColor),
                    ColourValue(settings_.LinkColor)};
    TextFontSize = std::to_string(settings_.FontSize);
    // A size outside 1..7 (a file without the key gives 0) still shows its
    // text; the scroll bar cannot go beyond its range.
    const int position = 8 - settings_.FontSize;
    ChangeFontSize = static_cast<int16_t>(position < 1 ? 1 : position > 7 ? 7 : position);
    SetFontSizeEnabled(HtmlBrowse == 1);
    DecodeAtOnce = CheckValue(settings_.DecodeAtOnce);
    CameraSound = CheckValue(settings_.CameraSound);
    SegmentInfo = CheckValue(settings_.SegmentInfo);
    SegmentInfoFile = settings_.InfoFileName;
    SetSegmentInfoFileEnabled(SegmentInfo == 1);
    SetColorBorder = {kSwatchBorder, kSwatchBorder, kSwatchBorder};
    CmdButtonEnabled = {true, true, false};
    FocusSegmentInfoFile = CloseRequested = false;
}

void SettingFormModel::MarkChanged() {
    CmdButtonEnabled[Apply] = true;
}

void SettingFormModel::msgHtmlBrowse_Click() {
    HtmlBrowse_Change(Toggled(HtmlBrowse));
    MarkChanged();
}

void SettingFormModel::msgDecodeAtOnce_Click() {
    DecodeAtOnce_Change(Toggled(DecodeAtOnce));
    MarkChanged();
}

void SettingFormModel::msgCameraSound_Click() {
    CameraSound_Change(Toggled(CameraSound));
    MarkChanged();
}

void SettingFormModel::msgSegmentInfo_Click() {
    SegmentInfo_Change(Toggled(SegmentInfo));
    MarkChanged();
}

void SettingFormModel::HtmlBrowse_Change(int16_t value) {
    HtmlBrowse = value;
    SetFontSizeEnabled(value == 1);
    MarkChanged();
}

void SettingFormModel::DecodeAtOnce_Change(int16_t value) {
    DecodeAtOnce = value;
    MarkChanged();
}

void SettingFormModel::CameraSound_Change(int16_t value) {
    CameraSound = value;
    MarkChanged();
}

void SettingFormModel::SegmentInfo_Change(int16_t value) {
    SegmentInfo = value;
    SetSegmentInfoFileEnabled(value == 1);
    MarkChanged();
}

void SettingFormModel::SegmentInfoFile_Change(const std::string& text) {
    SegmentInfoFile = text;
    MarkChanged();
}

void SettingFormModel::ChangeFontSize_Change(int16_t value) {
    ChangeFontSize = value;
    TextFontSize = std::to_string(8 - value);
    MarkChanged();
}

void SettingFormModel::msgSetColor_Click(int index, ColourDialogs& dialogs, QWidget* owner) {
    if (index < 0 || index > 2 || HtmlBrowse != 1) return;
    uint32_t colour = SetColorFill[index];
    if (dialogs.PickColor(owner, colour) != 1) return;
    SetColorFill[index] = colour & 0xFFFFFF;
    MarkChanged();
}

void SettingFormModel::msgSetColor_MouseMove(int index) {
    if (index < 0 || index > 2 || HtmlBrowse != 1) return;
    SetColorBorder = {kSwatchBorder, kSwatchBorder, kSwatchBorder};
    SetColorBorder[index] = InverseColour(SetColorFill[index]);
}

void SettingFormModel::Form_MouseMove() {
    SetColorBorder = {kSwatchBorder, kSwatchBorder, kSwatchBorder};
}

void SettingFormModel::FileSearch_Click(FileDialogs& dialogs, QWidget* owner) {
    std::string path;
    if (dialogs.PickSaveFile(owner, path, std::string(kSegmentInfoFileFilter),
                             kSegmentInfoFileFlags, kSegmentInfoFileTitle))
        SegmentInfoFile_Change(path);
}

void SettingFormModel::CmdButton_Click(int index, MessageBoxes& messages) {
    switch (index) {
    case OK:
        if (!CmdButtonEnabled[Apply]) {
            CloseRequested = true;
        } else if (Validate(messages)) {
            ApplySettingsFromDialog();
            CloseRequested = true;
        }
        break;
    case Cancel:
        CloseRequested = true;
        break;
    case Apply:
        if (Validate(messages)) {
            ApplySettingsFromDialog();
            CmdButtonEnabled[Apply] = false;
        }
        break;
    default:
        break;
    }
}

bool SettingFormModel::Validate(MessageBoxes& messages) {
    if (SegmentInfo == 1 && SegmentInfoFile.empty()) {
        messages.ShowMessage(kSegmentInfoFileMissing, kSettingMessageTitle, MessageIcon::Critical);
        FocusSegmentInfoFile = true;
        return false;
    }
    return true;
}

void SettingFormModel::ApplySettingsFromDialog() {
    settings_.HtmlBrowse = HtmlBrowse;
    settings_.BackColor = Components(SetColorFill[0]);
    settings_.TextColor = Components(SetColorFill[1]);
    settings_.LinkColor = Components(SetColorFill[2]);
    if (TextFontSize.size() == 1 && TextFontSize[0] >= '1' && TextFontSize[0] <= '7')
        settings_.FontSize = static_cast<int16_t>(TextFontSize[0] - '0');
    settings_.DecodeAtOnce = DecodeAtOnce;
    settings_.CameraSound = CameraSound;
    settings_.SegmentInfo = SegmentInfo;
    settings_.InfoFileName = SegmentInfoFile;
    SaveSettings(settings_, programFolder_);
}

void SettingFormModel::SetFontSizeEnabled(bool enabled) {
    TextFontSizeEnabled = ChangeFontSizeEnabled = enabled;
}

void SettingFormModel::SetSegmentInfoFileEnabled(bool enabled) {
    SegmentInfoFileEnabled = FileSearchEnabled = enabled;
}

} // namespace zorvik
