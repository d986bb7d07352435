// The main window: the toolbar, the view of the picture with its scroll
// bars, the status bar and the menus. A thin widget over MainFormModel: Qt
// events go to the model's handlers (coordinates in twips), and Render()
// shows every control as the model says.
#pragma once

#include "DecodeForm.h"
#include "HelpViewer.h"
#include "MainFormModel.h"
#include "Platform.h"
#include "ProgramState.h"
#include "ScreenCapture.h"
#include "WheelMouse.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QToolButton;

namespace zorvik {

class ImageView;
class WheelHookFilter;

class MainForm final : public QMainWindow, private MainFormHost, private MainWindowLink {
    Q_OBJECT
  public:
    // The platform as the window uses it; tests pass stand-ins.
    struct Services {
        MessageBoxes& messages;
        Clipboard& clipboard;
        ScreenCapture& capture;
        SoundPlayer& sound;
        FileDialogs& fileDialogs;
        ColourDialogs& colourDialogs;
        Browser& browser;
        HelpViewer& help;
    };
    // Start-up: programFolder holds ZORVIK.ini and DEBUG_ON (the executable's
    // folder when empty); tempFolder replaces the per-user temporary folder
    // (tests only).
    MainForm(Services services, std::string programFolder = {}, std::string tempFolder = {});
    ~MainForm() override;

    // The commands, as the toolbar and the menus call them.
    void CaptureScreen(int16_t mode); // 0 the active window, 1 the whole desktop
    void GetClipboard_Click();
    void ZoomIn_Click();
    void ZoomOut_Click();
    void ModeSelect_Click(int index);
    void Decode_Click();
    void SelectPopupMenu(int index);
    void SaveSelection();
    void OpenOptions();
    void OpenAbout();
    void OpenHelpCommand();

    const MainFormModel& model() const { return model_; }
    const ProgramState& program() const { return program_; }
    DecodeForm* decodeForm() const { return decodeForm_; }
    QWidget* selectPic() const;
    QMenu* rightClickMenu() const { return rightClickTop_; }
    const QImage& basePicture() const { return basePic_; }

    // The view's events in twips, as the view forwards them.
    void SelectPic_MouseDown(int button, int shift, float x, float y);
    void SelectPic_MouseMove(int button, int shift, float x, float y);
    void SelectPic_MouseUp(int button, int shift, float x, float y);
    void SelectPic_DblClick();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // MainFormHost
    void DecodeSelection(const TwipRect& rect) override;
    void ShowRightClickMenu() override;
    // MainWindowLink
    int16_t MouseMode() const override { return model_.MOUSE_MODE; }
    void SetGuidance(const std::string& text, int16_t waitSec) override;
    void FocusMainWindow() override;

    // The result window, loaded when it is not; shown or not by the caller.
    DecodeForm& LoadDecodeForm();
    // A window of the program's own beside this one (not a child, so that
    // disabling this window leaves it usable), kept in front of it.
    void OwnWindow(QWidget* window);
    // Shows a dialog with this window disabled until the dialog unloads.
    void ShowDialog(QWidget* dialog);
    // The 1:1 rectangle (twips) of the picture, unscaled; what lies beyond
    // the picture is white.
    QImage CutPicture(const TwipRect& rect) const;
    void Form_Load();
    // Form_Resize with the window's size in twips, then Render.
    void LayOut();
    // A new picture (null for none) as BasePic and on the view's surface.
    void PutPicture(const QImage& picture);
    // The screen's scale, from the screen the window is on now.
    void ScreenChanged();
    void Form_Unload();
    void BuildControls();
    void BuildMenus();
    void ChangeZoom(int16_t step);
    void GuidanceTimer_Timer();
    void ClickTimer_Timer();
    void m_CWheel_MouseWheel(int16_t iniVector);
    void Render();
    QRect Pixels(const TwipRect& r) const;
    int PixelsX(double twips) const;
    int PixelsY(double twips) const;

    ProgramState program_;
    MessageBoxes& messages_;
    Clipboard& clipboard_;
    ScreenCapture& capture_;
    SoundPlayer& sound_;
    FileDialogs& fileDialogs_;
    ColourDialogs& colourDialogs_;
    Browser& browser_;
    HelpViewer& help_;
    std::string programFolderArg_, tempFolderArg_;
    ScreenMetrics screen_;
    MainFormModel model_;
    QImage basePic_; // BasePic: the picture at 1:1
    bool unloaded_ = false;

    QToolButton *avtiveScreenCam_, *fullScreenCam_, *getClipboard_, *zoomOut_, *zoomIn_, *decode_;
    std::array<QToolButton*, 2> modeSelect_{};
    QWidget *line1_, *line2_, *imageFrame_, *statusCont_;
    ImageView* selectPic_;
    QScrollBar *hsBar_, *vsBar_;
    QLabel *guidanceCont_, *mGuidance_, *zoomRateCont_, *mZoomRate_, *xsizeCont_, *mXsize_,
        *ysizeCont_, *mYsize_;
    std::array<QAction*, 3> menu1item_{};
    std::array<QAction*, 6> menu2item_{};
    std::array<QAction*, 1> menu3Item_{};
    std::array<QAction*, 2> menu4item_{};
    QMenu* rightClickTop_ = nullptr;
    std::array<QAction*, 6> rightClickItem_{};

    QTimer guidanceTimer_, guidanceWipe_, clickTimer_;
    QPointer<DecodeForm> decodeForm_;
    QPointer<QWidget> dialog_; // the options dialog or the About box while open
    std::unique_ptr<clsWheelMouse> m_CWheel;
    WheelHookFilter* wheelHook_ = nullptr;
};

} // namespace zorvik
