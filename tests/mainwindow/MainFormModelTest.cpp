// The main window's rules without a display: layout, scrolling, zoom, the
// guidance line, the pointer modes, the selection and the paste.
#include "MainFormModel.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace zorvik;

namespace {

// What the window adds around its client area; odd values, so that a rule
// taken from the client area instead of the outer size shows.
constexpr int32_t kFrameW = 240, kFrameH = 1035;
constexpr int32_t kScreenW = 19200, kScreenH = 10800;

// Records what the rules ask of the window.
class HostRecorder : public MainFormHost {
  public:
    std::vector<TwipRect> decodes;
    int menus = 0;
    void DecodeSelection(const TwipRect& rect) override { decodes.push_back(rect); }
    void ShowRightClickMenu() override { ++menus; }
};

std::array<int32_t, 4> Box(const TwipRect& r) {
    return {r.left, r.top, r.width, r.height};
}
std::array<float, 4> Box(const SelectionShape& s) {
    return {s.left, s.top, s.width, s.height};
}

// A parameter name from a sentence: words joined by underscores.
std::string SentenceName(const std::string& sentence) {
    std::string name;
    for (char c : sentence) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

// A started window laid out so that its image frame is framePxW x framePxH
// screen (logical) pixels, ratio device pixels to each.
MainFormModel StartedWindow(float tpp = 15, int framePxW = 600, int framePxH = 400,
                            float ratio = 1) {
    MainFormModel window(tpp, tpp, kFrameW, kFrameH, ratio);
    int32_t w = 0, h = 0;
    window.Form_Load(kScreenW, kScreenH, w, h);
    w = int32_t(framePxW * tpp) + 255 + kFrameW;
    h = int32_t(framePxH * tpp) + 1020 + kFrameH;
    window.Form_Resize(w, h, false);
    return window;
}

// A capture or paste that put a picture of pxW x pxH into the view.
void ShowPicture(MainFormModel& window, int pxW, int pxH) {
    window.SetPicture(pxW, pxH);
    window.ShowNewImage();
}

void Zoom(MainFormModel& window, const std::vector<int16_t>& steps) {
    for (int16_t step : steps) window.ChangeZoom(step);
}

// A left press whose deferred handling has run, and one move.
void LeftDrag(MainFormModel& window, MainFormHost& host, float x0, float y0, float x1, float y1) {
    window.SelectPic_MouseDown(1, 0, x0, y0);
    window.ClickTimer_Timer(host);
    window.SelectPic_MouseMove(1, 0, x1, y1);
}

// Everything a press, move or read failure could disturb, in one line.
std::string Snapshot(const MainFormModel& w) {
    std::ostringstream s;
    s << "mode " << w.MOUSE_MODE << " zoom " << w.ZoomFactor << " view " << w.SelectPic.left << ","
      << w.SelectPic.top << "," << w.SelectPic.width << "," << w.SelectPic.height << " bars "
      << w.HsBarState.value << "/" << w.HsBarState.max << "," << w.VsBarState.value << "/"
      << w.VsBarState.max << " box " << w.SelectBox.left << "," << w.SelectBox.top << ","
      << w.SelectBox.width << "," << w.SelectBox.height << (w.SelectBox.visible ? " shown" : "")
      << " sizes [" << w.mXsize << "][" << w.mYsize << "] guidance [" << w.mGuidance << "] decode "
      << w.DecodeEnabled << w.SaveSelectionItemEnabled << " changed " << w.SelectionChanged
      << " pointer " << int(w.ViewPointer());
    return s.str();
}

// --- Start-up and resize ---

TEST(MainFormStartUp, OpensAtTwoThirdsOfTheScreenWithEmptyStatusBoxes) {
    MainFormModel window(15, 15, kFrameW, kFrameH);
    int32_t w = 0, h = 0;
    window.Form_Load(20000, 11520, w, h);
    EXPECT_EQ(w, 13333);
    EXPECT_EQ(h, 7680);
    EXPECT_EQ(window.mZoomRate, "");
    EXPECT_EQ(window.mXsize, "");
    EXPECT_EQ(window.mYsize, "");
    EXPECT_FALSE(window.SaveSelectionItemEnabled || window.ZoomInItemEnabled ||
                 window.ZoomOutItemEnabled || window.ZoomInEnabled || window.ZoomOutEnabled ||
                 window.DecodeEnabled);
    EXPECT_EQ(window.MOUSE_MODE, MainFormModel::NoImageYet);
    EXPECT_EQ(window.mGuidance, kGuidanceCapture);
}

struct ResizeRow {
    const char* name;
    int32_t askedW, askedH;       // outer size the user dragged to
    int32_t expectedW, expectedH; // outer size the window keeps
};

class MainFormResize : public ::testing::TestWithParam<ResizeRow> {};

TEST_P(MainFormResize, LaysTheControlsOutFromTheClientArea) {
    const ResizeRow& row = GetParam();
    MainFormModel window(15, 15, kFrameW, kFrameH);
    int32_t w = 0, h = 0;
    window.Form_Load(kScreenW, kScreenH, w, h);
    w = row.askedW, h = row.askedH;
    window.Form_Resize(w, h, false);
    ASSERT_EQ(w, row.expectedW);
    ASSERT_EQ(h, row.expectedH);

    const int32_t cw = w - kFrameW, ch = h - kFrameH;
    EXPECT_EQ(window.LineX2, w);
    EXPECT_EQ(window.ImageFrame.width, cw - 255);
    EXPECT_EQ(window.ImageFrame.height, ch - 1020);
    EXPECT_EQ(window.HsBar.top, ch - 615);
    EXPECT_EQ(window.HsBar.width, cw - 255);
    EXPECT_EQ(window.VsBar.left, cw - 270);
    EXPECT_EQ(window.VsBar.height, ch - 1020);
    EXPECT_EQ(window.StatusCont.top, ch - 330);
    EXPECT_EQ(window.StatusCont.width, w);
    EXPECT_EQ(window.GuidanceCont.width, cw - 2550);
    EXPECT_EQ(window.mGuidanceRect.width, cw - 2850);
    EXPECT_EQ(window.ZoomRateCont.left, cw - 2520);
    EXPECT_EQ(window.XsizeCont.left, cw - 1755);
    EXPECT_EQ(window.YsizeCont.left, cw - 870);
    // Each label sits in the middle of its box, to within a twip of rounding.
    for (auto [box, label] : {std::pair{window.ZoomRateCont, window.mZoomRateRect},
                              std::pair{window.XsizeCont, window.mXsizeRect},
                              std::pair{window.YsizeCont, window.mYsizeRect}}) {
        const int32_t leftGap = label.left - box.left;
        const int32_t rightGap = box.left + box.width - (label.left + label.width);
        EXPECT_LE(std::abs(leftGap - rightGap), 1) << "box at " << box.left;
    }
    // What does not depend on the size stays at its design place.
    EXPECT_EQ(Box(window.ImageFrame)[1], 420);
    EXPECT_EQ(window.VsBar.top, 420);
    EXPECT_EQ(window.HsBar.left, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MainFormResize,
    ::testing::Values(ResizeRow{"the design size puts every control at its design place",
                                10230 + kFrameW, 7635 + kFrameH, 10230 + kFrameW, 7635 + kFrameH},
                      ResizeRow{"a larger window widens the frame and moves the boxes right",
                                15000 + kFrameW, 9000 + kFrameH, 15000 + kFrameW, 9000 + kFrameH},
                      ResizeRow{"a window narrower than the minimum snaps to 4755 twips", 3000,
                                7635 + kFrameH, 4755, 7635 + kFrameH},
                      ResizeRow{"a window lower than the minimum snaps to 2835 twips",
                                10230 + kFrameW, 1000, 10230 + kFrameW, 2835},
                      ResizeRow{"one twip below both minima snaps to both", 4754, 2834, 4755, 2835},
                      ResizeRow{"the minimum size itself is kept", 4755, 2835, 4755, 2835}),
    [](const auto& info) { return SentenceName(info.param.name); });

TEST(MainFormResize, AMinimisedWindowIsLeftAlone) {
    MainFormModel window = StartedWindow();
    const TwipRect frame = window.ImageFrame;
    int32_t w = 100, h = 100;
    window.Form_Resize(w, h, true);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(Box(window.ImageFrame), Box(frame));
}

// --- Scrolling and zoom ---

struct ScrollRow {
    const char* name;
    int pxW, pxH;
    std::vector<int16_t> zoomSteps;
    int16_t hMax, vMax;
};

class MainFormScrollRange : public ::testing::TestWithParam<ScrollRow> {};

TEST_P(MainFormScrollRange, IsTheOverhangInUnitsOfThirtyTwips) {
    const ScrollRow& row = GetParam();
    MainFormModel window = StartedWindow();
    ASSERT_EQ(window.ImageFrame.width, 9000);
    ASSERT_EQ(window.ImageFrame.height, 6000);
    ShowPicture(window, row.pxW, row.pxH);
    Zoom(window, row.zoomSteps);
    EXPECT_EQ(window.HsBarState.max, row.hMax);
    EXPECT_EQ(window.VsBarState.max, row.vMax);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, MainFormScrollRange,
    ::testing::Values(
        ScrollRow{"a 1000 x 600 picture in a 600 x 400 frame scrolls 200 by 100",
                  1000,
                  600,
                  {},
                  200,
                  100},
        ScrollRow{"at zoom 2 the same picture scrolls 700 by 400", 1000, 600, {1}, 700, 400},
        ScrollRow{"at zoom 3 it scrolls 1200 by 700", 1000, 600, {1, 1}, 1200, 700},
        ScrollRow{
            "back at zoom 1 it scrolls 200 by 100 again", 1000, 600, {1, 1, -1, -1}, 200, 100},
        ScrollRow{"a picture smaller than the frame does not scroll", 300, 200, {}, 0, 0},
        ScrollRow{
            "a small picture zoomed in and out again does not scroll", 300, 200, {1, 1, -1}, 0, 0},
        ScrollRow{"an overhang of 1.5 units rounds to 2 and one of 0.5 to 0", 603, 401, {}, 2, 0},
        ScrollRow{"an overhang of 2.5 units rounds to 2", 605, 403, {}, 2, 2}),
    [](const auto& info) { return SentenceName(info.param.name); });

TEST(MainFormScroll, TheBarsMoveTheViewThirtyTwipsAStep) {
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.HsBar_Change(7);
    window.VsBar_Change(3);
    EXPECT_EQ(window.SelectPic.left, -210);
    EXPECT_EQ(window.SelectPic.top, -90);
    window.HsBar_Change(200);
    EXPECT_EQ(window.SelectPic.left, -6000);
}

TEST(MainFormScroll, ZoomKeepsTheViewsRelativePosition) {
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.HsBar_Change(100);
    window.VsBar_Change(50);
    window.ChangeZoom(+1);
    EXPECT_EQ(window.HsBarState.value, 350);
    EXPECT_EQ(window.VsBarState.value, 200);
    EXPECT_EQ(window.SelectPic.left, -10500);
    EXPECT_EQ(window.SelectPic.top, -6000);
    window.ChangeZoom(-1);
    EXPECT_EQ(window.HsBarState.value, 100);
    EXPECT_EQ(window.VsBarState.value, 50);
    EXPECT_EQ(window.SelectPic.left, -3000);
}

TEST(MainFormScroll, AViewThatNoLongerOverhangsReturnsToTheFramesCorner) {
    MainFormModel window = StartedWindow();
    ShowPicture(window, 300, 200);
    Zoom(window, {1, 1});
    window.HsBar_Change(window.HsBarState.max);
    window.VsBar_Change(window.VsBarState.max);
    window.ChangeZoom(-1); // 600 x 400 pixels fill the frame exactly
    EXPECT_EQ(window.HsBarState.max, 0);
    EXPECT_EQ(window.HsBarState.value, 0);
    EXPECT_EQ(window.SelectPic.left, 0);
    EXPECT_EQ(window.SelectPic.top, 0);

    // A frame grown past the picture does the same.
    ShowPicture(window, 1000, 600);
    window.HsBar_Change(200);
    int32_t w = 20000 + kFrameW, h = 12000 + kFrameH;
    window.Form_Resize(w, h, false);
    EXPECT_EQ(window.HsBarState.max, 0);
    EXPECT_EQ(window.SelectPic.left, 0);
}

TEST(MainFormZoom, LabelAndButtonsFollowTheFactorUpAndDown) {
    struct Step {
        int16_t change;
        int16_t factor;
        const char* label;
        bool zoomIn, zoomOut;
    };
    const Step steps[] = {{0, 1, "等倍", true, false},
                          {+1, 2, "2倍", true, true},
                          {+1, 3, "3倍", false, true},
                          {-1, 2, "2倍", true, true},
                          {-1, 1, "等倍", true, false}};
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    for (const Step& step : steps) {
        if (step.change != 0) window.ChangeZoom(step.change);
        SCOPED_TRACE("zoom " + std::to_string(step.factor));
        EXPECT_EQ(window.ZoomFactor, step.factor);
        EXPECT_EQ(window.mZoomRate, step.label);
        EXPECT_EQ(window.ZoomInEnabled, step.zoomIn);
        EXPECT_EQ(window.ZoomInItemEnabled, step.zoomIn);
        EXPECT_EQ(window.RightClickItemEnabled(3), step.zoomIn);
        EXPECT_EQ(window.ZoomOutEnabled, step.zoomOut);
        EXPECT_EQ(window.ZoomOutItemEnabled, step.zoomOut);
        EXPECT_EQ(window.RightClickItemEnabled(2), step.zoomOut);
    }
}

TEST(MainFormZoom, TheSelectionScalesWithTheView) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 300, 150, 900, 600);
    ASSERT_EQ(Box(window.SelectBox), (std::array<float, 4>{300, 150, 600, 450}));
    window.ChangeZoom(+1);
    EXPECT_EQ(Box(window.SelectBox), (std::array<float, 4>{600, 300, 1200, 900}));
    EXPECT_TRUE(window.SelectBox.visible);
    window.ChangeZoom(+1);
    EXPECT_EQ(Box(window.SelectBox), (std::array<float, 4>{900, 450, 1800, 1350}));
    Zoom(window, {-1, -1});
    EXPECT_EQ(Box(window.SelectBox), (std::array<float, 4>{300, 150, 600, 450}));
    EXPECT_TRUE(window.SelectBox.visible);
}

// --- Box drags ---

struct DragRow {
    const char* name;
    int16_t zoom;
    float x1, y1;                   // the press is at (1500, 1500)
    float left, top, width, height; // the rectangle drawn
    const char* xSize;
    const char* ySize;
};

class MainFormBoxDrag : public ::testing::TestWithParam<DragRow> {};

TEST_P(MainFormBoxDrag, DrawsTheRectangleAndMeasuresItAtActualSize) {
    const DragRow& row = GetParam();
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    for (int16_t z = 1; z < row.zoom; ++z) window.ChangeZoom(+1);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, row.x1, row.y1);
    EXPECT_EQ(Box(window.SelectBox), (std::array{row.left, row.top, row.width, row.height}));
    EXPECT_TRUE(window.SelectBox.visible);
    EXPECT_EQ(window.mXsize, row.xSize);
    EXPECT_EQ(window.mYsize, row.ySize);
    EXPECT_TRUE(window.DecodeEnabled);
    EXPECT_TRUE(window.SaveSelectionItemEnabled);
    EXPECT_TRUE(window.SelectionChanged);
    EXPECT_EQ(window.mGuidance, "");
    EXPECT_TRUE(host.decodes.empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Directions, MainFormBoxDrag,
    ::testing::Values(
        DragRow{"a drag down and right spans from the press point",
                1, 3000, 2250, 1500, 1500, 1500, 750, "X : 100", "Y : 50"},
        DragRow{"a drag up and left spans from the pointer to the press point",
                1, 750, 1200, 750, 1200, 750, 300, "X : 50", "Y : 20"},
        DragRow{"a drag up and right",
                1, 3000, 1200, 1500, 1200, 1500, 300, "X : 100", "Y : 20"},
        DragRow{"a drag down and left",
                1, 750, 2250, 750, 1500, 750, 750, "X : 50", "Y : 50"},
        DragRow{"at zoom 2 the same drag measures half as many pixels",
                2, 3000, 2250, 1500, 1500, 1500, 750, "X : 50", "Y : 25"},
        DragRow{"sizes are rounded to whole pixels rather than cut off",
                1, 1600, 1640, 1500, 1500, 100, 140, "X : 7", "Y : 9"}),
    [](const auto& info) { return SentenceName(info.param.name); });
// clang-format on

struct ValidityRow {
    const char* name;
    float tpp;
    float dx, dy;
    bool valid;
};

class MainFormSelectionValidity : public ::testing::TestWithParam<ValidityRow> {};

TEST_P(MainFormSelectionValidity, NeedsMoreThanOnePixelEachWay) {
    const ValidityRow& row = GetParam();
    HostRecorder host;
    MainFormModel window = StartedWindow(row.tpp);
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 3000, 3000, 3000 + row.dx, 3000 + row.dy);
    EXPECT_EQ(window.DecodeEnabled, row.valid);
    EXPECT_EQ(window.SaveSelectionItemEnabled, row.valid);
    EXPECT_EQ(window.RightClickItemEnabled(0), row.valid);
    EXPECT_EQ(window.RightClickItemEnabled(5), row.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MainFormSelectionValidity,
    ::testing::Values(
        ValidityRow{"one pixel wide at 15 twips per pixel is too narrow", 15, 15, 300, false},
        ValidityRow{"one pixel high at 15 twips per pixel is too low", 15, 300, 15, false},
        ValidityRow{"one pixel wide to the left is too narrow", 15, -15, 300, false},
        ValidityRow{"16 by 16 twips at 15 twips per pixel is valid", 15, 16, 16, true},
        ValidityRow{"16 twips wide at 16 twips per pixel is too narrow", 16, 16, 300, false},
        ValidityRow{"17 by 17 twips at 16 twips per pixel is valid", 16, 17, 17, true},
        ValidityRow{"a drag back to the press point selects nothing", 15, 0, 0, false}),
    [](const auto& info) { return SentenceName(info.param.name); });

TEST(MainFormBoxDrag, ShrinkingTheDragBelowOnePixelDisablesTheDecodeAgain) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);
    ASSERT_TRUE(window.DecodeEnabled);
    window.SelectPic_MouseMove(1, 0, 1510, 2250);
    EXPECT_FALSE(window.DecodeEnabled);
    EXPECT_FALSE(window.SaveSelectionItemEnabled);
}

TEST(MainFormDecode, AtZoom3CutsTheRectangleAtActualSize) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    Zoom(window, {1, 1});
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 300, 600, 1200, 1800);
    ASSERT_EQ(Box(window.SelectBox), (std::array<float, 4>{300, 600, 900, 1200}));
    EXPECT_EQ(Box(window.SelectionAtActualSize()), (std::array<int32_t, 4>{100, 200, 300, 400}));
    window.Decode_Click(host);
    ASSERT_EQ(host.decodes.size(), 1u);
    EXPECT_EQ(Box(host.decodes[0]), (std::array<int32_t, 4>{100, 200, 300, 400}));
    EXPECT_FALSE(window.SelectionChanged);
}

TEST(MainFormScreen, OnAScreenOfAnotherScaleThePictureKeepsItsPixels) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    Zoom(window, {1});
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 300, 600, 1200, 1800); // 30 x 60 pixels at zoom 2
    window.ChangeTwipsPerPixel(7.5f, 7.5f, 1);    // a 192-DPI screen
    EXPECT_EQ(window.SelectPic.width, 2 * 1000 * 15 / 2);
    EXPECT_EQ(window.BasePicWidth, 1000 * 15 / 2);
    EXPECT_EQ(Box(window.SelectBox), (std::array<float, 4>{150, 300, 450, 600}));
    // The cut is the same pixels as before: 15 x 30 pixels at actual size.
    EXPECT_EQ(Box(window.SelectionAtActualSize()), (std::array<int32_t, 4>{75, 150, 225, 300}));
}

// --- Release ---

TEST(MainFormRelease, WithDecodeAtOnceDecodesOncePerNewSelection) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);
    window.SelectPic_MouseUp(1, 0, 3000, 2250, 1, host);
    ASSERT_EQ(host.decodes.size(), 1u);
    EXPECT_EQ(Box(host.decodes[0]), (std::array<int32_t, 4>{1500, 1500, 1500, 750}));
    EXPECT_EQ(window.mGuidance, "");
    EXPECT_FALSE(window.SelectionChanged);

    // A click without a drag keeps the selection and starts nothing.
    window.SelectPic_MouseDown(1, 0, 5000, 5000);
    window.ClickTimer_Timer(host);
    window.SelectPic_MouseUp(1, 0, 5000, 5000, 1, host);
    EXPECT_EQ(host.decodes.size(), 1u);

    // A new drag decodes again.
    LeftDrag(window, host, 600, 600, 1800, 1800);
    window.SelectPic_MouseUp(1, 0, 1800, 1800, 1, host);
    EXPECT_EQ(host.decodes.size(), 2u);
}

TEST(MainFormRelease, WithoutDecodeAtOncePointsToTheRightClickMenu) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);
    window.SelectPic_MouseUp(1, 0, 3000, 2250, 0, host);
    EXPECT_TRUE(host.decodes.empty());
    EXPECT_EQ(window.mGuidance, kGuidanceRightClick);
    EXPECT_EQ(window.GuidanceCount, 5);
    EXPECT_TRUE(window.GuidanceTimerEnabled);
}

struct ReleaseHintRow {
    const char* name;
    int modeButton;     // 0 hand, 1 box
    bool clearGuidance; // the guidance line is empty before the release
    const char* guidance;
};

class MainFormReleaseHint : public ::testing::TestWithParam<ReleaseHintRow> {};

TEST_P(MainFormReleaseHint, ShowsTheModeHintOnlyOnAnEmptyLine) {
    const ReleaseHintRow& row = GetParam();
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(row.modeButton);
    window.SetGuidance("older text", 3);
    if (row.clearGuidance) window.mGuidance.clear();
    window.SelectPic_MouseDown(1, 0, 1500, 1500);
    window.ClickTimer_Timer(host);
    window.SelectPic_MouseUp(1, 0, 1500, 1500, 1, host);
    EXPECT_EQ(window.mGuidance, row.guidance);
    EXPECT_TRUE(host.decodes.empty());
    EXPECT_EQ(window.ViewPointer(), row.modeButton == 0 ? MainFormModel::Pointer::OpenHand
                                                        : MainFormModel::Pointer::CrossHair);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MainFormReleaseHint,
    ::testing::Values(
        ReleaseHintRow{"hand mode with an empty line shows the box hint", 0, true, kGuidanceToBox},
        ReleaseHintRow{"box mode with an empty line shows the hand hint", 1, true, kGuidanceToHand},
        ReleaseHintRow{"a line with text keeps its text", 1, false, "older text"}),
    [](const auto& info) { return SentenceName(info.param.name); });

TEST(MainFormRelease, ATooSmallBoxDragEndsWithTheHandHint) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 1515, 1800); // empties the line
    window.SelectPic_MouseUp(1, 0, 1515, 1800, 1, host);
    EXPECT_EQ(window.mGuidance, kGuidanceToHand);
    EXPECT_TRUE(host.decodes.empty());
}

// --- Presses other than a left drag ---

TEST(MainFormPress, ARightPressMovesNothingAndOpensTheMenuAtTheTimerTick) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.HsBar_Change(40);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);
    window.SelectPic_MouseUp(1, 0, 3000, 2250, 1, host);
    ASSERT_EQ(host.decodes.size(), 1u);
    const std::string before = Snapshot(window);

    window.SelectPic_MouseDown(2, 0, 6000, 5000);
    EXPECT_EQ(Snapshot(window), before);
    EXPECT_EQ(host.menus, 0);
    for (int buttons : {2, 3}) {
        window.SelectPic_MouseMove(buttons, 0, 7000, 5500);
        EXPECT_EQ(Snapshot(window), before) << "buttons " << buttons;
    }
    window.ClickTimer_Timer(host);
    EXPECT_EQ(host.menus, 1);
    EXPECT_FALSE(window.ClickTimerEnabled);
    EXPECT_EQ(Snapshot(window), before);
    window.ClickTimer_Timer(host); // the timer has stopped
    EXPECT_EQ(host.menus, 1);

    // The menu's release starts no decode: the selection is not new.
    window.SelectPic_MouseUp(2, 0, 6000, 5000, 1, host);
    EXPECT_EQ(host.decodes.size(), 1u);
    EXPECT_EQ(Snapshot(window), before);
}

TEST(MainFormPress, ARightPressInHandModeNeitherGripsNorScrolls) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.HsBar_Change(100);
    window.VsBar_Change(50);
    const std::string before = Snapshot(window);
    window.SelectPic_MouseDown(2, 0, 3000, 3000);
    window.ClickTimer_Timer(host);
    EXPECT_EQ(host.menus, 1);
    for (int buttons : {2, 3}) window.SelectPic_MouseMove(buttons, 0, 1500, 1500);
    EXPECT_EQ(Snapshot(window), before);
    EXPECT_EQ(window.ViewPointer(), MainFormModel::Pointer::OpenHand);
}

TEST(MainFormPress, ADoubleClickBeforeTheTimerTickDropsThePress) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.SelectPic_MouseDown(2, 0, 3000, 3000);
    window.SelectPic_DblClick();
    window.ClickTimer_Timer(host);
    EXPECT_EQ(host.menus, 0);
    EXPECT_EQ(window.MOUSE_MODE, MainFormModel::BoxMode);

    window.ModeSelect_Click(0);
    window.SelectPic_MouseDown(1, 0, 3000, 3000);
    window.SelectPic_DblClick();
    window.ClickTimer_Timer(host);
    EXPECT_FALSE(window.GrippingIcon);
}

TEST(MainFormPress, AHandDragScrollsWithinTheBarsRange) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600); // view 15000 x 9000, maxima 200 and 100
    window.HsBar_Change(100);
    window.VsBar_Change(50);
    window.SelectPic_MouseDown(1, 0, 3000, 3000);
    EXPECT_EQ(window.ViewPointer(), MainFormModel::Pointer::OpenHand);
    window.ClickTimer_Timer(host);
    EXPECT_EQ(window.ViewPointer(), MainFormModel::Pointer::GrippingHand);

    // 1500 twips left: 1500 / 15000 of 200 steps.
    window.SelectPic_MouseMove(1, 0, 1500, 3000);
    EXPECT_EQ(window.HsBarState.value, 120);
    EXPECT_EQ(window.SelectPic.left, -3600);
    EXPECT_EQ(window.VsBarState.value, 50);
    // 1500 twips right and up: 100 - 20 across, 50 + 16.7 down.
    window.SelectPic_MouseMove(1, 0, 4500, 1500);
    EXPECT_EQ(window.HsBarState.value, 100);
    EXPECT_EQ(window.VsBarState.value, 67);
    // Landing exactly on the maximum is allowed...
    window.SelectPic_MouseMove(1, 0, 3000 - 7500, 3000);
    EXPECT_EQ(window.HsBarState.value, 200);
    // ...going past either end leaves the bar where it is.
    window.SelectPic_MouseMove(1, 0, 3000 - 7500, 3000);
    EXPECT_EQ(window.HsBarState.value, 200);
    window.SelectPic_MouseMove(1, 0, 3000 + 30000, 3000 - 30000);
    EXPECT_EQ(window.HsBarState.value, 200);
    EXPECT_EQ(window.VsBarState.value, 67);
    EXPECT_EQ(window.SelectPic.left, -6000);

    EXPECT_FALSE(window.SelectBox.visible);
    EXPECT_FALSE(window.SelectionChanged);
    EXPECT_EQ(window.mXsize, "");
    window.SelectPic_MouseUp(1, 0, 0, 0, 1, host);
    EXPECT_EQ(window.ViewPointer(), MainFormModel::Pointer::OpenHand);
    EXPECT_TRUE(host.decodes.empty());
}

struct MenuRow {
    const char* name;
    int16_t zoom;
    float dragW, dragH;        // 0: no drag
    std::array<bool, 6> items; // 1 and 4 are separators
};

class MainFormRightClickMenu : public ::testing::TestWithParam<MenuRow> {};

TEST_P(MainFormRightClickMenu, EnablesItsItemsFromTheWindow) {
    const MenuRow& row = GetParam();
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    for (int16_t z = 1; z < row.zoom; ++z) window.ChangeZoom(+1);
    window.ModeSelect_Click(1);
    if (row.dragW > 0) LeftDrag(window, host, 1500, 1500, 1500 + row.dragW, 1500 + row.dragH);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(window.RightClickItemEnabled(i), row.items[i]) << i;
}

constexpr bool T = true, F = false;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    States, MainFormRightClickMenu,
    ::testing::Values(
        MenuRow{"no selection at actual size leaves decode save and zoom out off",
                1, 0, 0, {F, T, F, T, T, F}},
        MenuRow{"a too small selection leaves decode and save off",
                1, 15, 300, {F, T, F, T, T, F}},
        MenuRow{"a valid selection at zoom 2 turns every item on",
                2, 600, 600, {T, T, T, T, T, T}},
        MenuRow{"at zoom 3 zoom in is off",
                3, 600, 600, {T, T, T, F, T, T}}),
    [](const auto& info) { return SentenceName(info.param.name); });
// clang-format on

// --- Pointer modes ---

enum class ModeEvent { HandButton, BoxButton, DoubleClick, NewImage };

struct ModeRow {
    const char* name;
    int16_t from;
    ModeEvent event;
    int16_t to;
    MainFormModel::Pointer pointer;
    const char* guidance; // nullptr: the line is left alone
};

class MainFormModes : public ::testing::TestWithParam<ModeRow> {};

TEST_P(MainFormModes, SwitchFacesPointerAndHint) {
    const ModeRow& row = GetParam();
    MainFormModel window = StartedWindow();
    if (row.from == MainFormModel::HandMode) window.ModeSelect_Click(0);
    if (row.from == MainFormModel::BoxMode) window.ModeSelect_Click(1);
    ASSERT_EQ(window.MOUSE_MODE, row.from);
    window.SetGuidance("older text", 3);
    switch (row.event) {
    case ModeEvent::HandButton:
        window.ModeSelect_Click(0);
        break;
    case ModeEvent::BoxButton:
        window.ModeSelect_Click(1);
        break;
    case ModeEvent::DoubleClick:
        window.SelectPic_DblClick();
        break;
    case ModeEvent::NewImage:
        ShowPicture(window, 1000, 600);
        break;
    }
    EXPECT_EQ(window.MOUSE_MODE, row.to);
    const bool hand = row.to == MainFormModel::HandMode;
    EXPECT_EQ(window.HandFacePressed, hand);
    EXPECT_EQ(window.BoxFacePressed, !hand);
    EXPECT_EQ(window.ViewPointer(), row.pointer);
    if (row.guidance) {
        EXPECT_EQ(window.mGuidance, row.guidance);
        EXPECT_EQ(window.GuidanceCount, 5);
        EXPECT_TRUE(window.GuidanceTimerEnabled);
    } else {
        EXPECT_EQ(window.mGuidance, "older text");
        EXPECT_EQ(window.GuidanceCount, 3);
    }
}

using P = MainFormModel::Pointer;
constexpr int16_t kNone = MainFormModel::NoImageYet, kHand = MainFormModel::HandMode,
                  kBox = MainFormModel::BoxMode;

INSTANTIATE_TEST_SUITE_P(
    StateMachine, MainFormModes,
    ::testing::Values(ModeRow{"before any image the hand button turns on hand mode", kNone,
                              ModeEvent::HandButton, kHand, P::OpenHand, kGuidanceToBox},
                      ModeRow{"before any image the box button turns on box mode", kNone,
                              ModeEvent::BoxButton, kBox, P::CrossHair, kGuidanceToHand},
                      ModeRow{"before any image a double click turns on hand mode", kNone,
                              ModeEvent::DoubleClick, kHand, P::OpenHand, kGuidanceToBox},
                      ModeRow{"hand mode and the box button switch to box mode", kHand,
                              ModeEvent::BoxButton, kBox, P::CrossHair, kGuidanceToHand},
                      ModeRow{"hand mode and a double click switch to box mode", kHand,
                              ModeEvent::DoubleClick, kBox, P::CrossHair, kGuidanceToHand},
                      ModeRow{"hand mode and the hand button change nothing", kHand,
                              ModeEvent::HandButton, kHand, P::OpenHand, nullptr},
                      ModeRow{"box mode and the hand button switch to hand mode", kBox,
                              ModeEvent::HandButton, kHand, P::OpenHand, kGuidanceToBox},
                      ModeRow{"box mode and a double click switch to hand mode", kBox,
                              ModeEvent::DoubleClick, kHand, P::OpenHand, kGuidanceToBox},
                      ModeRow{"box mode and the box button change nothing", kBox,
                              ModeEvent::BoxButton, kBox, P::CrossHair, nullptr},
                      ModeRow{"a first image starts in hand mode", kNone, ModeEvent::NewImage,
                              kHand, P::OpenHand, kGuidanceSelect},
                      ModeRow{"a new image in hand mode stays in hand mode", kHand,
                              ModeEvent::NewImage, kHand, P::OpenHand, kGuidanceSelect},
                      ModeRow{"a new image in box mode returns to hand mode", kBox,
                              ModeEvent::NewImage, kHand, P::OpenHand, kGuidanceSelect}),
    [](const auto& info) { return SentenceName(info.param.name); });

TEST(MainFormModes, ANewImageResetsZoomScrollAndSelection) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ChangeZoom(+1);
    window.HsBar_Change(300);
    window.VsBar_Change(100);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);
    ShowPicture(window, 800, 700);
    EXPECT_EQ(window.ZoomFactor, 1);
    EXPECT_EQ(window.mZoomRate, "等倍");
    EXPECT_EQ(window.HsBarState.value, 0);
    EXPECT_EQ(window.VsBarState.value, 0);
    EXPECT_EQ(window.SelectPic.left, 0);
    EXPECT_EQ(window.SelectPic.top, 0);
    EXPECT_EQ(window.HsBarState.max, 100);
    EXPECT_EQ(window.VsBarState.max, 150);
    EXPECT_FALSE(window.SelectBox.visible);
    EXPECT_FALSE(window.DecodeEnabled || window.SaveSelectionItemEnabled);
    EXPECT_EQ(window.mXsize, "");
    EXPECT_EQ(window.mYsize, "");
    // The 1:1 size is the new picture's: zooming doubles it.
    window.ChangeZoom(+1);
    EXPECT_EQ(window.SelectPic.width, 24000);
    EXPECT_EQ(window.SelectPic.height, 21000);
}

// --- Guidance line ---

TEST(MainFormGuidance, StandsForFourTicksAndTheFifthStartsTheWipe) {
    MainFormModel window = StartedWindow();
    window.SetGuidance(kGuidanceRightClick, 5);
    for (int tick = 1; tick <= 4; ++tick) {
        window.GuidanceTimer_Timer();
        window.GuidanceWipe_Step(); // no wipe is running yet
        EXPECT_EQ(window.mGuidance, kGuidanceRightClick) << "tick " << tick;
        EXPECT_FALSE(window.GuidanceWiping);
        EXPECT_TRUE(window.GuidanceTimerEnabled);
    }
    window.GuidanceTimer_Timer();
    EXPECT_TRUE(window.GuidanceWiping);
    EXPECT_EQ(window.mGuidance, kGuidanceRightClick);
}

TEST(MainFormGuidance, TheWipeTakesWholeCharactersFromTheLeft) {
    MainFormModel window = StartedWindow();
    window.SetGuidance(kGuidanceSelect, 1); // 16 characters
    window.GuidanceTimer_Timer();
    window.GuidanceWipe_Step();
    EXPECT_EQ(window.mGuidance, "Ｒコード部分を選択してください");
    window.GuidanceWipe_Step();
    EXPECT_EQ(window.mGuidance, "コード部分を選択してください");
    for (int step = 3; step <= 16; ++step) {
        window.GuidanceWipe_Step();
        EXPECT_TRUE(window.GuidanceTimerEnabled) << "step " << step;
    }
    EXPECT_EQ(window.mGuidance, "");
    window.GuidanceWipe_Step(); // the step after the last character
    EXPECT_FALSE(window.GuidanceTimerEnabled);
    EXPECT_FALSE(window.GuidanceWiping);
    EXPECT_TRUE(window.mGuidanceBlack);

    // Mixed widths, a four-byte character among them.
    window.SetGuidance("a\xF0\x9F\x98\x80ｂc", 1);
    window.GuidanceTimer_Timer();
    std::vector<std::string> seen;
    while (window.GuidanceTimerEnabled) {
        window.GuidanceWipe_Step();
        seen.push_back(window.mGuidance);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"\xF0\x9F\x98\x80ｂc", "ｂc", "c", "", ""}));
}

TEST(MainFormGuidance, ATextSetDuringTheWipeGoesInTheSameWipe) {
    MainFormModel window = StartedWindow();
    window.SetGuidance("abc", 1);
    window.GuidanceTimer_Timer();
    window.GuidanceWipe_Step();
    ASSERT_EQ(window.mGuidance, "bc");
    window.SetGuidance("ＱＲ", 5);
    window.GuidanceTimer_Timer(); // a tick during the wipe waits
    EXPECT_EQ(window.GuidanceCount, 5);
    window.GuidanceWipe_Step();
    EXPECT_EQ(window.mGuidance, "Ｒ");
    window.GuidanceWipe_Step();
    EXPECT_EQ(window.mGuidance, "");
    EXPECT_TRUE(window.GuidanceTimerEnabled);
    window.GuidanceWipe_Step();
    EXPECT_FALSE(window.GuidanceTimerEnabled);
    EXPECT_FALSE(window.GuidanceWiping);

    // The line is quiet afterwards, and a new text counts down afresh.
    window.GuidanceTimer_Timer();
    EXPECT_FALSE(window.GuidanceWiping);
    window.SetGuidance("next", 2);
    window.GuidanceTimer_Timer();
    EXPECT_FALSE(window.GuidanceWiping);
    window.GuidanceTimer_Timer();
    EXPECT_TRUE(window.GuidanceWiping);
}

// --- Wheel ---

struct WheelRow {
    const char* name;
    int16_t value, vector, expected;
};

class MainFormWheel : public ::testing::TestWithParam<WheelRow> {};

TEST_P(MainFormWheel, ScrollsTwentyStepsANotchWithinTheRange) {
    const WheelRow& row = GetParam();
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    ASSERT_EQ(window.VsBarState.max, 100);
    window.HsBar_Change(30);
    window.VsBar_Change(row.value);
    window.m_CWheel_MouseWheel(row.vector);
    EXPECT_EQ(window.VsBarState.value, row.expected);
    EXPECT_EQ(window.SelectPic.top, -30 * row.expected);
    EXPECT_EQ(window.HsBarState.value, 30);
}

INSTANTIATE_TEST_SUITE_P(Notches, MainFormWheel,
                         ::testing::Values(WheelRow{"forward from 10 stops at the top", 10, +1, 0},
                                           WheelRow{"backward from 90 stops at the bottom", 90, -1,
                                                    100},
                                           WheelRow{"backward from 50 goes to 70", 50, -1, 70},
                                           WheelRow{"forward from 50 goes to 30", 50, +1, 30}),
                         [](const auto& info) { return SentenceName(info.param.name); });

// --- Paste ---

struct PasteRow {
    const char* name;
    int pxW, pxH;
    int16_t decodeAtOnce;
    bool selected;
    const char* guidance;
};

class MainFormPaste : public ::testing::TestWithParam<PasteRow> {};

TEST_P(MainFormPaste, ShowsThePictureAndSelectsSmallOnesWhole) {
    const PasteRow& row = GetParam();
    HostRecorder host;
    // A window in use: another picture zoomed, scrolled and selected.
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ChangeZoom(+1);
    window.HsBar_Change(300);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);
    window.SelectPic_MouseUp(1, 0, 3000, 2250, 0, host);

    window.GetClipboard_Click(true, row.pxW, row.pxH, row.decodeAtOnce, host);
    const float w = float(row.pxW * 15), h = float(row.pxH * 15);
    EXPECT_EQ(window.SelectPic.width, int32_t(w));
    EXPECT_EQ(window.SelectPic.height, int32_t(h));
    EXPECT_EQ(window.ZoomFactor, 1);
    EXPECT_EQ(window.mZoomRate, "等倍");
    EXPECT_EQ(window.HsBarState.value, 0);
    EXPECT_EQ(window.SelectPic.left, 0);
    EXPECT_EQ(window.MOUSE_MODE, MainFormModel::HandMode);
    EXPECT_EQ(window.mGuidance, row.guidance);
    EXPECT_FALSE(window.SaveSelectionItemEnabled);
    if (row.selected) {
        EXPECT_TRUE(window.SelectBox.visible);
        EXPECT_EQ(Box(window.SelectBox), (std::array<float, 4>{0, 0, w, h}));
        EXPECT_EQ(window.mXsize, "X : " + std::to_string(row.pxW));
        EXPECT_EQ(window.mYsize, "Y : " + std::to_string(row.pxH));
        EXPECT_TRUE(window.DecodeEnabled);
        EXPECT_TRUE(window.RightClickItemEnabled(5));
    } else {
        EXPECT_FALSE(window.SelectBox.visible);
        EXPECT_EQ(window.mXsize, "");
        EXPECT_FALSE(window.DecodeEnabled);
        EXPECT_FALSE(window.RightClickItemEnabled(5));
    }
    if (row.selected && row.decodeAtOnce == 1) {
        ASSERT_EQ(host.decodes.size(), 1u);
        EXPECT_EQ(Box(host.decodes[0]), (std::array<int32_t, 4>{0, 0, int32_t(w), int32_t(h)}));
    } else {
        EXPECT_TRUE(host.decodes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, MainFormPaste,
    ::testing::Values(
        PasteRow{"a 200 x 150 picture is selected whole and decoded at once", 200, 150, 1, true,
                 ""},
        PasteRow{"without DecodeAtOnce it is selected and waits for the right click menu", 200, 150,
                 0, true, kGuidanceRightClick},
        PasteRow{"a 257 x 100 picture is only shown", 257, 100, 1, false, kGuidanceSelect},
        PasteRow{"a 100 x 257 picture is only shown", 100, 257, 1, false, kGuidanceSelect},
        PasteRow{"a 256 x 256 picture is still selected whole", 256, 256, 1, true, ""},
        PasteRow{"a 6 x 6 picture is the smallest image", 6, 6, 1, true, ""}),
    [](const auto& info) { return SentenceName(info.param.name); });

struct NoImageRow {
    const char* name;
    int pxW, pxH;
};

class MainFormPasteNoImage : public ::testing::TestWithParam<NoImageRow> {};

TEST_P(MainFormPasteNoImage, LeavesTheWindowWithoutAnImage) {
    const NoImageRow& row = GetParam();
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ChangeZoom(+1);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 1500, 1500, 3000, 2250);

    window.GetClipboard_Click(true, row.pxW, row.pxH, 1, host);
    EXPECT_EQ(window.SelectPic.width, 0);
    EXPECT_EQ(window.SelectPic.height, 0);
    EXPECT_EQ(window.BasePicWidth, 0);
    EXPECT_EQ(window.ZoomFactor, 1);
    EXPECT_EQ(window.mZoomRate, "");
    EXPECT_FALSE(window.ZoomInEnabled || window.ZoomOutEnabled || window.ZoomInItemEnabled ||
                 window.ZoomOutItemEnabled);
    EXPECT_FALSE(window.SelectBox.visible);
    EXPECT_FALSE(window.DecodeEnabled || window.SaveSelectionItemEnabled);
    EXPECT_EQ(window.mGuidance, kGuidanceCapture);
    EXPECT_FALSE(window.GuidanceTimerEnabled);
    EXPECT_TRUE(host.decodes.empty());
}

INSTANTIATE_TEST_SUITE_P(Pictures, MainFormPasteNoImage,
                         ::testing::Values(NoImageRow{"a 5 x 40 picture is too narrow", 5, 40},
                                           NoImageRow{"a 40 x 5 picture is too low", 40, 5},
                                           NoImageRow{"an empty picture is no image", 0, 0}),
                         [](const auto& info) { return SentenceName(info.param.name); });

TEST(MainFormPaste, AFailedReadOnlyCollapsesTheView) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    window.GetClipboard_Click(true, 200, 150, 0, host);
    const int32_t width = window.SelectPic.width;
    const std::string before = Snapshot(window);
    window.GetClipboard_Click(false, 300, 300, 1, host);
    EXPECT_EQ(window.SelectPic.width, 0);
    window.SelectPic.width = width;
    EXPECT_EQ(Snapshot(window), before);
    EXPECT_TRUE(host.decodes.empty());
}

// --- A found symbol picked with a click or Enter ---

struct PickRow {
    const char* name;
    float tpp;
    std::vector<int16_t> zoom;
    int left, top, width, height; // picture pixels
};
class MainFormPick : public ::testing::TestWithParam<PickRow> {};

TEST_P(MainFormPick, SelectsAndDecodesAsABoxDragToTheRectangleWould) {
    const PickRow& row = GetParam();
    HostRecorder dragHost, pickHost, handHost;
    std::vector<MainFormModel> windows;
    for (int i = 0; i < 3; ++i) {
        windows.push_back(StartedWindow(row.tpp));
        ShowPicture(windows.back(), 1200, 900);
        Zoom(windows.back(), row.zoom);
        windows.back().ModeSelect_Click(i < 2 ? 1 : 0); // the last in hand mode
    }
    MainFormModel &dragged = windows[0], &picked = windows[1], &handPicked = windows[2];
    const double s = (row.zoom.size() + 1.0) * row.tpp;
    const float x0 = float(row.left * s), y0 = float(row.top * s);
    const float x1 = float((row.left + row.width) * s), y1 = float((row.top + row.height) * s);
    LeftDrag(dragged, dragHost, x0, y0, x1, y1);
    dragged.SelectPic_MouseUp(1, 0, x1, y1, 1, dragHost);
    picked.SelectPic_MouseDown(1, 0, x0 + 15, y0 + 15); // the click that picks
    picked.SelectPictureRectangle(row.left, row.top, row.width, row.height, pickHost);
    handPicked.SelectPictureRectangle(row.left, row.top, row.width, row.height, handHost);

    EXPECT_EQ(Snapshot(picked), Snapshot(dragged));
    EXPECT_FALSE(picked.ClickTimerEnabled); // the press is used up
    EXPECT_EQ(Box(handPicked.SelectBox), Box(dragged.SelectBox));
    EXPECT_EQ(handPicked.MOUSE_MODE, MainFormModel::HandMode);
    // Decoded once, cut at exactly the rectangle's pixels.
    const std::array<int32_t, 4> expected{int32_t(row.left * row.tpp), int32_t(row.top * row.tpp),
                                          int32_t(row.width * row.tpp),
                                          int32_t(row.height * row.tpp)};
    for (const HostRecorder* host : {&dragHost, &pickHost, &handHost}) {
        ASSERT_EQ(host->decodes.size(), 1u);
        EXPECT_EQ(Box(host->decodes[0]), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, MainFormPick,
    ::testing::Values(PickRow{"at actual size", 15, {}, 884, 612, 116, 116},
                      PickRow{"at three times the size", 15, {1, 1}, 20, 30, 66, 66},
                      PickRow{"on a screen of twelve twips a pixel", 12, {1}, 300, 200, 117, 117}),
    [](const auto& info) { return SentenceName(info.param.name); });

// --- A screen of device pixel ratio 1, 1.5 or 2 ---
// At actual size one picture pixel lies on one device pixel; the window is
// laid out in logical pixels of 15 twips.

struct DeviceScaleRow {
    const char* name;
    float ratio;
    int32_t viewW, viewH; // twips of a 1000 x 600 picture at actual size
    int16_t hMax, vMax;   // in a frame of 600 x 400 logical pixels
};

class MainFormDeviceScale : public ::testing::TestWithParam<DeviceScaleRow> {};

TEST_P(MainFormDeviceScale, TheViewCountsPicturePixelsOnDevicePixels) {
    const DeviceScaleRow& row = GetParam();
    MainFormModel window = StartedWindow(15, 600, 400, row.ratio);
    ShowPicture(window, 1000, 600);
    EXPECT_EQ(window.SelectPic.width, row.viewW);
    EXPECT_EQ(window.SelectPic.height, row.viewH);
    EXPECT_EQ(window.HsBarState.max, row.hMax);
    EXPECT_EQ(window.VsBarState.max, row.vMax);
    EXPECT_EQ(window.mZoomRate, "等倍");
}

TEST_P(MainFormDeviceScale, ASelectionNeedsMoreThanOneDevicePixelEachWay) {
    const DeviceScaleRow& row = GetParam();
    const float pixel = 15 / row.ratio; // twips of one device pixel
    HostRecorder host;
    MainFormModel window = StartedWindow(15, 600, 400, row.ratio);
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    for (auto [dx, dy, valid] : {std::tuple{1, 40, false}, std::tuple{40, 1, false},
                                 std::tuple{2, 2, true}, std::tuple{-1, 40, false}}) {
        if (!window.SelectBox.visible)
            LeftDrag(window, host, 3000, 3000, 3000 + dx * pixel, 3000 + dy * pixel);
        window.SelectPic_MouseMove(1, 0, 3000 + dx * pixel, 3000 + dy * pixel);
        EXPECT_EQ(window.DecodeEnabled, valid) << dx << " x " << dy << " device pixels";
    }
}

TEST_P(MainFormDeviceScale, PastesAreSelectedWholeUpTo256PicturePixels) {
    const DeviceScaleRow& row = GetParam();
    HostRecorder host;
    MainFormModel window = StartedWindow(15, 600, 400, row.ratio);
    window.GetClipboard_Click(true, 256, 256, 0, host);
    EXPECT_TRUE(window.SelectBox.visible);
    EXPECT_EQ(window.mXsize + " " + window.mYsize, "X : 256 Y : 256");
    for (auto [w, h] : {std::pair{257, 100}, std::pair{100, 257}}) {
        window.GetClipboard_Click(true, w, h, 0, host);
        EXPECT_FALSE(window.SelectBox.visible) << w << " x " << h;
    }
    window.GetClipboard_Click(true, 6, 6, 0, host);
    EXPECT_EQ(window.mXsize, "X : 6");
    window.GetClipboard_Click(true, 5, 40, 0, host);
    EXPECT_EQ(window.MOUSE_MODE, MainFormModel::HandMode);
    EXPECT_EQ(window.mGuidance, kGuidanceCapture); // no image
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Ratios, MainFormDeviceScale,
    ::testing::Values(
        DeviceScaleRow{"ratio 1", 1, 15000, 9000, 200, 100},
        DeviceScaleRow{"ratio 1.5", 1.5f, 10000, 6000, 33, 0},
        DeviceScaleRow{"ratio 2", 2, 7500, 4500, 0, 0}),
    [](const auto& info) { return SentenceName(info.param.name); });
// clang-format on

TEST(MainFormScreen, MovedToAScreenOfAnotherDeviceRatioThePictureKeepsItsPixels) {
    HostRecorder host;
    MainFormModel window = StartedWindow();
    ShowPicture(window, 1000, 600);
    window.ModeSelect_Click(1);
    LeftDrag(window, host, 300, 600, 1200, 1800); // 60 x 80 pixels
    window.ChangeTwipsPerPixel(15, 15, 2);
    EXPECT_EQ(window.SelectPic.width, 7500);
    EXPECT_EQ(Box(window.SelectBox), (std::array<float, 4>{150, 300, 450, 600}));
    EXPECT_EQ(Box(window.SelectionAtActualSize()), (std::array<int32_t, 4>{150, 300, 450, 600}));
    window.ChangeTwipsPerPixel(15, 15, 1.5f);
    EXPECT_EQ(window.SelectPic.width, 10000);
    EXPECT_EQ(Box(window.SelectionAtActualSize()), (std::array<int32_t, 4>{200, 400, 600, 800}));
}

} // namespace
