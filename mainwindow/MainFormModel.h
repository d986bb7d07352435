// The main window's state and rules, without a display: layout, scrolling,
// zoom, the guidance line, the pointer modes and the selection. Geometry is
// in twips (1/1440 inch); TwipsPerPixelX/Y turn it into screen pixels, the
// logical pixels the window is laid out in. A picture at actual size shows
// one picture pixel on each device pixel, DevicePixelRatio of them to a
// logical pixel: what counts pixels of the picture (the view's size, the size
// boxes, a selection's least size, the 1:1 cut) counts device pixels.
// The widget (MainForm) forwards its events to the handlers named here and
// then renders every control from this state.
#pragma once

#include "GuidanceTexts.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zorvik {

inline constexpr const char* kMainCaption = "ミルカ";
inline constexpr const char* kZoomActualSize = "等倍";

// Left, top, width, height in twips.
struct TwipRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

// The selection rectangle is held as the window system holds a shape:
// single-precision twips in view coordinates.
struct SelectionShape {
    float left = 0, top = 0, width = 0, height = 0;
    bool visible = false;
};

struct ScrollBarState {
    int16_t value = 0, max = 0; // minimum 0
};

// What a handler needs from outside the rules.
class MainFormHost {
  public:
    virtual ~MainFormHost() = default;
    // Cut the 1:1 rectangle (twips of the image at actual size) out of the
    // picture and decode it in the result window.
    virtual void DecodeSelection(const TwipRect& rect) = 0;
    // Show the right-click menu at the pointer; its items are enabled as
    // RightClickItemEnabled says when it opens.
    virtual void ShowRightClickMenu() = 0;
};

class MainFormModel {
  public:
    enum MouseMode : int16_t { NoImageYet = 0, HandMode = 1, BoxMode = 2 };
    enum class Pointer { OpenHand, GrippingHand, CrossHair };

    // The design client area and the controls' design geometry.
    static constexpr int32_t kDesignClientWidth = 10230, kDesignClientHeight = 7635;
    static constexpr int32_t kWidthMin = 4755, kHeightMin = 2835; // outer size
    static constexpr int kScrollUnit = 30;                        // twips per scroll step

    // frameWidth/Height: what the window adds around its client area (title,
    // borders, menu bar), in twips.
    MainFormModel(float twipsPerPixelX, float twipsPerPixelY, int32_t frameWidth,
                  int32_t frameHeight, float devicePixelRatio = 1);

    // The window is on a screen of another scale now: what is held in twips
    // because it is pixels of the picture keeps its pixels. The caller lays
    // the window out again (Form_Resize) with its size in the new twips.
    void ChangeTwipsPerPixel(float x, float y, float devicePixelRatio);

    // The twips of one device pixel: of one picture pixel at actual size.
    double TwipsPerDevicePixelX() const { return TwipsPerPixelX / double(DevicePixelRatio); }
    double TwipsPerDevicePixelY() const { return TwipsPerPixelY / double(DevicePixelRatio); }

    // Start-up: the margins from the design layout, the window at 2/3 of the
    // screen. Returns the outer size to give the window.
    void Form_Load(int32_t screenWidth, int32_t screenHeight, int32_t& outerWidth,
                   int32_t& outerHeight);

    // Lays the controls out for the outer size W x H. A size below the
    // minimum is raised to it: W and H are updated, the window must follow.
    // Nothing happens while minimised.
    void Form_Resize(int32_t& W, int32_t& H, bool minimised);

    // Scrolling: the view moves inside its frame.
    void HsBar_Change(int16_t value);
    void VsBar_Change(int16_t value);

    // A new picture of pxWidth x pxHeight pixels has been put into the view.
    void SetPicture(int pxWidth, int pxHeight);
    void ShowNewImage();
    void ClearImage();
    // Step +1 or -1; callers keep the factor within 1..3.
    void ChangeZoom(int16_t step);

    // The guidance line: the text stands for waitSec ticks of one second,
    // then is wiped from the left one character a step.
    void SetGuidance(const std::string& text, int16_t waitSec);
    // The guidance texts as the window's language shows them (as written
    // while unset); the wipe then takes away the text shown.
    std::function<std::string(const std::string&)> ShownText;
    void GuidanceTimer_Timer();
    // One 50 ms step of the wipe; at its end the timer stops.
    void GuidanceWipe_Step();

    // Pointer modes and the mouse on the view (coordinates in view twips,
    // button 1 left, 2 right, 4 middle; in a move, the buttons held).
    void ModeSelect_Click(int index);
    void SelectPic_DblClick();
    void SelectPic_MouseDown(int button, int shift, float x, float y);
    void ClickTimer_Timer(MainFormHost& host);
    void SelectPic_MouseMove(int button, int shift, float x, float y);
    void SelectPic_MouseUp(int button, int shift, float x, float y, int16_t decodeAtOnce,
                           MainFormHost& host);
    void Decode_Click(MainFormHost& host);
    // A found symbol picked with a click or Enter: the rectangle of the
    // picture (pixels at actual size) becomes the selection exactly as a box
    // drag to it would leave it, in either pointer mode, and is decoded at
    // once when it is a valid selection.
    void SelectPictureRectangle(int pxLeft, int pxTop, int pxWidth, int pxHeight,
                                MainFormHost& host);
    // The 1:1 rectangle a decode or a save takes.
    TwipRect SelectionAtActualSize() const;

    // One notch of the wheel: +1 forward (towards the top), -1 backward.
    void m_CWheel_MouseWheel(int16_t vector);

    // A paste: read tells whether the clipboard gave a picture, of
    // pxWidth x pxHeight pixels, now in the view. A picture of 5 pixels or
    // less either way is no image; one of up to 256 x 256 is selected whole
    // and, with decodeAtOnce 1, decoded at once.
    void GetClipboard_Click(bool read, int pxWidth, int pxHeight, int16_t decodeAtOnce,
                            MainFormHost& host);
    // The end of a screen capture: the picture read back from the clipboard
    // (read false when that failed) is an image unless 5 pixels or less
    // either way. A capture never selects or decodes by itself.
    void CaptureArrived(bool read, int pxWidth, int pxHeight);
    // A picture opened from a file or dropped on the window, shown as a
    // capture is: never selected or decoded by itself, whatever its size. One
    // of 5 pixels or less either way is refused (false) with the view as it
    // was, since nothing the user had should go for a picture that is none.
    bool PictureOpened(int pxWidth, int pxHeight);

    // Right-click menu items 0, 2, 3, 5 as they are enabled when it opens.
    bool RightClickItemEnabled(int index) const;

    // --- State the widget renders ---
    int16_t MOUSE_MODE = NoImageYet;
    int16_t ZoomFactor = 1;
    int32_t BaseWidth = 0, BaseHeight = 0;
    int PressButton = 0, PressShift = 0;
    float PressX = 0, PressY = 0;
    bool SelectionChanged = false;

    float TwipsPerPixelX, TwipsPerPixelY;
    int32_t frameWidth, frameHeight;
    float DevicePixelRatio; // device pixels per logical pixel

    TwipRect ImageFrame{0, 420, 9975, 6615};
    TwipRect SelectPic; // inside ImageFrame; left/top move when scrolled
    int32_t BasePicWidth = 0, BasePicHeight = 0;
    SelectionShape SelectBox;
    TwipRect HsBar{0, 7020, 9975, 255};
    TwipRect VsBar{9960, 420, 255, 6615};
    ScrollBarState HsBarState, VsBarState;
    TwipRect StatusCont{0, 7305, 10455, 330};
    TwipRect GuidanceCont{0, 0, 7680, 315};
    TwipRect mGuidanceRect{105, 75, 7575, 180};
    TwipRect ZoomRateCont{7710, 0, 735, 315}, mZoomRateRect{7830, 75, 510, 180};
    TwipRect XsizeCont{8475, 0, 855, 315}, mXsizeRect{8535, 75, 690, 180};
    TwipRect YsizeCont{9360, 0, 855, 315}, mYsizeRect{9420, 75, 690, 180};
    int32_t LineX2 = 10680; // right end of the two separator lines

    std::string mGuidance = kGuidanceCapture;
    bool mGuidanceBlack = true;
    std::string mZoomRate, mXsize, mYsize;

    bool DecodeEnabled = false;
    bool ZoomInEnabled = false, ZoomOutEnabled = false;
    bool SaveSelectionItemEnabled = false; // menu bar "選択範囲を保存"
    bool ZoomOutItemEnabled = false;       // menu bar "表示縮小"
    bool ZoomInItemEnabled = false;        // menu bar "表示拡大"

    bool GuidanceTimerEnabled = false;
    int16_t GuidanceCount = 0;
    bool GuidanceWiping = false;
    bool ClickTimerEnabled = false;

    // The view's pointer: the cross-hair in box mode, else its custom icon.
    Pointer ViewPointer() const;
    bool CrossHairPointer = false;
    bool GrippingIcon = false;
    // Which of the two mode buttons looks pressed (hand faces at start-up).
    bool HandFacePressed = true, BoxFacePressed = false;

  private:
    void RecomputeScrollRanges();
    void SetZoomControls();
    void HandlePress(int button, int shift, float x, float y, MainFormHost& host);
    // The box from (fromX, fromY) to (x, y), view twips, as a drag shows it.
    void DragBox(float fromX, float fromY, float x, float y);
    void ShowModeHint();
    void SelectWholePicture();
    // The rules that count pixels of a length of the view (twipsPerPixel:
    // TwipsPerPixelX or Y). Where a device pixel is a logical one they use
    // the documented arithmetic on twips. Otherwise a device pixel need not
    // be whole twips (7.5 at a ratio of 2), so a length of N pixels is held
    // as the nearest whole twips, a little more or less than N, and they
    // count the length in whole device pixels instead.
    int32_t DevicePixels(double twips, float twipsPerPixel) const;
    // At most 5 pixels: a picture too small to be an image.
    bool FivePixelsOrLess(int32_t twips, float twipsPerPixel) const;
    // The whole pixels of a picture at actual size.
    int32_t WholePixels(int32_t twips, float twipsPerPixel) const;
    // A box side of more than one pixel at the displayed zoom.
    bool MoreThanOnePixel(float twips, float twipsPerPixel) const;
    // ShowNewImage for a picture in the view, ClearImage for one of 5 pixels
    // or less either way; true for an image.
    bool ShowPictureOrClear();

    struct Margins {
        int32_t frameWidth, frameHeight, hsBarTop, hsBarWidth, vsBarLeft, vsBarHeight, statusTop,
            guidanceWidth, zoomRateLeft, xsizeLeft, ysizeLeft;
    } margins_{};
};

} // namespace zorvik
