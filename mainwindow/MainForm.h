// The main window: the toolbar, the view of the picture with its scroll
// bars, the status bar and the menus. A thin widget over MainFormModel: Qt
// events go to the model's handlers (coordinates in twips), and Render()
// shows every control as the model says.
#pragma once

#include "DecodeForm.h"
#include "HelpViewer.h"
#include "Language.h"
#include "MainFormModel.h"
#include "Platform.h"
#include "ProgramState.h"
#include "ScreenCapture.h"
#include "StartRequest.h"
#include "SymbolOutlines.h"
#include "UserTempFolder.h"
#include "WheelMouse.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QDragEnterEvent;
class QDropEvent;
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
    // Beyond the documented commands: the open-file dialog (編集 menu, Ctrl+O)
    // and a picture file opened from it, a drop or a start request. An opened
    // picture shows as a capture does; one that cannot be read gives a
    // message and leaves the view as it was.
    void OpenPicture_Click();
    void OpenPictureFile(const std::string& path);
    // A request of the command line, at start or from another start: the
    // window comes forward (a capture leaves that to the capture) and the
    // command runs, unless a dialog or a message waits for the user.
    void RunStartRequest(const StartRequest& request);
    // The checkable items at the end of the 設定 menu: FindSymbols,
    // DecodeSingleSymbol, CopyText.
    QAction* beyondItem(int index) const { return beyondItem_.at(size_t(index)); }

    const MainFormModel& model() const { return model_; }
    const ProgramState& program() const { return program_; }
    DecodeForm* decodeForm() const { return decodeForm_; }
    QWidget* selectPic() const;
    QMenu* rightClickMenu() const { return rightClickTop_; }
    const QImage& basePicture() const { return basePic_; }
    // The symbols found in the picture on view, outlined in the view.
    const SymbolOutlines& outlines() const { return outlines_; }

    // The view's events in twips, as the view forwards them.
    void SelectPic_MouseDown(int button, int shift, float x, float y);
    void SelectPic_MouseMove(int button, int shift, float x, float y);
    void SelectPic_MouseUp(int button, int shift, float x, float y);
    void SelectPic_DblClick();
    // Enter on the view: the focused outline is picked. Tab and Shift+Tab:
    // the focus moves among the outlines; false when there are none.
    void SymbolOutline_Enter();
    bool SymbolOutline_Tab(bool forward);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A picture file or picture data dropped on the window opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

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
    // The 1:1 rectangle (twips) of the picture, unscaled, one picture pixel
    // to a device pixel; what lies beyond the picture is white.
    QImage CutPicture(const TwipRect& rect) const;
    void Form_Load();
    // Form_Resize with the window's size in twips, then Render.
    void LayOut();
    // A new picture (null for none) as BasePic and on the view's surface.
    void PutPicture(const QImage& picture);
    // An opened or dropped picture into the view; false, with a message and
    // the view as it was, for one too small to be an image.
    bool ShowOpenedPicture(const QImage& picture);
    // An option of zorvik.conf set from its menu item, and the file saved.
    void SetBeyondOption(bool BeyondSettings::*option, bool on);
    // Restored from minimised, raised and activated; a dialog of this window
    // that waits for the user comes in front of it.
    void BringForward();
    // After every capture, paste or opened picture: the outlines of the last
    // picture go, and with FindSymbols on the whole picture is searched off
    // this thread; ScanFinished takes the result if it is still current.
    void PictureArrived();
    void ScanFinished(uint64_t generation, PictureScan scan);
    // The symbol becomes the selection (with its quiet zone) and is decoded
    // at once; its whole-picture result stands in for a failed decode.
    void PickSymbol(int index);
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
    // Twips as device pixels: pixels of the picture at actual size.
    int DevicePixelsX(double twips) const;
    int DevicePixelsY(double twips) const;

    ProgramState program_;
    // The texts of messages and file dialogs, this window's and those of the
    // windows it opens, are shown in the interface's language.
    TranslatedMessages messages_;
    Clipboard& clipboard_;
    ScreenCapture& capture_;
    SoundPlayer& sound_;
    TranslatedFileDialogs fileDialogs_;
    ColourDialogs& colourDialogs_;
    Browser& browser_;
    HelpViewer& help_;
    std::string programFolderArg_, tempFolderArg_;
    ScreenMetrics screen_;
    MainFormModel model_;
    std::unique_ptr<RunFolder> runFolder_; // holds TempFolder while the program runs
    QImage basePic_;                       // BasePic: the picture at 1:1
    SymbolOutlines outlines_;
    std::optional<DecodeOutcome> pickFallback_; // during a pick's decode only
    std::optional<ViewPoint> leftPress_;        // view pixels, until its release
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
    // Items beyond the documented ones, after a separator at the end of
    // their menus, so the documented arrays keep their indices.
    QAction* openPictureItem_ = nullptr;
    std::array<QAction*, 3> beyondItem_{};

    QTimer guidanceTimer_, guidanceWipe_, clickTimer_;
    QPointer<DecodeForm> decodeForm_;
    QPointer<QWidget> dialog_; // the options dialog or the About box while open
    std::unique_ptr<clsWheelMouse> m_CWheel;
    WheelHookFilter* wheelHook_ = nullptr;
};

} // namespace zorvik
