#include "MainFormModel.h"

#include "CommonModule.h"
#include "Utf8.h"
#include "WheelMouse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorvik {
namespace {

// Half-to-even rounding into 16 bits; a drag or a view beyond the 16-bit
// range stops at its edge instead of failing.
int16_t Round16(double v) {
    return int16_t(std::clamp(RoundHalfEven(v), -32768.0, 32767.0));
}

int32_t Round32(double v) {
    return int32_t(RoundHalfEven(v));
}

std::string Format0(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

} // namespace

MainFormModel::MainFormModel(float twipsPerPixelX, float twipsPerPixelY, int32_t frameWidth,
                             int32_t frameHeight, float devicePixelRatio)
    : TwipsPerPixelX(twipsPerPixelX), TwipsPerPixelY(twipsPerPixelY), frameWidth(frameWidth),
      frameHeight(frameHeight), DevicePixelRatio(devicePixelRatio) {}

void MainFormModel::ChangeTwipsPerPixel(float x, float y, float devicePixelRatio) {
    const double sx = x / double(devicePixelRatio) / TwipsPerDevicePixelX();
    const double sy = y / double(devicePixelRatio) / TwipsPerDevicePixelY();
    TwipsPerPixelX = x, TwipsPerPixelY = y, DevicePixelRatio = devicePixelRatio;
    if (sx == 1 && sy == 1) return;
    SelectPic.width = Round32(SelectPic.width * sx),
    SelectPic.height = Round32(SelectPic.height * sy);
    BasePicWidth = Round32(BasePicWidth * sx), BasePicHeight = Round32(BasePicHeight * sy);
    BaseWidth = Round32(BaseWidth * sx), BaseHeight = Round32(BaseHeight * sy);
    SelectBox.left = float(SelectBox.left * sx), SelectBox.width = float(SelectBox.width * sx);
    SelectBox.top = float(SelectBox.top * sy), SelectBox.height = float(SelectBox.height * sy);
    PressX = float(PressX * sx), PressY = float(PressY * sy);
}

void MainFormModel::Form_Load(int32_t screenWidth, int32_t screenHeight, int32_t& outerWidth,
                              int32_t& outerHeight) {
    mZoomRate.clear(), mXsize.clear(), mYsize.clear();
    SaveSelectionItemEnabled = ZoomOutItemEnabled = ZoomInItemEnabled = false;
    // Margins: the distance of each control's edge from the window's edge
    // in the design layout, outer size W0 x H0.
    const int32_t W0 = kDesignClientWidth + frameWidth, H0 = kDesignClientHeight + frameHeight;
    margins_ = {W0 - 9975, H0 - 6615, H0 - 7020, W0 - 9975, W0 - 9960, H0 - 6615,
                H0 - 7305, W0 - 7680, W0 - 7710, W0 - 8475, W0 - 9360};
    outerWidth = Round32(double(screenWidth) * 2 / 3);
    outerHeight = Round32(double(screenHeight) * 2 / 3);
}

void MainFormModel::Form_Resize(int32_t& W, int32_t& H, bool minimised) {
    if (minimised) return;
    W = std::max(W, kWidthMin);
    H = std::max(H, kHeightMin);
    LineX2 = W;
    ImageFrame.width = W - margins_.frameWidth;
    ImageFrame.height = H - margins_.frameHeight;
    HsBar.top = H - margins_.hsBarTop;
    HsBar.width = W - margins_.hsBarWidth;
    VsBar.left = W - margins_.vsBarLeft;
    VsBar.height = H - margins_.vsBarHeight;
    StatusCont.width = W;
    StatusCont.top = H - margins_.statusTop;
    GuidanceCont.width = W - margins_.guidanceWidth;
    mGuidanceRect.width = GuidanceCont.width - 300;
    ZoomRateCont.left = W - margins_.zoomRateLeft;
    XsizeCont.left = W - margins_.xsizeLeft;
    YsizeCont.left = W - margins_.ysizeLeft;
    for (auto [box, label] :
         {std::pair{&ZoomRateCont, &mZoomRateRect}, std::pair{&XsizeCont, &mXsizeRect},
          std::pair{&YsizeCont, &mYsizeRect}})
        label->left = box->left + Round32((box->width - label->width) / 2.0);
    RecomputeScrollRanges();
}

void MainFormModel::RecomputeScrollRanges() {
    auto maximum = [](int32_t view, int32_t frame) {
        return std::max<int16_t>(0, Round16(double(view - frame) / kScrollUnit));
    };
    HsBarState.max = maximum(SelectPic.width, ImageFrame.width);
    VsBarState.max = maximum(SelectPic.height, ImageFrame.height);
    // A bar keeps its value within its range, and the view follows.
    if (HsBarState.value > HsBarState.max) HsBar_Change(HsBarState.max);
    if (VsBarState.value > VsBarState.max) VsBar_Change(VsBarState.max);
}

void MainFormModel::HsBar_Change(int16_t value) {
    HsBarState.value = value;
    SelectPic.left = -kScrollUnit * int32_t(value);
}

void MainFormModel::VsBar_Change(int16_t value) {
    VsBarState.value = value;
    SelectPic.top = -kScrollUnit * int32_t(value);
}

void MainFormModel::SetPicture(int pxWidth, int pxHeight) {
    SelectPic.width = Round32(pxWidth * TwipsPerDevicePixelX());
    SelectPic.height = Round32(pxHeight * TwipsPerDevicePixelY());
}

void MainFormModel::ShowNewImage() {
    RecomputeScrollRanges();
    HsBar_Change(0);
    VsBar_Change(0);
    BaseWidth = SelectPic.width;
    BaseHeight = SelectPic.height;
    MOUSE_MODE = BoxMode;
    ModeSelect_Click(0);
    ZoomFactor = 1;
    BasePicWidth = SelectPic.width;
    BasePicHeight = SelectPic.height;
    SelectBox.visible = false;
    DecodeEnabled = SaveSelectionItemEnabled = false;
    SetGuidance(kGuidanceSelect, 5);
    mZoomRate = kZoomActualSize;
    ZoomOutEnabled = ZoomOutItemEnabled = false;
    ZoomInEnabled = ZoomInItemEnabled = true;
    mXsize.clear(), mYsize.clear();
}

void MainFormModel::ClearImage() {
    GuidanceTimerEnabled = false;
    SelectPic.width = SelectPic.height = 0;
    BasePicWidth = BasePicHeight = 0;
    ZoomFactor = 1;
    mZoomRate.clear(), mXsize.clear(), mYsize.clear();
    ZoomOutEnabled = ZoomInEnabled = ZoomOutItemEnabled = ZoomInItemEnabled = false;
    SelectBox.visible = false;
    DecodeEnabled = SaveSelectionItemEnabled = false;
    mGuidance = ShownText ? ShownText(kGuidanceCapture) : kGuidanceCapture;
}

void MainFormModel::ChangeZoom(int16_t step) {
    const int32_t oldW = SelectPic.width, oldH = SelectPic.height;
    ZoomFactor = int16_t(ZoomFactor + step);
    if (ZoomFactor < 2) {
        SelectPic.width = BasePicWidth;
        SelectPic.height = BasePicHeight;
    } else {
        SelectPic.width = BasePicWidth + (ZoomFactor - 1) * BaseWidth;
        SelectPic.height = BasePicHeight + (ZoomFactor - 1) * BaseHeight;
    }
    // The view keeps its relative position: value / max is carried over.
    const ScrollBarState oldH_ = HsBarState, oldV = VsBarState;
    RecomputeScrollRanges();
    if (oldH_.max > 0) HsBar_Change(Round16(double(oldH_.value) / oldH_.max * HsBarState.max));
    if (oldV.max > 0) VsBar_Change(Round16(double(oldV.value) / oldV.max * VsBarState.max));
    SetZoomControls();
    if (oldW > 0 && oldH > 0) {
        const float sx = float(SelectPic.width) / float(oldW);
        const float sy = float(SelectPic.height) / float(oldH);
        SelectBox.left *= sx, SelectBox.width *= sx;
        SelectBox.top *= sy, SelectBox.height *= sy;
    }
}

void MainFormModel::SetZoomControls() {
    if (ZoomFactor <= 1) {
        ZoomOutEnabled = ZoomOutItemEnabled = false;
        mZoomRate = kZoomActualSize;
        return;
    }
    if (ZoomFactor >= 3) {
        ZoomInEnabled = ZoomInItemEnabled = false;
    } else {
        ZoomOutEnabled = ZoomOutItemEnabled = ZoomInEnabled = ZoomInItemEnabled = true;
    }
    mZoomRate = std::to_string(ZoomFactor) + "倍";
}

void MainFormModel::SetGuidance(const std::string& text, int16_t waitSec) {
    mGuidance = ShownText ? ShownText(text) : text;
    GuidanceCount = waitSec;
    GuidanceTimerEnabled = true;
}

void MainFormModel::GuidanceTimer_Timer() {
    // A tick during a wipe waits: the wipe runs inside the tick that began it.
    if (!GuidanceTimerEnabled || GuidanceWiping) return;
    if (--GuidanceCount > 0) return;
    GuidanceWiping = true;
}

void MainFormModel::GuidanceWipe_Step() {
    if (!GuidanceWiping) return;
    if (!mGuidance.empty()) {
        const Utf8Character first = ReadUtf8Character(mGuidance);
        mGuidance.erase(0, first.length ? first.length : BadUtf8Length(mGuidance));
        return;
    }
    mGuidanceBlack = true;
    GuidanceWiping = false;
    GuidanceTimerEnabled = false;
}

void MainFormModel::ModeSelect_Click(int index) {
    if ((index == 0 && MOUSE_MODE == HandMode) || (index == 1 && MOUSE_MODE == BoxMode)) return;
    if (index == 1) {
        HandFacePressed = false, BoxFacePressed = true;
        CrossHairPointer = true;
        MOUSE_MODE = BoxMode;
        SetGuidance(kGuidanceToHand, 5);
    } else {
        HandFacePressed = true, BoxFacePressed = false;
        CrossHairPointer = false;
        MOUSE_MODE = HandMode;
        SetGuidance(kGuidanceToBox, 5);
    }
}

MainFormModel::Pointer MainFormModel::ViewPointer() const {
    if (CrossHairPointer) return Pointer::CrossHair;
    return GrippingIcon ? Pointer::GrippingHand : Pointer::OpenHand;
}

void MainFormModel::ShowModeHint() {
    SetGuidance(MOUSE_MODE == HandMode ? kGuidanceToBox : kGuidanceToHand, 5);
}

void MainFormModel::SelectPic_DblClick() {
    // A press still waiting for its deferred handling is dropped.
    ClickTimerEnabled = false;
    ModeSelect_Click(MOUSE_MODE == HandMode ? 1 : 0);
    ShowModeHint();
}

void MainFormModel::SelectPic_MouseDown(int button, int shift, float x, float y) {
    PressButton = button, PressShift = shift;
    PressX = x, PressY = y;
    ClickTimerEnabled = true;
}

void MainFormModel::ClickTimer_Timer(MainFormHost& host) {
    if (!ClickTimerEnabled) return;
    ClickTimerEnabled = false;
    HandlePress(PressButton, PressShift, PressX, PressY, host);
}

void MainFormModel::HandlePress(int button, int, float, float, MainFormHost& host) {
    if (button == 1)
        GrippingIcon = true;
    else
        host.ShowRightClickMenu();
}

void MainFormModel::SelectPic_MouseMove(int button, int, float x, float y) {
    if (button != 1) return;
    if (MOUSE_MODE == BoxMode) {
        DragBox(PressX, PressY, x, y);
        return;
    }
    const int16_t dx = Round16(double(x) - PressX), dy = Round16(double(y) - PressY);
    // Hand mode: the image follows the pointer, measured from the press.
    auto follow = [](const ScrollBarState& bar, int16_t d, int32_t viewSize) -> int {
        if (viewSize <= 0) return -1;
        return Round16(bar.value - double(d) / viewSize * bar.max);
    };
    const int h = follow(HsBarState, dx, SelectPic.width);
    if (h >= 0 && h <= HsBarState.max) HsBar_Change(int16_t(h));
    const int v = follow(VsBarState, dy, SelectPic.height);
    if (v >= 0 && v <= VsBarState.max) VsBar_Change(int16_t(v));
}

void MainFormModel::DragBox(float fromX, float fromY, float x, float y) {
    const int16_t dx = Round16(double(x) - fromX), dy = Round16(double(y) - fromY);
    mGuidance.clear();
    SelectBox.left = dx < 1 ? fromX + float(dx) : fromX;
    SelectBox.top = dy < 1 ? fromY + float(dy) : fromY;
    SelectBox.width = float(std::abs(dx));
    SelectBox.height = float(std::abs(dy));
    SelectBox.visible = true;
    mXsize = "X : " + Format0(std::abs(dx) / double(ZoomFactor) / TwipsPerDevicePixelX());
    mYsize = "Y : " + Format0(std::abs(dy) / double(ZoomFactor) / TwipsPerDevicePixelY());
    const bool valid = MoreThanOnePixel(SelectBox.width, TwipsPerPixelX) &&
                       MoreThanOnePixel(SelectBox.height, TwipsPerPixelY);
    DecodeEnabled = SaveSelectionItemEnabled = valid;
    SelectionChanged = true;
}

void MainFormModel::SelectPictureRectangle(int pxLeft, int pxTop, int pxWidth, int pxHeight,
                                           MainFormHost& host) {
    // The press that picked is used up: no grip, no deferred press.
    ClickTimerEnabled = false;
    GrippingIcon = false;
    const double zoomX = double(ZoomFactor) * TwipsPerDevicePixelX();
    const double zoomY = double(ZoomFactor) * TwipsPerDevicePixelY();
    const float x0 = float(pxLeft * zoomX), y0 = float(pxTop * zoomY);
    DragBox(x0, y0, float((pxLeft + pxWidth) * zoomX), float((pxTop + pxHeight) * zoomY));
    // The release of such a drag with decode-at-once: the user asked for it.
    if (DecodeEnabled)
        Decode_Click(host);
    else
        ShowModeHint();
}

void MainFormModel::SelectPic_MouseUp(int, int, float, float, int16_t decodeAtOnce,
                                      MainFormHost& host) {
    GrippingIcon = false;
    if (DecodeEnabled) {
        if (decodeAtOnce != 1)
            SetGuidance(kGuidanceRightClick, 5);
        else if (SelectionChanged)
            Decode_Click(host);
    } else if (mGuidance.empty()) {
        ShowModeHint();
    }
}

TwipRect MainFormModel::SelectionAtActualSize() const {
    const float zoom = float(ZoomFactor);
    return {Round32(SelectBox.left / zoom), Round32(SelectBox.top / zoom),
            Round32(SelectBox.width / zoom), Round32(SelectBox.height / zoom)};
}

void MainFormModel::Decode_Click(MainFormHost& host) {
    mGuidance.clear();
    host.DecodeSelection(SelectionAtActualSize());
    SelectionChanged = false;
}

void MainFormModel::m_CWheel_MouseWheel(int16_t vector) {
    VsBar_Change(WheelScrollValue(VsBarState.value, vector, 0, VsBarState.max));
}

void MainFormModel::GetClipboard_Click(bool read, int pxWidth, int pxHeight, int16_t decodeAtOnce,
                                       MainFormHost& host) {
    SelectPic.width = 0;
    if (!read) return;
    SetPicture(pxWidth, pxHeight);
    if (!ShowPictureOrClear()) return;
    if (WholePixels(SelectPic.width, TwipsPerPixelX) > 256 ||
        WholePixels(SelectPic.height, TwipsPerPixelY) > 256)
        return;
    SelectWholePicture();
    if (decodeAtOnce == 1)
        Decode_Click(host);
    else
        SetGuidance(kGuidanceRightClick, 5);
}

void MainFormModel::CaptureArrived(bool read, int pxWidth, int pxHeight) {
    if (read)
        SetPicture(pxWidth, pxHeight);
    else
        SelectPic.width = 0;
    ShowPictureOrClear();
}

bool MainFormModel::PictureOpened(int pxWidth, int pxHeight) {
    if (pxWidth <= 5 || pxHeight <= 5) return false;
    CaptureArrived(true, pxWidth, pxHeight);
    return true;
}

bool MainFormModel::ShowPictureOrClear() {
    if (FivePixelsOrLess(SelectPic.width, TwipsPerPixelX) ||
        FivePixelsOrLess(SelectPic.height, TwipsPerPixelY)) {
        ClearImage();
        return false;
    }
    ShowNewImage();
    return true;
}

void MainFormModel::SelectWholePicture() {
    SelectBox = {0, 0, float(SelectPic.width), float(SelectPic.height), true};
    mXsize = "X : " + std::to_string(WholePixels(SelectPic.width, TwipsPerPixelX));
    mYsize = "Y : " + std::to_string(WholePixels(SelectPic.height, TwipsPerPixelY));
    DecodeEnabled = true;
}

int32_t MainFormModel::DevicePixels(double twips, float twipsPerPixel) const {
    return Round32(twips * DevicePixelRatio / twipsPerPixel);
}

bool MainFormModel::FivePixelsOrLess(int32_t twips, float twipsPerPixel) const {
    if (DevicePixelRatio == 1) return float(twips) / twipsPerPixel <= 5;
    return DevicePixels(twips, twipsPerPixel) <= 5;
}

int32_t MainFormModel::WholePixels(int32_t twips, float twipsPerPixel) const {
    if (DevicePixelRatio == 1) return twips / Round32(twipsPerPixel);
    return DevicePixels(twips, twipsPerPixel);
}

bool MainFormModel::MoreThanOnePixel(float twips, float twipsPerPixel) const {
    if (DevicePixelRatio == 1) return twips > twipsPerPixel;
    return DevicePixels(twips, twipsPerPixel) > 1;
}

bool MainFormModel::RightClickItemEnabled(int index) const {
    switch (index) {
    case 0:
    case 5:
        return DecodeEnabled;
    case 2:
        return ZoomFactor > 1;
    case 3:
        return ZoomFactor < 3;
    default:
        return true;
    }
}

} // namespace zorvik
